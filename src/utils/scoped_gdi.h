// Owners for GDI objects and device contexts: bitmaps, fonts, pens, brushes,
// regions, memory DCs, window DCs, and the restorer of an object selected
// into a DC. Built on Utils::ScopedObject (scoped.h): release() hands the raw
// value to a new owner.
#pragma once

#include <windows.h>

#include <utility>

#include "utils/scoped.h"

namespace Utils {

template <typename T>
struct GdiObjectTraits {
  static T Invalid() { return nullptr; }
  static bool IsValid(T h) { return h != nullptr; }
  static void Close(T h) { ::DeleteObject(h); }
};
using ScopedBitmap = ScopedObject<HBITMAP, GdiObjectTraits<HBITMAP>>;
using ScopedFont = ScopedObject<HFONT, GdiObjectTraits<HFONT>>;
using ScopedPen = ScopedObject<HPEN, GdiObjectTraits<HPEN>>;
using ScopedBrush = ScopedObject<HBRUSH, GdiObjectTraits<HBRUSH>>;
using ScopedRegion = ScopedObject<HRGN, GdiObjectTraits<HRGN>>;

// A DC made by CreateCompatibleDC or CreateDC.
struct MemoryDCTraits {
  static HDC Invalid() { return nullptr; }
  static bool IsValid(HDC h) { return h != nullptr; }
  static void Close(HDC h) { ::DeleteDC(h); }
};
using ScopedMemoryDC = ScopedObject<HDC, MemoryDCTraits>;

// A DC obtained with GetDC, given back with ReleaseDC to the same window.
class ScopedWindowDC {
 public:
  ScopedWindowDC() = default;
  explicit ScopedWindowDC(HWND window) : window_(window), dc_(::GetDC(window)) {}
  ~ScopedWindowDC() { reset(); }
  ScopedWindowDC(const ScopedWindowDC&) = delete;
  ScopedWindowDC& operator=(const ScopedWindowDC&) = delete;
  ScopedWindowDC(ScopedWindowDC&& other) noexcept
      : window_(std::exchange(other.window_, nullptr)), dc_(std::exchange(other.dc_, nullptr)) {}
  ScopedWindowDC& operator=(ScopedWindowDC&& other) noexcept {
    if (this != &other) {
      reset();
      window_ = std::exchange(other.window_, nullptr);
      dc_ = std::exchange(other.dc_, nullptr);
    }
    return *this;
  }

  HDC get() const { return dc_; }
  HWND window() const { return window_; }
  explicit operator bool() const { return dc_ != nullptr; }
  void reset() {
    if (dc_ != nullptr) ::ReleaseDC(window_, dc_);
    dc_ = nullptr;
    window_ = nullptr;
  }

 private:
  HWND window_ = nullptr;
  HDC dc_ = nullptr;
};

// Selects an object into a DC and selects the previous one back at the end of
// the scope. The object itself stays owned by the caller and must outlive
// the restorer (a GDI object cannot be deleted while it is selected).
class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ object)
      : dc_(dc), previous_(dc != nullptr && object != nullptr ? ::SelectObject(dc, object) : nullptr) {}
  ~ScopedSelectObject() {
    if (previous_ != nullptr && previous_ != HGDI_ERROR) ::SelectObject(dc_, previous_);
  }
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace Utils
