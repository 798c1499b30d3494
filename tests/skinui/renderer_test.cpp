// The render engine, checked pixel by pixel in a 32-bit DIB: image decoding,
// the image description grammar, nine-slice drawing, colours, gradients,
// frames, text and clipping. Blends are checked with msimg32 and with the
// software fallback, which must give the same pixels.
#include <gtest/gtest.h>

#include <set>

#include "skin_test_support.h"
#include "skinui/renderer.h"

using namespace SkinUI;
using SkinTest::Dib32;

namespace {

class Renderer : public ::testing::Test {
 protected:
  void SetUp() override { SkinTest::UseFixtureSkin(); }
  void TearDown() override { CSkinRenderer::UseSystemBlending(true); }
  CWindowManagerUI manager;
};

// Both ways of blending: the system's and the software fallback.
const bool kSystemBlending[] = {true, false};

DWORD Pixel(const ImageInfo& image, int x, int y) {
  return reinterpret_cast<const uint32_t*>(image.pixels)[y * image.width + x];
}

bool Near(DWORD a, DWORD b, int tolerance = 1) {
  for (int shift = 0; shift < 24; shift += 8) {
    if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > tolerance) {
      return false;
    }
  }
  return true;
}

std::string Hex(DWORD value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08lX", static_cast<unsigned long>(value));
  return text;
}

TEST_F(Renderer, DecodedPixelsArePremultipliedBgra) {
  auto translucent = CSkinRenderer::LoadImage(L"res\\common\\minbtn1.png", L"", 0);
  ASSERT_NE(translucent, nullptr);
  EXPECT_TRUE(translucent->alphaChannel);
  EXPECT_EQ(Hex(Pixel(*translucent, 0, 0)), Hex(0x80643219));  // (200,100,50) at 128
  EXPECT_EQ(Hex(Pixel(*translucent, 1, 0)), Hex(0x00000000));  // white at 0
  EXPECT_EQ(Hex(Pixel(*translucent, 0, 1)), Hex(0xFF0A141E));  // opaque: unchanged
  EXPECT_EQ(Hex(Pixel(*translucent, 1, 1)), Hex(0x40400000));  // red at 64

  auto opaque = CSkinRenderer::LoadImage(L"res\\mainWnd\\bg1.png", L"", 0);
  ASSERT_NE(opaque, nullptr);
  EXPECT_FALSE(opaque->alphaChannel);
  EXPECT_EQ(Hex(Pixel(*opaque, 3, 2)), Hex(0xFF5A7864));

  auto color = CSkinRenderer::LoadImage(L"#FF112233", L"*COLOR*", 0);
  ASSERT_NE(color, nullptr);
  EXPECT_EQ(color->width, 1);
  EXPECT_EQ(Hex(Pixel(*color, 0, 0)), Hex(0xFF112233));
}

TEST_F(Renderer, AMaskMatchesOnlyWithItsAlphaByte) {
  auto unmasked = CSkinRenderer::LoadImage(L"res\\mask.png", L"", 0x00FF0000);  // "#FF0000"
  ASSERT_NE(unmasked, nullptr);
  EXPECT_FALSE(unmasked->alphaChannel);
  EXPECT_EQ(Hex(Pixel(*unmasked, 0, 0)), Hex(0xFFFF0000));

  auto masked = CSkinRenderer::LoadImage(L"res\\mask.png", L"", 0xFFFF0000);  // "#FFFF0000"
  ASSERT_NE(masked, nullptr);
  EXPECT_TRUE(masked->alphaChannel);
  EXPECT_EQ(Hex(Pixel(*masked, 0, 0)), Hex(0));
  EXPECT_EQ(Hex(Pixel(*masked, 1, 0)), Hex(0xFF00FF00));

  ImageDrawInfo info;
  CSkinRenderer::ParseImageDescription(L"file='res\\mask.png' mask='#FF0000'", &info);
  EXPECT_EQ(info.mask, 0x00FF0000u);
}

