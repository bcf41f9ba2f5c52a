#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "tests/support/TextTestUtil.h"

using testutil::Items;
using testutil::MessageOf;
using Strings = std::vector<WideString>;

TEST(Exception, WhatIsTheMessageInUtf8) { EXPECT_STREQ(Exception(u"\u00e7a").what(), "\xc3\xa7" "a"); }

// Language tables and settings files come in through SetText.
// That GetText ends every item, the INI tests' texts show.
TEST(Text, SetTextSplitsAtCrLfAndStopsAtNul) {
  const std::pair<WideString, Strings> cases[] = {
      {u"x\r\ny\rz\nw", {u"x", u"y", u"z", u"w"}}, {u"x\n\ry", {u"x", u"", u"y"}}, {u"x\r\n", {u"x"}}, {u"", {}},
      {WideString(u"a\0b", 3), {u"a"}}, {u"a\r\r\nb", {u"a", u"", u"b"}},
  };
  for (const auto& [text, expected] : cases) {
    TWStringList list;
    list.Add(u"old");
    list.SetText(text);
    EXPECT_EQ(Items(list), expected) << Utf8FromWide(text);
  }
}

TEST(IndexChecks, RefuseOutOfBoundsAndChangeNothing) {
  TWStringList list;
  list.Add(u"a");
  list.Add(u"b");
  const std::pair<std::function<void()>, int> cases[] = {
      {[&] { list.Get(2); }, 2}, {[&] { list.Get(-1); }, -1}, {[&] { list.Delete(2); }, 2},
      {[&] { list.Insert(3, u"x"); }, 3},
  };
  for (const auto& [call, bad] : cases) {
    EXPECT_EQ(MessageOf<EStringListError>(call), WideFormat(u"List index out of bounds (%d)", {bad}));
    EXPECT_EQ(Items(list), (Strings{u"a", u"b"})) << bad;
  }
  list.Insert(2, u"c");
  EXPECT_EQ(Items(list), (Strings{u"a", u"b", u"c"})) << "Insert at Count appends";
}

// Reading an INI's sections assigns its own list.
TEST(Assign, CopiesItemsAndItselfStaysWhole) {
  TWStringList source, target;
  source.Add(u"a");
  target.Add(u"old");
  target.Assign(&source);
  target.Assign(&target);
  EXPECT_EQ(Items(target), (Strings{u"a"}));
}
