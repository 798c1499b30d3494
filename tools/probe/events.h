// What the subcommands that run the installer's engine share: their option
// reading and the printing of status events as "<code> <value> <text>".
#pragma once

#include <windows.h>

#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

#include "utils/scoped.h"
#include "utils/status.h"

namespace Probe {

// "<code> <value> <text>", the value printed with %g.
std::wstring EventLine(int code, double value, const wchar_t* text);

// Reads "--name value" pairs; false on an unknown name or a missing value.
bool ReadOptions(const std::vector<std::wstring>& args, const std::vector<std::wstring>& names,
                 std::vector<std::wstring>* values, std::vector<bool>* given);

// Prints every event and remembers the outcome: success when the success code
// came and no failure code did. The callback runs on the reporting thread;
// Finished() is signalled by the first success or failure code.
class EventPrinter {
 public:
  EventPrinter(int successCode, std::initializer_list<int> failureCodes);
  StatusCallback Callback();
  int ExitCode();  // 0 success, 1 failure
  HANDLE Finished() const { return finished_.get(); }

 private:
  std::mutex mutex_;
  int successCode_;
  std::vector<int> failureCodes_;
  bool succeeded_ = false;
  bool failed_ = false;
  Utils::ScopedHandle finished_;
};

}  // namespace Probe
