#include "dialogs/SettingsDlg.h"

#include <commctrl.h>

#include "dialogs/DialogRules.h"
#include "dialogs/SourceFields.h"
#include "tracker/TrackerId.h"
#include "ui/Forms.h"

namespace {

// One open dialog: what it edits and where the edit goes.
struct TSettingsDialog {
  TSettingsDialog(const TTrackerSettings& record, const TDialogHost& host)
      : Record(record), Host(host), Fields(host) {}
  const TTrackerSettings& Record;
  const TDialogHost& Host;
  TSourceFields Fields;
  std::optional<TTrackerEdit> Saved;
};

TSettingsDialog* StateOf(HWND dialog) { return static_cast<TSettingsDialog*>(GetDialogObject(dialog)); }

void ApplyTexts(HWND dialog, const TSettingsDialog& state) {
  ApplyDialogTexts(dialog, state.Host.Texts, STR_SETTINGS_CAPTION,
                   {LABEL_SETTINGS_GROUP, LABEL_ENABLE, LABEL_TRACKERID, LABEL_TITLE, LABEL_REFRESH, LABEL_ALWAYSTOP,
                    LABEL_IGNOREMOUSE, LABEL_PREVENTDRAGGING, LABEL_TRANSPARENCY, LABEL_ALERTABOVE, IDC_SAVE,
                    IDC_CANCEL});
  ApplyDialogTexts(dialog, state.Host.Texts, STR_SETTINGS_CAPTION, SOURCE_FIELD_TEXTS);
}

// Why the tracker shows "?", and whether it polls less often than asked
// because other trackers share its key.
WideString StatusOf(const TSettingsDialog& state) {
  const TDialogHost& host = state.Host;
  WideString status;
  if (!host.LastFailure.empty())
    status = WideFormat(TextOr(host.Texts, STR_LAST_FAILURE, u"Last poll: %s").c_str(), {host.LastFailure});
  if (host.PollInterval > state.Record.Interval) {
    if (!status.empty()) status += u"\r\n";
    status += WideFormat(TextOr(host.Texts, STR_INTERVAL_RAISED,
                                u"%d trackers share this key, so each polls every %d s to stay inside "
                                u"the service's limit.").c_str(),
                         {host.Sharing, host.PollInterval / 1000});
  }
  return status;
}

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
void SetChecked(HWND dialog, int id, bool value) { CheckDlgButton(dialog, id, value ? BST_CHECKED : BST_UNCHECKED); }
int32_t SliderPosition(HWND dialog) {
  return static_cast<int32_t>(SendDlgItemMessageW(dialog, IDC_TRANSPARENCY, TBM_GETPOS, 0, 0));
}

INT_PTR InitDialog(HWND dialog, TSettingsDialog* state) {
  const TTrackerSettings& record = state->Record;
  CenterWindow(dialog);
  SetDialogObject(dialog, state);
  if (state->Host.Opened) state->Host.Opened(dialog);
  ApplyTexts(dialog, *state);
  SetDlgItemTextW(dialog, IDC_TRACKERID, WinStr(record.ID));
  SetDlgItemTextW(dialog, IDC_TITLE, WinStr(record.Title));
  SetDlgItemTextW(dialog, IDC_REFRESH, WinStr(WideFormat(u"%d", {record.Interval / 1000})));
  SetChecked(dialog, IDC_ENABLE, record.Enable);
  SetChecked(dialog, IDC_ALWAYSTOP, record.AlwaysTop);
  SetChecked(dialog, IDC_IGNOREMOUSE, record.IgnoreMouse);
  SetChecked(dialog, IDC_PREVENTDRAGGING, record.PreventDragging);
  if (record.AlertAbove > 0) SetDlgItemTextW(dialog, IDC_ALERTABOVE, WinStr(WideFormat(u"%d", {record.AlertAbove})));
  state->Fields.Init(dialog, record.Source, record.ApiKey);
  state->Fields.SetStatus(dialog, StatusOf(*state));
  SendDlgItemMessageW(dialog, IDC_TRANSPARENCY, TBM_SETRANGE, TRUE, MAKELPARAM(SLIDER_MIN, SLIDER_MAX));
  SendDlgItemMessageW(dialog, IDC_TRANSPARENCY, TBM_SETPOS, TRUE, SliderFromOpacity(record.TargetOpacity));
  SetForegroundWindow(dialog);
  SetActiveWindow(dialog);
  return TRUE;
}

// The live preview: only the window's alpha changes, not the stored opacity.
INT_PTR Scroll(HWND dialog, TSettingsDialog* state, HWND source) {
  if (!state || source != GetDlgItem(dialog, IDC_TRANSPARENCY)) return TRUE;
  const int32_t position = SliderPosition(dialog);
  if (position < 256 && state->Host.Preview) state->Host.Preview(OpacityFromSlider(position));
  return TRUE;
}

void EndPreview(const TSettingsDialog& state) {
  if (state.Host.EndPreview) state.Host.EndPreview();
}

void Save(HWND dialog, TSettingsDialog* state) {
  const TDialogHost& host = state->Host;
  const TTextLookup* texts = host.Texts;
  const WideString id = GetControlText(GetDlgItem(dialog, IDC_TRACKERID));
  if (id.empty()) return RefuseInput(dialog, texts, STR_ID_EMPTY, IDC_TRACKERID);
  if (CheckTrackerId(id, {}) != TTrackerIdCheck::Ok) return RefuseInput(dialog, texts, STR_ID_UNUSABLE, IDC_TRACKERID);
  int32_t alertAbove = 0;
  if (!AlertThreshold(GetControlText(GetDlgItem(dialog, IDC_ALERTABOVE)), alertAbove))
    return RefuseInput(dialog, texts, STR_ALERT_UNUSABLE, IDC_ALERTABOVE);
  const TSourceInput source = state->Fields.Read(dialog);
  if (state->Fields.KeyMustBeTyped(source))
    return RefuseInput(dialog, texts, STR_KEY_FOR_SERVER, IDC_APIKEY);
  if (!state->Fields.KeyStorable(source)) return RefuseInput(dialog, texts, STR_KEY_NOT_STORED, IDC_APIKEY);
  // Two trackers under one ID would share one section of the settings file:
  // the owner agrees to the ID and holds it for this tracker, or it is
  // refused, also when the owner cannot be asked in time. Asked last, so that
  // no refusal leaves an ID held that no tracker takes.
  if (host.ClaimId && !host.ClaimId(id)) return RefuseInput(dialog, texts, STR_ID_EXISTS, IDC_TRACKERID);
  // The dialog may have been closed while the owner was asked: the ID is
  // given up, as nothing takes it.
  if (!IsWindow(dialog)) {
    if (host.ClaimId) host.ClaimId(WideString());
    return;
  }

  TTrackerEdit edit;
  TTrackerSettings& saved = edit.Settings;
  saved = state->Record;
  saved.ID = id;
  saved.Title = GetControlText(GetDlgItem(dialog, IDC_TITLE));
  saved.Interval = RefreshIntervalMs(GetControlText(GetDlgItem(dialog, IDC_REFRESH)));
  saved.Enable = Checked(dialog, IDC_ENABLE);
  saved.AlwaysTop = Checked(dialog, IDC_ALWAYSTOP);
  saved.IgnoreMouse = Checked(dialog, IDC_IGNOREMOUSE);
  saved.PreventDragging = Checked(dialog, IDC_PREVENTDRAGGING);
  saved.TargetOpacity = OpacityFromSlider(SliderPosition(dialog));
  saved.AlertAbove = alertAbove;
  const WideString page = saved.Source.Page;  // set in the file only
  saved.Source = source.Source;
  saved.Source.Page = page;
  saved.ApiKey = state->Fields.KeptKey(source, state->Record.ApiKey);
  edit.TypedKey = state->Fields.KeyToStore(source);
  // The preview ends where it began; a shown tracker then takes its new opacity.
  EndPreview(*state);
  state->Saved = std::move(edit);
  EndDialog(dialog, DIALOG_SAVED);
}

void Cancel(HWND dialog, TSettingsDialog* state) {
  EndPreview(*state);
  EndDialog(dialog, DIALOG_CANCELLED);
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) return InitDialog(dialog, reinterpret_cast<TSettingsDialog*>(lParam));
  TSettingsDialog* state = StateOf(dialog);
  if (state && state->Fields.Answer(dialog, msg, wParam, GetControlText(GetDlgItem(dialog, IDC_TRACKERID)),
                                    state->Record.ApiKey))
    return TRUE;
  if (msg == WM_HSCROLL || msg == WM_VSCROLL) return Scroll(dialog, state, reinterpret_cast<HWND>(lParam));
  INT_PTR result = FALSE;
  AnswerCommonMessage(dialog, msg, wParam, state != nullptr,
                      {[&] { Save(dialog, state); }, [&] { Cancel(dialog, state); },
                       [&] {
                         ApplyTexts(dialog, *state);
                         state->Fields.Relabel(dialog);
                       },
                       [&] {
                         if (state->Host.Opened) state->Host.Opened(nullptr);
                       }},
                      result);
  return result;
}
}  // namespace

std::optional<TTrackerEdit> ShowSettingsDialog(const TTrackerSettings& record, const TDialogHost& host) {
  // The dialog belongs to its owner's thread: nothing opens from another.
  const HWND owner = host.Owner;
  if (!owner || GetWindowThreadProcessId(owner, nullptr) != GetCurrentThreadId()) return std::nullopt;
  TSettingsDialog state(record, host);
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(DIALOG_SETTINGS), owner, SettingsDialogProc,
                  reinterpret_cast<LPARAM>(&state));
  return std::move(state.Saved);
}
