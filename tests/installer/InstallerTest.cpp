// The installer built beside the program, run silently in the test prefix, and
// the installed program started the way a user starts it.
#include <gtest/gtest.h>

#include <string>

#include "tools/programdriver/OrvantaProcess.h"

using namespace shelltest;

namespace {

constexpr const wchar_t UNINSTALL_KEY[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvanta";
constexpr const char16_t SEEDED[] = u"[Trackers]\nKey0=kept\n[kept]\nLeft=40\nTop=40\nTitle=Kept\n";

std::wstring InstallDir() { return SpecialFolder(CSIDL_LOCAL_APPDATA) + L"\\Programs\\Orvanta"; }
std::wstring StartMenuShortcut() { return SpecialFolder(CSIDL_PROGRAMS) + L"\\Orvanta.lnk"; }
std::wstring LogOnShortcut() { return SpecialFolder(CSIDL_STARTUP) + L"\\Orvanta.lnk"; }

std::wstring Registered(const wchar_t* value) {
  wchar_t text[MAX_PATH] = {};
  DWORD size = sizeof text;
  if (RegGetValueW(HKEY_CURRENT_USER, UNINSTALL_KEY, value, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
    return L"<none>";
  return text;
}

// Runs a command to its end; its exit code, or STILL_ACTIVE when it hangs.
DWORD RunToEnd(const std::wstring& commandLine) {
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
class TRunningCopy {
public:
  TRunningCopy() {
    WaitUntil([this] { return (Manager = FindWindowW(MANAGER_CLASS, MANAGER_CAPTION)) != nullptr; }, 15000);
    DWORD pid = 0;
    GetWindowThreadProcessId(Manager, &pid);
    FProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, pid);
  }
  ~TRunningCopy() {
    if (FProcess && !Ended(0)) TerminateProcess(FProcess, 99);
    if (FProcess) CloseHandle(FProcess);
  }
  TRunningCopy(const TRunningCopy&) = delete;
  TRunningCopy& operator=(const TRunningCopy&) = delete;

  bool Found() const { return FProcess != nullptr; }
  bool Ended(DWORD waitMs) const { return WaitForSingleObject(FProcess, waitMs) == WAIT_OBJECT_0; }
  DWORD ExitCode() const {
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(FProcess, &code);
    return code;
  }
  std::wstring Image() const {
    wchar_t path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    QueryFullProcessImageNameW(FProcess, 0, path, &size);
    return path;
  }
  HWND Manager = nullptr;

private:
  HANDLE FProcess = nullptr;
};

bool Open(const std::wstring& shortcut) {
  return reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", shortcut.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}

}  // namespace

// Install, start from the Start menu, install again over the running copy (it
// is asked to exit and saves its trackers), start at "log-on", uninstall while
// it runs: the program, its shortcuts and its registration go, the trackers stay.
TEST(Installer, InstallsOverARunningCopyAndUninstallsKeepingTheTrackers) {
  const std::wstring setup = L"\"" + WindowsPath(ORVANTA_SETUP_PATH) + L"\" /S";
  const std::wstring program = InstallDir() + L"\\Orvanta.exe";
  DeleteSettings();
  SeedSettings(SEEDED);

  ASSERT_EQ(RunToEnd(setup), 0u);
  EXPECT_EQ(ReadBytes(program), ReadBytes(WindowsPath(ORVANTA_EXE_PATH)));
  EXPECT_TRUE(Exists(StartMenuShortcut()) && Exists(LogOnShortcut()));
  EXPECT_EQ(Registered(L"UninstallString"), L"\"" + InstallDir() + L"\\uninstall.exe\"");
  EXPECT_EQ(Registered(L"InstallLocation"), InstallDir());
  EXPECT_EQ(Registered(L"DisplayName"), L"Orvanta");

  ASSERT_TRUE(Open(StartMenuShortcut()));
  {
    TRunningCopy running;
    ASSERT_TRUE(running.Found());
    EXPECT_EQ(_wcsicmp(running.Image().c_str(), program.c_str()), 0) << running.Image();
    // As if another version ran: its manager window has other names, and
    // the installer finds it by the names that carry no version.
    SetWindowTextW(running.Manager, L"Orvanta9.99_Widget_Manager_Window_Name");
    ASSERT_EQ(RunToEnd(setup), 0u);
    EXPECT_TRUE(running.Ended(0)) << "the installer returned before the old copy ended";
    EXPECT_EQ(running.ExitCode(), 0u) << "not ended through its Exit command";
  }
  EXPECT_EQ(ReadBytes(program), ReadBytes(WindowsPath(ORVANTA_EXE_PATH)));
  EXPECT_TRUE(SettingsHold(u"[kept]\n")) << "the exiting copy saved its trackers";
  const std::string saved = ReadBytes(SettingsFile());

  ASSERT_TRUE(Open(LogOnShortcut()));
  {
    TRunningCopy running;
    ASSERT_TRUE(running.Found());
    ASSERT_EQ(RunToEnd(L"\"" + InstallDir() + L"\\uninstall.exe\" /S"), 0u);
    // The uninstaller goes on from a copy of itself in the temporary folder.
    EXPECT_TRUE(WaitUntil([] { return !Exists(InstallDir()); }, 20000));
    EXPECT_TRUE(running.Ended(0));
  }
  EXPECT_FALSE(Exists(StartMenuShortcut()) || Exists(LogOnShortcut()));
  EXPECT_EQ(Registered(L"UninstallString"), L"<none>");
  EXPECT_EQ(ReadBytes(SettingsFile()), saved);
  DeleteSettings();
}

// Windows prefers a DLL beside the program to the system's own unless it is a
// known DLL; Wine prefers its own unless told otherwise, so it is told to
// prefer DLLs beside the program for this start.
TEST(Installer, SystemDllsPlantedBesideTheProgramAreNeverLoaded) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"orvanta-planted";
  const wchar_t* planted[] = {L"comctl32.dll", L"gdiplus.dll", L"wininet.dll", L"winmm.dll"};
  CreateDirectoryW(folder.c_str(), nullptr);
  ASSERT_TRUE(CopyFileW(WindowsPath(ORVANTA_EXE_PATH).c_str(), (folder + L"\\Orvanta.exe").c_str(), FALSE));
  for (const wchar_t* dll : planted) {
    DeleteFileW((folder + L"\\" + dll + L".loaded").c_str());
    ASSERT_TRUE(CopyFileW(WindowsPath(ORVANTA_PLANTED_DLL).c_str(), (folder + L"\\" + dll).c_str(), FALSE));
  }
  DeleteSettings();
  SeedSettings(SEEDED);

  wchar_t overrides[512] = {};
  GetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides, 512);
  SetEnvironmentVariableW(L"WINEDLLOVERRIDES", (std::wstring(overrides) + L";comctl32,gdiplus,wininet,winmm=n,b").c_str());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::wstring command = L"\"" + folder + L"\\Orvanta.exe\"";
  const bool started =
      CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup, &info);
  SetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides);
  ASSERT_TRUE(started);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);

  TRunningCopy running;
  ASSERT_TRUE(running.Found());
  // The widget is drawn through GDI+ and has asked for its count through WinInet.
  EXPECT_TRUE(WaitUntil([&] {
    return !WindowsOf(info.dwProcessId, [](HWND w) {
              return IsWindowVisible(w) && (GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_LAYERED);
            }).empty();
  }));
  for (const wchar_t* dll : planted) EXPECT_FALSE(Exists(folder + L"\\" + dll + L".loaded")) << dll;
  PostMessageW(running.Manager, WM_COMMAND, CMD_EXIT, 0);
  EXPECT_TRUE(running.Ended(15000));
  EXPECT_EQ(running.ExitCode(), 0u);
  DeleteSettings();
}
