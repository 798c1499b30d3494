#include "skinui/attribute_values.h"

#include <cwchar>

namespace SkinUI {

int ParseInt(const wchar_t* text) {
  if (text == nullptr) return 0;
  return static_cast<int>(std::wcstol(text, nullptr, 10));
}

int ParseIntList(const wchar_t* text, int* values, int count) {
  for (int i = 0; i < count; ++i) values[i] = 0;
  if (text == nullptr) return 0;
  const wchar_t* p = text;
  int read = 0;
  for (int i = 0; i < count && *p != 0; ++i) {
    wchar_t* end = nullptr;
    values[i] = static_cast<int>(std::wcstol(p, &end, 10));
    ++read;
    p = end;
    // One separator, whatever it is; never past the end of the text.
    if (*p != 0) ++p;
  }
  return read;
}

RECT ParseRect(const wchar_t* text) {
  int v[4];
  ParseIntList(text, v, 4);
  return RECT{v[0], v[1], v[2], v[3]};
}

SIZE ParseSize(const wchar_t* text) {
  int v[2];
  ParseIntList(text, v, 2);
  return SIZE{v[0], v[1]};
}

DWORD ParseColor(const wchar_t* text) {
  if (text == nullptr) return 0;
  if (*text == L'#') ++text;
  return static_cast<DWORD>(std::wcstoul(text, nullptr, 16));
}

bool ParseBool(const wchar_t* text) { return text != nullptr && std::wcscmp(text, L"true") == 0; }

}  // namespace SkinUI
