#include "utils/probes.h"

#include "utils/scoped.h"
#include "utils/system_library.h"

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
