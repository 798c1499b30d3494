#include "skin_test_support.h"

#include <cstring>
#include <cwchar>

namespace SkinTest {

using SkinUI::ControlEventType;

namespace {

// Under Wine, hiding a window that a window manager would manage waits two
// seconds for a window manager to withdraw it; the virtual display has
// none. Wine reads "Managed" per program when its display driver starts,
// which happens with the first window, after this has run.
const bool kUnmanagedUnderWine = [] {
  if (::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") == nullptr) return false;
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  const wchar_t* name = std::wcsrchr(path, L'\\') != nullptr ? std::wcsrchr(path, L'\\') + 1 : path;
  const std::wstring key = std::wstring(L"Software\\Wine\\AppDefaults\\") + name + L"\\X11 Driver";
  HKEY handle = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const wchar_t value[] = L"N";
  ::RegSetValueExW(handle, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value);
  ::RegCloseKey(handle);
  return true;
}();

}  // namespace

// ---- Dib32 ----

Dib32::Dib32(int width, int height, DWORD fill) : width_(width), height_(height) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  bitmap_ = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bits_ = static_cast<uint32_t*>(bits);
  dc_ = ::CreateCompatibleDC(nullptr);
  previous_ = ::SelectObject(dc_, bitmap_);
  Fill(fill);
}

Dib32::~Dib32() {
  ::SelectObject(dc_, previous_);
  ::DeleteDC(dc_);
  ::DeleteObject(bitmap_);
}

DWORD Dib32::At(int x, int y) const {
  ::GdiFlush();
  return bits_[static_cast<size_t>(y) * width_ + x];
}

void Dib32::Fill(DWORD color) {
  ::GdiFlush();
  for (int i = 0; i < width_ * height_; ++i) bits_[i] = color;
}

// ---- message loop ----

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (done && done()) return true;
    if (static_cast<int>(::GetTickCount() - start) > timeoutMs) return done ? done() : true;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

void Pump(int milliseconds) { PumpUntil(nullptr, milliseconds); }

// ---- TestWindow ----

TestWindow::TestWindow(int x, int y, int width, int height, const wchar_t* title) {
  static ATOM atom = [] {
    WNDCLASSEXW wc = {sizeof wc};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"SkinUITestWindow";
    return ::RegisterClassExW(&wc);
  }();
  (void)atom;
  SkinUI::CWindowManagerUI::SetInstance(::GetModuleHandleW(nullptr));
  hwnd_ = ::CreateWindowExW(0, L"SkinUITestWindow", title, WS_POPUP | WS_CLIPCHILDREN, x, y, width, height, nullptr,
                            nullptr, ::GetModuleHandleW(nullptr), this);
  manager_.Init(hwnd_, L"test");
  ::ShowWindow(hwnd_, SW_SHOW);
  ::SetForegroundWindow(hwnd_);
  ::UpdateWindow(hwnd_);
}

TestWindow::~TestWindow() {
  if (::IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
}

LRESULT CALLBACK TestWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<TestWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self != nullptr && message != WM_NCDESTROY) {
    self->messages.push_back(message);
    LRESULT result = 0;
    if (self->before && self->before(message, wParam, lParam, result)) return result;
    if (self->manager_.GetPaintWindow() == hwnd && self->manager_.MessageHandler(message, wParam, lParam, result)) {
      return result;
    }
  }
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

void TestWindow::MoveMouse(int x, int y) {
  POINT point = {x, y};
  ::ClientToScreen(hwnd_, &point);
  MoveCursor(point.x, point.y);
}

void MoveCursor(int x, int y) {
  // An absolute move in the 0..65535 space of the primary screen.
  const int width = ::GetSystemMetrics(SM_CXSCREEN), height = ::GetSystemMetrics(SM_CYSCREEN);
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dx = static_cast<LONG>((x * 65536LL + width / 2) / width);
  input.mi.dy = static_cast<LONG>((y * 65536LL + height / 2) / height);
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  ::SendInput(1, &input, sizeof input);
}

void TestWindow::LeftDown() {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  ::SendInput(1, &input, sizeof input);
}

void TestWindow::LeftUp() {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = MOUSEEVENTF_LEFTUP;
  ::SendInput(1, &input, sizeof input);
}

DWORD TestWindow::ScreenPixel(int x, int y) const {
  HDC screen = ::GetDC(nullptr);
  POINT point = {x, y};
  ::ClientToScreen(hwnd_, &point);
  const COLORREF color = ::GetPixel(screen, point.x, point.y);
  ::ReleaseDC(nullptr, screen);
  return static_cast<DWORD>(GetRValue(color)) << 16 | static_cast<DWORD>(GetGValue(color)) << 8 | GetBValue(color);
}

// ---- recording controls ----

std::wstring EventName(ControlEventType type) {
  switch (type) {
    case ControlEventType::KeyDown: return L"KeyDown";
    case ControlEventType::KeyUp: return L"KeyUp";
    case ControlEventType::Char: return L"Char";
    case ControlEventType::SysKey: return L"SysKey";
    case ControlEventType::MouseMove: return L"MouseMove";
    case ControlEventType::MouseLeave: return L"MouseLeave";
    case ControlEventType::MouseEnter: return L"MouseEnter";
    case ControlEventType::MouseHover: return L"MouseHover";
    case ControlEventType::ButtonDown: return L"ButtonDown";
    case ControlEventType::ButtonUp: return L"ButtonUp";
    case ControlEventType::RightButtonDown: return L"RightButtonDown";
    case ControlEventType::DoubleClick: return L"DoubleClick";
    case ControlEventType::ContextMenu: return L"ContextMenu";
    case ControlEventType::ScrollWheel: return L"ScrollWheel";
    case ControlEventType::KillFocus: return L"KillFocus";
    case ControlEventType::SetFocus: return L"SetFocus";
    case ControlEventType::WindowSize: return L"WindowSize";
    case ControlEventType::SetCursor: return L"SetCursor";
    case ControlEventType::Timer: return L"Timer";
  }
  return L"?";
}

void ProbeControl::DoEvent(SkinUI::ControlEvent& event) {
  if (event.type != ControlEventType::MouseMove && event.type != ControlEventType::SetCursor) {
    log_->push_back(GetName() + L":" + EventName(event.type));
  }
  if (onEvent) onEvent(event);
  CControlUI::DoEvent(event);
}

void ProbeControl::PaintBkColor(HDC dc) {
  if (logPaint) log_->push_back(GetName() + L":PaintBkColor");
  CControlUI::PaintBkColor(dc);
}
void ProbeControl::PaintBkImage(HDC dc) {
  if (logPaint) log_->push_back(GetName() + L":PaintBkImage");
  CControlUI::PaintBkImage(dc);
}
void ProbeControl::PaintStatusImage(HDC dc) {
  if (logPaint) log_->push_back(GetName() + L":PaintStatusImage");
}
void ProbeControl::PaintText(HDC dc) {
  if (logPaint) log_->push_back(GetName() + L":PaintText");
}
void ProbeControl::PaintBorder(HDC dc) {
  if (logPaint) log_->push_back(GetName() + L":PaintBorder");
  CControlUI::PaintBorder(dc);
}

BoxControl::~BoxControl() {
  for (CControlUI* child : children_) child->Delete();
}

void BoxControl::Add(CControlUI* child) {
  children_.push_back(child);
  if (manager_ != nullptr) manager_->AttachSubtree(child, this);
  NeedUpdate();
}

void BoxControl::SetManager(SkinUI::CWindowManagerUI* manager, CControlUI* parent, bool initialise) {
  for (CControlUI* child : children_) child->SetManager(manager, this, initialise);
  CControlUI::SetManager(manager, parent, initialise);
}

void BoxControl::SetPos(RECT rect, bool invalidate) {
  CControlUI::SetPos(rect, invalidate);
  for (CControlUI* child : children_) {
    const POINT xy = child->GetFixedPosition();
    const RECT r{rect.left + xy.x, rect.top + xy.y, rect.left + xy.x + child->GetFixedWidth(),
                 rect.top + xy.y + child->GetFixedHeight()};
    child->SetPos(r, false);
  }
}

SkinUI::CControlUI* BoxControl::FindControl(SkinUI::FindControlProc predicate, void* data, UINT flags) {
  if ((flags & SkinUI::kFindVisible) != 0 && !IsVisible()) return nullptr;
  if ((flags & SkinUI::kFindEnabled) != 0 && !IsEnabled()) return nullptr;
  if ((flags & SkinUI::kFindHitTest) != 0 && !::PtInRect(&item_, *static_cast<POINT*>(data))) return nullptr;
  if ((flags & SkinUI::kFindMeFirst) != 0) {
    if (CControlUI* found = predicate(this, data)) return found;
  }
  if ((flags & SkinUI::kFindTopFirst) != 0) {
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
      if (CControlUI* found = (*it)->FindControl(predicate, data, flags)) return found;
    }
  } else {
    for (CControlUI* child : children_) {
      if (CControlUI* found = child->FindControl(predicate, data, flags)) return found;
    }
  }
  if ((flags & SkinUI::kFindMeFirst) != 0) return nullptr;
  if ((flags & SkinUI::kFindHitTest) != 0 && !IsMouseEnabled()) return nullptr;
  return predicate(this, data);
}

bool BoxControl::DoPaint(HDC dc, const RECT& paint, CControlUI* stop) {
  if (!CControlUI::DoPaint(dc, paint, stop)) return false;
  for (CControlUI* child : children_) {
    if (!child->IsVisible()) continue;
    if (!child->Paint(dc, paint, stop)) return false;
  }
  return true;
}

void LogNotifier::Notify(SkinUI::NotifyEvent& event) {
  log_->push_back(L"notify:" + event.type + L":" + (event.sender != nullptr ? event.sender->GetName() : L"-"));
  events.push_back(event);
  if (onNotify) onNotify(event);
}

}  // namespace SkinTest
