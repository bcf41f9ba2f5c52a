// Both dialogs for real: a manager on the test's (GUI) thread with the dialogs
// hooked in, its widgets polling a loopback fake counter service, and an empty
// settings file in the scratch prefix (English, no trackers, no first start).
#include "dialogs/DialogTestSupport.h"
#include "widget/WidgetTestSupport.h"

#include <commctrl.h>

#include "app/WidgetManager.h"
#include "dialogs/AddWidgetDlg.h"
#include "dialogs/DialogRes.h"
#include "dialogs/SettingsDlg.h"
#include "text/WIniFiles.h"

using namespace dialogtest;

namespace {

class DialogsTest : public widgettest::WidgetTest {
public:
  TDialogsUnit Unit;
  std::unique_ptr<TWidgetManager> Manager;
  WideString SettingsFile;

  void SetUp() override {
    TShellDialogs hooks;
    hooks.AddTracker = ShowAddTrackerDialog;
    hooks.Preferences = ShowSettingsDialog;
    Manager.reset(new TWidgetManager(nullptr, std::make_shared<TWidgetLanguages>(nullptr), hooks, APPLICATION_TITLE));
    Manager->SetCounterServer(Server->HostPort());
    SettingsFile = Manager->SettingsFileName();
    CloseHandle(CreateFileW(WinStr(SettingsFile), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    Manager->SetParentWindow(GetDesktopWindow());
    Manager->EnsureHandle();
    Manager->LoadSettings();
  }

  // The program's Exit: the manager closes every widget, then goes; its quit
  // message would end the next test's modal dialog at once.
  void TearDown() override {
    SendMessageW(Manager->StoredHandle(), WM_CLOSE, 0, 0);
    Manager.reset();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    DeleteFileW(WinStr(SettingsFile));
    WidgetTest::TearDown();
  }

  // A shown tracker that makes no poll of its own during a test.
  TWidgetMainForm* AddWidget(const WideString& id) {
    TWidgetMainForm* w = Manager->Widget(Manager->CreateTracker(id, u"Title " + id, 600000));
    EXPECT_TRUE(PumpUntil([&] { return Read<bool>(w, [w] { return w->Opacity() == w->TargetOpacity(); }); }));
    return w;
  }

  // Asks the widget for its Settings dialog as its menu does and waits for it.
  static HWND OpenSettings(TWidgetMainForm* w) {
    PostMessageW(w->WindowHandle(), WM_COMMAND, CMD_PREFERENCES, 0);
    const DWORD thread = GetWindowThreadProcessId(w->WindowHandle(), nullptr);
    HWND dialog = nullptr;
    auto isSettings = [](HWND d) { return GetDlgItem(d, IDC_TRANSPARENCY) != nullptr; };
    EXPECT_TRUE(PumpUntil([&] { return (dialog = DialogOf(thread, isSettings)) != nullptr; }));
    return dialog;
  }

  // Presses Save; the error box that it opens, if any, is read and closed, and
  // the focus must be back on the ID. Returns the box's message, empty when
  // the dialog closed instead.
  static std::wstring Save(HWND dialog) {
    const DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    HWND box = nullptr;
    auto isBox = [dialog](HWND d) { return GetWindow(d, GW_OWNER) == dialog; };
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(dialog) || (box = DialogOf(thread, isBox)) != nullptr; }));
    if (!box) return std::wstring();
    const std::wstring message = BoxMessage(box);
    EXPECT_EQ(TextOf(box), L"Error");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    auto onId = [&] { return GetGUIThreadInfo(thread, &info) && info.hwndFocus == GetDlgItem(dialog, IDC_TRACKERID); };
    EXPECT_TRUE(PumpUntil(onId)) << message;
    return message;
  }

