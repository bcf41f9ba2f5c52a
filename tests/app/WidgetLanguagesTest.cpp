// The program's language tables, as loaded from its resources or from bytes.
#include <gtest/gtest.h>

#include "app/WidgetLanguages.h"

// Both tables load from the resources and the last is current; a name is
// selected only when it matches exactly; a missing resource adds nothing and a
// missing text reads as empty. A table without a byte order mark is read from
// its first byte.
TEST(Languages, TheLastTableLoadedIsCurrentAndOnlyExactNamesAreSelected) {
  TWidgetLanguages languages(nullptr);
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
