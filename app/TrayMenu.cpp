#include "app/TrayMenu.h"

#include "platform/ProgramIds.h"
#include "ui/WinControls.h"

namespace {
constexpr UINT kTrayMenuTextIds[] = {CMD_ABOUT, CMD_SHOW, CMD_HIDE, CMD_ADDTRACKER, CMD_EXIT};
constexpr int kLanguagesPosition = 2;
constexpr int kTrackersPosition = 5;

// ModifyMenu destroys the item it replaces; the popup then belongs to the menu.
void ReplaceByPopup(HMENU root, int position, HMENU popup, const WideString& text) {
  if (!ModifyMenuW(root, static_cast<UINT>(position), MF_BYPOSITION | MF_POPUP | MF_STRING,
                   reinterpret_cast<UINT_PTR>(popup), WinStr(text)))
    DestroyMenu(popup);
}

HMENU LanguagesPopup(const TWidgetLanguages& languages) {
  HMENU popup = CreatePopupMenu();
  const TWidgetLanguage* current = languages.Current();
  for (int i = 0; i < languages.Count(); ++i) {
    const TWidgetLanguage* language = languages.Languages(i);
    const UINT checked = current && language->ResName() == current->ResName() ? MF_CHECKED : MF_UNCHECKED;
    AppendMenuW(popup, MF_STRING | checked, CMD_LANGUAGE_BASE + static_cast<UINT>(i), WinStr(language->DisplayName()));
  }
  return popup;
}

HMENU TrackersPopup(const TTextLookup& texts, const std::vector<TTrackerSettings>& trackers) {
  HMENU popup = CreatePopupMenu();
  if (trackers.empty()) {
    AppendMenuW(popup, MF_STRING, CMD_TRACKER_BASE, WinStr(texts.GetText(STR_NO_TRACKERS)));
    EnableMenuItem(popup, 0, MF_BYPOSITION | MF_GRAYED);
  }
  for (size_t i = 0; i < trackers.size(); ++i)
    AppendMenuW(popup, MF_STRING, CMD_TRACKER_BASE + static_cast<UINT>(i), WinStr(TrackerMenuCaption(texts, trackers[i])));
  return popup;
}
}  // namespace

WideString TrackerMenuCaption(const TTextLookup& texts, const TTrackerSettings& tracker) {
  const WideString title = tracker.Title.empty() ? texts.GetText(STR_NO_TITLE) : tracker.Title;
  return title + WideFormat(TRACKER_MENU_FORMAT, {tracker.ID});
}

void PopupTrayMenu(HWND owner, const TWidgetLanguages& languages, const std::vector<TTrackerSettings>& trackers) {
  HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(MENU_TRAY));
  HMENU root = menu ? GetSubMenu(menu, 0) : nullptr;
  if (!root) {
    if (menu) DestroyMenu(menu);
    return;
  }
  ReplaceByPopup(root, kLanguagesPosition, LanguagesPopup(languages), languages.GetText(CMD_LANGUAGES));
  ReplaceByPopup(root, kTrackersPosition, TrackersPopup(languages, trackers), languages.GetText(CMD_TRACKERS));
  for (UINT id : kTrayMenuTextIds) SetMenuItemText(menu, id, languages.GetText(static_cast<int32_t>(id)));
  POINT cursor{};
  GetCursorPos(&cursor);
  // Without the owner in front the menu may not close when clicked away.
  SetForegroundWindow(owner);
  TrackPopupMenuEx(root, TPM_VERTICAL, cursor.x, cursor.y, owner, nullptr);
  PostMessageW(owner, WM_NULL, 0, 0);
  DestroyMenu(menu);
}
