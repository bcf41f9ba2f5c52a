// The settings file as the manager keeps it: what a start finds there, and
// writes that lose nothing a hand edit or a crash left in the file.
#include <gtest/gtest.h>

#include "app/TrackerStore.h"
#include "text/TextTestUtil.h"

using namespace testutil;

namespace {
constexpr const WideChar kStamp[] = u"20261207-113000";

// The bytes UpdateFile writes for INI text given with "\n".
std::string Ini(const WideString& text) {
  WideString crlf;
  for (WideChar c : text) {
    if (c == u'\n') crlf += u'\r';
    crlf += c;
  }
  return Bom() + Utf16Bytes(crlf);
}

TTrackerEntry Live(const TTrackerStore& store, const WideString& id) {
  return TTrackerEntry{store.Tracker(id, TScreenRect{0, 0, 800, 600}), id};
}

std::vector<WideString> Created(const TTrackerStore& store) {
  std::vector<WideString> ids;
  for (const TTrackerStart& s : store.ToCreate()) ids.push_back(s.ID);
  return ids;
}

const WideString kTracker = u"Left=1\nTop=2\nAlwaysTop=1\nIgnoreMouse=0\nPreventDragging=0\nTitle=T\nOrvantaID=";
const WideString kTrackerTail = u"\nInterval=15000\nTracker=-1\nPrevious=-1\nOpacity=255\nEnable=1\nBackColor=0x00000000\n\n";
WideString Section(const WideString& id) { return u"[" + id + u"]\n" + kTracker + id + kTrackerTail; }
}  // namespace

// Whatever Orvanta cannot read in full is kept beside it byte for byte, and
// the run goes on with a new file that is saved as usual.
TEST(TrackerStore, AFileNotReadInFullIsKeptAsideByteForByteAndANewOneIsSaved) {
  const std::string utf16 = Ini(u"[Trackers]\nKey0=a\n[a]\nLeft=1\n");
  const std::pair<const char*, std::string> unreadable[] = {
      {"UTF-8 from an editor", "\xEF\xBB\xBF[Trackers]\r\nKey0=a\r\n[a]\r\nLeft=1\r\n"},
      {"UTF-8 without a mark", "[Trackers]\r\nKey0=a\r\n[a]\r\nLeft=1\r\n"},
      {"a U+0000 inside", Ini(u"[Trackers]\nKey0=a\n") + std::string(2, '\0') + Ini(u"[a]\nLeft=1\n").substr(2)},
      {"8-bit text after the first lines", utf16 + "Key1=b\r\n"},
      {"an odd last byte", utf16 + "x"},
      {"a lone surrogate", utf16 + Utf16Bytes(WideString(1, static_cast<WideChar>(0xD800))) + Utf16Bytes(u"\r\n")},
      {"binary junk", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16)},
      {"text without a section", Ini(u"Key0=a\nLeft=1\n")},
  };
  TempDir dir;
  const WideString file = dir.Name(u"orvanta.ini");
  int n = 0;
  for (const auto& [what, bytes] : unreadable) {
    WriteBytes(dir.File(u"orvanta.ini"), bytes);
    TTrackerStore store(file);
    store.Load(kStamp);
    ASSERT_EQ(store.State(), TSettingsState::KeptAside) << what;
    const WideString kept = file + u".unreadable-20261207-113000" + (n++ ? WideFormat(u"-%d", {n}) : WideString());
    EXPECT_EQ(store.KeptFile(), kept) << what;
    EXPECT_EQ(ReadBytes(fs::path(kept)), bytes) << what;
    EXPECT_TRUE(store.ToCreate().empty()) << what;
    std::vector<TTrackerEntry> none;
    ASSERT_TRUE(store.Save(u"TR-TR.INI", none)) << what;
    EXPECT_EQ(ReadBytes(dir.File(u"orvanta.ini")), Ini(u"[Config]\nLanguage=TR-TR.INI\n\n")) << what;
  }
  // Nothing in it is no reason to keep it.
  for (const std::string& empty : {std::string(), Bom(), Ini(u"\n  \n")}) {
    WriteBytes(dir.File(u"orvanta.ini"), empty);
    TTrackerStore store(file);
    store.Load(kStamp);
    EXPECT_EQ(store.State(), TSettingsState::Read) << empty.size();
  }
}

