// Questions about the machine and the user: which Windows it is (the label
// the download route is chosen by), whether this is a 32-bit process on 64-bit
// Windows, whether the process and the console user are administrators,
// whether the machine reaches the internet, and fresh identifiers.
// Stateless and callable from any thread; none throws or reports an error:
// each falls back to its conservative answer (an old system, not an
// administrator, online).
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

// True when the process token is a member of the built-in Administrators
// group (CheckTokenMembership); false when that cannot be asked.
bool IsRunAsAdmin();

// The user name of the session at the console (WTSQuerySessionInformationW,
// WTSUserName). False, `name` untouched, when it cannot be read.
bool GetActiveSessionUserName(std::wstring& name);

// True when the local account `userName` has administrator privilege
// (NetUserGetInfo level 1, USER_PRIV_ADMIN); false for an empty or unknown name.
bool IsAdminAccount(const std::wstring& userName);

// Connectivity verdict in the high 16 bits (0 online or not determinable,
// 1 no network at all, 2 a network without internet access) and the
// NLM_CONNECTIVITY flags in the low 16 bits. The caller has initialised COM
// on its thread.
DWORD CheckNetwork();

// A new GUID as 32 hex digits without separators (third group lower case,
// the rest upper case); 32 zeros when no GUID can be made.
std::wstring CreateGuidString();
// The same formatting for a given GUID.
std::wstring FormatGuidString(const GUID& guid);

}  // namespace Utils
