#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "text/WStrings.h"

namespace {

std::vector<WideString> Items(const TWStrings& list) {
  std::vector<WideString> items;
  for (int i = 0; i < list.GetCount(); ++i) items.push_back(list.Get(i));
  return items;
}

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

template <typename E, typename F>
WideString MessageOf(F f) {
  try {
    f();
  } catch (const E& e) {
    return e.Message();
  }
  return u"(nothing raised)";
}

// Writes at most Limit bytes in all.
class ShortStream : public TStream {
public:
  size_t Read(void*, size_t) override { return 0; }
  size_t Write(const void*, size_t count) override {
    const size_t n = std::min(count, Limit - Written);
    Written += n;
    return n;
  }
  int64_t Seek(int64_t, TSeekOrigin) override { return static_cast<int64_t>(Written); }
  size_t Limit = 5;
  size_t Written = 0;
};

}  // namespace

TEST(SortedList, DuplicatePoliciesOfAdd) {
  TWStringList ignore;
  ignore.SetSorted(true);
  EXPECT_EQ(ignore.Add(u"b"), 0);
  EXPECT_EQ(ignore.Add(u"a"), 0);
  Observer seen(ignore);
  EXPECT_EQ(ignore.Add(u"b"), 1);
  EXPECT_EQ(seen.Changing + seen.Changed, 0) << "an ignored duplicate fires nothing";
  EXPECT_EQ(ignore.AddObject(u"a", Obj(7)), 0);
  EXPECT_EQ(Items(ignore), (std::vector<WideString>{u"a", u"b"}));
  EXPECT_EQ(ignore.GetObject(0), Obj(7)) << "the object lands on the existing item";

  TWStringList accept;
  accept.SetSorted(true);
  accept.SetDuplicates(dupAccept);
  accept.AddObject(u"b", Obj(1));
  accept.AddObject(u"a", Obj(2));
  EXPECT_EQ(accept.AddObject(u"b", Obj(3)), 1);
  EXPECT_EQ(Items(accept), (std::vector<WideString>{u"a", u"b", u"b"}));
  EXPECT_EQ(accept.GetObject(1), Obj(3)) << "the new item stands before the older equal one";

  TWStringList refuse;
  refuse.SetSorted(true);
  refuse.SetDuplicates(dupError);
  refuse.Add(u"b");
  refuse.Add(u"a");
  EXPECT_EQ(MessageOf<EStringListError>([&] { refuse.Add(u"b"); }), u"String list does not allow duplicates");
  EXPECT_EQ(Items(refuse), (std::vector<WideString>{u"a", u"b"}));
}

TEST(SortedList, FindGivesFirstOfRunOnlyWhenAcceptingDuplicates) {
  TWStringList list;
  list.SetDuplicates(dupAccept);
  list.SetSorted(true);
  for (const WideChar* s : {u"c", u"a", u"b", u"b", u"b", u"d"}) list.Add(s);
  int index = -1;
  EXPECT_TRUE(list.Find(u"b", index));
  EXPECT_EQ(index, 1);
  EXPECT_FALSE(list.Find(u"bb", index));
  EXPECT_EQ(index, 4) << "insertion point";
  EXPECT_FALSE(list.Find(u"z", index));
  EXPECT_EQ(index, 6);
  EXPECT_EQ(list.IndexOf(u"d"), 5);
  EXPECT_EQ(list.IndexOf(u"e"), -1);
}

TEST(SortedList, RefusesPositionalChangesButAllowsObjects) {
  TWStringList list;
  list.Add(u"b");
  list.Add(u"a");
  list.SetSorted(true);
  EXPECT_EQ(Items(list), (std::vector<WideString>{u"a", u"b"}));
  const WideString refused = u"Operation not allowed on sorted list";
  EXPECT_EQ(MessageOf<EStringListError>([&] { list.Put(0, u"z"); }), refused);
  EXPECT_EQ(MessageOf<EStringListError>([&] { list.Put(9, u"z"); }), refused) << "checked before the index";
  EXPECT_EQ(MessageOf<EStringListError>([&] { list.Insert(0, u"z"); }), refused);
  EXPECT_EQ(MessageOf<EStringListError>([&] { list.Move(0, 1); }), refused);
  EXPECT_EQ(Items(list), (std::vector<WideString>{u"a", u"b"})) << "Move refused before it took the item out";
  list.PutObject(1, Obj(5));
  EXPECT_EQ(list.GetObject(1), Obj(5));
}

TEST(Sort, ComparesCodeUnitsAsUnsignedNumbers) {
  TWStringList list;
  for (const WideString& s : std::vector<WideString>{u"ab", u"a", u"Z", u"B", u"\u00e9", u"\xFFFD",
                                                     WideString(1, WideChar(0xD800)), u""})
    list.Add(s);
  list.Sort();
  EXPECT_EQ(Items(list), (std::vector<WideString>{u"", u"B", u"Z", u"a", u"ab", u"\u00e9",
                                                  WideString(1, WideChar(0xD800)), u"\xFFFD"}));
  EXPECT_EQ(WideCompare(u"a", u"ab"), -1);
  EXPECT_EQ(WideCompare(u"b", u"ab"), 1);
  EXPECT_EQ(WideCompare(u"ab", u"ab"), 0);
}

