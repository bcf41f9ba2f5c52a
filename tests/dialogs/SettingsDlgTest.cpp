#include "dialogs/DialogsFixture.h"

#include <commctrl.h>

#include <fstream>

using namespace dialogtest;

namespace {
void SetSlider(HWND dialog, int position) {
  HWND slider = GetDlgItem(dialog, 1008);
  SendMessageW(slider, TBM_SETPOS, TRUE, position);
  SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position), reinterpret_cast<LPARAM>(slider));
}
// Over the black root, what a layered window shows fades with its alpha.
uint64_t Brightness(const RECT& r) {
  uint64_t sum = 0;
  for (int y = r.top; y < r.bottom; y += 3)
    for (int x = r.left; x < r.right; x += 3) {
      const uint32_t rgb = uitest::ScreenPixel(x, y);
      sum += (rgb >> 16) + ((rgb >> 8) & 0xFF) + (rgb & 0xFF);
    }
  return sum;
}
}  // namespace

TEST_F(DialogsTest, SettingsShowTheWidgetPreviewTransparencyCancelRestoresAndSaveStores) {
  TWidgetMainForm* w = AddWidget(u"site1");
  RECT r{};
  GetWindowRect(w->WindowHandle(), &r);
  const uint64_t opaque = Brightness(r);
  EXPECT_GT(opaque, 0u);

  HWND dialog = OpenSettings(w);
  EXPECT_EQ(TextOf(dialog), L"Preferences");
  EXPECT_EQ(TextOf(GetDlgItem(dialog, 1004)), L"15");
  EXPECT_EQ(TextOf(GetDlgItem(dialog, 1002)), L"site1");
  EXPECT_EQ(SendDlgItemMessageW(dialog, 1008, TBM_GETPOS, 0, 0), 20);
  EXPECT_EQ(IsDlgButtonChecked(dialog, 1001), BST_CHECKED);

  SetSlider(dialog, 255);
  EXPECT_EQ(Read<int>(w, [w] { return w->Opacity(); }), 20);
  EXPECT_LT(Brightness(r), opaque / 4);
  PostMessageW(GetDlgItem(dialog, 1003), WM_KEYDOWN, VK_ESCAPE, 0);  // Esc is Cancel
  ASSERT_TRUE(PumpUntil([&] { return !IsWindow(dialog); }));
  EXPECT_EQ(Read<int>(w, [w] { return w->Opacity(); }), 255);
  EXPECT_EQ(w->Settings().TargetOpacity, 255);

  dialog = OpenSettings(w);
  SetSlider(dialog, 255);
  SetDlgItemTextW(dialog, 1004, L"");
  SendDlgItemMessageW(dialog, 1006, BM_SETCHECK, BST_CHECKED, 0);
  EXPECT_EQ(Save(dialog, ThreadOf(w)), L"");
  const TTrackerSettings s = w->Settings();
  EXPECT_EQ(s.TargetOpacity, 20);
  EXPECT_EQ(s.Interval, 20000);
  EXPECT_TRUE(s.IgnoreMouse);
  // The manager is told, and writes the file about a second later.
  const std::u16string line = u"Opacity=20\r\n";
  const std::string wanted(reinterpret_cast<const char*>(line.data()), line.size() * 2);
  EXPECT_TRUE(PumpUntil([&] {
    std::ifstream file(Utf8FromWide(SettingsFile), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {}).find(wanted) != std::string::npos;
  }, 5000));
}

// A title alone changes no polling; a new ID of an enabled tracker is polled at
// once, of a disabled one not at all.
TEST_F(DialogsTest, OnlyANewIdOnAnEnabledTrackerRestartsPolling) {
  TWidgetMainForm* w = AddWidget(u"site1");
  const struct {
    const wchar_t* Id;
    const wchar_t* Title;
    bool Enable;
    std::vector<std::string> Polled;
  } steps[] = {
      {L"site1", L"Renamed", true, {}},
      {L"site2", L"Renamed", false, {}},
      {L"site3", L"Renamed", true, {"/sitecount/site3"}},
  };
  for (const auto& step : steps) {
    Server->ClearRequests();
    HWND dialog = OpenSettings(w);
    SetDlgItemTextW(dialog, 1002, step.Id);
    SetDlgItemTextW(dialog, 1003, step.Title);
    SendDlgItemMessageW(dialog, 1001, BM_SETCHECK, step.Enable ? BST_CHECKED : BST_UNCHECKED, 0);
    EXPECT_EQ(Save(dialog, ThreadOf(w)), L"");
    PumpUntil([&] { return !step.Polled.empty() && CountPaths().size() >= step.Polled.size(); }, 1000);
    EXPECT_EQ(CountPaths(), step.Polled) << step.Id;
    EXPECT_EQ(Read<WideString>(w, [w] { return w->TitleLabel->Caption(); }), u"Renamed");
    EXPECT_EQ(w->Settings().ID, WideOf(step.Id));
  }
}

