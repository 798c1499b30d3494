// Drawing routines of the skinned controls.
#include "skinui/renderer.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <cwchar>
#include <cwctype>

#include "skinui/attribute_values.h"
#include "skinui/skin_archive.h"
#include "skinui/window_manager.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace SkinUI {

namespace {

using AlphaBlendFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
using GradientFillFn = BOOL(WINAPI*)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);

struct Msimg32 {
  Utils::ScopedLibrary library;
  AlphaBlendFn alphaBlend = nullptr;
  GradientFillFn gradientFill = nullptr;
  Msimg32() : library(::LoadLibraryW(L"msimg32.dll")) {
    if (library) {
      alphaBlend = reinterpret_cast<AlphaBlendFn>(
          reinterpret_cast<void*>(::GetProcAddress(library.get(), "AlphaBlend")));
      gradientFill = reinterpret_cast<GradientFillFn>(
          reinterpret_cast<void*>(::GetProcAddress(library.get(), "GradientFill")));
    }
  }
};

const Msimg32& SystemFunctions() {
  static const Msimg32 functions;
  return functions;
}

std::atomic<bool> g_systemBlending{true};

AlphaBlendFn SystemAlphaBlend() { return g_systemBlending ? SystemFunctions().alphaBlend : nullptr; }
GradientFillFn SystemGradientFill() { return g_systemBlending ? SystemFunctions().gradientFill : nullptr; }

short g_hue = 180;
short g_saturation = 100;
short g_lightness = 100;

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

bool Meets(const RECT& a, const RECT& b) {
  RECT temp;
  return ::IntersectRect(&temp, &a, &b) != FALSE;
}

// A 32-bit top-down DIB section; `bits` points at its pixels.
HBITMAP CreateDib32(HDC dc, int width, int height, uint8_t** bits) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* memory = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
  if (bits != nullptr) *bits = static_cast<uint8_t*>(memory);
  return bitmap;
}

// The system blend's arithmetic in software: source-over of a (stretched)
// source with the constant alpha, per-pixel alpha when asked for. Sums
// saturate at 255, as the source may carry colour above its alpha. Both
// sides are copied into DIBs of known layout first, so any bitmap works.
void SoftwareBlend(HDC dc, const RECT& d, HDC sourceDC, const RECT& s, BLENDFUNCTION blend) {
  const int dw = Width(d), dh = Height(d), sw = Width(s), sh = Height(s);
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  uint8_t* srcBits = nullptr;
  uint8_t* bits = nullptr;
  Utils::ScopedBitmap source(CreateDib32(dc, sw, sh, &srcBits));
  Utils::ScopedBitmap target(CreateDib32(dc, dw, dh, &bits));
  Utils::ScopedMemoryDC sourceCopyDC(::CreateCompatibleDC(dc));
  Utils::ScopedMemoryDC targetDC(::CreateCompatibleDC(dc));
  if (!source || !target || !sourceCopyDC || !targetDC || srcBits == nullptr || bits == nullptr) return;
  Utils::ScopedSelectObject selectSource(sourceCopyDC.get(), source.get());
  Utils::ScopedSelectObject selectTarget(targetDC.get(), target.get());
  ::BitBlt(sourceCopyDC.get(), 0, 0, sw, sh, sourceDC, s.left, s.top, SRCCOPY);
  ::BitBlt(targetDC.get(), 0, 0, dw, dh, dc, d.left, d.top, SRCCOPY);
  ::GdiFlush();
  const unsigned constant = blend.SourceConstantAlpha;
  const bool perPixel = (blend.AlphaFormat & AC_SRC_ALPHA) != 0;
  for (int y = 0; y < dh; ++y) {
    const int sy = static_cast<int>(static_cast<int64_t>(y) * sh / dh);
    const uint8_t* srow = srcBits + static_cast<size_t>(sy) * sw * 4;
    uint8_t* drow = bits + static_cast<size_t>(y) * dw * 4;
    for (int x = 0; x < dw; ++x) {
      const int sx = static_cast<int>(static_cast<int64_t>(x) * sw / dw);
      const uint8_t* sp = srow + sx * 4;
      uint8_t* dp = drow + x * 4;
      unsigned sc[4];
      for (int c = 0; c < 4; ++c) sc[c] = sp[c] * constant / 255;
      const unsigned alpha = perPixel ? sc[3] : constant;
      for (int c = 0; c < 4; ++c) {
        const unsigned value = sc[c] + dp[c] * (255 - alpha) / 255;
        dp[c] = static_cast<uint8_t>(value > 255 ? 255 : value);
      }
    }
  }
  ::BitBlt(dc, d.left, d.top, dw, dh, targetDC.get(), 0, 0, SRCCOPY);
}

