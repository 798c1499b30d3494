#include "utils/trace.h"

#include <cstdarg>
#include <cstdlib>
#include <cwchar>
#include <new>

namespace Utils {

namespace {
constexpr wchar_t kPrefix[] =
    L"<P%05d><T%05d><%04d-%02d-%02d %02d:%02d:%02d.%03d>(%s)<%04d>: ";
}

void DebugTrace(const wchar_t* format, ...) {
  // _vscwprintf/_vsnwprintf are the Windows runtime's own formatters, so "%s"
  // takes a wide string whatever the MinGW printf mode is.
  va_list args;
  va_start(args, format);
  const int length = _vscwprintf(format, args);
  va_end(args);
  if (length < 0) return;

  auto* buffer = static_cast<wchar_t*>(std::malloc((static_cast<size_t>(length) + 2) * sizeof(wchar_t)));
  if (buffer == nullptr) return;
  va_start(args, format);
  _vsnwprintf(buffer, static_cast<size_t>(length) + 1, format, args);
  va_end(args);
  buffer[length] = L'\0';
  ::OutputDebugStringW(buffer);
  std::free(buffer);
}

std::wstring TraceFormat(const wchar_t* message, bool lineEnd) noexcept {
  try {
    std::wstring format(kPrefix);
    format += message;
    if (lineEnd && (format.empty() || format.back() != L'\n')) format += L"\r\n";
    return format;
  } catch (const std::bad_alloc&) {
    return std::wstring();
  }
}

std::wstring TraceFunctionName(const char* pretty) noexcept {
  try {
    const std::string text(pretty);
    // The parameter list is the first "(" outside template brackets.
    size_t open = std::string::npos;
    int depth = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      const char c = text[i];
      if (c == '<') ++depth;
      else if (c == '>' && depth > 0) --depth;
      else if (c == '(' && depth == 0) { open = i; break; }
    }
    if (open == std::string::npos) open = text.size();
    // The name starts after the last blank outside template brackets.
    size_t start = 0;
    depth = 0;
    for (size_t i = open; i-- > 0;) {
      const char c = text[i];
      if (c == '>') ++depth;
      else if (c == '<' && depth > 0) --depth;
      else if (c == ' ' && depth == 0) { start = i + 1; break; }
    }
    std::wstring name;
    name.reserve(open - start);
    for (size_t i = start; i < open; ++i) name += static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
    return name;
  } catch (const std::bad_alloc&) {
    return std::wstring();
  }
}

}  // namespace Utils
