// Message routing, notifications, timers, fonts, images and painting of one
// skinned window.
#include "skinui/window_manager.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <cwctype>

#include "skinui/attribute_values.h"
#include "skinui/control.h"

namespace SkinUI {

namespace {

struct SharedState {
  std::vector<CWindowManagerUI*> liveManagers;
  std::map<int, std::unique_ptr<FontInfo>> fonts;
  std::map<std::wstring, std::unique_ptr<ImageInfo>> images;
  std::map<std::wstring, std::wstring> defaultAttributes;
  std::map<int, std::wstring> languageStrings;
  std::unique_ptr<FontInfo> defaultFont;
  Utils::ScopedPen updatePen;
  bool initialised = false;
};

// Shared by the windows of the UI thread.
SharedState& Shared() {
  static SharedState state;
  return state;
}

constexpr DWORD kDefaultDisabledColor = 0xFFA7A6AA;
constexpr DWORD kDefaultFontColor = 0xFF000000;
constexpr DWORD kDefaultLinkColor = 0xFF0000FF;
constexpr DWORD kDefaultLinkHoverColor = 0xFFD3215F;
constexpr DWORD kDefaultSelectedColor = 0xFFBAE4FF;

// The system default GUI font's description with the default character set.
LOGFONTW DefaultLogFont() {
  LOGFONTW font = {};
  ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
  font.lfCharSet = DEFAULT_CHARSET;
  return font;
}

void InitialiseShared() {
  SharedState& s = Shared();
  if (s.initialised) return;
  s.initialised = true;
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
  CSkinRenderer::HasSystemAlphaBlend();  // loads msimg32.dll
  const LOGFONTW font = DefaultLogFont();
  auto info = std::make_unique<FontInfo>();
  info->font.reset(::CreateFontIndirectW(&font));
  info->face = font.lfFaceName;
  info->size = -font.lfHeight;
  info->bold = font.lfWeight >= FW_BOLD;
  info->underline = font.lfUnderline != 0;
  info->italic = font.lfItalic != 0;
  s.defaultFont = std::move(info);
  s.updatePen.reset(::CreatePen(PS_SOLID, 1, RGB(220, 0, 0)));
}

WORD MapKeyState() {
  WORD state = 0;
  if (::GetKeyState(VK_CONTROL) < 0) state |= kKeyControl;
  if (::GetKeyState(VK_RBUTTON) < 0) state |= kKeyRightButton;
  if (::GetKeyState(VK_LBUTTON) < 0) state |= kKeyLeftButton;
  if (::GetKeyState(VK_SHIFT) < 0) state |= kKeyShift;
  if (::GetKeyState(VK_MENU) < 0) state |= kKeyAlt;
  return state;
}

POINT PointFromLParam(LPARAM lParam) { return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

bool IsClientMouseMessage(UINT message) { return message >= WM_MOUSEFIRST && message <= WM_MOUSELAST; }

template <typename T>
bool AddUnique(std::vector<T*>& list, T* item) {
  if (item == nullptr || std::find(list.begin(), list.end(), item) != list.end()) return false;
  list.push_back(item);
  return true;
}

template <typename T>
bool RemoveItem(std::vector<T*>& list, T* item) {
  auto it = std::find(list.begin(), list.end(), item);
  if (it == list.end()) return false;
  list.erase(it);
  return true;
}

CControlUI* FindFromPoint(CControlUI* control, void*) { return control; }

using LayeredUpdateFn = BOOL(WINAPI*)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF, BLENDFUNCTION*, DWORD);
using LayeredAttributesFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);

template <typename Fn>
Fn User32Function(const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), name)));
}

}  // namespace

// ---- construction ----

CWindowManagerUI::CWindowManagerUI()
    : disabledColor_(kDefaultDisabledColor),
      fontColor_(kDefaultFontColor),
      linkColor_(kDefaultLinkColor),
      linkHoverColor_(kDefaultLinkHoverColor),
      selectedColor_(kDefaultSelectedColor) {
  InitialiseShared();
}

