#pragma once
// Opening a page of the maker's site in the user's browser.
#include <functional>

#include "platform/WinApi.h"

// Opens url with the program registered for it; tests replace the opener to
// see the address.
using TPageOpener = std::function<void(HWND owner, const WideString& url)>;
void OpenPage(HWND owner, const WideString& url);
void SetPageOpenerForTesting(const TPageOpener& opener);
