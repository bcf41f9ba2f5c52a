#include "dialogs/SourceFields.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "dialogs/DialogRes.h"
#include "dialogs/DialogRules.h"
#include "text/TextIds.h"
#include "tracker/KeyOrigin.h"

namespace {

WideString FieldText(HWND dialog, int id) { return GetControlText(GetDlgItem(dialog, id)); }

// The list's item after the sources: the tracker's own source that this version does not know.
const LRESULT kUnknownItem = static_cast<LRESULT>(SourceCount());
constexpr int kSourceEdits[] = {IDC_SERVER, IDC_APIKEY, IDC_POINTER, IDC_HEADER};

TSourceKind ChosenKind(HWND dialog) {
  const LRESULT i = SendDlgItemMessageW(dialog, IDC_SOURCE, CB_GETCURSEL, 0, 0);
  return i >= 0 && i < kUnknownItem ? &SourceRow(static_cast<size_t>(i)) : &DefaultSource();
}

}  // namespace

WideString TSourceFields::Text(int32_t id, const WideChar* fallback) const {
  return TextOr(FTexts, id, fallback);
}

WideString TSourceFields::KeyForServerText() const {
  return Text(STR_KEY_FOR_SERVER, u"The stored API key was entered for another source or server. Enter the key "
                                  u"for this server.");
}

void TSourceFields::Init(HWND dialog, const TSourceSettings& source, const WideString& storedKey) {
  FKeyOrigin = storedKey.empty() ? std::string() : KeyOrigin(source);
  TSourceKind kind = &DefaultSource();
  FUnknown = ParseSourceName(source.Source, kind) ? TSourceSettings() : source;
  Relabel(dialog);
  for (size_t i = 0; i < SourceCount(); ++i)
    if (&SourceRow(i) == kind) SendDlgItemMessageW(dialog, IDC_SOURCE, CB_SETCURSEL, i, 0);
  // Its keys mean what another version says: shown, kept, not edited here.
  if (!FUnknown.Source.empty()) {
    SendDlgItemMessageW(dialog, IDC_SOURCE, CB_SETCURSEL, kUnknownItem, 0);
    for (int id : kSourceEdits) EnableWindow(GetDlgItem(dialog, id), FALSE);
  }
  SetDlgItemTextW(dialog, IDC_SERVER, WinStr(source.Server));
  SetDlgItemTextW(dialog, IDC_POINTER, WinStr(source.Pointer));
  SetDlgItemTextW(dialog, IDC_HEADER, WinStr(source.Header));
  ShowKeyCue(dialog);
}

// The stored key is never shown, not even as dots: "unchanged" says it goes
// where it was entered for. Another source or origin must be given its own.
void TSourceFields::ShowKeyCue(HWND dialog) {
  if (FKeyOrigin.empty()) return;
  const TSourceInput input = Read(dialog);
  WideString cue;
  if (StoredKeyApplies(input))
    cue = Text(STR_KEY_UNCHANGED, u"unchanged");
  else if (SourceNeedsKey(input.Source))
    cue = Text(STR_KEY_FOR_SERVER_CUE, u"enter the key for this server");
  SendDlgItemMessageW(dialog, IDC_APIKEY, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(WinStr(cue)));
}

bool TSourceFields::StoredKeyApplies(const TSourceInput& input) const {
  return !FKeyOrigin.empty() && KeyOrigin(input.Source) == FKeyOrigin;
}

bool TSourceFields::KeyMustBeTyped(const TSourceInput& input) const {
  return input.TypedKey.empty() && !FKeyOrigin.empty() && !StoredKeyApplies(input) && SourceNeedsKey(input.Source);
}