TEST_F(Renderer, TheDescriptionGrammar) {
  struct Case {
    const wchar_t* description;
    const wchar_t* name;
    const wchar_t* type;
    RECT dest, source, corner;
    int fade;
    bool hole, tileX, tileY;
    DWORD mask;
  } cases[] = {
      {L"res\\mainWnd\\bg1.png", L"res\\mainWnd\\bg1.png", L"", {}, {}, {}, 255, false, false, false, 0},
      {L"file='res\\common\\minbtn1.png' fade='255'", L"res\\common\\minbtn1.png", L"", {}, {}, {}, 255, false, false,
       false, 0},
      {L"file='res\\mainWnd\\Cb1.png' dest='0,2,15,16' ", L"res\\mainWnd\\Cb1.png", L"", {0, 2, 15, 16}, {}, {}, 255,
       false, false, false, 0},
      {L"file='res\\mainWnd\\installPrg2.png'  corner='2,2,2,2' mask='#FF0000' fade='255' hole='false' "
       L"xtiled='false' ytiled='true'",
       L"res\\mainWnd\\installPrg2.png", L"", {}, {}, {2, 2, 2, 2}, 255, false, false, true, 0x00FF0000},
      {L"file='a.png' source='1,2,3,4' scale9='5,6,7,8' fade='40' hole='true' xtiled='true'", L"a.png", L"", {},
       {1, 2, 3, 4}, {5, 6, 7, 8}, 40, true, true, false, 0},
      // Only a space goes on to the next pair.
      {L"file='a.png',fade='10'", L"a.png", L"", {}, {}, {}, 255, false, false, false, 0},
      {L"file='a.png' fade=10 hole='true'", L"a.png", L"", {}, {}, {}, 255, false, false, false, 0},
      {L"file='a.png' fade '10'", L"a.png", L"", {}, {}, {}, 255, false, false, false, 0},
      {L"file='a.png' fade='10", L"a.png", L"", {}, {}, {}, 255, false, false, false, 0},
      // "restype" counts only with "res"; "color" makes the name a colour.
      {L"file='a.png' restype='PNG'", L"a.png", L"", {}, {}, {}, 255, false, false, false, 0},
      {L"res='200' restype='PNG'", L"200", L"PNG", {}, {}, {}, 255, false, false, false, 0},
      {L"color='#FF00FF00'", L"#FF00FF00", L"*COLOR*", {}, {}, {}, 255, false, false, false, 0},
      // Empty values are ignored; the whole text stays the name.
      {L"file=''", L"file=''", L"", {}, {}, {}, 255, false, false, false, 0},
      {L"fade='300' file='b.png' hole='TRUE'", L"b.png", L"", {}, {}, {}, 255, false, false, false, 0},
  };
  for (const auto& c : cases) {
    ImageDrawInfo info;
    info.Reset(c.description);
    EXPECT_TRUE(CSkinRenderer::ParseImageDescription(c.description, &info));
    const std::string what = TestSupport::Utf8(c.description);
    EXPECT_TRUE(info.parsed) << what;
    EXPECT_EQ(info.imageName, c.name) << what;
    EXPECT_EQ(info.resourceType, c.type) << what;
    EXPECT_TRUE(::EqualRect(&info.dest, &c.dest)) << what;
    EXPECT_TRUE(::EqualRect(&info.source, &c.source)) << what;
    EXPECT_TRUE(::EqualRect(&info.corner, &c.corner)) << what;
    EXPECT_EQ(info.fade, c.fade) << what;
    EXPECT_EQ(info.hole, c.hole) << what;
    EXPECT_EQ(info.tileX, c.tileX) << what;
    EXPECT_EQ(info.tileY, c.tileY) << what;
    EXPECT_EQ(info.mask, c.mask) << what;
  }
  ImageDrawInfo empty;
  EXPECT_FALSE(CSkinRenderer::ParseImageDescription(L"", &empty));
}

// The colour the nine-slice test image has at (x, y) of a w x h destination
// with 2-pixel borders.
DWORD NineColor(int x, int y, int w, int h) {
  static const DWORD kParts[3][3] = {{0xFF0000, 0x00FF00, 0x0000FF},
                                     {0xFFFF00, 0x808080, 0x00FFFF},
                                     {0xFF00FF, 0xFFFFFF, 0x402010}};
  auto part = [](int v, int size) { return v < 2 ? 0 : (v < size - 2 ? 1 : 2); };
  return kParts[part(y, h)][part(x, w)];
}

