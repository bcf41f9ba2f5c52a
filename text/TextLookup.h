#pragma once
// Where user-visible texts come from, by numeric id. The languages implement
// it; the widget and the dialogs only ask, so they need not know the manager.
#include <cstdint>
#include <initializer_list>

#include "text/WStrUtils.h"

class TTextLookup {
public:
  virtual ~TTextLookup() = default;
  // The text of the id in the current language; empty when there is none.
  virtual WideString GetText(int32_t id) const = 0;
};

// The text of id from texts, or fallback when there are no texts or none for id.
inline WideString TextOr(const TTextLookup* texts, int32_t id, const WideChar* fallback) {
  WideString text = texts ? texts->GetText(id) : WideString();
  return text.empty() ? WideString(fallback) : text;
}

// The first %s of a language text replaced by each value in turn; a value's
// own "%s" is left as it is.
inline WideString Filled(WideString text, std::initializer_list<WideString> values) {
  size_t from = 0;
  for (const WideString& value : values) {
    const size_t at = text.find(u"%s", from);
    if (at == WideString::npos) break;
    text.replace(at, 2, value);
    from = at + value.size();
  }
  return text;
}
