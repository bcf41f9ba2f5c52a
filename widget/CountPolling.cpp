#include "widget/CountPolling.h"

#include "inet/InetUtil.h"

WideString CountText(int32_t n) {
  if (n < 0) return u"?";
  std::string digits = std::to_string(n);
  return WideString(digits.begin(), digits.end());
}

WideString TrendImageName(int32_t previous, int32_t current) {
  if (current < previous) return IMG_DEC;
  if (current > previous) return IMG_INC;
  return IMG_EQUAL;
}

bool ParseInteger32(const std::string& text, int32_t& value) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint32_t base = 10;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) return false;
  // The magnitude may reach 2^31 only for a negative number.
  const uint64_t limit = negative ? 2147483648ull : 2147483647ull;
  uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    uint32_t digit;
    if (c >= '0' && c <= '9') digit = static_cast<uint32_t>(c - '0');
    else if (base == 16 && c >= 'a' && c <= 'f') digit = static_cast<uint32_t>(c - 'a' + 10);
    else if (base == 16 && c >= 'A' && c <= 'F') digit = static_cast<uint32_t>(c - 'A' + 10);
    else return false;
    magnitude = magnitude * base + digit;
    if (magnitude > limit) return false;
  }
  value = negative ? static_cast<int32_t>(-static_cast<int64_t>(magnitude)) : static_cast<int32_t>(magnitude);
  return true;
}

int32_t ParseCount(const std::string& body) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  size_t begin = 0, end = body.size();
  while (begin < end && blank(body[begin])) ++begin;
  while (end > begin && blank(body[end - 1])) --end;
  int32_t value;
  return ParseInteger32(body.substr(begin, end - begin), value) ? value : NO_COUNT;
}

std::string CountRequestPath(const WideString& id) { return "/sitecount/" + EncodePathSegment(id); }

TPollActions TCountPoller::OnStartTimer() {
  TPollActions a;
  a.KillStartTimer = true;
  if (Enable && Interval >= MIN_POLL_INTERVAL) a.ArmPollTimerMs = FIRST_POLL_DELAY;
  return a;
}

TPollActions TCountPoller::OnPollTimer() {
  // Switched off: the timer stays armed, so switching on again polls at the next tick.
  if (!Enable) return TPollActions();
  TPollActions a = StartPoll();
  a.KillPollTimer = true;
  if (Interval >= MIN_POLL_INTERVAL) a.ArmPollTimerMs = Interval;
  return a;
}

TPollActions TCountPoller::StartPoll() {
  TPollActions a;
  if (FBusy) return a;  // one request per widget; this tick is lost
  FBusy = true;
  FRequestPath = CountRequestPath(ID);
  a.StartRequest = true;
  a.Indicator = TIndicator::Busy;
  a.Redraw = true;
  return a;
}

TPollActions TCountPoller::RequestNotStarted() {
  TPollActions a;
  FBusy = false;
  a.FreeWorker = true;
  a.Indicator = TIndicator::Idle;
  a.Redraw = true;
  return a;
}

TPollActions TCountPoller::ApplyResponse(const std::string& body) {
  TPollActions a;
  a.Redraw = true;
  if (!FBusy) return a;
  FBusy = false;
  Previous = Count;
  Count = ParseCount(body);
  a.UpdateFace = true;
  a.CountCaption = CountText(Count);
  a.PreviousCaption = CountText(Previous);
  a.TrendImage = TrendImageName(Previous, Count);
  a.Indicator = TIndicator::Idle;
  a.FreeWorker = true;
  return a;
}
