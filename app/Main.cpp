// Orvanta.exe: builds the application object and runs it.
#include "app/WidgetMain.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  TWidgetApplication application;
  return application.Run();
}