TEST(Sort, PartitionsExactlySoEqualTextsKeepTheirKnownOrder) {
  TWStringList list;
  list.AddObject(u"b", Obj(1));
  list.AddObject(u"a", Obj(2));
  list.AddObject(u"b", Obj(3));
  list.AddObject(u"a", Obj(4));
  Observer seen(list);
  list.Sort();
  EXPECT_EQ(Items(list), (std::vector<WideString>{u"a", u"a", u"b", u"b"}));
  std::vector<void*> objects;
  for (int i = 0; i < 4; ++i) objects.push_back(list.GetObject(i));
  EXPECT_EQ(objects, (std::vector<void*>{Obj(4), Obj(2), Obj(1), Obj(3)}));
  EXPECT_EQ(seen.Changing, 1);
  EXPECT_EQ(seen.Changed, 1);
}

TEST(Text, SetTextSplitsAtCrLfAndStopsAtNul) {
  struct Case {
    WideString Text;
    std::vector<WideString> Expected;
  } cases[] = {
      {u"x\r\ny\rz\nw", {u"x", u"y", u"z", u"w"}},
      {u"x\n\ry", {u"x", u"", u"y"}},
      {u"x\r\n", {u"x"}},
      {u"", {}},
      {WideString(u"a\0b", 3), {u"a"}},
      {u"\r\n\r\nq", {u"", u"", u"q"}},
      {u"a\r\r\nb", {u"a", u"", u"b"}},
  };
  for (const Case& c : cases) {
    TWStringList list;
    list.Add(u"old");
    list.SetText(c.Text);
    EXPECT_EQ(Items(list), c.Expected) << Utf8FromWide(c.Text);
  }
}

TEST(Text, GetTextEndsEveryItemWithCrLf) {
  TWStringList list;
  EXPECT_EQ(list.GetText(), u"");
  list.Add(u"a");
  list.Add(u"");
  EXPECT_EQ(list.GetText(), u"a\r\n\r\n");
}

TEST(Text, FailureInsideSetTextKeepsItemsAndClosesTheBracket) {
  TWStringList list;
  list.SetSorted(true);
  list.SetDuplicates(dupError);
  Observer seen(list);
  EXPECT_THROW(list.SetText(u"b\na\nb\nc"), EStringListError);
  EXPECT_EQ(Items(list), (std::vector<WideString>{u"a", u"b"}));
  EXPECT_EQ(seen.Changing, 1);
  EXPECT_EQ(seen.Changed, 1);
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
      {[&] { list.Get(2); }, 2},
      {[&] { list.Get(-1); }, -1},
      {[&] { list.GetObject(2); }, 2},
      {[&] { list.Put(2, u"x"); }, 2},
      {[&] { list.PutObject(-1, nullptr); }, -1},
      {[&] { list.Delete(2); }, 2},
      {[&] { list.Exchange(0, 5); }, 5},
      {[&] { list.Exchange(-3, 5); }, -3},
      {[&] { list.Insert(3, u"x"); }, 3},
      {[&] { list.Move(5, 0); }, 5},
      {[&] { list.Move(0, 2); }, 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MessageOf<EStringListError>(c.Call), WideFormat(u"List index out of bounds (%d)", {c.Bad}));
    EXPECT_EQ(Items(list), (std::vector<WideString>{u"a", u"b"})) << c.Bad;
  }
  list.Insert(2, u"c");
  EXPECT_EQ(Items(list), (std::vector<WideString>{u"a", u"b", u"c"})) << "Insert at Count appends";
}

TEST(Capacity, GrowsInTheKnownSteps) {
  TWStringList list;
  std::vector<int> steps;
  for (int i = 0; i < 120; ++i) {
    list.Add(u"x");
    if (steps.empty() || steps.back() != list.GetCapacity()) steps.push_back(list.GetCapacity());
  }
  EXPECT_EQ(steps, (std::vector<int>{4, 8, 12, 28, 44, 60, 76, 95, 118, 147}));
}

TEST(Capacity, OnlyClearOfAFilledListReleasesIt) {
  TWStringList list;
  Observer seen(list);
  list.SetCapacity(10);
  list.Clear();
  EXPECT_EQ(list.GetCapacity(), 10);
  EXPECT_EQ(seen.Changing + seen.Changed, 0);
  list.Add(u"a");
  list.Add(u"b");
  list.Delete(0);
  EXPECT_EQ(list.GetCapacity(), 10);
  list.Clear();
  EXPECT_EQ(list.GetCapacity(), 0);
  EXPECT_EQ(list.GetCount(), 0);
  list.Add(u"c");
  EXPECT_THROW(list.SetCapacity(0), EStringListError) << "capacity below the count";
  EXPECT_EQ(Items(list), (std::vector<WideString>{u"c"}));
}