TEST_F(DialogsTest, ASecondRequestRaisesTheOpenDialogAndALanguageSwitchRelabelsItKeepingTypedText) {
  TWidgetMainForm* w = AddWidget(u"site1");
  HWND dialog = OpenSettings(w);
  SetDlgItemTextW(dialog, 1003, L"typed");
  SetForegroundWindow(Manager->StoredHandle());
  PostMessageW(w->WindowHandle(), WM_COMMAND, CMD_PREFERENCES, 0);
  EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == dialog; }, 3000));
  int dialogs = 0;
  for (HWND h : ThreadWindows(ThreadOf(w))) dialogs += IsDialogBox(h);
  EXPECT_EQ(dialogs, 1);

  Manager->SelectLanguageCommand(1);
  EXPECT_TRUE(PumpUntil([&] { return TextOf(dialog) == L"Se\u00E7enekler"; }, 3000));
  EXPECT_EQ(TextOf(GetDlgItem(dialog, 3006)), L"Yineleme (sn)");
  EXPECT_EQ(TextOf(GetDlgItem(dialog, IDOK)), L"Kaydet");
  EXPECT_EQ(TextOf(GetDlgItem(dialog, 1003)), L"typed");
  PostMessageW(dialog, WM_CLOSE, 0, 0);  // the close box is Cancel
  EXPECT_TRUE(PumpUntil([&] { return !IsWindow(dialog); }));
  EXPECT_EQ(w->Settings().Title, u"Title site1");
}

// Another tracker's ID in any letter case, or one the settings file cannot
// hold, is refused with the dialog kept open; the tracker's own ID in other
// letters is its own.
TEST_F(DialogsTest, SettingsRefuseEmptyUnusableAndTakenIds) {
  AddWidget(u"beta");
  TWidgetMainForm* w = AddWidget(u"alpha");
  HWND dialog = OpenSettings(w);
  const struct {
    const wchar_t* Id;
    const wchar_t* Message;
  } cases[] = {
      {L"", L"Orvanta ID cannot be empty!"},
      {L" alpha", L"This Orvanta ID cannot be used!"},
      {L"a]b", L"This Orvanta ID cannot be used!"},
      {L"beta", L"Orvanta ID already exists!"},
      {L"BETA", L"Orvanta ID already exists!"},
      {L"ALPHA", L""},
  };
  for (const auto& c : cases) {
    SetDlgItemTextW(dialog, 1002, c.Id);
    EXPECT_EQ(Save(dialog, ThreadOf(w)), c.Message) << c.Id;
    if (*c.Message) {
      EXPECT_TRUE(IsWindow(dialog));
      EXPECT_EQ(TextOf(GetDlgItem(dialog, 1002)), c.Id);
      EXPECT_EQ(w->Settings().ID, u"alpha");
    }
  }
  EXPECT_EQ(w->Settings().ID, u"ALPHA");
}

// The widget closes the dialog it knows, even from under an open error box.
TEST_F(DialogsTest, ExitWithASettingsDialogAndItsErrorBoxOpenEndsWithinFiveSeconds) {
  TWidgetMainForm* w = AddWidget(u"site1");
  const DWORD thread = ThreadOf(w);
  HWND dialog = OpenSettings(w);
  SetDlgItemTextW(dialog, 1002, L"");
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(PumpUntil([&] { return BoxOwnedBy(thread, dialog) != nullptr; }));
  const HWND window = w->WindowHandle();
  const auto started = std::chrono::steady_clock::now();
  Exit();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  // Without a window manager Wine waits for the unmaps of the dialog and the
  // widget, so the manager may have stopped waiting first; the thread still ends.
  EXPECT_TRUE(PumpUntil([&] { return !IsWindow(window) && !IsWindow(dialog); }, 5000));
}
