// The installer built beside the program, run silently in the test prefix, and
// the installed program started the way a user starts it.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/OrvantaProcess.h"

using namespace shelltest;

namespace {

constexpr const wchar_t UNINSTALL_KEY[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvanta";
// System DLLs that a planted copy beside the program must not replace.
const wchar_t* const PLANTED[] = {L"comctl32.dll", L"gdiplus.dll", L"wininet.dll", L"winmm.dll"};

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

}  // namespace

// Install, start from the Start menu with system DLLs planted beside the
// program, install again over the running copy (it is asked to exit and saves
// its trackers), start at "log-on", uninstall while it runs: the program, its
// shortcuts and its registration go, the trackers stay.
TEST(Installer, InstallsOverARunningCopyLoadsNoPlantedDllAndUninstallsKeepingTheTrackers) {
  const std::wstring setup = L"\"" + WindowsPath(ORVANTA_SETUP_PATH) + L"\" /S";
  const std::wstring program = InstallDir() + L"\\Orvanta.exe";
  DeleteSettings();
  SeedSettings(u"[Trackers]\nKey0=kept\n[kept]\nLeft=40\nTop=40\nTitle=Kept\n");

  ASSERT_EQ(RunToEnd(setup), 0u);
  EXPECT_EQ(ReadBytes(program), ReadBytes(WindowsPath(ORVANTA_EXE_PATH)));
  EXPECT_TRUE(Exists(StartMenuShortcut()) && Exists(LogOnShortcut()));
  EXPECT_EQ(Registered(L"UninstallString"), L"\"" + InstallDir() + L"\\uninstall.exe\"");
  EXPECT_EQ(Registered(L"InstallLocation"), InstallDir());
  EXPECT_EQ(Registered(L"DisplayName"), L"Orvanta");

  // Windows prefers a DLL beside the program to the system's own unless it is
  // a known DLL; Wine prefers its own unless told otherwise, so it is told to
  // prefer DLLs beside the program for this start.
  for (const wchar_t* dll : PLANTED)
    ASSERT_TRUE(CopyFileW(WindowsPath(ORVANTA_PLANTED_DLL).c_str(), (InstallDir() + L"\\" + dll).c_str(), FALSE));
  wchar_t overrides[512] = {};
  GetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides, 512);
  SetEnvironmentVariableW(L"WINEDLLOVERRIDES", (std::wstring(overrides) + L";comctl32,gdiplus,wininet,winmm=n,b").c_str());
  const bool opened = Open(StartMenuShortcut());
  SetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides);
  ASSERT_TRUE(opened);
  {
    TRunningCopy running;
    ASSERT_TRUE(running.Found());
    EXPECT_EQ(_wcsicmp(running.Image().c_str(), program.c_str()), 0) << running.Image();
    // The widget is drawn through GDI+ and has asked for its count through WinInet.
    EXPECT_TRUE(WaitUntil([&] {
      return !WindowsOf(running.Pid, [](HWND w) {
                return IsWindowVisible(w) && (GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_LAYERED);
              }).empty();
    }));
    for (const wchar_t* dll : PLANTED) {
      EXPECT_FALSE(Exists(InstallDir() + L"\\" + dll + L".loaded")) << dll;
      DeleteFileW((InstallDir() + L"\\" + dll).c_str());
    }
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
