#include "events.h"

#include <cstdio>

#include "probe.h"
#include "utils/strings.h"

namespace Probe {

std::wstring EventLine(int code, double value, const wchar_t* text) {
  char number[64];
  std::snprintf(number, sizeof number, "%g", value);
  return std::to_wstring(code) + L" " + Utils::ToWide(number, CP_ACP) + L" " + (text ? text : L"");
}

bool ReadOptions(const std::vector<std::wstring>& args, const std::vector<std::wstring>& names,
                 std::vector<std::wstring>* values, std::vector<bool>* given) {
  values->assign(names.size(), std::wstring());
  given->assign(names.size(), false);
  for (size_t i = 0; i < args.size(); i += 2) {
    size_t n = 0;
    while (n < names.size() && args[i] != names[n]) ++n;
    if (n == names.size() || i + 1 >= args.size()) return false;
    (*values)[n] = args[i + 1];
    (*given)[n] = true;
  }
  return true;
}

EventPrinter::EventPrinter(int successCode, std::initializer_list<int> failureCodes)
    : successCode_(successCode), failureCodes_(failureCodes), finished_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

StatusCallback EventPrinter::Callback() {
  return [this](int code, double value, const wchar_t* text) {
    std::lock_guard<std::mutex> lock(mutex_);
    PrintLine(EventLine(code, value, text));
    bool final = false;
    if (code == successCode_) succeeded_ = final = true;
    for (int failure : failureCodes_)
      if (code == failure) failed_ = final = true;
    if (final) ::SetEvent(finished_.get());
  };
}

int EventPrinter::ExitCode() {
  std::lock_guard<std::mutex> lock(mutex_);
  return succeeded_ && !failed_ ? 0 : 1;
}

}  // namespace Probe
