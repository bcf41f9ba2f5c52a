#include <gtest/gtest.h>

#include <chrono>
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

using namespace testutil;
using Names = std::vector<std::string>;

namespace {

int SectionCount(const TWMemIniFile& ini) {
  TWStringList sections;
  ini.ReadSections(&sections);
  return sections.GetCount();
}

const std::string kOldContent = Bom() + Utf16Bytes(u"[Config]\r\nLanguage=OLD\r\n\r\n");

}  // namespace

TEST(FileFormat, Utf16LeWithCrLfLinesAndAnOptionalMark) {
  TempDir dir;
  TWStringList list;
  list.SetText(u"a\n\u00e7\U0001F600\n\n");
  list.SaveToFile(dir.Name(u"list.txt"));
  EXPECT_EQ(ReadBytes(dir.File(u"list.txt")), Bom() + Utf16Bytes(u"a\r\n\u00e7\U0001F600\r\n\r\n"));
  TWStringList().SaveToFile(dir.Name(u"empty.txt"));
  EXPECT_EQ(ReadBytes(dir.File(u"empty.txt")), Bom());
  EXPECT_EQ(dir.Content(), (Names{"empty.txt", "list.txt"}));
  // Without the mark the text starts at byte 0; an odd last byte is ignored.
  struct Case {
    std::string Bytes;
    std::vector<WideString> Expected;
  } cases[] = {
      {ReadBytes(dir.File(u"list.txt")), Items(list)}, {Utf16Bytes(u"x\r\ny"), {u"x", u"y"}}, {"", {}}, {"\xFF", {}},
      {Bom(), {}}, {std::string("\xFE\xFF\x00x", 4), {u"\xFFFE" u"\x7800"}}, {Utf16Bytes(u"ab") + "c", {u"ab"}},
  };
  for (const Case& c : cases) {
    WriteBytes(dir.File(u"f.txt"), c.Bytes);
    TWStringList loaded;
    loaded.Add(u"stale");
    loaded.LoadFromFile(dir.Name(u"f.txt"));
    EXPECT_EQ(Items(loaded), c.Expected) << c.Bytes.size();
  }
}

TEST(UpdateFile, ReplacesTheWholeOldFileWithMarkAndCrLfLines) {
  TempDir dir;
  WriteBytes(dir.File(u"s.ini"), kOldContent + Utf16Bytes(u"[Long]\r\n" + WideString(5000, u'x') + u"\r\n"));
  TWMemIniFile ini(dir.Name(u"s.ini"));
  ini.EraseSection(u"long");
  ini.EraseSection(u"config");
  ini.WriteString(u"S", u"k", u"v");
  ini.UpdateFile();
  EXPECT_EQ(ReadBytes(dir.File(u"s.ini")), std::string("\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0v\0\r\0\n\0\r\0\n\0", 26));
  EXPECT_EQ(dir.Content(), (Names{"s.ini"}));
}

TEST(FileErrors, MissingFileOrFolderRaisesWithFullPathAndLeavesNothing) {
  TempDir dir;
  const WideString opening = MessageOf<EFOpenError>([&] { TWStringList().LoadFromFile(dir.Name(u"missing.txt")); });
  const WideString cannotOpen = u"Cannot open file \"" + dir.Name(u"missing.txt") + u"\". ";
  EXPECT_EQ(opening.substr(0, cannotOpen.size()), cannotOpen) << Utf8FromWide(opening);
  EXPECT_GT(opening.size(), cannotOpen.size()) << "the system's error text follows";
  EXPECT_EQ(SectionCount(TWMemIniFile(dir.Name(u"missing.ini"))), 0);
  // A folder name outside the ANSI code page, created only after the first try.
  const std::u16string sub = u"\u03a9\u03bb-\u65e5\u672c-\u00e4";
  const WideString name = dir.Name(sub) + WideString(1, WideChar(fs::path::preferred_separator)) + u"s.ini";
  TWMemIniFile ini(name);
  ini.WriteString(u"ID1", u"Title", u"Site \u00e7");
  const WideString cannotCreate = u"Cannot create file \"" + name + u"\". ";
  EXPECT_EQ(MessageOf<EFCreateError>([&] { ini.UpdateFile(); }).substr(0, cannotCreate.size()), cannotCreate);
  EXPECT_TRUE(dir.Content().empty());
  fs::create_directories(dir.File(sub));
  ini.UpdateFile();
  EXPECT_EQ(TWMemIniFile(name).ReadString(u"id1", u"title", u""), u"Site \u00e7");
  EXPECT_THROW(TWMemIniFile(WideString()).UpdateFile(), EFCreateError);
}

TEST(UpdateFile, TargetThatCannotBeReplacedStaysAndNoTemporaryFileRemains) {
  TempDir dir;
  fs::create_directories(dir.Path / "s.ini");
  WriteBytes(dir.Path / "s.ini" / "inside", "keep");
  TWMemIniFile ini(dir.Name(u"s.ini"));
  EXPECT_EQ(SectionCount(ini), 0) << "a folder is not a settings file";
  ini.WriteInteger(u"ID1", u"Left", 100);
  EXPECT_THROW(ini.UpdateFile(), EFCreateError);
  EXPECT_EQ(dir.Content(), (Names{"s.ini"}));
  EXPECT_EQ(ReadBytes(dir.Path / "s.ini" / "inside"), "keep");
  EXPECT_EQ(ini.ReadInteger(u"ID1", u"Left", 0), 100) << "the content in memory is not affected";
}

