#include "dialogs/SettingsDlg.h"

#include <commctrl.h>

#include "tracker/TrackerId.h"
#include "dialogs/DialogRules.h"
#include "dialogs/SourceFields.h"
#include "widget/MainForm.h"

namespace {

// What one open dialog edits, and what Cancel puts back.
struct TSettingsDialog {
  explicit TSettingsDialog(TWidgetMainForm& widget)
      : Widget(&widget), OpeningOpacity(widget.Opacity()),
        Fields(widget.Host().Languages.get(), widget.Host().CounterServer) {}
  TWidgetMainForm* Widget;
  uint8_t OpeningOpacity;  // the preview changes only the window's alpha
  TSourceFields Fields;
};

TSettingsDialog* StateOf(HWND dialog) { return static_cast<TSettingsDialog*>(GetDialogObject(dialog)); }
const TTextLookup* TextsOf(const TWidgetMainForm& widget) { return widget.Host().Languages.get(); }

void ApplyTexts(HWND dialog, const TWidgetMainForm& widget) {
  ApplyDialogTexts(dialog, TextsOf(widget), STR_SETTINGS_CAPTION,
                   {3001, 3002, 3003, 3004, 3005, 3006, 3007, 3008, 3009, 3010, 3011, IDC_SAVE, IDC_CANCEL});
  ApplyDialogTexts(dialog, TextsOf(widget), STR_SETTINGS_CAPTION, SOURCE_FIELD_TEXTS);
}

WideString LanguageText(const TWidgetMainForm& widget, int32_t id, const WideChar* fallback) {
  return TextOr(TextsOf(widget), id, fallback);
}

// Why the tracker shows "?", and whether it polls less often than asked
// because other trackers share its key.
WideString StatusOf(const TWidgetMainForm& widget) {
  WideString status;
  const WideString failure = widget.LastFailureText();
  if (widget.Count() < 0 && !failure.empty())
    status = WideFormat(LanguageText(widget, STR_LAST_FAILURE, u"Last poll: %s").c_str(), {failure});
  if (widget.PollInterval() > widget.Interval()) {
    if (!status.empty()) status += u"\r\n";
    status += WideFormat(LanguageText(widget, STR_INTERVAL_RAISED,
                                      u"%d trackers share this key, so each polls every %d s to stay inside "
                                      u"the service's limit.").c_str(),
                         {widget.KeySharing(), widget.PollInterval() / 1000});
  }
  return status;
}

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
void SetChecked(HWND dialog, int id, bool value) { CheckDlgButton(dialog, id, value ? BST_CHECKED : BST_UNCHECKED); }
int32_t SliderPosition(HWND dialog) {
  return static_cast<int32_t>(SendDlgItemMessageW(dialog, IDC_TRANSPARENCY, TBM_GETPOS, 0, 0));
}

INT_PTR InitDialog(HWND dialog, TSettingsDialog* state) {
  TWidgetMainForm& widget = *state->Widget;
  CenterWindow(dialog);
  SetDialogObject(dialog, state);
  widget.SetSettingsDialog(dialog);
  ApplyTexts(dialog, widget);
  SetDlgItemTextW(dialog, IDC_TRACKERID, WinStr(widget.ID()));
  SetDlgItemTextW(dialog, IDC_TITLE, WinStr(widget.Title()));
  SetDlgItemTextW(dialog, IDC_REFRESH, WinStr(WideFormat(u"%d", {widget.Interval() / 1000})));
  SetChecked(dialog, IDC_ENABLE, widget.Enable());
  SetChecked(dialog, IDC_ALWAYSTOP, widget.AlwaysTop());
  SetChecked(dialog, IDC_IGNOREMOUSE, widget.IgnoreMouse());
  SetChecked(dialog, IDC_PREVENTDRAGGING, widget.PreventDragging());
  if (widget.AlertAbove() > 0) SetDlgItemTextW(dialog, IDC_ALERTABOVE, WinStr(WideFormat(u"%d", {widget.AlertAbove()})));
  state->Fields.Init(dialog, widget.Source(), widget.StoredKey());
  state->Fields.SetStatus(dialog, StatusOf(widget));
  SendDlgItemMessageW(dialog, IDC_TRANSPARENCY, TBM_SETRANGE, TRUE, MAKELPARAM(SLIDER_MIN, SLIDER_MAX));
  SendDlgItemMessageW(dialog, IDC_TRANSPARENCY, TBM_SETPOS, TRUE, SliderFromOpacity(widget.TargetOpacity()));
  SetForegroundWindow(dialog);
  SetActiveWindow(dialog);
  return TRUE;
}

// The live preview: only the window's alpha changes, not the stored opacity.
INT_PTR Scroll(HWND dialog, TSettingsDialog* state, HWND source) {
  if (!state || source != GetDlgItem(dialog, IDC_TRANSPARENCY)) return TRUE;
  const int32_t position = SliderPosition(dialog);
  if (position < 256) {
    state->Widget->SetOpacity(OpacityFromSlider(position));
    state->Widget->UpdateLayer();
  }
  return TRUE;
}

void Save(HWND dialog, TSettingsDialog* state) {
  TWidgetMainForm& widget = *state->Widget;
  const TTextLookup* texts = TextsOf(widget);
  const WideString id = GetControlText(GetDlgItem(dialog, IDC_TRACKERID));
  if (id.empty()) return RefuseInput(dialog, texts, STR_ID_EMPTY, IDC_TRACKERID);
  if (CheckTrackerId(id, {}) != TTrackerIdCheck::Ok) return RefuseInput(dialog, texts, STR_ID_UNUSABLE, IDC_TRACKERID);
  int32_t alertAbove = 0;
  if (!AlertThreshold(GetControlText(GetDlgItem(dialog, IDC_ALERTABOVE)), alertAbove))
    return RefuseInput(dialog, texts, STR_ALERT_UNUSABLE, IDC_ALERTABOVE);
  const TSourceInput source = state->Fields.Read(dialog);
  if (state->Fields.KeyMustBeTyped(source))
    return RefuseInput(dialog, texts, STR_KEY_FOR_SERVER, IDC_APIKEY);
  WideString storedKey;
  if (!state->Fields.StoredKeyToSave(source, widget.StoredKey(), storedKey))
    return RefuseInput(dialog, texts, STR_KEY_NOT_STORED, IDC_APIKEY);
  // Two trackers under one ID would share one section of the settings file:
  // the owner agrees to the ID and holds it for this tracker, or it is
  // refused, also when the owner cannot be asked in time. Asked last, so that
  // no refusal leaves an ID held that no tracker takes.
  const auto& claim = widget.Host().ClaimId;
  if (claim && !claim(widget, id)) return RefuseInput(dialog, texts, STR_ID_EXISTS, IDC_TRACKERID);
  // The dialog may have been closed while the owner was asked: the ID is
  // given up, as nothing takes it.
  if (!IsWindow(dialog)) {
    if (claim) claim(widget, WideString());
    return;
  }

  TTrackerEdit edit;
  TTrackerSettings& saved = edit.Settings;
  saved = widget.Settings();
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
  saved.ApiKey = storedKey;
  // The preview ends where it began; a shown widget then takes its new opacity.
  widget.SetOpacity(state->OpeningOpacity);
  widget.Apply(edit);
  EndDialog(dialog, DIALOG_SAVED);
}

void Cancel(HWND dialog, TSettingsDialog* state) {
  state->Widget->SetOpacity(state->OpeningOpacity);
  state->Widget->Redraw();
  EndDialog(dialog, DIALOG_CANCELLED);
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) return InitDialog(dialog, reinterpret_cast<TSettingsDialog*>(lParam));
  TSettingsDialog* state = StateOf(dialog);
  if (state && state->Fields.Answer(dialog, msg, wParam, GetControlText(GetDlgItem(dialog, IDC_TRACKERID)),
                                    state->Widget->StoredKey()))
    return TRUE;
  if (msg == WM_HSCROLL || msg == WM_VSCROLL) return Scroll(dialog, state, reinterpret_cast<HWND>(lParam));
  INT_PTR result = FALSE;
  AnswerCommonMessage(dialog, msg, wParam, state != nullptr,
                      {[&] { Save(dialog, state); }, [&] { Cancel(dialog, state); },
                       [&] {
                         ApplyTexts(dialog, *state->Widget);
                         state->Fields.Relabel(dialog);
                       },
                       [&] { state->Widget->SetSettingsDialog(nullptr); }},
                      result);
  return result;
}
}  // namespace

INT_PTR ShowSettingsDialog(TWidgetMainForm& widget) {
  if (ActivateOpenDialog(widget.SettingsDialog())) return 0;
  // The dialog belongs to the widget's thread: nothing opens from another.
  const HWND owner = widget.WindowHandle();
  if (!owner || GetWindowThreadProcessId(owner, nullptr) != GetCurrentThreadId()) return 0;
  TSettingsDialog state(widget);
  return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(DIALOG_SETTINGS), owner, SettingsDialogProc,
                         reinterpret_cast<LPARAM>(&state));
}
