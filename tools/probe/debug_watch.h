// Runs a program as a debuggee and reports what it writes with
// OutputDebugString and the thread names it announces. Shared by tvprobe's
// "watch" subcommand and the tests that assert trace lines of real processes.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace Probe {

struct DebugEvents {
  // One text per OutputDebugString call, exactly as written (line ends kept).
  std::function<void(const std::wstring& text)> onDebugString;
  // A thread announced its name with the debugger convention (0x406D1388).
  std::function<void(DWORD threadId, const std::string& name)> onThreadName;
};

struct DebugRunResult {
  bool started = false;   // false: CreateProcess failed (error holds why)
  bool timedOut = false;  // the program was terminated at the time limit
  DWORD processId = 0;
  DWORD exitCode = 0;
  DWORD error = 0;
};

// Starts `commandLine` under the debugger on the calling thread and returns
// when the program has ended. A program still running after `timeoutMs` is
// terminated.
DebugRunResult RunUnderDebugger(const std::wstring& commandLine, const DebugEvents& events,
                                DWORD timeoutMs = INFINITE);

// Quotes one argument so that CommandLineToArgvW gives it back unchanged.
std::wstring QuoteArgument(const std::wstring& argument);
// Joins arguments into a command line with QuoteArgument.
std::wstring JoinCommandLine(const std::vector<std::wstring>& arguments);

}  // namespace Probe