// One part of an image: blended, stretched or copied.
struct PartDrawer {
  HDC dc;
  HDC memoryDC;
  bool blend;
  BYTE fade;

  void Draw(const RECT& d, const RECT& s) const {
    if (Width(d) <= 0 || Height(d) <= 0 || Width(s) <= 0 || Height(s) <= 0) return;
    if (blend) {
      const BLENDFUNCTION function = {AC_SRC_OVER, 0, fade, AC_SRC_ALPHA};
      if (AlphaBlendFn alphaBlend = SystemAlphaBlend()) {
        alphaBlend(dc, d.left, d.top, Width(d), Height(d), memoryDC, s.left, s.top, Width(s), Height(s), function);
      } else {
        SoftwareBlend(dc, d, memoryDC, s, function);
      }
    } else if (Width(d) == Width(s) && Height(d) == Height(s)) {
      ::BitBlt(dc, d.left, d.top, Width(d), Height(d), memoryDC, s.left, s.top, SRCCOPY);
    } else {
      ::StretchBlt(dc, d.left, d.top, Width(d), Height(d), memoryDC, s.left, s.top, Width(s), Height(s), SRCCOPY);
    }
  }
};

RECT Box(int left, int top, int width, int height) { return RECT{left, top, left + width, top + height}; }

// Colour bytes of a 0xAARRGGBB value.
struct Argb {
  unsigned a, r, g, b;
  explicit Argb(DWORD c) : a(c >> 24), r((c >> 16) & 0xFF), g((c >> 8) & 0xFF), b(c & 0xFF) {}
};

void FillSolid(HDC dc, const RECT& rect, COLORREF color) {
  const COLORREF old = ::SetBkColor(dc, color);
  ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
  ::SetBkColor(dc, old);
}

// An opaque gradient from `c1` to `c2` filling `rect` of `dc`.
void FillGradient(HDC dc, const RECT& rect, DWORD c1, DWORD c2, bool vertical, int steps) {
  const Argb a(c1), b(c2);
  if (GradientFillFn gradientFill = SystemGradientFill()) {
    TRIVERTEX vertices[2] = {};
    vertices[0].x = rect.left;
    vertices[0].y = rect.top;
    vertices[0].Red = static_cast<COLOR16>(a.r << 8);
    vertices[0].Green = static_cast<COLOR16>(a.g << 8);
    vertices[0].Blue = static_cast<COLOR16>(a.b << 8);
    vertices[0].Alpha = 0xFF00;
    vertices[1].x = rect.right;
    vertices[1].y = rect.bottom;
    vertices[1].Red = static_cast<COLOR16>(b.r << 8);
    vertices[1].Green = static_cast<COLOR16>(b.g << 8);
    vertices[1].Blue = static_cast<COLOR16>(b.b << 8);
    vertices[1].Alpha = 0xFF00;
    GRADIENT_RECT mesh = {0, 1};
    gradientFill(dc, vertices, 2, &mesh, 1, vertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H);
    return;
  }
  int shift = 6;
  if (steps < 4) shift = 1;
  else if (steps < 8) shift = 2;
  else if (steps < 16) shift = 3;
  else if (steps < 32) shift = 4;
  else if (steps < 64) shift = 5;
  const int bands = 1 << shift;
  const int length = vertical ? Height(rect) : Width(rect);
  for (int i = 0; i < bands; ++i) {
    const int from = length * i / bands;
    const int to = length * (i + 1) / bands;
    if (to <= from) continue;
    auto mix = [&](unsigned x, unsigned y) {
      return static_cast<BYTE>((static_cast<int>(x) * (bands - 1 - i) + static_cast<int>(y) * i) / (bands - 1));
    };
    const COLORREF color = RGB(mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b));
    const RECT band = vertical ? RECT{rect.left, rect.top + from, rect.right, rect.top + to}
                               : RECT{rect.left + from, rect.top, rect.left + to, rect.bottom};
    FillSolid(dc, band, color);
  }
}

