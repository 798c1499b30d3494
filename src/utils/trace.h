// Trace lines on the debugger output channel: the emitter DebugTrace and the
// TRACE statements every component uses. A line is the fixed prefix (process,
// thread, local time, function, source line), the statement's own message and
// a line end. There is no log file, level or switch: a statement always emits.
//
// Formats follow the Windows C runtime: in these wide formats "%s" takes a
// wide string. Narrow text (URLs, library messages, paths) is converted to
// wide with the ANSI code page before it is passed.
#pragma once

#include <windows.h>

#include <string>

namespace Utils {

// Formats the wide format and its arguments and hands the line to
// OutputDebugStringW. A line whose buffer cannot be allocated is dropped.
void DebugTrace(const wchar_t* format, ...);

// The whole format of one statement: prefix, message, then CR LF when
// `lineEnd` is set and the message does not end in a line feed already.
// Empty when it cannot be allocated.
std::wstring TraceFormat(const wchar_t* message, bool lineEnd) noexcept;

// "Class::Method" out of the compiler's pretty function name, e.g.
// "virtual int CurlClient::Start()" gives "CurlClient::Start".
std::wstring TraceFunctionName(const char* prettyFunction) noexcept;

}  // namespace Utils

#define TV_TRACE_STATEMENT(lineEnd, message, ...)                                          \
  do {                                                                                     \
    SYSTEMTIME tv_now_;                                                                    \
    ::GetLocalTime(&tv_now_);                                                              \
    const std::wstring tv_format_ = ::Utils::TraceFormat(message, lineEnd);                \
    const std::wstring tv_function_ = ::Utils::TraceFunctionName(__PRETTY_FUNCTION__);     \
    if (!tv_format_.empty())                                                               \
      ::Utils::DebugTrace(tv_format_.c_str(), static_cast<int>(::GetCurrentProcessId()),   \
                          static_cast<int>(::GetCurrentThreadId()), int{tv_now_.wYear},    \
                          int{tv_now_.wMonth}, int{tv_now_.wDay}, int{tv_now_.wHour},      \
                          int{tv_now_.wMinute}, int{tv_now_.wSecond},                      \
                          int{tv_now_.wMilliseconds}, tv_function_.c_str(),                \
                          static_cast<int>(__LINE__), ##__VA_ARGS__);                      \
  } while (0)

// A trace line ending in CR LF (unless the message brings its own line end).
#define TRACE(message, ...) TV_TRACE_STATEMENT(true, message, ##__VA_ARGS__)
// A trace line with no line end of its own.
#define TRACE_NOEOL(message, ...) TV_TRACE_STATEMENT(false, message, ##__VA_ARGS__)
