// The settings file as the manager keeps it: what a start finds there, and
// writes that lose nothing a hand edit or a crash left in the file.
#include <gtest/gtest.h>

#include "app/TrackerStore.h"
#include "tests/support/TextTestUtil.h"

using namespace testutil;
using Ids = std::vector<WideString>;

namespace {
// The bytes UpdateFile writes for INI text given with "\n".
std::string Ini(const WideString& text) {
  WideString crlf;
  for (WideChar c : text) {
    if (c == u'\n') crlf += u'\r';
    crlf += c;
  }
  return Bom() + Utf16Bytes(crlf);
}

const WideString kTrackerTail = u"\nInterval=15000\nTracker=-1\nPrevious=-1\nOpacity=255\nEnable=1\nBackColor=0x00000000\n\n";
// A tracker's section as Save writes it.
WideString Section(const WideString& id, int left, int top = 526, const WideString& title = u"Orvanta") {
  return WideFormat(u"[%s]\nLeft=%d\nTop=%d\nAlwaysTop=1\nIgnoreMouse=0\nPreventDragging=0\nTitle=%s\nOrvantaID=%s",
                    {id, left, top, title, id}) + kTrackerTail;
}

// Each test has its own folder with the settings file "orvanta.ini" in it.
class TrackerStore : public testing::Test {
protected:
  TTrackerStore& LoadFrom(const std::string& bytes) {
    WriteBytes(Dir.File(u"orvanta.ini"), bytes);
    return Load();
  }
  TTrackerStore& Load(const WideString& name = u"orvanta.ini") {
    Store = std::make_unique<TTrackerStore>(Dir.Name(name));
    Store->Load(u"20261207-113000");
    return *Store;
  }
  std::string OnDisk() const { return ReadBytes(Dir.File(u"orvanta.ini")); }
  TTrackerEntry Live(const WideString& id) const {
    return TTrackerEntry{Store->Tracker(id, TScreenRect{0, 0, 800, 600}), id};
  }
  Ids Created() const {
    Ids ids;
    for (const TTrackerStart& s : Store->ToCreate()) ids.push_back(s.ID);
    return ids;
  }

  TempDir Dir;
  std::unique_ptr<TTrackerStore> Store;
  std::vector<TTrackerEntry> None;
};
}  // namespace

// Whatever Orvanta cannot read in full is kept beside it byte for byte, and
// the run goes on with a new file that is saved as usual.
TEST_F(TrackerStore, AFileNotReadInFullIsKeptAsideByteForByteAndANewOneIsSaved) {
  const std::string utf16 = Ini(u"[Trackers]\nKey0=a\n[a]\nLeft=1\n");
  const std::pair<const char*, std::string> unreadable[] = {
      {"UTF-8 from an editor", "\xEF\xBB\xBF[Trackers]\r\nKey0=a\r\n[a]\r\nLeft=1\r\n"},
      {"a U+0000 inside", Ini(u"[Trackers]\nKey0=a\n") + std::string(2, '\0') + Ini(u"[a]\nLeft=1\n").substr(2)},
      {"8-bit text after the first lines", utf16 + "Key1=b\r\n"},
      {"an odd last byte", utf16 + "x"},
      {"a lone surrogate", utf16 + Utf16Bytes(WideString(1, static_cast<WideChar>(0xD800))) + Utf16Bytes(u"\r\n")},
      {"text without a section", Ini(u"Key0=a\nLeft=1\n")},
  };
  int n = 0;
  for (const auto& [what, bytes] : unreadable) {
    TTrackerStore& store = LoadFrom(bytes);
    ASSERT_EQ(store.State(), TSettingsState::KeptAside) << what;
    const WideString kept = Dir.Name(u"orvanta.ini.unreadable-20261207-113000") + (n++ ? WideFormat(u"-%d", {n}) : u"");
    EXPECT_EQ(store.KeptFile(), kept) << what;
    EXPECT_EQ(ReadBytes(fs::path(kept)), bytes) << what;
    ASSERT_TRUE(store.Save(u"TR-TR.INI", None)) << what;
    EXPECT_EQ(OnDisk(), Ini(u"[Config]\nLanguage=TR-TR.INI\n\n")) << what;
  }
  // Nothing in it is no reason to keep it.
  for (const std::string& empty : {std::string(), Bom(), Ini(u"\n  \n")})
    EXPECT_EQ(LoadFrom(empty).State(), TSettingsState::Read) << empty.size();
}

