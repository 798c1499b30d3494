#include "utils/system_library.h"

namespace Utils {

FARPROC SystemProcedure(const wchar_t* dll, const char* name) {
  HMODULE module = ::GetModuleHandleW(dll);
  if (module == nullptr) module = ::LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  return module == nullptr ? nullptr : ::GetProcAddress(module, name);
}

}  // namespace Utils
