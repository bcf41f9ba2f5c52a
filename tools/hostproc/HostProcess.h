#pragma once
// The host's own figures of this process under Wine, where the process
// counters read 0 (GetGuiResources, private bytes). Read through the Z: drive;
// files there are opened by the Wine server, so /proc/self would be the
// server: the process is found by its name. Empty or 0 on Windows.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/WinApi.h"

namespace hostproc {

inline std::string ReadFile(const std::string& path) {
  std::string text;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    std::fclose(f);
  }
  return text;
}

// The /proc folder of the first process running that program, or empty.
inline std::string FolderOf(const std::string& exeName) {
  const std::string name = "Name:\t" + exeName.substr(0, 15) + "\n";  // the host keeps 15 characters
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA("Z:\\proc\\*", &entry);
  if (find == INVALID_HANDLE_VALUE) return std::string();
  std::string found;
  do {
    if (entry.cFileName[0] < '0' || entry.cFileName[0] > '9') continue;
    std::string candidate = std::string("Z:\\proc\\") + entry.cFileName;
    if (ReadFile(candidate + "\\status").rfind(name, 0) == 0) found = candidate;
  } while (found.empty() && FindNextFileA(find, &entry));
  FindClose(find);
  return found;
}

// This process's folder.
inline std::string ProcessFolder() {
  static std::string folder = [] {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name = path;
    return FolderOf(name.substr(name.find_last_of("\\/") + 1));
  }();
  return folder;
}

// Anonymous resident memory (heaps, thread stacks, DIB sections) of the
// process in that folder; this process's by default.
inline double PrivateMb(const std::string& folder = ProcessFolder()) {
  if (folder.empty()) return 0;
  std::string status = ReadFile(folder + "\\status");
  size_t at = status.find("RssAnon:");
  return at == std::string::npos ? 0 : std::strtod(status.c_str() + at + 8, nullptr) / 1024.0;
}

// User plus system CPU time.
inline double CpuSeconds() {
  if (ProcessFolder().empty()) return 0;
  std::string stat = ReadFile(ProcessFolder() + "\\stat");
  size_t close = stat.rfind(')');
  if (close == std::string::npos) return 0;
  // Fields after the command: state is field 3; utime and stime are 14 and 15.
  const char* p = stat.c_str() + close + 2;
  double ticks = 0;
  for (int field = 3; field <= 15 && *p; ++field) {
    char* end;
    double value = std::strtod(p, &end);
    if (field >= 14) ticks += value;
    p = *end ? end + 1 : end;
  }
  return ticks / 100.0;  // USER_HZ
}

}  // namespace hostproc
