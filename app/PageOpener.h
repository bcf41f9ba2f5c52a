#pragma once
// Opening a page of the maker's site in the user's browser.
#include <functional>

#include "platform/WinApi.h"

// Opens url with the program registered for it.
void OpenPage(HWND owner, const WideString& url);

// What opens a page: OpenPage, or whatever a caller puts in its place to see
// the address instead.
using TPageOpener = std::function<void(HWND owner, const WideString& url)>;
