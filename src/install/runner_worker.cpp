#include "install/runner_worker.h"

namespace Install {

void ReportGate::Report(int code, double value, const wchar_t* text) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!closed_ && callback_) callback_(code, value, text);
}

void ReportGate::Close() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  closed_ = true;
}

bool WorkerSlot::OnWorkerThread() const { return thread_ && ::GetCurrentThreadId() == thread_->id(); }

void WorkerSlot::Abandon() {
  (void)thread_.release();
  gate_.reset();
}

bool WorkerSlot::Launch(const std::wstring& name, std::shared_ptr<ReportGate> gate, std::function<void()> body) {
  if (OnWorkerThread()) {
    // Started again from its own report: the old worker ends right after.
    Abandon();
  } else if (thread_) {
    thread_->Join();
    thread_.reset();
  }
  gate_ = std::move(gate);
  thread_ = std::make_unique<Utils::Thread>(nullptr, name, [body = std::move(body)](void*) -> unsigned {
    body();
    return 0;
  });
  if (thread_->handle() == nullptr) {
    thread_.reset();
    gate_.reset();
    return false;
  }
  thread_->Resume();
  return true;
}

bool WorkerSlot::Wait(DWORD timeoutMs) const {
  if (!thread_ || thread_->handle() == nullptr) return true;
  if (OnWorkerThread()) return false;
  return ::WaitForSingleObject(thread_->handle(), timeoutMs) == WAIT_OBJECT_0;
}

void WorkerSlot::Release(DWORD graceMs) {
  if (!thread_) return;
  if (Wait(graceMs)) {
    thread_->Join();
    thread_.reset();
    gate_.reset();
    return;
  }
  if (gate_) gate_->Close();
  Abandon();
}

}  // namespace Install
