#include "utils/probes.h"

#include <lm.h>
#include <netlistmgr.h>
#include <objbase.h>
#include <wtsapi32.h>

#include <cwchar>

#include "utils/scoped.h"
#include "utils/system_library.h"
#include "utils/trace.h"

namespace Utils {

OsVersionNumbers QueryOsVersionNumbers() {
  OsVersionNumbers numbers;
  ScopedLibrary ntdll(::LoadLibraryW(L"ntdll.dll"));
  if (!ntdll) return numbers;
  numbers.loaded = true;
  using RtlGetNtVersionNumbersFn = void(WINAPI*)(DWORD*, DWORD*, DWORD*);
  auto query = reinterpret_cast<RtlGetNtVersionNumbersFn>(
      reinterpret_cast<void*>(::GetProcAddress(ntdll.get(), "RtlGetNtVersionNumbers")));
  if (query != nullptr) {
    query(&numbers.major, &numbers.minor, &numbers.build);
    numbers.build &= 0xFFFF;
  }
  using GetSystemMetricsFn = int(WINAPI*)(int);
  if (auto metrics = SystemFunction<GetSystemMetricsFn>(L"user32.dll", "GetSystemMetrics"))
    numbers.serverR2 = metrics(SM_SERVERR2) != 0;
  return numbers;
}

std::wstring OsVersionLabel(const OsVersionNumbers& n) {
  if (!n.loaded) return L"XP-";
  std::wstring label;
  if (n.major <= 4) {
    label = L"XP-";
  } else if (n.major == 5) {
    if (n.minor == 0) label = L"2K";
    else if (n.minor == 1) label = L"XP";
    else if (n.minor == 2) label = n.serverR2 ? L"Server 2003 R2" : L"Server 2003";
    else label = L"XP+";
  } else if (n.major == 6) {
    if (n.minor == 0) label = L"Vista";
    else if (n.minor == 1) label = L"7";
    else if (n.minor == 2) label = L"8";
    else if (n.minor == 3) label = L"8.1";
    else label = L"8.1+";
  } else if (n.major == 10) {
    label = n.minor == 0 ? L"10" : L"10+";
  }
  if (label.empty()) {
    if (n.major >= 5)
      label = std::to_wstring(n.major) + L"." + std::to_wstring(n.minor) + L"." + std::to_wstring(n.build);
    else
      label = L"XP-";
  }
  return label;
}

std::wstring GetOSVersion() { return OsVersionLabel(QueryOsVersionNumbers()); }

bool IsWow64() {
  using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
  auto isWow64Process = reinterpret_cast<IsWow64ProcessFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32"), "IsWow64Process")));
  if (isWow64Process == nullptr) return false;
  BOOL wow64 = FALSE;
  if (isWow64Process(::GetCurrentProcess(), &wow64)) return wow64 != FALSE;
  SYSTEM_INFO info{};
  ::GetNativeSystemInfo(&info);
  return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
         info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
}

}  // namespace Utils

// ---- accounts, connectivity, identifiers ----

namespace Utils {

bool IsRunAsAdmin() {
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0,
                                  0, 0, 0, &administrators))
    return false;
  BOOL member = FALSE;
  const bool asked = ::CheckTokenMembership(nullptr, administrators, &member) != FALSE;
  ::FreeSid(administrators);
  return asked && member != FALSE;
}

// The session, account and network services are loaded when first asked
// (see system_library.h).
namespace {
using WTSQuerySessionInformationWFn = BOOL(WINAPI*)(HANDLE, DWORD, WTS_INFO_CLASS, LPWSTR*, DWORD*);
using WTSFreeMemoryFn = void(WINAPI*)(PVOID);
using NetUserGetInfoFn = NET_API_STATUS(WINAPI*)(LPCWSTR, LPCWSTR, DWORD, LPBYTE*);
using NetApiBufferFreeFn = NET_API_STATUS(WINAPI*)(LPVOID);
using CoCreateInstanceFn = HRESULT(WINAPI*)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);
using CoFreeUnusedLibrariesFn = void(WINAPI*)();
using CoCreateGuidFn = HRESULT(WINAPI*)(GUID*);
}  // namespace

