// The window manager in a real window under the virtual display, driven by
// messages sent or posted to it: notifications (synchronous, queued, from
// worker threads), timers, focus, keys, painting, and the tables it keeps.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "skin_test_support.h"

using namespace SkinUI;
using SkinTest::Dib32;
using SkinTest::Log;
using SkinTest::ProbeControl;
using SkinTest::TestWindow;

namespace {

class Manager : public ::testing::Test {
 protected:
  void SetUp() override {
    window = std::make_unique<TestWindow>(400, 300, 200, 100);
    root = new SkinTest::BoxControl;
    root->SetName(L"root");
    a = new ProbeControl(&log, L"A", kFlagTabStop);
    a->SetAttribute(L"pos", L"10,10,60,60");
    b = new ProbeControl(&log, L"B", kFlagTabStop);
    b->SetAttribute(L"pos", L"100,10,150,60");
    root->Add(a);
    root->Add(b);
    manager().AttachRoot(root);
    manager().AddNotifier(&notifier);
    ::UpdateWindow(window->hwnd());
    // The first paint focused the first tab stop; start from no focus.
    manager().SetFocus(nullptr, false);
    log.clear();
    notifier.events.clear();
  }

  CWindowManagerUI& manager() { return window->manager(); }
  LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return ::SendMessageW(window->hwnd(), message, wParam, lParam);
  }
  bool Logged(const std::wstring& line) const { return std::find(log.begin(), log.end(), line) != log.end(); }

  Log log;
  SkinTest::LogNotifier notifier{&log};
  std::unique_ptr<TestWindow> window;
  SkinTest::BoxControl* root = nullptr;
  ProbeControl* a = nullptr;
  ProbeControl* b = nullptr;
};

// ---- notifications ----

TEST_F(Manager, ASynchronousNotificationReachesTheSenderFirstThenEveryNotifierInOrder) {
  SkinTest::LogNotifier other(&log);
  other.onNotify = [&](NotifyEvent&) { log.push_back(L"second notifier"); };
  manager().AddNotifier(&other);
  EXPECT_FALSE(manager().AddNotifier(&other));
  a->OnNotify += CDelegate<NotifyEvent>([](NotifyEvent* event) {
    event->lParam = 99;  // the sender's delegates see the record first
    return true;
  });
  manager().SendNotify(a, L"click", 7, 0);
  EXPECT_EQ(log, (Log{L"notify:click:A", L"notify:click:A", L"second notifier"}));
  ASSERT_EQ(notifier.events.size(), 1u);
  EXPECT_EQ(notifier.events[0].wParam, 7u);
  EXPECT_EQ(notifier.events[0].lParam, 99);
  EXPECT_NE(notifier.events[0].timestamp, 0u);
  EXPECT_TRUE(manager().RemoveNotifier(&other));
}

TEST_F(Manager, AnAsynchronousNotificationArrivesAfterTheHandlerThatSentIt) {
  a->onEvent = [&](ControlEvent& event) {
    if (event.type != ControlEventType::ButtonDown) return;
    manager().SendNotify(a, L"later", 1, 0, true);
    manager().SendNotify(a, L"later", 2, 0, true);
    manager().SendNotify(a, L"now");
    log.push_back(L"handler done");
  };
  Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 30));
  Send(WM_LBUTTONUP, 0, MAKELPARAM(30, 30));
  EXPECT_FALSE(Logged(L"notify:later:A"));
  ASSERT_TRUE(SkinTest::PumpUntil([&] { return notifier.events.size() >= 3; }));
  SkinTest::Pump(50);
  const Log expected = {L"A:SetFocus", L"notify:setfocus:A", L"A:ButtonDown", L"notify:now:A",
                        L"handler done", L"A:ButtonUp", L"notify:later:A", L"notify:later:A"};
  EXPECT_EQ(log, expected);
  ASSERT_EQ(notifier.events.size(), 4u);
  EXPECT_EQ(notifier.events[2].wParam, 1u);  // in the order they were sent, each once
  EXPECT_EQ(notifier.events[3].wParam, 2u);
}

