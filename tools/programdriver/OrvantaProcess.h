#pragma once
// Starting the real Orvanta.exe in the run's Wine prefix and watching it from
// outside: its windows found by class and process, its settings file seeded
// and read byte for byte. Shared by the shell and installer tests and the
// program's benchmark, so it stands apart from both; the build names the
// program (ORVANTA_EXE_PATH) and its hosts.
#include "platform/WinApi.h"

#include <shlobj.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/ProgramIds.h"
#include "tools/programdriver/Waiting.h"

namespace shelltest {

constexpr const wchar_t MANAGER_CLASS[] = L"Orvanta1.50_Widget_Manager_Class_Name";
constexpr const wchar_t MANAGER_CAPTION[] = L"Orvanta1.50_Widget_Manager_Window_Name";
constexpr const char PING_PATH[] = "/widget/k3v9w2m7p4xq.png";
constexpr const char VERSION_PATH[] = "/orvanta.xml";

// The loopback ports Orvanta.exe was built for; 0 when it talks to real hosts.
inline uint16_t LoopbackPort(const std::string& hostPort) {
  const std::string prefix = "127.0.0.1:";
  return hostPort.rfind(prefix, 0) == 0 ? static_cast<uint16_t>(std::atoi(hostPort.c_str() + prefix.size())) : 0;
}
inline const uint16_t COUNTER_PORT = LoopbackPort(ORVANTA_COUNTER_HOST);
inline const uint16_t MAKER_PORT = LoopbackPort(ORVANTA_MAKER_HOST);

using waiting::WaitUntil;

// ---- the settings file in the prefix's application-data folder

// A build path as the program sees it, through Wine's Z: drive.
inline std::wstring WindowsPath(const char* unixPath) {
  std::wstring path = L"Z:";
  for (const char* p = unixPath; *p; ++p) path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
  return path;
}
inline std::wstring SpecialFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE);
  return path;
}
inline std::wstring MakerFolder() { return SpecialFolder(CSIDL_APPDATA) + L"\\Velmora"; }
inline std::wstring SettingsFolder() { return MakerFolder() + L"\\Orvanta"; }
inline std::wstring SettingsFile() { return SettingsFolder() + L"\\orvanta.ini"; }
// Where the all-or-nothing write puts its temporary file.
inline std::wstring BlockedTempFile() { return SettingsFile() + L".~tmp"; }

inline bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// No file and no folders: a first start.
inline void DeleteSettings() {
  SetFileAttributesW(SettingsFile().c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(SettingsFile().c_str());
  // The history file, and any kept aside or left half-written.
  WIN32_FIND_DATAW found{};
  HANDLE find = FindFirstFileW((SettingsFolder() + L"\\history.dat*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do DeleteFileW((SettingsFolder() + L"\\" + found.cFileName).c_str());
    while (FindNextFileW(find, &found));
    FindClose(find);
  }
  RemoveDirectoryW(BlockedTempFile().c_str());
  RemoveDirectoryW(SettingsFolder().c_str());
  RemoveDirectoryW(MakerFolder().c_str());
}

// Shared for delete too, so reading never makes the program's rename fail.
inline std::string ReadBytes(const std::wstring& path) {
  std::string bytes;
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return bytes;
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n) bytes.append(buffer, n);
  CloseHandle(h);
  return bytes;
}

inline void WriteBytes(const std::wstring& path, const std::string& bytes) {
  SHCreateDirectoryExW(nullptr, SettingsFolder().c_str(), nullptr);
  std::ofstream(path.c_str(), std::ios::binary) << bytes;
}

// The file's bytes for INI text written with "\n": UTF-16 LE, FF FE, CR LF.
inline std::string IniBytes(const std::u16string& text) {
  std::u16string crlf;
  for (char16_t c : text) {
    if (c == u'\n') crlf += u'\r';
    crlf += c;
  }
  return std::string("\xFF\xFE", 2) + std::string(reinterpret_cast<const char*>(crlf.data()), crlf.size() * 2);
}

inline void SeedSettings(const std::u16string& text) { WriteBytes(SettingsFile(), IniBytes(text)); }
inline bool SettingsHold(const std::u16string& text) {
  return ReadBytes(SettingsFile()).find(IniBytes(text).substr(2)) != std::string::npos;
}

// ---- the program

inline BOOL CALLBACK CollectWindow(HWND w, LPARAM found) {
  reinterpret_cast<std::vector<HWND>*>(found)->push_back(w);
  return TRUE;
}

// The top-level windows of a process that keep() accepts.
inline std::vector<HWND> WindowsOf(DWORD pid, const std::function<bool(HWND)>& keep) {
  std::vector<HWND> all, kept;
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));
  for (HWND w : all) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == pid && keep(w)) kept.push_back(w);
  }
  return kept;
}

