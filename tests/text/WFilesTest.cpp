#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "tests/support/TextTestUtil.h"
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

const std::string kOldContent = Bom() + Utf16Bytes(u"[Config]\r\nLanguage=OLD\r\n\r\n");

}  // namespace

TEST(FileFormat, Utf16LeWithCrLfLinesAndAnOptionalMark) {
  TempDir dir;
  WriteBytes(dir.File(u"s.ini"), kOldContent + Utf16Bytes(u"[Long]\r\n" + WideString(5000, u'x') + u"\r\n"));
  TWMemIniFile ini(dir.Name(u"s.ini"));
  ini.EraseSection(u"long");
  ini.EraseSection(u"config");
  ini.WriteString(u"S", u"k", u"\u00e7\U0001F600");
  ini.UpdateFile();
  EXPECT_EQ(ReadBytes(dir.File(u"s.ini")), Bom() + Utf16Bytes(u"[S]\r\nk=\u00e7\U0001F600\r\n\r\n"));
  TWStringList().SaveToFile(dir.Name(u"empty.txt"));
  EXPECT_EQ(ReadBytes(dir.File(u"empty.txt")), Bom());
  EXPECT_EQ(dir.Content(), (Names{"empty.txt", "s.ini"}));
  // Without the mark the text starts at byte 0; an odd last byte is ignored.
  const std::pair<std::string, std::vector<WideString>> cases[] = {
      {Bom() + Utf16Bytes(u"a\r\nb"), {u"a", u"b"}}, {Utf16Bytes(u"x\r\ny"), {u"x", u"y"}}, {"", {}}, {"\xFF", {}},
      {Bom(), {}}, {std::string("\xFE\xFF\x00x", 4), {u"\xFFFE" u"\x7800"}}, {Utf16Bytes(u"ab") + "c", {u"ab"}},
  };
  for (const auto& [bytes, expected] : cases) {
    WriteBytes(dir.File(u"f.txt"), bytes);
    TWStringList loaded;
    loaded.Add(u"stale");
    loaded.LoadFromFile(dir.Name(u"f.txt"));
    EXPECT_EQ(Items(loaded), expected) << bytes.size();
  }
}

// The message of a failed save names the file in full; the folder's name is
// outside the ANSI code page, and it is created only after the first try.
TEST(FileErrors, AMissingFolderRaisesWithTheFullPathAndLeavesNothing) {
  TempDir dir;
  const std::u16string sub = u"\u03a9\u03bb-\u65e5\u672c-\u00e4";
  const WideString name = dir.Name(sub) + WideString(1, WideChar(fs::path::preferred_separator)) + u"s.ini";
  TWMemIniFile ini(name);
  ini.WriteString(u"ID1", u"Title", u"Site \u00e7");
  const WideString cannotCreate = u"Cannot create file \"" + name + u"\". ";
  const WideString message = MessageOf<EFCreateError>([&] { ini.UpdateFile(); });
  EXPECT_EQ(message.substr(0, cannotCreate.size()), cannotCreate);
  EXPECT_GT(message.size(), cannotCreate.size()) << "the system's error text follows";
  EXPECT_TRUE(dir.Content().empty());
  fs::create_directories(dir.File(sub));
  ini.UpdateFile();
  EXPECT_EQ(TWMemIniFile(name).ReadString(u"id1", u"title", u""), u"Site \u00e7");
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
  TWMemIniFile cut(dir.Name(u"cut.ini"));
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
