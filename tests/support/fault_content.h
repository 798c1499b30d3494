// The content of every file the download tests' fault server serves: byte i
// of a file is ContentByte(i), so tests know what a download must produce
// without shipping fixture files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace FaultContent {

inline unsigned char ContentByte(uint64_t i) {
  uint64_t x = i * 0x9E3779B97F4A7C15ull;
  x ^= x >> 29;
  return static_cast<unsigned char>(x ^ (i >> 12));
}

inline void Fill(uint64_t first, char* out, size_t count) {
  for (size_t k = 0; k < count; ++k) out[k] = static_cast<char>(ContentByte(first + k));
}

inline std::string Make(uint64_t size) {
  std::string bytes(static_cast<size_t>(size), '\0');
  Fill(0, bytes.data(), bytes.size());
  return bytes;
}

}  // namespace FaultContent
