#pragma once
// API keys at rest: encrypted for the current Windows user with DPAPI, so that
// the settings file never holds one in plain text, and bound to the origin
// (KeyOrigin) they were entered for, so that none decrypts for another.
#include <string>

#include "text/WStrUtils.h"
#include "tracker/TrackerSource.h"

enum class TStoredKey {
  None,        // no key
  Plain,       // written into the file by hand: used, and encrypted at the next save
  Protected,   // decrypted for this user and the origin asked for
  Unbound,     // decrypted, stored by an earlier version without its origin: bound at the next save
  Unreadable,  // encrypted for another user, machine or origin, or damaged
};

// "dpapi:" and the base64 of the key encrypted for the source's origin; empty
// when DPAPI failed.
WideString ProtectApiKey(const std::string& plain, const TSourceSettings& source);
// The stored form's state for the source's origin, and the plain key when it has one.
TStoredKey ReadApiKey(const WideString& stored, const TSourceSettings& source, std::string& plain);