  // Types each ID and presses Save: each is refused with its message, and the
  // dialog stays with what was typed.
  static void ExpectRefused(HWND dialog, const std::vector<std::pair<const wchar_t*, const wchar_t*>>& cases) {
    for (const auto& [id, message] : cases) {
      SetDlgItemTextW(dialog, IDC_TRACKERID, id);
      EXPECT_EQ(Save(dialog), message) << id;
      EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_TRACKERID)), id);
    }
  }

  std::vector<std::string> CountPaths() const {
    std::vector<std::string> paths;
    for (const TFakeRequest& r : Server->Requests())
      if (r.Path.rfind("/sitecount/", 0) == 0) paths.push_back(r.Path);
    return paths;
  }
};

constexpr wchar_t ID_EMPTY[] = L"Orvanta ID cannot be empty!";
constexpr wchar_t ID_UNUSABLE[] = L"This Orvanta ID cannot be used!";
constexpr wchar_t ID_TAKEN[] = L"Orvanta ID already exists!";

void SetSlider(HWND dialog, int position) {
  HWND slider = GetDlgItem(dialog, IDC_TRANSPARENCY);
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
  const RECT r = widgettest::BoundsOf(w);
  const uint64_t opaque = Brightness(r);

  HWND dialog = OpenSettings(w);
  EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_REFRESH)), L"15");
  EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_TRACKERID)), L"site1");
  EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_TRANSPARENCY, TBM_GETPOS, 0, 0), 20);
  EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_ENABLE), BST_CHECKED);

  SetSlider(dialog, 255);
  EXPECT_EQ(Read<int>(w, [w] { return w->Opacity(); }), 20);
  EXPECT_LT(Brightness(r), opaque / 4);
  PostMessageW(GetDlgItem(dialog, IDC_TITLE), WM_KEYDOWN, VK_ESCAPE, 0);  // Esc is Cancel
  ASSERT_TRUE(PumpUntil([&] { return !IsWindow(dialog); }));
  EXPECT_EQ(Read<int>(w, [w] { return w->Opacity(); }), 255);
  EXPECT_EQ(w->Settings().TargetOpacity, 255);

  dialog = OpenSettings(w);
  SetSlider(dialog, 255);
  SetDlgItemTextW(dialog, IDC_REFRESH, L"");
  CheckDlgButton(dialog, IDC_IGNOREMOUSE, BST_CHECKED);
  EXPECT_EQ(Save(dialog), L"");
  const TTrackerSettings s = w->Settings();
  EXPECT_EQ(s.TargetOpacity, 20);
  EXPECT_EQ(s.Interval, 20000);
  EXPECT_TRUE(s.IgnoreMouse);
  // The manager is told, and writes the file about a second later.
  auto written = [&] { return TWMemIniFile(SettingsFile).ReadString(u"site1", u"Opacity", u"") == u"20"; };
  EXPECT_TRUE(PumpUntil(written, 5000));
}

// A title alone changes no polling; a new ID of an enabled tracker is polled at
// once, of a disabled one not at all.
TEST_F(DialogsTest, OnlyANewIdOnAnEnabledTrackerRestartsPolling) {
  TWidgetMainForm* w = AddWidget(u"site1");
  const struct {
    const wchar_t* Id;
    bool Enable;
    std::vector<std::string> Polled;
  } steps[] = {
      {L"site1", true, {}},
      {L"site2", false, {}},
      {L"site3", true, {"/sitecount/site3"}},
  };
  for (const auto& step : steps) {
    Server->ClearRequests();
    HWND dialog = OpenSettings(w);
    SetDlgItemTextW(dialog, IDC_TRACKERID, step.Id);
    SetDlgItemTextW(dialog, IDC_TITLE, L"Renamed");
    CheckDlgButton(dialog, IDC_ENABLE, step.Enable ? BST_CHECKED : BST_UNCHECKED);
    EXPECT_EQ(Save(dialog), L"");
    PumpUntil([&] { return !step.Polled.empty() && CountPaths().size() >= step.Polled.size(); }, 1000);
    EXPECT_EQ(CountPaths(), step.Polled) << step.Id;
    EXPECT_EQ(Read<WideString>(w, [w] { return w->TitleLabel->Caption(); }), u"Renamed");
    EXPECT_EQ(w->Settings().ID, WideOf(step.Id));
  }
}

