// Orvanta.exe: builds the application object and runs it.
#include "app/WidgetMain.h"
#include "dialogs/DialogRes.h"
#include "program/ProgramDialogs.h"

#include <string>

extern "C" int WinMainCRTStartup();

// The process's entry point (see program/CMakeLists.txt): before the C runtime or
// anything else runs, DLLs loaded by name come from the system folder only.
// The call exists from Windows 8 on, and on Windows 7 with its loader update.
extern "C" int OrvantaStartup() {
  using TSetDefaultDllDirectories = BOOL(WINAPI*)(DWORD);
  const auto setDirectories = reinterpret_cast<TSetDefaultDllDirectories>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (setDirectories) setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  return WinMainCRTStartup();
}

// Called by the delay-load stubs (cmake/DelayLoad.cmake) on a function's first
// call: loads its DLL from the system folder, fills the function's pointer and
// returns the address the stub jumps to. Threads racing here store the same
// values. A system without the DLL or the function cannot run the program.
extern "C" void* OrvantaBindImport(const char* dll, HMODULE* module, void** slot, const char* name) {
  HMODULE loaded = *module;
  if (!loaded) {
    loaded = LoadLibraryExA(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!loaded && GetLastError() == ERROR_INVALID_PARAMETER) {
      // Windows 7 without its loader update knows no search flags: name the file in full.
      char path[MAX_PATH + 32] = {};
      const UINT length = GetSystemDirectoryA(path, MAX_PATH);
      if (length && length < MAX_PATH) loaded = LoadLibraryA((std::string(path) + "\\" + dll).c_str());
    }
    *module = loaded;
  }
  void* address = loaded ? reinterpret_cast<void*>(GetProcAddress(loaded, name)) : nullptr;
  if (!address) {
    const std::string text = std::string("Orvanta cannot start: the system's ") + dll + " lacks " + name + ".";
    MessageBoxA(nullptr, text.c_str(), "Orvanta", MB_ICONERROR | MB_OK);
    ExitProcess(1);
  }
  *slot = address;
  return address;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Held on the GUI thread for the whole run: widgets' dialogs reach it.
  TDialogsUnit dialogs;
  TWidgetApplication application(ProgramDialogs());
  return application.Run();
}
