#include "dialogs/AddWidgetDlg.h"

#include "dialogs/SourceFields.h"
#include "ui/Forms.h"
#include "tracker/TrackerId.h"

namespace {
// One open dialog: its host, its source fields and what it saved.
struct TAddDialog {
  explicit TAddDialog(const TDialogHost& host) : Host(host), Fields(host) {}
  const TDialogHost& Host;
  TSourceFields Fields;
  std::optional<TTrackerEdit> Saved;
};

TAddDialog* StateOf(HWND dialog) { return static_cast<TAddDialog*>(GetDialogObject(dialog)); }

void ApplyTexts(HWND dialog, TAddDialog& state) {
  ApplyDialogTexts(dialog, state.Host.Texts, STR_ADD_CAPTION,
                   {LABEL_ADD_GROUP, LABEL_ADD_TRACKERID, LABEL_ADD_TITLE, IDC_SAVE, IDC_CANCEL});
  ApplyDialogTexts(dialog, state.Host.Texts, STR_ADD_CAPTION, SOURCE_FIELD_TEXTS);
  state.Fields.Relabel(dialog);
}

INT_PTR InitDialog(HWND dialog, TAddDialog* state) {
  CenterWindow(dialog);
  SetDialogObject(dialog, state);
  if (state->Host.Opened) state->Host.Opened(dialog);
  ApplyTexts(dialog, *state);
  state->Fields.Init(dialog, TSourceSettings(), WideString());
  return TRUE;
}

// Neither field is trimmed: what the user typed is the ID.
void Save(HWND dialog, TAddDialog& state) {
  const TDialogHost& host = state.Host;
  const WideString id = GetControlText(GetDlgItem(dialog, IDC_TRACKERID));
  const WideString title = GetControlText(GetDlgItem(dialog, IDC_TITLE));
  switch (CheckTrackerId(id, host.TakenIds ? host.TakenIds() : std::vector<WideString>())) {
    case TTrackerIdCheck::Ok: break;
    case TTrackerIdCheck::Empty: return RefuseInput(dialog, host.Texts, STR_ID_EMPTY, IDC_TRACKERID);
    case TTrackerIdCheck::Taken: return RefuseInput(dialog, host.Texts, STR_ID_EXISTS, IDC_TRACKERID);
    case TTrackerIdCheck::Unsafe: return RefuseInput(dialog, host.Texts, STR_ID_UNUSABLE, IDC_TRACKERID);
  }
  const TSourceInput source = state.Fields.Read(dialog);
  if (!state.Fields.KeyStorable(source)) return RefuseInput(dialog, host.Texts, STR_KEY_NOT_STORED, IDC_APIKEY);
  TTrackerEdit tracker;
  tracker.Settings.ID = id;
  tracker.Settings.Title = title;
  tracker.Settings.Source = source.Source;
  tracker.Settings.Interval = source.Kind->DefaultInterval;
  tracker.TypedKey = state.Fields.KeyToStore(source);
  state.Saved = std::move(tracker);
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
                         if (state->Host.Opened) state->Host.Opened(nullptr);
                       }},
                      result);
  return result;
}
}  // namespace

std::optional<TTrackerEdit> ShowAddTrackerDialog(const TDialogHost& host) {
  TAddDialog state(host);
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(DIALOG_ADDTRACKER), host.Owner, AddDialogProc,
                  reinterpret_cast<LPARAM>(&state));
  return std::move(state.Saved);
}
