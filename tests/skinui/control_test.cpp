// The control base: its attribute vocabulary, geometry rules, events,
// delegate lists, tree searches and its paint order, with painting checked
// in a 32-bit DIB.
#include <gtest/gtest.h>

#include "skin_test_support.h"
#include "skinui/control.h"

using namespace SkinUI;
using SkinTest::Dib32;
using SkinTest::Log;

namespace {

struct AttributeCase {
  const wchar_t* name;
  const wchar_t* value;
  std::function<void(CControlUI&)> check;
};

TEST(ControlAttributes, TheVocabulary) {
  const AttributeCase cases[] = {
      {L"pos", L"0,0,304,0",
       [](CControlUI& c) {
         EXPECT_EQ(c.GetFixedWidth(), 304);
         EXPECT_EQ(c.GetFixedHeight(), 0);
       }},
      {L"pos", L"0,0,0,62",
       [](CControlUI& c) {
         EXPECT_EQ(c.GetFixedWidth(), 0);
         EXPECT_EQ(c.GetFixedHeight(), 62);
       }},
      {L"pos", L"10,20,110,70",
       [](CControlUI& c) {
         EXPECT_EQ(c.GetFixedPosition().x, 10);
         EXPECT_EQ(c.GetFixedPosition().y, 20);
         EXPECT_EQ(c.GetFixedWidth(), 100);
         EXPECT_EQ(c.GetFixedHeight(), 50);
       }},
      // Short or malformed lists read what they can; the rest stays 0.
      {L"pos", L"10",
       [](CControlUI& c) {
         EXPECT_EQ(c.GetFixedPosition().x, 10);
         EXPECT_EQ(c.GetFixedWidth(), 0);
       }},
      {L"pos", L"abc", [](CControlUI& c) { EXPECT_EQ(c.GetFixedPosition().x, 0); }},
      {L"padding", L"10,0,0,0", [](CControlUI& c) { EXPECT_EQ(c.GetPadding().left, 10); }},
      {L"bkcolor", L"#FF123456", [](CControlUI& c) { EXPECT_EQ(c.GetBkColor(), 0xFF123456u); }},
      {L"bkcolor1", L"FF123456", [](CControlUI& c) { EXPECT_EQ(c.GetBkColor(), 0xFF123456u); }},
      {L"bkcolor", L"#00000000", [](CControlUI& c) { EXPECT_EQ(c.GetBkColor(), 0u); }},
      {L"bkcolor2", L"#80FFFFFF", [](CControlUI& c) { EXPECT_EQ(c.GetBkColor2(), 0x80FFFFFFu); }},
      {L"bkcolor3", L"#FF000001", [](CControlUI& c) { EXPECT_EQ(c.GetBkColor3(), 0xFF000001u); }},
      {L"bordercolor", L"#FFDDDDDD", [](CControlUI& c) { EXPECT_EQ(c.GetBorderColor(), 0xFFDDDDDDu); }},
      {L"focusbordercolor", L"#FF0000FF", [](CControlUI& c) { EXPECT_EQ(c.GetFocusBorderColor(), 0xFF0000FFu); }},
      {L"colorhsl", L"true", [](CControlUI& c) { EXPECT_TRUE(c.IsColorHSL()); }},
      {L"colorhsl", L"True", [](CControlUI& c) { EXPECT_FALSE(c.IsColorHSL()); }},
      {L"bordersize", L"1",
       [](CControlUI& c) {
         const RECT b = c.GetBorderSize();
         EXPECT_TRUE(b.left == 1 && b.top == 1 && b.right == 1 && b.bottom == 1);
       }},
      {L"bordersize", L"1,2,3,4",
       [](CControlUI& c) {
         const RECT b = c.GetBorderSize();
         EXPECT_TRUE(b.left == 1 && b.top == 2 && b.right == 3 && b.bottom == 4);
       }},
      {L"borderstyle", L"2", [](CControlUI& c) { EXPECT_EQ(c.GetBorderStyle(), 2); }},
      {L"borderround", L"1,2",
       [](CControlUI& c) {
         EXPECT_EQ(c.GetBorderRound().cx, 1);
         EXPECT_EQ(c.GetBorderRound().cy, 2);
       }},
      {L"width", L"12px", [](CControlUI& c) { EXPECT_EQ(c.GetFixedWidth(), 12); }},
      {L"height", L"34", [](CControlUI& c) { EXPECT_EQ(c.GetFixedHeight(), 34); }},
      {L"minwidth", L"5", [](CControlUI& c) { EXPECT_EQ(c.GetMinWidth(), 5); }},
      {L"minheight", L"6", [](CControlUI& c) { EXPECT_EQ(c.GetMinHeight(), 6); }},
      {L"maxwidth", L"70", [](CControlUI& c) { EXPECT_EQ(c.GetMaxWidth(), 70); }},
      {L"maxheight", L"80", [](CControlUI& c) { EXPECT_EQ(c.GetMaxHeight(), 80); }},
      {L"name", L"closebtn", [](CControlUI& c) { EXPECT_EQ(c.GetName(), L"closebtn"); }},
      {L"text", L"\u5b89\u88c5", [](CControlUI& c) { EXPECT_EQ(c.GetText(), L"\u5b89\u88c5"); }},
      {L"tooltip", L"one<n>two", [](CControlUI& c) { EXPECT_EQ(c.GetToolTip(), L"one\r\ntwo"); }},
      {L"userdata", L"data", [](CControlUI& c) { EXPECT_EQ(c.GetUserData(), L"data"); }},
      {L"tag", L"42", [](CControlUI& c) { EXPECT_EQ(c.GetTag(), 42u); }},
      {L"enabled", L"false", [](CControlUI& c) { EXPECT_FALSE(c.IsEnabled()); }},
      {L"enabled", L"TRUE", [](CControlUI& c) { EXPECT_FALSE(c.IsEnabled()); }},
      {L"mouse", L"false", [](CControlUI& c) { EXPECT_FALSE(c.IsMouseEnabled()); }},
      {L"keyboard", L"false", [](CControlUI& c) { EXPECT_FALSE(c.IsKeyboardEnabled()); }},
      {L"visible", L"false", [](CControlUI& c) { EXPECT_FALSE(c.IsVisible()); }},
      {L"float", L"true", [](CControlUI& c) { EXPECT_TRUE(c.IsFloat()); }},
      {L"float", L"0.5,0,1,0.25",
       [](CControlUI& c) {
         EXPECT_TRUE(c.IsFloat());
         EXPECT_DOUBLE_EQ(c.GetFloatAnchors().left, 0.5);
         EXPECT_DOUBLE_EQ(c.GetFloatAnchors().right, 1.0);
         EXPECT_DOUBLE_EQ(c.GetFloatAnchors().bottom, 0.25);
       }},
      {L"shortcut", L"Alt", [](CControlUI& c) { EXPECT_EQ(c.GetShortcut(), L'A'); }},
      {L"menu", L"true", [](CControlUI& c) { EXPECT_TRUE(c.IsContextMenuEnabled()); }},
      {L"virtualwnd", L"page1", [](CControlUI& c) { EXPECT_EQ(c.GetVirtualWindow(), L"page1"); }},
      // Names are matched with their case: "Width" is only a custom attribute.
      {L"Width", L"300",
       [](CControlUI& c) {
         EXPECT_EQ(c.GetFixedWidth(), 0);
         EXPECT_EQ(c.GetCustomAttribute(L"Width"), L"300");
       }},
      {L"hotborercolor", L"#FF000000", [](CControlUI& c) { EXPECT_EQ(c.GetCustomAttribute(L"hotborercolor"), L"#FF000000"); }},
  };
  for (const auto& c : cases) {
    CControlUI control;
    control.SetAttribute(c.name, c.value);
    SCOPED_TRACE(TestSupport::Utf8(c.name) + "=" + TestSupport::Utf8(c.value));
    c.check(control);
  }
}

TEST(ControlAttributes, AttributeListsAndCustomAttributes) {
  CControlUI control;
  control.SetAttributeList(L"name=\"a\" width=\"10\" text=\"x y\"");
  EXPECT_EQ(control.GetName(), L"a");
  EXPECT_EQ(control.GetFixedWidth(), 10);
  EXPECT_EQ(control.GetText(), L"x y");

  CControlUI twoSpaces;
  twoSpaces.SetAttributeList(L"name=\"a\"  width=\"10\"");
  EXPECT_EQ(twoSpaces.GetFixedWidth(), 0);
  EXPECT_EQ(twoSpaces.GetCustomAttribute(L" width"), L"10");

  CControlUI unquoted;
  unquoted.SetAttributeList(L"name=a width=\"10\"");
  EXPECT_EQ(unquoted.GetName(), L"");
  EXPECT_EQ(unquoted.GetFixedWidth(), 0);

  CControlUI unterminated;
  unterminated.SetAttributeList(L"width=\"10\" text=\"open");
  EXPECT_EQ(unterminated.GetFixedWidth(), 10);
  EXPECT_EQ(unterminated.GetText(), L"");

  // A custom attribute keeps its first value; empty ones are not stored.
  control.SetAttribute(L"showshadow", L"true");
  control.SetAttribute(L"showshadow", L"false");
  control.SetAttribute(L"empty", L"");
  EXPECT_EQ(control.GetCustomAttribute(L"showshadow"), L"true");
  EXPECT_EQ(control.GetCustomAttribute(L"empty"), L"");
}

TEST(ControlGeometry, LimitsAndFixedSizes) {
  CControlUI control;
  control.SetMinWidth(50);
  control.SetMaxWidth(20);
  EXPECT_EQ(control.GetMaxWidth(), 50);  // never below the minimum
  control.SetMinWidth(-1);
  EXPECT_EQ(control.GetMinWidth(), 50);
  control.SetFixedWidth(30);
  control.SetFixedWidth(-5);
  EXPECT_EQ(control.GetFixedWidth(), 30);
  EXPECT_EQ(control.GetMaxHeight(), 9999);
  control.SetPos(RECT{10, 20, 5, 10});  // normalised: right >= left, bottom >= top
  EXPECT_EQ(control.GetPos().right, 10);
  EXPECT_EQ(control.GetPos().bottom, 20);
  EXPECT_EQ(control.MeasureSize(SIZE{1000, 1000}).cx, 30);
}

TEST(ControlGeometry, AFloatingControlIsPlacedRelativeToItsParent) {
  CWindowManagerUI manager;
  auto* box = new SkinTest::BoxControl;
  auto* child = new CControlUI;
  box->Add(child);
  manager.AttachRoot(box);
  box->SetPos(RECT{100, 50, 300, 250});
  child->SetAttribute(L"float", L"0.5,0,0.5,0");
  child->SetPos(RECT{10, 20, 60, 70});
  EXPECT_EQ(child->GetPos().left, 110);
  EXPECT_EQ(child->GetPos().top, 70);
  EXPECT_EQ(child->GetPos().right, 160);
  EXPECT_EQ(child->GetFixedPosition().x, 10 - 100);
  EXPECT_EQ(child->GetFixedWidth(), 50);
  EXPECT_EQ(child->GetFixedPosition().y, 20);
  EXPECT_EQ(child->GetFixedHeight(), 50);
  const RECT relative = child->GetRelativePos();
  EXPECT_TRUE(relative.left == 10 && relative.top == 20 && relative.right == 60 && relative.bottom == 70);
}

TEST(ControlState, HidingDropsFocusAndAsksTheParentForALayout) {
  CWindowManagerUI manager;
  auto* box = new SkinTest::BoxControl;
  auto* child = new CControlUI;
  box->Add(child);
  manager.AttachRoot(box);
  box->SetPos(RECT{0, 0, 100, 100});
  EXPECT_FALSE(box->IsUpdateNeeded());
  manager.SetFocus(child, false);
  ASSERT_EQ(manager.GetFocus(), child);
  EXPECT_TRUE(child->IsFocused());

  child->SetVisible(false);
  EXPECT_FALSE(child->IsVisible());
  EXPECT_EQ(manager.GetFocus(), nullptr);
  EXPECT_FALSE(child->IsFocused());
  EXPECT_TRUE(box->IsUpdateNeeded());
  EXPECT_TRUE(manager.IsUpdateNeeded());

  child->SetVisible(true);
  child->SetInheritedVisible(false);
  EXPECT_FALSE(child->IsVisible());
  manager.SetFocus(child, false);
  EXPECT_EQ(manager.GetFocus(), nullptr);  // an invisible control takes no focus
  child->SetInheritedVisible(true);
  child->SetEnabled(false);
  manager.SetFocus(child, false);
  EXPECT_EQ(manager.GetFocus(), nullptr);  // nor a disabled one
}

TEST(ControlEvents, TimerAndMenuBecomeNotificationsOtherEventsGoToTheParent) {
  Log log;
  CWindowManagerUI manager;
  SkinTest::LogNotifier notifier(&log);
  manager.AddNotifier(&notifier);
  auto* box = new SkinTest::BoxControl;
  box->SetName(L"box");
  auto* child = new CControlUI;
  child->SetName(L"child");
  box->Add(child);
  manager.AttachRoot(box);

  ControlEvent timer;
  timer.type = ControlEventType::Timer;
  timer.wParam = 11;
  child->Event(timer);
  ASSERT_EQ(notifier.events.size(), 1u);
  EXPECT_EQ(notifier.events[0].type, L"timer");
  EXPECT_EQ(notifier.events[0].sender, child);
  EXPECT_EQ(notifier.events[0].wParam, 11u);

  ControlEvent menu;
  menu.type = ControlEventType::ContextMenu;
  child->Event(menu);
  EXPECT_EQ(notifier.events.size(), 1u);  // no "menu" without "menu" "true"
  child->SetAttribute(L"menu", L"true");
  child->Event(menu);
  ASSERT_EQ(notifier.events.size(), 2u);
  EXPECT_EQ(notifier.events[1].type, L"menu");

  ControlEvent focus;
  focus.type = ControlEventType::SetFocus;
  child->Event(focus);
  EXPECT_TRUE(child->IsFocused());
  focus.type = ControlEventType::KillFocus;
  child->Event(focus);
  EXPECT_FALSE(child->IsFocused());
}

TEST(ControlEvents, UnhandledEventsBubbleToTheParent) {
  Log log;
  CWindowManagerUI manager;
  auto* parent = new SkinTest::ProbeControl(&log, L"parent");
  auto* cover = new SkinTest::ProbeControl(&log, L"cover");
  parent->SetCover(cover);
  manager.AttachRoot(parent);
  ControlEvent event;
  event.type = ControlEventType::ButtonDown;
  cover->Event(event);
  EXPECT_EQ(log, (Log{L"cover:ButtonDown", L"parent:ButtonDown"}));
  // The on-event delegates can veto an event.
  cover->OnEvent += CDelegate<ControlEvent>([](ControlEvent*) { return false; });
  cover->Event(event);
  EXPECT_EQ(log.size(), 2u);
}

bool g_calls[3];
bool First(CControlUI*) { return g_calls[0] = true; }
bool Refuse(CControlUI*) {
  g_calls[1] = true;
  return false;
}
bool Last(CControlUI*) { return g_calls[2] = true; }

struct Listener {
  int count = 0;
  bool OnInit(CControlUI*) {
    ++count;
    return true;
  }
};

TEST(ControlDelegates, AddedOnceCalledInOrderStoppedByTheFirstRefusal) {
  CEventSource<CControlUI> source;
  source += First;
  source += First;  // ignored
  source += Refuse;
  source += Last;
  EXPECT_EQ(source.size(), 3u);
  EXPECT_FALSE(source(nullptr));
  EXPECT_TRUE(g_calls[0] && g_calls[1]);
  EXPECT_FALSE(g_calls[2]);
  source -= Refuse;
  EXPECT_TRUE(source(nullptr));
  EXPECT_TRUE(g_calls[2]);

  Listener a, b;
  CControlUI control;
  control.OnInit += MakeDelegate(&a, &Listener::OnInit);
  control.OnInit += MakeDelegate(&a, &Listener::OnInit);
  control.OnInit += MakeDelegate(&b, &Listener::OnInit);
  control.Init();
  EXPECT_EQ(a.count, 1);
  EXPECT_EQ(b.count, 1);
}

CControlUI* AcceptAll(CControlUI* c, void*) { return c; }

TEST(ControlSearch, FlagsDecideWhichControlsAreLookedAt) {
  CWindowManagerUI manager;
  auto* control = new CControlUI;
  auto* cover = new CControlUI;
  control->SetCover(cover);
  manager.AttachRoot(control);
  control->SetPos(RECT{0, 0, 50, 50});
  cover->SetPos(RECT{0, 0, 10, 10});

  EXPECT_EQ(control->FindControl(AcceptAll, nullptr, kFindAll), cover);  // the cover first
  EXPECT_EQ(control->FindControl(AcceptAll, nullptr, kFindMeFirst), control);
  POINT inside = {30, 30}, onCover = {5, 5}, outside = {60, 60};
  EXPECT_EQ(control->FindControl(AcceptAll, &inside, kFindHitTest), control);
  EXPECT_EQ(control->FindControl(AcceptAll, &onCover, kFindHitTest), cover);
  EXPECT_EQ(control->FindControl(AcceptAll, &outside, kFindHitTest), nullptr);
  control->SetMouseEnabled(false);
  EXPECT_EQ(control->FindControl(AcceptAll, &inside, kFindHitTest), nullptr);
  control->SetMouseEnabled(true);
  control->SetEnabled(false);
  EXPECT_EQ(control->FindControl(AcceptAll, nullptr, kFindEnabled), nullptr);
  EXPECT_NE(control->FindControl(AcceptAll, nullptr, kFindVisible), nullptr);
  control->SetVisible(false);
  EXPECT_EQ(control->FindControl(AcceptAll, nullptr, kFindVisible), nullptr);
  // The update test skips what the predicate accepts.
  EXPECT_EQ(control->FindControl(AcceptAll, nullptr, kFindUpdateTest), nullptr);
}

TEST(ControlPainting, TheFixedOrderAndWhatStopsIt) {
  Log log;
  CWindowManagerUI manager;
  auto* control = new SkinTest::ProbeControl(&log, L"c");
  auto* cover = new SkinTest::ProbeControl(&log, L"cover");
  control->logPaint = cover->logPaint = true;
  control->SetCover(cover);
  manager.AttachRoot(control);
  control->SetPos(RECT{0, 0, 20, 20});
  Dib32 dib(20, 20);
  EXPECT_TRUE(control->Paint(dib.dc(), RECT{0, 0, 20, 20}));
  EXPECT_EQ(log, (Log{L"c:PaintBkColor", L"c:PaintBkImage", L"c:PaintStatusImage", L"c:PaintText",
                      L"c:PaintBorder", L"cover:PaintBkColor", L"cover:PaintBkImage", L"cover:PaintStatusImage",
                      L"cover:PaintText", L"cover:PaintBorder"}));
  log.clear();
  EXPECT_TRUE(control->Paint(dib.dc(), RECT{30, 30, 40, 40}));  // misses the control
  EXPECT_TRUE(log.empty());
  EXPECT_FALSE(control->Paint(dib.dc(), RECT{0, 0, 20, 20}, control));  // the stop control
  EXPECT_TRUE(log.empty());
  control->OnPaint += CDelegate<CControlUI>([](CControlUI*) { return false; });
  EXPECT_TRUE(control->Paint(dib.dc(), RECT{0, 0, 20, 20}));
  EXPECT_TRUE(log.empty());
}

struct PaintCase {
  const wchar_t* attributes;
  RECT paint;
  std::function<DWORD(int, int)> expected;  // the item is (2,2)-(18,18) in a 20 x 20 black DIB
};

bool Inside(int x, int y, int l, int t, int r, int b) { return x >= l && x < r && y >= t && y < b; }
constexpr DWORD kAny = 0xFFFFFFFF;

TEST(ControlPainting, BackgroundColoursAndBorders) {
  const PaintCase cases[] = {
      // An opaque colour covers only what is painted.
      {L"bkcolor=\"#FF0000FF\"", RECT{0, 0, 10, 10},
       [](int x, int y) { return Inside(x, y, 2, 2, 10, 10) ? 0x0000FFu : 0u; }},
      // A translucent one is blended over the whole control (from its value).
      {L"bkcolor=\"#800000FF\"", RECT{0, 0, 10, 10},
       [](int x, int y) { return Inside(x, y, 2, 2, 18, 18) ? 0x0000FFu : 0u; }},
      {L"bkcolor=\"#00000000\"", RECT{0, 0, 20, 20}, [](int, int) { return 0u; }},
      {L"bordersize=\"1\" bordercolor=\"#FFFF0000\"", RECT{0, 0, 20, 20},
       [](int x, int y) {
         return Inside(x, y, 2, 2, 18, 18) && !Inside(x, y, 3, 3, 17, 17) ? 0xFF0000u : 0u;
       }},
      {L"bordersize=\"1\" focusbordercolor=\"#FFFF0000\"", RECT{0, 0, 20, 20}, [](int, int) { return 0u; }},
      {L"bordersize=\"0,2,0,0\" bordercolor=\"#FF00FF00\"", RECT{0, 0, 20, 20},
       [](int x, int y) {
         // A line as wide as the side along the top edge; its pen's ends
         // may round over the corners.
         if (x < 3 || x >= 17) return kAny;
         return Inside(x, y, 2, 1, 18, 3) ? DWORD{0x00FF00} : DWORD{0};
       }},
  };
  for (const auto& c : cases) {
    CWindowManagerUI manager;
    auto* control = new CControlUI;
    manager.AttachRoot(control);
    control->SetAttributeList(c.attributes);
    control->SetPos(RECT{2, 2, 18, 18});
    Dib32 dib(20, 20);
    control->Paint(dib.dc(), c.paint);
    int wrong = 0;
    for (int y = 0; y < 20; ++y) {
      for (int x = 0; x < 20; ++x) {
        const DWORD expected = c.expected(x, y);
        if (expected != kAny && dib.Rgb(x, y) != expected && ++wrong < 4) {
          ADD_FAILURE() << TestSupport::Utf8(c.attributes) << " at " << x << "," << y << ": " << std::hex
                        << dib.Rgb(x, y);
        }
      }
    }
  }
}

TEST(ControlPainting, GradientsAndRoundedCorners) {
  CWindowManagerUI manager;
  auto* control = new CControlUI;
  manager.AttachRoot(control);
  control->SetAttributeList(L"bkcolor=\"#FF000000\" bkcolor2=\"#FF0000FF\" bkcolor3=\"#FF000000\"");
  control->SetPos(RECT{0, 0, 10, 40});
  Dib32 dib(10, 40, 0xFFFFFFFF);
  control->Paint(dib.dc(), RECT{0, 0, 10, 40});
  EXPECT_LE(dib.Rgb(5, 0) & 0xFF, 0x20u);
  EXPECT_GE(dib.Rgb(5, 20) & 0xFF, 0xE0u);  // the middle colour at the split
  EXPECT_LE(dib.Rgb(5, 39) & 0xFF, 0x20u);

  auto* round = new CControlUI;
  manager.AttachRoot(round);
  round->SetAttributeList(L"bkcolor=\"#FF00FF00\" borderround=\"10,10\" bordersize=\"1\" bordercolor=\"#FFFF0000\"");
  round->SetPos(RECT{0, 0, 20, 20});
  Dib32 rounded(20, 20, 0xFF000000);
  round->Paint(rounded.dc(), RECT{0, 0, 20, 20});
  EXPECT_EQ(rounded.Rgb(0, 0), 0u);         // the corner is cut from background and frame
  EXPECT_EQ(rounded.Rgb(10, 0), 0xFF0000u);  // the frame along the top edge
  EXPECT_EQ(rounded.Rgb(10, 10), 0x00FF00u);

  // The skins' small rounding, "1,2", frames and fills the whole control.
  auto* slight = new CControlUI;
  manager.AttachRoot(slight);
  slight->SetAttributeList(L"bkcolor=\"#FF00FF00\" borderround=\"1,2\" bordersize=\"1\" bordercolor=\"#FFFF0000\"");
  slight->SetPos(RECT{0, 0, 20, 20});
  Dib32 framed(20, 20, 0xFF000000);
  slight->Paint(framed.dc(), RECT{0, 0, 20, 20});
  EXPECT_EQ(framed.Rgb(10, 0), 0xFF0000u);
  EXPECT_EQ(framed.Rgb(0, 10), 0xFF0000u);
  EXPECT_EQ(framed.Rgb(19, 10), 0xFF0000u);
  EXPECT_EQ(framed.Rgb(10, 19), 0xFF0000u);
  EXPECT_EQ(framed.Rgb(10, 10), 0x00FF00u);
}

TEST(ControlImages, TheBackgroundImageLoadsWhenSetOnAnAttachedControl) {
  SkinTest::UseFixtureSkin();
  CWindowManagerUI manager;
  auto* control = new CControlUI;
  manager.AttachRoot(control);
  control->SetAttribute(L"float", L"true");
  control->SetAttribute(L"bkimage", L"res\\nine.png");
  EXPECT_NE(control->GetBkImageInfo().image, nullptr);
  EXPECT_EQ(control->GetFixedWidth(), 9);  // a floating control takes the image size
  EXPECT_EQ(control->GetFixedHeight(), 9);
  control->SetPos(RECT{0, 0, 9, 9});
  Dib32 dib(9, 9);
  control->Paint(dib.dc(), RECT{0, 0, 9, 9});
  EXPECT_EQ(dib.Rgb(0, 0), 0xFF0000u);
  EXPECT_EQ(dib.Rgb(8, 8), 0x402010u);

  // A missing image draws nothing.
  auto* missing = new CControlUI;
  manager.AttachRoot(missing);
  missing->SetAttribute(L"bkimage", L"res\\common\\closebtn4.png");
  EXPECT_EQ(missing->GetBkImageInfo().image, nullptr);
  missing->SetPos(RECT{0, 0, 9, 9});
  Dib32 nothing(9, 9);
  missing->Paint(nothing.dc(), RECT{0, 0, 9, 9});
  EXPECT_EQ(nothing.Rgb(4, 4), 0u);
}

TEST(ControlCover, TheCoverIsLaidOutOverTheControlWithinItsLimits) {
  CWindowManagerUI manager;
  auto* control = new CControlUI;
  auto* cover = new CControlUI;
  cover->SetMaxWidth(30);
  control->SetCover(cover);
  manager.AttachRoot(control);
  control->SetPos(RECT{10, 10, 110, 60});
  EXPECT_EQ(cover->GetPos().left, 10);
  EXPECT_EQ(cover->GetPos().right, 40);
  EXPECT_EQ(cover->GetPos().bottom, 60);
  EXPECT_EQ(cover->GetParent(), control);
  control->Move(SIZE{5, 0}, false);
  EXPECT_EQ(cover->GetPos().left, 15);
}

}  // namespace