// Reads the value of a key='value' pair; false when the pair is incomplete.
bool ReadPair(const wchar_t*& p, std::wstring* key, std::wstring* value) {
  while (*p == L' ' || *p == L'\t' || *p == L'\r' || *p == L'\n') ++p;
  const wchar_t* start = p;
  while (*p != 0 && *p != L'=' && *p != L' ' && *p != L'\t' && *p != L'\r' && *p != L'\n') ++p;
  key->assign(start, p);
  while (*p == L' ' || *p == L'\t' || *p == L'\r' || *p == L'\n') ++p;
  if (*p != L'=') return false;
  ++p;
  while (*p == L' ' || *p == L'\t' || *p == L'\r' || *p == L'\n') ++p;
  if (*p != L'\'') return false;
  ++p;
  start = p;
  while (*p != 0 && *p != L'\'') ++p;
  if (*p != L'\'') return false;
  value->assign(start, p);
  ++p;
  return true;
}

}  // namespace

// ---- ImageDrawInfo, CRenderClip ----

void ImageDrawInfo::Reset(const std::wstring& newDescription) {
  *this = ImageDrawInfo();
  description = newDescription;
}

CRenderClip::CRenderClip(CRenderClip&& other) noexcept
    : dc_(std::exchange(other.dc_, nullptr)),
      previous_(std::move(other.previous_)),
      hadClip_(other.hadClip_) {}

CRenderClip& CRenderClip::operator=(CRenderClip&& other) noexcept {
  if (this != &other) {
    Restore();
    dc_ = std::exchange(other.dc_, nullptr);
    previous_ = std::move(other.previous_);
    hadClip_ = other.hadClip_;
  }
  return *this;
}

void CRenderClip::Restore() {
  if (dc_ == nullptr) return;
  // The region in force before, exactly: a rounded clip of an ancestor
  // survives a rectangular clip of a child.
  ::SelectClipRgn(dc_, hadClip_ ? previous_.get() : nullptr);
  previous_.reset();
  dc_ = nullptr;
}

// ---- CSkinRenderer ----

COLORREF CSkinRenderer::ToColorRef(DWORD color) {
  return RGB((color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF);
}

void CSkinRenderer::UseSystemBlending(bool enable) { g_systemBlending = enable; }
bool CSkinRenderer::HasSystemAlphaBlend() { return SystemAlphaBlend() != nullptr; }
bool CSkinRenderer::HasSystemGradientFill() { return SystemGradientFill() != nullptr; }

std::unique_ptr<ImageInfo> CSkinRenderer::LoadImage(const std::wstring& name, const std::wstring& resourceType,
                                                    DWORD mask) {
  if (name.empty()) return nullptr;
  int width = 0, height = 0;
  // RGBA, 8 bits per channel, rows top to bottom.
  std::unique_ptr<uint8_t, void (*)(void*)> decoded(nullptr, stbi_image_free);
  uint8_t colorPixel[4] = {};
  const uint8_t* rgba = nullptr;
  if (resourceType == L"*COLOR*") {
    const Argb color(ParseColor(name.c_str()));
    colorPixel[0] = static_cast<uint8_t>(color.r);
    colorPixel[1] = static_cast<uint8_t>(color.g);
    colorPixel[2] = static_cast<uint8_t>(color.b);
    colorPixel[3] = static_cast<uint8_t>(color.a);
    width = height = 1;
    rgba = colorPixel;
  } else {
    std::vector<uint8_t> bytes;
    if (!ReadImageBytes(name, resourceType, &bytes) || bytes.empty()) return nullptr;
    if (bytes.size() > 0x7FFFFFFF) return nullptr;
    int channels = 0;
    decoded.reset(stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels, 4));
    if (!decoded || width <= 0 || height <= 0) return nullptr;
    rgba = decoded.get();
  }

  auto image = std::make_unique<ImageInfo>();
  uint8_t* bits = nullptr;
  image->bitmap.reset(CreateDib32(nullptr, width, height, &bits));
  if (!image->bitmap || bits == nullptr) return nullptr;
  image->pixels = bits;
  image->width = width;
  image->height = height;
  image->resourceType = resourceType;
  image->mask = mask;
  const size_t count = static_cast<size_t>(width) * height;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* in = rgba + i * 4;
    uint8_t* out = bits + i * 4;
    const unsigned alpha = in[3];
    out[3] = in[3];
    if (alpha == 255) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
    } else {
      out[0] = static_cast<uint8_t>(in[2] * alpha / 255);
      out[1] = static_cast<uint8_t>(in[1] * alpha / 255);
      out[2] = static_cast<uint8_t>(in[0] * alpha / 255);
      image->alphaChannel = true;
    }
    // The mask compares the stored pixel with its alpha byte: a mask
    // written without one never matches.
    const DWORD stored = static_cast<DWORD>(out[3]) << 24 | static_cast<DWORD>(out[2]) << 16 |
                         static_cast<DWORD>(out[1]) << 8 | out[0];
    if (stored == mask) {
      std::memset(out, 0, 4);
      image->alphaChannel = true;
    }
  }
  return image;
}