CWindowManagerUI::~CWindowManagerUI() {
  DeleteLaterNow();
  {
    std::lock_guard<std::mutex> lock(queueLock_);
    asyncQueue_.clear();
  }
  if (root_ != nullptr) {
    CControlUI* root = root_;
    root_ = nullptr;
    root->Delete();
  }
  // Controls that went on the cleanup list while the tree was deleted.
  DeleteLaterNow();
  RemoveAllTimers();
  if (tooltip_ != nullptr) ::DestroyWindow(tooltip_);
  tooltip_ = nullptr;
  offscreenDC_.reset();  // the DC goes first: its bitmap cannot be deleted while selected
  offscreenBitmap_.reset();
  auto& live = Shared().liveManagers;
  live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

void CWindowManagerUI::Init(HWND window, const std::wstring& name) {
  names_.clear();
  fonts_.clear();
  images_.clear();
  defaultAttributes_.clear();
  customAttributes_.clear();
  optionGroups_.clear();
  RemoveAllTimers();
  name_ = name;
  if (window_ != window) {
    window_ = window;
    paintDC_ = Utils::ScopedWindowDC(window);
    AddUnique(Shared().liveManagers, this);
  }
}

bool CWindowManagerUI::AttachRoot(CControlUI* root) {
  if (root == nullptr) return false;
  // Let go of the previous tree.
  SetFocus(nullptr, false);
  keyControl_ = nullptr;
  hot_ = nullptr;
  pushed_ = nullptr;
  DeleteLaterNow();
  {
    std::lock_guard<std::mutex> lock(queueLock_);
    asyncQueue_.clear();
  }
  names_.clear();
  latePaint_.clear();
  childWindows_.clear();
  childWindowControls_.clear();
  if (root_ != nullptr) DeleteLater(root_);

  root_ = root;
  firstLayout_ = true;
  updateNeeded_ = true;
  focusNeeded_ = true;
  root_->SetManager(this, nullptr, true);
  RegisterNames(root_);
  // A window that is already on screen shows the new tree at its next paint.
  Invalidate();
  return true;
}

bool CWindowManagerUI::AttachSubtree(CControlUI* control, CControlUI* parent) {
  if (control == nullptr) return false;
  control->SetManager(this, parent, true);
  RegisterNames(control);
  return true;
}

void CWindowManagerUI::RegisterNames(CControlUI* control) {
  // The first control of a name keeps it.
  control->FindControl(
      [](CControlUI* c, void* data) -> CControlUI* {
        const std::wstring name = c->GetName();
        if (!name.empty()) static_cast<std::map<std::wstring, CControlUI*>*>(data)->emplace(name, c);
        return nullptr;
      },
      &names_, kFindAll);
}

CControlUI* CWindowManagerUI::FindControl(const std::wstring& name) const {
  auto it = names_.find(name);
  return it == names_.end() ? nullptr : it->second;
}

CControlUI* CWindowManagerUI::FindControl(POINT point) const {
  if (root_ == nullptr) return nullptr;
  return root_->FindControl(FindFromPoint, &point, kFindVisible | kFindHitTest | kFindTopFirst);
}

// ---- focus and capture ----

ControlEvent CWindowManagerUI::MakeEvent(ControlEventType type, CControlUI* sender, WPARAM wParam,
                                         LPARAM lParam) const {
  ControlEvent event;
  event.type = type;
  event.sender = sender;
  event.timestamp = ::GetTickCount();
  event.mouse = GetMousePos();
  event.keyState = MapKeyState();
  event.wParam = wParam;
  event.lParam = lParam;
  return event;
}

void CWindowManagerUI::SetFocus(CControlUI* control, bool takeNativeFocus) {
  if (takeNativeFocus && !noActivate_ && window_ != nullptr && ::GetFocus() != window_) ::SetFocus(window_);
  if (control == focus_) return;
  if (focus_ != nullptr) {
    CControlUI* old = focus_;
    focus_ = nullptr;
    ControlEvent event = MakeEvent(ControlEventType::KillFocus, old);
    old->Event(event);
    SendNotify(old, L"killfocus");
  }
  if (control == nullptr || control->GetManager() != this || !control->IsVisible() || !control->IsEnabled()) return;
  focus_ = control;
  ControlEvent event = MakeEvent(ControlEventType::SetFocus, control);
  control->Event(event);
  SendNotify(control, L"setfocus");
}

void CWindowManagerUI::FocusAfterLayout(CControlUI* control) {
  focusAfterLayout_ = control;
  focusNeeded_ = true;
  Invalidate();
}

bool CWindowManagerUI::MoveTabFocus(bool forward) {
  focusNeeded_ = false;
  if (root_ == nullptr) return false;
  if (updateNeeded_ && forward) {
    // Positions are not known yet: place the focus after the next layout.
    focusNeeded_ = true;
    Invalidate();
    return true;
  }
  if (focusAfterLayout_ != nullptr) {
    CControlUI* control = focusAfterLayout_;
    focusAfterLayout_ = nullptr;
    SetFocus(control, true);
    return true;
  }
  std::vector<CControlUI*> stops;
  root_->FindControl(
      [](CControlUI* c, void* data) -> CControlUI* {
        if ((c->GetControlFlags() & kFlagTabStop) != 0) static_cast<std::vector<CControlUI*>*>(data)->push_back(c);
        return nullptr;
      },
      &stops, kFindVisible | kFindEnabled | kFindMeFirst);
  if (stops.empty()) return true;
  auto current = std::find(stops.begin(), stops.end(), focus_);
  CControlUI* next = nullptr;
  if (current == stops.end()) {
    next = forward ? stops.front() : stops.back();
  } else if (forward) {
    next = current + 1 == stops.end() ? stops.front() : *(current + 1);
  } else {
    next = current == stops.begin() ? stops.back() : *(current - 1);
  }
  SetFocus(next, true);
  return true;
}

void CWindowManagerUI::SetCapture() {
  if (window_ != nullptr) ::SetCapture(window_);
  mouseCapture_ = true;
}

void CWindowManagerUI::ReleaseCapture() {
  ::ReleaseCapture();
  mouseCapture_ = false;
}

// ---- notifications ----

void CWindowManagerUI::SendNotify(CControlUI* sender, const std::wstring& type, WPARAM wParam, LPARAM lParam,
                                  bool async) {
  NotifyEvent event;
  event.type = type;
  event.sender = sender;
  event.wParam = wParam;
  event.lParam = lParam;
  SendNotify(event, async);
}

void CWindowManagerUI::SendNotify(NotifyEvent& event, bool async) {
  event.mouse = GetMousePos();
  event.timestamp = ::GetTickCount();
  if (!async) {
    if (usedVirtualWnd_ && event.sender != nullptr) event.virtualWindow = event.sender->GetVirtualWindow();
    DeliverNotify(event, true);
    return;
  }
  // Any thread may get here: only the queue and its posted flag are
  // touched, under the lock. The sender's virtual window name is read on
  // the UI thread at delivery.
  bool post = false;
  {
    std::lock_guard<std::mutex> lock(queueLock_);
    asyncQueue_.push_back(std::make_unique<NotifyEvent>(event));
    if (!asyncPosted_) {
      asyncPosted_ = true;
      post = true;
    }
  }
  if (post && (window_ == nullptr || !::PostMessageW(window_, kAsyncNotifyMessage, 0, 0))) {
    std::lock_guard<std::mutex> lock(queueLock_);
    asyncPosted_ = false;
  }
}

void CWindowManagerUI::DeliverNotify(NotifyEvent& event, bool runDelegates) {
  if (runDelegates && event.sender != nullptr) event.sender->OnNotify(&event);
  // A notifier may remove notifiers while it runs; removed ones are skipped.
  const std::vector<INotifyUI*> snapshot = notifiers_;
  for (INotifyUI* notifier : snapshot) {
    if (std::find(notifiers_.begin(), notifiers_.end(), notifier) != notifiers_.end()) notifier->Notify(event);
  }
}

void CWindowManagerUI::DeliverAsyncNotifications() {
  {
    std::lock_guard<std::mutex> lock(queueLock_);
    asyncPosted_ = false;
  }
  // One record at a time: a handler may send more, or run a nested message
  // loop that delivers the rest.
  for (;;) {
    std::unique_ptr<NotifyEvent> event;
    {
      std::lock_guard<std::mutex> lock(queueLock_);
      if (asyncQueue_.empty()) break;
      event = std::move(asyncQueue_.front());
      asyncQueue_.pop_front();
    }
    if (usedVirtualWnd_ && event->sender != nullptr) event->virtualWindow = event->sender->GetVirtualWindow();
    DeliverNotify(*event, event->sender != nullptr);
  }
  DeleteLaterNow();
}

size_t CWindowManagerUI::GetQueuedNotifyCount() const {
  std::lock_guard<std::mutex> lock(queueLock_);
  return asyncQueue_.size();
}

bool CWindowManagerUI::AddNotifier(INotifyUI* notifier) { return AddUnique(notifiers_, notifier); }
bool CWindowManagerUI::RemoveNotifier(INotifyUI* notifier) { return RemoveItem(notifiers_, notifier); }
bool CWindowManagerUI::AddPreMessageFilter(IMessageFilterUI* filter) { return AddUnique(preMessageFilters_, filter); }
bool CWindowManagerUI::RemovePreMessageFilter(IMessageFilterUI* filter) {
  return RemoveItem(preMessageFilters_, filter);
}
bool CWindowManagerUI::AddMessageFilter(IMessageFilterUI* filter) { return AddUnique(messageFilters_, filter); }
bool CWindowManagerUI::RemoveMessageFilter(IMessageFilterUI* filter) { return RemoveItem(messageFilters_, filter); }
bool CWindowManagerUI::AddAcceleratorHandler(ITranslateAccelerator* handler) {
  return AddUnique(acceleratorHandlers_, handler);
}
bool CWindowManagerUI::RemoveAcceleratorHandler(ITranslateAccelerator* handler) {
  return RemoveItem(acceleratorHandlers_, handler);
}

// ---- timers ----

UINT_PTR CWindowManagerUI::NextTimerId() {
  // Ids come from a seed counted modulo 255; an id still held by a record
  // of this window is skipped, since starting it again would take that
  // record's timer away.
  for (int attempt = 0; attempt < 255; ++attempt) {
    timerSeed_ = (timerSeed_ + 1) % 255;
    const bool used = std::any_of(timers_.begin(), timers_.end(), [&](const TimerInfo& t) {
      return t.window == window_ && t.nativeId == timerSeed_;
    });
    if (!used) return timerSeed_;
  }
  return 0;
}

bool CWindowManagerUI::SetTimer(CControlUI* control, UINT id, UINT elapse) {
  if (window_ == nullptr || control == nullptr) return false;
  for (TimerInfo& timer : timers_) {
    if (timer.control == control && timer.window == window_ && timer.id == id) {
      if (!timer.killed) return false;
      if (::SetTimer(window_, timer.nativeId, elapse, nullptr) == 0) return false;
      timer.killed = false;
      return true;
    }
  }
  if (timers_.size() >= 255) return false;
  const UINT_PTR nativeId = NextTimerId();
  if (::SetTimer(window_, nativeId, elapse, nullptr) == 0) return false;
  timers_.push_back(TimerInfo{control, id, nativeId, window_, false});
  return true;
}

bool CWindowManagerUI::KillTimer(CControlUI* control, UINT id) {
  for (TimerInfo& timer : timers_) {
    if (timer.control == control && timer.window == window_ && timer.id == id && !timer.killed) {
      if (::IsWindow(timer.window)) ::KillTimer(timer.window, timer.nativeId);
      timer.killed = true;
      return true;
    }
  }
  return false;
}

void CWindowManagerUI::KillTimer(CControlUI* control) {
  for (auto it = timers_.begin(); it != timers_.end();) {
    if (it->control == control) {
      if (!it->killed && ::IsWindow(it->window)) ::KillTimer(it->window, it->nativeId);
      it = timers_.erase(it);
    } else {
      ++it;
    }
  }
}

void CWindowManagerUI::RemoveAllTimers() {
  for (const TimerInfo& timer : timers_) {
    if (!timer.killed && ::IsWindow(timer.window)) ::KillTimer(timer.window, timer.nativeId);
  }
  timers_.clear();
}

std::vector<UINT_PTR> CWindowManagerUI::GetNativeTimerIds() const {
  std::vector<UINT_PTR> ids;
  for (const TimerInfo& timer : timers_) ids.push_back(timer.nativeId);
  return ids;
}

// ---- fonts ----

void CWindowManagerUI::FillMetrics(FontInfo* info) {
  if (info == nullptr || info->hasMetrics || !info->font) return;
  // Without a window yet a memory DC gives the same metrics.
  Utils::ScopedMemoryDC memoryDC;
  HDC dc = paintDC_.get();
  if (dc == nullptr) {
    memoryDC.reset(::CreateCompatibleDC(nullptr));
    dc = memoryDC.get();
  }
  if (dc == nullptr) return;
  Utils::ScopedSelectObject select(dc, info->font.get());
  info->hasMetrics = ::GetTextMetricsW(dc, &info->metrics) != FALSE;
}

std::unique_ptr<FontInfo> CWindowManagerUI::CreateFontRecord(const std::wstring& face, int size, bool bold,
                                                             bool underline, bool italic) {
  LOGFONTW font = DefaultLogFont();
  std::wcsncpy(font.lfFaceName, face.c_str(), LF_FACESIZE - 1);
  font.lfFaceName[LF_FACESIZE - 1] = 0;
  font.lfHeight = -size;
  if (bold) font.lfWeight += FW_BOLD;
  if (underline) font.lfUnderline = TRUE;
  if (italic) font.lfItalic = TRUE;
  auto info = std::make_unique<FontInfo>();
  info->font.reset(::CreateFontIndirectW(&font));
  if (!info->font) return nullptr;
  info->face = font.lfFaceName;
  info->size = size;
  info->bold = bold;
  info->underline = underline;
  info->italic = italic;
  if (paintDC_) FillMetrics(info.get());
  return info;
}

HFONT CWindowManagerUI::AddFont(int id, const std::wstring& face, int size, bool bold, bool underline, bool italic,
                                bool shared) {
  auto info = CreateFontRecord(face, size, bold, underline, italic);
  if (!info) return nullptr;
  HFONT font = info->font.get();
  auto& table = shared || forceShared_ ? Shared().fonts : fonts_;
  table[id] = std::move(info);  // an older font of that id is deleted
  return font;
}

void CWindowManagerUI::SetDefaultFont(const std::wstring& face, int size, bool bold, bool underline, bool italic,
                                      bool shared) {
  auto info = CreateFontRecord(face, size, bold, underline, italic);
  if (!info) return;
  if (shared || forceShared_) {
    Shared().defaultFont = std::move(info);
  } else {
    defaultFont_ = std::move(info);
  }
}

const FontInfo* CWindowManagerUI::GetDefaultFontInfo() {
  FontInfo* info = defaultFont_ ? defaultFont_.get() : Shared().defaultFont.get();
  FillMetrics(info);
  return info;
}

const FontInfo* CWindowManagerUI::GetFontInfo(int id) {
  FontInfo* info = nullptr;
  if (id >= 0) {
    auto it = fonts_.find(id);
    if (it != fonts_.end()) {
      info = it->second.get();
    } else {
      auto shared = Shared().fonts.find(id);
      if (shared != Shared().fonts.end()) info = shared->second.get();
    }
  }
  if (info == nullptr) return GetDefaultFontInfo();
  FillMetrics(info);
  return info;
}

HFONT CWindowManagerUI::GetFont(int id) {
  const FontInfo* info = GetFontInfo(id);
  return info != nullptr ? info->font.get() : nullptr;
}

const FontInfo* CWindowManagerUI::GetFontInfo(HFONT font) {
  for (auto* table : {&fonts_, &Shared().fonts}) {
    for (auto& entry : *table) {
      if (entry.second->font.get() == font) {
        FillMetrics(entry.second.get());
        return entry.second.get();
      }
    }
  }
  for (FontInfo* info : {defaultFont_.get(), Shared().defaultFont.get()}) {
    if (info != nullptr && info->font.get() == font) {
      FillMetrics(info);
      return info;
    }
  }
  return nullptr;
}

HFONT CWindowManagerUI::GetFont(const std::wstring& face, int size, bool bold, bool underline, bool italic) {
  for (auto* table : {&fonts_, &Shared().fonts}) {
    for (auto& entry : *table) {
      const FontInfo& f = *entry.second;
      if (f.face == face && f.size == size && f.bold == bold && f.underline == underline && f.italic == italic) {
        return f.font.get();
      }
    }
  }
  return nullptr;
}

// ---- images ----

const ImageInfo* CWindowManagerUI::AddImage(const std::wstring& name, const std::wstring& resourceType, DWORD mask,
                                            bool colorAdjust, bool shared) {
  if (name.empty()) return nullptr;
  std::unique_ptr<ImageInfo> image = CSkinRenderer::LoadImage(name, resourceType, mask);
  if (!image) return nullptr;
  image->colorAdjust = colorAdjust;
  if (colorAdjust) {
    image->sourcePixels.assign(image->pixels,
                               image->pixels + static_cast<size_t>(image->width) * image->height * 4);
  }
  const ImageInfo* result = image.get();
  auto& table = shared || forceShared_ ? Shared().images : images_;
  table[name] = std::move(image);  // an older image of that name is freed
  return result;
}

const ImageInfo* CWindowManagerUI::GetImage(const std::wstring& name) const {
  auto it = images_.find(name);
  if (it != images_.end()) return it->second.get();
  auto shared = Shared().images.find(name);
  return shared != Shared().images.end() ? shared->second.get() : nullptr;
}

const ImageInfo* CWindowManagerUI::GetOrLoadImage(const std::wstring& name, const std::wstring& resourceType,
                                                  DWORD mask, bool colorAdjust) {
  if (const ImageInfo* image = GetImage(name)) return image;
  return AddImage(name, resourceType, mask, colorAdjust, false);
}

// ---- default attribute lists ----

void CWindowManagerUI::AddDefaultAttributes(const std::wstring& element, const std::wstring& list, bool shared) {
  auto& table = shared || forceShared_ ? Shared().defaultAttributes : defaultAttributes_;
  table[element] = list;
}

std::wstring CWindowManagerUI::GetDefaultAttributes(const std::wstring& element) const {
  auto it = defaultAttributes_.find(element);
  if (it != defaultAttributes_.end()) return it->second;
  auto shared = Shared().defaultAttributes.find(element);
  return shared != Shared().defaultAttributes.end() ? shared->second : std::wstring();
}

// ---- window attributes ----

void CWindowManagerUI::SetInitSize(int cx, int cy) {
  initSize_ = SIZE{cx, cy};
  if (root_ == nullptr && window_ != nullptr) {
    ::SetWindowPos(window_, nullptr, 0, 0, cx, cy, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
  }
}

void CWindowManagerUI::SetWindowAttribute(const std::wstring& name, const std::wstring& value) {
  auto is = [&](const wchar_t* candidate) { return _wcsicmp(name.c_str(), candidate) == 0; };
  const wchar_t* v = value.c_str();
  if (is(L"size")) {
    const SIZE size = ParseSize(v);
    SetInitSize(size.cx, size.cy);
  } else if (is(L"sizebox")) {
    sizeBox_ = ParseRect(v);
  } else if (is(L"caption")) {
    caption_ = ParseRect(v);
  } else if (is(L"roundcorner")) {
    roundCorner_ = ParseSize(v);
  } else if (is(L"mininfo")) {
    minInfo_ = ParseSize(v);
  } else if (is(L"maxinfo")) {
    maxInfo_ = ParseSize(v);
  } else if (is(L"showdirty")) {
    showDirty_ = ParseBool(v);
  } else if (is(L"noactivate")) {
    noActivate_ = ParseBool(v);
  } else if (is(L"opacity")) {
    const BYTE alpha = static_cast<BYTE>(std::clamp(ParseInt(v), 0, 255));
    if (window_ != nullptr) {
      if (auto setAttributes = User32Function<LayeredAttributesFn>("SetLayeredWindowAttributes")) {
        ::SetWindowLongW(window_, GWL_EXSTYLE, ::GetWindowLongW(window_, GWL_EXSTYLE) | WS_EX_LAYERED);
        setAttributes(window_, 0, alpha, LWA_ALPHA);
      }
    }
  } else if (is(L"layeredopacity")) {
    layeredOpacity_ = static_cast<BYTE>(std::clamp(ParseInt(v), 0, 255));
    Invalidate();
  } else if (is(L"layeredimage")) {
    layeredImage_ = value;
    layered_ = true;
    if (window_ != nullptr) {
      ::SetWindowLongW(window_, GWL_EXSTYLE, ::GetWindowLongW(window_, GWL_EXSTYLE) | WS_EX_LAYERED);
      ::SetTimer(window_, kLayeredRepaintTimerId, 10, nullptr);
    }
    Invalidate();
  } else if (is(L"disabledfontcolor")) {
    disabledColor_ = ParseColor(v);
  } else if (is(L"defaultfontcolor")) {
    fontColor_ = ParseColor(v);
  } else if (is(L"linkfontcolor")) {
    linkColor_ = ParseColor(v);
  } else if (is(L"linkhoverfontcolor")) {
    linkHoverColor_ = ParseColor(v);
  } else if (is(L"selectedcolor")) {
    selectedColor_ = ParseColor(v);
  } else {
    AddWindowCustomAttribute(name, value);
  }
}

void CWindowManagerUI::AddWindowCustomAttribute(const std::wstring& name, const std::wstring& value) {
  if (name.empty() || value.empty()) return;
  customAttributes_.emplace(name, value);  // the first value stays
}

std::wstring CWindowManagerUI::GetWindowCustomAttribute(const std::wstring& name) const {
  auto it = customAttributes_.find(name);
  return it == customAttributes_.end() ? std::wstring() : it->second;
}

// ---- option groups, deferred work, children ----

bool CWindowManagerUI::AddOptionGroup(const std::wstring& group, CControlUI* option) {
  if (group.empty() || option == nullptr) return false;
  auto& members = optionGroups_[group];
  if (std::find(members.begin(), members.end(), option) != members.end()) return false;
  members.push_back(option);
  return true;
}

const std::vector<CControlUI*>* CWindowManagerUI::GetOptionGroup(const std::wstring& group) const {
  auto it = optionGroups_.find(group);
  return it == optionGroups_.end() ? nullptr : &it->second;
}

void CWindowManagerUI::RemoveOptionGroup(const std::wstring& group, CControlUI* option) {
  auto it = optionGroups_.find(group);
  if (it == optionGroups_.end()) return;
  RemoveItem(it->second, option);
  if (it->second.empty()) optionGroups_.erase(it);
}

void CWindowManagerUI::DeleteLater(CControlUI* control) {
  if (!AddUnique(delayedCleanup_, control)) return;
  // The async pass deletes it, so make sure one comes.
  bool post = false;
  {
    std::lock_guard<std::mutex> lock(queueLock_);
    if (!asyncPosted_ && window_ != nullptr) {
      asyncPosted_ = true;
      post = true;
    }
  }
  if (post && !::PostMessageW(window_, kAsyncNotifyMessage, 0, 0)) {
    std::lock_guard<std::mutex> lock(queueLock_);
    asyncPosted_ = false;
  }
}

void CWindowManagerUI::DeleteLaterNow() {
  while (!delayedCleanup_.empty()) {
    std::vector<CControlUI*> doomed;
    doomed.swap(delayedCleanup_);
    for (CControlUI* control : doomed) control->Delete();
  }
}

bool CWindowManagerUI::AddLatePaint(CControlUI* control) { return AddUnique(latePaint_, control); }
bool CWindowManagerUI::RemoveLatePaint(CControlUI* control) { return RemoveItem(latePaint_, control); }

bool CWindowManagerUI::AddChildWindow(CControlUI* control, HWND child) {
  if (control == nullptr || child == nullptr) return false;
  if (std::find(childWindowControls_.begin(), childWindowControls_.end(), control) != childWindowControls_.end()) {
    return false;
  }
  childWindowControls_.push_back(control);
  childWindows_.push_back(child);
  return true;
}

bool CWindowManagerUI::RemoveChildWindow(CControlUI* control) {
  for (size_t i = 0; i < childWindowControls_.size(); ++i) {
    if (childWindowControls_[i] == control) {
      childWindowControls_.erase(childWindowControls_.begin() + static_cast<ptrdiff_t>(i));
      childWindows_.erase(childWindows_.begin() + static_cast<ptrdiff_t>(i));
      return true;
    }
  }
  return false;
}

bool CWindowManagerUI::AddMouseLeaveListener(CControlUI* control) { return AddUnique(mouseLeaveListeners_, control); }
bool CWindowManagerUI::RemoveMouseLeaveListener(CControlUI* control) {
  return RemoveItem(mouseLeaveListeners_, control);
}

void CWindowManagerUI::ReapControl(CControlUI* control) {
  if (control == nullptr) return;
  if (focus_ == control) focus_ = nullptr;
  if (keyControl_ == control) keyControl_ = nullptr;
  if (hot_ == control) hot_ = nullptr;
  if (pushed_ == control) pushed_ = nullptr;
  if (focusAfterLayout_ == control) focusAfterLayout_ = nullptr;
  KillTimer(control);
  const std::wstring name = control->GetName();
  if (!name.empty()) {
    auto it = names_.find(name);
    if (it != names_.end() && it->second == control) names_.erase(it);
  }
  {
    std::lock_guard<std::mutex> lock(queueLock_);
    for (auto& event : asyncQueue_) {
      if (event->sender == control) event->sender = nullptr;
    }
  }
  RemoveItem(mouseLeaveListeners_, control);
  RemoveItem(latePaint_, control);
  RemoveChildWindow(control);
  for (auto it = optionGroups_.begin(); it != optionGroups_.end();) {
    RemoveItem(it->second, control);
    it = it->second.empty() ? optionGroups_.erase(it) : std::next(it);
  }
}

// ---- invalidation and accessors ----

void CWindowManagerUI::Invalidate(const RECT& rect) {
  if (layered_) {
    ::UnionRect(&layeredInvalid_, &layeredInvalid_, &rect);
    return;
  }
  if (window_ != nullptr) ::InvalidateRect(window_, &rect, FALSE);
}

void CWindowManagerUI::Invalidate() {
  if (window_ == nullptr) return;
  if (layered_) {
    RECT client;
    ::GetClientRect(window_, &client);
    ::UnionRect(&layeredInvalid_, &layeredInvalid_, &client);
    return;
  }
  ::InvalidateRect(window_, nullptr, FALSE);
}

POINT CWindowManagerUI::GetMousePos() const { return POINT{lastMouseX_.load(), lastMouseY_.load()}; }

void CWindowManagerUI::SetLastMouse(POINT point) {
  lastMouseX_ = point.x;
  lastMouseY_ = point.y;
}

SIZE CWindowManagerUI::GetClientSize() const {
  RECT client = {0, 0, 0, 0};
  if (window_ != nullptr) ::GetClientRect(window_, &client);
  return SIZE{client.right - client.left, client.bottom - client.top};
}

// ---- static: language strings, pre-translation ----

void CWindowManagerUI::AddLanguageString(int id, const std::wstring& text) { Shared().languageStrings[id] = text; }

const std::wstring* CWindowManagerUI::GetLanguageString(int id) {
  auto it = Shared().languageStrings.find(id);
  return it == Shared().languageStrings.end() ? nullptr : &it->second;
}

void CWindowManagerUI::RemoveAllLanguageStrings() { Shared().languageStrings.clear(); }

std::wstring CWindowManagerUI::ProcessLanguageTokens(const std::wstring& text) {
  if (text.find(L"%{") == std::wstring::npos) return text;
  std::wstring result;
  result.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == L'%' && i + 1 < text.size() && text[i + 1] == L'{') {
      size_t end = i + 2;
      while (end < text.size() && std::iswdigit(text[end])) ++end;
      if (end > i + 2 && end - (i + 2) <= 9 && end < text.size() && text[end] == L'}') {
        const int id = std::stoi(text.substr(i + 2, end - i - 2));
        if (const std::wstring* replacement = GetLanguageString(id)) {
          result += *replacement;
          i = end + 1;
          continue;
        }
      }
    }
    result += text[i++];
  }
  return result;
}

