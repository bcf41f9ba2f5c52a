#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "TextTestUtil.h"
#include "text/WFold.h"
#include "text/WIniFiles.h"

using testutil::Items;
using Strings = std::vector<WideString>;

namespace {

// An INI file in memory only, filled from text.
struct Ini {
  explicit Ini(const WideString& text) : File(WideString()) { Load(text); }
  void Load(const WideString& text) {
    TWStringList lines;
    lines.SetText(text);
    File.SetStrings(&lines);
  }
  WideString Text() const {
    TWStringList lines;
    File.GetStrings(&lines);
    return lines.GetText();
  }
  TWMemIniFile File;
};

}  // namespace

// The syntax itself is tested in IntegerSyntaxTest; here what stored files rely on.
TEST(TypedValues, ReadIntegerAndReadBoolTakeTheIntegerSyntaxOrTheDefault) {
  constexpr int32_t D = 12345;
  const struct {
    WideString Text;
    int32_t Expected;
  } cases[] = {
      {u"0x000000FF", 255}, {u"0xFFFFFFFF", -1}, {u"$1f", 31}, {u"-1", -1}, {u"2", 2}, {u"0", 0}, {u"   7", 7},
      {u"7 ", D}, {u"", D}, {u"0x", D}, {u"yes", D}, {u"\uFF11", D}, {u"\u0131", D},
  };
  Ini ini(u"");
  for (const auto& c : cases) {
    ini.File.WriteString(u"S", u"k", c.Text);
    EXPECT_EQ(ini.File.ReadInteger(u"S", u"k", D), c.Expected) << Utf8FromWide(c.Text);
    for (bool byDefault : {false, true})
      EXPECT_EQ(ini.File.ReadBool(u"S", u"k", byDefault), c.Expected == D ? byDefault : c.Expected != 0);
  }
  EXPECT_EQ(ini.File.ReadInteger(u"S", u"missing", D), D);
}

TEST(TypedValues, WritesAreDecimalAndBadFloatsGiveTheDefault) {
  Ini ini(u"");
  ini.File.WriteBool(u"S", u"t", true);
  ini.File.WriteBool(u"S", u"f", false);
  ini.File.WriteInteger(u"S", u"n", -5);
  ini.File.WriteInteger(u"S", u"min", INT32_MIN);
  ini.File.WriteFloat(u"S", u"pi", 3.25);
  EXPECT_EQ(ini.Text(), u"[S]\r\nt=1\r\nf=0\r\nn=-5\r\nmin=-2147483648\r\npi=3.25\r\n\r\n");
  for (const WideChar* bad : {u"3.x", u"", u"inf", u"\u0661"}) {
    ini.File.WriteString(u"S", u"pi", bad);
    EXPECT_EQ(ini.File.ReadFloat(u"S", u"pi", -1), -1);
  }
}

TEST(Lookup, NamesIgnoreCaseAndTheValueIsEverythingAfterTheFirstEquals) {
  Ini ini(u"[Config]\nLanguage=EN-US.INI\n[\u00c4rger]\n\u00fcber=1\n[S]\nTitle=a=b\n  Left  =  100  \nplain line\n");
  EXPECT_EQ(ini.File.ReadString(u"config", u"LANGUAGE", u""), u"EN-US.INI");
  EXPECT_EQ(ini.File.ReadString(u"\u00e4RGER", u"\u00dcBER", u""), u"1");
  EXPECT_EQ(ini.File.ReadString(u"Config", u"Language ", u"d"), u"d");
  EXPECT_EQ(ini.File.ReadString(u"S", u"Title", u""), u"a=b");
  EXPECT_EQ(ini.File.ReadInteger(u"S", u"Left", 0), 100);
  EXPECT_EQ(ini.File.ReadString(u"S", u"plain line", u"d"), u"d") << "a line without = has no key";
}