void TSourceFields::Relabel(HWND dialog) {
  const LRESULT chosen = SendDlgItemMessageW(dialog, IDC_SOURCE, CB_GETCURSEL, 0, 0);
  SendDlgItemMessageW(dialog, IDC_SOURCE, CB_RESETCONTENT, 0, 0);
  for (size_t i = 0; i < SourceCount(); ++i)
    SendDlgItemMessageW(dialog, IDC_SOURCE, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(WinStr(TextOf(FTexts, SourceRow(i).ListName))));
  if (!FUnknown.Source.empty()) {
    const WideString name = WideFromUtf8(ShownDetail(FUnknown.Source));
    const WideString unknown = WideFormat(Text(STR_SOURCE_UNKNOWN, u"unknown source: %s").c_str(), {name});
    SendDlgItemMessageW(dialog, IDC_SOURCE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WinStr(unknown)));
  }
  SendDlgItemMessageW(dialog, IDC_SOURCE, CB_SETCURSEL, chosen >= 0 ? chosen : 0, 0);
  ShowKeyCue(dialog);
}

TSourceInput TSourceFields::Read(HWND dialog) const {
  TSourceInput input;
  if (!FUnknown.Source.empty() && SendDlgItemMessageW(dialog, IDC_SOURCE, CB_GETCURSEL, 0, 0) == kUnknownItem) {
    input.Source = FUnknown;
    input.Unknown = true;
    return input;
  }
  input.Kind = ChosenKind(dialog);
  // The counter service is the default and is written as no Source at all.
  input.Source.Source = SourceSetting(*input.Kind);
  input.Source.Server = FieldText(dialog, IDC_SERVER);
  if (input.Kind->Server == TServerUse::UrlTemplate) {
    input.Source.Pointer = FieldText(dialog, IDC_POINTER);
    input.Source.Header = FieldText(dialog, IDC_HEADER);
  }
  input.TypedKey = Utf8FromWide(FieldText(dialog, IDC_APIKEY));
  return input;
}

WideString TSourceFields::KeptKey(const TSourceInput& input, const WideString& storedKey) const {
  if (input.Unknown) return storedKey;
  if (input.Kind->Key == TKeyUse::None || !input.TypedKey.empty()) return WideString();
  return StoredKeyApplies(input) ? storedKey : WideString();
}

std::string TSourceFields::KeyToStore(const TSourceInput& input) const {
  return input.Unknown || input.Kind->Key == TKeyUse::None ? std::string() : input.TypedKey;
}

bool TSourceFields::KeyStorable(const TSourceInput& input) const {
  const std::string key = KeyToStore(input);
  return key.empty() || !FHost.KeyStorable || FHost.KeyStorable(key, input.Source);
}

void TSourceFields::SetStatus(HWND dialog, const WideString& text) {
  SetDlgItemTextW(dialog, IDC_SOURCE_STATUS, WinStr(text));
}

bool TSourceFields::Answer(HWND dialog, UINT msg, WPARAM wParam, const WideString& id, const WideString& storedKey) {
  if (msg == WM_SOURCETESTED) {
    ShowTestAnswer(dialog);
    return true;
  }
  if (msg != WM_COMMAND) return false;
  if (LOWORD(wParam) == IDC_TEST && HIWORD(wParam) == BN_CLICKED) {
    StartTest(dialog, id, storedKey);
    return true;
  }
  if (LOWORD(wParam) == IDC_SOURCE && HIWORD(wParam) == CBN_SELCHANGE) {
    SourceChosen(dialog);
    return true;
  }
  // The Server names the origin; json's Header whether the key is sent at all.
  if ((LOWORD(wParam) == IDC_SERVER || LOWORD(wParam) == IDC_HEADER) && HIWORD(wParam) == EN_CHANGE) {
    ShowKeyCue(dialog);
    return true;
  }
  return false;
}

