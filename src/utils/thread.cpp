#include "utils/thread.h"

#include <process.h>

#include <mutex>

#include "utils/strings.h"
#include "utils/trace.h"

namespace Utils {

namespace {

constexpr DWORD kSetThreadNameException = 0x406D1388;

#pragma pack(push, 8)
struct ThreadNameInfo {
  DWORD type;         // 0x1000
  LPCSTR name;        // narrow name
  DWORD threadId;     // thread being named
  DWORD flags;        // 0
};
#pragma pack(pop)

// GCC has no __try/__except, so the naming exception is swallowed by a
// vectored handler that lets every other exception go on its way. A
// debugger, when one is attached, still sees it first and reads the name.
LONG CALLBACK SwallowThreadNameException(EXCEPTION_POINTERS* info) {
  if (info->ExceptionRecord->ExceptionCode == kSetThreadNameException) return EXCEPTION_CONTINUE_EXECUTION;
  return EXCEPTION_CONTINUE_SEARCH;
}

void AnnounceThreadName(const std::string& name, DWORD threadId) {
  static std::once_flag installed;
  std::call_once(installed, [] { ::AddVectoredExceptionHandler(1, SwallowThreadNameException); });
  ThreadNameInfo info{0x1000, name.c_str(), threadId, 0};
  ::RaiseException(kSetThreadNameException, 0, sizeof(info) / sizeof(ULONG_PTR),
                   reinterpret_cast<const ULONG_PTR*>(&info));
}

}  // namespace

Thread::Thread(void* argument, const std::wstring& name, Body body)
    : body_(std::move(body)), argument_(argument), name_(name) {
  unsigned int id = 0;
  const uintptr_t handle = _beginthreadex(nullptr, 0, &Thread::CallBack, this, CREATE_SUSPENDED, &id);
  if (handle == 0) return;
  handle_ = reinterpret_cast<HANDLE>(handle);
  id_ = id;
  AnnounceThreadName(DebuggerName(name_, id_), id_);
}

Thread::~Thread() {
  Join();
  name_.clear();
  body_ = nullptr;
}

bool Thread::Resume() {
  return handle_ != nullptr && ::ResumeThread(handle_) != static_cast<DWORD>(-1);
}

void Thread::Join() {
  if (handle_ == nullptr) return;
  if (::GetCurrentThreadId() != id_) ::WaitForSingleObject(handle_, INFINITE);
  ::CloseHandle(handle_);
  handle_ = nullptr;
  id_ = static_cast<DWORD>(-1);
}

std::string Thread::DebuggerName(const std::wstring& name, DWORD id) {
  if (name.empty()) return "t" + std::to_string(id);
  return ToNarrow(name, CP_ACP);
}

unsigned __stdcall Thread::CallBack(void* self) {
  auto* thread = static_cast<Thread*>(self);
  TRACE(L"THREAD BEGIN");
  thread->body_(thread->argument_);
  TRACE(L"THREAD END");
  _endthreadex(0);
  return 0;
}

}  // namespace Utils
