#pragma once
// Where user-visible texts come from, by numeric id. The languages implement
// it; the widget and the dialogs only ask, so they need not know the manager.
#include <cstdint>

#include "text/WStrUtils.h"

class TTextLookup {
public:
  virtual ~TTextLookup() = default;
  // The text of the id in the current language; empty when there is none.
  virtual WideString GetText(int32_t id) const = 0;
};
