// Owners for the raw handles of the system and the C runtime: kernel handles,
// registry keys, C files, libraries and heap blocks. Each closes what it holds
// when it goes out of scope; release() hands the raw value to a new owner.
#pragma once

#include <windows.h>

#include <cstdio>
#include <utility>

namespace Utils {

// Generic single-owner wrapper. Traits supply Invalid() and Close(value).
template <typename T, typename Traits>
class ScopedObject {
 public:
  ScopedObject() : value_(Traits::Invalid()) {}
  explicit ScopedObject(T value) : value_(value) {}
  ~ScopedObject() { reset(); }
  ScopedObject(const ScopedObject&) = delete;
  ScopedObject& operator=(const ScopedObject&) = delete;
  ScopedObject(ScopedObject&& other) noexcept : value_(other.release()) {}
  ScopedObject& operator=(ScopedObject&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  T get() const { return value_; }
  bool valid() const { return Traits::IsValid(value_); }
  explicit operator bool() const { return valid(); }

  // The caller becomes the owner of the returned value.
  T release() { return std::exchange(value_, Traits::Invalid()); }
  void reset(T value = Traits::Invalid()) {
    if (Traits::IsValid(value_)) Traits::Close(value_);
    value_ = value;
  }
  // For out-parameters of system calls: closes the current value first.
  T* receive() {
    reset();
    return &value_;
  }

 private:
  T value_;
};

struct HandleTraits {
  static HANDLE Invalid() { return nullptr; }
  static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { ::CloseHandle(h); }
};
using ScopedHandle = ScopedObject<HANDLE, HandleTraits>;

struct RegKeyTraits {
  static HKEY Invalid() { return nullptr; }
  static bool IsValid(HKEY h) { return h != nullptr; }
  static void Close(HKEY h) { ::RegCloseKey(h); }
};
using ScopedRegKey = ScopedObject<HKEY, RegKeyTraits>;

struct FileTraits {
  static FILE* Invalid() { return nullptr; }
  static bool IsValid(FILE* f) { return f != nullptr; }
  static void Close(FILE* f) { std::fclose(f); }
};
using ScopedFile = ScopedObject<FILE*, FileTraits>;

struct LibraryTraits {
  static HMODULE Invalid() { return nullptr; }
  static bool IsValid(HMODULE h) { return h != nullptr; }
  static void Close(HMODULE h) { ::FreeLibrary(h); }
};
using ScopedLibrary = ScopedObject<HMODULE, LibraryTraits>;

struct LocalMemoryTraits {
  static HLOCAL Invalid() { return nullptr; }
  static bool IsValid(HLOCAL h) { return h != nullptr; }
  static void Close(HLOCAL h) { ::LocalFree(h); }
};
using ScopedLocalMemory = ScopedObject<HLOCAL, LocalMemoryTraits>;

}  // namespace Utils
