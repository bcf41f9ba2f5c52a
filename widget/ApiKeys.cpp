#include "widget/ApiKeys.h"

#include <vector>

#include "platform/WinApi.h"
#include <wincrypt.h>

#include "text/Base64.h"
#include "widget/TrackerSource.h"

namespace {

// The program's own entropy: another program of this user cannot decrypt a
// key without it by asking DPAPI alone.
constexpr char kEntropy[] = "Velmora Orvanta API key 1";

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

WideString ProtectApiKey(const std::string& plain) {
  if (plain.empty()) return WideString();
  DATA_BLOB in = BlobOf(plain.data(), plain.size());
  DATA_BLOB entropy = BlobOf(kEntropy, sizeof kEntropy - 1);
  DATA_BLOB out{};
  if (!CryptProtectData(&in, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out))
    return WideString();
  return WideFromUtf8(PROTECTED_KEY_PREFIX + Base64Encode(TakeBlob(out)));
}

TStoredKey ReadApiKey(const WideString& stored, std::string& plain) {
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
  DATA_BLOB entropy = BlobOf(kEntropy, sizeof kEntropy - 1);
  DATA_BLOB out{};
  if (!CryptUnprotectData(&in, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out))
    return TStoredKey::Unreadable;
  plain = TakeBlob(out);
  return TStoredKey::Protected;
}
