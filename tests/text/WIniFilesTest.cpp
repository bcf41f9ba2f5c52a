#include <gtest/gtest.h>

#include <vector>

#include "tests/support/TextTestUtil.h"
#include "text/WFold.h"
#include "text/WIniFiles.h"

using Ini = testutil::MemIni;

// The syntax itself is IntegerSyntax's test; here what stored files rely on.
TEST(TypedValues, ReadIntegerAndReadBoolTakeTheIntegerSyntaxOrTheDefault) {
  constexpr int32_t D = 12345;
  const std::pair<WideString, int32_t> cases[] = {
      {u"0x000000FF", 255}, {u"-1", -1}, {u"0", 0}, {u"", D}, {u"yes", D},
  };
  Ini ini(u"");
  for (const auto& [text, expected] : cases) {
    ini.WriteString(u"S", u"k", text);
    EXPECT_EQ(ini.ReadInteger(u"S", u"k", D), expected) << Utf8FromWide(text);
    for (bool byDefault : {false, true})
      EXPECT_EQ(ini.ReadBool(u"S", u"k", byDefault), expected == D ? byDefault : expected != 0);
  }
}

TEST(Lookup, NamesIgnoreCaseAndTheValueIsEverythingAfterTheFirstEquals) {
  Ini ini(u"[Config]\nLanguage=EN-US.INI\n[\u00c4rger]\n\u00fcber=1\n[S]\nTitle=a=b\nplain line\n");
  EXPECT_EQ(ini.ReadString(u"config", u"LANGUAGE", u""), u"EN-US.INI");
  EXPECT_EQ(ini.ReadString(u"\u00e4RGER", u"\u00dcBER", u""), u"1");
  EXPECT_EQ(ini.ReadString(u"S", u"Title", u""), u"a=b");
  EXPECT_EQ(ini.ReadString(u"S", u"plain line", u"d"), u"d") << "a line without = has no key";
}

// Sections whose names differ only in case (a hand edit) each answer to their
// own name; any other spelling finds the last of them. Of equal keys the last answers.
TEST(Lookup, EachSectionAnswersToItsExactNameAndOtherwiseTheLastOfEqualNames) {
  Ini ini(u"[A]\nk=first\nk=second\n[a]\nk=third\n");
  EXPECT_EQ(ini.ReadString(u"A", u"K", u""), u"second");
  EXPECT_EQ(ini.ReadString(u"a", u"k", u""), u"third");
  ini.EraseSection(u"a");
  EXPECT_EQ(ini.ReadString(u"a", u"k", u""), u"second");
}

#ifdef _WIN32
TEST(Lookup, NamesFoldThroughTheAnsiCodePage) {
  // Characters the code page lacks become its replacement character; the folded
  // key may then be shorter than the stored name, and the value still starts after "=".
  const WideString replaced = FoldName(u"a\U0001F600");
  EXPECT_EQ(replaced.substr(0, 2), u"A?");
  Ini ini(u"[S\u0414]\na\U0001F600=v\n");
  EXPECT_EQ(ini.ReadString(u"s\u0416", replaced, u""), u"v");
}
#endif

TEST(Writing, ReplacesInPlaceOrAppendsTrimsNothingAndNeverSplitsALine) {
  Ini ini(u"[Config]\nLanguage=EN-US.INI\nOther=1\nkeyless\n[Empty]\n");
  // A header alone does not make a section exist: the loader skips such trackers.
  EXPECT_FALSE(ini.SectionExists(u"Empty"));
  ini.WriteString(u"Config", u"language", u"TR-TR.INI");
  ini.WriteString(u"config", u"New", u" v ");
  ini.WriteBool(u"EMPTY", u"t", true);
  ini.WriteInteger(u"Fresh", u"min", INT32_MIN);
  EXPECT_EQ(ini.Text(), u"[Config]\r\nlanguage=TR-TR.INI\r\nOther=1\r\nkeyless\r\nNew= v \r\n\r\n[Empty]\r\nt=1\r\n\r\n"
                        u"[Fresh]\r\nmin=-2147483648\r\n\r\n");
  EXPECT_EQ(ini.ReadString(u"CONFIG", u"new", u""), u" v ");
  // Line breaks and U+0000 are written as spaces, so no value can forge a line.
  ini.WriteString(u"T\r\n[Config]", u"Title", u"evil\r\n[Config]\r\nLanguage=XX");
  ini.WriteString(u"T", u"nul", WideString(u"a\0b", 3));
  ini.Load(ini.Text());
  EXPECT_EQ(ini.ReadString(u"Config", u"Language", u""), u"TR-TR.INI");
  EXPECT_EQ(ini.ReadString(u"T  [Config]", u"Title", u""), u"evil  [Config]  Language=XX");
  EXPECT_EQ(ini.ReadString(u"T", u"nul", u""), u"a b");
}

TEST(Parsing, DropsCommentsBlanksAndTextBeforeTheFirstHeader) {
  Ini ini(u"orphan=1\n; comment\n\n  [ Name ]  \n  ;also comment\n  k  = v ; not a comment \n[\n]\n[]\n[x\n");
  EXPECT_EQ(ini.Text(), u"[Name]\r\nk=v ; not a comment\r\n[\r\n]\r\n\r\n[]\r\n[x\r\n\r\n");
  ini.Load(u"\t[ A ]\r\n x = y \r\n=\r\n[B]x\r\n");
  EXPECT_EQ(ini.Text(), u"[A]\r\nx=y\r\n=\r\n[B]x\r\n\r\n") << "SetStrings discards the previous content";
}

// The indexes follow inserts, appends and deletes without a full rebuild.
TEST(HashedList, KeptIndexesFollowEveryChange) {
  TWHashedStringList list;
  list.SetText(u"a=1\nb=2\nA=3");
  EXPECT_EQ(list.IndexOfName(u"a"), 2);
  EXPECT_EQ(list.IndexOf(u"B=2"), 1);
  list.Insert(0, u"b=0");
  EXPECT_EQ(list.IndexOfName(u"a"), 3);
  EXPECT_EQ(list.IndexOf(u"B=2"), 2);
  list.Delete(1);
  list.AddObject(u"x", &list);
  EXPECT_EQ(list.IndexOfName(u"b"), 1);
  EXPECT_EQ(list.IndexOf(u"a=3"), 2);
  EXPECT_EQ(list.IndexOf(u"X"), 3);
  EXPECT_EQ(list.IndexOf(u"a=1"), -1);
}
