// Plausible: its realtime visitors, a bare number, with the key as a bearer token.
#include "tracker/sources/JsonCount.h"
#include "tracker/sources/ServiceRules.h"

namespace {
bool Request(const TServiceCall& call, TSourceRequest& request, TPollFailure&) {
  request.Path = call.Base + "/api/v1/stats/realtime/visitors?site_id=" + QueryEscape(Utf8FromWide(call.Id));
  request.KeyHeaders = {BearerHeader(call.Key)};
  return true;
}

int32_t Read(const nlohmann::json& root, std::string& where, TPollFailure&) {
  where.clear();
  return CountOf(&root);
}

int32_t Count(const TSourceSettings&, const std::string& body, TPollFailure& why) {
  return ReadJsonCount(body, "", why, Read);
}

std::string Dashboard(const TSourceService& service, const TSourceSettings& source, const WideString& id,
                      const std::string&) {
  const std::string server = TrimmedServer(source);
  return (server.empty() ? service.DefaultServer : server) + "/" + EncodePathText(id);
}
}  // namespace

extern const TServiceCalls PLAUSIBLE_CALLS = {Request, Count, Dashboard};
