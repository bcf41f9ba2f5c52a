#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "TextTestUtil.h"

using testutil::Items;
using testutil::MessageOf;
using Strings = std::vector<WideString>;

namespace {

void* Obj(intptr_t n) { return reinterpret_cast<void*>(n); }

// Counts the two callbacks of a list.
struct Observer {
  explicit Observer(TWStringList& list) {
    list.OnChanging = [this](TWStrings*) { ++Changing; };
    list.OnChange = [this](TWStrings*) { ++Changed; };
  }
  int Changing = 0;
  int Changed = 0;
};

// Takes only half of every write, as a full disk would.
struct HalfWriteStream : TBytesStream {
  size_t Write(const void* buffer, size_t count) override { return TBytesStream::Write(buffer, count / 2); }
};

}  // namespace

TEST(SortedList, DuplicatePoliciesOfAdd) {
  struct Case {
    TDuplicates Policy;
    Strings Expected;
    void* SecondB;  // object of item 1 after AddObject("b", 3)
    WideString Error;
  } cases[] = {
      {dupIgnore, {u"a", u"b"}, Obj(3), u""},  // the object lands on the existing item
      {dupAccept, {u"a", u"b", u"b"}, Obj(3), u""},  // the new item stands before the older one
      {dupError, {u"a", u"b"}, Obj(1), u"String list does not allow duplicates"},
  };
  for (const Case& c : cases) {
    TWStringList list;
    list.SetSorted(true);
    list.SetDuplicates(c.Policy);
    EXPECT_EQ(list.AddObject(u"b", Obj(1)), 0);
    EXPECT_EQ(list.AddObject(u"a", Obj(2)), 0);
    if (c.Error.empty()) EXPECT_EQ(list.AddObject(u"b", Obj(3)), 1);
    else EXPECT_EQ(MessageOf<EStringListError>([&] { list.AddObject(u"b", Obj(3)); }), c.Error);
    EXPECT_EQ(Items(list), c.Expected) << c.Policy;
    EXPECT_EQ(list.GetObject(1), c.SecondB) << c.Policy;
  }
}

TEST(SortedList, FindGivesFirstOfRunOrTheInsertionPoint) {
  TWStringList list;
  list.SetDuplicates(dupAccept);
  list.SetSorted(true);
  list.SetText(u"c\na\nb\nb\nb\nd");
  int index = -1;
  EXPECT_TRUE(list.Find(u"b", index) && index == 1);
  EXPECT_FALSE(list.Find(u"bb", index));
  EXPECT_EQ(index, 4);
}

TEST(SortedList, RefusesPositionalChangesButAllowsObjects) {
  TWStringList list;
  list.Add(u"b");
  list.Add(u"a");
  list.SetSorted(true);
  const WideString refused = u"Operation not allowed on sorted list";
  EXPECT_EQ(MessageOf<EStringListError>([&] { list.Put(9, u"z"); }), refused) << "checked before the index";
  EXPECT_EQ(MessageOf<EStringListError>([&] { list.Insert(0, u"z"); }), refused);
  EXPECT_EQ(MessageOf<EStringListError>([&] { list.Move(0, 1); }), refused);
  EXPECT_EQ(Items(list), (Strings{u"a", u"b"})) << "sorted, and Move refused before it took the item out";
}

TEST(Sort, ComparesCodeUnitsAsUnsignedNumbers) {
  TWStringList list;
  for (const WideString& s : Strings{u"ab", u"a", u"Z", u"B", u"\u00e9", u"\xFFFD", WideString(1, WideChar(0xD800)), u""})
    list.Add(s);
  list.Sort();
  EXPECT_EQ(Items(list), (Strings{u"", u"B", u"Z", u"a", u"ab", u"\u00e9", WideString(1, WideChar(0xD800)), u"\xFFFD"}));
}

TEST(Text, SetTextSplitsAtCrLfAndStopsAtNulGetTextEndsEveryItem) {
  struct Case {
    WideString Text;
    Strings Expected;
  } cases[] = {
      {u"x\r\ny\rz\nw", {u"x", u"y", u"z", u"w"}}, {u"x\n\ry", {u"x", u"", u"y"}}, {u"x\r\n", {u"x"}}, {u"", {}},
      {WideString(u"a\0b", 3), {u"a"}}, {u"\r\n\r\nq", {u"", u"", u"q"}}, {u"a\r\r\nb", {u"a", u"", u"b"}},
  };
  for (const Case& c : cases) {
    TWStringList list;
    list.Add(u"old");
    list.SetText(c.Text);
    EXPECT_EQ(Items(list), c.Expected) << Utf8FromWide(c.Text);
  }
  TWStringList list;
  list.SetText(u"a\r\n\r\n");
  EXPECT_EQ(list.GetText(), u"a\r\n\r\n");
}

TEST(Text, FailureInsideSetTextKeepsItemsAndClosesTheBracket) {
  TWStringList list;
  list.SetSorted(true);
  list.SetDuplicates(dupError);
  Observer seen(list);
  EXPECT_THROW(list.SetText(u"b\na\nb\nc"), EStringListError);
  EXPECT_EQ(Items(list), (Strings{u"a", u"b"}));
  EXPECT_EQ(seen.Changing + seen.Changed, 2);
  list.Add(u"d");
  EXPECT_EQ(seen.Changed, 2) << "the update counter is back to 0";
}