void TSourceFields::SourceChosen(HWND dialog) {
  if (!FUnknown.Source.empty() && !ReplaceUnknown(dialog)) return;
  const TSourceService& chosen = *ChosenKind(dialog);
  SetStatus(dialog, chosen.ChoiceNote.Id != 0 ? TextOf(FTexts, chosen.ChoiceNote) : WideString());
  // A service that bills every request brings its own interval to a tracker
  // that polled more often, as a new tracker of it gets; the note says why.
  HWND refresh = GetDlgItem(dialog, IDC_REFRESH);
  if (refresh && chosen.DefaultInterval > DEFAULT_POLL_INTERVAL &&
      RefreshIntervalMs(GetControlText(refresh)) < chosen.DefaultInterval)
    SetWindowTextW(refresh, WinStr(WideFormat(u"%d", {chosen.DefaultInterval / 1000})));
  ShowKeyCue(dialog);
}

// Another version's source goes only when the user says so; with it go its
// server, header, pointer and stored key, none of which was entered for the new one.
bool TSourceFields::ReplaceUnknown(HWND dialog) {
  const LRESULT chosen = SendDlgItemMessageW(dialog, IDC_SOURCE, CB_GETCURSEL, 0, 0);
  if (chosen == kUnknownItem) return false;
  const LRESULT length = SendDlgItemMessageW(dialog, IDC_SOURCE, CB_GETLBTEXTLEN, chosen, 0);
  std::vector<wchar_t> chosenName(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
  SendDlgItemMessageW(dialog, IDC_SOURCE, CB_GETLBTEXT, chosen, reinterpret_cast<LPARAM>(chosenName.data()));
  const WideString question = WideFormat(
      Text(STR_SOURCE_REPLACE, u"This tracker's source \"%s\" comes from another version of Orvanta and is unknown "
                               u"to this one; its settings are kept as they are. Replace it with %s? Its server, key "
                               u"and other settings are then removed when you save.").c_str(),
      {WideFromUtf8(ShownDetail(FUnknown.Source)), WideOf(chosenName.data())});
  const UINT style = MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2;
  if (MessageBoxW(dialog, WinStr(question), WinStr(GetControlText(dialog)), style) != IDYES) {
    SendDlgItemMessageW(dialog, IDC_SOURCE, CB_SETCURSEL, kUnknownItem, 0);
    return false;
  }
  FUnknown = TSourceSettings();
  SendDlgItemMessageW(dialog, IDC_SOURCE, CB_DELETESTRING, kUnknownItem, 0);
  SendDlgItemMessageW(dialog, IDC_APIKEY, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(L""));
  for (int id : kSourceEdits) {
    SetDlgItemTextW(dialog, id, L"");
    EnableWindow(GetDlgItem(dialog, id), TRUE);
  }
  return true;
}

// One Test poll at a time; a click while one runs starts nothing new. The
// host runs it; the fields only say what it answers.
void TSourceFields::StartTest(HWND dialog, const WideString& id, const WideString& storedKey) {
  if (FTest) return;
  const TSourceInput input = Read(dialog);
  if (KeyMustBeTyped(input)) return SetStatus(dialog, KeyForServerText());
  TTestRequest request;
  request.Source = input.Source;
  request.ID = id;
  request.TypedKey = input.TypedKey;
  // Another version's source is refused before its key is even read.
  if (request.TypedKey.empty() && !input.Unknown && StoredKeyApplies(input)) request.StoredKey = storedKey;
  if (FHost.StartTest) FTest = FHost.StartTest(request, dialog, WM_SOURCETESTED);
  if (!FTest) {
    TPollFailure why;
    why.Kind = TFailure::NotStarted;
    return SetStatus(dialog, FailureText(why, FTexts, WideString()));
  }
  SetStatus(dialog, Text(STR_TEST_RUNNING, u"Testing\u2026"));
  ShowTestAnswer(dialog);
}

void TSourceFields::ShowTestAnswer(HWND dialog) {
  if (!FTest) return;
  const WideString answer = FTest->Answer();
  if (answer.empty()) return;
  FTest.reset();
  SetStatus(dialog, answer);
}