TEST_F(Manager, WorkerThreadsQueueNotificationsSafely) {
  constexpr int kThreads = 8;
  constexpr int kEach = 400;
  std::vector<std::vector<LPARAM>> seen(kThreads);
  std::atomic<int> offThread{0};
  const DWORD uiThread = ::GetCurrentThreadId();
  notifier.onNotify = [&](NotifyEvent& event) {
    if (::GetCurrentThreadId() != uiThread) ++offThread;
    seen[event.wParam].push_back(event.lParam);
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) manager().SendNotify(nullptr, L"checknet", t, i, true);
    });
  }
  // The UI thread keeps delivering while the workers append.
  ASSERT_TRUE(SkinTest::PumpUntil(
      [&] {
        size_t total = 0;
        for (const auto& s : seen) total += s.size();
        return total == kThreads * kEach;
      },
      20000));
  for (auto& thread : threads) thread.join();
  SkinTest::Pump(50);
  EXPECT_EQ(offThread, 0);
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(seen[t].size(), static_cast<size_t>(kEach)) << t;
    for (int i = 0; i < kEach; ++i) ASSERT_EQ(seen[t][i], i) << "thread " << t;  // once each, in order
  }
  EXPECT_EQ(manager().GetQueuedNotifyCount(), 0u);
}

bool g_doomedDelegateRan = false;

TEST_F(Manager, AQueuedNotificationOfADeletedControlStillReachesTheNotifiers) {
  auto* doomed = new ProbeControl(&log, L"doomed");
  manager().AttachSubtree(doomed, root);
  doomed->OnNotify += CDelegate<NotifyEvent>([](NotifyEvent*) { return g_doomedDelegateRan = true; });
  manager().SendNotify(doomed, L"later", 0, 0, true);
  delete doomed;
  ASSERT_TRUE(SkinTest::PumpUntil([&] { return !notifier.events.empty(); }));
  EXPECT_EQ(notifier.events[0].type, L"later");
  EXPECT_EQ(notifier.events[0].sender, nullptr);
  EXPECT_FALSE(g_doomedDelegateRan);
}

// ---- timers ----

TEST_F(Manager, TimersUseNativeIdsFrom17AndAKilledTimerIsReArmed) {
  std::vector<WPARAM> nativeIds;
  window->before = [&](UINT message, WPARAM wParam, LPARAM, LRESULT&) {
    if (message == WM_TIMER) nativeIds.push_back(wParam);
    return false;
  };
  ASSERT_TRUE(manager().SetTimer(a, 5, 1000));
  ASSERT_TRUE(manager().SetTimer(b, 6, 1000));
  EXPECT_EQ(manager().GetNativeTimerIds(), (std::vector<UINT_PTR>{17, 18}));

  // An active timer cannot be set again; the first interval stays.
  EXPECT_FALSE(manager().SetTimer(a, 5, 10));
  SkinTest::Pump(300);
  EXPECT_FALSE(Logged(L"A:Timer"));

  // Killed, the record stays and is re-armed with the new interval.
  EXPECT_TRUE(manager().KillTimer(a, 5));
  EXPECT_FALSE(manager().KillTimer(a, 5));
  EXPECT_EQ(manager().GetNativeTimerIds(), (std::vector<UINT_PTR>{17, 18}));
  EXPECT_TRUE(manager().SetTimer(a, 5, 20));
  EXPECT_EQ(manager().GetNativeTimerIds(), (std::vector<UINT_PTR>{17, 18}));
  ASSERT_TRUE(SkinTest::PumpUntil([&] { return Logged(L"notify:timer:A"); }));
  EXPECT_EQ(nativeIds.front(), 17u);
  // The control turns the event into "timer" with its own id.
  EXPECT_EQ(notifier.events.front().type, L"timer");
  EXPECT_EQ(notifier.events.front().wParam, 5u);

  manager().KillTimer(a);
  EXPECT_EQ(manager().GetNativeTimerIds(), (std::vector<UINT_PTR>{18}));
  manager().RemoveAllTimers();
  EXPECT_TRUE(manager().GetNativeTimerIds().empty());
}

TEST_F(Manager, NewTimerIdsWrapAfter254AndSkipIdsInUse) {
  ASSERT_TRUE(manager().SetTimer(b, 1, 10000));  // holds 17
  std::vector<UINT_PTR> ids;
  for (int i = 0; i < 300; ++i) {
    ASSERT_TRUE(manager().SetTimer(a, 1, 10000)) << i;
    ids.push_back(manager().GetNativeTimerIds().back());
    manager().KillTimer(a);
  }
  EXPECT_EQ(ids[0], 18u);
  EXPECT_EQ(ids[236], 254u);
  EXPECT_EQ(ids[237], 0u);
  EXPECT_EQ(std::count(ids.begin(), ids.end(), 17u), 0);  // b's id is never handed out again
  EXPECT_EQ(manager().GetNativeTimerIds(), (std::vector<UINT_PTR>{17}));
}