bool CWindowManagerUI::PreTranslateMessage(const MSG* message) {
  if (message == nullptr || message->hwnd == nullptr) return false;
  MSG copy = *message;
  const std::vector<CWindowManagerUI*> live = Shared().liveManagers;
  const LONG style = ::GetWindowLongW(message->hwnd, GWL_STYLE);
  if ((style & WS_CHILD) == 0) {
    for (CWindowManagerUI* manager : live) {
      if (manager->window_ != message->hwnd) continue;
      for (ITranslateAccelerator* handler : std::vector<ITranslateAccelerator*>(manager->acceleratorHandlers_)) {
        if (handler->TranslateAccelerator(&copy) == 0) return true;
      }
      LRESULT result = 0;
      return manager->PreviewMessage(message->message, message->wParam, message->lParam, result);
    }
    return false;
  }
  for (auto it = live.rbegin(); it != live.rend(); ++it) {
    CWindowManagerUI* manager = *it;
    // A handler may have closed a window and its manager meanwhile.
    const auto& current = Shared().liveManagers;
    if (std::find(current.begin(), current.end(), manager) == current.end()) continue;
    for (HWND ancestor = ::GetParent(message->hwnd); ancestor != nullptr; ancestor = ::GetParent(ancestor)) {
      if (manager->window_ != message->hwnd && manager->window_ != ancestor) continue;
      for (ITranslateAccelerator* handler : std::vector<ITranslateAccelerator*>(manager->acceleratorHandlers_)) {
        if (handler->TranslateAccelerator(&copy) == 0) return true;
      }
      LRESULT result = 0;
      manager->PreviewMessage(message->message, message->wParam, message->lParam, result);
      break;
    }
  }
  return false;
}

