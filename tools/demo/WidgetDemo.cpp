// Shows a few tracker widgets polling the in-process fake counter service, whose
// counts wander every few seconds. Stands in for the program until the
// application shell exists. Usage: WidgetDemo [seconds]  (0 = until Exit)
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/WidgetLanguages.h"
#include "inet/InetThrd.h"
#include "inet/InetUtil.h"
#include "tools/fakeserver/FakeServer.h"
#include "ui/Widgets.h"
#include "widget/MainForm.h"

namespace {
constexpr UINT_PTR TIMER_WANDER = 1;
constexpr UINT TIMER_WANDER_MS = 3000;

struct TDemoTracker {
  const char* ID;
  const char16_t* Title;
  uint32_t BackColor;  // 0x00BBGGRR
  int32_t Count;
};

TDemoTracker kTrackers[] = {
    {"blog", u"My Blog", 0x00DF6C2D, 12},
    {"shop", u"Shop", 0x00308A2E, 48},
    {"docs", u"Docs", 0x00303030, 7},
    {"news", u"News", 0x002020B0, 103},
};

TFakeServer* gServer = nullptr;

void Wander() {
  for (TDemoTracker& t : kTrackers) {
    t.Count += std::rand() % 7 - 3;
    if (t.Count < 0) t.Count = 0;
    gServer->SetCount(t.ID, std::to_string(t.Count));
  }
}

// Stands in for the manager window: Exit in a widget's menu posts WM_CLOSE here.
LRESULT CALLBACK ManagerProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_TIMER: Wander(); return 0;
    case WM_CLOSE: PostQuitMessage(0); return 0;
    case WM_SHOWDETAILS: return 0;
    default: return DefWindowProcW(window, msg, wParam, lParam);
  }
}
}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 0;
  TWidgetsUnit unit;
  CoInitialize(nullptr);

  TFakeServer server;
  if (!server.Start(0)) return 1;
  gServer = &server;
  Wander();
  OverrideCounterHostForTesting(server.HostPort());
  OpenInternetHandle();

  WNDCLASSW wc{};
  wc.lpfnWndProc = ManagerProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"OrvantaDemoManager";
  RegisterClassW(&wc);
  HWND manager = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
  SetTimer(manager, TIMER_WANDER, TIMER_WANDER_MS, nullptr);

  {
    // The widgets hold the board and the texts, so neither can go first.
    TWidgetHost host{manager, std::make_shared<TWidgetLanguages>(nullptr), std::make_shared<TWidgetBoard>(), nullptr};
    TComponent owner(nullptr);
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    std::vector<TWidgetMainForm*> widgets;
    int index = 0;
    for (const TDemoTracker& t : kTrackers) {
      TTrackerSettings s = DefaultTrackerSettings();
      s.ID = WideFromUtf8(t.ID);
      s.Title = t.Title;
      s.BackColor = t.BackColor;
      s.Interval = 7000;
      s.Count = t.Count - 2;
      s.Previous = t.Count - 5;
      // A row along the bottom-right of the work area, edges touching.
      s.Left = work.right - (4 - index) * WIDGET_WIDTH - 40;
      s.Top = work.bottom - WIDGET_HEIGHT - 40;
      auto* w = new TWidgetMainForm(&owner, host, s);
      w->SetStartDelay(250 + 200 * index);
      w->ListOnBoard();
      w->Resume();
      widgets.push_back(w);
      Sleep(20);
      ++index;
    }

    const DWORD end = GetTickCount() + DWORD(seconds) * 1000;
    MSG msg;
    for (;;) {
      if (seconds > 0) {
        if (GetTickCount() >= end) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        bool quit = false;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
          if (msg.message == WM_QUIT) quit = true;
          TranslateMessage(&msg);
          DispatchMessageW(&msg);
        }
        if (quit) break;
      } else {
        if (GetMessageW(&msg, nullptr, 0, 0) <= 0) break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
    for (TWidgetMainForm* w : widgets) w->RequestClose();
    for (TWidgetMainForm* w : widgets) w->WaitClosed(WIDGET_STOP_WAIT_MS);
  }
  DestroyWindow(manager);
  CloseInternetHandle();
  server.Stop();
  CoUninitialize();
  return 0;
}
