// Fuzzes the INI text parser with arbitrary UTF-16 text. Invariants: the text
// form is stable under re-parsing and survives the byte round trip; a written
// value reads back. The integer syntax is FuzzCount's; which of equal names
// answers is HashedList's unit test.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/FuzzCheck.h"
#include "tests/support/TextTestUtil.h"
#include "text/WIniFiles.h"

using testutil::Items;

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

  testutil::MemIni ini(text);
  const WideString form = ini.Text();
  Check(testutil::MemIni(form).Text() == form, "the text form is stable under re-parsing");

  TBytesStream bytes;
  lines.SetText(form);
  lines.SaveToStream(bytes);
  bytes.SetPosition(0);
  TWStringList loaded;
  loaded.LoadFromStream(bytes);
  Check(loaded.GetText() == form, "the byte form loads back");

  // Arbitrary text as a value.
  const WideString value = text.substr(0, 64);
  ini.WriteString(u"Fuzz", u"Raw", value);
  Check(ini.ReadString(u"fuzz", u"raw", WideString()) == value, "a written value reads back");
  return 0;
}
