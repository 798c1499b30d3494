// Functions of system DLLs that are loaded on first use instead of at start:
// a process that never needs them (a console tool that never uses the
// system downloader, say) does not map them. Only the system folder is
// searched, so a DLL of the same name next to the executable is never loaded.
#pragma once

#include <windows.h>

namespace Utils {

// The address of `name` in the system DLL `dll`, or null. The DLL stays
// loaded for the rest of the process.
FARPROC SystemProcedure(const wchar_t* dll, const char* name);

template <typename Function>
Function SystemFunction(const wchar_t* dll, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(SystemProcedure(dll, name)));
}

}  // namespace Utils
