#include "dialogs/AddWidgetDlg.h"

#include "app/TrackerList.h"
#include "app/WidgetManager.h"

namespace {
constexpr int32_t STR_ADD_CAPTION = 4000;

TWidgetManager* ManagerOf(HWND dialog) { return static_cast<TWidgetManager*>(GetDialogObject(dialog)); }

void ApplyTexts(HWND dialog, TWidgetManager& manager) {
  ApplyDialogTexts(dialog, &manager.Languages(), STR_ADD_CAPTION, {4001, 4004, 4005, IDC_SAVE, IDC_CANCEL});
}

INT_PTR InitDialog(HWND dialog, TWidgetManager* manager) {
  CenterWindow(dialog);
  SetDialogObject(dialog, manager);
  manager->SetAddDialog(dialog);
  ApplyTexts(dialog, *manager);
  return TRUE;
}

// Neither field is trimmed: what the user typed is the ID.
void Save(HWND dialog, TWidgetManager& manager) {
  const WideString id = GetControlText(GetDlgItem(dialog, IDC_TRACKERID));
  const WideString title = GetControlText(GetDlgItem(dialog, IDC_TITLE));
  const TTextLookup* texts = &manager.Languages();
  switch (CheckTrackerId(id, manager.TakenIds())) {
    case TTrackerIdCheck::Ok: break;
    case TTrackerIdCheck::Empty: return RefuseInput(dialog, texts, STR_ID_EMPTY, IDC_TRACKERID);
    case TTrackerIdCheck::Taken: return RefuseInput(dialog, texts, STR_ID_EXISTS, IDC_TRACKERID);
    case TTrackerIdCheck::Unsafe: return RefuseInput(dialog, texts, STR_ID_UNUSABLE, IDC_TRACKERID);
  }
  manager.CreateTracker(id, title, FIRST_START_DELAY);
  // A new tracker is something the user saved: it reaches the file shortly.
  manager.SettingsChanged();
  EndDialog(dialog, DIALOG_SAVED);
}

INT_PTR CALLBACK AddDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) return InitDialog(dialog, reinterpret_cast<TWidgetManager*>(lParam));
  TWidgetManager* manager = ManagerOf(dialog);
  INT_PTR result = FALSE;
  AnswerCommonMessage(dialog, msg, wParam, manager != nullptr,
                      {[&] { Save(dialog, *manager); }, [&] { EndDialog(dialog, DIALOG_CANCELLED); },
                       [&] { ApplyTexts(dialog, *manager); },
                       [&] {
                         if (manager->AddDialog() == dialog) manager->SetAddDialog(nullptr);
                       }},
                      result);
  return result;
}
}  // namespace

INT_PTR ShowAddTrackerDialog(TWidgetManager& manager) {
  if (ActivateOpenDialog(manager.AddDialog())) return 0;
  const HWND owner = manager.WindowExists() ? manager.StoredHandle() : nullptr;
  return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(DIALOG_ADDTRACKER), owner, AddDialogProc,
                         reinterpret_cast<LPARAM>(&manager));
}