bool CSkinRenderer::ParseImageDescription(const std::wstring& description, ImageDrawInfo* info) {
  info->parsed = true;
  if (description.empty()) return false;
  info->imageName = description;
  info->resourceType.clear();
  std::wstring resourceType;
  bool typeApplies = false;
  std::wstring key, value;
  const wchar_t* p = description.c_str();
  while (*p != 0) {
    if (!ReadPair(p, &key, &value)) break;
    if (!value.empty()) {
      if (key == L"file") {
        info->imageName = value;
      } else if (key == L"res") {
        info->imageName = value;
        typeApplies = true;
      } else if (key == L"restype") {
        resourceType = value;
      } else if (key == L"color") {
        info->imageName = value;
        resourceType = L"*COLOR*";
        typeApplies = true;
      } else if (key == L"dest") {
        info->dest = ParseRect(value.c_str());
      } else if (key == L"source") {
        info->source = ParseRect(value.c_str());
      } else if (key == L"corner" || key == L"scale9") {
        info->corner = ParseRect(value.c_str());
      } else if (key == L"mask") {
        info->mask = ParseColor(value.c_str());
      } else if (key == L"fade") {
        info->fade = static_cast<BYTE>(std::clamp(ParseInt(value.c_str()), 0, 255));
      } else if (key == L"hole") {
        info->hole = ParseBool(value.c_str());
      } else if (key == L"xtiled") {
        info->tileX = ParseBool(value.c_str());
      } else if (key == L"ytiled") {
        info->tileY = ParseBool(value.c_str());
      } else if (key == L"hsl") {
        info->colorAdjust = ParseBool(value.c_str());
      }
    }
    // Another pair follows only after a space.
    if (*p != L' ') break;
  }
  // "restype" alone does not change how a "file" is found.
  if (typeApplies) info->resourceType = resourceType;
  return true;
}