inline std::wstring ClassOf(HWND w) {
  wchar_t name[128] = {};
  GetClassNameW(w, name, 128);
  return name;
}

// One started Orvanta.exe; killed at the end of the test if still running.
class TOrvanta {
public:
  TOrvanta() {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring command = L"\"" + WindowsPath(ORVANTA_EXE_PATH) + L"\"";
    CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, L"C:\\", &startup, &FInfo);
  }
  ~TOrvanta() {
    if (!Ended(0)) Kill();
    CloseHandle(FInfo.hProcess);
    CloseHandle(FInfo.hThread);
  }
  TOrvanta(const TOrvanta&) = delete;
  TOrvanta& operator=(const TOrvanta&) = delete;

  DWORD Pid() const { return FInfo.dwProcessId; }
  bool Ended(DWORD waitMs) const { return WaitForSingleObject(FInfo.hProcess, waitMs) == WAIT_OBJECT_0; }
  DWORD ExitCode() const {
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(FInfo.hProcess, &code);
    return code;
  }
  void Kill() {
    TerminateProcess(FInfo.hProcess, 99);
    Ended(10000);
  }

  HWND Manager() const {
    for (HWND w : WindowsOf(Pid(), [](HWND w) { return ClassOf(w) == MANAGER_CLASS; })) return w;
    return nullptr;
  }
  HWND WaitManager() const {
    HWND found = nullptr;
    WaitUntil([&] { return (found = Manager()) != nullptr; }, 15000);
    return found;
  }
  // The tracker widgets' windows: 79 x 74 layered windows, visible ones only when asked.
  std::vector<HWND> Widgets(bool visibleOnly = true) const {
    return WindowsOf(Pid(), [visibleOnly](HWND w) {
      RECT r{};
      GetWindowRect(w, &r);
      return (GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_LAYERED) && r.right - r.left == 79 && r.bottom - r.top == 74 &&
             (!visibleOnly || IsWindowVisible(w));
    });
  }
  bool WaitWidgets(size_t count, int ms = 15000) const {
    return WaitUntil([&] { return Widgets().size() == count; }, ms);
  }
  // The widget whose window has its top-left corner here.
  HWND WidgetAt(int left, int top) const {
    for (HWND w : Widgets(false))
      if (RECT r{}; GetWindowRect(w, &r) && r.left == left && r.top == top) return w;
    return nullptr;
  }
  // Message boxes and dialogs the program shows.
  std::vector<HWND> Dialogs() const {
    return WindowsOf(Pid(), [](HWND w) { return ClassOf(w) == L"#32770" && IsWindowVisible(w); });
  }

  void Command(UINT id) const { PostMessageW(Manager(), WM_COMMAND, id, 0); }
  // Exit from the tray menu; true when the process has ended in time.
  bool Exit() {
    Command(CMD_EXIT);
    return Ended(15000);
  }

private:
  PROCESS_INFORMATION FInfo{};
};

}  // namespace shelltest