bool GetActiveSessionUserName(std::wstring& name) {
  const auto query = SystemFunction<WTSQuerySessionInformationWFn>(L"wtsapi32.dll", "WTSQuerySessionInformationW");
  const auto release = SystemFunction<WTSFreeMemoryFn>(L"wtsapi32.dll", "WTSFreeMemory");
  if (query == nullptr || release == nullptr) return false;
  LPWSTR buffer = nullptr;
  DWORD bytes = 0;
  if (!query(WTS_CURRENT_SERVER_HANDLE, ::WTSGetActiveConsoleSessionId(), WTSUserName, &buffer, &bytes) ||
      buffer == nullptr)
    return false;
  name = buffer;
  release(buffer);
  return true;
}

bool IsAdminAccount(const std::wstring& userName) {
  const auto getInfo = SystemFunction<NetUserGetInfoFn>(L"netapi32.dll", "NetUserGetInfo");
  const auto release = SystemFunction<NetApiBufferFreeFn>(L"netapi32.dll", "NetApiBufferFree");
  if (getInfo == nullptr || release == nullptr) return false;
  LPBYTE buffer = nullptr;
  if (getInfo(nullptr, userName.c_str(), 1, &buffer) != NERR_Success || buffer == nullptr) {
    if (buffer != nullptr) release(buffer);
    return false;
  }
  const bool admin = reinterpret_cast<const USER_INFO_1*>(buffer)->usri1_priv == USER_PRIV_ADMIN;
  release(buffer);
  return admin;
}

DWORD CheckNetwork() {
  static const CLSID kNetworkListManager = {
      0xDCB00C01, 0x570F, 0x4A9B, {0x8D, 0x69, 0x19, 0x9F, 0xDB, 0xA5, 0x72, 0x3B}};
  static const IID kINetworkListManager = {
      0xDCB00000, 0x570F, 0x4A9B, {0x8D, 0x69, 0x19, 0x9F, 0xDB, 0xA5, 0x72, 0x3B}};
  const auto create = SystemFunction<CoCreateInstanceFn>(L"ole32.dll", "CoCreateInstance");
  const auto freeUnused = SystemFunction<CoFreeUnusedLibrariesFn>(L"ole32.dll", "CoFreeUnusedLibraries");
  INetworkListManager* manager = nullptr;
  if (create == nullptr ||
      FAILED(create(kNetworkListManager, nullptr, CLSCTX_ALL, kINetworkListManager,
                    reinterpret_cast<void**>(&manager))) ||
      manager == nullptr)
    return 0;

  DWORD verdict = 0;
  NLM_CONNECTIVITY connectivity = NLM_CONNECTIVITY_DISCONNECTED;
  // A question the manager cannot answer leaves the verdict "online".
  if (FAILED(manager->GetConnectivity(&connectivity))) {
    connectivity = NLM_CONNECTIVITY_DISCONNECTED;
  } else if (connectivity == NLM_CONNECTIVITY_DISCONNECTED) {
    TRACE_NOEOL(L"GetConnectivity %d", static_cast<int>(connectivity));
    verdict = 1;
  } else {
    VARIANT_BOOL internet = VARIANT_FALSE;
    if (SUCCEEDED(manager->IsConnectedToInternet(&internet)) && internet == VARIANT_FALSE) {
      TRACE_NOEOL(L"get_IsConnectedToInternet:%d", static_cast<int>(internet));
      verdict = 2;
    }
  }
  manager->Release();
  if (freeUnused) freeUnused();
  return verdict * 65536 + (static_cast<DWORD>(connectivity) & 0xFFFF);
}

std::wstring FormatGuidString(const GUID& g) {
  wchar_t text[33] = {};
  std::swprintf(text, 33, L"%08X%04X%04x%02X%02X%02X%02X%02X%02X%02X%02X", static_cast<unsigned>(g.Data1),
                static_cast<unsigned>(g.Data2), static_cast<unsigned>(g.Data3), g.Data4[0], g.Data4[1], g.Data4[2],
                g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

std::wstring CreateGuidString() {
  GUID guid{};
  const auto create = SystemFunction<CoCreateGuidFn>(L"ole32.dll", "CoCreateGuid");
  if (create == nullptr || FAILED(create(&guid))) guid = GUID{};
  return FormatGuidString(guid);
}

}  // namespace Utils
