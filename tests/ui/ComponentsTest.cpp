#include <gtest/gtest.h>

#include "tests/support/TextTestUtil.h"
#include "ui/Components.h"

using testutil::MessageOf;

namespace {
struct Tracked : TComponent {
  Tracked(TComponent* owner, std::vector<int>* log, int id) : TComponent(owner), Log(log), Id(id) {}
  ~Tracked() override { Log->push_back(Id); }
  std::vector<int>* Log;
  int Id;
};
}  // namespace

TEST(ComponentOwnership, OwnerFreesOwnedInReverseOrderAndForgetsFreedOnes) {
  std::vector<int> log;
  auto* root = new TComponent(nullptr);
  auto* first = new Tracked(root, &log, 1);
  auto* second = new Tracked(root, &log, 2);
  new Tracked(second, &log, 21);
  new Tracked(root, &log, 3);
  new Tracked(root, &log, 4);
  delete first;  // leaves its owner's list, so it is not freed twice
  EXPECT_EQ(root->Components(0), second);
  delete root;
  EXPECT_EQ(log, (std::vector<int>{1, 4, 3, 2, 21}));
}

TEST(ComponentNames, InvalidOrDuplicateNamesAreRefused) {
  TComponent owner(nullptr);
  auto* a = new TComponent(&owner);
  auto* b = new TComponent(&owner);
  a->SetName(u"Desktop");
  for (WideString name : {u"1abc", u"a-b", u"a b", u"\u00e9t\u00e9"})
    EXPECT_EQ(MessageOf<Exception>([&] { b->SetName(name); }), u"''" + name + u"'' is not a valid component name");
  // Case is ignored.
  EXPECT_EQ(MessageOf<Exception>([&] { b->SetName(u"DESKTOP"); }), u"A component named DESKTOP already exists");
  EXPECT_TRUE(b->Name().empty());
  // Renaming itself is fine.
  EXPECT_EQ(MessageOf<Exception>([&] { a->SetName(u"desktop"); b->SetName(u"_ok9"); }), u"(nothing raised)");
}