TEST_F(Renderer, AnImageWithAlphaIsBlendedPixelByPixel) {
  for (bool system : kSystemBlending) {
    CSkinRenderer::UseSystemBlending(system);
    ImageDrawInfo info;
    info.Reset(L"file='res\\common\\minbtn1.png' fade='255'");
    Dib32 dib(2, 2, 0xFFFFFFFF);
    const RECT item = {0, 0, 2, 2};
    ASSERT_TRUE(CSkinRenderer::DrawImageDescription(dib.dc(), &manager, item, item, info));
    // (200,100,50) at alpha 128 over white: premultiplied source plus 127/255 of white.
    EXPECT_TRUE(Near(dib.Rgb(0, 0), 0xE3B198)) << Hex(dib.Rgb(0, 0)) << " system " << system;
    EXPECT_EQ(dib.Rgb(1, 0), 0xFFFFFFu);  // fully transparent
    EXPECT_EQ(dib.Rgb(0, 1), 0x0A141Eu);  // opaque
    EXPECT_TRUE(Near(dib.Rgb(1, 1), 0xFFBFBF)) << Hex(dib.Rgb(1, 1));  // red at 64
  }
}

TEST_F(Renderer, NineSliceBordersStaySharpWhenStretched) {
  auto image = CSkinRenderer::LoadImage(L"res\\nine.png", L"", 0);
  ASSERT_NE(image, nullptr);
  const RECT dest = {5, 5, 45, 35};
  const RECT corners = {2, 2, 2, 2};
  const RECT source = {0, 0, 9, 9};
  struct Way {
    bool alphaPath;
    bool system;
  } ways[] = {{false, true}, {true, true}, {true, false}};
  for (const Way& way : ways) {
    CSkinRenderer::UseSystemBlending(way.system);
    Dib32 dib(50, 40, 0xFF000080);
    CSkinRenderer::DrawImage(dib.dc(), image->bitmap.get(), dest, RECT{0, 0, 50, 40}, source, corners, way.alphaPath);
    int wrong = 0;
    for (int y = 0; y < 40; ++y) {
      for (int x = 0; x < 50; ++x) {
        const bool inside = x >= 5 && x < 45 && y >= 5 && y < 35;
        const DWORD expected = inside ? NineColor(x - 5, y - 5, 40, 30) : 0x000080;
        if (dib.Rgb(x, y) != expected && ++wrong < 5) {
          ADD_FAILURE() << "at " << x << "," << y << " " << Hex(dib.Rgb(x, y)) << " expected " << Hex(expected)
                        << " alpha path " << way.alphaPath << " system " << way.system;
        }
      }
    }
    EXPECT_EQ(wrong, 0);
  }
}

TEST_F(Renderer, AHoleLeavesTheCentreAndOnlyThePaintRectangleIsDrawn) {
  ImageDrawInfo info;
  info.Reset(L"file='res\\nine.png' corner='2,2,2,2' hole='true'");
  Dib32 dib(30, 30, 0xFF000080);
  const RECT item = {0, 0, 30, 30};
  ASSERT_TRUE(CSkinRenderer::DrawImageDescription(dib.dc(), &manager, item, item, info));
  EXPECT_EQ(dib.Rgb(15, 15), 0x000080u);  // the hole
  EXPECT_EQ(dib.Rgb(0, 0), 0xFF0000u);
  EXPECT_EQ(dib.Rgb(15, 0), 0x00FF00u);
  EXPECT_EQ(dib.Rgb(29, 29), 0x402010u);

  // Parts that miss the paint rectangle are not drawn at all.
  Dib32 partial(30, 30, 0xFF000080);
  ImageDrawInfo full;
  full.Reset(L"file='res\\nine.png' corner='2,2,2,2'");
  ASSERT_TRUE(CSkinRenderer::DrawImageDescription(partial.dc(), &manager, item, RECT{0, 0, 10, 10}, full));
  EXPECT_EQ(partial.Rgb(0, 0), 0xFF0000u);
  EXPECT_EQ(partial.Rgb(29, 29), 0x000080u);
  EXPECT_EQ(partial.Rgb(0, 29), 0x000080u);
}

TEST_F(Renderer, TilingRepeatsTheCentreAndCutsTheLastCopy) {
  struct Case {
    const wchar_t* description;
    int width, height;
    std::function<DWORD(int, int)> expected;
  } cases[] = {
      {L"file='res\\tile.png' xtiled='true'", 10, 2,
       [](int x, int) {
         const DWORD columns[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00};
         return columns[x % 4];
       }},
      {L"file='res\\nine.png' ytiled='true'", 9, 20, [](int x, int y) { return NineColor(x, y % 9, 9, 9); }},
      {L"file='res\\nine.png' xtiled='true' ytiled='true'", 20, 20,
       [](int x, int y) { return NineColor(x % 9, y % 9, 9, 9); }},
  };
  for (const auto& c : cases) {
    ImageDrawInfo info;
    info.Reset(c.description);
    Dib32 dib(c.width, c.height, 0xFF000080);
    const RECT item = {0, 0, c.width, c.height};
    ASSERT_TRUE(CSkinRenderer::DrawImageDescription(dib.dc(), &manager, item, item, info));
    int wrong = 0;
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) {
        if (dib.Rgb(x, y) != c.expected(x, y)) ++wrong;
      }
    }
    EXPECT_EQ(wrong, 0) << TestSupport::Utf8(c.description);
  }
}

