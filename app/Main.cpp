// Orvanta.exe: builds the application object and runs it.
#include "app/AboutForm.h"
#include "app/VersionCheck.h"
#include "app/WidgetMain.h"
#include "dialogs/AddWidgetDlg.h"
#include "dialogs/SettingsDlg.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Held on the GUI thread for the whole run: widgets' dialogs reach it.
  TDialogsUnit dialogs;
  TShellDialogs hooks;
  hooks.AddTracker = ShowAddTrackerDialog;
  hooks.About = ShowAboutForm;
  hooks.Preferences = ShowSettingsDialog;
  hooks.VersionResponse = VersionResponse;
  TWidgetApplication application(hooks);
  return application.Run();
}