bool CSkinRenderer::DrawImageDescription(HDC dc, CWindowManagerUI* manager, const RECT& item, const RECT& paint,
                                         ImageDrawInfo& info) {
  if (info.description.empty()) return false;
  if (!info.parsed) {
    ParseImageDescription(info.description, &info);
    info.image = manager != nullptr
                     ? manager->GetOrLoadImage(info.imageName, info.resourceType, info.mask, info.colorAdjust)
                     : nullptr;
    // A failed load is not tried again on later paints.
    if (info.image == nullptr) return false;
  } else {
    if (info.image == nullptr || manager == nullptr) return false;
    // The manager's table may have replaced the image since: look it up
    // again rather than trusting the pointer of an earlier paint.
    info.image = manager->GetOrLoadImage(info.imageName, info.resourceType, info.mask, info.colorAdjust);
    if (info.image == nullptr) return false;
  }
  if (dc == nullptr) return true;

  const ImageInfo& image = *info.image;
  RECT source = info.source;
  if (source.left == 0 && source.top == 0 && source.right == 0 && source.bottom == 0) {
    source = RECT{0, 0, image.width, image.height};
  }
  source.right = std::min<LONG>(source.right, image.width);
  source.bottom = std::min<LONG>(source.bottom, image.height);

  RECT dest = item;
  if (info.dest.left != 0 || info.dest.top != 0 || info.dest.right != 0 || info.dest.bottom != 0) {
    dest.left = item.left + info.dest.left;
    dest.top = item.top + info.dest.top;
    dest.right = std::min<LONG>(item.right, item.left + info.dest.right);
    dest.bottom = std::min<LONG>(item.bottom, item.top + info.dest.bottom);
  }
  if (!Meets(dest, item) || !Meets(dest, paint)) return false;
  DrawImage(dc, image.bitmap.get(), dest, paint, source, info.corner, image.alphaChannel, info.fade, info.hole,
            info.tileX, info.tileY);
  return true;
}

void CSkinRenderer::DrawImage(HDC dc, HBITMAP bitmap, const RECT& rc, const RECT& paint, const RECT& part,
                              const RECT& corners, bool alphaChannel, BYTE fade, bool hole, bool tileX, bool tileY) {
  if (dc == nullptr || bitmap == nullptr) return;
  Utils::ScopedMemoryDC memoryDC(::CreateCompatibleDC(dc));
  if (!memoryDC) return;
  Utils::ScopedSelectObject select(memoryDC.get(), bitmap);
  ::SetStretchBltMode(dc, COLORONCOLOR);
  const bool blend = alphaChannel || fade < 255;
  const PartDrawer drawer{dc, memoryDC.get(), blend, fade};
  const LONG cl = corners.left, ct = corners.top, cr = corners.right, cb = corners.bottom;
  const bool noCorners = cl == 0 && ct == 0 && cr == 0 && cb == 0;

  // Same size and no corners: copy only the part that is being painted.
  if (!blend && noCorners && Width(rc) == Width(part) && Height(rc) == Height(part)) {
    RECT visible;
    if (::IntersectRect(&visible, &rc, &paint)) {
      ::BitBlt(dc, visible.left, visible.top, Width(visible), Height(visible), memoryDC.get(),
               part.left + visible.left - rc.left, part.top + visible.top - rc.top, SRCCOPY);
    }
    return;
  }

  if (!hole) {
    const RECT d{rc.left + cl, rc.top + ct, rc.right - cr, rc.bottom - cb};
    const RECT s{part.left + cl, part.top + ct, part.right - cr, part.bottom - cb};
    const int sw = Width(s), sh = Height(s);
    if (Width(d) > 0 && Height(d) > 0 && sw > 0 && sh > 0 && Meets(d, paint)) {
      if (!tileX && !tileY) {
        drawer.Draw(d, s);
      } else if (tileX && tileY) {
        for (LONG y = d.top; y < d.bottom; y += sh) {
          const int h = std::min<LONG>(sh, d.bottom - y);
          for (LONG x = d.left; x < d.right; x += sw) {
            const int w = std::min<LONG>(sw, d.right - x);
            const RECT tile = Box(x, y, w, h);
            if (Meets(tile, paint)) drawer.Draw(tile, Box(s.left, s.top, w, h));
          }
        }
      } else if (tileX) {
        for (LONG x = d.left; x < d.right; x += sw) {
          const int w = std::min<LONG>(sw, d.right - x);
          const RECT tile{x, d.top, x + w, d.bottom};
          if (Meets(tile, paint)) drawer.Draw(tile, Box(s.left, s.top, w, sh));
        }
      } else {
        for (LONG y = d.top; y < d.bottom; y += sh) {
          const int h = std::min<LONG>(sh, d.bottom - y);
          const RECT tile{d.left, y, d.right, y + h};
          if (Meets(tile, paint)) drawer.Draw(tile, Box(s.left, s.top, sw, h));
        }
      }
    }
  }

  auto drawPart = [&](const RECT& d, const RECT& s) {
    if (Width(d) > 0 && Height(d) > 0 && Meets(d, paint)) drawer.Draw(d, s);
  };
  const LONG dw = Width(rc), dh = Height(rc), sw = Width(part), sh = Height(part);
  // Corners unscaled, edges stretched along their length.
  if (cl > 0 && ct > 0) drawPart(Box(rc.left, rc.top, cl, ct), Box(part.left, part.top, cl, ct));
  if (ct > 0) {
    drawPart(Box(rc.left + cl, rc.top, dw - cl - cr, ct), Box(part.left + cl, part.top, sw - cl - cr, ct));
  }
  if (cr > 0 && ct > 0) drawPart(Box(rc.right - cr, rc.top, cr, ct), Box(part.right - cr, part.top, cr, ct));
  if (cl > 0) {
    drawPart(Box(rc.left, rc.top + ct, cl, dh - ct - cb), Box(part.left, part.top + ct, cl, sh - ct - cb));
  }
  if (cr > 0) {
    drawPart(Box(rc.right - cr, rc.top + ct, cr, dh - ct - cb),
             Box(part.right - cr, part.top + ct, cr, sh - ct - cb));
  }
  if (cl > 0 && cb > 0) drawPart(Box(rc.left, rc.bottom - cb, cl, cb), Box(part.left, part.bottom - cb, cl, cb));
  if (cb > 0) {
    drawPart(Box(rc.left + cl, rc.bottom - cb, dw - cl - cr, cb),
             Box(part.left + cl, part.bottom - cb, sw - cl - cr, cb));
  }
  if (cr > 0 && cb > 0) {
    drawPart(Box(rc.right - cr, rc.bottom - cb, cr, cb), Box(part.right - cr, part.bottom - cb, cr, cb));
  }
}

