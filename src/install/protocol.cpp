#include "install/protocol.h"

#include <cwchar>

namespace Install {

std::vector<std::wstring> SplitLines(const std::wstring& chunk) {
  std::vector<std::wstring> lines;
  size_t start = 0;
  for (;;) {
    const size_t end = chunk.find(L'\n', start);
    if (end == std::wstring::npos) {
      lines.push_back(chunk.substr(start));
      return lines;
    }
    lines.push_back(chunk.substr(start, end - start));
    start = end + 1;
  }
}

bool StartsWith(const std::wstring& line, const std::wstring& key) { return line.compare(0, key.size(), key) == 0; }

std::wstring TextValue(const std::wstring& rest) {
  std::wstring text = rest;
  if (!text.empty() && text.back() == L'\r') text.pop_back();
  if (text.size() > kMaxTextChars) text.resize(kMaxTextChars);
  return text;
}

double NumberValue(const std::wstring& rest) {
  double value = 0.0;
  if (std::swscanf(rest.c_str(), L"%lf", &value) != 1) return 0.0;
  return value;
}

int IntegerValue(const std::wstring& rest) {
  int value = 0;
  if (std::swscanf(rest.c_str(), L"%d", &value) != 1) return 0;
  return value;
}

}  // namespace Install
