// tv_test_helper.exe: small real processes for the tests.
//   trace-sample PATH   trace lines made the way the product makes them
//   thread [NAME]       run one Utils::Thread named NAME (empty when absent)
//   sleep MS            stay alive for MS milliseconds
//   exit CODE           end with exit code CODE
//   hold-mutex NAME MS  own the named mutex, print "held", keep it MS milliseconds
#include <windows.h>

#include <cstdio>
#include <string>

#include "utils/strings.h"
#include "utils/thread.h"
#include "utils/trace.h"

struct TraceSample {
  // The product narrows paths with the ANSI code page and widens them again
  // for the trace; a non-ASCII path must come out as text.
  static void Emit(const std::wstring& path) {
    const std::string narrowPath = Utils::ToNarrow(path, CP_ACP);
    TRACE(L"line=%d", __LINE__);
    TRACE(L"partPath::%s", Utils::ToWide(narrowPath, CP_ACP).c_str());
    TRACE(L"own line end\r\n");
    TRACE_NOEOL(L"no line end %d", 7);
    TRACE(L" %dM %dM   progress:%f%%  speed:%f \n", 3, 10, 30.0f, 512.5f);
  }
};

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"trace-sample" && argc > 2) {
    TraceSample::Emit(argv[2]);
    return 0;
  }
  if (command == L"thread") {
    Utils::Thread thread(nullptr, argc > 2 ? argv[2] : L"", [](void*) -> unsigned { return 42; });
    thread.Resume();
    thread.Join();
    return 0;
  }
  if (command == L"sleep" && argc > 2) {
    ::Sleep(static_cast<DWORD>(_wtoi(argv[2])));
    return 0;
  }
  if (command == L"exit" && argc > 2) return _wtoi(argv[2]);
  if (command == L"hold-mutex" && argc > 3) {
    HANDLE mutex = ::CreateMutexW(nullptr, TRUE, argv[2]);
    if (mutex == nullptr || ::GetLastError() == ERROR_ALREADY_EXISTS) return 1;
    std::fputs("held\n", stdout);
    std::fflush(stdout);
    ::Sleep(static_cast<DWORD>(_wtoi(argv[3])));
    ::CloseHandle(mutex);
    return 0;
  }
  return 2;
}
