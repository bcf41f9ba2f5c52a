#pragma once
// A real manager on the test's thread (the GUI thread here) with both
// dialogs hooked in, its widgets polling a loopback fake counter service, and
// a settings file in the scratch prefix that says English and no trackers.
#include "dialogs/DialogTestSupport.h"
#include "widget/WidgetTestSupport.h"

#include "app/WidgetManager.h"
#include "dialogs/AddWidgetDlg.h"
#include "dialogs/SettingsDlg.h"

namespace dialogtest {

class DialogsTest : public ::testing::Test {
public:
  std::unique_ptr<TFakeServer> Server = StartFakeServer();
  TCounterHostOverride HostOverride{*Server};
  TDialogsUnit Unit;
  std::shared_ptr<TWidgetLanguages> Languages = std::make_shared<TWidgetLanguages>(nullptr);
  TWidgetManager* Manager = nullptr;
  WideString SettingsFile;

  void SetUp() override {
    TShellDialogs hooks;
    hooks.AddTracker = ShowAddTrackerDialog;
    hooks.Preferences = ShowSettingsDialog;
    Manager = new TWidgetManager(nullptr, Languages, hooks, APPLICATION_TITLE);
    SettingsFile = Manager->SettingsFileName();
    const std::u16string text = u"\uFEFF[Config]\r\nLanguage=EN-US.INI\r\n";
    HANDLE f = CreateFileW(WinStr(SettingsFile), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size() * 2), &written, nullptr);
    CloseHandle(f);
    Manager->SetParentWindow(GetDesktopWindow());
    Manager->EnsureHandle();
    Manager->LoadSettings();
  }

  void TearDown() override {
    Exit();
    DeleteFileW(WinStr(SettingsFile));
  }

  // The program's Exit: the manager closes every widget, then goes.
  void Exit() {
    if (!Manager) return;
    if (Manager->WindowExists()) SendMessageW(Manager->StoredHandle(), WM_CLOSE, 0, 0);
    delete Manager;
    Manager = nullptr;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
  }

  // A shown tracker that makes no poll of its own during a test.
  TWidgetMainForm* AddWidget(const WideString& id) {
    const int index = Manager->CreateTracker(id, u"Title " + id, 600000);
    EXPECT_GE(index, 0);
    TWidgetMainForm* w = Manager->Widget(index);
    EXPECT_TRUE(PumpUntil([&] { return Read<bool>(w, [w] { return w->Opacity() == w->TargetOpacity(); }); }));
    return w;
  }

  template <typename T>
  static T Read(TWidgetMainForm* w, const std::function<T()>& fn) {
    return widgettest::WidgetTest::Read<T>(w, fn);
  }

  static DWORD ThreadOf(TWidgetMainForm* w) { return GetWindowThreadProcessId(w->WindowHandle(), nullptr); }

  // Asks the widget for its Settings dialog as its menu does and waits for it.
  HWND OpenSettings(TWidgetMainForm* w) {
    PostMessageW(w->WindowHandle(), WM_COMMAND, CMD_PREFERENCES, 0);
    HWND dialog = nullptr;
    EXPECT_TRUE(PumpUntil([&] { return (dialog = DialogWith(ThreadOf(w), 1008)) != nullptr; }));
    return dialog;
  }

  // Presses Save; the error box that it opens, if any, is read and closed.
  // Returns the box's message, empty when the dialog closed instead.
  std::wstring Save(HWND dialog, DWORD thread) {
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    HWND box = nullptr;
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(dialog) || (box = BoxOwnedBy(thread, dialog)) != nullptr; }));
    if (!box) return std::wstring();
    std::wstring message = BoxMessage(box);
    EXPECT_EQ(TextOf(box), L"Error");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(PumpUntil([&] { return FocusOf(thread) == GetDlgItem(dialog, 1002); })) << message;
    return message;
  }

  std::vector<std::string> CountPaths() const {
    std::vector<std::string> paths;
    for (const TFakeRequest& r : Server->Requests())
      if (r.Path.rfind("/sitecount/", 0) == 0) paths.push_back(r.Path);
    return paths;
  }
};

}  // namespace dialogtest