TEST_F(DialogsTest, ASecondRequestRaisesTheOpenDialogAndALanguageSwitchRelabelsItKeepingTypedText) {
  TWidgetMainForm* w = AddWidget(u"site1");
  HWND dialog = OpenSettings(w);
  SetDlgItemTextW(dialog, IDC_TITLE, L"typed");
  SetForegroundWindow(Manager->StoredHandle());
  PostMessageW(w->WindowHandle(), WM_COMMAND, CMD_PREFERENCES, 0);
  EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == dialog; }, 3000));

  Manager->SelectLanguageCommand(1);
  EXPECT_TRUE(PumpUntil([&] { return TextOf(dialog) == L"Se\u00E7enekler"; }, 3000));
  EXPECT_EQ(TextOf(GetDlgItem(dialog, IDOK)), L"Kaydet");
  EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_TITLE)), L"typed");
  PostMessageW(dialog, WM_CLOSE, 0, 0);  // the close box is Cancel
  EXPECT_TRUE(PumpUntil([&] { return !IsWindow(dialog); }));
  EXPECT_EQ(w->Settings().Title, u"Title site1");
}

// Another tracker's ID in any letter case, or one the settings file cannot
// hold, is refused with the dialog and the typed ID kept; the tracker's own ID
// in other letters is its own.
TEST_F(DialogsTest, SettingsRefuseEmptyUnusableAndTakenIds) {
  AddWidget(u"beta");
  TWidgetMainForm* w = AddWidget(u"alpha");
  HWND dialog = OpenSettings(w);
  ExpectRefused(dialog, {{L"", ID_EMPTY}, {L"a]b", ID_UNUSABLE}, {L"BETA", ID_TAKEN}});
  EXPECT_EQ(w->Settings().ID, u"alpha");
  SetDlgItemTextW(dialog, IDC_TRACKERID, L"ALPHA");
  EXPECT_EQ(Save(dialog), L"");
  EXPECT_EQ(w->Settings().ID, u"ALPHA");
}

// A rename the GUI thread cannot check in time (it is busy, say starting fifty
// trackers) is refused: had b become a, the next save would erase both.
TEST_F(DialogsTest, ARenameThatCannotBeCheckedInTimeIsRefused) {
  AddWidget(u"a");
  TWidgetMainForm* w = AddWidget(u"b");
  HWND dialog = OpenSettings(w);
  SetDlgItemTextW(dialog, IDC_TRACKERID, L"A");
  const DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  HWND box = nullptr;
  auto isBox = [dialog](HWND d) { return GetWindow(d, GW_OWNER) == dialog; };
  // This thread answers nothing until the box is up.
  ASSERT_TRUE(widgettest::WaitUntil([&] { return (box = DialogOf(thread, isBox)) != nullptr; }, 10000));
  EXPECT_EQ(BoxMessage(box), ID_TAKEN);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(w->Settings().ID, u"b");
  PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(PumpUntil([&] { return !IsWindow(dialog); }));
}

// A claimed ID is held until the renamed tracker has it: another tracker
// asking for it meanwhile, in any letter case, is refused.
TEST_F(DialogsTest, AClaimedIdIsHeldForItsTracker) {
  TWidgetMainForm* b = AddWidget(u"b");
  TWidgetMainForm* c = AddWidget(u"c");
  EXPECT_TRUE(b->Host().ClaimId(*b, u"x"));
  EXPECT_FALSE(c->Host().ClaimId(*c, u"X"));
  EXPECT_TRUE(b->Host().ClaimId(*b, u"X")) << "its own claim is no obstacle";
}
