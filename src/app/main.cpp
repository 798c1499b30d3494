// Process entry of TransveraSetup.exe.
#include <windows.h>

#include "app/startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) { return Startup::RunInstaller(instance); }
