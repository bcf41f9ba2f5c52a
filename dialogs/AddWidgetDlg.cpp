#include "dialogs/AddWidgetDlg.h"

#include "ui/Forms.h"
#include "widget/TrackerId.h"

namespace {
// The labels: each control's id is also the id of its text.
constexpr int32_t LABEL_TRACKERID = 4001, LABEL_TITLE = 4004, LABEL_HINT = 4005;

const TAddTrackerHost* HostOf(HWND dialog) { return static_cast<const TAddTrackerHost*>(GetDialogObject(dialog)); }

void ApplyTexts(HWND dialog, const TAddTrackerHost& host) {
  ApplyDialogTexts(dialog, host.Texts, STR_ADD_CAPTION,
                   {LABEL_TRACKERID, LABEL_TITLE, LABEL_HINT, IDC_SAVE, IDC_CANCEL});
}

INT_PTR InitDialog(HWND dialog, const TAddTrackerHost* host) {
  CenterWindow(dialog);
  SetDialogObject(dialog, const_cast<TAddTrackerHost*>(host));
  if (host->OpenDialog) *host->OpenDialog = dialog;
  ApplyTexts(dialog, *host);
  return TRUE;
}

// Neither field is trimmed: what the user typed is the ID.
void Save(HWND dialog, const TAddTrackerHost& host) {
  const WideString id = GetControlText(GetDlgItem(dialog, IDC_TRACKERID));
  const WideString title = GetControlText(GetDlgItem(dialog, IDC_TITLE));
  switch (CheckTrackerId(id, host.TakenIds ? host.TakenIds() : std::vector<WideString>())) {
    case TTrackerIdCheck::Ok: break;
    case TTrackerIdCheck::Empty: return RefuseInput(dialog, host.Texts, STR_ID_EMPTY, IDC_TRACKERID);
    case TTrackerIdCheck::Taken: return RefuseInput(dialog, host.Texts, STR_ID_EXISTS, IDC_TRACKERID);
    case TTrackerIdCheck::Unsafe: return RefuseInput(dialog, host.Texts, STR_ID_UNUSABLE, IDC_TRACKERID);
  }
  if (host.Create) host.Create(id, title);
  EndDialog(dialog, DIALOG_SAVED);
}

INT_PTR CALLBACK AddDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) return InitDialog(dialog, reinterpret_cast<const TAddTrackerHost*>(lParam));
  const TAddTrackerHost* host = HostOf(dialog);
  INT_PTR result = FALSE;
  AnswerCommonMessage(dialog, msg, wParam, host != nullptr,
                      {[&] { Save(dialog, *host); }, [&] { EndDialog(dialog, DIALOG_CANCELLED); },
                       [&] { ApplyTexts(dialog, *host); },
                       [&] {
                         if (host->OpenDialog && *host->OpenDialog == dialog) *host->OpenDialog = nullptr;
                       }},
                      result);
  return result;
}
}  // namespace

INT_PTR ShowAddTrackerDialog(const TAddTrackerHost& host) {
  if (host.OpenDialog && ActivateOpenDialog(*host.OpenDialog)) return 0;
  return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(DIALOG_ADDTRACKER), host.Owner, AddDialogProc,
                         reinterpret_cast<LPARAM>(&host));
}