bool CWindowManagerUI::PreviewMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  for (IMessageFilterUI* filter : std::vector<IMessageFilterUI*>(preMessageFilters_)) {
    if (std::find(preMessageFilters_.begin(), preMessageFilters_.end(), filter) == preMessageFilters_.end()) continue;
    bool handled = false;
    const LRESULT r = filter->MessageHandler(message, wParam, lParam, handled);
    if (handled) {
      result = r;
      return true;
    }
  }
  switch (message) {
    case WM_KEYDOWN:
      if (wParam != VK_TAB) break;
      // A rich edit that takes tabs keeps them.
      if (focus_ != nullptr && focus_->IsVisible() && focus_->IsEnabled() &&
          focus_->GetInterface(L"RichEdit") != nullptr) {
        break;
      }
      MoveTabFocus(::GetKeyState(VK_SHIFT) >= 0);
      return true;
    case WM_SYSKEYDOWN:
      if (focus_ != nullptr) {
        ControlEvent event = MakeEvent(ControlEventType::SysKey, focus_, wParam, lParam);
        event.key = static_cast<wchar_t>(wParam);
        focus_->Event(event);
      }
      break;
    case WM_SYSCHAR: {
      if (root_ == nullptr) break;
      struct Search {
        wchar_t ch;
        bool pickNext;
      } search = {static_cast<wchar_t>(std::towupper(static_cast<wint_t>(wParam))), false};
      CControlUI* found = root_->FindControl(
          [](CControlUI* c, void* data) -> CControlUI* {
            auto* s = static_cast<Search*>(data);
            // A label hands its shortcut on to the next control found.
            if (s->pickNext) return c;
            if (c->GetShortcut() == 0 || std::towupper(c->GetShortcut()) != s->ch) return nullptr;
            if (c->GetInterface(L"Label") != nullptr) {
              s->pickNext = true;
              return nullptr;
            }
            return c;
          },
          &search, kFindVisible | kFindEnabled | kFindMeFirst | kFindTopFirst);
      if (found == nullptr) break;
      found->SetFocus();
      found->Activate();
      result = 0;
      return true;
    }
    default:
      break;
  }
  return false;
}

