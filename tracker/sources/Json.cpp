// Any JSON endpoint: the Server is the whole URL, the Pointer says where the
// count is, the Header (if any) carries the key, the Page is its dashboard.
#include "tracker/sources/JsonCount.h"
#include "tracker/sources/ServiceRules.h"

namespace {
bool Request(const TServiceCall& call, TSourceRequest& request, TPollFailure& why) {
  request.Path = call.Base;
  std::string header = Utf8FromWide(call.Source.Header);
  if (!header.empty()) {
    const size_t colon = header.find(':');
    if (!IsHeaderText(header, true) || colon == std::string::npos || !IsHeaderName(header.substr(0, colon)))
      return why = Failure(TFailure::BadHeader), false;
    ReplaceAll(header, "{key}", call.Key);
    request.KeyHeaders = {header};
  }
  return true;
}

int32_t Count(const TSourceSettings& source, const std::string& body, TPollFailure& why) {
  const std::string pointer = Utf8FromWide(source.Pointer);
  return ReadJsonCount(body, pointer, why, [&pointer](const nlohmann::json& root, std::string& where, TPollFailure&) {
    where = pointer;
    try {
      const nlohmann::json::json_pointer p(pointer);
      return root.contains(p) ? CountOf(&root.at(p)) : NO_COUNT;
    } catch (const nlohmann::json::exception&) {
      return NO_COUNT;
    }
  });
}

std::string Dashboard(const TSourceService&, const TSourceSettings& source, const WideString& id,
                      const std::string&) {
  std::string page = Utf8FromWide(source.Page);
  ReplaceAll(page, "{id}", EncodePathText(id));
  return page;
}
}  // namespace

extern const TServiceCalls JSON_CALLS = {Request, Count, Dashboard};
