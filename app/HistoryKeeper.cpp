#include "app/HistoryKeeper.h"

THistoryLoadState THistoryKeeper::Load(const WideString& stamp) {
  FKeptFile.clear();
  return LoadHistoryFile(FFileName, *FBook, stamp, &FKeptFile);
}

bool THistoryKeeper::Save() {
  if (!FBook->Dirty()) return true;
  FSaveError.clear();
  return SaveHistoryFile(FFileName, *FBook, &FSaveError);
}