TEST_F(Manager, ADeletedControlLosesItsTimersAndReferences) {
  ASSERT_TRUE(manager().SetTimer(a, 3, 20));
  manager().SetFocus(a, false);
  auto* doomed = new ProbeControl(&log, L"doomed");
  doomed->SetAttribute(L"pos", L"0,0,5,5");
  manager().AttachSubtree(doomed, root);
  ASSERT_TRUE(manager().SetTimer(doomed, 1, 20));
  manager().AddOptionGroup(L"g", doomed);
  EXPECT_EQ(manager().FindControl(L"doomed"), doomed);
  delete doomed;
  EXPECT_EQ(manager().FindControl(L"doomed"), nullptr);
  EXPECT_EQ(manager().GetOptionGroup(L"g"), nullptr);
  EXPECT_EQ(manager().GetNativeTimerIds().size(), 1u);
  SkinTest::Pump(100);  // only a's timer fires, nothing touches the deleted control
  EXPECT_TRUE(Logged(L"A:Timer"));
}

// ---- focus and keys ----

TEST_F(Manager, FocusChangesRaiseKillfocusThenSetfocus) {
  manager().SetFocus(a, false);
  manager().SetFocus(a, false);  // already focused: nothing
  manager().SetFocus(b, false);
  manager().SetFocus(nullptr, false);
  EXPECT_EQ(log, (Log{L"A:SetFocus", L"notify:setfocus:A", L"A:KillFocus", L"notify:killfocus:A", L"B:SetFocus",
                      L"notify:setfocus:B", L"B:KillFocus", L"notify:killfocus:B"}));
  EXPECT_EQ(manager().GetFocus(), nullptr);
}

TEST_F(Manager, KeysGoToTheFocusedControlAndTabMovesAlongTheTabStops) {
  manager().SetFocus(a, false);
  log.clear();
  Send(WM_KEYDOWN, 'X');
  Send(WM_CHAR, 'x');
  manager().SetFocus(b, false);  // the key-up still goes to the control that got the key-down
  Send(WM_KEYUP, 'X');
  EXPECT_TRUE(Logged(L"A:KeyDown"));
  EXPECT_TRUE(Logged(L"A:Char"));
  EXPECT_TRUE(Logged(L"A:KeyUp"));
  EXPECT_FALSE(Logged(L"B:KeyUp"));

  MSG tab = {window->hwnd(), WM_KEYDOWN, VK_TAB, 0};
  EXPECT_TRUE(CWindowManagerUI::PreTranslateMessage(&tab));
  EXPECT_EQ(manager().GetFocus(), a);  // wraps to the first tab stop
  EXPECT_TRUE(CWindowManagerUI::PreTranslateMessage(&tab));
  EXPECT_EQ(manager().GetFocus(), b);
  EXPECT_TRUE(manager().MoveTabFocus(false));
  EXPECT_EQ(manager().GetFocus(), a);
  b->SetVisible(false);
  EXPECT_TRUE(CWindowManagerUI::PreTranslateMessage(&tab));
  EXPECT_EQ(manager().GetFocus(), a);  // the hidden one is not a stop
}

struct ConsumingFilter : IMessageFilterUI {
  UINT key;
  int calls = 0;
  LRESULT MessageHandler(UINT message, WPARAM wParam, LPARAM, bool& handled) override {
    if (message == WM_KEYDOWN && wParam == key) {
      ++calls;
      handled = true;
    }
    return 0;
  }
};

struct Accelerator : ITranslateAccelerator {
  int calls = 0;
  LRESULT TranslateAccelerator(MSG* message) override {
    ++calls;
    return message->wParam == VK_F5 ? 0 : 1;
  }
};

TEST_F(Manager, PreTranslationAsksAcceleratorsAndPreMessageFilters) {
  ConsumingFilter filter;
  filter.key = VK_RETURN;
  Accelerator accelerator;
  manager().AddPreMessageFilter(&filter);
  manager().AddAcceleratorHandler(&accelerator);
  MSG enter = {window->hwnd(), WM_KEYDOWN, VK_RETURN, 0};
  MSG f5 = {window->hwnd(), WM_KEYDOWN, VK_F5, 0};
  MSG letter = {window->hwnd(), WM_KEYDOWN, 'A', 0};
  EXPECT_TRUE(CWindowManagerUI::PreTranslateMessage(&enter));
  EXPECT_EQ(filter.calls, 1);
  EXPECT_TRUE(CWindowManagerUI::PreTranslateMessage(&f5));
  EXPECT_FALSE(CWindowManagerUI::PreTranslateMessage(&letter));
  EXPECT_EQ(accelerator.calls, 3);
  manager().RemovePreMessageFilter(&filter);
  EXPECT_FALSE(CWindowManagerUI::PreTranslateMessage(&enter));
  MSG elsewhere = {nullptr, WM_KEYDOWN, VK_RETURN, 0};
  EXPECT_FALSE(CWindowManagerUI::PreTranslateMessage(&elsewhere));
}

