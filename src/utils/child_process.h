// Hidden child processes whose standard output the installer reads: the
// pipe owner Utils::AnonymousPipe, the process owner Utils::ChildProcess, the
// error Utils::Exception thrown when either cannot be made, and the two read
// loops the package runner and the uninstaller runner are built on.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "utils/scoped.h"

namespace Utils {

// Thrown when a pipe or a process cannot be created. The message is the wide
// text narrowed with the ANSI code page.
class Exception : public std::exception {
 public:
  explicit Exception(const std::wstring& message = std::wstring());
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// Both ends of one anonymous pipe, created inheritable with the system's
// default buffer size. Each end is closed when it goes.
class AnonymousPipe {
 public:
  AnonymousPipe();  // throws Exception
  HANDLE ReadEnd() const { return read_.get(); }
  HANDLE WriteEnd() const { return write_.get(); }
  void CloseReadEnd() { read_.reset(); }
  void CloseWriteEnd() { write_.reset(); }
  void Close() {
    read_.reset();
    write_.reset();
  }

 private:
  ScopedHandle read_;
  ScopedHandle write_;
};

// One hidden child process with redirected standard handles. Its standard
// output is a pipe the owner reads in chunks; its standard input is a pipe
// nobody writes. Its standard error goes to the null device: a pipe nobody
// reads would stall a child that writes more than the pipe holds.
class ChildProcess {
 public:
  static constexpr size_t kCommandLineUnits = 1024;  // including the terminator
  static constexpr DWORD kChunkBytes = 1024;

  // Makes the standard handles; throws Exception when one cannot be made.
  ChildProcess();
  ~ChildProcess() { Close(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts the command line (the executable is its first token, so a path
  // with blanks must be quoted) without a window. Throws Exception when the
  // process cannot be created, and when the line does not fit the 1024-unit
  // buffer the system is given.
  void Start(const std::wstring& commandLine);

  // One blocking read of at most 1024 bytes of standard output. False when
  // nothing could be read (the pipe broke once the child and every process
  // holding its output had ended). The bytes up to the first zero byte are
  // converted with `codePage`; a failed conversion gives an empty text.
  bool ReadChunk(UINT codePage, std::wstring* text);

  // True while the child's exit code reads STILL_ACTIVE.
  bool IsRunning() const;
  // Waits for the child without a time limit.
  void WaitForExit();
  // Closes the process and thread handles and every pipe end still open.
  void Close();

  DWORD ProcessId() const { return processId_; }
  // The command line as it was handed to the system.
  const wchar_t* CommandLine() const { return commandLine_; }

 private:
  wchar_t commandLine_[kCommandLineUnits] = {};
  ScopedHandle stdErr_;  // the null device, inheritable
  AnonymousPipe stdOut_;
  AnonymousPipe stdIn_;
  ScopedHandle process_;
  ScopedHandle thread_;
  DWORD processId_ = 0;
  DWORD threadId_ = 0;
};

// A started child, or null when its pipes or its process could not be made
// (the runners report that as a launch failure).
std::unique_ptr<ChildProcess> StartChildProcess(const std::wstring& commandLine);

// Called with the text of each chunk; returns 0 until the chunk holds the
// child's final state, non-zero from then on.
using ChunkParser = std::function<int(const std::wstring& chunk)>;

// The package runner's loop: read a chunk and parse it; stop at once when the
// parser returns non-zero; otherwise stop one iteration after the child was
// first seen ended, so that last read drains what it printed. Sleeps 100 ms
// per iteration. Each chunk is decoded with `codePage` as it is when the chunk
// is read (the parser may change it). True when the loop ended because the
// child ended, false when the parser reported a final state.
bool ReadUntilFinalState(ChildProcess& child, const UINT& codePage, const ChunkParser& parse);

// The uninstaller runner's loop: no read at all when the child has already
// ended; otherwise read and parse until the child is seen ended, whatever the
// parser returns. True when some chunk made the parser return non-zero.
bool ReadUntilExit(ChildProcess& child, const UINT& codePage, const ChunkParser& parse);

}  // namespace Utils