TEST_F(Renderer, FadeScalesTheImage) {
  for (bool system : kSystemBlending) {
    CSkinRenderer::UseSystemBlending(system);
    ImageDrawInfo info;
    info.Reset(L"color='#FFC86432' fade='128'");
    Dib32 dib(4, 4, 0xFF000000);
    const RECT item = {0, 0, 4, 4};
    ASSERT_TRUE(CSkinRenderer::DrawImageDescription(dib.dc(), &manager, item, item, info));
    EXPECT_TRUE(Near(dib.Rgb(2, 2), 0x643219)) << Hex(dib.Rgb(2, 2)) << " system " << system;
  }
}

TEST_F(Renderer, TheDestinationIsRelativeAndCutToTheControl) {
  ImageDrawInfo info;
  info.Reset(L"file='res\\mainWnd\\bg1.png' dest='0,2,15,16' ");
  Dib32 dib(30, 30, 0xFF000080);
  const RECT item = {10, 10, 20, 20};
  const RECT all = {0, 0, 30, 30};
  ASSERT_TRUE(CSkinRenderer::DrawImageDescription(dib.dc(), &manager, item, all, info));
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 30; ++x) {
      const bool drawn = x >= 10 && x < 20 && y >= 12 && y < 20;
      EXPECT_EQ(dib.Rgb(x, y) != 0x000080u, drawn) << x << "," << y;
    }
  }
}

TEST_F(Renderer, AMissingImageDrawsNothingAndIsNotTriedAgain) {
  TestSupport::TempDir dir(L"skinrender");
  CWindowManagerUI::SetResourceArchive(L"", false);
  CWindowManagerUI::SetResourcePath(dir.path());
  ImageDrawInfo info;
  info.Reset(L"file='later.png'");
  Dib32 dib(4, 4, 0xFF000080);
  const RECT item = {0, 0, 4, 4};
  EXPECT_FALSE(CSkinRenderer::DrawImageDescription(dib.dc(), &manager, item, item, info));
  EXPECT_TRUE(info.parsed);
  // The file appears now; the description has given up on it.
  ASSERT_TRUE(TestSupport::WriteBytes(dir / L"later.png",
                                      TestSupport::ReadBytes(TestSupport::BinDir() +
                                                             L"..\\tests\\skinui\\fixture\\skin\\res\\nine.png")));
  EXPECT_FALSE(CSkinRenderer::DrawImageDescription(dib.dc(), &manager, item, item, info));
  EXPECT_EQ(dib.Rgb(1, 1), 0x000080u);
  ImageDrawInfo fresh;
  fresh.Reset(L"file='later.png'");
  EXPECT_TRUE(CSkinRenderer::DrawImageDescription(dib.dc(), &manager, item, item, fresh));
}

TEST_F(Renderer, AnOpaqueColourFillsExactlyItsRectangle) {
  ImageDrawInfo info;
  info.Reset(L"color='#FF336699'");
  Dib32 dib(10, 10, 0xFF000000);
  const RECT item = {2, 3, 7, 8};
  ASSERT_TRUE(CSkinRenderer::DrawImageDescription(dib.dc(), &manager, item, RECT{0, 0, 10, 10}, info));
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 10; ++x) {
      const bool inside = x >= 2 && x < 7 && y >= 3 && y < 8;
      EXPECT_EQ(dib.Rgb(x, y), inside ? 0x336699u : 0u) << x << "," << y;
    }
  }
  Dib32 direct(10, 10, 0xFF000000);
  CSkinRenderer::DrawColor(direct.dc(), item, 0xFF336699);
  EXPECT_EQ(direct.Rgb(2, 3), 0x336699u);
  EXPECT_EQ(direct.Rgb(7, 8), 0u);
}

