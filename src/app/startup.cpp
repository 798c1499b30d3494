#include "app/startup.h"

#include <curl/curl.h>

#include "app/command_line.h"
#include "app/config.h"
#include "utils/scoped.h"

namespace Startup {

const wchar_t kSingleInstanceMutexName[] = L"D1A547DB89C0BC61_Installer_Transvera";

namespace {

// Leaves every crash to the system's default handling.
LONG WINAPI ContinueCrashSearch(EXCEPTION_POINTERS*) { return EXCEPTION_CONTINUE_SEARCH; }

// The part that needs the single-instance mutex held. The window run comes
// here; until then the installer ends after applying its command line.
int RunWindow(HINSTANCE instance) {
  (void)instance;
  return 0;
}

}  // namespace

int RunInstaller(HINSTANCE instance) {
  ::SetUnhandledExceptionFilter(ContinueCrashSearch);

  if (curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK) curlReady = false;

  Utils::ScopedHandle mutex(::CreateMutexW(nullptr, TRUE, kSingleInstanceMutexName));
  if (mutex && ::GetLastError() == ERROR_ALREADY_EXISTS) mutex.reset();
  // Another copy runs: leave quietly. The process ends right away, so
  // libcurl is not cleaned up here.
  if (!mutex) return kExitSecondInstance;

  CommandLine::Parse();

  const int exitCode = RunWindow(instance);

  curl_global_cleanup();
  ::ReleaseMutex(mutex.get());
  return exitCode;  // the mutex handle closes here
}

}  // namespace Startup
