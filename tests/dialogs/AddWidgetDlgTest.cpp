#include "dialogs/DialogsFixture.h"

using namespace dialogtest;

// The dialog runs modally on this thread, so a second thread types and presses.
TEST_F(DialogsTest, AddTrackerRefusesEmptyUnusableAndTakenIdsThenAddsAWidgetThatPollsAtOnce) {
  AddWidget(u"site1");
  const DWORD gui = GetCurrentThreadId();
  const struct {
    const wchar_t* Id;
    const wchar_t* Message;
  } refused[] = {
      {L"", L"Orvanta ID cannot be empty!"},
      {L"[new", L"This Orvanta ID cannot be used!"},
      {L"new ", L"This Orvanta ID cannot be used!"},
      {L"site1", L"Orvanta ID already exists!"},
      {L"SITE1", L"Orvanta ID already exists!"},
  };
  std::vector<std::wstring> messages, kept;
  std::wstring caption;
  bool focused = true;
  std::thread driver([&] {
    HWND dialog = nullptr;
    widgettest::WaitUntil([&] { return (dialog = DialogWith(gui, 4001)) != nullptr; });
    if (!dialog) return;
    caption = TextOf(dialog);
    for (const auto& c : refused) {
      SetDlgItemTextW(dialog, 1002, c.Id);
      PostMessageW(dialog, WM_COMMAND, IDOK, 0);
      HWND box = nullptr;
      widgettest::WaitUntil([&] { return (box = BoxOwnedBy(gui, dialog)) != nullptr; });
      messages.push_back(box ? BoxMessage(box) : L"(no box)");
      if (box) PostMessageW(box, WM_COMMAND, IDOK, 0);
      focused = widgettest::WaitUntil([&] { return FocusOf(gui) == GetDlgItem(dialog, 1002); }) && focused;
      kept.push_back(TextOf(GetDlgItem(dialog, 1002)));
    }
    SetDlgItemTextW(dialog, 1002, L"new1");
    SetDlgItemTextW(dialog, 1003, L"");
    PostMessageW(GetDlgItem(dialog, 1002), WM_KEYDOWN, VK_RETURN, 0);  // Enter is Save
    // Whatever happened, the test does not hang on the dialog.
    if (!widgettest::WaitUntil([&] { return !IsWindow(dialog); }, 3000)) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  Manager->ShowAddDialog();
  driver.join();

  EXPECT_EQ(caption, L"Add Tracker");
  ASSERT_EQ(messages.size(), std::size(refused));
  for (size_t i = 0; i < messages.size(); ++i) {
    EXPECT_EQ(messages[i], refused[i].Message) << refused[i].Id;
    EXPECT_EQ(kept[i], refused[i].Id);
  }
  EXPECT_TRUE(focused);
  EXPECT_EQ(Manager->AddDialog(), nullptr);
  TWidgetMainForm* added = Manager->FindWidgetById(u"new1");
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(added->Settings().Title, u"");
  EXPECT_TRUE(PumpUntil([&] { return CountPaths() == std::vector<std::string>{"/sitecount/new1"}; }, 3000));
  EXPECT_EQ(Manager->WidgetCount(), 2);
}
