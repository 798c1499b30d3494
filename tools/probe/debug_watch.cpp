#include "debug_watch.h"

#include <vector>

#include "utils/scoped.h"
#include "utils/strings.h"

namespace Probe {

namespace {

constexpr DWORD kSetThreadNameException = 0x406D1388;

std::wstring ReadDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info) {
  const size_t charSize = info.fUnicode ? sizeof(wchar_t) : sizeof(char);
  std::vector<char> bytes(static_cast<size_t>(info.nDebugStringLength) * charSize + sizeof(wchar_t), 0);
  SIZE_T read = 0;
  if (!::ReadProcessMemory(process, info.lpDebugStringData, bytes.data(), info.nDebugStringLength * charSize, &read))
    return std::wstring();
  if (info.fUnicode) return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()));
  // Narrow strings arrive in the debuggee's ANSI code page, which is ours.
  return Utils::ToWide(std::string(bytes.data()), CP_ACP);
}

std::string ReadThreadName(HANDLE process, const EXCEPTION_RECORD& record) {
  if (record.NumberParameters < 3 || record.ExceptionInformation[0] != 0x1000) return std::string();
  std::string name;
  auto address = reinterpret_cast<const char*>(record.ExceptionInformation[1]);
  for (size_t i = 0; i < 256; ++i) {
    char c = 0;
    SIZE_T read = 0;
    if (!::ReadProcessMemory(process, address + i, &c, 1, &read) || read != 1 || c == 0) break;
    name += c;
  }
  return name;
}

}  // namespace

DebugRunResult RunUnderDebugger(const std::wstring& commandLine, const DebugEvents& events, DWORD timeoutMs) {
  DebugRunResult result;
  std::wstring mutableLine = commandLine;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr,
                        nullptr, &startup, &process)) {
    result.error = ::GetLastError();
    return result;
  }
  result.started = true;
  result.processId = process.dwProcessId;
  Utils::ScopedHandle processHandle(process.hProcess);
  Utils::ScopedHandle threadHandle(process.hThread);

  const ULONGLONG deadline = timeoutMs == INFINITE ? 0 : ::GetTickCount64() + timeoutMs;
  bool sawLoaderBreakpoint = false;
  for (;;) {
    DWORD wait = INFINITE;
    if (deadline != 0) {
      const ULONGLONG now = ::GetTickCount64();
      wait = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    }
    DEBUG_EVENT event{};
    if (!::WaitForDebugEvent(&event, wait)) {
      if (!result.timedOut) {
        result.timedOut = true;
        ::TerminateProcess(processHandle.get(), 1);
      }
      continue;  // the exit event follows
    }
    DWORD continueStatus = DBG_CONTINUE;
    switch (event.dwDebugEventCode) {
      case CREATE_PROCESS_DEBUG_EVENT:
        if (event.u.CreateProcessInfo.hFile) ::CloseHandle(event.u.CreateProcessInfo.hFile);
        break;
      case LOAD_DLL_DEBUG_EVENT:
        if (event.u.LoadDll.hFile) ::CloseHandle(event.u.LoadDll.hFile);
        break;
      case OUTPUT_DEBUG_STRING_EVENT:
        if (events.onDebugString) events.onDebugString(ReadDebugString(processHandle.get(), event.u.DebugString));
        break;
      case EXCEPTION_DEBUG_EVENT: {
        const EXCEPTION_RECORD& record = event.u.Exception.ExceptionRecord;
        if (record.ExceptionCode == EXCEPTION_BREAKPOINT && !sawLoaderBreakpoint) {
          sawLoaderBreakpoint = true;  // the loader's initial breakpoint
        } else {
          if (record.ExceptionCode == kSetThreadNameException && event.u.Exception.dwFirstChance &&
              events.onThreadName)
            events.onThreadName(static_cast<DWORD>(record.ExceptionInformation[2]),
                                ReadThreadName(processHandle.get(), record));
          // Let the program handle its own exceptions (it swallows the naming one).
          continueStatus = DBG_EXCEPTION_NOT_HANDLED;
        }
        break;
      }
      default:
        break;
    }
    if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) {
      result.exitCode = event.u.ExitProcess.dwExitCode;
      ::ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
      break;
    }
    ::ContinueDebugEvent(event.dwProcessId, event.dwThreadId, continueStatus);
  }
  return result;
}

std::wstring QuoteArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
  std::wstring quoted = L"\"";
  for (size_t i = 0;; ++i) {
    size_t backslashes = 0;
    while (i < argument.size() && argument[i] == L'\\') {
      ++i;
      ++backslashes;
    }
    if (i == argument.size()) {
      quoted.append(backslashes * 2, L'\\');  // before the closing quote
      break;
    }
    if (argument[i] == L'"') {
      quoted.append(backslashes * 2 + 1, L'\\');
    } else {
      quoted.append(backslashes, L'\\');
    }
    quoted += argument[i];
  }
  quoted += L'"';
  return quoted;
}

std::wstring JoinCommandLine(const std::vector<std::wstring>& arguments) {
  std::wstring line;
  for (const auto& argument : arguments) {
    if (!line.empty()) line += L' ';
    line += QuoteArgument(argument);
  }
  return line;
}

}  // namespace Probe
