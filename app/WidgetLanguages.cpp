#include "app/WidgetLanguages.h"

#include "platform/WinApi.h"
#include "text/WStreams.h"
#include "text/WStrings.h"

TWidgetLanguage::TWidgetLanguage(const WideString& resName, TWMemIniFile* strings)
    : FStrings(strings), FResName(resName) {
  FDisplayName = FStrings->ReadString(LANGUAGE_SECTION, LANGUAGE_DISPLAY_KEY, WideString());
}

TWidgetLanguage::~TWidgetLanguage() { delete FStrings; }

WideString TWidgetLanguage::GetText(int32_t id) const {
  std::string key = std::to_string(id);
  return FStrings->ReadString(LANGUAGE_SECTION, WideString(key.begin(), key.end()), WideString());
}

TWidgetLanguages::TWidgetLanguages(TComponent* owner) : TComponent(owner) {
  try {
    LoadLanguage(LANGUAGE_EN_US);
    LoadLanguage(LANGUAGE_TR_TR);
  } catch (...) {
    for (TWidgetLanguage* language : FLanguages) delete language;
    throw;
  }
}

TWidgetLanguages::~TWidgetLanguages() {
  for (TWidgetLanguage* language : FLanguages) delete language;
}

void TWidgetLanguages::LoadLanguage(const WideString& name) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC info = FindResourceW(module, WinStr(name), WinStr(LANGUAGE_RESOURCE_TYPE));
  HGLOBAL data = info ? LoadResource(module, info) : nullptr;
  const void* bytes = data ? LockResource(data) : nullptr;
  if (!bytes) throw Exception(WideFormat(u"Resource %s not found", {name}));
  LoadLanguageText(name, std::string(static_cast<const char*>(bytes), SizeofResource(module, info)));
}

void TWidgetLanguages::LoadLanguageText(const WideString& name, const std::string& bytes) {
  TBytesStream stream(bytes);
  unsigned char mark[2] = {0, 0};
  // Without the byte-order mark the table is read from its first byte.
  if (stream.Read(mark, 2) != 2 || mark[0] != 0xFF || mark[1] != 0xFE) stream.SetPosition(0);
  TWStringList lines;
  lines.LoadFromStream(stream);
  // Named after the table but never read from disk: a file of that name in
  // the current folder is not the program's to open, nor its leftovers to promote.
  std::unique_ptr<TWMemIniFile> strings(new TWMemIniFile(name, false));
  strings->SetStrings(&lines);
  std::unique_ptr<TWidgetLanguage> language(new TWidgetLanguage(name, strings.release()));
  FLanguages.push_back(language.get());
  FCurrent = language.release();
}

TWidgetLanguage* TWidgetLanguages::FindLanguage(const WideString& name) const {
  for (TWidgetLanguage* language : FLanguages)
    if (language->ResName() == name) return language;
  return nullptr;
}

void TWidgetLanguages::SelectLanguage(const WideString& name) {
  if (TWidgetLanguage* language = FindLanguage(name)) FCurrent = language;
}

void TWidgetLanguages::GetText(int32_t id, WideString& text) const {
  text.clear();
  if (TWidgetLanguage* current = FCurrent.load()) text = current->GetText(id);
}

WideString TWidgetLanguages::GetText(int32_t id) const {
  WideString text;
  GetText(id, text);
  return text;
}
