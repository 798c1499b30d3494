// What the package runner and the uninstaller runner share: the gate their
// reports pass through and the slot that holds a runner's one worker thread.
// A worker waits for its child without a time limit, but a runner that goes
// away does not: after a bounded wait it closes the gate, so nothing more is
// reported to an owner that no longer exists, and lets the worker go on alone.
// The child is not killed: stopping an installer or uninstaller halfway could
// leave a broken installation behind.
#pragma once

#include <windows.h>

#include <memory>
#include <mutex>
#include <string>

#include "utils/status.h"
#include "utils/thread.h"

namespace Install {

// How long a runner's destruction waits for a worker that is still running.
constexpr DWORD kTeardownWaitMs = 3000;

// Forwards reports to the owner's callback until closed. Close() returns only
// when no report is being delivered, and none is delivered after it.
class ReportGate {
 public:
  explicit ReportGate(StatusCallback callback) : callback_(std::move(callback)) {}
  ReportGate(const ReportGate&) = delete;
  ReportGate& operator=(const ReportGate&) = delete;

  void Report(int code, double value, const wchar_t* text);
  void Close();

 private:
  std::recursive_mutex mutex_;  // a report may end in the owner closing the gate
  bool closed_ = false;
  StatusCallback callback_;
};

// A runner's worker thread. The body must keep everything it uses alive
// itself (shared ownership), since it may outlive the runner.
class WorkerSlot {
 public:
  WorkerSlot() = default;
  ~WorkerSlot() { Release(kTeardownWaitMs); }
  WorkerSlot(const WorkerSlot&) = delete;
  WorkerSlot& operator=(const WorkerSlot&) = delete;

  // Waits without a time limit for the previous worker, then runs `body` on a
  // new thread named `name` (created suspended, then resumed). False when the
  // thread cannot be created: the body never runs.
  bool Launch(const std::wstring& name, std::shared_ptr<ReportGate> gate, std::function<void()> body);

  // Waits up to `timeoutMs` for the current worker; true when none runs.
  bool Wait(DWORD timeoutMs) const;

  // Waits up to `graceMs`; a worker still running then has its gate closed
  // and is left to finish on its own.
  void Release(DWORD graceMs);

 private:
  bool OnWorkerThread() const;
  // Lets go of a thread that may still run: its wrapper holds the body the
  // thread is executing, so it is left in place until the process ends.
  void Abandon();

  std::unique_ptr<Utils::Thread> thread_;
  std::shared_ptr<ReportGate> gate_;
};

}  // namespace Install
