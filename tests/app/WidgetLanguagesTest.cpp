// The program's language tables, as loaded from its resources or from bytes.
#include <gtest/gtest.h>

#include <fstream>

#include "app/WidgetLanguages.h"
#include "platform/WinApi.h"

// Both tables load from the resources and the last is current; a name is
// selected only when it matches exactly; a missing resource adds nothing and a
// missing text reads as empty. A table without a byte order mark is read from
// its first byte. The tables never touch the disk: files of a table's name in
// the current folder (a leftover of an all-or-nothing write, a folder nothing
// can read) are someone else's and stay as they are.
TEST(Languages, TheLastTableLoadedIsCurrentOnlyExactNamesAreSelectedAndFilesNamedLikeATableAreLeftAlone) {
  const std::string leftover = std::string("\xFF\xFE[\0L\0]\0\r\0\n\0", 12);
  std::ofstream("EN-US.INI.~tmp", std::ios::binary) << leftover;
  ASSERT_TRUE(CreateDirectoryW(L"TR-TR.INI", nullptr));
  TWidgetLanguages languages(nullptr);
  EXPECT_EQ(GetFileAttributesW(L"EN-US.INI"), INVALID_FILE_ATTRIBUTES) << "a leftover was promoted";
  EXPECT_TRUE(DeleteFileW(L"EN-US.INI.~tmp"));
  EXPECT_TRUE(RemoveDirectoryW(L"TR-TR.INI"));
  DeleteFileW(L"EN-US.INI");
  EXPECT_THROW(languages.LoadLanguage(u"XX-XX.INI"), Exception);
  ASSERT_EQ(languages.Count(), 2);
  languages.SelectLanguage(u"en-us.ini");
  EXPECT_EQ(languages.Current()->ResName(), u"TR-TR.INI");
  languages.SelectLanguage(u"EN-US.INI");
  EXPECT_EQ(languages.GetText(1003), u"Confirm");
  EXPECT_EQ(languages.GetText(9999), u"");

  const WideString text = u"[Language]\r\nDisplay=Plain\r\n1003=Okay\r\n";
  const std::string bytes(reinterpret_cast<const char*>(text.data()), text.size() * 2);
  languages.LoadLanguageText(u"PLAIN.INI", bytes);
  EXPECT_EQ(languages.GetText(1003), u"Okay");
  languages.LoadLanguageText(u"MARKED.INI", "\xFF\xFE" + bytes);
  EXPECT_EQ(languages.Current()->DisplayName(), u"Plain");
}
