#pragma once
// API keys at rest: encrypted for the current Windows user with DPAPI, so that
// the settings file never holds one in plain text.
#include <string>

#include "text/WStrUtils.h"

enum class TStoredKey {
  None,        // no key
  Plain,       // written into the file by hand: used, and encrypted at the next save
  Protected,   // decrypted for this user
  Unreadable,  // encrypted for another user or machine, or damaged
};

// "dpapi:" and the base64 of the encrypted key; empty when DPAPI failed.
WideString ProtectApiKey(const std::string& plain);
// The stored form's state, and the plain key when it has one.
TStoredKey ReadApiKey(const WideString& stored, std::string& plain);
