// Umami: its active visitors. Umami Cloud (the default server's host) takes
// its own key header under /v1; a self-hosted Umami takes a bearer token
// under /api.
#include "tracker/sources/JsonCount.h"
#include "tracker/sources/ServiceRules.h"

namespace {
constexpr char kCloudApi[] = "/v1";
constexpr char kCloudDashboard[] = "https://cloud.umami.is";

bool Request(const TServiceCall& call, TSourceRequest& request, TPollFailure&) {
  std::string base = call.Base;
  if (IsDefaultHost(call.Service, Utf8FromWide(call.Source.Server))) {
    // Umami Cloud's API lives under /v1, which a Server of just its host leaves out.
    if (base.empty()) base = kCloudApi;
    request.Path = base + "/websites/" + EncodePathText(call.Id) + "/active";
    request.KeyHeaders = {"x-umami-api-key: " + call.Key};
  } else {
    request.Path = base + "/api/websites/" + EncodePathText(call.Id) + "/active";
    request.KeyHeaders = {BearerHeader(call.Key)};
  }
  return true;
}

// Newer versions answer {"visitors": n}, older {"x": n}, some inside a one-element array.
int32_t Read(const nlohmann::json& root, std::string& where, TPollFailure&) {
  const nlohmann::json& object = root.is_array() && root.size() == 1 ? root[0] : root;
  const std::string prefix = &object == &root ? "" : "/0";
  if (const nlohmann::json* v = Member(object, "visitors")) {
    where = prefix + "/visitors";
    return CountOf(v);
  }
  where = prefix + (Member(object, "x") ? "/x" : "/visitors");
  return CountOf(Member(object, "x"));
}

int32_t Count(const TSourceSettings&, const std::string& body, TPollFailure& why) {
  return ReadJsonCount(body, "", why, Read);
}

std::string Dashboard(const TSourceService& service, const TSourceSettings& source, const WideString& id,
                      const std::string&) {
  const std::string server = TrimmedServer(source);
  return (IsDefaultHost(service, server) ? std::string(kCloudDashboard) : server) + "/websites/" + EncodePathText(id);
}
}  // namespace

extern const TServiceCalls UMAMI_CALLS = {Request, Count, Dashboard};