TEST_F(Renderer, ATranslucentColourIsBlendedFromItsUnchangedValue) {
  for (bool system : kSystemBlending) {
    CSkinRenderer::UseSystemBlending(system);
    // Over black: a premultiplied red at alpha 0x80 would give 0x80; the
    // value itself is added instead, so red stays at 0xFF.
    Dib32 black(4, 4, 0xFF000000);
    CSkinRenderer::DrawColor(black.dc(), RECT{0, 0, 4, 4}, 0x80FF0000);
    EXPECT_EQ(Hex(black.Rgb(1, 1)), Hex(0xFF0000)) << "system " << system;
    // Over white the rest of the background shows through. (Red itself
    // would pass 255 there, where blends differ in how they cut it off.)
    Dib32 white(4, 4, 0xFFFFFFFF);
    CSkinRenderer::DrawColor(white.dc(), RECT{0, 0, 4, 4}, 0x80FF0000);
    EXPECT_TRUE(Near(white.Rgb(1, 1) & 0xFFFF, 0x7F7F)) << Hex(white.Rgb(1, 1)) << " system " << system;

    Dib32 untouched(4, 4, 0xFF123456);
    CSkinRenderer::DrawColor(untouched.dc(), RECT{0, 0, 4, 4}, 0x00FF0000);
    EXPECT_EQ(untouched.At(1, 1), 0xFF123456u);
  }
}

TEST_F(Renderer, GradientsRunFromTheFirstColourToTheSecond) {
  for (bool system : kSystemBlending) {
    CSkinRenderer::UseSystemBlending(system);
    Dib32 dib(4, 64, 0xFF000000);
    CSkinRenderer::DrawGradient(dib.dc(), RECT{0, 0, 4, 64}, 0xFF000000, 0xFF0000FF, true, 16);
    EXPECT_LE(dib.Rgb(1, 0) & 0xFF, 0x10u) << "system " << system;
    EXPECT_GE(dib.Rgb(1, 63) & 0xFF, 0xEFu) << "system " << system;
    std::set<DWORD> colors;
    DWORD previous = 0;
    for (int y = 0; y < 64; ++y) {
      EXPECT_GE(dib.Rgb(1, y), previous);
      previous = dib.Rgb(1, y);
      colors.insert(previous);
      EXPECT_EQ(dib.Rgb(0, y), dib.Rgb(3, y));  // vertical: rows are uniform
    }
    // Without the system call the gradient is made of 2^k bands (16 for 16 steps).
    if (!system) {
      EXPECT_EQ(colors.size(), 16u);
    }

    Dib32 none(4, 4, 0xFF123456);
    CSkinRenderer::DrawGradient(none.dc(), RECT{0, 0, 4, 4}, 0x00FF0000, 0x000000FF, true, 16);
    EXPECT_EQ(none.At(2, 2), 0xFF123456u);
    // Translucent: blended with the mean alpha.
    Dib32 half(4, 4, 0xFF000000);
    CSkinRenderer::DrawGradient(half.dc(), RECT{0, 0, 4, 4}, 0x80FFFFFF, 0x80FFFFFF, false, 16);
    EXPECT_TRUE(Near(half.Rgb(2, 2), 0x808080, 2)) << Hex(half.Rgb(2, 2)) << " system " << system;
  }
}

TEST_F(Renderer, FramesAndLines) {
  Dib32 rect(20, 20, 0xFF000000);
  CSkinRenderer::DrawRect(rect.dc(), RECT{2, 2, 12, 12}, 2, 0xFFFF0000);
  EXPECT_EQ(rect.Rgb(2, 2), 0xFF0000u);
  EXPECT_EQ(rect.Rgb(3, 7), 0xFF0000u);   // the pen stays inside the rectangle
  EXPECT_EQ(rect.Rgb(11, 7), 0xFF0000u);
  EXPECT_EQ(rect.Rgb(4, 7), 0u);          // hollow
  EXPECT_EQ(rect.Rgb(12, 7), 0u);
  EXPECT_EQ(rect.Rgb(1, 1), 0u);

  Dib32 round(20, 20, 0xFF000000);
  CSkinRenderer::DrawRoundRect(round.dc(), RECT{0, 0, 20, 20}, 1, 10, 10, 0xFF00FF00);
  EXPECT_EQ(round.Rgb(10, 0), 0x00FF00u);
  EXPECT_EQ(round.Rgb(0, 0), 0u);  // the corner is cut
  EXPECT_EQ(round.Rgb(10, 10), 0u);

  Dib32 line(20, 20, 0xFF000000);
  CSkinRenderer::DrawLine(line.dc(), RECT{0, 5, 19, 5}, 1, 0xFF0000FF);
  EXPECT_EQ(line.Rgb(10, 5), 0x0000FFu);
  EXPECT_EQ(line.Rgb(10, 6), 0u);
}