// A label passes its shortcut on to the control found after it.
class ShortcutLabel : public ProbeControl {
 public:
  using ProbeControl::ProbeControl;
  void* GetInterface(const std::wstring& name) override { return name == L"Label" ? this : ProbeControl::GetInterface(name); }
};

TEST_F(Manager, SystemCharactersFocusTheControlWithThatShortcut) {
  a->SetShortcut(L'k');
  LRESULT result = 0;
  EXPECT_TRUE(manager().PreviewMessage(WM_SYSCHAR, 'K', 0, result));
  EXPECT_EQ(manager().GetFocus(), a);
  EXPECT_FALSE(manager().PreviewMessage(WM_SYSCHAR, 'Q', 0, result));

  auto* label = new ShortcutLabel(&log, L"label");
  label->SetShortcut(L'L');
  root->Add(label);
  // Searched from the last child back: the label hands over to B before it.
  EXPECT_TRUE(manager().PreviewMessage(WM_SYSCHAR, 'l', 0, result));
  EXPECT_EQ(manager().GetFocus(), b);
}

// ---- mouse messages ----

TEST_F(Manager, RightClickContextMenuWheelAndCursor) {
  Send(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(30, 30));
  EXPECT_EQ(manager().GetPushedControl(), a);
  POINT screen = {30, 30};
  ::ClientToScreen(window->hwnd(), &screen);
  a->SetContextMenuEnabled(true);
  Send(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window->hwnd()), MAKELPARAM(screen.x, screen.y));
  EXPECT_TRUE(Logged(L"A:RightButtonDown"));
  EXPECT_TRUE(Logged(L"A:ContextMenu"));
  EXPECT_TRUE(Logged(L"notify:menu:A"));
  EXPECT_EQ(manager().GetPushedControl(), nullptr);

  ControlEvent wheel;
  b->onEvent = [&](ControlEvent& event) {
    if (event.type == ControlEventType::ScrollWheel) wheel = event;
  };
  POINT onB = {120, 30};
  ::ClientToScreen(window->hwnd(), &onB);
  Send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), MAKELPARAM(onB.x, onB.y));
  EXPECT_EQ(wheel.type, ControlEventType::ScrollWheel);
  EXPECT_EQ(wheel.wParam, 1u);  // towards the user
  Send(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(onB.x, onB.y));
  EXPECT_EQ(wheel.wParam, 0u);
}

TEST_F(Manager, HoverShowsTheTooltipWithLanguageTokensReplaced) {
  CWindowManagerUI::AddLanguageString(3, L"Transvera");
  a->SetToolTip(L"Install %{3}<n>now");
  Send(WM_MOUSEMOVE, 0, MAKELPARAM(30, 30));
  EXPECT_EQ(manager().GetHotControl(), a);
  Send(WM_MOUSEHOVER, 0, MAKELPARAM(30, 30));
  EXPECT_TRUE(Logged(L"A:MouseHover"));
  HWND tooltip = manager().GetTooltipWindow();
  ASSERT_NE(tooltip, nullptr);
  wchar_t className[64] = {};
  ::GetClassNameW(tooltip, className, 64);
  EXPECT_STREQ(className, L"tooltips_class32");
  wchar_t text[128] = {};
  TTTOOLINFOW tool = {};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.hwnd = window->hwnd();
  tool.uId = reinterpret_cast<UINT_PTR>(window->hwnd());
  tool.lpszText = text;
  ::SendMessageW(tooltip, TTM_GETTEXTW, 128, reinterpret_cast<LPARAM>(&tool));
  EXPECT_STREQ(text, L"Install Transvera\r\nnow");
  Send(WM_CLOSE);  // closing destroys the tooltip window
  EXPECT_FALSE(::IsWindow(tooltip));
}

// ---- painting ----

