// Utils::Thread: one callable with one untyped argument on its own system
// thread. The thread is created suspended (the owner stores the wrapper, then
// resumes it), carries a debugger name, and is joined when the wrapper goes.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace Utils {

class Thread {
 public:
  using Body = std::function<unsigned int(void*)>;

  // Creates the thread suspended and names it; `name` empty gives "t<id>".
  // When creation fails handle() is null and the body never runs.
  Thread(void* argument, const std::wstring& name, Body body);
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  HANDLE handle() const { return handle_; }
  DWORD id() const { return id_; }
  const std::wstring& name() const { return name_; }

  // Starts a suspended thread. False without a thread.
  bool Resume();
  // Waits for the thread without a time limit, closes the handle and sets
  // the id to -1. Called on the thread itself it only lets go of the handle:
  // a thread that waits for itself never wakes.
  void Join();

  // The debugger name announced for a thread: `name` in the ANSI code page,
  // or "t" followed by the id when `name` is empty.
  static std::string DebuggerName(const std::wstring& name, DWORD id);

 private:
  static unsigned __stdcall CallBack(void* self);

  DWORD id_ = static_cast<DWORD>(-1);
  HANDLE handle_ = nullptr;  // owned
  Body body_;
  void* argument_;
  std::wstring name_;
};

}  // namespace Utils