// ---- message handling ----

void CWindowManagerUI::ClearHotAndPushed() {
  if (CControlUI* hot = hot_) {
    ControlEvent event = MakeEvent(ControlEventType::MouseLeave, hot);
    hot->Event(event);
  }
  if (CControlUI* pushed = pushed_) {
    ControlEvent event = MakeEvent(ControlEventType::ButtonUp, pushed);
    pushed->Event(event);
  }
  hot_ = nullptr;
  pushed_ = nullptr;
  if (mouseCapture_) ReleaseCapture();
}

void CWindowManagerUI::RouteMouseMove(POINT point, WPARAM wParam, LPARAM lParam) {
  if (root_ == nullptr) return;
  if (!mouseTracking_) {
    TRACKMOUSEEVENT track = {sizeof track, TME_HOVER | TME_LEAVE, window_, hoverTime_};
    if (tooltip_ != nullptr) {
      track.dwHoverTime = static_cast<DWORD>(::SendMessageW(tooltip_, TTM_GETDELAYTIME, TTDT_INITIAL, 0));
    }
    ::TrackMouseEvent(&track);
    mouseTracking_ = true;
  }
  SetLastMouse(point);
  CControlUI* under = FindControl(point);
  if (under != nullptr && under->GetManager() != this) return;
  if (!mouseCapture_) {
    if (hot_ != nullptr && hot_ != under) {
      for (CControlUI* listener : std::vector<CControlUI*>(mouseLeaveListeners_)) {
        if (std::find(mouseLeaveListeners_.begin(), mouseLeaveListeners_.end(), listener) ==
            mouseLeaveListeners_.end()) {
          continue;
        }
        ControlEvent event = MakeEvent(ControlEventType::MouseLeave, listener, wParam, lParam);
        event.keyState = static_cast<WORD>(wParam);
        listener->Event(event);
      }
      if (CControlUI* hot = hot_) {
        ControlEvent event = MakeEvent(ControlEventType::MouseLeave, hot, wParam, lParam);
        event.keyState = static_cast<WORD>(wParam);
        hot->Event(event);
      }
      hot_ = nullptr;
      HideTooltip();
    }
    // The previous handlers may have removed the control under the mouse.
    under = FindControl(point);
    if (under != nullptr && under != hot_ && under->GetManager() == this) {
      ControlEvent event = MakeEvent(ControlEventType::MouseEnter, under, wParam, lParam);
      event.keyState = static_cast<WORD>(wParam);
      under->Event(event);
      hot_ = under;
    }
  }
  CControlUI* target = pushed_ != nullptr ? pushed_ : under;
  if (target != nullptr) {
    ControlEvent event = MakeEvent(ControlEventType::MouseMove, target, wParam, lParam);
    event.keyState = static_cast<WORD>(wParam);
    target->Event(event);
  }
}