// Only "no such file" is a first run. A file the system will not show or
// open may hold every tracker: nothing is written over it in this run.
TEST(TrackerStore, OnlyAMissingFileIsAFirstRunAndOneThatCannotBeReachedIsNeverWrittenOver) {
  TempDir dir;
  TTrackerStore missing(dir.Name(u"no-folder/orvanta.ini"));
  missing.Load(kStamp);
  EXPECT_EQ(missing.State(), TSettingsState::FirstRun);

  fs::create_directories(dir.File(u"orvanta.ini"));
  WriteBytes(dir.File(u"orvanta.ini") / "inside", "keep");
  {
    TTrackerStore store(dir.Name(u"orvanta.ini"));
    store.Load(kStamp);
    EXPECT_EQ(store.State(), TSettingsState::Blocked);
    EXPECT_FALSE(store.LoadError().empty());
    std::vector<TTrackerEntry> none;
    EXPECT_FALSE(store.Save(u"EN-US.INI", none));
    EXPECT_EQ(store.SaveError(), store.LoadError());
  }
  EXPECT_EQ(ReadBytes(dir.File(u"orvanta.ini") / "inside"), "keep");
  EXPECT_EQ(dir.Content(), (std::vector<std::string>{"orvanta.ini"}));
#ifndef _WIN32
  // A name the system cannot resolve is no missing file either. (Under Wine
  // the error such names give differs between machines.)
  fs::create_directories(dir.File(u"looped"));
  fs::create_symlink("orvanta.ini", dir.File(u"looped") / "orvanta.ini");
  TTrackerStore looped(dir.Name(u"looped/orvanta.ini"));
  looped.Load(kStamp);
  EXPECT_EQ(looped.State(), TSettingsState::Blocked);
  std::vector<TTrackerEntry> none;
  EXPECT_FALSE(looped.Save(u"EN-US.INI", none));
  EXPECT_TRUE(fs::is_symlink(dir.File(u"looped") / "orvanta.ini"));
#endif
}

// A crash between the two steps of a replace that is not atomic leaves only
// the temporary file: a whole one is the settings file.
TEST(TrackerStore, AWholeTemporaryFileStandsInForAMissingSettingsFile) {
  TempDir dir;
  const WideString file = dir.Name(u"orvanta.ini");
  const std::string whole = Ini(u"[Trackers]\nKey0=a\n\n" + Section(u"a"));
  WriteBytes(dir.File(u"orvanta.ini.~tmp"), whole);
  TTrackerStore promoted(file);
  promoted.Load(kStamp);
  EXPECT_EQ(promoted.State(), TSettingsState::Read);
  EXPECT_EQ(Created(promoted), (std::vector<WideString>{u"a"}));
  EXPECT_EQ(ReadBytes(dir.File(u"orvanta.ini")), whole);
  EXPECT_EQ(dir.Content(), (std::vector<std::string>{"orvanta.ini"}));

  // Cut short, it is left for the next write; beside the real file it goes.
  fs::remove(dir.File(u"orvanta.ini"));
  WriteBytes(dir.File(u"orvanta.ini.~tmp"), whole.substr(0, whole.size() - 7));
  TTrackerStore cut(file);
  cut.Load(kStamp);
  EXPECT_EQ(cut.State(), TSettingsState::FirstRun);
  EXPECT_EQ(dir.Content(), (std::vector<std::string>{"orvanta.ini.~tmp"}));
  WriteBytes(dir.File(u"orvanta.ini"), whole);
  TTrackerStore beside(file);
  beside.Load(kStamp);
  EXPECT_EQ(dir.Content(), (std::vector<std::string>{"orvanta.ini"}));
}

