// The product's per-user registry values under
// HKEY_CURRENT_USER\Software\ZemKoSoft\Transvera ("InstallPath",
// "UnInstallEp", ...). Values are REG_SZ written without their terminating
// NUL; reading tolerates data stored with or without it.
#pragma once

#include <windows.h>

#include <string>

namespace Utils {

extern const wchar_t kProductRegistryKey[];  // "Software\ZemKoSoft\Transvera"

// Opens or creates the product key and writes `value` as REG_SZ of
// 2 * length bytes. False when the key cannot be opened or the write fails.
bool SetRegString(const std::wstring& name, const std::wstring& value);

// Reads a value of the product key. `type` (may be null) receives the value
// type. False, with `value` untouched, when the key or value cannot be read.
bool GetRegString(const std::wstring& name, DWORD* type, std::wstring& value);

}  // namespace Utils
