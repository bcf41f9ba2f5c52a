// Fuzzes the INI text parser and the integer syntax with arbitrary UTF-16 text.
// Invariants: the text form is stable under re-parsing and survives the byte
// round trip; a written value reads back, as an integer by the integer syntax
// (whose printed forms FuzzCount reads back). Which of equal names answers is
// HashedList's unit test.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "text/IntegerSyntax.h"
#include "tests/text/TextTestUtil.h"
#include "text/WIniFiles.h"

using testutil::Items;

namespace {

// ReadInteger is the integer syntax applied to the raw value, the default otherwise.
void CheckInteger(const TWMemIniFile& ini, const WideString& section, const WideString& key, const WideString& raw) {
  int32_t expected = 0;
  const bool parses = ParseInteger32(raw, expected);
  if (parses) Check(raw.find_first_not_of(u" +-$xX0123456789abcdefABCDEF") == WideString::npos, "syntax characters only");
  Check(ini.ReadInteger(section, key, 0x5EED) == (parses ? expected : 0x5EED), "ReadInteger");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 16) return 0;
  WideString text;
  for (size_t i = 0; i + 1 < size; i += 2) text += static_cast<WideChar>(data[i] | data[i + 1] << 8);

  TWStringList lines;
  lines.SetText(text);
  for (int i = 0; i < lines.GetCount(); ++i)
    Check(lines.Get(i).find_first_of(WideString(u"\r\n\0", 3)) == WideString::npos, "lines hold no breaks");
  TWStringList again;
  again.SetText(lines.GetText());
  Check(Items(again) == Items(lines), "GetText then SetText gives the same lines");

  TWMemIniFile ini{WideString()};
  ini.SetStrings(&lines);
  TWStringList form;
  ini.GetStrings(&form);
  TWMemIniFile reparsed{WideString()};
  reparsed.SetStrings(&form);
  TWStringList form2;
  reparsed.GetStrings(&form2);
  Check(Items(form) == Items(form2), "the text form is stable under re-parsing");

  TBytesStream bytes;
  form.SaveToStream(bytes);
  bytes.SetPosition(0);
  TWStringList loaded;
  loaded.LoadFromStream(bytes);
  Check(Items(loaded) == Items(form), "the byte form loads back");

  // Arbitrary text as a value.
  const WideString value = text.substr(0, 64);
  ini.WriteString(u"Fuzz", u"Raw", value);
  Check(ini.ReadString(u"fuzz", u"raw", WideString()) == value, "a written value reads back");
  CheckInteger(ini, u"Fuzz", u"Raw", value);
  return 0;
}
