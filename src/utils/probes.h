// Questions about the machine: which Windows it is (the label the download
// route is chosen by) and whether this is a 32-bit process on 64-bit Windows.
// Stateless; never fails (an unreadable version counts as an old system).
#pragma once

#include <windows.h>

#include <string>

namespace Utils {

// What the version query found. `loaded` is false when ntdll could not be
// loaded; a missing RtlGetNtVersionNumbers leaves the numbers 0.
struct OsVersionNumbers {
  bool loaded = false;
  DWORD major = 0;
  DWORD minor = 0;
  DWORD build = 0;        // low 16 bits only
  bool serverR2 = false;  // GetSystemMetrics(SM_SERVERR2) != 0
};

// The running system's numbers, from ntdll's RtlGetNtVersionNumbers.
OsVersionNumbers QueryOsVersionNumbers();

// The label table: "XP-", "2K", "XP", "Server 2003", "Server 2003 R2", "XP+",
// "Vista", "7", "8", "8.1", "8.1+", "10", "10+", or "major.minor.build".
std::wstring OsVersionLabel(const OsVersionNumbers& numbers);

// OsVersionLabel(QueryOsVersionNumbers()).
std::wstring GetOSVersion();

// True for a 32-bit process on 64-bit Windows.
bool IsWow64();

}  // namespace Utils