// Sections whose names differ only in case (a hand edit) each answer to their
// own name; any other spelling finds the last of them. Of equal keys the last answers.
TEST(Lookup, EachSectionAnswersToItsExactNameAndOtherwiseTheLastOfEqualNames) {
  Ini ini(u"[A]\nk=first\nk=second\n[a]\nk=third\n");
  EXPECT_EQ(ini.File.ReadString(u"A", u"K", u""), u"second");
  EXPECT_EQ(ini.File.ReadString(u"a", u"k", u""), u"third");
  ini.File.EraseSection(u"a");
  EXPECT_EQ(ini.File.ReadString(u"a", u"k", u""), u"second");
  ini.File.DeleteKey(u"A", u"k");
  EXPECT_EQ(ini.File.ReadString(u"A", u"K", u""), u"first");
  ini.File.EraseSection(u"a");
  EXPECT_FALSE(ini.File.SectionExists(u"A"));
  ini.File.DeleteKey(u"a", u"k");
}

#ifdef _WIN32
TEST(Lookup, NamesFoldThroughTheAnsiCodePage) {
  // Characters the code page lacks become its replacement character; the folded
  // key may then be shorter than the stored name, and the value still starts after "=".
  const WideString replaced = FoldName(u"a\U0001F600");
  EXPECT_EQ(replaced.substr(0, 2), u"A?");
  Ini ini(u"[S\u0414]\na\U0001F600=v\n");
  EXPECT_EQ(ini.File.ReadString(u"s\u0416", replaced, u""), u"v");
  TWStringList values;
  ini.File.ReadSectionValues(u"S?", &values);
  TWHashedStringList hashed;
  hashed.Assign(&values);
  EXPECT_EQ(hashed.Values(replaced), u"v");
}
#endif

TEST(Writing, ReplacesInPlaceOrAppendsTrimsNothingAndNeverSplitsALine) {
  Ini ini(u"[Config]\nLanguage=EN-US.INI\nOther=1\n");
  ini.File.WriteString(u"Config", u"language", u"TR-TR.INI");
  ini.File.WriteString(u"config", u"New", u" v ");
  ini.File.WriteString(u"Fresh", u"k", u"");
  EXPECT_EQ(ini.Text(), u"[Config]\r\nlanguage=TR-TR.INI\r\nOther=1\r\nNew= v \r\n\r\n[Fresh]\r\nk=\r\n\r\n");
  EXPECT_EQ(ini.File.ReadString(u"CONFIG", u"new", u""), u" v ");
  // Line breaks and U+0000 are written as spaces, so no value can forge a line.
  ini.File.WriteString(u"T\r\n[Config]", u"Title", u"evil\r\n[Config]\r\nLanguage=XX");
  ini.File.WriteString(u"T", u"nul", WideString(u"a\0b", 3));
  ini.Load(ini.Text());
  EXPECT_EQ(ini.File.ReadString(u"Config", u"Language", u""), u"TR-TR.INI");
  EXPECT_EQ(ini.File.ReadString(u"T  [Config]", u"Title", u""), u"evil  [Config]  Language=XX");
  EXPECT_EQ(ini.File.ReadString(u"T", u"nul", u""), u"a b");
}

TEST(Sections, EmptyHeaderExistsForWritesButNotForSectionExists) {
  Ini ini(u"[Empty]\n[Full]\nk=v\nkeyless\n");
  TWStringList values;
  values.Add(u"stale");
  ini.File.ReadSectionValues(u"empty", &values);
  EXPECT_TRUE(Items(values).empty());
  EXPECT_FALSE(ini.File.SectionExists(u"Empty"));
  EXPECT_TRUE(ini.File.SectionExists(u"FULL"));
  ini.File.ReadSectionValues(u"Full", &values);
  EXPECT_EQ(Items(values), (Strings{u"k=v", u"keyless"}));
  ini.File.ReadSection(u"Full", &values);
  EXPECT_EQ(Items(values), (Strings{u"k", u""}));
  ini.File.WriteString(u"EMPTY", u"a", u"b");
  EXPECT_EQ(ini.Text(), u"[Empty]\r\na=b\r\n\r\n[Full]\r\nk=v\r\nkeyless\r\n\r\n");
}

