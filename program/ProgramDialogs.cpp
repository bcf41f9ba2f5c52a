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
  TSourceTestPoll(const TTextLookup* texts, std::shared_ptr<TKeyShares> budget)
      : FTexts(texts), FBudget(std::move(budget)) {}
  ~TSourceTestPoll() override {
    // The dialog is gone: a poll still running posts nothing.
    if (FWorker) FWorker->Release(0);
  }
  void Start(const TTestRequest& request, HWND dialog, UINT message, const std::string& counterHost);
  WideString Answer() override;

private:
  const TTextLookup* FTexts;
  std::shared_ptr<TKeyShares> FBudget;  // the program's, shared with every tracker
  TSourceSettings FTested;  // the source the worker asks
  std::string FGroup;       // its key group
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
    FGroup = KeyGroup(request.Source, key);
    // A Test is a request of the key's group like any poll: it waits out the
    // group's pause and takes a free slot, or says when to try again.
    const int64_t now = SteadyMs();
    if (const int64_t paused = FBudget->PausedUntil(FGroup, now)) {
      why.Kind = TFailure::RateLimited;
      why.PausedUntil = UnixNow() + (paused - now + 999) / 1000;
      FAnswer = FailureText(why, FTexts, LocalClock(why.PausedUntil));
      return;
    }
    int64_t waitMs = 0;
    if (!FBudget->TakeFree(FGroup, SourceRateLimit(FTested), now, waitMs)) {
      const int32_t seconds = static_cast<int32_t>((waitMs + 999) / 1000);
      FAnswer = WideFormat(TextOr(FTexts, STR_TEST_SPACED, u"Requests with this key are spaced to stay inside the "
                                                           u"service's limit: test again in %d s.").c_str(),
                           {seconds});
      return;
    }
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
  const int64_t now = UnixNow();
  const int32_t count = ReadSourceCount(FTested, transfer, now, why);
  if (why.Kind == TFailure::RateLimited && !FGroup.empty()) {
    const int64_t retryMs = why.PausedUntil > 0 ? (why.PausedUntil - now) * 1000 : -1;
    const int64_t steady = SteadyMs();
    why.PausedUntil = now + (FBudget->Refused(FGroup, SourceRateLimit(FTested), retryMs, steady) - steady + 999) / 1000;
  }
  FAnswer = count >= 0 ? WideFormat(TextOr(FTexts, STR_TEST_COUNT, u"The source answers: %d visitors").c_str(), {count})
                       : FailureText(why, FTexts, LocalClock(why.PausedUntil));
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
                                         const std::string& counterHost, const TTextLookup* texts,
                                         std::shared_ptr<TKeyShares> budget) {
  if (!budget) budget = std::make_shared<TKeyShares>();
  auto poll = std::make_unique<TSourceTestPoll>(texts, std::move(budget));
  poll->Start(request, dialog, message, counterHost);
  return poll;
}

TDialogHost SettingsHost(TWidgetMainForm& widget) {
  TDialogHost host;
  host.Owner = widget.WindowHandle();
  host.Texts = widget.Host().Languages.get();
  host.StartTest = [counterHost = widget.Host().CounterServer, texts = host.Texts,
                    budget = widget.Host().KeyShares](const TTestRequest& request, HWND dialog, UINT message) {
    return StartTestPoll(request, dialog, message, counterHost, texts, budget);
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
  host.StartTest = [counterHost = manager.CounterServer(), texts = host.Texts,
                    budget = manager.KeyShares()](const TTestRequest& request, HWND dialog, UINT message) {
    return StartTestPoll(request, dialog, message, counterHost, texts, budget);
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
