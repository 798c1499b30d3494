// tvprobe package / tvprobe uninstall: run the package installer runner or
// the uninstaller runner headless and print each event they report.
#include <windows.h>

#include "app/config.h"
#include "install/installer.h"
#include "install/uninstaller.h"
#include "events.h"
#include "probe.h"
#include "utils/probes.h"

namespace Probe {

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
