#include "app/TrayTotals.h"

#include <algorithm>
#include <string>

#include "tracker/CountPolling.h"

namespace {
WideString Digits(int64_t n) {
  const std::string text = std::to_string(n);
  return WideString(text.begin(), text.end());
}
}  // namespace

WideString TrayTotalText(const std::vector<TTrackerCount>& counts, const WideString& onlineText, size_t limit) {
  if (counts.empty()) return WideString();
  int64_t total = 0;  // two hundred counts near INT32_MAX overflow 32 bits
  int64_t unknown = 0;
  for (const TTrackerCount& c : counts) {
    if (c.Count < 0) ++unknown;
    else total += c.Count;
  }
  WideString text = onlineText;
  const size_t at = text.find(u"%s");
  if (at == WideString::npos) text = Digits(total) + u" " + text;
  else text.replace(at, 2, Digits(total));
  if (unknown) text += u" (" + Digits(unknown) + u" ?)";
  if (text.size() > limit) return text.substr(0, limit);

  const WideString more = u" \u2026";
  for (size_t i = 0; i < counts.size(); ++i) {
    const TTrackerCount& c = counts[i];
    const WideString entry = u" \u00B7 " + c.Title + u" " + (c.Count < 0 ? WideString(u"?") : Digits(c.Count));
    // The last entry may use the room the ellipsis would have taken.
    const size_t room = i + 1 == counts.size() ? limit : limit - std::min(limit, more.size());
    if (text.size() + entry.size() > room) return text.size() + more.size() <= limit ? text + more : text;
    text += entry;
  }
  return text;
}
