#include "install_support.h"

#include <tlhelp32.h>

#include <sstream>

#include "support/test_support.h"
#include "utils/scoped.h"

namespace InstallTest {

StatusCallback EventLog::CallbackFor(const std::shared_ptr<EventLog>& log) {
  return [log](int code, double value, const wchar_t* text) {
    std::lock_guard<std::mutex> lock(log->mutex_);
    log->events_.push_back(Event{code, value, text ? text : L"", ::GetCurrentThreadId()});
    log->changed_.notify_all();
  };
}

std::vector<Event> EventLog::Events() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return events_;
}

std::vector<int> EventLog::Codes() const {
  std::vector<int> codes;
  for (const auto& e : Events()) codes.push_back(e.code);
  return codes;
}

size_t EventLog::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return events_.size();
}

Event EventLog::WaitFor(int code) const {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    for (const auto& e : events_)
      if (e.code == code) return e;
    changed_.wait(lock);
  }
}

std::wstring DemoPackage() { return TestSupport::BinPath(L"demo-package.exe"); }
std::wstring DemoUninstaller() { return TestSupport::BinPath(L"demo-uninstaller.exe"); }

bool InstallDemo(const std::wstring& folder) {
  const auto result = TestSupport::RunProcess(L"\"" + DemoPackage() + L"\" /S -instdir=\"" + folder + L"\" /D=" + folder);
  return result.started && result.exitCode == 0 && result.out.find("State=Success") != std::string::npos;
}

std::vector<DWORD> ProcessesNamed(const std::wstring& exeName) {
  std::vector<DWORD> ids;
  Utils::ScopedHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return ids;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry))
    if (_wcsicmp(entry.szExeFile, exeName.c_str()) == 0) ids.push_back(entry.th32ProcessID);
  return ids;
}

bool IsProcessRunning(DWORD processId) {
  Utils::ScopedHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  DWORD code = 0;
  return process && ::GetExitCodeProcess(process.get(), &code) && code == STILL_ACTIVE;
}

void KillProcess(DWORD processId) {
  Utils::ScopedHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
  if (!process) return;
  ::TerminateProcess(process.get(), 9);
  ::WaitForSingleObject(process.get(), INFINITE);
}

std::wstring RecordValue(const std::wstring& file, const std::wstring& key) {
  const std::wstring text = TestSupport::FromUtf8(TestSupport::ReadBytes(file));
  const std::wstring prefix = key + L"=";
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    if (text.compare(start, prefix.size(), prefix) == 0) return text.substr(start + prefix.size(), end - start - prefix.size());
    start = end + 1;
  }
  return L"(missing)";
}

std::string Describe(const std::vector<Event>& events) {
  std::ostringstream out;
  for (const auto& e : events) out << e.code << " " << e.value << " " << TestSupport::Utf8(e.text) << "\n";
  return out.str();
}

}  // namespace InstallTest
