// tvprobe package / tvprobe uninstall: run the package installer runner or
// the uninstaller runner headless and print each event they report.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <mutex>

#include "app/config.h"
#include "install/installer.h"
#include "install/uninstaller.h"
#include "probe.h"
#include "utils/probes.h"

namespace Probe {

namespace {

// Reads "--name value" pairs; false on an unknown name or a missing value.
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

// Prints every event as "<code> <value> <text>" and remembers the outcome.
// Events arrive on the runner's worker thread.
class EventPrinter {
 public:
  EventPrinter(int successCode, std::initializer_list<int> failureCodes)
      : successCode_(successCode), failureCodes_(failureCodes) {}

  StatusCallback Callback() {
    return [this](int code, double value, const wchar_t* text) {
      char number[64];
      std::snprintf(number, sizeof number, "%g", value);
      PrintLine(std::to_wstring(code) + L" " + std::wstring(number, number + std::strlen(number)) + L" " +
                (text ? text : L""));
      std::lock_guard<std::mutex> lock(mutex_);
      if (code == successCode_) succeeded_ = true;
      for (int failure : failureCodes_)
        if (code == failure) failed_ = true;
    };
  }

  int ExitCode() {
    std::lock_guard<std::mutex> lock(mutex_);
    return succeeded_ && !failed_ ? 0 : 1;
  }

 private:
  std::mutex mutex_;
  int successCode_;
  std::vector<int> failureCodes_;
  bool succeeded_ = false;
  bool failed_ = false;
};

}  // namespace

int RunPackage(const std::vector<std::wstring>& args) {
  std::vector<std::wstring> v;
  std::vector<bool> given;
  if (!ReadOptions(args, {L"--exe", L"--dir", L"--lang", L"--instcmd"}, &v, &given) || !given[0] || v[0].empty())
    return kExitUsage;
  if (given[3]) InstallerConfig.InstCmd = v[3];  // otherwise what the ini beside tvprobe says

  EventPrinter printer(IST_CODE_SUCCESS, {IST_CODE_FAIL});
  std::wstring user;
  const bool adminAccount = Utils::GetActiveSessionUserName(user) && Utils::IsAdminAccount(user);
  // Quoted as the orchestrator quotes it, blanks or not.
  CInstaller installer(printer.Callback(), L"\"" + v[0] + L"\"", v[1], true, true, adminAccount);
  installer.SetAdminProcess(Utils::IsRunAsAdmin());
  installer.SetLanguage(v[2]);
  installer.Start();
  installer.Wait(INFINITE);
  return printer.ExitCode();
}

int RunUninstall(const std::vector<std::wstring>& args) {
  std::vector<std::wstring> v;
  std::vector<bool> given;
  if (!ReadOptions(args, {L"--exe", L"--dir"}, &v, &given) || !given[0] || !given[1] || v[0].empty())
    return kExitUsage;

  EventPrinter printer(UNIST_CODE_SUCCESS, {UNIST_CODE_FAIL, UNIST_CODE_ERROR});
  UnInstaller uninstaller(printer.Callback(), v[0], v[1]);
  uninstaller.Start();
  uninstaller.Wait(INFINITE);
  return printer.ExitCode();
}

}  // namespace Probe
