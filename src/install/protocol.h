// The line protocol the package and the uninstaller print on their standard
// output: "Key=value" lines, split out of each chunk the runner reads, and the
// value forms the keys use (rest of the line, number, integer, word).
#pragma once

#include <string>
#include <vector>

namespace Install {

// Longest text value reported; the rest of a longer line is dropped.
constexpr size_t kMaxTextChars = 771;

// The pieces of a chunk between line feeds, the last one included even
// without a line feed. Nothing is carried over between chunks.
std::vector<std::wstring> SplitLines(const std::wstring& chunk);

// True when `line` begins with `key` at its first character (case-sensitive).
bool StartsWith(const std::wstring& line, const std::wstring& key);

// The rest of a line as a text value: at most kMaxTextChars characters,
// without the carriage return of a CR LF line end (a path or message never
// ends in one).
std::wstring TextValue(const std::wstring& rest);

// A decimal number at the start of `rest` (leading blanks skipped); 0.0 when
// there is none.
double NumberValue(const std::wstring& rest);

// A decimal integer at the start of `rest` (leading blanks skipped); 0 when
// there is none.
int IntegerValue(const std::wstring& rest);

}  // namespace Install
