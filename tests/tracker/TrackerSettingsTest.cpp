#include <gtest/gtest.h>

#include "tests/support/TextTestUtil.h"
#include "tracker/TrackerSettings.h"

using Ini = testutil::MemIni;

// A section missing every key gives the defaults, with the widget in the work
// area's bottom-right corner; hand-edited values come back in the file's own
// forms, the thirteen keys in their order whatever order they were read in,
// and a source's keys after them.
TEST(TrackerSettingsFile, DefaultsClampingAndTheWrittenForm) {
  const TScreenRect work{0, 0, 1000, 700};
  TTrackerSettings bare = ReadTrackerSettings(Ini(u"[site]\n"), u"site", work);
  EXPECT_EQ(bare.Left, 1000 - WIDGET_WIDTH);
  EXPECT_EQ(bare.Top, 700 - WIDGET_HEIGHT);
  // The other keys' defaults show in the written form below.
  EXPECT_TRUE(bare.AlwaysTop && bare.Enable);
  EXPECT_EQ(bare.Title, u"Orvanta");
  EXPECT_EQ(bare.Count, NO_COUNT);

  for (auto [opacity, kept] : {std::pair{u"300", 255}, {u"-5", 0}, {u"0x10", 16}, {u"junk", 255}})
    EXPECT_EQ(ReadTrackerSettings(Ini(u"[s]\nOpacity=" + WideString(opacity)), u"s", work).TargetOpacity, kept)
        << Utf8FromWide(opacity);

  const Ini edited(u"[x]\nBackColor=255\nEnable=2\nTracker=7\nTitle=T\nTop=-4\nLeft=9\nAlwaysTop=0\n");
  Ini out(u"");
  WriteTrackerSettings(out, ReadTrackerSettings(edited, u"x", work));
  EXPECT_EQ(out.Text(), u"[x]\r\nLeft=9\r\nTop=-4\r\nAlwaysTop=0\r\nIgnoreMouse=0\r\nPreventDragging=0\r\nTitle=T\r\n"
                         u"OrvantaID=x\r\nInterval=15000\r\nTracker=7\r\nPrevious=-1\r\nOpacity=255\r\nEnable=1\r\n"
                         u"BackColor=0x000000FF\r\n\r\n");
  EXPECT_EQ(BackColorText(0x00FF8A0Bu), u"0x00FF8A0B");

  // A source's keys follow the thirteen and only when set, so the counter-service
  // section above is written exactly as older versions wrote it.
  const Ini source(u"[p]\nAlertQuiet=-5\nAlertAbove=40\nPage=\nApiKey=dpapi:QUJD\nServer=https://s\n"
                   u"Source=plausible\nLeft=1\n");
  Ini written(u"");
  WriteTrackerSettings(written, ReadTrackerSettings(source, u"p", work));
  const WideString text = written.Text();
  EXPECT_EQ(text.substr(text.find(u"BackColor=")),
            u"BackColor=0x00000000\r\nSource=plausible\r\nServer=https://s\r\nApiKey=dpapi:QUJD\r\nAlertAbove=40\r\n\r\n");
}

// A section's keys that this version neither reads nor writes are its unknown
// lines, as the file holds them (duplicates, lines without "=" and all); a key
// this version knows is known in any letter case.
TEST(TrackerSettingsFile, KeysThisVersionDoesNotKnowAreTheSectionsOtherLines) {
  const Ini edited(u"[t]\nleft=3\nMethod=POST\nBody={\"a\": 1}\nSOURCE=posthog\nColour2=0x00FF0000\n"
                   u"Method=PUT\nflag\nPage=\n=x\n[u]\nRange=today\n");
  EXPECT_EQ(UnknownTrackerLines(edited, u"t"),
            (std::vector<WideString>{u"Method=POST", u"Body={\"a\": 1}", u"Colour2=0x00FF0000", u"Method=PUT", u"flag",
                                     u"=x"}));
  EXPECT_EQ(UnknownTrackerLines(edited, u"U"), std::vector<WideString>{u"Range=today"});
  EXPECT_TRUE(UnknownTrackerLines(edited, u"none").empty());
}
