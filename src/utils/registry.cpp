#include "utils/registry.h"

#include <vector>

#include "utils/scoped.h"

namespace Utils {

const wchar_t kProductRegistryKey[] = L"Software\\ZemKoSoft\\Transvera";

bool SetRegString(const std::wstring& name, const std::wstring& value) {
  ScopedRegKey key;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, kProductRegistryKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        key.receive(), nullptr) != ERROR_SUCCESS)
    return false;
  const DWORD bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  // The system stores a terminator after all when the character just past the
  // given data is NUL, so the data is passed with a non-NUL character after it.
  std::vector<wchar_t> data(value.begin(), value.end());
  data.push_back(L'\xFFFF');
  return ::RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.data()), bytes) ==
         ERROR_SUCCESS;
}

bool GetRegString(const std::wstring& name, DWORD* type, std::wstring& value) {
  ScopedRegKey key;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kProductRegistryKey, 0, KEY_READ, key.receive()) != ERROR_SUCCESS)
    return false;
  DWORD bytes = 0;
  if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, type, nullptr, &bytes) != ERROR_SUCCESS) return false;
  // One zero character more than the data: terminates values stored without NUL.
  std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 2, L'\0');
  DWORD size = bytes;
  if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, type, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
      ERROR_SUCCESS)
    return false;
  value.assign(buffer.data());
  return true;
}

}  // namespace Utils