void CSkinRenderer::DrawColor(HDC dc, const RECT& rect, DWORD color) {
  if (dc == nullptr || (color >> 24) == 0 || Width(rect) <= 0 || Height(rect) <= 0) return;
  if ((color >> 24) == 0xFF) {
    FillSolid(dc, rect, ToColorRef(color));
    return;
  }
  // The colour value goes into the pixel unchanged (not premultiplied).
  uint8_t* bits = nullptr;
  Utils::ScopedBitmap pixel(CreateDib32(dc, 1, 1, &bits));
  if (!pixel || bits == nullptr) return;
  std::memcpy(bits, &color, 4);
  const BLENDFUNCTION function = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  Utils::ScopedMemoryDC memoryDC(::CreateCompatibleDC(dc));
  if (!memoryDC) return;
  Utils::ScopedSelectObject select(memoryDC.get(), pixel.get());
  if (AlphaBlendFn alphaBlend = SystemAlphaBlend()) {
    alphaBlend(dc, rect.left, rect.top, Width(rect), Height(rect), memoryDC.get(), 0, 0, 1, 1, function);
  } else {
    SoftwareBlend(dc, rect, memoryDC.get(), RECT{0, 0, 1, 1}, function);
  }
}

void CSkinRenderer::DrawGradient(HDC dc, const RECT& rect, DWORD color1, DWORD color2, bool vertical, int steps) {
  if (dc == nullptr || Width(rect) <= 0 || Height(rect) <= 0) return;
  const unsigned alpha = ((color1 >> 24) + (color2 >> 24)) / 2;
  if (alpha == 0) return;
  if (alpha == 255) {
    FillGradient(dc, rect, color1, color2, vertical, steps);
    return;
  }
  // Drawn opaque into a bitmap of its own, then blended with the mean alpha.
  uint8_t* bits = nullptr;
  Utils::ScopedBitmap buffer(CreateDib32(dc, Width(rect), Height(rect), &bits));
  Utils::ScopedMemoryDC memoryDC(::CreateCompatibleDC(dc));
  if (!buffer || !memoryDC) return;
  Utils::ScopedSelectObject select(memoryDC.get(), buffer.get());
  const RECT local{0, 0, Width(rect), Height(rect)};
  FillGradient(memoryDC.get(), local, color1, color2, vertical, steps);
  const BLENDFUNCTION function = {AC_SRC_OVER, 0, static_cast<BYTE>(alpha), 0};
  if (AlphaBlendFn alphaBlend = SystemAlphaBlend()) {
    alphaBlend(dc, rect.left, rect.top, Width(rect), Height(rect), memoryDC.get(), 0, 0, Width(rect), Height(rect),
               function);
  } else {
    SoftwareBlend(dc, rect, memoryDC.get(), local, function);
  }
}