// Only "no such file" is a first run. A file the system will not show or
// open may hold every tracker: nothing is written over it in this run.
TEST_F(TrackerStore, OnlyAMissingFileIsAFirstRunAndOneThatCannotBeReachedIsNeverWrittenOver) {
  EXPECT_EQ(Load(u"no-folder/orvanta.ini").State(), TSettingsState::FirstRun);
  fs::create_directories(Dir.File(u"orvanta.ini"));
  WriteBytes(Dir.File(u"orvanta.ini") / "inside", "keep");
  EXPECT_EQ(Load().State(), TSettingsState::Blocked);
  EXPECT_FALSE(Store->LoadError().empty());
  EXPECT_FALSE(Store->Save(u"EN-US.INI", None));
  EXPECT_EQ(Store->SaveError(), Store->LoadError());
  EXPECT_EQ(ReadBytes(Dir.File(u"orvanta.ini") / "inside"), "keep");
  EXPECT_EQ(Dir.Content(), (std::vector<std::string>{"orvanta.ini"}));
#ifndef _WIN32
  // A name the system cannot resolve is no missing file either. (Under Wine
  // the error such names give differs between machines.)
  fs::create_directories(Dir.File(u"looped"));
  fs::create_symlink("orvanta.ini", Dir.File(u"looped") / "orvanta.ini");
  EXPECT_EQ(Load(u"looped/orvanta.ini").State(), TSettingsState::Blocked);
  EXPECT_FALSE(Store->Save(u"EN-US.INI", None));
  EXPECT_TRUE(fs::is_symlink(Dir.File(u"looped") / "orvanta.ini"));
#endif
}

// Hand edits: sections whose names differ only in case, one key name twice,
// an entry naming the file's own list. Each entry keeps its own section.
TEST_F(TrackerStore, HandEditedListsAreReadByPositionAndEachSectionStaysItsOwn) {
  LoadFrom(Ini(u"[Trackers]\nKey0=cs\nKey0=b\nKey1=CS\nKey2=trackers\n[cs]\nLeft=10\n[CS]\nLeft=20\n[b]\nLeft=30\n"));
  EXPECT_EQ(Created(), (Ids{u"cs", u"b"}));
  EXPECT_EQ(Store->Kept(), (Ids{u"CS", u"trackers"}));
  std::vector<TTrackerEntry> live = {Live(u"cs"), Live(u"b")};
  live[0].Settings.Left = 11;
  ASSERT_TRUE(Store->Save(u"EN-US.INI", live));
  EXPECT_EQ(OnDisk(), Ini(u"[CS]\nLeft=20\n\n[Config]\nLanguage=EN-US.INI\n\n"
                          u"[Trackers]\nKey0=cs\nKey1=b\nKey2=CS\nKey3=trackers\n\n" +
                          Section(u"cs", 11) + Section(u"b", 30)));

  // With only the kept entry's section, the live tracker reads it and is
  // written beside it under its own name.
  LoadFrom(Ini(u"[Trackers]\nKey0=cs\nKey1=CS\n[CS]\nLeft=20\n"));
  live = {Live(u"cs")};
  EXPECT_EQ(live[0].Settings.Left, 20);
  live[0].Settings.Left = 12;
  ASSERT_TRUE(Store->Save(u"EN-US.INI", live));
  EXPECT_NE(OnDisk().find(Ini(u"[CS]\nLeft=20\n\n").substr(2)), std::string::npos);
  EXPECT_NE(OnDisk().find(Ini(u"[cs]\nLeft=12\n").substr(2)), std::string::npos);
}

