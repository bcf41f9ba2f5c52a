#pragma once
// What a tracker dialog hands back when the user saves: the whole record as
// it should be, and a key typed in plain text, which only the widget turns
// into its stored form (it never travels further).
#include <string>

#include "tracker/TrackerSettings.h"

struct TTrackerEdit {
  // Every field as saved. ApiKey is the stored key to keep: the one the
  // tracker had when it still applies, empty when it goes.
  TTrackerSettings Settings;
  // A key typed in the dialog; empty: none. It replaces ApiKey once encrypted.
  std::string TypedKey;
};
