// Mouse routing through a real window under the virtual display, driven by
// real input (the cursor moves, the button goes down and up).
#include <gtest/gtest.h>

#include <algorithm>

#include "skin_test_support.h"

using namespace SkinUI;
using SkinTest::Log;
using SkinTest::ProbeControl;
using SkinTest::TestWindow;

namespace {

// A 200 x 100 window: A at (10,10)-(60,60), B at (100,10)-(150,60).
class MouseRouting : public ::testing::Test {
 protected:
  void SetUp() override {
    window = std::make_unique<TestWindow>(100, 100, 200, 100);
    auto* root = new SkinTest::BoxControl;
    root->SetName(L"root");
    a = new ProbeControl(&log, L"A");
    a->SetAttribute(L"pos", L"10,10,60,60");
    b = new ProbeControl(&log, L"B");
    b->SetAttribute(L"pos", L"100,10,150,60");
    root->Add(a);
    root->Add(b);
    window->manager().AttachRoot(root);
    window->manager().AddNotifier(&notifier);
    // Outside the window first, then settle.
    SkinTest::MoveCursor(5, 5);
    SkinTest::Pump(200);
    ::UpdateWindow(window->hwnd());
    log.clear();
  }
  void TearDown() override {
    window->LeftUp();
    SkinTest::MoveCursor(5, 5);
    SkinTest::Pump(50);
  }

  Log Only(const std::wstring& prefix1, const std::wstring& prefix2) const {
    Log result;
    for (const auto& line : log) {
      if (line.rfind(prefix1, 0) == 0 || line.rfind(prefix2, 0) == 0) result.push_back(line);
    }
    return result;
  }
  bool Logged(const std::wstring& line) const { return std::find(log.begin(), log.end(), line) != log.end(); }

  Log log;
  SkinTest::LogNotifier notifier{&log};
  std::unique_ptr<TestWindow> window;
  ProbeControl* a = nullptr;
  ProbeControl* b = nullptr;
};

TEST_F(MouseRouting, LeavingOneControlComesBeforeEnteringTheNext) {
  window->MoveMouse(30, 30);
  ASSERT_TRUE(SkinTest::PumpUntil([&] { return Logged(L"A:MouseEnter"); }));
  window->MoveMouse(120, 30);
  ASSERT_TRUE(SkinTest::PumpUntil([&] { return Logged(L"B:MouseEnter"); }));
  EXPECT_EQ(window->manager().GetHotControl(), b);
  // Leaving the window: the manager's synthetic move tells B.
  SkinTest::MoveCursor(5, 5);
  ASSERT_TRUE(SkinTest::PumpUntil([&] { return Logged(L"B:MouseLeave"); }));
  EXPECT_EQ(Only(L"A:", L"B:"), (Log{L"A:MouseEnter", L"A:MouseLeave", L"B:MouseEnter", L"B:MouseLeave"}));
  EXPECT_EQ(window->manager().GetHotControl(), nullptr);
}

TEST_F(MouseRouting, ThePushedControlKeepsTheMouseUntilTheButtonIsUp) {
  // "A" sends "click" when the button comes up inside it.
  a->onEvent = [&](ControlEvent& event) {
    if (event.type == ControlEventType::ButtonUp && ::PtInRect(&a->GetPos(), event.mouse)) {
      window->manager().SendNotify(a, L"click");
    }
  };
  window->MoveMouse(30, 30);
  ASSERT_TRUE(SkinTest::PumpUntil([&] { return Logged(L"A:MouseEnter"); }));
  window->LeftDown();
  ASSERT_TRUE(SkinTest::PumpUntil([&] { return Logged(L"A:ButtonDown"); }));
  EXPECT_TRUE(window->manager().IsCaptured());
  EXPECT_EQ(window->manager().GetPushedControl(), a);
  EXPECT_EQ(::GetCapture(), window->hwnd());

  // Pressed inside, released outside over B: A still gets the button up,
  // B never becomes hot while the mouse is captured, and no click is sent.
  window->MoveMouse(120, 30);
  SkinTest::Pump(150);
  window->LeftUp();
  ASSERT_TRUE(SkinTest::PumpUntil([&] { return Logged(L"A:ButtonUp"); }));
  EXPECT_FALSE(Logged(L"B:ButtonUp"));
  EXPECT_FALSE(Logged(L"B:MouseEnter"));
  EXPECT_FALSE(Logged(L"notify:click:A"));
  EXPECT_FALSE(window->manager().IsCaptured());
  EXPECT_EQ(window->manager().GetPushedControl(), nullptr);

  // Pressed and released inside: one click.
  log.clear();
  window->MoveMouse(30, 30);
  SkinTest::Pump(100);
  window->LeftDown();
  SkinTest::Pump(50);
  window->LeftUp();
  ASSERT_TRUE(SkinTest::PumpUntil([&] { return Logged(L"notify:click:A"); }));
  EXPECT_EQ(std::count(log.begin(), log.end(), L"notify:click:A"), 1);
}

TEST_F(MouseRouting, ClosingWhilePressedSendsTheButtonUpFirst) {
  window->MoveMouse(30, 30);
  ASSERT_TRUE(SkinTest::PumpUntil([&] { return Logged(L"A:MouseEnter"); }));
  window->LeftDown();
  ASSERT_TRUE(SkinTest::PumpUntil([&] { return Logged(L"A:ButtonDown"); }));
  bool destroyedBeforeButtonUp = false;
  window->before = [&](UINT message, WPARAM, LPARAM, LRESULT&) {
    if (message == WM_DESTROY && !Logged(L"A:ButtonUp")) destroyedBeforeButtonUp = true;
    return false;
  };
  ::PostMessageW(window->hwnd(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(SkinTest::PumpUntil([&] { return !::IsWindow(window->hwnd()); }));
  EXPECT_TRUE(Logged(L"A:ButtonUp"));
  EXPECT_TRUE(Logged(L"A:MouseLeave"));
  EXPECT_FALSE(destroyedBeforeButtonUp);
  EXPECT_NE(::GetCapture(), window->hwnd());
}

}  // namespace