// Hand edits: sections whose names differ only in case, one key name twice,
// an entry naming the file's own list. Each entry keeps its own section.
TEST(TrackerStore, HandEditedListsAreReadByPositionAndEachSectionStaysItsOwn) {
  TempDir dir;
  const WideString file = dir.Name(u"orvanta.ini");
  WriteBytes(dir.File(u"orvanta.ini"),
             Ini(u"[Trackers]\nKey0=cs\nKey0=b\nKey1=CS\nKey2=trackers\n[cs]\nLeft=10\n[CS]\nLeft=20\n[b]\nLeft=30\n"));
  TTrackerStore store(file);
  store.Load(kStamp);
  EXPECT_EQ(Created(store), (std::vector<WideString>{u"cs", u"b"}));
  EXPECT_EQ(store.Kept(), (std::vector<WideString>{u"CS", u"trackers"}));
  EXPECT_EQ(store.Tracker(u"cs", {}).Left, 10);
  std::vector<TTrackerEntry> live = {Live(store, u"cs"), Live(store, u"b")};
  live[0].Settings.Left = 11;
  ASSERT_TRUE(store.Save(u"EN-US.INI", live));
  EXPECT_EQ(ReadBytes(dir.File(u"orvanta.ini")),
            Ini(u"[CS]\nLeft=20\n\n[Config]\nLanguage=EN-US.INI\n\n"
                u"[Trackers]\nKey0=cs\nKey1=b\nKey2=CS\nKey3=trackers\n\n" +
                WideString(u"[cs]\nLeft=11\nTop=526\nAlwaysTop=1\nIgnoreMouse=0\nPreventDragging=0\nTitle=Orvanta\n"
                           u"OrvantaID=cs") +
                kTrackerTail +
                u"[b]\nLeft=30\nTop=526\nAlwaysTop=1\nIgnoreMouse=0\nPreventDragging=0\nTitle=Orvanta\nOrvantaID=b" +
                kTrackerTail));
  TTrackerStore again(file);
  again.Load(kStamp);
  EXPECT_EQ(again.Tracker(u"cs", {}).Left, 11);
  EXPECT_EQ(again.Tracker(u"CS", {}).Left, 20);

  // With only the kept entry's section, the live tracker reads it and is
  // written beside it under its own name.
  WriteBytes(dir.File(u"orvanta.ini"), Ini(u"[Trackers]\nKey0=cs\nKey1=CS\n[CS]\nLeft=20\n"));
  TTrackerStore shared(file);
  shared.Load(kStamp);
  live = {Live(shared, u"cs")};
  EXPECT_EQ(live[0].Settings.Left, 20);
  live[0].Settings.Left = 12;
  ASSERT_TRUE(shared.Save(u"EN-US.INI", live));
  EXPECT_NE(ReadBytes(dir.File(u"orvanta.ini")).find(Ini(u"[CS]\nLeft=20\n\n").substr(2)), std::string::npos);
  EXPECT_NE(ReadBytes(dir.File(u"orvanta.ini")).find(Ini(u"[cs]\nLeft=12\n").substr(2)), std::string::npos);
}

// The section a renamed or removed tracker leaves goes, unless another entry
// still names it; after the last save of a run nothing is written.
TEST(TrackerStore, RenamesAndRemovalsEraseOnlyWhatNoEntryNamesAndASealedStoreWritesNothing) {
  TempDir dir;
  const WideString file = dir.Name(u"orvanta.ini");
  WriteBytes(dir.File(u"orvanta.ini"), Ini(u"[Trackers]\nKey0=a\nKey1=b\nKey2=B\n" + Section(u"a") + Section(u"b")));
  TTrackerStore store(file);
  store.Load(kStamp);
  ASSERT_EQ(store.Kept(), (std::vector<WideString>{u"B"}));
  std::vector<TTrackerEntry> live = {Live(store, u"a"), Live(store, u"b")};
  live[0].Settings.ID = u"x";
  live[1].Settings.ID = u"y";
  ASSERT_TRUE(store.Save(u"EN-US.INI", live));
  TTrackerStore read(file);
  read.Load(kStamp);
  EXPECT_EQ(Created(read), (std::vector<WideString>{u"x", u"y", u"B"})) << "b's section stays for the kept B";
  EXPECT_FALSE(read.Tracker(u"a", {}).Title == u"T") << "a's section is gone";

  const TTrackerEntry removed = live[1];
  live.pop_back();
  store.Remove(removed, live);
  ASSERT_TRUE(store.Save(u"EN-US.INI", live));
  EXPECT_EQ(store.Tracker(u"y", {}).Title, u"Orvanta") << "y's own section went";
  EXPECT_EQ(store.Tracker(u"B", {}).Title, u"T") << "the section the kept entry names stays";

  const std::string before = ReadBytes(dir.File(u"orvanta.ini"));
  store.Seal();
  std::vector<TTrackerEntry> none;
  EXPECT_TRUE(store.Save(u"TR-TR.INI", none));
  EXPECT_EQ(ReadBytes(dir.File(u"orvanta.ini")), before);
}

// A hostile list of 100,000 entries loads in one pass (a pass per entry would
// keep the program from its message loop for hours); the cap stays.
TEST(TrackerStore, AHundredThousandEntriesLoadInOnePass) {
  TempDir dir;
  WideString text = u"[Trackers]\n";
  for (int32_t i = 0; i < 100000; ++i) text += WideFormat(u"Key%d=t%d\n", {i, i % 250 == 0 ? i / 250 : i + 1000});
  for (int32_t i = 0; i < 300; ++i) text += WideFormat(u"[t%d]\nLeft=1\n", {i});
  WriteBytes(dir.File(u"orvanta.ini"), Ini(text));
  TTrackerStore store(dir.Name(u"orvanta.ini"));
  store.Load(kStamp);
  EXPECT_EQ(store.ToCreate().size(), MAX_TRACKERS);
  EXPECT_EQ(store.Kept().size(), 300u - MAX_TRACKERS);
  EXPECT_EQ(store.ToCreate().back().StartDelay, FIRST_START_DELAY + START_DELAY_STEP * 199);
}
