// UnInstaller: runs a temporary copy of the previous version's uninstaller
// silently as a hidden child process, tells it which folder to remove, and
// turns the lines it prints (a subset of the package protocol) into status
// codes 5001-5005. The orchestrator creates one for each installation attempt
// that finds a previous uninstaller and starts it on the UI thread.
#pragma once

#include <windows.h>

#include <string>

#include "install/runner_worker.h"
#include "utils/status.h"

// Status codes of the uninstaller runner (value, text):
constexpr int UNIST_CODE_START = 5001;     // 0.0, empty: the worker began
constexpr int UNIST_CODE_PROGRESS = 5002;  // fraction 0..1 ("Progress="; 0.0 from the runner), empty
constexpr int UNIST_CODE_SUCCESS = 5003;   // 0.0 "State=Success"; 1.0 child ended without a final state
constexpr int UNIST_CODE_FAIL = 5004;      // 1.0 "可执行卸载文件不存在" executable missing; 2.0 not startable
constexpr int UNIST_CODE_ERROR = 5005;     // 0.0, "安装包卸载失败" for "State=Fail", or the "Error=" text

class UnInstaller {
 public:
  // `executable` is the uninstaller copy to run, `installDir` the folder of
  // the version it removes.
  UnInstaller(StatusCallback callback, const std::wstring& executable, const std::wstring& installDir);
  // Waits for a running worker for a bounded time only; a worker whose child
  // still runs then reports nothing more and is left to end on its own.
  ~UnInstaller();
  UnInstaller(const UnInstaller&) = delete;
  UnInstaller& operator=(const UnInstaller&) = delete;

  // Builds the command line (asking the account probes) and runs the
  // uninstaller on a new worker thread named "UnInstaller"; returns at once,
  // after waiting (without a time limit) for the worker of an earlier start.
  // Every event is one call of the callback on that worker thread.
  void Start();

  // Waits up to `timeoutMs` for the current worker; true when none runs.
  bool Wait(DWORD timeoutMs) const { return worker_.Wait(timeoutMs); }

  const std::wstring& CommandLine() const { return commandLine_; }

  // The command line for the given account answers. The executable is quoted
  // (its temporary folder may hold blanks, and an unquoted path would start
  // whatever program a shorter prefix names); the folder stays bare and last
  // after "_?=", where the uninstaller takes the rest of the line whole.
  static std::wstring CommandLineFor(const std::wstring& executable, bool adminAccount, bool adminProcess,
                                     const std::wstring& installDir);

  // Handles every line of one chunk of the uninstaller's output: reports its
  // events through `report` and may switch `*codePage` for later chunks.
  // Returns 0, 1 after "State=Success", 1000 after "State=Fail" or "Error=".
  static int Parse(const std::wstring& chunk, UINT* codePage, const StatusCallback& report);

 private:
  StatusCallback callback_;
  std::wstring commandLine_;
  std::wstring executable_;
  std::wstring installDir_;
  Install::WorkerSlot worker_;  // last: goes first
};
