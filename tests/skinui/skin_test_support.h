// Helpers of the framework tests: the fixture archives, a 32-bit DIB to
// paint into and read back, a real top-level window whose messages go
// through a CWindowManagerUI, real mouse input, and small controls that
// record what happens to them.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "skinui/control.h"
#include "skinui/window_manager.h"
#include "support/test_support.h"

namespace SkinTest {

// The fixture archives built next to the test programs.
inline std::wstring FixtureArchive() { return TestSupport::BinPath(L"skin_fixture.7z"); }
inline std::wstring LimitsArchive() { return TestSupport::BinPath(L"skin_limits.7z"); }

// Installs the fixture archive as the cached skin of this process.
inline void UseFixtureSkin() {
  SkinUI::CWindowManagerUI::UseSevenZipArchives(true);
  SkinUI::CWindowManagerUI::SetResourcePath(TestSupport::BinDir());
  SkinUI::CWindowManagerUI::SetResourceArchive(L"skin_fixture.7z", true);
}

// A 32-bit top-down DIB selected into its own memory DC.
class Dib32 {
 public:
  Dib32(int width, int height, DWORD fill = 0xFF000000);
  ~Dib32();
  Dib32(const Dib32&) = delete;
  Dib32& operator=(const Dib32&) = delete;

  HDC dc() const { return dc_; }
  int width() const { return width_; }
  int height() const { return height_; }
  // 0xAARRGGBB as stored (GDI leaves the alpha byte alone or clears it).
  DWORD At(int x, int y) const;
  // The colour without its alpha byte.
  DWORD Rgb(int x, int y) const { return At(x, y) & 0xFFFFFF; }
  void Fill(DWORD color);
  const uint32_t* bits() const { return bits_; }

 private:
  int width_, height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  uint32_t* bits_ = nullptr;
};

// Runs the message loop of this thread until `done` or the time is up.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 3000);
void Pump(int milliseconds);

// Real input: moves the cursor to a screen point.
void MoveCursor(int x, int y);

// A visible popup window whose messages go to its manager first.
class TestWindow {
 public:
  TestWindow(int x, int y, int width, int height, const wchar_t* title = L"SkinUI test");
  ~TestWindow();
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  SkinUI::CWindowManagerUI& manager() { return manager_; }
  // Seen before the manager; return true to handle.
  std::function<bool(UINT, WPARAM, LPARAM, LRESULT&)> before;
  // Every message that reached the window procedure, in order.
  std::vector<UINT> messages;

  // Real input: the cursor moves to a client point, the left button goes down/up.
  void MoveMouse(int x, int y);
  void LeftDown();
  void LeftUp();
  // The window's client area as drawn on the screen.
  DWORD ScreenPixel(int x, int y) const;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  HWND hwnd_ = nullptr;
  SkinUI::CWindowManagerUI manager_;
};

// A shared log the recording controls and notifiers write to.
using Log = std::vector<std::wstring>;

// A control that logs its events ("name:MouseEnter", ...) and paint calls.
class ProbeControl : public SkinUI::CControlUI {
 public:
  ProbeControl(Log* log, const std::wstring& name, UINT flags = 0) : log_(log), flags_(flags) { SetName(name); }
  UINT GetControlFlags() const override { return flags_; }
  void DoEvent(SkinUI::ControlEvent& event) override;
  void PaintBkColor(HDC dc) override;
  void PaintBkImage(HDC dc) override;
  void PaintStatusImage(HDC dc) override;
  void PaintText(HDC dc) override;
  void PaintBorder(HDC dc) override;
  // Called from DoEvent before the base handling; may send notifications.
  std::function<void(SkinUI::ControlEvent&)> onEvent;
  bool logPaint = false;

 private:
  Log* log_;
  UINT flags_;
};

// The smallest container: children at their "pos" inside it, hit-tested
// from the last to the first, painted in order.
class BoxControl : public SkinUI::CControlUI {
 public:
  ~BoxControl() override;
  void Add(SkinUI::CControlUI* child);  // owned
  void SetManager(SkinUI::CWindowManagerUI* manager, SkinUI::CControlUI* parent, bool initialise) override;
  void SetPos(RECT rect, bool invalidate = true) override;
  SkinUI::CControlUI* FindControl(SkinUI::FindControlProc predicate, void* data, UINT flags) override;
  bool DoPaint(HDC dc, const RECT& paint, SkinUI::CControlUI* stop) override;

 private:
  std::vector<SkinUI::CControlUI*> children_;
};

// A notifier that logs "type:sender" for every notification.
class LogNotifier : public SkinUI::INotifyUI {
 public:
  explicit LogNotifier(Log* log) : log_(log) {}
  void Notify(SkinUI::NotifyEvent& event) override;
  std::function<void(SkinUI::NotifyEvent&)> onNotify;
  std::vector<SkinUI::NotifyEvent> events;

 private:
  Log* log_;
};

std::wstring EventName(SkinUI::ControlEventType type);

}  // namespace SkinTest
