// tvprobe install: a whole installation without the window. The installer's
// orchestrator runs the registered previous uninstaller (when given), the
// download and the package, and every event of the three stages is printed
// as "<code> <value> <text>".
#include <windows.h>

#include "app/config.h"
#include "download/downloader.h"
#include "events.h"
#include "install/download_installer.h"
#include "probe.h"
#include "utils/probes.h"

namespace Probe {

int RunInstall(const std::vector<std::wstring>& args) {
  std::vector<std::wstring> options;
  bool insNew = false;
  for (const auto& arg : args) {
    if (arg == L"--insnew") {
      insNew = true;
    } else {
      options.push_back(arg);
    }
  }
  std::vector<std::wstring> v;
  std::vector<bool> given;
  if (!ReadOptions(options, {L"--url", L"--dir", L"--type", L"--prev-uninstaller", L"--lang", L"--instcmd"}, &v,
                   &given) ||
      !given[0] || !given[1] || v[1].empty())
    return kExitUsage;
  if (given[2]) {
    wchar_t* end = nullptr;
    const long type = std::wcstol(v[2].c_str(), &end, 10);
    if (end == v[2].c_str() || *end != L'\0') return kExitUsage;
    InstallerConfig.DownloadType = static_cast<int>(type);
  }
  if (given[5]) InstallerConfig.InstCmd = v[5];
  if (insNew) InstallerConfig.InsNew = true;

  EventPrinter printer(IST_CODE_SUCCESS, {DL_CODE_FAIL, IST_CODE_FAIL, UNIST_CODE_FAIL, UNIST_CODE_ERROR});
  std::wstring user;
  const bool adminAccount = Utils::GetActiveSessionUserName(user) && Utils::IsAdminAccount(user);
  {
    // Built and configured as the window does: empty at first, then the values of this run.
    CDownloadInstaller installer(printer.Callback(), L"", L"", L"", true, true, true);
    installer.Configure(v[0], v[3], v[1], true, true, adminAccount, Utils::IsRunAsAdmin(), v[4]);
    installer.Start();
    ::WaitForSingleObject(printer.Finished(), INFINITE);
  }
  return printer.ExitCode();
}

}  // namespace Probe
