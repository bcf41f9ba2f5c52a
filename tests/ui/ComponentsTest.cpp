#include <gtest/gtest.h>

#include <functional>

#include "ui/Components.h"

namespace {
struct Tracked : TComponent {
  Tracked(TComponent* owner, std::vector<int>* log, int id) : TComponent(owner), Log(log), Id(id) {}
  ~Tracked() override { Log->push_back(Id); }
  std::vector<int>* Log;
  int Id;
};

WideString MessageOf(const std::function<void()>& f) {
  try { f(); } catch (const Exception& e) { return e.Message(); }
  return u"<no error>";
}
}  // namespace

TEST(ComponentOwnership, OwnerFreesOwnedInReverseInsertionOrder) {
  std::vector<int> log;
  auto* root = new TComponent(nullptr);
  new Tracked(root, &log, 1);
  auto* second = new Tracked(root, &log, 2);
  new Tracked(second, &log, 21);
  new Tracked(root, &log, 3);
  ASSERT_EQ(root->ComponentCount(), 3);
  EXPECT_EQ(root->Components(1), second);
  delete root;
  EXPECT_EQ(log, (std::vector<int>{3, 2, 21, 1}));
}

TEST(ComponentOwnership, FreeingAnOwnedComponentLeavesItsOwnersList) {
  std::vector<int> log;
  TComponent root(nullptr);
  auto* a = new Tracked(&root, &log, 1);
  new Tracked(&root, &log, 2);
  delete a;
  ASSERT_EQ(root.ComponentCount(), 1);
  EXPECT_EQ(static_cast<Tracked*>(root.Components(0))->Id, 2);
}

TEST(ComponentNames, InvalidIdentifiersAreRefused) {
  TComponent c(nullptr);
  EXPECT_EQ(MessageOf([&] { c.SetName(u"1abc"); }), u"''1abc'' is not a valid component name");
  EXPECT_EQ(MessageOf([&] { c.SetName(u"a-b"); }), u"''a-b'' is not a valid component name");
  EXPECT_EQ(MessageOf([&] { c.SetName(u"_ok9"); }), u"<no error>");
  EXPECT_EQ(c.Name(), u"_ok9");
}

TEST(ComponentNames, DuplicatesAmongSiblingsAreRefusedIgnoringCase) {
  TComponent owner(nullptr);
  auto* a = new TComponent(&owner);
  auto* b = new TComponent(&owner);
  a->SetName(u"Desktop");
  EXPECT_EQ(MessageOf([&] { b->SetName(u"DESKTOP"); }), u"A component named DESKTOP already exists");
  EXPECT_TRUE(b->Name().empty());
  EXPECT_EQ(MessageOf([&] { a->SetName(u"desktop"); }), u"<no error>");  // renaming itself is fine
  EXPECT_EQ(owner.FindComponent(u"DeskTop"), a);
}
