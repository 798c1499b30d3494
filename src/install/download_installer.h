// CDownloadInstaller: the orchestrator of one installation. It runs the
// previous version's uninstaller when one is registered, then the downloader
// DownloadType selects, then the package, passing every status event of the
// three stages on to its owner (the main window) and reacting to a few itself:
// it creates the install folder when the download begins, starts the next
// stage when one succeeds, restarts the downloader when asked to retry, and
// deletes the package file when it is no longer needed.
//
// Configure and Start run on the UI thread. The stage handlers run on the
// workers that report (a downloader thread, the uninstaller worker, the
// package runner's worker) and call the owner's callback synchronously.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "download/downloader.h"
#include "install/installer.h"
#include "install/uninstaller.h"
#include "utils/status.h"

class CDownloadInstaller {
 public:
  CDownloadInstaller(StatusCallback callback, const std::wstring& downloadUrl,
                     const std::wstring& previousUninstaller, const std::wstring& installDir, bool desktopShortcut,
                     bool quickLaunch, bool adminAccount);
  // Destroys the downloader (stopping its transfer), then the package runner,
  // then the uninstaller runners; none of them starts a further stage.
  ~CDownloadInstaller();
  CDownloadInstaller(const CDownloadInstaller&) = delete;
  CDownloadInstaller& operator=(const CDownloadInstaller&) = delete;

  void Configure(const std::wstring& downloadUrl, const std::wstring& previousUninstaller,
                 const std::wstring& installDir, bool desktopShortcut, bool quickLaunch, bool adminAccount,
                 bool adminProcess, const std::wstring& language);

  // install folder + "\__Package_Transvera.exe".
  std::wstring GetPackagePath() const;

  // Starts the first stage and returns. With InsNew set and a previous
  // uninstaller to run, it first waits while "transvera.exe" is running.
  void Start();

  // "<temp>\~ZemKoTemp.92482B06FB471E17\" (created when missing; empty when
  // it can be neither found nor created) and the uninstaller copy in it.
  static std::wstring InstallerTempFolder();
  static std::wstring UninstallerCopyPath();
  // True while a process whose executable file name is "transvera.exe" runs.
  static bool IsProductRunning();

 private:
  void Report(int code, double value, const wchar_t* text);
  void CleanupPackage();
  // Uninstaller runners replaced by a later start stay until their worker ended.
  void ReleaseFinishedUninstallers();

  StatusCallback callback_;
  std::wstring downloadUrl_;
  std::wstring previousUninstaller_;
  std::wstring installDir_;
  std::wstring packagePath_;
  std::wstring language_;
  bool desktopShortcut_;
  bool quickLaunch_;
  bool adminAccount_;
  bool adminProcess_ = false;
  std::atomic<bool> closing_{false};  // set by the destructor: no stage starts another

  std::unique_ptr<CDownloader> downloader_;
  std::unique_ptr<CInstaller> installer_;
  std::unique_ptr<UnInstaller> uninstaller_;
  std::vector<std::unique_ptr<UnInstaller>> replacedUninstallers_;
};
