#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tracker/CountPolling.h"
#include "tracker/SpikeAlert.h"

namespace {
constexpr int32_t Q = NO_COUNT;  // a failed poll
constexpr int64_t MIN = 60 * 1000;

// One letter per poll: '.' nothing, 'S' a spike balloon, 'Q' a gone-quiet one.
std::string Script(TSpikeAlert alert, const std::vector<std::pair<int32_t, int64_t>>& polls) {
  std::string seen;
  for (const auto& [count, at] : polls) {
    const TAlertEvent e = alert.Poll(count, at);
    seen += e == TAlertEvent::Spike ? 'S' : e == TAlertEvent::Quiet ? 'Q' : '.';
  }
  return seen;
}
}  // namespace

// One balloon per episode: a crossing from below, re-armed only under 80 %, at
// most one per 30 minutes; "?" neither alerts nor re-arms; after a restart only
// a crossing the saved count had not made; gone quiet once per silence.
TEST(SpikeAlert, OneBalloonPerEpisode) {
  const struct {
    const char* Name;
    TSpikeAlert Alert;
    std::vector<std::pair<int32_t, int64_t>> Polls;
    const char* Seen;
  } cases[] = {
      {"off", TSpikeAlert(0, 0, Q), {{500, 0}, {0, MIN}, {900, 2 * MIN}}, "..."},
      {"crossing, staying high, dipping above 80 %", TSpikeAlert(100, 0, 10),
       {{50, 0}, {100, MIN}, {150, 2 * MIN}, {80, 3 * MIN}, {120, 4 * MIN}}, ".S..."},
      {"re-armed only under 80 %, again after the cooldown", TSpikeAlert(100, 0, 10),
       {{100, 0}, {85, 31 * MIN}, {120, 32 * MIN}, {79, 33 * MIN}, {100, 34 * MIN}}, "S...S"},
      {"a second crossing inside the cooldown ends quietly", TSpikeAlert(100, 0, 10),
       {{100, 0}, {10, MIN}, {100, 2 * MIN}, {120, 40 * MIN}, {10, 41 * MIN}, {101, 42 * MIN}}, "S....S"},
      {"a failed poll neither alerts nor re-arms", TSpikeAlert(100, 0, 10),
       {{100, 0}, {Q, 40 * MIN}, {100, 41 * MIN}, {Q, 42 * MIN}, {50, 43 * MIN}, {100, 44 * MIN}}, "S....S"},
      {"restart with the saved count already high", TSpikeAlert(100, 0, 150), {{150, 0}, {70, MIN}, {110, 40 * MIN}},
       "..S"},
      {"restart with the saved count below", TSpikeAlert(100, 0, 99), {{Q, 0}, {100, MIN}}, ".S"},
      {"quiet for its minutes after visitors, once, re-armed by a visitor", TSpikeAlert(0, 10, 5),
       {{0, 0}, {3, MIN}, {0, 2 * MIN}, {Q, 11 * MIN}, {0, 12 * MIN}, {0, 13 * MIN}, {1, 14 * MIN}, {0, 15 * MIN},
        {0, 25 * MIN}},
       "....Q...Q"},
  };
  for (const auto& c : cases) EXPECT_EQ(Script(c.Alert, c.Polls), c.Seen) << c.Name;

  TSpikeAlert alert(100, 0, Q);
  alert.Poll(100, 0);
  EXPECT_TRUE(alert.High());
  alert.Poll(Q, MIN);
  EXPECT_FALSE(alert.High()) << "a face showing ? is not in alert colour";
}