// Beside its file a leftover temporary file goes; alone, a whole one is the
// file (the crash came between the two steps of a replace), a cut one stays.
TEST(UpdateFile, LeftoverTemporaryFileGoesBesideItsFileAndStandsInForItWhenWhole) {
  TempDir dir;
  WriteBytes(dir.File(u"s.ini"), kOldContent);
  WriteBytes(dir.File(u"s.ini.~tmp"), Bom() + Utf16Bytes(u"[Config]\r\nLang"));
  WriteBytes(dir.File(u"cut.ini.~tmp"), Bom() + Utf16Bytes(u"[Config]\r\nLang"));
  WriteBytes(dir.File(u"whole.ini.~tmp"), Bom() + Utf16Bytes(u"[Config]\r\nLanguage=NEW\r\n\r\n"));
  EXPECT_EQ(TWMemIniFile(dir.Name(u"s.ini")).ReadString(u"Config", u"Language", u""), u"OLD");
  EXPECT_EQ(SectionCount(TWMemIniFile(dir.Name(u"cut.ini"))), 0);
  EXPECT_EQ(TWMemIniFile(dir.Name(u"whole.ini")).ReadString(u"Config", u"Language", u""), u"NEW");
  EXPECT_EQ(dir.Content(), (Names{"cut.ini.~tmp", "s.ini", "whole.ini"}));
}

#ifdef _WIN32

TEST(UpdateFile, LockedTargetIsWaitedForBrieflyThenLeftIntact) {
  TempDir dir;
  const fs::path path = dir.File(u"s.ini");
  WriteBytes(path, kOldContent);
  TWMemIniFile ini(dir.Name(u"s.ini"));
  ini.WriteString(u"Config", u"Language", u"NEW");
  auto lock = [&] { return CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr); };
  HANDLE held = lock();
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_THROW(ini.UpdateFile(), EFCreateError);
  EXPECT_THROW(TWMemIniFile(dir.Name(u"s.ini")), EFOpenError) << "an existing file that cannot be opened";
  CloseHandle(held);
  EXPECT_EQ(ReadBytes(path), kOldContent);
  EXPECT_EQ(dir.Content(), (Names{"s.ini"}));

  held = lock();
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::thread unlock([held] {
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    CloseHandle(held);
  });
  ini.UpdateFile();
  unlock.join();
  EXPECT_EQ(ReadBytes(path), Bom() + Utf16Bytes(u"[Config]\r\nLanguage=NEW\r\n\r\n"));
  EXPECT_EQ(dir.Content(), (Names{"s.ini"}));
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
  const WideString message = MessageOf<EWriteError>([&] { ini.UpdateFile(); });
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(message, u"Stream write error");
  EXPECT_EQ(ReadBytes(dir.File(u"s.ini")), kOldContent);
  EXPECT_EQ(dir.Content(), (Names{"s.ini"}));
  ini.UpdateFile();
  EXPECT_EQ(TWMemIniFile(dir.Name(u"s.ini")).ReadString(u"Config", u"Big", u"").size(), 4000u);
}

#endif

// Each of these loads without crash or hang; what is not text gives an empty
// or partial INI.
TEST(HostileFiles, LoadWithoutHarm) {
  TempDir dir;
  std::mt19937 random(1234);
  std::string junk(1 << 20, '\0');
  for (char& b : junk) b = static_cast<char>(random());
  WideString manySections;
  for (int i = 0; i < 100000; ++i) manySections += WideFormat(u"[S%d]\r\nk=%d\r\n", {i, i});
  std::string huge = Bom() + Utf16Bytes(u"[Big]\r\n");
  WideString block;
  for (int i = 0; i < 1000; ++i) block += WideFormat(u"Key%d=some value here\r\n", {i});
  while (huge.size() < 20u * 1024 * 1024) huge += Utf16Bytes(block);
  struct Case {
    const char* Name;
    std::string Bytes;
    std::function<void(const TWMemIniFile&)> Check;
    bool WriteBack = true;  // the big ones only need to load
  } cases[] = {
      {"binary junk", junk, [](const TWMemIniFile&) {}},
      {"20 MB", huge,
       [](const TWMemIniFile& ini) { EXPECT_EQ(ini.ReadString(u"Big", u"Key7", u""), u"some value here"); }, false},
      {"100,000 sections", Bom() + Utf16Bytes(manySections),
       [](const TWMemIniFile& ini) {
         EXPECT_EQ(SectionCount(ini), 100000);
         EXPECT_EQ(ini.ReadInteger(u"s99999", u"K", -1), 99999);
         EXPECT_EQ(ini.ReadInteger(u"s0", u"K", -1), 0);
       },
       false},
      {"1 MB line", Bom() + Utf16Bytes(u"[L]\r\nk=" + WideString(1 << 20, u'v') + u"\r\n"),
       [](const TWMemIniFile& ini) { EXPECT_EQ(ini.ReadString(u"L", u"k", u"").size(), size_t(1) << 20); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    WriteBytes(dir.File(u"h.ini"), c.Bytes);
    TWMemIniFile ini(dir.Name(u"h.ini"));
    c.Check(ini);
    if (!c.WriteBack) continue;
    ini.WriteString(u"Config", u"Language", u"EN-US.INI");
    ini.UpdateFile();
    EXPECT_EQ(TWMemIniFile(dir.Name(u"h.ini")).ReadString(u"config", u"language", u""), u"EN-US.INI");
  }
}
