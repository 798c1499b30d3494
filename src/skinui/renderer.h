// Render engine: CSkinRenderer, the stateless drawing routines every control
// paints with. Owns the decoded image record (ImageInfo: a premultiplied
// 32-bit DIB), the parsed form of an image description (ImageDrawInfo),
// nine-slice image drawing, colour and gradient fills, lines and frames,
// text, and the clip objects (CRenderClip) that restore the previous clip.
//
// "AlphaBlend" and "GradientFill" come from msimg32.dll, looked up at run
// time; without them the same results are computed in software.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "utils/scoped_gdi.h"

// The SDK's names for these are macros choosing the A/W function; the
// renderer's own operations carry the plain names.
#undef DrawText
#undef LoadImage

namespace SkinUI {

class CWindowManagerUI;

// One decoded image, owned by a manager's image table.
struct ImageInfo {
  Utils::ScopedBitmap bitmap;       // 32-bit top-down DIB section
  uint8_t* pixels = nullptr;        // its memory: BGRA premultiplied by alpha
  std::vector<uint8_t> sourcePixels;  // copy kept only with colour adjustment
  int width = 0;
  int height = 0;
  bool alphaChannel = false;  // some pixel is not opaque or was masked out
  bool colorAdjust = false;
  std::wstring resourceType;
  DWORD mask = 0;
};

// The parsed form of one image attribute of a control.
struct ImageDrawInfo {
  std::wstring description;  // as written in the skin
  std::wstring imageName;
  std::wstring resourceType;  // passed to the manager only with "res" or "color"
  bool parsed = false;        // set at the first attempt, which is never repeated
  const ImageInfo* image = nullptr;  // the image of the last draw; null when missing
  RECT dest = {};     // relative to the control; all 0: the whole control
  RECT source = {};   // all 0: the whole image
  RECT corner = {};   // nine-slice border widths
  BYTE fade = 255;
  bool hole = false;
  bool tileX = false;
  bool tileY = false;
  DWORD mask = 0;
  bool colorAdjust = false;

  // Back to the defaults, with a new description.
  void Reset(const std::wstring& newDescription = std::wstring());
};

// Restores the DC's previous clip region when it goes out of scope. Clip
// objects of one DC must end in the reverse order of their creation, as
// nested scopes do.
class CRenderClip {
 public:
  CRenderClip() = default;
  ~CRenderClip() { Restore(); }
  CRenderClip(CRenderClip&& other) noexcept;
  CRenderClip& operator=(CRenderClip&& other) noexcept;
  CRenderClip(const CRenderClip&) = delete;
  CRenderClip& operator=(const CRenderClip&) = delete;
  void Restore();

 private:
  friend class CSkinRenderer;
  HDC dc_ = nullptr;
  Utils::ScopedRegion previous_;  // the clip in force before, when there was one
  bool hadClip_ = false;
};

// Text drawing flags the controls use (the system's DT_* values).
enum TextStyle : UINT {
  kTextLeft = DT_LEFT,
  kTextCenter = DT_CENTER,
  kTextRight = DT_RIGHT,
  kTextTop = DT_TOP,
  kTextVCenter = DT_VCENTER,
  kTextBottom = DT_BOTTOM,
  kTextWordBreak = DT_WORDBREAK,
  kTextSingleLine = DT_SINGLELINE,
  kTextEndEllipsis = DT_END_ELLIPSIS,
  kTextCalcRect = DT_CALCRECT,
};

class CSkinRenderer {
 public:
  // Decodes an image into a premultiplied DIB: from the skin files (or a
  // Win32 resource of `resourceType`, or a file path as last resort), or
  // for the type "*COLOR*" a 1 x 1 image of the hexadecimal colour `name`.
  // Pixels equal to `mask` (as 0xAARRGGBB) become fully transparent.
  static std::unique_ptr<ImageInfo> LoadImage(const std::wstring& name, const std::wstring& resourceType, DWORD mask);

  // Fills `info` from an image description ("a.png" or "file='a.png'
  // dest='0,0,10,10' ..."). Marks it parsed. False for an empty description.
  static bool ParseImageDescription(const std::wstring& description, ImageDrawInfo* info);
  // Parses on first use, gets the image through the manager and draws it
  // over `item` where it meets `paint`. A null DC only parses and loads.
  // False when there is nothing to draw.
  static bool DrawImageDescription(HDC dc, CWindowManagerUI* manager, const RECT& item, const RECT& paint,
                                   ImageDrawInfo& info);
  // Nine-slice drawing of `source` of the bitmap into `dest`.
  static void DrawImage(HDC dc, HBITMAP bitmap, const RECT& dest, const RECT& paint, const RECT& source,
                        const RECT& corners, bool alphaChannel, BYTE fade = 255, bool hole = false,
                        bool tileX = false, bool tileY = false);

  // Colours are 0xAARRGGBB; alpha 0 draws nothing.
  static void DrawColor(HDC dc, const RECT& rect, DWORD color);
  static void DrawGradient(HDC dc, const RECT& rect, DWORD color1, DWORD color2, bool vertical, int steps);
  static void DrawLine(HDC dc, const RECT& rect, int width, DWORD color, int style = PS_SOLID);
  static void DrawRect(HDC dc, const RECT& rect, int width, DWORD color, int style = PS_SOLID);
  static void DrawRoundRect(HDC dc, const RECT& rect, int width, int ellipseWidth, int ellipseHeight, DWORD color,
                            int style = PS_SOLID);

  // Language tokens replaced, transparent background, the manager's font
  // `font` (its default font when there is none), "&" shown as written.
  // With kTextCalcRect `rect` receives the measured rectangle.
  static void DrawText(HDC dc, CWindowManagerUI* manager, RECT& rect, const std::wstring& text, DWORD color,
                       int font, UINT style);
  // Markup-text mode: "<n>" breaks the line, other tags ("<b>", "<a>",
  // "</a>", ...) are left out of the drawn text; text without tags draws as
  // DrawText does. No link areas are reported.
  static void DrawMarkupText(HDC dc, CWindowManagerUI* manager, RECT& rect, const std::wstring& text, DWORD color,
                             std::vector<RECT>* links, int font, UINT style);
  static SIZE GetTextSize(HDC dc, CWindowManagerUI* manager, const std::wstring& text, int font);

  static CRenderClip ClipToRect(HDC dc, const RECT& rect);
  static CRenderClip ClipToRoundRect(HDC dc, const RECT& rect, const RECT& item, int ellipseWidth,
                                     int ellipseHeight);

  // Hue 0..360, saturation and lightness 0..200; (180, 100, 100) changes nothing.
  static DWORD AdjustColor(DWORD color, short hue, short saturation, short lightness);
  // The process-wide adjustment used by controls with colour adjustment on.
  static void SetColorAdjustment(short hue, short saturation, short lightness);
  static void GetColorAdjustment(short* hue, short* saturation, short* lightness);

  // 0xAARRGGBB to the system's 0x00BBGGRR.
  static COLORREF ToColorRef(DWORD color);

  // False makes the renderer use its software blend and banded gradients
  // even where msimg32 offers "AlphaBlend" and "GradientFill" (diagnostics).
  static void UseSystemBlending(bool enable);
  static bool HasSystemAlphaBlend();
  static bool HasSystemGradientFill();
};

}  // namespace SkinUI