void CWindowManagerUI::ShowTooltip(CControlUI* control) {
  if (window_ == nullptr) return;
  if (tooltip_ == nullptr) {
    tooltip_ = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, GetInstance(),
                                 nullptr);
    tooltipToolAdded_ = false;
    if (tooltip_ == nullptr) return;
  }
  tooltipText_ = ProcessLanguageTokens(control->GetToolTip());
  TTTOOLINFOW tool = {};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.uFlags = TTF_IDISHWND | TTF_TRACK | TTF_ABSOLUTE;
  tool.hwnd = window_;
  tool.uId = reinterpret_cast<UINT_PTR>(window_);
  tool.hinst = GetInstance();
  tool.lpszText = &tooltipText_[0];
  tool.rect = control->GetPos();
  if (!tooltipToolAdded_) {
    tooltipToolAdded_ = ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)) != FALSE;
  } else {
    ::SendMessageW(tooltip_, TTM_SETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  const int width = tooltipWidth_ >= 0 ? tooltipWidth_ : control->GetToolTipWidth();
  ::SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, width);
  POINT cursor;
  ::GetCursorPos(&cursor);
  ::SendMessageW(tooltip_, TTM_TRACKPOSITION, 0, MAKELPARAM(cursor.x, cursor.y + 20));
  ::SendMessageW(tooltip_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
}

void CWindowManagerUI::HideTooltip() {
  if (tooltip_ == nullptr || !tooltipToolAdded_) return;
  TTTOOLINFOW tool = {};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.hwnd = window_;
  tool.uId = reinterpret_cast<UINT_PTR>(window_);
  ::SendMessageW(tooltip_, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
}

bool CWindowManagerUI::MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (window_ == nullptr) return false;
  for (IMessageFilterUI* filter : std::vector<IMessageFilterUI*>(messageFilters_)) {
    if (std::find(messageFilters_.begin(), messageFilters_.end(), filter) == messageFilters_.end()) continue;
    bool handled = false;
    const LRESULT r = filter->MessageHandler(message, wParam, lParam, handled);
    if (handled) {
      if (IsClientMouseMessage(message) && message != WM_MOUSEWHEEL && message != WM_MOUSEHWHEEL) {
        SetLastMouse(PointFromLParam(lParam));
      }
      result = r;
      return true;
    }
  }

  switch (message) {
    case kAsyncNotifyMessage:
      DeliverAsyncNotifications();
      result = 0;
      return true;

    case WM_CLOSE: {
      ClearHotAndPushed();
      SetFocus(nullptr, false);
      if (::GetActiveWindow() == window_) {
        const bool child = (::GetWindowLongW(window_, GWL_STYLE) & WS_CHILD) != 0;
        HWND next = child ? ::GetParent(window_) : ::GetWindow(window_, GW_OWNER);
        if (next != nullptr) ::SetFocus(next);
      }
      if (tooltip_ != nullptr) {
        ::DestroyWindow(tooltip_);
        tooltip_ = nullptr;
        tooltipToolAdded_ = false;
      }
      return false;
    }

    case WM_ERASEBKGND:
      result = 1;
      return true;

    case WM_PAINT:
      OnPaint();
      result = 0;
      return true;

    case WM_PRINTCLIENT: {
      if (root_ == nullptr) break;
      LayoutIfNeeded();
      HDC dc = reinterpret_cast<HDC>(wParam);
      RECT client;
      ::GetClientRect(window_, &client);
      root_->Paint(dc, client, nullptr);
      if ((lParam & PRF_CHILDREN) != 0) {
        for (HWND child = ::GetWindow(window_, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
          RECT r;
          ::GetWindowRect(child, &r);
          ::MapWindowPoints(HWND_DESKTOP, window_, reinterpret_cast<POINT*>(&r), 2);
          POINT origin;
          ::SetWindowOrgEx(dc, -r.left, -r.top, &origin);
          ::SendMessageW(child, WM_PRINT, wParam, lParam | PRF_NONCLIENT);
          ::SetWindowOrgEx(dc, origin.x, origin.y, nullptr);
        }
      }
      result = 0;
      return true;
    }

    case WM_SIZE:
      if (focus_ != nullptr) {
        ControlEvent event = MakeEvent(ControlEventType::WindowSize, focus_, wParam, lParam);
        focus_->Event(event);
      }
      if (root_ != nullptr) root_->NeedUpdate();
      updateNeeded_ = true;
      if (layered_) Invalidate();
      return false;

    case WM_TIMER: {
      if (wParam == kLayeredRepaintTimerId && layered_) {
        if (!::IsRectEmpty(&layeredInvalid_)) PaintLayered();
        result = 0;
        return true;
      }
      for (const TimerInfo& timer : timers_) {
        if (timer.window == window_ && timer.nativeId == wParam && !timer.killed) {
          CControlUI* control = timer.control;
          ControlEvent event = MakeEvent(ControlEventType::Timer, control, timer.id, lParam);
          control->Event(event);  // may change the timer list
          result = 0;
          return true;
        }
      }
      break;
    }

    case WM_MOUSEMOVE:
      RouteMouseMove(PointFromLParam(lParam), wParam, lParam);
      break;

    case WM_MOUSEHOVER: {
      mouseTracking_ = false;
      const POINT point = PointFromLParam(lParam);
      CControlUI* under = FindControl(point);
      if (under == nullptr) break;
      if (CControlUI* hot = hot_) {
        ControlEvent event = MakeEvent(ControlEventType::MouseHover, hot, wParam, lParam);
        event.mouse = point;
        hot->Event(event);
      }
      if (!under->GetToolTip().empty()) ShowTooltip(under);
      result = 0;
      return true;
    }

    case WM_MOUSELEAVE: {
      HideTooltip();
      if (mouseTracking_) {
        POINT cursor;
        ::GetCursorPos(&cursor);
        ::ScreenToClient(window_, &cursor);
        RECT client;
        ::GetClientRect(window_, &client);
        const bool inside = ::PtInRect(&client, cursor) && ::GetActiveWindow() == window_ && !::IsIconic(window_);
        if (!inside) cursor = POINT{-1, -1};
        // The hot control learns that the mouse has gone.
        ::SendMessageW(window_, WM_MOUSEMOVE, 0, MAKELPARAM(cursor.x, cursor.y));
      }
      mouseTracking_ = false;
      break;
    }

    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      if (!noActivate_) ::SetFocus(window_);
      const POINT point = PointFromLParam(lParam);
      SetLastMouse(point);
      CControlUI* control = FindControl(point);
      if (control == nullptr || control->GetManager() != this) break;
      pushed_ = control;
      control->SetFocus();
      SetCapture();
      ControlEvent event = MakeEvent(
          message == WM_LBUTTONDOWN ? ControlEventType::ButtonDown : ControlEventType::DoubleClick, control, wParam,
          lParam);
      event.keyState = static_cast<WORD>(wParam);
      control->Event(event);
      break;
    }

    case WM_LBUTTONUP: {
      const POINT point = PointFromLParam(lParam);
      SetLastMouse(point);
      CControlUI* pushed = pushed_;
      if (pushed == nullptr) break;
      ReleaseCapture();
      ControlEvent event = MakeEvent(ControlEventType::ButtonUp, pushed, wParam, lParam);
      event.keyState = static_cast<WORD>(wParam);
      pushed->Event(event);
      pushed_ = nullptr;
      break;
    }

    case WM_RBUTTONDOWN: {
      if (!noActivate_) ::SetFocus(window_);
      const POINT point = PointFromLParam(lParam);
      SetLastMouse(point);
      CControlUI* control = FindControl(point);
      if (control == nullptr || control->GetManager() != this) break;
      control->SetFocus();
      ControlEvent event = MakeEvent(ControlEventType::RightButtonDown, control, wParam, lParam);
      event.keyState = static_cast<WORD>(wParam);
      control->Event(event);
      pushed_ = control;
      break;
    }

    case WM_CONTEXTMENU: {
      if (root_ == nullptr || mouseCapture_) break;
      POINT point = PointFromLParam(lParam);
      ::ScreenToClient(window_, &point);
      SetLastMouse(point);
      CControlUI* pushed = pushed_;
      if (pushed == nullptr) break;
      ControlEvent event = MakeEvent(ControlEventType::ContextMenu, pushed, wParam, lParam);
      pushed->Event(event);
      pushed_ = nullptr;
      break;
    }

    case WM_MOUSEWHEEL: {
      POINT point = PointFromLParam(lParam);
      ::ScreenToClient(window_, &point);
      CControlUI* control = FindControl(point);
      if (control == nullptr || control->GetManager() != this) break;
      const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
      ControlEvent event = MakeEvent(ControlEventType::ScrollWheel, control, delta < 0 ? 1 : 0, lParam);
      control->Event(event);
      const POINT last = GetMousePos();
      ::SendMessageW(window_, WM_MOUSEMOVE, 0, MAKELPARAM(last.x, last.y));
      break;
    }

    case WM_KEYDOWN: {
      CControlUI* focus = focus_;
      if (focus == nullptr) break;
      ControlEvent event = MakeEvent(ControlEventType::KeyDown, focus, wParam, lParam);
      event.key = static_cast<wchar_t>(wParam);
      focus->Event(event);
      keyControl_ = focus_ == focus ? focus : nullptr;
      break;
    }

    case WM_KEYUP: {
      CControlUI* key = keyControl_;
      if (key == nullptr) break;
      ControlEvent event = MakeEvent(ControlEventType::KeyUp, key, wParam, lParam);
      event.key = static_cast<wchar_t>(wParam);
      key->Event(event);
      keyControl_ = nullptr;
      break;
    }

    case WM_CHAR: {
      CControlUI* focus = focus_;
      if (focus == nullptr) break;
      ControlEvent event = MakeEvent(ControlEventType::Char, focus, wParam, lParam);
      event.key = static_cast<wchar_t>(wParam);
      focus->Event(event);
      break;
    }

    case WM_SETCURSOR: {
      if (LOWORD(lParam) != HTCLIENT) break;
      if (mouseCapture_) {
        result = TRUE;
        return true;
      }
      POINT cursor;
      ::GetCursorPos(&cursor);
      ::ScreenToClient(window_, &cursor);
      CControlUI* control = FindControl(cursor);
      if (control == nullptr || (control->GetControlFlags() & kFlagSetCursor) == 0) break;
      ControlEvent event = MakeEvent(ControlEventType::SetCursor, control, wParam, lParam);
      event.mouse = cursor;
      control->Event(event);
      result = TRUE;
      return true;
    }

    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      if (info == nullptr) break;
      if (minInfo_.cx > 0) info->ptMinTrackSize.x = minInfo_.cx;
      if (minInfo_.cy > 0) info->ptMinTrackSize.y = minInfo_.cy;
      if (maxInfo_.cx > 0) info->ptMaxTrackSize.x = maxInfo_.cx;
      if (maxInfo_.cy > 0) info->ptMaxTrackSize.y = maxInfo_.cy;
      break;
    }

    case WM_MOUSEACTIVATE:
      if (noActivate_) {
        result = MA_NOACTIVATE;
        return true;
      }
      break;

    case WM_NCCALCSIZE:
    case WM_NCPAINT:
      if (layered_) {
        result = 0;
        return true;
      }
      break;

    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header == nullptr || header->hwndFrom == nullptr) break;
      result = ::SendMessageW(header->hwndFrom, message + 0x2000, wParam, lParam);
      return true;
    }

    case WM_COMMAND:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
      HWND child = reinterpret_cast<HWND>(lParam);
      if (child == nullptr) break;
      result = ::SendMessageW(child, message + 0x2000, wParam, lParam);
      return true;
    }

    default:
      break;
  }
  return false;
}

