#include "app/StartNotices.h"

#include "text/TextIds.h"

namespace {
WideString Joined(const std::vector<WideString>& items, const WideString& separator) {
  WideString all;
  for (const WideString& item : items) all += (all.empty() ? u"" : separator) + item;
  return all;
}

void Warn(HWND owner, const WideString& text, const WideString& caption) {
  MessageBoxW(owner, WinStr(text), WinStr(caption), MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
}
}  // namespace

WideString TrackerLabel(const WideString& title, const WideString& id) {
  return title.empty() || title == id ? id : title + u" (" + id + u")";
}

void TellKeys(HWND owner, const TTextLookup* texts, const WideString& caption, const std::vector<WideString>& names,
              bool notProtected) {
  const WideString text =
      notProtected ? TextOr(texts, STR_KEYS_NOT_PROTECTED,
                            u"The API key in these sections of the settings file could not be encrypted for this "
                            u"Windows account and stays there in plain text; enter it again in the tracker's "
                            u"Preferences: %s")
                   : TextOr(texts, STR_KEYS_UNREADABLE,
                            u"The API key of these trackers cannot be read on this Windows account; enter it again "
                            u"in their Preferences: %s");
  Warn(owner, Filled(text, {Joined(names, u", ")}), caption);
}

void TellNotShown(HWND owner, const TTextLookup* texts, const WideString& caption, const std::vector<WideString>& lines) {
  const WideString text = TextOr(texts, STR_TRACKERS_NOT_SHOWN,
                                 u"These trackers could not be shown. They stay in your settings and are tried again "
                                 u"at the next start:");
  Warn(owner, text + u"\r\n\r\n" + Joined(lines, u"\r\n"), caption);
}
