#pragma once
// Shared helpers of the text storage tests: list content, INI text in memory,
// exact error texts, scratch folders and byte-level file access.
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "text/WIniFiles.h"
#include "text/WStrings.h"

namespace testutil {

namespace fs = std::filesystem;

inline std::vector<WideString> Items(const TWStrings& list) {
  std::vector<WideString> items;
  for (int i = 0; i < list.GetCount(); ++i) items.push_back(list.Get(i));
  return items;
}

// An INI file in memory only, filled from text.
struct MemIni : TWMemIniFile {
  explicit MemIni(const WideString& text) : TWMemIniFile(WideString()) { Load(text); }
  void Load(const WideString& text) {
    TWStringList lines;
    lines.SetText(text);
    SetStrings(&lines);
  }
  WideString Text() const {
    TWStringList lines;
    GetStrings(&lines);
    return lines.GetText();
  }
};

// The exact message of the E that f raises.
template <typename E, typename F>
WideString MessageOf(F f) {
  try {
    f();
  } catch (const E& e) {
    return e.Message();
  }
  return u"(nothing raised)";
}

// A fresh folder under the system's temporary folder, removed with its content.
class TempDir {
public:
  TempDir() {
    // Random per process, so that test programs running at once never share one.
    static const std::string run = std::to_string(std::random_device{}());
    static std::atomic<int> counter{0};
    Path = fs::temp_directory_path() / ("orvanta-text-" + run + "-" + std::to_string(counter++));
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
  // Sorted file names: a temporary file left behind shows here.
  std::vector<std::string> Content() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Path)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

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

// The UTF-16LE bytes of text, as the files hold it (the text code asserts a
// little-endian machine).
inline std::string Utf16Bytes(const WideString& text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(WideChar));
}

inline std::string Bom() { return std::string("\xFF\xFE", 2); }

}  // namespace testutil
