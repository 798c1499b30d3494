// What the runner tests share: a thread-safe record of status events, demo
// installations to uninstall, and the processes a test started.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "utils/status.h"

namespace InstallTest {

struct Event {
  int code;
  double value;
  std::wstring text;
  DWORD threadId;
};

// Collects the events a runner reports. Shared with the callback, so that a
// report arriving late still finds it.
class EventLog {
 public:
  static std::shared_ptr<EventLog> Create() { return std::make_shared<EventLog>(); }
  static StatusCallback CallbackFor(const std::shared_ptr<EventLog>& log);

  std::vector<Event> Events() const;
  std::vector<int> Codes() const;
  size_t Count() const;
  // Waits (without a limit: CTest's own limit ends a hung test) for an event
  // with `code`; returns it.
  Event WaitFor(int code) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<Event> events_;
};

// The built demo programs.
std::wstring DemoPackage();
std::wstring DemoUninstaller();

// Installs the demo product into `folder` by running the demo package
// directly; false when it did not succeed.
bool InstallDemo(const std::wstring& folder);

// Process ids of running processes whose executable file name is `exeName`.
std::vector<DWORD> ProcessesNamed(const std::wstring& exeName);
bool IsProcessRunning(DWORD processId);
void KillProcess(DWORD processId);

// Text of a UTF-8 record file ("Key=value" lines): the value of `key`.
std::wstring RecordValue(const std::wstring& file, const std::wstring& key);

std::string Describe(const std::vector<Event>& events);

}  // namespace InstallTest