TEST_F(Manager, TheFirstPaintLaysTheTreeOutThenSendsWindowinit) {
  TestWindow fresh(50, 50, 120, 80);
  Log freshLog;
  SkinTest::LogNotifier freshNotifier(&freshLog);
  auto* control = new CControlUI;
  control->SetAttribute(L"bkcolor", L"#FFFF0000");
  fresh.manager().AttachRoot(control);
  fresh.manager().AddNotifier(&freshNotifier);
  RECT atInit = {};
  freshNotifier.onNotify = [&](NotifyEvent& event) {
    if (event.type == L"windowinit") atInit = event.sender->GetPos();
  };
  EXPECT_TRUE(fresh.manager().IsFirstLayout());
  ::InvalidateRect(fresh.hwnd(), nullptr, FALSE);
  ::UpdateWindow(fresh.hwnd());
  ::InvalidateRect(fresh.hwnd(), nullptr, FALSE);
  ::UpdateWindow(fresh.hwnd());
  EXPECT_EQ(std::count(freshLog.begin(), freshLog.end(), L"notify:windowinit:"), 1);
  EXPECT_EQ(atInit.right, 120);  // laid out over the whole client area first
  EXPECT_EQ(atInit.bottom, 80);
  EXPECT_FALSE(fresh.manager().IsFirstLayout());
  EXPECT_EQ(fresh.ScreenPixel(60, 40), 0xFF0000u);

  // Only the invalid part is painted and copied from the offscreen bitmap.
  control->SetBkColor(0xFF0000FF);  // invalidates the whole control ...
  ::ValidateRect(fresh.hwnd(), nullptr);
  fresh.manager().Invalidate(RECT{0, 0, 10, 10});  // ... but only this part is painted
  ::UpdateWindow(fresh.hwnd());
  EXPECT_EQ(fresh.ScreenPixel(5, 5), 0x0000FFu);
  EXPECT_EQ(fresh.ScreenPixel(60, 40), 0xFF0000u);

  // "showdirty" outlines each painted rectangle in red (220, 0, 0).
  fresh.manager().SetWindowAttribute(L"showdirty", L"true");
  ::InvalidateRect(fresh.hwnd(), nullptr, FALSE);
  ::UpdateWindow(fresh.hwnd());
  EXPECT_EQ(fresh.ScreenPixel(0, 0), 0xDC0000u);
  EXPECT_EQ(fresh.ScreenPixel(60, 40), 0x0000FFu);

  // The client area printed into a DIB.
  Dib32 dib(120, 80);
  ::SendMessageW(fresh.hwnd(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dib.dc()), PRF_CLIENT);
  EXPECT_EQ(dib.Rgb(60, 40), 0x0000FFu);
}

TEST_F(Manager, WithoutARootTheWindowIsBlack) {
  TestWindow empty(50, 50, 60, 40);
  ::InvalidateRect(empty.hwnd(), nullptr, FALSE);
  ::UpdateWindow(empty.hwnd());
  EXPECT_EQ(empty.ScreenPixel(30, 20), 0u);
}