void CSkinRenderer::DrawLine(HDC dc, const RECT& rect, int width, DWORD color, int style) {
  if (dc == nullptr) return;
  Utils::ScopedPen pen(::CreatePen(style, width, ToColorRef(color)));
  if (!pen) return;
  Utils::ScopedSelectObject select(dc, pen.get());
  POINT previous;
  ::MoveToEx(dc, rect.left, rect.top, &previous);
  ::LineTo(dc, rect.right, rect.bottom);
  ::MoveToEx(dc, previous.x, previous.y, nullptr);
}

void CSkinRenderer::DrawRect(HDC dc, const RECT& rect, int width, DWORD color, int style) {
  if (dc == nullptr) return;
  Utils::ScopedPen pen(::CreatePen(style | PS_INSIDEFRAME, width, ToColorRef(color)));
  if (!pen) return;
  Utils::ScopedSelectObject selectPen(dc, pen.get());
  Utils::ScopedSelectObject selectBrush(dc, ::GetStockObject(HOLLOW_BRUSH));
  ::Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
}

void CSkinRenderer::DrawRoundRect(HDC dc, const RECT& rect, int width, int ellipseWidth, int ellipseHeight,
                                  DWORD color, int style) {
  if (dc == nullptr) return;
  Utils::ScopedPen pen(::CreatePen(style | PS_INSIDEFRAME, width, ToColorRef(color)));
  if (!pen) return;
  Utils::ScopedSelectObject selectPen(dc, pen.get());
  Utils::ScopedSelectObject selectBrush(dc, ::GetStockObject(HOLLOW_BRUSH));
  ::RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, ellipseWidth, ellipseHeight);
}

void CSkinRenderer::DrawText(HDC dc, CWindowManagerUI* manager, RECT& rect, const std::wstring& text, DWORD color,
                             int font, UINT style) {
  if (dc == nullptr) return;
  const std::wstring shown = CWindowManagerUI::ProcessLanguageTokens(text);
  const int oldMode = ::SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColor = ::SetTextColor(dc, ToColorRef(color));
  HFONT hfont = manager != nullptr ? manager->GetFont(font) : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
  Utils::ScopedSelectObject select(dc, hfont);
  ::DrawTextW(dc, shown.c_str(), -1, &rect, style | DT_NOPREFIX);
  ::SetTextColor(dc, oldColor);
  ::SetBkMode(dc, oldMode);
}

void CSkinRenderer::DrawMarkupText(HDC dc, CWindowManagerUI* manager, RECT& rect, const std::wstring& text,
                                   DWORD color, std::vector<RECT>* links, int font, UINT style) {
  if (links != nullptr) links->clear();
  std::wstring plain;
  plain.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'<') {
      const size_t close = text.find(L'>', i);
      const bool tag = close != std::wstring::npos && i + 1 < text.size() &&
                       (std::iswalpha(text[i + 1]) || text[i + 1] == L'/');
      if (tag) {
        if (text.compare(i, close - i + 1, L"<n>") == 0) plain += L"\r\n";
        i = close;
        continue;
      }
    }
    plain += text[i];
  }
  DrawText(dc, manager, rect, plain, color, font, style);
}

SIZE CSkinRenderer::GetTextSize(HDC dc, CWindowManagerUI* manager, const std::wstring& text, int font) {
  SIZE size = {0, 0};
  if (dc == nullptr) return size;
  HFONT hfont = manager != nullptr ? manager->GetFont(font) : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
  Utils::ScopedSelectObject select(dc, hfont);
  ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  return size;
}

