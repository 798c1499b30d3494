// Helpers for the tests: where the built programs are, scratch folders, real
// child processes with their output and exit code, debug output of a real
// process, and raw registry reads in the test prefix.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "debug_watch.h"

namespace TestSupport {

// The folder of the running test program, with a trailing backslash. The
// installer, tvprobe and the helper programs are built into the same folder.
std::wstring BinDir();
std::wstring BinPath(const std::wstring& fileName);

// A fresh folder under %TEMP%, removed with its contents at destruction.
class TempDir {
 public:
  explicit TempDir(const std::wstring& hint = L"tv");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::wstring& path() const { return path_; }  // no trailing backslash
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

bool RemoveTree(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);

struct ProcessResult {
  bool started = false;
  bool timedOut = false;
  DWORD exitCode = 0;
  std::string out;  // raw bytes of standard output
  std::string err;  // raw bytes of standard error
};

// Runs a command line with its standard output and error captured. A process
// still running after `timeoutMs` is terminated (timedOut set).
ProcessResult RunProcess(const std::wstring& commandLine, DWORD timeoutMs = 60000);

// Output lines (split at "\n", a trailing "\r" removed).
std::vector<std::string> Lines(const std::string& text);

// The debug strings of a real process run under the debugger.
struct DebugCapture {
  Probe::DebugRunResult result;
  DWORD processId = 0;
  std::vector<std::wstring> strings;
  std::vector<std::pair<DWORD, std::string>> threadNames;
};
DebugCapture CaptureDebugOutput(const std::wstring& commandLine, DWORD timeoutMs = 60000);

// Raw registry value (type and exact bytes). False when absent.
bool ReadRegistryValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD* type,
                       std::string* bytes);
void DeleteRegistryTree(HKEY root, const std::wstring& key);

std::string Utf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

}  // namespace TestSupport