// ---- painting ----

void CWindowManagerUI::LayoutIfNeeded() {
  if (!updateNeeded_ || root_ == nullptr) return;
  updateNeeded_ = false;
  RECT client = {0, 0, 0, 0};
  ::GetClientRect(window_, &client);
  if (::IsRectEmpty(&client)) return;
  if (root_->IsUpdateNeeded()) {
    // A new size: the offscreen bitmap is made again at the next paint.
    offscreenDC_.reset();
    offscreenBitmap_.reset();
    root_->SetPos(client, true);
  } else {
    foundControls_.clear();
    root_->FindControl(
        [](CControlUI* c, void* data) -> CControlUI* {
          if (!c->IsUpdateNeeded()) return nullptr;
          static_cast<std::vector<CControlUI*>*>(data)->push_back(c);
          return c;
        },
        &foundControls_, kFindVisible | kFindMeFirst | kFindUpdateTest);
    for (CControlUI* control : foundControls_) {
      control->SetPos(control->IsFloat() ? control->GetRelativePos() : control->GetPos(), true);
    }
  }
  if (firstLayout_) {
    firstLayout_ = false;
    SendNotify(root_, L"windowinit");
  }
}

void CWindowManagerUI::OnPaint() {
  RECT update;
  if (!::GetUpdateRect(window_, &update, FALSE)) return;
  if (layered_) {
    PaintLayered();
    ::ValidateRect(window_, nullptr);
    return;
  }
  if (root_ == nullptr) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(window_, &ps);
    ::FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    ::EndPaint(window_, &ps);
    return;
  }
  if (focusNeeded_) MoveTabFocus(true);

  painting_ = true;
  LayoutIfNeeded();
  // Focus waits for the positions of a layout; this paint just made them.
  if (focusNeeded_ && !updateNeeded_) MoveTabFocus(true);

  PAINTSTRUCT ps;
  HDC windowDC = ::BeginPaint(window_, &ps);
  if (offscreenPaint_) {
    if (!offscreenDC_) {
      const SIZE size = GetClientSize();
      offscreenDC_.reset(::CreateCompatibleDC(paintDC_.get()));
      offscreenBitmap_.reset(::CreateCompatibleBitmap(paintDC_.get(), std::max<LONG>(size.cx, 1),
                                                      std::max<LONG>(size.cy, 1)));
      // The bitmap stays selected for the DC's lifetime; the DC is always
      // deleted first (see the destructor and LayoutIfNeeded).
      if (offscreenDC_ && offscreenBitmap_) ::SelectObject(offscreenDC_.get(), offscreenBitmap_.get());
    }
    if (offscreenDC_ && offscreenBitmap_) {
      {
        // Only the update rectangle is drawn, so blends outside it never
        // pile up in the kept bitmap.
        CRenderClip clip = CSkinRenderer::ClipToRect(offscreenDC_.get(), ps.rcPaint);
        root_->Paint(offscreenDC_.get(), ps.rcPaint, nullptr);
        for (CControlUI* control : std::vector<CControlUI*>(latePaint_)) {
          control->PaintLate(offscreenDC_.get(), ps.rcPaint);
        }
      }
      ::BitBlt(windowDC, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
               ps.rcPaint.bottom - ps.rcPaint.top, offscreenDC_.get(), ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
    }
  } else {
    root_->Paint(windowDC, ps.rcPaint, nullptr);
    for (CControlUI* control : std::vector<CControlUI*>(latePaint_)) control->PaintLate(windowDC, ps.rcPaint);
  }
  if (showDirty_) {
    Utils::ScopedSelectObject pen(windowDC, Shared().updatePen.get());
    Utils::ScopedSelectObject brush(windowDC, ::GetStockObject(HOLLOW_BRUSH));
    ::Rectangle(windowDC, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom);
  }
  ::EndPaint(window_, &ps);
  painting_ = false;
  if (updateNeeded_) ::InvalidateRect(window_, nullptr, FALSE);
}