TEST_F(Manager, ResizingLaysTheRootOutAgain) {
  ::SetWindowPos(window->hwnd(), nullptr, 0, 0, 260, 120, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ::UpdateWindow(window->hwnd());
  EXPECT_EQ(root->GetPos().right, 260);
  EXPECT_EQ(root->GetPos().bottom, 120);
}

bool g_oldRootDeleted = false;

TEST_F(Manager, AttachingANewRootDeletesTheOldTreeLater) {
  root->OnDestroy += CDelegate<CControlUI>([](CControlUI*) { return g_oldRootDeleted = true; });
  manager().SendNotify(a, L"dropped", 0, 0, true);
  auto* next = new CControlUI;
  next->SetName(L"next");
  manager().AttachRoot(next);
  EXPECT_FALSE(g_oldRootDeleted);
  EXPECT_EQ(manager().FindControl(L"A"), nullptr);
  EXPECT_EQ(manager().FindControl(L"next"), next);
  ASSERT_TRUE(SkinTest::PumpUntil([&] { return g_oldRootDeleted; }));
  EXPECT_FALSE(Logged(L"notify:dropped:A"));
  EXPECT_FALSE(manager().AttachRoot(nullptr));
}

TEST_F(Manager, InvalidationIsClippedByEveryAncestor) {
  auto* inner = new SkinTest::BoxControl;
  inner->SetAttribute(L"pos", L"10,10,60,40");  // inside the window at (10,10)-(60,40)
  auto* child = new ProbeControl(&log, L"child");
  child->SetAttribute(L"pos", L"30,20,90,50");  // sticks out of inner
  inner->Add(child);
  root->Add(inner);
  ::UpdateWindow(window->hwnd());
  ASSERT_EQ(child->GetPos().left, 40);
  ::ValidateRect(window->hwnd(), nullptr);

  child->Invalidate();
  RECT update = {};
  ASSERT_TRUE(::GetUpdateRect(window->hwnd(), &update, FALSE));
  EXPECT_EQ(update.left, 40);
  EXPECT_EQ(update.top, 30);
  EXPECT_EQ(update.right, 60);   // cut at inner's right edge
  EXPECT_EQ(update.bottom, 40);  // and bottom edge
  ::ValidateRect(window->hwnd(), nullptr);

  // Moving invalidates the old and the new place together.
  child->SetPos(RECT{12, 12, 20, 20});
  ASSERT_TRUE(::GetUpdateRect(window->hwnd(), &update, FALSE));
  EXPECT_EQ(update.left, 12);
  EXPECT_EQ(update.right, 60);
  ::ValidateRect(window->hwnd(), nullptr);

  inner->SetVisible(false);
  ::ValidateRect(window->hwnd(), nullptr);
  child->Invalidate();  // an invisible ancestor: nothing to repaint
  EXPECT_FALSE(::GetUpdateRect(window->hwnd(), &update, FALSE));
}

TEST_F(Manager, DoubleClickSizeAndCursorEvents) {
  Send(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(120, 30));
  EXPECT_TRUE(Logged(L"B:DoubleClick"));
  EXPECT_EQ(manager().GetPushedControl(), b);
  EXPECT_TRUE(manager().IsCaptured());
  Send(WM_LBUTTONUP, 0, MAKELPARAM(120, 30));
  EXPECT_TRUE(Logged(L"B:ButtonUp"));
  EXPECT_EQ(manager().GetFocus(), b);

  ::SetWindowPos(window->hwnd(), nullptr, 0, 0, 210, 100, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_TRUE(Logged(L"B:WindowSize"));

  // A control that asks for cursor events gets them while the cursor is over it.
  auto* hand = new ProbeControl(&log, L"hand", kFlagSetCursor);
  hand->SetAttribute(L"pos", L"160,10,190,60");
  root->Add(hand);
  ::UpdateWindow(window->hwnd());
  int cursorEvents = 0;
  hand->onEvent = [&](ControlEvent& event) { cursorEvents += event.type == ControlEventType::SetCursor; };
  window->MoveMouse(175, 30);
  SkinTest::Pump(100);
  EXPECT_EQ(Send(WM_SETCURSOR, reinterpret_cast<WPARAM>(window->hwnd()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), TRUE);
  EXPECT_GE(cursorEvents, 1);
  window->MoveMouse(30, 30);  // over A, which does not ask
  SkinTest::Pump(100);
  cursorEvents = 0;
  EXPECT_EQ(Send(WM_SETCURSOR, reinterpret_cast<WPARAM>(window->hwnd()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), FALSE);
  EXPECT_EQ(cursorEvents, 0);
  SkinTest::MoveCursor(5, 5);
  SkinTest::Pump(50);
}

// A child window that records what reaches it.
std::vector<UINT> g_childMessages;
LRESULT CALLBACK ChildProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  g_childMessages.push_back(message);
  return message == WM_COMMAND + 0x2000 ? 42 : ::DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(Manager, NotificationsOfChildWindowsAreReflectedToThem) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = ChildProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"SkinUITestChild";
  ::RegisterClassW(&wc);
  HWND child = ::CreateWindowExW(0, L"SkinUITestChild", L"", WS_CHILD, 0, 0, 10, 10, window->hwnd(), nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(child, nullptr);
  g_childMessages.clear();
  EXPECT_EQ(Send(WM_COMMAND, MAKEWPARAM(1, EN_CHANGE), reinterpret_cast<LPARAM>(child)), 42);
  NMHDR header = {child, 1, NM_CLICK};
  Send(WM_NOTIFY, 1, reinterpret_cast<LPARAM>(&header));
  EXPECT_EQ(g_childMessages, (std::vector<UINT>{WM_COMMAND + 0x2000, WM_NOTIFY + 0x2000}));
  ::DestroyWindow(child);
}

TEST_F(Manager, LayeredModePaintsThroughTheAlphaTemplate) {
  SkinTest::UseFixtureSkin();
  a->logPaint = true;
  manager().SetWindowAttribute(L"layeredimage", L"res\nine.png");
  manager().SetWindowAttribute(L"layeredopacity", L"200");
  EXPECT_TRUE(manager().IsLayered());
  EXPECT_EQ(manager().GetLayeredOpacity(), 200);
  EXPECT_NE(::GetWindowLongW(window->hwnd(), GWL_EXSTYLE) & WS_EX_LAYERED, 0);
  // The 10 ms repaint timer paints what became invalid.
  ASSERT_TRUE(SkinTest::PumpUntil([&] { return Logged(L"A:PaintBkColor"); }));
  log.clear();
  a->Invalidate();
  ASSERT_TRUE(SkinTest::PumpUntil([&] { return Logged(L"A:PaintBkColor"); }));

  TestWindow constant(20, 20, 40, 40);
  constant.manager().SetWindowAttribute(L"opacity", L"128");
  EXPECT_NE(::GetWindowLongW(constant.hwnd(), GWL_EXSTYLE) & WS_EX_LAYERED, 0);
  BYTE alpha = 0;
  DWORD flags = 0;
  ::GetLayeredWindowAttributes(constant.hwnd(), nullptr, &alpha, &flags);
  EXPECT_EQ(alpha, 128);
}

// ---- fonts, images, default attributes ----

TEST_F(Manager, FontsByIdWithTheDefaultFontAsFallback) {
  const HFONT defaultFont = manager().GetFont(-1);
  ASSERT_NE(defaultFont, nullptr);
  EXPECT_EQ(manager().GetFont(5), defaultFont);
  const HFONT font = manager().AddFont(0, L"Tahoma", 20, true, false, false);
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(manager().GetFont(0), font);
  const FontInfo* info = manager().GetFontInfo(0);
  EXPECT_EQ(info->size, 20);
  EXPECT_TRUE(info->bold);
  EXPECT_TRUE(info->hasMetrics);
  EXPECT_GT(info->metrics.tmHeight, 0);
  EXPECT_EQ(manager().GetFont(L"Tahoma", 20, true, false, false), font);
  EXPECT_EQ(manager().GetFont(L"Tahoma", 21, true, false, false), nullptr);
  EXPECT_EQ(manager().GetFontInfo(font), info);

  // A second font with the same id replaces the first.
  const HFONT again = manager().AddFont(0, L"Tahoma", 9, false, false, false);
  EXPECT_EQ(manager().GetFontInfo(0)->size, 9);
  EXPECT_EQ(manager().GetFont(0), again);

  // A shared font is seen by every window; the window's own comes first.
  CWindowManagerUI other;
  manager().AddFont(7, L"Tahoma", 30, false, false, false, true);
  EXPECT_EQ(other.GetFontInfo(7)->size, 30);
  manager().AddFont(7, L"Tahoma", 31, false, false, false);
  EXPECT_EQ(manager().GetFontInfo(7)->size, 31);
  EXPECT_EQ(other.GetFontInfo(7)->size, 30);
}

TEST_F(Manager, ADefaultFontReplacesTheDefaultForTextWithoutAFont) {
  Dib32 dib(10, 10);
  const SIZE before = CSkinRenderer::GetTextSize(dib.dc(), &manager(), L"Hg", -1);
  manager().SetDefaultFont(L"Tahoma", 40, false, false, false);
  EXPECT_EQ(manager().GetDefaultFontInfo()->size, 40);
  const SIZE after = CSkinRenderer::GetTextSize(dib.dc(), &manager(), L"Hg", -1);
  EXPECT_GT(after.cy, before.cy + 15);
  CWindowManagerUI other;
  EXPECT_NE(other.GetDefaultFontInfo()->size, 40);  // per window unless shared
}

TEST_F(Manager, ImagesAreLoadedOnceAndLookedUpWindowFirst) {
  SkinTest::UseFixtureSkin();
  const ImageInfo* image = manager().GetOrLoadImage(L"res\\nine.png");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(manager().GetOrLoadImage(L"res\\nine.png"), image);
  EXPECT_EQ(manager().GetImage(L"res\\nine.png"), image);
  EXPECT_EQ(manager().GetOrLoadImage(L"res\\common\\closebtn4.png"), nullptr);

  CWindowManagerUI other;
  EXPECT_EQ(other.GetImage(L"res\\nine.png"), nullptr);
  const ImageInfo* shared = manager().AddImage(L"res\\tile.png", L"", 0, false, true);
  EXPECT_EQ(other.GetImage(L"res\\tile.png"), shared);
  const ImageInfo* adjusted = manager().AddImage(L"res\\mask.png", L"", 0, true);
  ASSERT_NE(adjusted, nullptr);
  EXPECT_TRUE(adjusted->colorAdjust);
  EXPECT_EQ(adjusted->sourcePixels.size(), 8u);
}

TEST_F(Manager, DefaultAttributeListsWindowFirstThenShared) {
  CWindowManagerUI other;
  manager().AddDefaultAttributes(L"Button", L"height=\"30\"", true);
  EXPECT_EQ(other.GetDefaultAttributes(L"Button"), L"height=\"30\"");
  manager().AddDefaultAttributes(L"Button", L"height=\"20\"");
  EXPECT_EQ(manager().GetDefaultAttributes(L"Button"), L"height=\"20\"");
  EXPECT_EQ(other.GetDefaultAttributes(L"Button"), L"height=\"30\"");
  EXPECT_EQ(manager().GetDefaultAttributes(L"Label"), L"");
}

// ---- window attributes ----

TEST_F(Manager, WindowAttributes) {
  TestWindow fresh(10, 10, 50, 50);
  CWindowManagerUI& m = fresh.manager();
  m.SetWindowAttribute(L"SIZE", L"300,200");  // names in any case
  RECT r;
  ::GetWindowRect(fresh.hwnd(), &r);
  EXPECT_EQ(r.right - r.left, 300);
  EXPECT_EQ(r.bottom - r.top, 200);
  EXPECT_EQ(r.left, 10);  // not moved
  m.SetWindowAttribute(L"caption", L"0,0,0,35");
  m.SetWindowAttribute(L"roundcorner", L"2,2");
  m.SetWindowAttribute(L"sizebox", L"4,5,6,7");
  m.SetWindowAttribute(L"mininfo", L"100,80");
  m.SetWindowAttribute(L"maxinfo", L"400,0");
  m.SetWindowAttribute(L"disabledfontcolor", L"#FF112233");
  m.SetWindowAttribute(L"showdirty", L"true");
  m.SetWindowAttribute(L"noactivate", L"false");
  m.SetWindowAttribute(L"showshadow", L"true");
  m.SetWindowAttribute(L"showshadow", L"false");
  m.SetWindowAttribute(L"shadowsize", L"");
  EXPECT_EQ(m.GetCaptionRect().bottom, 35);
  EXPECT_EQ(m.GetRoundCorner().cx, 2);
  EXPECT_EQ(m.GetSizeBox().bottom, 7);
  EXPECT_EQ(m.GetDefaultDisabledColor(), 0xFF112233u);
  EXPECT_EQ(m.GetDefaultFontColor(), 0xFF000000u);
  EXPECT_TRUE(m.IsShowUpdateRect());
  EXPECT_FALSE(m.IsNoActivate());
  EXPECT_EQ(m.GetWindowCustomAttribute(L"showshadow"), L"true");  // the first value stays
  EXPECT_EQ(m.GetWindowCustomAttribute(L"shadowsize"), L"");

  MINMAXINFO info = {};
  info.ptMaxTrackSize = {999, 999};
  ::SendMessageW(fresh.hwnd(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMinTrackSize.x, 100);
  EXPECT_EQ(info.ptMinTrackSize.y, 80);
  EXPECT_EQ(info.ptMaxTrackSize.x, 400);

  // With a root attached "size" only records the size.
  m.AttachRoot(new CControlUI);
  m.SetWindowAttribute(L"size", L"120,90");
  ::GetWindowRect(fresh.hwnd(), &r);
  EXPECT_EQ(r.right - r.left, 300);
  EXPECT_EQ(m.GetInitSize().cx, 120);
}

TEST_F(Manager, NoActivateKeepsClicksFromActivating) {
  manager().SetWindowAttribute(L"noactivate", L"true");
  EXPECT_EQ(Send(WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(window->hwnd()), MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)),
            MA_NOACTIVATE);
}

TEST(LanguageStrings, TokensWithAStringAreReplacedTheRestStays) {
  CWindowManagerUI::AddLanguageString(1, L"Transvera");
  CWindowManagerUI::AddLanguageString(20, L"\u5b89\u88c5");
  CWindowManagerUI::AddLanguageString(1, L"Transvera!");  // replaces
  struct Case {
    const wchar_t* in;
    const wchar_t* out;
  } cases[] = {
      {L"%{1}", L"Transvera!"},
      {L"%{20} %{1}", L"\u5b89\u88c5 Transvera!"},
      {L"%{2}", L"%{2}"},
      {L"%{x}", L"%{x}"},
      {L"%{1", L"%{1"},
      {L"%{}", L"%{}"},
      {L"%{99999999999}", L"%{99999999999}"},
      {L"100%{1}%", L"100Transvera!%"},
      {L"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(CWindowManagerUI::ProcessLanguageTokens(c.in), c.out) << TestSupport::Utf8(c.in);
  EXPECT_EQ(*CWindowManagerUI::GetLanguageString(20), L"\u5b89\u88c5");
  EXPECT_EQ(CWindowManagerUI::GetLanguageString(2), nullptr);
}

}  // namespace
