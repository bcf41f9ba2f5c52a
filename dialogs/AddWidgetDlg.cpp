#include "dialogs/AddWidgetDlg.h"

#include "dialogs/SourceFields.h"
#include "ui/Forms.h"
#include "tracker/TrackerId.h"

namespace {
// The labels: each control's id is also the id of its text.
constexpr int32_t LABEL_TRACKERID = 4001, LABEL_TITLE = 4004, LABEL_HINT = 4005;

// One open dialog: its host and its source fields.
struct TAddDialog {
  explicit TAddDialog(const TAddTrackerHost& host) : Host(host), Fields(host.Texts, host.CounterServer) {}
  const TAddTrackerHost& Host;
  TSourceFields Fields;
};

TAddDialog* StateOf(HWND dialog) { return static_cast<TAddDialog*>(GetDialogObject(dialog)); }

void ApplyTexts(HWND dialog, TAddDialog& state) {
  ApplyDialogTexts(dialog, state.Host.Texts, STR_ADD_CAPTION,
                   {LABEL_TRACKERID, LABEL_TITLE, LABEL_HINT, IDC_SAVE, IDC_CANCEL});
  ApplyDialogTexts(dialog, state.Host.Texts, STR_ADD_CAPTION, SOURCE_FIELD_TEXTS);
  state.Fields.Relabel(dialog);
}

INT_PTR InitDialog(HWND dialog, TAddDialog* state) {
  CenterWindow(dialog);
  SetDialogObject(dialog, state);
  if (state->Host.OpenDialog) *state->Host.OpenDialog = dialog;
  ApplyTexts(dialog, *state);
  state->Fields.Init(dialog, TSourceSettings(), WideString());
  return TRUE;
}

// Neither field is trimmed: what the user typed is the ID.
void Save(HWND dialog, TAddDialog& state) {
  const TAddTrackerHost& host = state.Host;
  const WideString id = GetControlText(GetDlgItem(dialog, IDC_TRACKERID));
  const WideString title = GetControlText(GetDlgItem(dialog, IDC_TITLE));
  switch (CheckTrackerId(id, host.TakenIds ? host.TakenIds() : std::vector<WideString>())) {
    case TTrackerIdCheck::Ok: break;
    case TTrackerIdCheck::Empty: return RefuseInput(dialog, host.Texts, STR_ID_EMPTY, IDC_TRACKERID);
    case TTrackerIdCheck::Taken: return RefuseInput(dialog, host.Texts, STR_ID_EXISTS, IDC_TRACKERID);
    case TTrackerIdCheck::Unsafe: return RefuseInput(dialog, host.Texts, STR_ID_UNUSABLE, IDC_TRACKERID);
  }
  TNewTracker tracker;
  tracker.ID = id;
  tracker.Title = title;
  const TSourceInput source = state.Fields.Read(dialog);
  if (!state.Fields.StoredKeyToSave(source, WideString(), tracker.StoredKey))
    return RefuseInput(dialog, host.Texts, STR_KEY_NOT_STORED, IDC_APIKEY);
  tracker.Source = source.Source;
  tracker.Interval = source.Kind->DefaultInterval;
  if (host.Create) host.Create(tracker);
  EndDialog(dialog, DIALOG_SAVED);
}

INT_PTR CALLBACK AddDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) return InitDialog(dialog, reinterpret_cast<TAddDialog*>(lParam));
  TAddDialog* state = StateOf(dialog);
  if (state && state->Fields.Answer(dialog, msg, wParam, GetControlText(GetDlgItem(dialog, IDC_TRACKERID)),
                                    WideString()))
    return TRUE;
  INT_PTR result = FALSE;
  AnswerCommonMessage(dialog, msg, wParam, state != nullptr,
                      {[&] { Save(dialog, *state); }, [&] { EndDialog(dialog, DIALOG_CANCELLED); },
                       [&] { ApplyTexts(dialog, *state); },
                       [&] {
                         const TAddTrackerHost& host = state->Host;
                         if (host.OpenDialog && *host.OpenDialog == dialog) *host.OpenDialog = nullptr;
                       }},
                      result);
  return result;
}
}  // namespace

INT_PTR ShowAddTrackerDialog(const TAddTrackerHost& host) {
  if (host.OpenDialog && ActivateOpenDialog(*host.OpenDialog)) return 0;
  TAddDialog state(host);
  return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(DIALOG_ADDTRACKER), host.Owner, AddDialogProc,
                         reinterpret_cast<LPARAM>(&state));
}