TEST_F(Renderer, TextShowsTheAmpersandAsWritten) {
  const RECT box = {0, 0, 120, 30};
  auto draw = [&](Dib32& dib, bool ours, UINT flags, const std::wstring& text) {
    RECT r = box;
    if (ours) {
      CSkinRenderer::DrawText(dib.dc(), &manager, r, text, 0xFFFFFFFF, -1, flags);
    } else {
      Utils::ScopedSelectObject font(dib.dc(), manager.GetFont(-1));
      ::SetBkMode(dib.dc(), TRANSPARENT);
      ::SetTextColor(dib.dc(), RGB(255, 255, 255));
      ::DrawTextW(dib.dc(), text.c_str(), -1, &r, flags);
    }
  };
  const UINT style = DT_SINGLELINE | DT_VCENTER;
  Dib32 ours(120, 30), noPrefix(120, 30), mnemonic(120, 30);
  draw(ours, true, style, L"A&B");
  draw(noPrefix, false, style | DT_NOPREFIX, L"A&B");
  draw(mnemonic, false, style, L"A&B");
  auto same = [](const Dib32& a, const Dib32& b) {
    return std::equal(a.bits(), a.bits() + a.width() * a.height(), b.bits(), [](uint32_t x, uint32_t y) {
      return (x & 0xFFFFFF) == (y & 0xFFFFFF);
    });
  };
  ::GdiFlush();
  EXPECT_TRUE(same(ours, noPrefix));
  EXPECT_FALSE(same(ours, mnemonic));
  // Something was drawn at all.
  EXPECT_FALSE(same(ours, Dib32(120, 30)));

  // Language tokens are replaced before drawing.
  CWindowManagerUI::AddLanguageString(7, L"A&B");
  Dib32 token(120, 30);
  draw(token, true, style, L"%{7}");
  EXPECT_TRUE(same(token, ours));

  SIZE one = CSkinRenderer::GetTextSize(ours.dc(), &manager, L"W", -1);
  SIZE two = CSkinRenderer::GetTextSize(ours.dc(), &manager, L"WW", -1);
  EXPECT_GT(one.cx, 0);
  EXPECT_EQ(two.cx, 2 * one.cx);
  EXPECT_EQ(one.cy, two.cy);
}

TEST_F(Renderer, ClipObjectsRestoreTheClipInForceBefore) {
  Dib32 dib(20, 20, 0xFF000000);
  const RECT all = {0, 0, 20, 20};
  HBRUSH red = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
  {
    CRenderClip round = CSkinRenderer::ClipToRoundRect(dib.dc(), all, all, 12, 12);
    {
      CRenderClip inner = CSkinRenderer::ClipToRect(dib.dc(), RECT{0, 0, 10, 10});
      ::FillRect(dib.dc(), &all, red);
      EXPECT_EQ(dib.Rgb(5, 5), 0xFFFFFFu);
      EXPECT_EQ(dib.Rgb(15, 15), 0u);
    }
    // The rounded clip is still in force after the inner clip ended.
    dib.Fill(0xFF000000);
    ::FillRect(dib.dc(), &all, red);
    EXPECT_EQ(dib.Rgb(10, 10), 0xFFFFFFu);
    EXPECT_EQ(dib.Rgb(0, 0), 0u);
    EXPECT_EQ(dib.Rgb(19, 19), 0u);
  }
  dib.Fill(0xFF000000);
  ::FillRect(dib.dc(), &all, red);
  EXPECT_EQ(dib.Rgb(0, 0), 0xFFFFFFu);
}

TEST_F(Renderer, ColourAdjustment) {
  EXPECT_EQ(CSkinRenderer::AdjustColor(0xFF123456, 180, 100, 100), 0xFF123456u);
  EXPECT_TRUE(Near(CSkinRenderer::AdjustColor(0xFFFF0000, 300, 100, 100), 0x00FF00));  // hue + 120
  EXPECT_TRUE(Near(CSkinRenderer::AdjustColor(0x80FF0000, 180, 0, 100), 0x808080));    // no saturation
  EXPECT_EQ(CSkinRenderer::AdjustColor(0x80FF0000, 180, 0, 100) >> 24, 0x80u);
  EXPECT_EQ(CSkinRenderer::ToColorRef(0xFF112233), RGB(0x11, 0x22, 0x33));
}

}  // namespace
