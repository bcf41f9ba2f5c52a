#pragma once
// The history file as the manager keeps it, without a window: read once at
// start, beside the settings file but never needed by it; written at most
// once a minute while something changed, and at Exit and log-off.
#include <memory>
#include <vector>

#include "text/TextLookup.h"
#include "tracker/History.h"

constexpr uint32_t HISTORY_SAVE_INTERVAL_MS = 60 * 1000;

class THistoryKeeper {
public:
  explicit THistoryKeeper(WideString fileName)
      : FFileName(std::move(fileName)), FBook(std::make_shared<THistoryBook>()) {}

  // Shared with every widget, which adds its polls on its own thread.
  const std::shared_ptr<THistoryBook>& Book() const { return FBook; }
  const WideString& FileName() const { return FFileName; }

  // A file that is not whole is kept aside under stamp and a new one begins.
  // One that is present but cannot be read or kept aside blocks every write
  // of this run.
  THistoryLoadState Load(const WideString& stamp);
  THistoryLoadState State() const { return FState; }
  bool Blocked() const { return FState == THistoryLoadState::Blocked || FState == THistoryLoadState::NotKept; }
  const WideString& KeptFile() const { return FKeptFile; }
  // Blocked: the system's reason, and what the user is told.
  const WideString& LoadError() const { return FLoadError; }
  WideString Unreadable(const TTextLookup& texts) const;
  // Once the trackers are made: what the file holds for trackers the settings
  // no longer list goes with them.
  void Retain(const std::vector<WideString>& ids) { FBook->Retain(ids); }
  // Writes when something changed since the last write. False when it could
  // not or was blocked (SaveError says why); the file on disk is then as it was.
  bool Save();
  const WideString& SaveError() const { return FSaveError; }

private:
  WideString FFileName;
  std::shared_ptr<THistoryBook> FBook;
  THistoryLoadState FState = THistoryLoadState::None;
  WideString FKeptFile;
  WideString FLoadError;
  WideString FSaveError;
};
