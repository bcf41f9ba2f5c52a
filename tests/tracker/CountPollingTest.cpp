#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "tracker/CountPolling.h"
#include "tracker/sources/Counter.h"

TEST(CountParse, TrimsControlCodesAndSpacesThenTakesOneInteger) {
  const std::pair<std::string, int32_t> cases[] = {
      {"12\r\n", 12}, {" 7 ", 7}, {std::string("\0\t 9\n\0", 6), 9}, {"-3", -3}, {"0x1A", 26},
      {"", -1}, {" \r\n", -1}, {"3.5", -1}, {"12 visitors", -1}, {"\xA0" "5", -1}, {std::string("1\0" "2", 3), -1},
  };
  for (const auto& [body, count] : cases) EXPECT_EQ(ParseCount(body), count) << '"' << body << '"';
}

// A script of timers, responses and setting changes, and after each step what
// the widget shows and runs: count, previous count, trend, light (Busy/Idle),
// requests sent so far and the poll timer's period (-1: not armed).
TEST(PollSchedule, OnlyTheAwaitedWholeResponseMovesTheFace) {
  TCountPoller p;
  p.ID = u"my.site/a b";
  WideString count = u"?", previous = u"?", trend;
  char light = '-';
  int requests = 0;
  int32_t armed = -1;
  const struct {
    char Event;  // s start timer, t poll tick, r/f response (whole/failed), n worker not started, p Refresh,
                 // e Enable, i Interval
    std::string Arg, Face;
  } script[] = {
      {'i', "6999", "? ? - - 0 -1"},      {'s', "", "? ? - - 0 -1"},  // too fast to poll by itself
      {'i', "7000", "? ? - - 0 -1"},      {'s', "", "? ? - - 0 100"},
      {'t', "", "? ? - B 1 7000"},     {'t', "", "? ? - B 1 7000"},  // in flight: the tick is lost
      {'r', "8\r\n", "8 ? INC.PNG I 1 7000"}, {'r', "9", "8 ? INC.PNG I 1 7000"},  // nobody asked for it
      {'t', "", "8 ? INC.PNG B 2 7000"}, {'f', "12", "? 8 DEC.PNG I 2 7000"},  // digits of a failed transfer
      {'t', "", "? 8 DEC.PNG B 3 7000"}, {'r', "", "? ? EQUAL.PNG I 3 7000"},  // raw values compare, -1 too
      {'t', "", "? ? EQUAL.PNG B 4 7000"}, {'n', "", "? ? EQUAL.PNG I 4 7000"},
      {'t', "", "? ? EQUAL.PNG B 5 7000"}, {'r', "0", "0 ? INC.PNG I 5 7000"},
      {'e', "0", "0 ? INC.PNG I 5 7000"},  {'t', "", "0 ? INC.PNG I 5 7000"},  // off: the timer stays armed
      {'p', "", "0 ? INC.PNG B 6 7000"},  {'r', "-7", "? 0 DEC.PNG I 6 7000"},  // Refresh still polls
      {'e', "1", "? 0 DEC.PNG I 6 7000"},  {'i', "6000", "? 0 DEC.PNG I 6 7000"},
      {'t', "", "? 0 DEC.PNG B 7 -1"},  // below the minimum a tick polls but never re-arms
      {'i', "15000", "? 0 DEC.PNG B 7 -1"}, {'e', "0", "? 0 DEC.PNG B 7 -1"}, {'s', "", "? 0 DEC.PNG B 7 -1"},
  };
  for (const auto& step : script) {
    TPollActions a;
    switch (step.Event) {
      case 's': a = p.OnStartTimer(); EXPECT_TRUE(a.Has(TPollStep::KillStartTimer)); break;
      case 't': a = p.OnPollTimer(); break;
      case 'r': case 'f': a = p.ApplyResponse(step.Arg, step.Event == 'r'); break;
      case 'n': a = p.RequestNotStarted(); break;
      case 'p': a = p.StartPoll(); break;
      case 'e': p.Enable = step.Arg == "1"; break;
      case 'i': p.Interval = std::stoi(step.Arg); break;
    }
    for (TPollStep s : a.Steps) {
      if (s == TPollStep::ShowCounts) std::tie(count, previous, trend) = std::tie(a.CountCaption, a.PreviousCaption, a.TrendImage);
      if (s == TPollStep::ShowBusy || s == TPollStep::ShowIdle) light = s == TPollStep::ShowBusy ? 'B' : 'I';
      requests += s == TPollStep::StartRequest;
      if (s == TPollStep::KillPollTimer) armed = -1;
      if (s == TPollStep::ArmPollTimer) armed = a.PollTimerMs;
    }
    const std::string face = Utf8FromWide(count + u" " + previous + u" " + (trend.empty() ? u"-" : trend)) + " " +
                             light + " " + std::to_string(requests) + " " + std::to_string(armed);
    EXPECT_EQ(face, step.Face) << step.Event << " " << step.Arg;
    EXPECT_EQ(a.Has(TPollStep::FreeWorker), a.Has(TPollStep::ShowIdle)) << "the worker goes when the light turns idle";
    // A request that cannot start stands its failure in for what follows it, so only a redraw may.
    auto after = std::find(a.Steps.begin(), a.Steps.end(), TPollStep::StartRequest);
    if (after != a.Steps.end()) ++after;
    EXPECT_EQ(std::count(after, a.Steps.end(), TPollStep::Redraw), a.Steps.end() - after) << step.Event << " " << step.Arg;
  }
  EXPECT_EQ(p.RequestPath(), "/sitecount/my.site/a%20b");
}
