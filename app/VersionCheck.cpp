#include "app/VersionCheck.h"

#include <initializer_list>
#include <oleauto.h>

#include "app/VersionRule.h"
#include "inet/InetThrd.h"
#include "platform/AnsiText.h"
#include "platform/ProgramIdentity.h"
#include "ui/Handles.h"

namespace {
constexpr const wchar_t kXmlProgId[] = L"Microsoft.XMLDOM";
constexpr const wchar_t kVersionPath[] = L"/data/version";

// One VARIANT, cleared when it goes.
class TVariant {
public:
  TVariant() { VariantInit(&Value); }
  ~TVariant() { VariantClear(&Value); }
  TVariant(const TVariant&) = delete;
  TVariant& operator=(const TVariant&) = delete;
  VARIANT Value;
};

// One BSTR argument; SysAllocStringLen keeps embedded zeros and needs no terminator.
class TBstr {
public:
  explicit TBstr(const WideString& text)
      : FValue(SysAllocStringLen(WinStr(text), static_cast<UINT>(text.size()))) {}
  ~TBstr() { SysFreeString(FValue); }
  TBstr(const TBstr&) = delete;
  TBstr& operator=(const TBstr&) = delete;
  BSTR Get() const { return FValue; }

private:
  BSTR FValue;
};

// A late-bound call by name with up to two arguments, given in reading
// order. S_FALSE counts as failure: MSXML answers a failed load or an empty
// selection with it.
bool Call(IDispatch* object, const wchar_t* name, WORD kind, std::initializer_list<VARIANT> args, VARIANT* result) {
  DISPID id = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  if (args.size() > 2 || FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return false;
  // IDispatch takes its arguments last first.
  VARIANT params[2];
  size_t count = args.size();
  for (size_t i = 0; i < count; ++i) params[count - 1 - i] = args.begin()[i];
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS call{params, nullptr, static_cast<UINT>(count), 0};
  if (kind == DISPATCH_PROPERTYPUT) {
    call.rgdispidNamedArgs = &named;
    call.cNamedArgs = 1;
  }
  return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &call, result, nullptr, nullptr) == S_OK;
}

VARIANT BoolArg(bool value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

VARIANT IntArg(int32_t value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

VARIANT TextArg(const TBstr& text) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = text.Get();
  return v;
}

}  // namespace

bool HasDocumentType(const WideString& xml) {
  // Markup declarations start "<!" and a letter; comments ("<!-") and
  // CDATA ("<![") are the only others XML has.
  for (size_t at = xml.find(u"<!"); at != WideString::npos; at = xml.find(u"<!", at + 2)) {
    const char16_t next = at + 2 < xml.size() ? xml[at + 2] : u'\0';
    if ((next >= u'A' && next <= u'Z') || (next >= u'a' && next <= u'z')) return true;
  }
  return false;
}

WideString ParseVersionXml(const WideString& xml) {
  // A document type is where entity bombs live, and the version file needs
  // none: such a file is refused before any parser sees it, whatever the
  // parser would make of its settings.
  if (xml.size() > VERSION_FILE_MAX_CHARS || HasDocumentType(xml)) return WideString();
  CLSID clsid{};
  if (FAILED(CLSIDFromProgID(kXmlProgId, &clsid))) return WideString();
  TComPtr<IDispatch> document;
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(document.Put()))) ||
      !document)
    return WideString();
  // A hostile file must not make the parser fetch anything: no external
  // entities, no validation, synchronous. Parsers without these settings still parse.
  Call(document.Get(), L"async", DISPATCH_PROPERTYPUT, {BoolArg(false)}, nullptr);
  Call(document.Get(), L"resolveExternals", DISPATCH_PROPERTYPUT, {BoolArg(false)}, nullptr);
  Call(document.Get(), L"validateOnParse", DISPATCH_PROPERTYPUT, {BoolArg(false)}, nullptr);
  const TBstr prohibitDtd(u"ProhibitDTD"), maxDepth(u"MaxElementDepth");
  Call(document.Get(), L"setProperty", DISPATCH_METHOD, {TextArg(prohibitDtd), BoolArg(true)}, nullptr);
  Call(document.Get(), L"setProperty", DISPATCH_METHOD, {TextArg(maxDepth), IntArg(VERSION_FILE_MAX_DEPTH)}, nullptr);

  const TBstr text(xml);
  TVariant loaded;
  if (!Call(document.Get(), L"loadXML", DISPATCH_METHOD, {TextArg(text)}, &loaded.Value) ||
      loaded.Value.vt != VT_BOOL || loaded.Value.boolVal != VARIANT_TRUE)
    return WideString();
  const TBstr path(WideOf(kVersionPath));
  TVariant node;
  if (!Call(document.Get(), L"selectSingleNode", DISPATCH_METHOD, {TextArg(path)}, &node.Value) ||
      node.Value.vt != VT_DISPATCH || !node.Value.pdispVal)
    return WideString();
  TVariant value;
  if (!Call(node.Value.pdispVal, L"text", DISPATCH_PROPERTYGET, {}, &value.Value) || value.Value.vt != VT_BSTR ||
      !value.Value.bstrVal)
    return WideString();
  return WideOf(value.Value.bstrVal, SysStringLen(value.Value.bstrVal));
}

// An error page is not the version file, whatever it says.
WideString VersionFileText(TInetThread& worker) {
  if (!worker.Finished() || worker.Result() != INET_OK) return WideString();
  return WideFromAnsi(worker.Request().Response().Text());
}

void OfferNewerVersion(HWND owner, const TTextLookup* texts, const WideString& versionFile,
                       const TPageOpener& open) {
  if (!IsNewerVersion(ParseVersionXml(versionFile))) return;
  // A sender waiting on this thread is let go before the box waits on the user.
  if (InSendMessage()) ReplyMessage(0);
  const WideString text = texts ? texts->GetText(STR_NEW_VERSION) : WideString();
  if (MessageBoxW(owner, WinStr(text), WinStr(APPLICATION_TITLE), MB_ICONQUESTION | MB_YESNO) != IDYES) return;
  open(owner, WideOfAscii(HostUrl(MakerHost()) + DOWNLOAD_PATH));
}