TEST(Parsing, DropsCommentsBlanksAndTextBeforeTheFirstHeaderAndIsStable) {
  Ini ini(u"orphan=1\n; comment\n\n  [ Name ]  \n  ;also comment\n  k  = v ; not a comment \n[\n]\n[]\n[x\n");
  EXPECT_EQ(ini.Text(), u"[Name]\r\nk=v ; not a comment\r\n[\r\n]\r\n\r\n[]\r\n[x\r\n\r\n");
  EXPECT_EQ(ini.File.ReadString(u"name", u"K", u""), u"v ; not a comment");
  ini.Load(u"\t[ A ]\r\n x = y \r\n=\r\n = v\r\nk=\r\n[B]x\r\n[ ]\r\nq\r\n");
  const WideString once = ini.Text();
  EXPECT_EQ(once.find(u"Name"), WideString::npos) << "SetStrings discards the previous content";
  ini.Load(once);
  EXPECT_EQ(ini.Text(), once);
}

// The indexes kept up to date through every kind of change must answer
// exactly like a fresh search for the last match.
TEST(HashedList, KeptIndexesMatchALinearSearch) {
  std::mt19937 random(99);
  const WideString names[] = {u"a", u"A", u"b", u"k=1", u"K=2", u"k", u"=x", u"b=", u"c=3"};
  // The last item whose text (or name, the part before "="), folded, is key.
  auto last = [](const TWStrings& list, const WideString& key, bool byName) {
    for (int i = list.GetCount() - 1; i >= 0; --i) {
      const WideString s = list.Get(i);
      const size_t eq = byName ? s.find(u'=') : s.size();
      if (eq != WideString::npos && FoldName(s.substr(0, eq)) == FoldName(key)) return i;
    }
    return -1;
  };
  for (int round = 0; round < 20; ++round) {
    TWHashedStringList list;
    // Half the rounds look up from inside the callback, which must already
    // see the change, and rebuild the indexes mid-change.
    if (round % 2)
      list.OnChange = [&](TWStrings* sender) { EXPECT_EQ(sender->IndexOfName(u"k"), last(*sender, u"k", true)); };
    for (int step = 0; step < 300; ++step) {
      const WideString& s = names[random() % 9];
      const int count = list.GetCount();
      switch (random() % 10) {
        case 0: case 1: list.Add(s); break;
        case 2: list.Insert(count ? int(random() % (count + 1)) : 0, s); break;
        case 3: if (count) list.Delete(int(random() % count)); break;
        case 4: if (count) list.PutObject(int(random() % count), &list); break;
        case 5: if (count) list.Put(int(random() % count), s); break;
        case 6: if (count > 1) list.Exchange(0, count - 1); break;
        case 7: list.AddObject(s, &list); break;
        case 8: list.Sort(); break;
        case 9: if (count > 30) list.Clear(); break;
      }
      for (const WideString& probe : names) {
        ASSERT_EQ(list.IndexOf(probe), last(list, probe, false)) << round << "/" << step;
        const WideString name = probe.substr(0, probe.find(u'='));
        ASSERT_EQ(list.IndexOfName(name), last(list, name, true)) << round << "/" << step;
      }
    }
  }
  TWHashedStringList big;
  for (int i = 0; i < 3000; ++i) {
    big.Add(WideFormat(u"S%d", {i}));
    ASSERT_EQ(big.IndexOf(WideFormat(u"s%d", {i / 2})), i / 2) << "past every bucket growth";
  }
  big.Delete(0);
  EXPECT_EQ(big.IndexOf(u"s2999"), 2998);
}
