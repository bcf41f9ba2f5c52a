#pragma once
// The boxes the manager shows about trackers once its message loop runs: keys
// this Windows account cannot read, and widgets whose window could not be made.
#include <vector>

#include "platform/WinApi.h"
#include "text/TextLookup.h"

// A tracker as the user knows it: its title with its ID, or the ID alone
// (untitled trackers all read "Orvanta").
WideString TrackerLabel(const WideString& title, const WideString& id);

// Trackers whose key this Windows account cannot read, or (notProtected)
// sections whose key written by hand stays in plain text.
void TellKeys(HWND owner, const TTextLookup* texts, const WideString& caption, const std::vector<WideString>& names,
              bool notProtected);
// lines: a tracker's label and the reason its window could not be made, each.
void TellNotShown(HWND owner, const TTextLookup* texts, const WideString& caption, const std::vector<WideString>& lines);