// The section a renamed or removed tracker leaves goes, unless another entry
// still names it; after the last save of a run nothing is written.
TEST_F(TrackerStore, RenamesAndRemovalsEraseOnlyWhatNoEntryNamesAndASealedStoreWritesNothing) {
  LoadFrom(Ini(u"[Trackers]\nKey0=a\nKey1=b\nKey2=B\n" + Section(u"a", 1, 2, u"T") + Section(u"b", 1, 2, u"T")));
  ASSERT_EQ(Store->Kept(), (Ids{u"B"}));
  std::vector<TTrackerEntry> live = {Live(u"a"), Live(u"b")};
  live[0].Settings.ID = u"x";
  live[1].Settings.ID = u"y";
  ASSERT_TRUE(Store->Save(u"EN-US.INI", live));
  TTrackerStore read(Dir.Name(u"orvanta.ini"));
  read.Load(u"");
  EXPECT_EQ(read.Tracker(u"B", {}).Title, u"T") << "b's section stays for the kept B";
  EXPECT_NE(read.Tracker(u"a", {}).Title, u"T") << "a's section is gone";

  const TTrackerEntry removed = live[1];
  live.pop_back();
  Store->Remove(removed, live);
  EXPECT_EQ(Store->Tracker(u"y", {}).Title, u"Orvanta") << "y's own section went at once";
  ASSERT_TRUE(Store->Save(u"EN-US.INI", live));
  EXPECT_EQ(Store->Tracker(u"B", {}).Title, u"T") << "the section the kept entry names stays";

  const std::string before = OnDisk();
  Store->Seal();
  EXPECT_TRUE(Store->Save(u"TR-TR.INI", None));
  EXPECT_EQ(OnDisk(), before);
}

// Keys this version does not know stay in their tracker's section, after the
// ones it writes, at every save; a renamed tracker takes them to its new
// section, and a removed one's go with its section.
TEST_F(TrackerStore, KeysThisVersionDoesNotKnowStayWithTheirTracker) {
  LoadFrom(Ini(u"[Trackers]\nKey0=a\nKey1=b\n[a]\nMethod=POST\nLeft=5\nBody=x=1&y\nMethod=PUT\nflag\n"
               u"[b]\nRange=today\nTitle=B\n"));
  std::vector<TTrackerEntry> live = {Live(u"a"), Live(u"b")};
  // A section as Save writes it, then the lines it did not know.
  auto with = [](const WideString& section, const WideString& lines) {
    return section.substr(0, section.size() - 1) + lines + u"\n";
  };
  const WideString a = u"Method=POST\nBody=x=1&y\nMethod=PUT\nflag\n";
  const WideString b = with(Section(u"b", 721, 526, u"B"), u"Range=today\n");
  const WideString head = u"[Config]\nLanguage=EN-US.INI\n\n[Trackers]\n";
  for (int save = 0; save < 2; ++save) {
    ASSERT_TRUE(Store->Save(u"EN-US.INI", live));
    EXPECT_EQ(OnDisk(), Ini(head + u"Key0=a\nKey1=b\n\n" + with(Section(u"a", 5), a) + b)) << save;
  }
  live[0].Settings.ID = u"c";
  ASSERT_TRUE(Store->Save(u"EN-US.INI", live));
  EXPECT_EQ(OnDisk(), Ini(head + u"Key0=c\nKey1=b\n\n" + with(Section(u"c", 5), a) + b));

  const TTrackerEntry removed = live[0];
  live.erase(live.begin());
  Store->Remove(removed, live);
  ASSERT_TRUE(Store->Save(u"EN-US.INI", live));
  EXPECT_EQ(OnDisk().find(Utf16Bytes(u"Method")), std::string::npos);
}

// A hostile list of 100,000 entries and 50,000 sections loads in one pass (a
// pass or a search per entry would keep the program from its message loop for
// hours); the cap stays.
TEST_F(TrackerStore, AHundredThousandEntriesLoadInOnePass) {
  WideString text = u"[Trackers]\n";
  for (int32_t i = 0; i < 100000; ++i) text += WideFormat(u"Key%d=t%d\n", {i, i});
  for (int32_t i = 0; i < 100000; i += 2) text += WideFormat(u"[t%d]\nLeft=1\n", {i});
  TTrackerStore& store = LoadFrom(Ini(text));
  EXPECT_EQ(store.ToCreate().size(), MAX_TRACKERS);
  EXPECT_EQ(store.ToCreate().back().ID, u"t398");
}
