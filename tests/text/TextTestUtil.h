#pragma once
// Scratch folders and byte-level file access for the text storage tests.
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "text/WStrUtils.h"

#ifdef _WIN32
#include <process.h>
#define ORVANTA_GETPID _getpid
#else
#include <unistd.h>
#define ORVANTA_GETPID getpid
#endif

namespace testutil {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed with its content.
class TempDir {
public:
  TempDir() {
    static std::atomic<int> counter{0};
    Path = fs::temp_directory_path() /
           ("orvanta-text-" + std::to_string(ORVANTA_GETPID()) + "-" + std::to_string(counter++));
    fs::remove_all(Path);
    fs::create_directories(Path);
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(Path, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  fs::path File(const std::u16string& name) const { return Path / fs::path(name); }
  WideString Name(const std::u16string& name) const { return File(name).u16string(); }

  fs::path Path;
};

inline std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The UTF-16LE bytes of text, as the files hold it.
inline std::string Utf16Bytes(const WideString& text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (WideChar c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

inline std::string Bom() { return std::string("\xFF\xFE", 2); }

}  // namespace testutil
