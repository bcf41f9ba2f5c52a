#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <thread>
#include <vector>

#include "TextTestUtil.h"
#include "text/WIniFiles.h"

#ifdef _WIN32
#include "platform/WinApi.h"
#else
#include <csignal>
#include <sys/resource.h>
#endif

using testutil::Bom;
using testutil::ReadBytes;
using testutil::TempDir;
using testutil::Utf16Bytes;
using testutil::WriteBytes;
namespace fs = std::filesystem;

namespace {

std::vector<WideString> Items(const TWStrings& list) {
  std::vector<WideString> items;
  for (int i = 0; i < list.GetCount(); ++i) items.push_back(list.Get(i));
  return items;
}

int SectionCount(const TWMemIniFile& ini) {
  TWStringList sections;
  ini.ReadSections(&sections);
  return sections.GetCount();
}

// Files in the folder other than the expected ones: a temporary file left behind shows here.
std::vector<std::string> FolderContent(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

void FillTracker(TWMemIniFile& ini, const WideString& id) {
  ini.WriteString(u"Trackers", u"Key0", id);
  ini.WriteInteger(id, u"Left", 100);
  ini.WriteString(id, u"Title", u"Site \u00e7");
}

const std::string kOldContent = Bom() + Utf16Bytes(u"[Config]\r\nLanguage=OLD\r\n\r\n");

}  // namespace

TEST(FileFormat, SaveAndLoadRoundTripByteExact) {
  TempDir dir;
  TWStringList list;
  list.Add(u"a");
  list.Add(u"\u00e7\U0001F600");
  list.Add(u"");
  list.SaveToFile(dir.Name(u"list.txt"));
  EXPECT_EQ(ReadBytes(dir.File(u"list.txt")), Bom() + Utf16Bytes(u"a\r\n\u00e7\U0001F600\r\n\r\n"));
  TWStringList loaded;
  loaded.LoadFromFile(dir.Name(u"list.txt"));
  EXPECT_EQ(Items(loaded), Items(list));

  TWStringList empty;
  empty.SaveToFile(dir.Name(u"empty.txt"));
  EXPECT_EQ(ReadBytes(dir.File(u"empty.txt")), Bom());
  EXPECT_EQ(FolderContent(dir.Path), (std::vector<std::string>{"empty.txt", "list.txt"}));
}

TEST(FileFormat, FileWithoutMarkIsUtf16FromByteZero) {
  TempDir dir;
  struct Case {
    std::string Bytes;
    std::vector<WideString> Expected;
  } cases[] = {
      {Utf16Bytes(u"x\r\ny"), {u"x", u"y"}},
      {"", {}},
      {"\xFF", {}},
      {Bom(), {}},
      {std::string("\xFE\xFF\x00x", 4), {u"\xFFFE" u"\x7800"}},
      {Utf16Bytes(u"ab") + "c", {u"ab"}},
  };
  for (const Case& c : cases) {
    testutil::WriteBytes(dir.File(u"f.txt"), c.Bytes);
    TWStringList list;
    list.Add(u"stale");
    list.LoadFromFile(dir.Name(u"f.txt"));
    EXPECT_EQ(Items(list), c.Expected) << c.Bytes.size();
  }
}

TEST(FileErrors, MissingFileRaisesCannotOpenWithFullPath) {
  TempDir dir;
  TWStringList list;
  try {
    list.LoadFromFile(dir.Name(u"missing.txt"));
    FAIL() << "nothing raised";
  } catch (const EFOpenError& e) {
    const WideString prefix = u"Cannot open file \"" + dir.Name(u"missing.txt") + u"\". ";
    EXPECT_EQ(e.Message().substr(0, prefix.size()), prefix) << e.what();
    EXPECT_GT(e.Message().size(), prefix.size()) << "the system's error text follows";
  }
  TWMemIniFile ini(dir.Name(u"missing.ini"));
  EXPECT_EQ(SectionCount(ini), 0) << "a missing file is an empty INI";
}

TEST(UpdateFile, WritesMarkAndCrLfLines) {
  TempDir dir;
  TWMemIniFile ini(dir.Name(u"s.ini"));
  ini.WriteString(u"S", u"k", u"v");
  ini.UpdateFile();
  EXPECT_EQ(ReadBytes(dir.File(u"s.ini")), std::string("\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0v\0\r\0\n\0\r\0\n\0", 26));
}

TEST(UpdateFile, ReplacesTheWholeOldFile) {
  TempDir dir;
  WriteBytes(dir.File(u"s.ini"), kOldContent + Utf16Bytes(u"[Long]\r\n" + WideString(5000, u'x') + u"\r\n"));
  TWMemIniFile ini(dir.Name(u"s.ini"));
  ini.EraseSection(u"long");
  ini.WriteString(u"config", u"language", u"NEW");
  ini.UpdateFile();
  EXPECT_EQ(ReadBytes(dir.File(u"s.ini")), Bom() + Utf16Bytes(u"[Config]\r\nlanguage=NEW\r\n\r\n"));
  EXPECT_EQ(FolderContent(dir.Path), (std::vector<std::string>{"s.ini"}));
}

TEST(UpdateFile, MissingFolderFailsCleanlyAndLaterSucceeds) {
  TempDir dir;
  const WideString name = dir.Name(u"sub") + WideString(1, WideChar(fs::path::preferred_separator)) + u"s.ini";
  TWMemIniFile ini(name);
  FillTracker(ini, u"ID1");
  try {
    ini.UpdateFile();
    FAIL() << "nothing raised";
  } catch (const EFCreateError& e) {
    const WideString prefix = u"Cannot create file \"" + name + u"\". ";
    EXPECT_EQ(e.Message().substr(0, prefix.size()), prefix) << e.what();
  }
  EXPECT_TRUE(FolderContent(dir.Path).empty());
  fs::create_directories(dir.Path / "sub");
  ini.UpdateFile();
  TWMemIniFile again(name);
  EXPECT_EQ(again.ReadString(u"id1", u"title", u""), u"Site \u00e7");
}

TEST(UpdateFile, TargetThatCannotBeReplacedStaysAndNoTemporaryFileRemains) {
  TempDir dir;
  fs::create_directories(dir.Path / "s.ini");
  WriteBytes(dir.Path / "s.ini" / "inside", "keep");
  TWMemIniFile ini(dir.Name(u"s.ini"));
  EXPECT_EQ(SectionCount(ini), 0) << "a folder is not a settings file";
  FillTracker(ini, u"ID1");
  EXPECT_THROW(ini.UpdateFile(), EFCreateError);
  EXPECT_EQ(FolderContent(dir.Path), (std::vector<std::string>{"s.ini"}));
  EXPECT_EQ(ReadBytes(dir.Path / "s.ini" / "inside"), "keep");
  EXPECT_EQ(ini.ReadInteger(u"ID1", u"Left", 0), 100) << "the content in memory is not affected";
}

TEST(UpdateFile, LeftoverTemporaryFileIsIgnoredAndRemovedOnLoad) {
  TempDir dir;
  WriteBytes(dir.File(u"s.ini"), kOldContent);
  WriteBytes(dir.File(u"s.ini.~tmp"), Bom() + Utf16Bytes(u"[Config]\r\nLang"));
  TWMemIniFile ini(dir.Name(u"s.ini"));
  EXPECT_EQ(ini.ReadString(u"Config", u"Language", u""), u"OLD");
  EXPECT_EQ(FolderContent(dir.Path), (std::vector<std::string>{"s.ini"}));

  WriteBytes(dir.File(u"new.ini.~tmp"), "partial");
  TWMemIniFile fresh(dir.Name(u"new.ini"));
  EXPECT_EQ(SectionCount(fresh), 0);
  EXPECT_EQ(FolderContent(dir.Path), (std::vector<std::string>{"s.ini"}));
}

TEST(UpdateFile, FolderNamesOutsideTheAnsiCodePage) {
  TempDir dir;
  const std::u16string folder = u"\u03a9\u03bb-\u65e5\u672c-\u00e4";
  fs::create_directories(dir.File(folder));
  const WideString name = (dir.File(folder) / "orvanta.ini").u16string();
  TWMemIniFile ini(name);
  FillTracker(ini, u"\u0416\u0437");
  ini.UpdateFile();
  EXPECT_TRUE(fs::exists(dir.File(folder) / "orvanta.ini"));
  TWMemIniFile again(name);
  EXPECT_EQ(again.ReadString(u"Trackers", u"Key0", u""), u"\u0416\u0437");
  EXPECT_EQ(again.ReadInteger(u"\u0416\u0437", u"left", 0), 100);
}

#ifdef _WIN32

namespace {
HANDLE LockExclusively(const fs::path& path) {
  return CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}
}  // namespace

TEST(UpdateFile, WaitsForABrieflyLockedTarget) {
  TempDir dir;
  WriteBytes(dir.File(u"s.ini"), kOldContent);
  TWMemIniFile ini(dir.Name(u"s.ini"));
  ini.WriteString(u"Config", u"Language", u"NEW");
  HANDLE lock = LockExclusively(dir.File(u"s.ini"));
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  std::thread unlock([lock] {
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    CloseHandle(lock);
  });
  ini.UpdateFile();
  unlock.join();
  EXPECT_EQ(ReadBytes(dir.File(u"s.ini")), Bom() + Utf16Bytes(u"[Config]\r\nLanguage=NEW\r\n\r\n"));
  EXPECT_EQ(FolderContent(dir.Path), (std::vector<std::string>{"s.ini"}));
}

TEST(UpdateFile, LockedTargetFailsAndStaysIntact) {
  TempDir dir;
  WriteBytes(dir.File(u"s.ini"), kOldContent);
  TWMemIniFile ini(dir.Name(u"s.ini"));
  ini.WriteString(u"Config", u"Language", u"NEW");
  HANDLE lock = LockExclusively(dir.File(u"s.ini"));
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  EXPECT_THROW(ini.UpdateFile(), EFCreateError);
  EXPECT_THROW(TWMemIniFile(dir.Name(u"s.ini")), EFOpenError) << "an existing file that cannot be opened";
  CloseHandle(lock);
  EXPECT_EQ(ReadBytes(dir.File(u"s.ini")), kOldContent);
  EXPECT_EQ(FolderContent(dir.Path), (std::vector<std::string>{"s.ini"}));
}

#else

TEST(UpdateFile, WriteFailureKeepsTheOldFile) {
  TempDir dir;
  WriteBytes(dir.File(u"s.ini"), kOldContent);
  TWMemIniFile ini(dir.Name(u"s.ini"));
  ini.WriteString(u"Config", u"Big", WideString(4000, u'x'));
  // A file size limit makes the write fail half way, as a full disk would.
  rlimit old;
  getrlimit(RLIMIT_FSIZE, &old);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 1000;
  setrlimit(RLIMIT_FSIZE, &small);
  WideString message;
  try {
    ini.UpdateFile();
  } catch (const EWriteError& e) {
    message = e.Message();
  }
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(message, u"Stream write error");
  EXPECT_EQ(ReadBytes(dir.File(u"s.ini")), kOldContent);
  EXPECT_EQ(FolderContent(dir.Path), (std::vector<std::string>{"s.ini"}));
  ini.UpdateFile();
  EXPECT_EQ(TWMemIniFile(dir.Name(u"s.ini")).ReadString(u"Config", u"Big", u"").size(), 4000u);
}

#endif

TEST(AtomicFileStream, UncommittedWriteLeavesTargetAndNoTemporaryFile) {
  TempDir dir;
  WriteBytes(dir.File(u"t.bin"), "old");
  {
    TAtomicFileStream stream(dir.Name(u"t.bin"));
    stream.WriteBuffer("new content", 11);
  }
  EXPECT_EQ(ReadBytes(dir.File(u"t.bin")), "old");
  EXPECT_EQ(FolderContent(dir.Path), (std::vector<std::string>{"t.bin"}));
  EXPECT_THROW(TAtomicFileStream{WideString()}, EFCreateError);
}

// Each of these loads without crash or hang; what is not text gives an empty
// or partial INI.
TEST(HostileFiles, LoadWithoutHarm) {
  TempDir dir;
  std::mt19937 random(1234);
  auto junk = [&](size_t n) {
    std::string bytes(n, '\0');
    for (char& b : bytes) b = static_cast<char>(random());
    return bytes;
  };
  std::string manySections = Bom();
  {
    WideString text;
    for (int i = 0; i < 100000; ++i) text += WideFormat(u"[S%d]\r\nk=%d\r\n", {i, i});
    manySections += Utf16Bytes(text);
  }
  std::string huge = Bom() + Utf16Bytes(u"[Big]\r\n");
  {
    WideString block;
    for (int i = 0; i < 1000; ++i) block += WideFormat(u"Key%d=some value here\r\n", {i});
    const std::string bytes = Utf16Bytes(block);
    while (huge.size() < 20u * 1024 * 1024) huge += bytes;
  }
  struct Case {
    const char* Name;
    std::string Bytes;
    std::function<void(const TWMemIniFile&)> Check;
    bool WriteBack = true;  // the big ones only need to load
  } cases[] = {
      {"binary junk", junk(1 << 20), [](const TWMemIniFile&) {}},
      {"odd byte count", Bom() + Utf16Bytes(u"[A]\r\nk=v") + "\x41",
       [](const TWMemIniFile& ini) { EXPECT_EQ(ini.ReadString(u"A", u"k", u""), u"v"); }},
      {"20 MB", huge,
       [](const TWMemIniFile& ini) { EXPECT_EQ(ini.ReadString(u"Big", u"Key7", u""), u"some value here"); }, false},
      {"100,000 sections", manySections,
       [](const TWMemIniFile& ini) {
         EXPECT_EQ(SectionCount(ini), 100000);
         EXPECT_EQ(ini.ReadInteger(u"s99999", u"K", -1), 99999);
         EXPECT_EQ(ini.ReadInteger(u"s0", u"K", -1), 0);
       },
       false},
      {"1 MB line", Bom() + Utf16Bytes(u"[L]\r\nk=" + WideString(1 << 20, u'v') + u"\r\n"),
       [](const TWMemIniFile& ini) { EXPECT_EQ(ini.ReadString(u"L", u"k", u"").size(), size_t(1) << 20); }},
      {"UTF-16 without mark", Utf16Bytes(u"[A]\r\nk=\u00e7"),
       [](const TWMemIniFile& ini) { EXPECT_EQ(ini.ReadString(u"a", u"K", u""), u"\u00e7"); }},
      {"UTF-8", "\xEF\xBB\xBF[Config]\r\nLanguage=EN-US.INI\r\n\xC3\xA7=1\r\n",
       [](const TWMemIniFile& ini) { EXPECT_EQ(ini.ReadString(u"Config", u"Language", u"d"), u"d"); }},
      {"NUL early", Bom() + Utf16Bytes(WideString(u"[A]\r\nk=v\0[B]\r\nq=1", 17)),
       [](const TWMemIniFile& ini) {
         EXPECT_EQ(ini.ReadString(u"A", u"k", u""), u"v");
         EXPECT_FALSE(ini.SectionExists(u"B"));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    WriteBytes(dir.File(u"h.ini"), c.Bytes);
    TWMemIniFile ini(dir.Name(u"h.ini"));
    c.Check(ini);
    EXPECT_EQ(ini.ReadString(u"Missing", u"k", u"d"), u"d");
    if (!c.WriteBack) continue;
    ini.WriteString(u"Config", u"Language", u"EN-US.INI");
    ini.UpdateFile();
    TWMemIniFile again(dir.Name(u"h.ini"));
    EXPECT_EQ(again.ReadString(u"config", u"language", u""), u"EN-US.INI");
  }
}
