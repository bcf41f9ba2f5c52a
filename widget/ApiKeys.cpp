#include "widget/ApiKeys.h"

#include <vector>

#include "platform/WinApi.h"
#include <wincrypt.h>

#include "text/Base64.h"
#include "tracker/KeyOrigin.h"

namespace {

// The program's own entropy: another program of this user cannot decrypt a
// key without it by asking DPAPI alone. Keys are bound to their origin by
// adding it; earlier versions stored them under the entropy alone.
constexpr char kEntropy[] = "Velmora Orvanta API key 2 ";
constexpr char kUnboundEntropy[] = "Velmora Orvanta API key 1";

std::string EntropyOf(const TSourceSettings& source) { return kEntropy + KeyOrigin(source); }

DATA_BLOB BlobOf(const void* data, size_t size) {
  return DATA_BLOB{static_cast<DWORD>(size), static_cast<BYTE*>(const_cast<void*>(data))};
}

// Wipes and frees what DPAPI returned.
std::string TakeBlob(DATA_BLOB& blob) {
  std::string bytes(reinterpret_cast<const char*>(blob.pbData), blob.cbData);
  SecureZeroMemory(blob.pbData, blob.cbData);
  LocalFree(blob.pbData);
  return bytes;
}

}  // namespace

WideString ProtectApiKey(const std::string& plain, const TSourceSettings& source) {
  if (plain.empty()) return WideString();
  DATA_BLOB in = BlobOf(plain.data(), plain.size());
  const std::string bound = EntropyOf(source);
  DATA_BLOB entropy = BlobOf(bound.data(), bound.size());
  DATA_BLOB out{};
  if (!CryptProtectData(&in, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out))
    return WideString();
  return WideFromUtf8(PROTECTED_KEY_PREFIX + Base64Encode(TakeBlob(out)));
}

TStoredKey ReadApiKey(const WideString& stored, const TSourceSettings& source, std::string& plain) {
  plain.clear();
  if (stored.empty()) return TStoredKey::None;
  const std::string text = Utf8FromWide(stored);
  if (!IsProtectedKey(text)) {
    plain = text;
    return TStoredKey::Plain;
  }
  std::string bytes;
  if (!Base64Decode(text.substr(sizeof PROTECTED_KEY_PREFIX - 1), bytes) || bytes.empty())
    return TStoredKey::Unreadable;
  DATA_BLOB in = BlobOf(bytes.data(), bytes.size());
  const std::string bound = EntropyOf(source);
  DATA_BLOB entropy = BlobOf(bound.data(), bound.size());
  DATA_BLOB unbound = BlobOf(kUnboundEntropy, sizeof kUnboundEntropy - 1);
  DATA_BLOB out{};
  TStoredKey state = TStoredKey::Protected;
  if (!CryptUnprotectData(&in, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out)) {
    // An earlier version's key was entered for the origin it is stored with.
    if (!CryptUnprotectData(&in, nullptr, &unbound, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out))
      return TStoredKey::Unreadable;
    state = TStoredKey::Unbound;
  }
  plain = TakeBlob(out);
  return state;
}
