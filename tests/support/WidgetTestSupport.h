#pragma once
// Tracker widgets on their own threads against the loopback fake counter
// service: one board and one owner per test, state read on the widget's thread.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/WinApi.h"
#include <wincrypt.h>

#include "inet/InetThrd.h"
#include "text/Base64.h"
#include "tests/support/FakeServerFixture.h"
#include "tests/support/Waiting.h"
#include "tests/support/UiTestSupport.h"
#include "widget/MainForm.h"

namespace widgettest {

using waiting::WaitUntil;

// A window, or the widget's, on the screen.
inline RECT BoundsOf(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return r;
}
inline RECT BoundsOf(TWidgetMainForm* w) { return BoundsOf(w->WindowHandle()); }

inline RECT WorkArea() {
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  return work;
}

// A key as an earlier version stored it: encrypted with its entropy alone,
// bound to no origin. Empty when DPAPI failed.
inline std::string EarlierVersionKey(const std::string& plain) {
  const char entropy[] = "Velmora Orvanta API key 1";
  DATA_BLOB in{static_cast<DWORD>(plain.size()), reinterpret_cast<BYTE*>(const_cast<char*>(plain.data()))};
  DATA_BLOB salt{sizeof entropy - 1, reinterpret_cast<BYTE*>(const_cast<char*>(entropy))}, out{};
  if (!CryptProtectData(&in, nullptr, &salt, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out)) return std::string();
  const std::string bytes(reinterpret_cast<char*>(out.pbData), out.cbData);
  LocalFree(out.pbData);
  return "dpapi:" + Base64Encode(bytes);
}

// Mouse and keys through the X server, as a user's would come: a warp from
// inside Wine moves no window's mouse. Wine's "start /unix" returns before the
// program has run, so the script leaves a marker once xdotool has sent
// everything; inputs never overlap.
inline void XInput(const std::string& args) {
  static int serial = 0;
  const std::string marker = "/tmp/orvanta-xinput-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(++serial);
  std::wstring windowsMarker = L"Z:";
  for (char c : marker) windowsMarker += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  std::string line = "cmd /c start /unix /bin/sh " + std::string(ORVANTA_XINPUT_SCRIPT) + " " + marker + " " + args;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi));
  WaitForSingleObject(pi.hProcess, 5000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  ASSERT_TRUE(WaitUntil([&] { return GetFileAttributesW(windowsMarker.c_str()) != INVALID_FILE_ATTRIBUTES; }, 10000))
      << "xdotool " << args;
  DeleteFileW(windowsMarker.c_str());
}
// xdotool's words for a move to (x, y).
inline std::string MouseTo(int x, int y) { return "mousemove " + std::to_string(x) + " " + std::to_string(y) + " "; }

class WidgetTest : public ::testing::Test {
public:
  std::unique_ptr<TFakeServer> Server = StartFakeServer();
  std::shared_ptr<TWidgetBoard> BoardPtr = std::make_shared<TWidgetBoard>();
  TWidgetBoard& Board = *BoardPtr;
  TWidgetHost Host{nullptr, nullptr, BoardPtr, nullptr, nullptr, Server->HostPort(), nullptr, nullptr};
  // Declared last, so the widgets go (and their threads end) before the server.
  std::unique_ptr<TComponent> Owner{new TComponent(nullptr)};

  // Closes every widget at once: under Wine without a window manager each
  // window's unmap waits two seconds, so one by one would add up, and a busy
  // machine stretches that further.
  void TearDown() override {
    std::vector<TWidgetMainForm*> widgets;
    for (int i = 0; i < Owner->ComponentCount(); ++i)
      if (auto* w = dynamic_cast<TWidgetMainForm*>(Owner->Components(i))) widgets.push_back(w);
    for (TWidgetMainForm* w : widgets) w->RequestClose();
    for (TWidgetMainForm* w : widgets) EXPECT_TRUE(w->WaitClosed(20000));
    Owner.reset();
  }

  // Settings that never poll by themselves unless a test says so.
  static TTrackerSettings Quiet(const WideString& id, int32_t left = 300, int32_t top = 300) {
    TTrackerSettings s;
    s.ID = id;
    s.Left = left;
    s.Top = top;
    s.Interval = 6000;
    return s;
  }

  // Starts the widget's thread and waits for its fade-in to end.
  TWidgetMainForm* Start(const TTrackerSettings& settings, int32_t startDelay = 250) {
    auto* w = new TWidgetMainForm(Owner.get(), Host, settings);
    w->SetStartDelay(startDelay);
    w->ListOnBoard();
    w->Resume();
    EXPECT_TRUE(WaitUntil([&] { return Read<bool>(w, [w] { return w->Opacity() == w->TargetOpacity(); }); }));
    return w;
  }

  template <typename T>
  static T Read(TWidgetMainForm* w, const std::function<T()>& fn) {
    T value{};
    w->Invoke([&] { value = fn(); });
    return value;
  }

  static void Post(TWidgetMainForm* w, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
    PostMessageW(w->StoredHandle(), msg, wParam, lParam);
  }
  static void Refresh(TWidgetMainForm* w) { Post(w, WM_COMMAND, CMD_REFRESH, 0); }
  static bool Idle(TWidgetMainForm* w) { return !Read<bool>(w, [w] { return w->Busy(); }); }
  static int32_t CountOf(TWidgetMainForm* w) { return Read<int32_t>(w, [w] { return w->Count(); }); }
  static WideString TipOf(TWidgetMainForm* w) { return Read<WideString>(w, [w] { return w->TipText(); }); }
};

}  // namespace widgettest
