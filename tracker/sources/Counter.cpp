#include "tracker/sources/Counter.h"

#include "inet/InetUtil.h"
#include "text/IntegerSyntax.h"
#include "tracker/sources/Service.h"

namespace {
constexpr char kStatsPath[] = "/stats/";

// Exactly the counter service's request of old: "/sitecount/" followed by the
// ID, escaped only where it would break the request.
bool Request(const TServiceCall& call, TSourceRequest& request, TPollFailure&) {
  request.Path = "/sitecount/" + EncodePathText(call.Id);
  return true;
}

// Its negative numbers are read as they always were.
int32_t Count(const TSourceSettings&, const std::string& body, TPollFailure& why) {
  const int32_t count = ParseCount(body);
  if (count < 0) why.Kind = TFailure::NotANumber;
  return count;
}

std::string Dashboard(const TSourceService&, const TSourceSettings&, const WideString& id,
                      const std::string& counterHost) {
  return HostUrl(counterHost) + kStatsPath + EncodePathText(id) + "/";
}
}  // namespace

int32_t ParseCount(const std::string& body) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  size_t begin = 0, end = body.size();
  while (begin < end && blank(body[begin])) ++begin;
  while (end > begin && blank(body[end - 1])) --end;
  int32_t value;
  return ParseInteger32(body.substr(begin, end - begin), value) ? value : NO_COUNT;
}

extern const TServiceCalls COUNTER_CALLS = {Request, Count, Dashboard};
