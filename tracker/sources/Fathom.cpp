// Fathom: the visitors on the site now, with the key as a bearer token.
#include "tracker/sources/JsonCount.h"
#include "tracker/sources/ServiceRules.h"

namespace {
bool Request(const TServiceCall& call, TSourceRequest& request, TPollFailure&) {
  request.Path = call.Base + "/v1/current_visitors?site_id=" + QueryEscape(Utf8FromWide(call.Id));
  request.KeyHeaders = {BearerHeader(call.Key)};
  return true;
}

int32_t Read(const nlohmann::json& root, std::string& where, TPollFailure&) {
  where = "/total";
  return CountOf(Member(root, "total"));
}

int32_t Count(const TSourceSettings&, const std::string& body, TPollFailure& why) {
  return ReadJsonCount(body, "", why, Read);
}

std::string Dashboard(const TSourceService&, const TSourceSettings&, const WideString& id, const std::string&) {
  return "https://app.usefathom.com/?site=" + QueryEscape(Utf8FromWide(id));
}
}  // namespace

extern const TServiceCalls FATHOM_CALLS = {Request, Count, Dashboard};
