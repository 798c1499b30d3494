// The installer's entry sequence: crash hook, libcurl, the single-instance
// mutex, the command line, then the window run and the teardown.
#pragma once

#include <windows.h>

namespace Startup {

// "D1A547DB89C0BC61_Installer_Transvera".
extern const wchar_t kSingleInstanceMutexName[];

// Exit code when another copy holds the mutex.
constexpr int kExitSecondInstance = -1;

// Runs the whole installer; returns the process exit code.
int RunInstaller(HINSTANCE instance);

}  // namespace Startup
