// Matomo, always self-hosted: the visitors of the last 30 minutes. The token
// goes in a POST body, as Matomo asks, so that no log of a URL holds it.
#include "tracker/sources/JsonCount.h"
#include "tracker/sources/ServiceRules.h"

namespace {
bool Request(const TServiceCall& call, TSourceRequest& request, TPollFailure&) {
  request.Method = "POST";
  request.Path = call.Base + "/index.php?module=API&method=Live.getCounters&idSite=" +
                 QueryEscape(Utf8FromWide(call.Id)) + "&lastMinutes=30&format=JSON";
  request.ContentType = "application/x-www-form-urlencoded";
  request.Body = "token_auth=" + QueryEscape(call.Key);
  return true;
}

// Some Matomo versions answer a refused token or a bad request with 200 and
// {"result":"error","message":...}; its message says more than any count could.
bool ServiceErrorOf(const nlohmann::json& root, std::string& message) {
  const nlohmann::json* result = Member(root, "result");
  if (!result || *result != "error") return false;
  const nlohmann::json* said = Member(root, "message");
  message = ShownDetail(WideFromUtf8(said && said->is_string() ? said->get<std::string>() : std::string("error")));
  return true;
}

int32_t Read(const nlohmann::json& root, std::string& where, TPollFailure& why) {
  if (ServiceErrorOf(root, why.Detail)) {
    why.Kind = TFailure::ServiceError;
    return NO_COUNT;
  }
  where = "/0/visitors";
  return root.is_array() && root.size() == 1 ? CountOf(Member(root[0], "visitors")) : NO_COUNT;
}

int32_t Count(const TSourceSettings&, const std::string& body, TPollFailure& why) {
  return ReadJsonCount(body, "", why, Read);
}

std::string Dashboard(const TSourceService&, const TSourceSettings& source, const WideString& id,
                      const std::string&) {
  const std::string server = TrimmedServer(source);
  if (server.empty()) return std::string();
  return server + "/index.php?module=CoreHome&action=index&idSite=" + QueryEscape(Utf8FromWide(id)) +
         "&period=day&date=today";
}
}  // namespace

extern const TServiceCalls MATOMO_CALLS = {Request, Count, Dashboard};