TEST(IndexChecks, RefuseOutOfBoundsAndChangeNothing) {
  TWStringList list;
  list.Add(u"a");
  list.Add(u"b");
  struct Case {
    std::function<void()> Call;
    int Bad;
  } cases[] = {
      {[&] { list.Get(2); }, 2},          {[&] { list.Get(-1); }, -1},          {[&] { list.GetObject(2); }, 2},
      {[&] { list.Put(2, u"x"); }, 2},    {[&] { list.PutObject(-1, nullptr); }, -1},
      {[&] { list.Delete(2); }, 2},       {[&] { list.Exchange(0, 5); }, 5},    {[&] { list.Exchange(-3, 5); }, -3},
      {[&] { list.Insert(3, u"x"); }, 3}, {[&] { list.Move(5, 0); }, 5},        {[&] { list.Move(0, 2); }, 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MessageOf<EStringListError>(c.Call), WideFormat(u"List index out of bounds (%d)", {c.Bad}));
    EXPECT_EQ(Items(list), (Strings{u"a", u"b"})) << c.Bad;
  }
  list.Insert(2, u"c");
  EXPECT_EQ(Items(list), (Strings{u"a", u"b", u"c"})) << "Insert at Count appends";
}

TEST(Callbacks, SingleChangesFireAroundThemAndBulkOperationsOncePerBracket) {
  TWStringList list;
  std::vector<WideString> log;
  list.OnChanging = [&](TWStrings* s) { log.push_back(u"changing " + WideString(1, WideChar(u'0' + s->GetCount()))); };
  list.OnChange = [&](TWStrings* s) { log.push_back(u"changed " + WideString(1, WideChar(u'0' + s->GetCount()))); };
  list.Add(u"a");
  list.Delete(0);
  EXPECT_EQ(log, (Strings{u"changing 0", u"changed 1", u"changing 1", u"changed 0"}));

  Observer seen(list);
  const std::function<void()> bulk[] = {
      [&] {
        list.BeginUpdate();
        list.BeginUpdate();
        list.Add(u"a");
        list.EndUpdate();
        EXPECT_EQ(seen.Changed, 0) << "inner bracket";
        list.EndUpdate();
      },
      [&] { list.SetText(u"x\ny\nz"); }, [&] { list.AddStrings(&list); }, [&] { list.Move(0, 2); },
  };
  for (const auto& op : bulk) {
    seen.Changing = seen.Changed = 0;
    op();
    EXPECT_EQ(seen.Changing, 1);
    EXPECT_EQ(seen.Changed, 1);
  }
}

TEST(NameValue, SplitsAtTheFirstEqualsAndComparesOrdinally) {
  TWStringList list;
  list.SetText(u"plain\nkey=a=b\n=x");
  EXPECT_EQ(list.Names(0) + u"|" + list.Names(1) + u"|" + list.Values(u"key") + u"|" + list.Values(u"KEY"), u"|key|a=b|");
  EXPECT_EQ(list.IndexOfName(u"plain"), -1);
  EXPECT_EQ(list.IndexOfName(u""), 2);
}

TEST(Assign, CopiesListsAndRefusesOtherKinds) {
  TWStringList source;
  source.AddObject(u"a", Obj(1));
  source.AddObject(u"b", Obj(2));
  TWStringList target;
  target.Add(u"old");
  target.Assign(&source);
  EXPECT_EQ(Items(target), Items(source));
  EXPECT_EQ(target.GetObject(1), Obj(2));
  target.Assign(&target);
  TPersistent other;
  EXPECT_EQ(MessageOf<EConvertError>([&] { target.Assign(&other); }), u"Cannot assign a TPersistent to a TWStringList");
  EXPECT_EQ(MessageOf<EConvertError>([&] { target.Assign(nullptr); }), u"Cannot assign a nil to a TWStringList");
  EXPECT_EQ(Items(target), (Strings{u"a", u"b"})) << "kept by assigning itself and by refusals";
}

TEST(Positional, MoveExchangePutKeepObjectsWithTheirText) {
  TWStringList list;
  for (int i = 0; i < 4; ++i) list.AddObject(WideString(1, WideChar(u'a' + i)), Obj(i + 1));
  list.Move(0, 3);
  list.Exchange(0, 3);
  list.Put(1, u"C");
  EXPECT_EQ(Items(list), (Strings{u"a", u"C", u"d", u"b"}));
  EXPECT_EQ(list.IndexOfObject(Obj(1)), 0);
  EXPECT_EQ(list.IndexOfObject(Obj(3)), 1);
  EXPECT_EQ(list.IndexOfObject(Obj(2)), 3);
  list.AddStrings(&list);
  EXPECT_EQ(list.GetCount(), 8) << "adding a list to itself doubles it once";
}

TEST(Streams, TextIsUtf16WithoutMarkOddByteIgnoredShortWriteRaises) {
  TWStringList list;
  list.Add(u"\u00e7a");
  list.Add(u"\U0001F600");
  TBytesStream out;
  list.SaveToStream(out);
  EXPECT_EQ(out.Bytes(), std::string("\xE7\x00" "a\x00\r\x00\n\x00" "\x3D\xD8\x00\xDE\r\x00\n\x00", 16));
  HalfWriteStream full;
  EXPECT_EQ(MessageOf<EWriteError>([&] { list.SaveToStream(full); }), u"Stream write error");

  TBytesStream in(std::string("\xFF\xFE" "a\x00" "b", 5));
  list.LoadFromStream(in);
  EXPECT_EQ(Items(list), (Strings{u"\xFEFF" u"a"})) << "no mark handling in streams";
  TBytesStream positioned(std::string("x\x00y\x00", 4));
  positioned.SetPosition(2);
  list.LoadFromStream(positioned);
  EXPECT_EQ(Items(list), (Strings{u"y"}));
}