CRenderClip CSkinRenderer::ClipToRect(HDC dc, const RECT& rect) {
  CRenderClip clip;
  if (dc == nullptr) return clip;
  clip.dc_ = dc;
  clip.previous_.reset(::CreateRectRgn(0, 0, 0, 0));
  clip.hadClip_ = clip.previous_ && ::GetClipRgn(dc, clip.previous_.get()) == 1;
  ::IntersectClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
  return clip;
}

CRenderClip CSkinRenderer::ClipToRoundRect(HDC dc, const RECT& rect, const RECT& item, int ellipseWidth,
                                           int ellipseHeight) {
  CRenderClip clip;
  if (dc == nullptr) return clip;
  clip.dc_ = dc;
  clip.previous_.reset(::CreateRectRgn(0, 0, 0, 0));
  clip.hadClip_ = clip.previous_ && ::GetClipRgn(dc, clip.previous_.get()) == 1;
  Utils::ScopedRegion region(::CreateRectRgnIndirect(&rect));
  Utils::ScopedRegion round(
      ::CreateRoundRectRgn(item.left, item.top, item.right + 1, item.bottom + 1, ellipseWidth, ellipseHeight));
  if (region && round) {
    ::CombineRgn(region.get(), region.get(), round.get(), RGN_AND);
    ::ExtSelectClipRgn(dc, region.get(), RGN_AND);
  }
  return clip;
}

namespace {

void RgbToHsl(DWORD color, float* h, float* s, float* l) {
  const float r = ((color >> 16) & 0xFF) / 255.0f, g = ((color >> 8) & 0xFF) / 255.0f, b = (color & 0xFF) / 255.0f;
  const float maxc = std::max({r, g, b}), minc = std::min({r, g, b});
  *l = (maxc + minc) / 2;
  const float delta = maxc - minc;
  if (delta == 0) {
    *h = 0;
    *s = 0;
    return;
  }
  *s = *l < 0.5f ? delta / (maxc + minc) : delta / (2 - maxc - minc);
  float hue;
  if (maxc == r) hue = (g - b) / delta + (g < b ? 6 : 0);
  else if (maxc == g) hue = (b - r) / delta + 2;
  else hue = (r - g) / delta + 4;
  *h = hue * 60;
}

float HueToChannel(float p, float q, float t) {
  if (t < 0) t += 1;
  if (t > 1) t -= 1;
  if (t < 1.0f / 6) return p + (q - p) * 6 * t;
  if (t < 0.5f) return q;
  if (t < 2.0f / 3) return p + (q - p) * (2.0f / 3 - t) * 6;
  return p;
}

DWORD HslToRgb(DWORD alpha, float h, float s, float l) {
  float r, g, b;
  if (s == 0) {
    r = g = b = l;
  } else {
    const float q = l < 0.5f ? l * (1 + s) : l + s - l * s;
    const float p = 2 * l - q;
    const float t = h / 360;
    r = HueToChannel(p, q, t + 1.0f / 3);
    g = HueToChannel(p, q, t);
    b = HueToChannel(p, q, t - 1.0f / 3);
  }
  auto byte = [](float v) { return static_cast<DWORD>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255)); };
  return alpha | byte(r) << 16 | byte(g) << 8 | byte(b);
}

}  // namespace

DWORD CSkinRenderer::AdjustColor(DWORD color, short hue, short saturation, short lightness) {
  if (hue == 180 && saturation == 100 && lightness == 100) return color;
  float h, s, l;
  RgbToHsl(color, &h, &s, &l);
  h += hue - 180;
  while (h >= 360) h -= 360;
  while (h < 0) h += 360;
  s = std::clamp(s * saturation / 100.0f, 0.0f, 1.0f);
  l = std::clamp(l * lightness / 100.0f, 0.0f, 1.0f);
  return HslToRgb(color & 0xFF000000, h, s, l);
}

void CSkinRenderer::SetColorAdjustment(short hue, short saturation, short lightness) {
  g_hue = hue;
  g_saturation = saturation;
  g_lightness = lightness;
}

void CSkinRenderer::GetColorAdjustment(short* hue, short* saturation, short* lightness) {
  if (hue != nullptr) *hue = g_hue;
  if (saturation != nullptr) *saturation = g_saturation;
  if (lightness != nullptr) *lightness = g_lightness;
}

}  // namespace SkinUI
