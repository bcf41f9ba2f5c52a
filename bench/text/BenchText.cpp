// Measures the settings file at scale: load, look up every key and write back
// a file of 1,000 tracker sections of 13 keys, against a plain unordered_map
// built from the same lines in the same run. Also shows how lookups and
// writes scale with the number of sections and the length of a section.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "text/WIniFiles.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const WideChar* const kKeys[] = {u"Left",     u"Top",     u"AlwaysTop", u"IgnoreMouse", u"PreventDragging",
                                 u"Title",    u"OrvantaID", u"Interval", u"Tracker",   u"Previous",
                                 u"Opacity",  u"Enable",  u"BackColor"};
constexpr int kSections = 1000;
constexpr int kRepeats = 7;

// Best of kRepeats runs, in milliseconds.
double Best(const std::function<void()>& run) {
  double best = 1e300;
  for (int i = 0; i < kRepeats; ++i) {
    const auto start = Clock::now();
    run();
    best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  return best;
}

std::vector<WideString> MakeIds(int count) {
  std::mt19937 random(42);
  const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::vector<WideString> ids;
  for (int i = 0; i < count; ++i) {
    WideString id;
    for (int k = 0; k < 12; ++k) id += WideChar(alphabet[random() % 36]);
    ids.push_back(id);
  }
  return ids;
}

WideString SettingsText(const std::vector<WideString>& ids) {
  WideString text = u"[Config]\r\nLanguage=EN-US.INI\r\n\r\n[Trackers]\r\n";
  for (size_t i = 0; i < ids.size(); ++i) text += WideFormat(u"Key%d=%s\r\n", {int(i), ids[i]});
  text += u"\r\n";
  for (size_t i = 0; i < ids.size(); ++i) {
    text += u"[" + ids[i] + u"]\r\n";
    text += WideFormat(u"Left=%d\r\nTop=%d\r\nAlwaysTop=1\r\nIgnoreMouse=0\r\nPreventDragging=0\r\n", {int(i), int(i * 2)});
    text += WideFormat(u"Title=Site %d\r\nOrvantaID=%s\r\nInterval=15000\r\nTracker=%d\r\nPrevious=-1\r\n",
                       {int(i), ids[i], int(i * 7)});
    text += u"Opacity=255\r\nEnable=1\r\nBackColor=0x000000FF\r\n\r\n";
  }
  return text;
}

std::string Utf16File(const WideString& text) {
  std::string bytes = "\xFF\xFE";
  for (WideChar c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

WideString UpperAscii(WideString s) {
  for (WideChar& c : s)
    if (c >= u'a' && c <= u'z') c = WideChar(c - 32);
  return s;
}

// The baseline: the same lines in nested unordered_maps keyed by upper-cased names.
struct PlainIni {
  using Section = std::unordered_map<WideString, WideString>;
  std::unordered_map<WideString, Section> Sections;
  std::vector<WideString> Order;

  void Load(const fs::path& path) {
    const std::string bytes = ReadAll(path);
    WideString text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
      text += WideChar(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8);
    Sections.clear();
    Order.clear();
    Section* current = nullptr;
    size_t pos = 0;
    while (pos < text.size()) {
      size_t end = text.find(u"\r\n", pos);
      if (end == WideString::npos) end = text.size();
      const WideString line = text.substr(pos, end - pos);
      pos = end + 2;
      if (line.empty()) continue;
      if (line.front() == u'[' && line.back() == u']') {
        const WideString name = line.substr(1, line.size() - 2);
        Order.push_back(name);
        current = &Sections[UpperAscii(name)];
      } else if (current) {
        const size_t eq = line.find(u'=');
        if (eq != WideString::npos) (*current)[UpperAscii(line.substr(0, eq))] = line.substr(eq + 1);
      }
    }
  }

  const WideString* Find(const WideString& section, const WideString& key) const {
    const auto s = Sections.find(UpperAscii(section));
    if (s == Sections.end()) return nullptr;
    const auto k = s->second.find(UpperAscii(key));
    return k == s->second.end() ? nullptr : &k->second;
  }

  void Save(const fs::path& path) const {
    WideString text;
    for (const WideString& name : Order) {
      text += u"[" + name + u"]\r\n";
      for (const auto& kv : Sections.at(UpperAscii(name))) text += kv.first + u"=" + kv.second + u"\r\n";
      text += u"\r\n";
    }
    const std::string bytes = Utf16File(text);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
};

void Row(const char* what, double ours, double plain) {
  std::printf("%-34s %10.3f ms %10.3f ms %8.1fx\n", what, ours, plain, plain > 0 ? ours / plain : 0.0);
}

// Nanoseconds per lookup of keys in a valid index, for a file of n sections.
double LookupNs(int n) {
  const std::vector<WideString> ids = MakeIds(n);
  TWStringList lines;
  lines.SetText(SettingsText(ids));
  TWMemIniFile ini{WideString()};
  ini.SetStrings(&lines);
  ini.ReadString(ids[0], u"Left", u"");  // builds the section index
  for (const WideString& id : ids) ini.ReadString(id, u"Left", u"");  // and every name index
  size_t sink = 0;
  const int rounds = 20000;
  std::mt19937 random(7);
  const double ms = Best([&] {
    for (int i = 0; i < rounds; ++i) sink += ini.ReadString(ids[random() % ids.size()], u"Left", u"").size();
  });
  if (sink == 1) std::puts("");
  return ms * 1e6 / rounds;
}

// Microseconds per WriteString to one section of the given length.
double WriteUs(int sectionLength) {
  TWMemIniFile ini{WideString()};
  for (int k = 0; k < sectionLength; ++k) ini.WriteString(u"S", WideFormat(u"Key%d", {k}), u"v");
  const int writes = 2000;
  const double ms = Best([&] {
    for (int i = 0; i < writes; ++i) ini.WriteString(u"S", WideFormat(u"Key%d", {i % sectionLength}), u"w");
  });
  return ms * 1e3 / writes;
}

}  // namespace

int main() {
  const fs::path dir = fs::temp_directory_path() / "orvanta-bench-text";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path file = dir / "orvanta.ini";
  const std::vector<WideString> ids = MakeIds(kSections);
  {
    const std::string bytes = Utf16File(SettingsText(ids));
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    std::printf("settings file: %d sections of 13 keys, %zu bytes; best of %d runs\n\n", kSections, bytes.size(),
                kRepeats);
  }
  const WideString name = file.u16string();

  std::printf("%-34s %13s %13s %9s\n", "", "TWMemIniFile", "unordered_map", "ratio");
  const double loadOurs = Best([&] { TWMemIniFile ini(name); });
  PlainIni plain;
  const double loadPlain = Best([&] { plain.Load(file); });
  Row("load", loadOurs, loadPlain);

  size_t sink = 0;
  // A fresh file each run: the first lookups build the indexes.
  double lookupOurs = 1e300;
  for (int r = 0; r < kRepeats; ++r) {
    TWMemIniFile ini(name);
    const auto start = Clock::now();
    for (const WideString& id : ids)
      for (const WideChar* key : kKeys) sink += ini.ReadString(id, key, u"").size();
    lookupOurs = std::min(lookupOurs, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  const double lookupPlain = Best([&] {
    for (const WideString& id : ids)
      for (const WideChar* key : kKeys) {
        const WideString* value = plain.Find(id, key);
        sink += value ? value->size() : 0;
      }
  });
  Row("look up 13,000 keys, cold indexes", lookupOurs, lookupPlain);

  TWMemIniFile loaded(name);
  for (const WideString& id : ids) sink += loaded.ReadString(id, u"Left", u"").size();
  const double warmOurs = Best([&] {
    for (const WideString& id : ids)
      for (const WideChar* key : kKeys) sink += loaded.ReadString(id, key, u"").size();
  });
  Row("look up 13,000 keys, warm indexes", warmOurs, lookupPlain);

  // The save on exit: every tracker section erased and written anew, then the file.
  const double saveOurs = Best([&] {
    TWMemIniFile ini(name);
    ini.WriteString(u"Config", u"Language", u"EN-US.INI");
    ini.EraseSection(u"Trackers");
    for (int i = 0; i < kSections; ++i) {
      ini.EraseSection(ids[size_t(i)]);
      ini.WriteString(u"Trackers", WideFormat(u"Key%d", {i}), ids[size_t(i)]);
      for (const WideChar* key : kKeys) ini.WriteString(ids[size_t(i)], key, u"123");
    }
    ini.UpdateFile();
  }) - loadOurs;
  const double savePlain = Best([&] {
    for (int i = 0; i < kSections; ++i) {
      auto& section = plain.Sections[UpperAscii(ids[size_t(i)])];
      section.clear();
      plain.Sections[u"TRACKERS"][UpperAscii(WideFormat(u"Key%d", {i}))] = ids[size_t(i)];
      for (const WideChar* key : kKeys) section[UpperAscii(key)] = u"123";
    }
    plain.Save(dir / "plain.ini");
  });
  Row("rewrite all + write file", saveOurs, savePlain);
  const double updateOurs = Best([&] { loaded.UpdateFile(); });
  const double updatePlain = Best([&] { plain.Save(dir / "plain.ini"); });
  Row("write file only", updateOurs, updatePlain);

  std::printf("\nscaling (valid indexes):\n");
  for (int n : {1000, 10000, 100000}) std::printf("  lookup, %6d sections: %8.0f ns\n", n, LookupNs(n));
  for (int n : {13, 130, 1300}) std::printf("  write, %5d-key section: %8.2f us\n", n, WriteUs(n));

  fs::remove_all(dir);
  return sink == 42 ? 1 : 0;
}