void CWindowManagerUI::PaintLayered() {
  if (root_ == nullptr || window_ == nullptr) return;
  painting_ = true;
  LayoutIfNeeded();
  const SIZE size = GetClientSize();
  if (size.cx <= 0 || size.cy <= 0) {
    painting_ = false;
    return;
  }
  if (!layeredBitmap_ || layeredSize_.cx != size.cx || layeredSize_.cy != size.cy) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    layeredBitmap_.reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    layeredBits_ = static_cast<uint8_t*>(bits);
    layeredSize_ = size;
  }
  if (!layeredBitmap_ || layeredBits_ == nullptr) {
    painting_ = false;
    return;
  }
  Utils::ScopedMemoryDC memoryDC(::CreateCompatibleDC(paintDC_.get()));
  {
    Utils::ScopedSelectObject select(memoryDC.get(), layeredBitmap_.get());
    const RECT client = {0, 0, size.cx, size.cy};
    std::memset(layeredBits_, 0, static_cast<size_t>(size.cx) * size.cy * 4);
    root_->Paint(memoryDC.get(), client, nullptr);
    for (CControlUI* control : std::vector<CControlUI*>(latePaint_)) control->PaintLate(memoryDC.get(), client);
    for (HWND child : childWindows_) {
      RECT r;
      ::GetWindowRect(child, &r);
      ::MapWindowPoints(HWND_DESKTOP, window_, reinterpret_cast<POINT*>(&r), 2);
      POINT origin;
      ::SetWindowOrgEx(memoryDC.get(), -r.left, -r.top, &origin);
      ::SendMessageW(child, WM_PRINT, reinterpret_cast<WPARAM>(memoryDC.get()),
                     PRF_CHECKVISIBLE | PRF_CHILDREN | PRF_CLIENT | PRF_NONCLIENT);
      ::SetWindowOrgEx(memoryDC.get(), origin.x, origin.y, nullptr);
    }
    ::GdiFlush();
    // GDI leaves the alpha byte 0: the template's alpha (or full opacity)
    // gives every pixel its coverage, premultiplied.
    {
      ImageDrawInfo info;
      info.Reset(layeredImage_);
      CSkinRenderer::DrawImageDescription(nullptr, this, client, client, info);
      const ImageInfo* image = info.image;
      for (int y = 0; y < size.cy; ++y) {
        for (int x = 0; x < size.cx; ++x) {
          uint8_t* p = layeredBits_ + (static_cast<size_t>(y) * size.cx + x) * 4;
          unsigned alpha = 255;
          if (image != nullptr && image->width > 0 && image->height > 0) {
            const int ix = static_cast<int>(static_cast<int64_t>(x) * image->width / size.cx);
            const int iy = static_cast<int>(static_cast<int64_t>(y) * image->height / size.cy);
            alpha = image->pixels[(static_cast<size_t>(iy) * image->width + ix) * 4 + 3];
          }
          for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(p[c] * alpha / 255);
          p[3] = static_cast<uint8_t>(alpha);
        }
      }
    }
    RECT window;
    ::GetWindowRect(window_, &window);
    POINT position = {window.left, window.top};
    SIZE windowSize = size;
    POINT source = {0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, layeredOpacity_, AC_SRC_ALPHA};
    if (auto update = User32Function<LayeredUpdateFn>("UpdateLayeredWindow")) {
      update(window_, paintDC_.get(), &position, &windowSize, memoryDC.get(), &source, 0, &blend, ULW_ALPHA);
    }
  }
  layeredInvalid_ = RECT{0, 0, 0, 0};
  painting_ = false;
}

}  // namespace SkinUI
