#include "program/ProgramDialogs.h"

#include <optional>

#include "app/WidgetManager.h"
#include "dialogs/AddWidgetDlg.h"
#include "dialogs/SettingsDlg.h"
#include "tracker/CountPolling.h"
#include "widget/ApiKeys.h"
#include "widget/MainForm.h"
#include "widget/SourceTransfer.h"

namespace {

// One Test poll: its worker while it runs, then its answer.
class TSourceTestPoll : public TTestPoll {
public:
  explicit TSourceTestPoll(const TTextLookup* texts) : FTexts(texts) {}
  ~TSourceTestPoll() override {
    // The dialog is gone: a poll still running posts nothing.
    if (FWorker) FWorker->Release(0);
  }
  void Start(const TTestRequest& request, HWND dialog, UINT message, const std::string& counterHost);
  WideString Answer() override;

private:
  const TTextLookup* FTexts;
  TSourceSettings FTested;  // the source the worker asks
  std::unique_ptr<TInetThread> FWorker;
  WideString FAnswer;
};

// The stored key is decrypted here, for the source it was entered for only
// (the dialog hands it over for nothing else).
void TSourceTestPoll::Start(const TTestRequest& request, HWND dialog, UINT message, const std::string& counterHost) {
  std::string key = request.TypedKey;
  TPollFailure why;
  if (key.empty() && !request.StoredKey.empty() &&
      ReadApiKey(request.StoredKey, request.Source, key) == TStoredKey::Unreadable)
    why.Kind = TFailure::KeyUnreadable;
  TSourceRequest sourceRequest;
  if (why.Kind == TFailure::None &&
      BuildSourceRequest(request.Source, request.ID, key, counterHost, sourceRequest, why)) {
    FTested = request.Source;
    FWorker = StartSourceRequest(dialog, message, sourceRequest);
    if (FWorker) return;
    why.Kind = TFailure::NotStarted;
  }
  FAnswer = FailureText(why, FTexts, WideString());
}

WideString TSourceTestPoll::Answer() {
  if (!FAnswer.empty() || !FWorker || !FWorker->Finished()) return FAnswer;
  const TTransferResult transfer = TransferOf(*FWorker);
  FWorker.reset();
  TPollFailure why;
  const int32_t count = ReadSourceCount(FTested, transfer, UnixNow(), why);
  FAnswer = count >= 0 ? WideFormat(TextOr(FTexts, STR_TEST_COUNT, u"The source answers: %d visitors").c_str(), {count})
                       : FailureText(why, FTexts, WideString());
  return FAnswer;
}

bool KeyStorable(const std::string& key, const TSourceSettings& source) {
  return !ProtectApiKey(key, source).empty();
}

// The dialog checked the key before it closed; this is for a key that still
// could not be stored. Nothing was saved.
void TellKeyNotStored(const TDialogHost& host) {
  const WideString text = TextOr(host.Texts, STR_KEY_NOT_STORED, u"The key could not be stored encrypted for this "
                                                                 u"Windows account, so nothing was saved.");
  MessageBoxW(host.Owner, WinStr(text), WinStr(TextOr(host.Texts, STR_ERROR_CAPTION, u"Error")), MB_ICONERROR);
}

void OpenAddTracker(TWidgetManager& manager) {
  // A second Add brings the open dialog forward.
  if (ActivateOpenDialog(manager.AddDialog())) return;
  const TDialogHost host = AddTrackerHost(manager);
  const std::optional<TTrackerEdit> edit = ShowAddTrackerDialog(host);
  if (edit && !manager.AddTracker(*edit)) TellKeyNotStored(host);
}

void OpenSettings(TWidgetMainForm& widget) {
  if (ActivateOpenDialog(widget.SettingsDialog())) return;
  const std::shared_ptr<TThreadForm::TLife> life = widget.Life();
  const TDialogHost host = SettingsHost(widget);
  const std::optional<TTrackerEdit> edit = ShowSettingsDialog(widget.Settings(), host);
  // The widget may have been closed, even freed, while the dialog was open.
  if (!edit || TThreadForm::Freed(life)) return;
  if (!widget.Apply(*edit)) TellKeyNotStored(host);
}

}  // namespace

std::unique_ptr<TTestPoll> StartTestPoll(const TTestRequest& request, HWND dialog, UINT message,
                                         const std::string& counterHost, const TTextLookup* texts) {
  auto poll = std::make_unique<TSourceTestPoll>(texts);
  poll->Start(request, dialog, message, counterHost);
  return poll;
}

TDialogHost SettingsHost(TWidgetMainForm& widget) {
  TDialogHost host;
  host.Owner = widget.WindowHandle();
  host.Texts = widget.Host().Languages.get();
  host.StartTest = [counterHost = widget.Host().CounterServer, texts = host.Texts](const TTestRequest& request,
                                                                                   HWND dialog, UINT message) {
    return StartTestPoll(request, dialog, message, counterHost, texts);
  };
  host.KeyStorable = KeyStorable;
  host.Opened = [&widget](HWND dialog) { widget.SetSettingsDialog(dialog); };
  if (widget.Host().ClaimId)
    host.ClaimId = [&widget](const WideString& id) { return widget.Host().ClaimId(widget, id); };
  // The preview changes only the window's alpha, never the stored opacity.
  host.Preview = [&widget](uint8_t opacity) {
    widget.SetOpacity(opacity);
    widget.UpdateLayer();
  };
  host.EndPreview = [&widget, opening = widget.Opacity()] {
    widget.SetOpacity(opening);
    widget.Redraw();
  };
  if (widget.Count() < 0) host.LastFailure = widget.LastFailureText();
  host.PollInterval = widget.PollInterval();
  host.Sharing = widget.KeySharing();
  return host;
}

TDialogHost AddTrackerHost(TWidgetManager& manager) {
  TDialogHost host;
  host.Owner = manager.WindowExists() ? manager.StoredHandle() : nullptr;
  host.Texts = &manager.Languages();
  host.StartTest = [counterHost = manager.CounterServer(), texts = host.Texts](const TTestRequest& request,
                                                                               HWND dialog, UINT message) {
    return StartTestPoll(request, dialog, message, counterHost, texts);
  };
  host.KeyStorable = KeyStorable;
  host.Opened = [&manager](HWND dialog) { manager.SetAddDialog(dialog); };
  host.TakenIds = [&manager] { return manager.TakenIds(); };
  return host;
}

TShellDialogs ProgramDialogs() {
  TShellDialogs hooks;
  hooks.AddTracker = OpenAddTracker;
  hooks.Preferences = OpenSettings;
  return hooks;
}
