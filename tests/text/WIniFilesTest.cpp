#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "text/WFold.h"
#include "text/WIniFiles.h"

namespace {

std::vector<WideString> Items(const TWStrings& list) {
  std::vector<WideString> items;
  for (int i = 0; i < list.GetCount(); ++i) items.push_back(list.Get(i));
  return items;
}

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

TEST(IntegerSyntax, AcceptsDecimalAndHexPrefixes) {
  struct Case {
    WideString Text;
    int32_t Expected;
  } cases[] = {
      {u"0x1F", 31},       {u"0X1f", 31},  {u"$1f", 31},         {u"x1F", 31},          {u"X1F", 31},
      {u"-$10", -16},      {u"$FFFFFFFF", -1}, {u"-2147483648", INT32_MIN}, {u"2147483647", INT32_MAX},
      {u"   7", 7},        {u"+5", 5},     {u"-0", 0},           {u"007", 7},           {u"-0x10", -16},
      {u"$80000000", INT32_MIN}, {u"-$80000000", INT32_MIN}, {u"$0FFFFFFF", 0x0FFFFFFF}, {u"$000000001", 1},
  };
  for (const Case& c : cases) {
    int32_t value = 12345;
    EXPECT_TRUE(TryParseIniInteger(c.Text, value)) << Utf8FromWide(c.Text);
    EXPECT_EQ(value, c.Expected) << Utf8FromWide(c.Text);
  }
}

TEST(IntegerSyntax, RefusesEverythingElse) {
  const WideString refused[] = {
      u"2147483648", u"-2147483649", u"12abc", u"7 ", u"", u"0x", u"$", u"x", u"-", u"+", u" ", u"\t7",
      u"$100000000", u"$FFFFFFFF0", u"1.5", u"--1", u"+-1", u"0x-5", u"$ 1", u"1e3", u"\uFF11", u"99999999999",
      WideString(u"1\0", 2),
  };
  for (const WideString& text : refused) {
    int32_t value = 0;
    EXPECT_FALSE(TryParseIniInteger(text, value)) << Utf8FromWide(text);
  }
}

TEST(TypedValues, IntegersAndBooleansThroughTheFile) {
  Ini ini(u"[S]\nhex=0x1F\nbig=2147483648\nspace=7 \nempty=\nblank=   \nprefix=0x\n"
          u"b1=1\nb2=2\nbm=-1\nb0=0\nyes=yes\ntrue=true\n");
  TWMemIniFile& f = ini.File;
  EXPECT_EQ(f.ReadInteger(u"S", u"hex", 0), 31);
  for (const WideChar* key : {u"big", u"space", u"empty", u"blank", u"prefix", u"missing"})
    EXPECT_EQ(f.ReadInteger(u"S", key, 7), 7) << Utf8FromWide(key);
  for (const WideChar* key : {u"b1", u"b2", u"bm"}) EXPECT_TRUE(f.ReadBool(u"S", key, false));
  EXPECT_FALSE(f.ReadBool(u"S", u"b0", true));
  EXPECT_TRUE(f.ReadBool(u"S", u"yes", true));
  EXPECT_FALSE(f.ReadBool(u"S", u"true", false));

  f.WriteString(u"S", u"padded", u"   7");
  EXPECT_EQ(f.ReadInteger(u"S", u"padded", 0), 7);
  f.WriteBool(u"S", u"t", true);
  f.WriteBool(u"S", u"f", false);
  f.WriteInteger(u"S", u"n", -5);
  f.WriteInteger(u"S", u"min", INT32_MIN);
  EXPECT_EQ(f.ReadString(u"S", u"t", u""), u"1");
  EXPECT_EQ(f.ReadString(u"S", u"f", u""), u"0");
  EXPECT_EQ(f.ReadString(u"S", u"n", u""), u"-5");
  EXPECT_EQ(f.ReadInteger(u"S", u"min", 0), INT32_MIN);
}

TEST(TypedValues, RarelyUsedSlotsRoundTrip) {
  Ini ini(u"");
  TWMemIniFile& f = ini.File;
  f.WriteFloat(u"S", u"pi", 3.25);
  EXPECT_EQ(f.ReadFloat(u"S", u"pi", 0), 3.25);
  f.WriteString(u"S", u"junk", u"3.x");
  EXPECT_EQ(f.ReadFloat(u"S", u"junk", -1), -1);
  f.WriteDateTime(u"S", u"when", 45000.5);
  EXPECT_EQ(f.ReadDateTime(u"S", u"when", 0), 45000.5);
  TBytesStream bytes(std::string("\x00\x7F\xFF", 3));
  f.WriteBinaryStream(u"S", u"blob", bytes);
  EXPECT_EQ(f.ReadString(u"S", u"blob", u""), u"007FFF");
  TBytesStream back;
  EXPECT_EQ(f.ReadBinaryStream(u"S", u"blob", back), 3);
  EXPECT_EQ(back.Bytes(), std::string("\x00\x7F\xFF", 3));
}

TEST(Lookup, SectionAndKeyNamesIgnoreCase) {
  Ini ini(u"[Config]\nLanguage=EN-US.INI\n[\u00c4rger]\n\u00fcber=1\n");
  EXPECT_EQ(ini.File.ReadString(u"config", u"LANGUAGE", u""), u"EN-US.INI");
  EXPECT_EQ(ini.File.ReadString(u"\u00e4RGER", u"\u00dcBER", u""), u"1");
  EXPECT_EQ(ini.File.ReadString(u"Config", u"Language ", u"d"), u"d");
  EXPECT_EQ(FoldName(u"abc\u00e4"), FoldName(u"ABC\u00c4"));
}

TEST(Lookup, ValueIsEverythingAfterTheFirstEquals) {
  Ini ini(u"[S]\nTitle=a=b\n  Left  =  100  \nplain line\n");
  EXPECT_EQ(ini.File.ReadString(u"S", u"Title", u""), u"a=b");
  EXPECT_EQ(ini.File.ReadInteger(u"S", u"Left", 0), 100);
  EXPECT_EQ(ini.File.ReadString(u"S", u"plain line", u"d"), u"d") << "a line without = has no key";
  EXPECT_EQ(ini.Text(), u"[S]\r\nTitle=a=b\r\nLeft=100\r\nplain line\r\n\r\n");
}

TEST(Lookup, LastOfEqualNamesAnswersUntilErased) {
  Ini ini(u"[A]\nk=first\nk=second\n[a]\nk=third\n");
  EXPECT_EQ(ini.File.ReadString(u"A", u"K", u""), u"third");
  ini.File.EraseSection(u"A");
  EXPECT_EQ(ini.File.ReadString(u"A", u"K", u""), u"second");
  ini.File.DeleteKey(u"a", u"k");
  EXPECT_EQ(ini.File.ReadString(u"A", u"K", u""), u"first");
  ini.File.EraseSection(u"a");
  EXPECT_FALSE(ini.File.SectionExists(u"A"));
  ini.File.EraseSection(u"a");
  ini.File.DeleteKey(u"none", u"k");
}

TEST(Writing, ReplacesInPlaceOrAppends) {
  Ini ini(u"[Config]\nLanguage=EN-US.INI\nOther=1\n");
  ini.File.WriteString(u"Config", u"language", u"TR-TR.INI");
  ini.File.WriteString(u"config", u"New", u" v ");
  ini.File.WriteString(u"Fresh", u"k", u"");
  EXPECT_EQ(ini.Text(), u"[Config]\r\nlanguage=TR-TR.INI\r\nOther=1\r\nNew= v \r\n\r\n[Fresh]\r\nk=\r\n\r\n");
  EXPECT_EQ(ini.File.ReadString(u"CONFIG", u"new", u""), u" v ") << "nothing trimmed in memory";
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
  EXPECT_EQ(Items(values), (std::vector<WideString>{u"k=v", u"keyless"}));
  TWStringList names;
  ini.File.ReadSection(u"Full", &names);
  EXPECT_EQ(Items(names), (std::vector<WideString>{u"k", u""}));
  ini.File.WriteString(u"EMPTY", u"a", u"b");
  EXPECT_EQ(ini.Text(), u"[Empty]\r\na=b\r\n\r\n[Full]\r\nk=v\r\nkeyless\r\n\r\n");
  TWStringList sections;
  ini.File.ReadSections(&sections);
  EXPECT_EQ(Items(sections), (std::vector<WideString>{u"Empty", u"Full"}));
  EXPECT_NE(sections.GetObject(0), nullptr);
}

TEST(Parsing, DropsCommentsBlanksAndTextBeforeTheFirstHeader) {
  Ini ini(u"orphan=1\n; comment\n\n  [ Name ]  \n  ;also comment\nk=v ; not a comment\n[\n]\n[]\n[x\n");
  EXPECT_EQ(ini.Text(), u"[Name]\r\nk=v ; not a comment\r\n[\r\n]\r\n\r\n[]\r\n[x\r\n\r\n");
  EXPECT_EQ(ini.File.ReadString(u"name", u"K", u""), u"v ; not a comment");
  ini.Load(u"[Other]\n");
  EXPECT_EQ(ini.Text(), u"[Other]\r\n\r\n") << "SetStrings discards the previous content";
}

TEST(Parsing, TextFormIsStableUnderReparsing) {
  Ini ini(u"\t[ A ]\r\n x = y \r\n=\r\n = v\r\nk=\r\n[B]x\r\n[ ]\r\nq\r\n");
  const WideString once = ini.Text();
  ini.Load(once);
  EXPECT_EQ(ini.Text(), once);
}

TEST(Writing, LineBreaksAndNulCannotSplitLines) {
  Ini ini(u"[Config]\nLanguage=EN-US.INI\n");
  ini.File.WriteString(u"T\r\n[Config]", u"Title", u"evil\r\n[Config]\r\nLanguage=XX");
  ini.File.WriteString(u"T", u"nul", WideString(u"a\0b", 3));
  ini.Load(ini.Text());
  EXPECT_EQ(ini.File.ReadString(u"Config", u"Language", u""), u"EN-US.INI");
  EXPECT_EQ(ini.File.ReadString(u"T  [Config]", u"Title", u""), u"evil  [Config]  Language=XX");
  EXPECT_EQ(ini.File.ReadString(u"T", u"nul", u""), u"a b");
}

TEST(StringHash, RotateXorChainsAndLastAddedWins) {
  TWStringHash hash(256);
  EXPECT_EQ(hash.Hash(u""), 0u);
  EXPECT_EQ(hash.Hash(u"AB"), (0x41u << 2) ^ 0x42u);
  WideString longKey(20, u'\xFFFF');
  uint32_t h = 0;
  for (WideChar c : longKey) h = ((h << 2) | (h >> 30)) ^ c;
  EXPECT_EQ(hash.Hash(longKey), h) << "rotation wraps";
  hash.Add(u"k", 1);
  hash.Add(u"k", 2);
  hash.Add(u"K", 3);
  EXPECT_EQ(hash.ValueOf(u"k"), 2);
  EXPECT_EQ(hash.ValueOf(u"K"), 3);
  EXPECT_EQ(hash.ValueOf(u"x"), -1);
  hash.Clear();
  EXPECT_EQ(hash.ValueOf(u"k"), -1);
  EXPECT_EQ(hash.BucketCount(), 256);
}

TEST(HashedList, IndexesFollowEveryChange) {
  TWHashedStringList list;
  list.Add(u"a=1");
  list.Add(u"B=2");
  list.Add(u"plain");
  EXPECT_EQ(list.IndexOf(u"b=2"), 1);
  EXPECT_EQ(list.IndexOfName(u"b"), 1);
  EXPECT_EQ(list.IndexOfName(u"plain"), -1);
  list.Add(u"b=3");
  EXPECT_EQ(list.IndexOfName(u"B"), 3) << "last match wins";
  list.Delete(0);
  EXPECT_EQ(list.IndexOfName(u"a"), -1);
  EXPECT_EQ(list.IndexOfName(u"b"), 2);
  list.Exchange(0, 2);
  EXPECT_EQ(list.IndexOf(u"B=3"), 0);
  EXPECT_EQ(list.IndexOfName(u"b"), 2);
  list.Put(1, u"c=4");
  EXPECT_EQ(list.IndexOf(u"C=4"), 1);
  list.Sort();
  EXPECT_EQ(list.IndexOf(u"c=4"), 2);
  list.Clear();
  EXPECT_EQ(list.IndexOf(u"c=4"), -1);

  TWHashedStringList exact;
  exact.SetCaseSensitive(true);
  exact.Add(u"Key=v");
  EXPECT_EQ(exact.IndexOfName(u"key"), -1);
  EXPECT_EQ(exact.IndexOfName(u"Key"), 0);
  EXPECT_EQ(exact.IndexOf(u"Key=v"), 0);
}

TEST(HashedList, ManySectionsStayFindable) {
  TWStringList lines;
  for (int i = 0; i < 5000; ++i) {
    lines.Add(WideFormat(u"[Tracker%d]", {i}));
    lines.Add(WideFormat(u"Value=%d", {i}));
  }
  TWMemIniFile ini(WideString{});
  ini.SetStrings(&lines);
  for (int i = 0; i < 5000; i += 7)
    ASSERT_EQ(ini.ReadInteger(WideFormat(u"TRACKER%d", {i}), u"value", -1), i);
  EXPECT_EQ(ini.ReadInteger(u"Tracker5000", u"value", -1), -1);
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

// The indexes kept up to date through appends, deletes and object changes
// must answer exactly like a fresh search for the last match.
TEST(HashedList, KeptIndexesMatchALinearSearch) {
  std::mt19937 random(99);
  const WideString names[] = {u"a", u"A", u"b", u"k=1", u"K=2", u"k", u"=x", u"b=", u"c=3"};
  auto lastIndexOf = [](const TWStrings& list, const WideString& s) {
    for (int i = list.GetCount() - 1; i >= 0; --i)
      if (FoldName(list.Get(i)) == FoldName(s)) return i;
    return -1;
  };
  auto lastIndexOfName = [](const TWStrings& list, const WideString& name) {
    for (int i = list.GetCount() - 1; i >= 0; --i) {
      const WideString s = list.Get(i);
      const size_t eq = s.find(u'=');
      if (eq != WideString::npos && FoldName(s.substr(0, eq)) == FoldName(name)) return i;
    }
    return -1;
  };
  for (int round = 0; round < 20; ++round) {
    TWHashedStringList list;
    int changes = 0;
    // Half the rounds look up from inside the callback, which must already
    // see the change, and rebuild the indexes mid-change.
    list.OnChange = [&](TWStrings* sender) {
      ++changes;
      if (round % 2) {
        EXPECT_EQ(sender->IndexOfName(u"k"), lastIndexOfName(*sender, u"k"));
      }
    };
    for (int step = 0; step < 300; ++step) {
      const WideString& s = names[random() % 9];
      const int count = list.GetCount();
      switch (random() % 8) {
        case 0: case 1: list.Add(s); break;
        case 2: list.Insert(count ? int(random() % (count + 1)) : 0, s); break;
        case 3: if (count) list.Delete(int(random() % count)); break;
        case 4: if (count) list.PutObject(int(random() % count), &list); break;
        case 5: if (count) list.Put(int(random() % count), s); break;
        case 6: if (count > 1) list.Exchange(0, count - 1); break;
        case 7: list.AddObject(s, &list); break;
      }
      for (const WideString& probe : names) {
        ASSERT_EQ(list.IndexOf(probe), lastIndexOf(list, probe)) << round << "/" << step;
        const WideString name = probe.substr(0, probe.find(u'='));
        ASSERT_EQ(list.IndexOfName(name), lastIndexOfName(list, name)) << round << "/" << step;
      }
    }
    EXPECT_GT(changes, 0);
  }
  TWHashedStringList big;
  for (int i = 0; i < 3000; ++i) {
    big.Add(WideFormat(u"S%d", {i}));
    ASSERT_EQ(big.IndexOf(WideFormat(u"s%d", {i / 2})), i / 2) << "past every bucket growth";
  }
  big.Delete(0);
  EXPECT_EQ(big.IndexOf(u"s2999"), 2998);
  EXPECT_EQ(big.IndexOf(u"s0"), -1);
}