TEST(Callbacks, BulkOperationsFireOncePerBracket) {
  TWStringList list;
  Observer seen(list);
  list.BeginUpdate();
  list.BeginUpdate();
  list.Add(u"a");
  list.Add(u"b");
  list.Add(u"c");
  list.EndUpdate();
  EXPECT_EQ(seen.Changed, 0) << "inner bracket";
  list.EndUpdate();
  EXPECT_EQ(seen.Changing, 1);
  EXPECT_EQ(seen.Changed, 1);

  const std::function<void()> bulk[] = {
      [&] { list.SetText(u"x\ny\nz"); },
      [&] {
        TWStringList other;
        other.Add(u"q");
        other.Add(u"r");
        list.AddStrings(&other);
      },
      [&] { list.Move(0, 2); },
      [&] { list.TWStrings::Exchange(0, 1); },
  };
  for (const auto& op : bulk) {
    seen.Changing = seen.Changed = 0;
    op();
    EXPECT_EQ(seen.Changing, 1);
    EXPECT_EQ(seen.Changed, 1);
  }
}

TEST(Callbacks, SingleChangesFireBeforeAndAfter) {
  TWStringList list;
  std::vector<WideString> log;
  list.OnChanging = [&](TWStrings* s) { log.push_back(u"changing " + WideString(1, WideChar(u'0' + s->GetCount()))); };
  list.OnChange = [&](TWStrings* s) { log.push_back(u"changed " + WideString(1, WideChar(u'0' + s->GetCount()))); };
  list.Add(u"a");
  list.Delete(0);
  EXPECT_EQ(log, (std::vector<WideString>{u"changing 0", u"changed 1", u"changing 1", u"changed 0"}));
}

TEST(NameValue, SplitsAtTheFirstEquals) {
  TWStringList list;
  list.Add(u"plain");
  list.Add(u"key=a=b");
  list.Add(u"=x");
  EXPECT_EQ(list.Names(0), u"");
  EXPECT_EQ(list.Names(1), u"key");
  EXPECT_EQ(list.Values(u"key"), u"a=b");
  EXPECT_EQ(list.IndexOfName(u"plain"), -1);
  EXPECT_EQ(list.IndexOfName(u""), 2);
  EXPECT_EQ(list.Values(u""), u"x");
  EXPECT_EQ(list.Values(u"missing"), u"");
  EXPECT_EQ(list.IndexOfName(u"KEY"), -1) << "ordinal";
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
  EXPECT_EQ(Items(target), (std::vector<WideString>{u"a", u"b"})) << "assigning a list to itself keeps it";

  TPersistent other;
  EXPECT_EQ(MessageOf<EConvertError>([&] { target.Assign(&other); }), u"Cannot assign a TPersistent to a TWStringList");
  EXPECT_EQ(MessageOf<EConvertError>([&] { target.Assign(nullptr); }), u"Cannot assign a nil to a TWStringList");
  EXPECT_EQ(Items(target), (std::vector<WideString>{u"a", u"b"}));
}

TEST(Positional, MoveExchangePutKeepObjectsWithTheirText) {
  TWStringList list;
  for (int i = 0; i < 4; ++i) list.AddObject(WideString(1, WideChar(u'a' + i)), Obj(i + 1));
  list.Move(0, 3);
  EXPECT_EQ(Items(list), (std::vector<WideString>{u"b", u"c", u"d", u"a"}));
  EXPECT_EQ(list.GetObject(3), Obj(1));
  list.Exchange(0, 3);
  EXPECT_EQ(Items(list), (std::vector<WideString>{u"a", u"c", u"d", u"b"}));
  EXPECT_EQ(list.GetObject(0), Obj(1));
  list.Put(1, u"C");
  EXPECT_EQ(list.GetObject(1), Obj(3));
  EXPECT_EQ(list.IndexOfObject(Obj(4)), 2);
  EXPECT_EQ(list.IndexOfObject(Obj(9)), -1);
  list.AddStrings(&list);
  EXPECT_EQ(list.GetCount(), 8) << "adding a list to itself doubles it once";
}

TEST(Streams, TextIsUtf16WithoutMarkAndOddByteIgnored) {
  TWStringList list;
  list.Add(u"\u00e7a");
  list.Add(u"\U0001F600");
  TBytesStream out;
  list.SaveToStream(out);
  EXPECT_EQ(out.Bytes(), std::string("\xE7\x00" "a\x00\r\x00\n\x00" "\x3D\xD8\x00\xDE\r\x00\n\x00", 16));

  TBytesStream in(std::string("\xFF\xFE" "a\x00" "b", 5));
  TWStringList loaded;
  loaded.LoadFromStream(in);
  EXPECT_EQ(Items(loaded), (std::vector<WideString>{u"\xFEFF" u"a"})) << "no mark handling in streams";

  TBytesStream positioned(std::string("x\x00y\x00", 4));
  positioned.SetPosition(2);
  loaded.LoadFromStream(positioned);
  EXPECT_EQ(Items(loaded), (std::vector<WideString>{u"y"}));
}

TEST(Streams, IncompleteWriteRaisesStreamWriteError) {
  TWStringList list;
  list.Add(u"long enough");
  ShortStream stream;
  EXPECT_EQ(MessageOf<EWriteError>([&] { list.SaveToStream(stream); }), u"Stream write error");
}
