// CInstaller: runs the downloaded package silently as a hidden child process,
// with switches that carry the user's choices, and turns the "Key=value" lines
// the package prints into the installer's status codes 2001-2004 and
// 3000-3009. Owned by the download-and-install orchestrator, which creates it
// once, sets its fields before every start and starts it from the thread that
// reported the download's success.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "install/runner_worker.h"
#include "utils/status.h"

// Status codes of the package installer (value, text):
constexpr int IST_CODE_START = 2001;                   // 0.0, empty: the worker began
constexpr int IST_CODE_PROGRESS = 2002;                // fraction 0..1 ("Progress="; 0.0 from the runner), empty
constexpr int IST_CODE_SUCCESS = 2003;                 // 0.0 "State=Success"; 1.0 child ended without a state
constexpr int IST_CODE_FAIL = 2004;                    // 2.0 launch failure; 0.0 "State=Fail"; 1000.0 "Error="
constexpr int IST_CODE_INST_PATH = 3000;               // 0.0, the folder installed to
constexpr int IST_CODE_EXE_PATH = 3001;                // 0.0, the product's main executable
constexpr int IST_CODE_UNINST_EXE_PATH = 3002;         // 0.0, the product's uninstaller
constexpr int IST_CODE_UNINST_EP = 3003;               // 0.0, the uninstaller's marker file
constexpr int IST_CODE_START_URL = 3004;               // 0.0, a page to open when the product starts
constexpr int IST_CODE_STARTUP_STYLE = 3005;           // 0 no start, 1 automatic, 2 on request; empty
constexpr int IST_CODE_TOP_SHOW_DETENTION = 3007;      // milliseconds as unsigned 32 bits; empty
constexpr int IST_CODE_FINISH_CLOSE_DETENTION = 3008;  // milliseconds as unsigned 32 bits; empty
constexpr int IST_CODE_MESSAGE = 3009;                 // 0.0, a message for the user

class CInstaller {
 public:
  // `packagePath` comes already wrapped in double quotes. The
  // administrator-process flag starts true, the language empty.
  CInstaller(StatusCallback callback, const std::wstring& packagePath, const std::wstring& installDir,
             bool desktopShortcut, bool quickLaunch, bool adminAccount);
  // Waits for a running worker for a bounded time only; a worker whose child
  // still runs then reports nothing more and is left to end on its own.
  ~CInstaller();
  CInstaller(const CInstaller&) = delete;
  CInstaller& operator=(const CInstaller&) = delete;

  // Set by the owner before Start, while no worker reads them.
  void SetInstallDir(const std::wstring& dir) { installDir_ = dir; }
  void SetDesktopShortcut(bool on) { desktopShortcut_ = on; }
  void SetQuickLaunch(bool on) { quickLaunch_ = on; }
  void SetAdminAccount(bool on) { adminAccount_ = on; }
  void SetAdminProcess(bool on) { adminProcess_ = on; }
  void SetLanguage(const std::wstring& code) { language_ = code; }

  // Builds the command line and runs the package on a new worker thread
  // named "ABDEF"; returns at once, after waiting (without a time limit) for
  // the worker of an earlier start. Every event is one call of the callback
  // on that worker thread, in the order the package's lines arrive.
  void Start();

  // Waits up to `timeoutMs` for the current worker; true when none runs.
  bool Wait(DWORD timeoutMs) const { return worker_.Wait(timeoutMs); }

  // The package's command line for the current fields and InstCmd.
  std::wstring BuildCommandLine() const;
  const std::wstring& CommandLine() const { return commandLine_; }

  // Handles every line of one chunk of the package's output: reports its
  // events through `report` and may switch `*codePage` for later chunks.
  // Returns 0, 1 after "State=Success", 1000 after "State=Fail" or "Error=".
  static int Parse(const std::wstring& chunk, UINT* codePage, const StatusCallback& report);

 private:
  StatusCallback callback_;
  std::wstring packagePath_;
  std::wstring installDir_;
  std::wstring commandLine_;
  bool desktopShortcut_;
  bool quickLaunch_;
  bool adminAccount_;
  bool adminProcess_ = true;
  std::wstring language_;
  Install::WorkerSlot worker_;  // last: goes first, before what the owner set
};
