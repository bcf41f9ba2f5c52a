#pragma once
// Starting the real Orvanta.exe in the run's Wine prefix and watching it from
// outside: its windows found by class and process, its settings file seeded
// and read byte for byte, its boxes read and filled through messages, and the
// peers it meets (another version, the browser, a copy the installer starts)
// played or found from here. Shared by the shell and installer tests and the
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
#include "tests/support/Waiting.h"

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
inline std::wstring HistoryFile() { return SettingsFolder() + L"\\history.dat"; }

inline bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// No file and no folders: a first start.
inline void DeleteSettings() {
  SetFileAttributesW(SettingsFile().c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(SettingsFile().c_str());
  // The history file, and any kept aside or left half-written.
  WIN32_FIND_DATAW found{};
  HANDLE find = FindFirstFileW((HistoryFile() + L"*").c_str(), &found);
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

// A process watched from here; killed at the end of the test if still running.
class TWatchedProcess {
public:
  TWatchedProcess() = default;
  TWatchedProcess(const TWatchedProcess&) = delete;
  TWatchedProcess& operator=(const TWatchedProcess&) = delete;
  ~TWatchedProcess() {
    if (FProcess && !Ended(0)) Kill();
    if (FProcess) CloseHandle(FProcess);
  }
  bool Ended(DWORD waitMs) const { return WaitForSingleObject(FProcess, waitMs) == WAIT_OBJECT_0; }
  DWORD ExitCode() const {
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(FProcess, &code);
    return code;
  }
  void Kill() {
    TerminateProcess(FProcess, 99);
    Ended(10000);
  }

protected:
  HANDLE FProcess = nullptr;
};

// One started Orvanta.exe.
class TOrvanta : public TWatchedProcess {
public:
  TOrvanta() {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring command = L"\"" + WindowsPath(ORVANTA_EXE_PATH) + L"\"";
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, L"C:\\", &startup, &info)) return;
    CloseHandle(info.hThread);
    FProcess = info.hProcess;
    FPid = info.dwProcessId;
  }

  DWORD Pid() const { return FPid; }

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
  DWORD FPid = 0;
};

// ---- windows of the program and of its peers, driven from outside

// For its life, http addresses open with this command line instead of a
// browser. Wine's classes root is the machine's alone, so that is where it goes;
// the old command comes back at the end.
class TRegisteredBrowser {
public:
  explicit TRegisteredBrowser(const std::wstring& command) {
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\http\\shell\\open\\command", 0, nullptr, 0,
                    KEY_ALL_ACCESS, nullptr, &FKey, nullptr);
    DWORD size = sizeof FOld;
    RegQueryValueExW(FKey, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(FOld), &size);
    Set(command.c_str());
  }
  ~TRegisteredBrowser() {
    Set(FOld);
    RegCloseKey(FKey);
  }

private:
  void Set(const wchar_t* command) {
    RegSetValueExW(FKey, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command),
                   static_cast<DWORD>((wcslen(command) + 1) * sizeof(wchar_t)));
  }
  HKEY FKey = nullptr;
  wchar_t FOld[MAX_PATH] = {};
};

// The names through which any version finds a running one: other versions
// and their installers rely on them, so they are spelled out here and not taken from the program.
constexpr const wchar_t ANY_VERSION_MUTEX[] = L"Orvanta_Running_Instance_Mutex";
constexpr const wchar_t BEACON[] = L"Orvanta_Running_Instance";

inline std::u16string U16(const std::string& s) { return std::u16string(s.begin(), s.end()); }

// Texts of another process's windows travel in the messages themselves.
inline std::wstring TextOf(HWND w) {
  wchar_t text[256] = {};
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(w, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 5000, &copied);
  return text;
}
inline void SetText(HWND w, const wchar_t* text) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 5000, &result);
}
// A message box's text: its one static control that holds text.
inline std::wstring StaticTextOf(HWND box) {
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (ClassOf(child) == L"Static" && !TextOf(child).empty()) return TextOf(child);
  return L"";
}

// Files an earlier run kept aside.
inline void DeleteKeptFiles() {
  WIN32_FIND_DATAW found{};
  HANDLE h = FindFirstFileW((SettingsFile() + L".unreadable-*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return;
  do DeleteFileW((SettingsFolder() + L"\\" + found.cFileName).c_str());
  while (FindNextFileW(h, &found));
  FindClose(h);
}

inline std::u16string TrackerSection(const std::u16string& id, int left, int top, const std::u16string& rest = u"") {
  return u"[" + id + u"]\nLeft=" + U16(std::to_string(left)) + u"\nTop=" + U16(std::to_string(top)) + u"\n" + rest;
}

// A running copy of another version, played by this process: it holds only
// the version-free names and notes the second start's signal.
class TOtherVersion {
public:
  TOtherVersion() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = BEACON;
    RegisterClassW(&wc);
    Mutex = CreateMutexW(nullptr, FALSE, ANY_VERSION_MUTEX);
    Window = CreateWindowExW(0, BEACON, BEACON, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
  }
  ~TOtherVersion() {
    DestroyWindow(Window);
    UnregisterClassW(BEACON, GetModuleHandleW(nullptr));
    CloseHandle(Mutex);
  }
  // Waits for cond, answering what is sent to the window meanwhile.
  bool PumpUntil(const std::function<bool()>& cond) {
    return WaitUntil([&] {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      return cond();
    }, 10000);
  }
  static LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SECONDINSTANCE) ++Signals;
    return DefWindowProcW(w, msg, wp, lp);
  }
  static inline int Signals = 0;
  HANDLE Mutex = nullptr;
  HWND Window = nullptr;
};

// ---- processes started the way a user or an installer starts them

// Runs a command to its end; its exit code, or STILL_ACTIVE when it hangs.
inline DWORD RunToEnd(const std::wstring& commandLine) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::wstring command = commandLine;
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    return GetLastError();
  DWORD code = STILL_ACTIVE;
  if (WaitForSingleObject(info.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hProcess);
  CloseHandle(info.hThread);
  return code;
}

// The running copy, found as the installer finds it: by its manager window.
class TRunningCopy : public TWatchedProcess {
public:
  TRunningCopy() {
    WaitUntil([this] { return (Manager = FindWindowW(MANAGER_CLASS, MANAGER_CAPTION)) != nullptr; }, 15000);
    GetWindowThreadProcessId(Manager, &Pid);
    FProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, Pid);
  }

  bool Found() const { return FProcess != nullptr; }
  std::wstring Image() const {
    wchar_t path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    QueryFullProcessImageNameW(FProcess, 0, path, &size);
    return path;
  }
  HWND Manager = nullptr;
  DWORD Pid = 0;
};

inline bool Open(const std::wstring& shortcut) {
  return reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", shortcut.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}

}  // namespace shelltest
