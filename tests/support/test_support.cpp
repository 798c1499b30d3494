#include "support/test_support.h"

#include <thread>
#include <vector>

#include "utils/scoped.h"
#include "utils/strings.h"

namespace TestSupport {

std::wstring BinDir() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path);
  return dir.substr(0, dir.rfind(L'\\') + 1);
}

std::wstring BinPath(const std::wstring& fileName) { return BinDir() + fileName; }

TempDir::TempDir(const std::wstring& hint) {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  static LONG counter = 0;
  for (;;) {
    path_ = std::wstring(temp) + hint + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
            std::to_wstring(::InterlockedIncrement(&counter));
    if (::CreateDirectoryW(path_.c_str(), nullptr)) break;
    if (::GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
}

TempDir::~TempDir() { RemoveTree(path_); }

bool RemoveTree(const std::wstring& path) {
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW((path + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = path + L"\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(child.c_str());
      }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
  }
  return ::RemoveDirectoryW(path.c_str()) != FALSE;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  Utils::ScopedHandle file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

std::string ReadBytes(const std::wstring& path) {
  Utils::ScopedHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::string();
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  return bytes;
}

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

namespace {

void Drain(HANDLE pipe, std::string* out) {
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) out->append(buffer, got);
}

}  // namespace

ProcessResult RunProcess(const std::wstring& commandLine, DWORD timeoutMs) {
  ProcessResult result;
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  Utils::ScopedHandle outRead, outWrite, errRead, errWrite;
  if (!::CreatePipe(outRead.receive(), outWrite.receive(), &inherit, 0) ||
      !::CreatePipe(errRead.receive(), errWrite.receive(), &inherit, 0))
    return result;
  ::SetHandleInformation(outRead.get(), HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(errRead.get(), HANDLE_FLAG_INHERIT, 0);
  Utils::ScopedHandle nul(::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                        OPEN_EXISTING, 0, nullptr));

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nul.get();
  startup.hStdOutput = outWrite.get();
  startup.hStdError = errWrite.get();
  PROCESS_INFORMATION process{};
  std::wstring line = commandLine;
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
    return result;
  result.started = true;
  Utils::ScopedHandle processHandle(process.hProcess);
  Utils::ScopedHandle threadHandle(process.hThread);
  // Only the child keeps the write ends now, so the reads end with it.
  outWrite.reset();
  errWrite.reset();

  std::thread outReader(Drain, outRead.get(), &result.out);
  std::thread errReader(Drain, errRead.get(), &result.err);
  if (::WaitForSingleObject(processHandle.get(), timeoutMs) == WAIT_TIMEOUT) {
    result.timedOut = true;
    ::TerminateProcess(processHandle.get(), 1);
    ::WaitForSingleObject(processHandle.get(), INFINITE);
  }
  outReader.join();
  errReader.join();
  ::GetExitCodeProcess(processHandle.get(), &result.exitCode);
  return result;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

DebugCapture CaptureDebugOutput(const std::wstring& commandLine, DWORD timeoutMs) {
  DebugCapture capture;
  Probe::DebugEvents events;
  events.onDebugString = [&capture](const std::wstring& text) { capture.strings.push_back(text); };
  events.onThreadName = [&capture](DWORD id, const std::string& name) { capture.threadNames.emplace_back(id, name); };
  capture.result = Probe::RunUnderDebugger(commandLine, events, timeoutMs);
  capture.processId = capture.result.processId;
  return capture;
}

bool ReadRegistryValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD* type,
                       std::string* bytes) {
  // The stored bytes exactly: RegQueryValueEx adds a missing string
  // terminator when it can, so ask the native call instead.
  struct UnicodeString {
    USHORT Length;
    USHORT MaximumLength;
    PWSTR Buffer;
  };
  struct PartialInformation {
    ULONG TitleIndex;
    ULONG Type;
    ULONG DataLength;
    UCHAR Data[1];
  };
  using NtQueryValueKeyFn = LONG(NTAPI*)(HANDLE, UnicodeString*, int, void*, ULONG, ULONG*);
  static const auto query = reinterpret_cast<NtQueryValueKeyFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryValueKey")));
  Utils::ScopedRegKey handle;
  if (query == nullptr ||
      ::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, handle.receive()) != ERROR_SUCCESS)
    return false;
  std::wstring valueName = name;
  UnicodeString unicodeName{static_cast<USHORT>(valueName.size() * sizeof(wchar_t)),
                            static_cast<USHORT>(valueName.size() * sizeof(wchar_t)), valueName.data()};
  std::vector<char> buffer(64 * 1024);
  ULONG length = 0;
  constexpr int kKeyValuePartialInformation = 2;
  if (query(handle.get(), &unicodeName, kKeyValuePartialInformation, buffer.data(),
            static_cast<ULONG>(buffer.size()), &length) < 0)
    return false;
  const auto* info = reinterpret_cast<const PartialInformation*>(buffer.data());
  if (type) *type = info->Type;
  bytes->assign(reinterpret_cast<const char*>(info->Data), info->DataLength);
  return true;
}

void DeleteRegistryTree(HKEY root, const std::wstring& key) { ::RegDeleteTreeW(root, key.c_str()); }

std::string Utf8(const std::wstring& text) { return Utils::ToNarrow(text, CP_UTF8); }
std::wstring FromUtf8(const std::string& text) { return Utils::ToWide(text, CP_UTF8); }

}  // namespace TestSupport
