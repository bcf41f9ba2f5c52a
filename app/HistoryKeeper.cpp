#include "app/HistoryKeeper.h"

#include "text/TextIds.h"

THistoryLoadState THistoryKeeper::Load(const WideString& stamp) {
  return FState = LoadHistoryFile(FFileName, *FBook, stamp, &FKeptFile, &FLoadError);
}

bool THistoryKeeper::Save() {
  if (Blocked()) {
    FSaveError = FLoadError;
    return false;
  }
  if (!FBook->Dirty()) return true;
  FSaveError.clear();
  return SaveHistoryFile(FFileName, *FBook, &FSaveError);
}

WideString THistoryKeeper::Unreadable(const TTextLookup& texts) const {
  const int32_t id = FState == THistoryLoadState::NotKept ? STR_HISTORY_NOT_KEPT : STR_HISTORY_UNREACHABLE;
  return Filled(texts.GetText(id), {FFileName, FLoadError});
}
