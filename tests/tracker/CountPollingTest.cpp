#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "tracker/CountPolling.h"
#include "tracker/sources/Counter.h"

TEST(CountParse, TrimsControlCodesAndSpacesThenTakesOneInteger) {
  const std::pair<std::string, int32_t> cases[] = {
      {"12\r\n", 12}, {" 7 ", 7}, {std::string("\0\t 9\n\0", 6), 9}, {"-3", -3}, {"0x1A", 26},
      {"", -1}, {" \r\n", -1}, {"3.5", -1}, {"12 visitors", -1}, {"\xA0" "5", -1}, {std::string("1\0" "2", 3), -1},
  };
  for (const auto& [body, count] : cases) EXPECT_EQ(ParseCount(body), count) << '"' << body << '"';
}

namespace {
// "start" stops the start timer, "arm<ms>" or "stop" sets the poll timer,
// "busy"/"idle" the light, "send" a request, "<count>/<previous>" new counts,
// "redraw" a redraw.
TPollResult Expected(const std::string& words) {
  TPollResult r;
  std::istringstream in(words);
  for (std::string w; in >> w;) {
    if (w == "start") r.StopStartTimer = true;
    else if (w == "stop") r.PollTimer = {TTimerChange::Stop, 0};
    else if (w.rfind("arm", 0) == 0) r.PollTimer = {TTimerChange::Arm, std::stoi(w.substr(3))};
    else if (w == "busy" || w == "idle") r.Light = w == "busy" ? TLight::Busy : TLight::Idle;
    else if (w == "send") r.SendRequest = true;
    else if (w == "redraw") r.Redraw = true;
    else r.Counts = TShownCounts{std::stoi(w), std::stoi(w.substr(w.find('/') + 1))};
  }
  return r;
}
}  // namespace

// A script of timers, responses and setting changes, and what each event
// means for the widget. The input's count follows the counts shown, as the
// widget's does.
TEST(PollSchedule, OnlyTheAwaitedWholeResponseMovesTheFace) {
  TCountPoller p;
  TPollInput in;
  in.ID = u"my.site/a b";
  const struct {
    char Event;  // s start timer, t poll tick, r/f response (whole/failed), n worker not started, p Refresh,
                 // e Enable, i Interval
    std::string Arg, Result;
  } script[] = {
      {'i', "6999", ""}, {'s', "", "start"},  // too fast to poll by itself
      {'i', "7000", ""}, {'s', "", "start arm100"},
      {'t', "", "arm7000 busy send redraw"}, {'t', "", "arm7000"},  // in flight: the tick is lost
      {'r', "8\r\n", "8/-1 idle redraw"}, {'r', "9", "redraw"},     // nobody asked for it
      {'t', "", "arm7000 busy send redraw"}, {'f', "12", "-1/8 idle redraw"},  // digits of a failed transfer
      {'t', "", "arm7000 busy send redraw"}, {'r', "", "-1/-1 idle redraw"},
      {'t', "", "arm7000 busy send redraw"}, {'n', "", "idle redraw"},
      {'t', "", "arm7000 busy send redraw"}, {'r', "0", "0/-1 idle redraw"},
      {'e', "0", ""}, {'t', "", ""},  // off: the timer stays armed
      {'p', "", "busy send redraw"}, {'r', "-7", "-7/0 idle redraw"},  // Refresh still polls
      {'e', "1", ""}, {'i', "6000", ""},
      {'t', "", "stop busy send redraw"},  // below the minimum a tick polls but never re-arms
      {'i', "15000", ""}, {'e', "0", ""}, {'s', "", "start"},
  };
  for (const auto& step : script) {
    TPollResult r;
    switch (step.Event) {
      case 's': r = p.OnStartTimer(in); break;
      case 't': r = p.OnPollTimer(in); break;
      case 'r': case 'f': r = p.ApplyResponse(in, step.Arg, step.Event == 'r'); break;
      case 'n': r = p.RequestNotStarted(); break;
      case 'p': r = p.StartPoll(in); break;
      case 'e': in.Enable = step.Arg == "1"; break;
      case 'i': in.Interval = std::stoi(step.Arg); break;
    }
    EXPECT_EQ(r, Expected(step.Result)) << step.Event << " " << step.Arg << ": " << step.Result;
    if (r.Counts) in.Count = r.Counts->Count;
  }
  EXPECT_EQ(p.RequestPath(), "/sitecount/my.site/a%20b");
}

TEST(PollSchedule, ReArmedTimersDriftApartByAFewPerCentAtMost) {
  std::set<int32_t> seen;
  for (int i = 0; i < 200; ++i) {
    const int32_t jitter = PollJitter(15000);
    ASSERT_GE(jitter, 0);
    ASSERT_LE(jitter, 15000 / 32);
    seen.insert(jitter);
  }
  EXPECT_GT(seen.size(), 20u) << "trackers woken together stay in phase";
  EXPECT_LE(PollJitter(24 * 3600 * 1000), MAX_POLL_JITTER);
  EXPECT_EQ(PollJitter(FIRST_POLL_DELAY / 10), 0);
}
