#include "app/ExitSteps.h"

#include <shellapi.h>

#include "widget/MainForm.h"

namespace {
// Under Wine the shell answers a deletion only once its own tray window has
// been hidden, which can take seconds; the icon goes on a thread of its own
// while the shutdown goes on.
DWORD WINAPI DeleteTrayIcon(void* data) {
  std::unique_ptr<NOTIFYICONDATAW> icon(static_cast<NOTIFYICONDATAW*>(data));
  Shell_NotifyIconW(NIM_DELETE, icon.get());
  return 0;
}
}  // namespace

DWORD Remaining(DWORD deadline) {
  const DWORD now = GetTickCount();
  return static_cast<int32_t>(deadline - now) > 0 ? deadline - now : 0;
}

// A worker still out on the network would hold this thread up to be freed
// (up to WORKER_FREE_WAIT_MS); at shutdown it is left to run out instead.
void LetRunOut(std::unique_ptr<TInetThread>& worker) {
  if (worker && !worker->Finished())
    static_cast<void>(worker.release());
  else
    worker.reset();
}

HANDLE StartIconRemoval(const NOTIFYICONDATAW& icon) {
  auto* copy = new NOTIFYICONDATAW(icon);
  HANDLE thread = CreateThread(nullptr, 0, DeleteTrayIcon, copy, 0, nullptr);
  if (!thread) delete copy;
  return thread;
}

bool CloseAll(const std::vector<TWidgetMainForm*>& widgets, DWORD deadline, DWORD stepMs) {
  // All are asked first, so their fade-outs and unmaps overlap.
  for (size_t i = 0; i < widgets.size(); ++i) {
    widgets[i]->RequestClose();
    if (i + 1 < widgets.size() && Remaining(deadline) > stepMs) Sleep(stepMs);
  }
  bool allEnded = true;
  for (TWidgetMainForm* widget : widgets) {
    if (widget->WaitClosed(Remaining(deadline))) {
      delete widget;
    } else {
      TWidgetMainForm::Abandon(widget);
      allEnded = false;
    }
  }
  return allEnded;
}
