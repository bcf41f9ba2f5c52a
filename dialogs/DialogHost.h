#pragma once
// What the tracker dialogs need from whoever opens them, as plain data and
// functions, so that a dialog knows neither the widget nor the manager: it
// takes a record and a host and hands back an edit. The host's functions are
// called on the thread that shows the dialog.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/WinApi.h"
#include "text/TextLookup.h"
#include "tracker/TrackerSource.h"

// What a Test poll asks, as the fields hold it.
struct TTestRequest {
  TSourceSettings Source;
  WideString ID;
  std::string TypedKey;  // empty: none typed
  // The stored key, only when it applies to Source and nothing was typed.
  WideString StoredKey;
};

// A Test poll that the host runs. Freeing it abandons the poll: nothing is
// posted after that.
class TTestPoll {
public:
  virtual ~TTestPoll() = default;
  // The answer in words: the count, or why there is none; empty while the
  // poll runs.
  virtual WideString Answer() = 0;
};

struct TDialogHost {
  HWND Owner = nullptr;
  const TTextLookup* Texts = nullptr;  // none: built-in English
  // Starts a Test poll that posts message to dialog once it has its answer;
  // a request refused before it is sent has its answer at once.
  std::function<std::unique_ptr<TTestPoll>(const TTestRequest& request, HWND dialog, UINT message)> StartTest;
  // False when a typed key cannot be stored here (it could not be
  // encrypted): Save then refuses and nothing is saved.
  std::function<bool(const std::string& key, const TSourceSettings& source)> KeyStorable;
  // The dialog's window once it is open, then none once it is gone: a second
  // request brings it forward, a language switch reaches it.
  std::function<void(HWND dialog)> Opened;

  // Add Tracker: the IDs a new tracker must not take.
  std::function<std::vector<WideString>()> TakenIds;

  // Settings: asked last on Save, true once the owner holds id for this
  // tracker (none: nobody else to ask); an empty id gives the claim up.
  std::function<bool(const WideString& id)> ClaimId;
  // The transparency's live preview on the tracker's window, and its end:
  // the window shows its alpha as it was before the dialog.
  std::function<void(uint8_t opacity)> Preview;
  std::function<void()> EndPreview;
  // What the status line says: why the tracker shows "?" (empty while it
  // shows a count), and the interval it polls at when trackers sharing its
  // key make it longer than the record's.
  WideString LastFailure;
  int32_t PollInterval = 0;  // ms
  int32_t Sharing = 1;       // trackers polling with the key
};
