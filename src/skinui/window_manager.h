// Window manager: CWindowManagerUI, one per skinned window, between the
// native window and its control tree. Owns the tree's root, the routing of
// mouse, keyboard, focus, timer and paint messages to controls, the hot,
// pushed and focused controls, notifications (synchronous, or queued and
// delivered through message 0x8001; the queue takes records from any
// thread), the window's fonts, images and default attribute lists, and the
// offscreen painting. Its static side holds the process-wide skin resource
// settings, the shared tables, the language strings and the list of live
// managers used by the modal loop's pre-translation.
#pragma once

#include <windows.h>

#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "skinui/renderer.h"
#include "utils/scoped_gdi.h"

namespace SkinUI {

class CControlUI;
class SkinArchive;

// Input events given to a control (the key kinds are 3 to 6, the mouse
// kinds 9 to 18).
enum class ControlEventType : int {
  KeyDown = 3,
  KeyUp = 4,
  Char = 5,
  SysKey = 6,
  MouseMove = 9,
  MouseLeave = 10,
  MouseEnter = 11,
  MouseHover = 12,
  ButtonDown = 13,
  ButtonUp = 14,
  RightButtonDown = 15,
  DoubleClick = 16,
  ContextMenu = 17,
  ScrollWheel = 18,
  KillFocus = 20,
  SetFocus = 21,
  WindowSize = 22,
  SetCursor = 23,
  Timer = 24,
};
inline bool IsKeyEvent(ControlEventType type) {
  return static_cast<int>(type) >= 3 && static_cast<int>(type) <= 6;
}
inline bool IsMouseEvent(ControlEventType type) {
  return static_cast<int>(type) >= 9 && static_cast<int>(type) <= 18;
}

// Modifier bits of ControlEvent::keyState.
enum : WORD { kKeyLeftButton = 0x01, kKeyRightButton = 0x02, kKeyShift = 0x04, kKeyControl = 0x08, kKeyAlt = 0x20 };

struct ControlEvent {
  ControlEventType type = ControlEventType::MouseMove;
  CControlUI* sender = nullptr;
  DWORD timestamp = 0;
  POINT mouse = {0, 0};  // client coordinates
  wchar_t key = 0;
  WORD keyState = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

// A notification such as "click", delivered to the window's notifiers.
struct NotifyEvent {
  std::wstring type;
  std::wstring virtualWindow;
  CControlUI* sender = nullptr;
  DWORD timestamp = 0;
  POINT mouse = {0, 0};
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

class INotifyUI {
 public:
  virtual void Notify(NotifyEvent& event) = 0;

 protected:
  ~INotifyUI() = default;
};

class IMessageFilterUI {
 public:
  virtual LRESULT MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) = 0;

 protected:
  ~IMessageFilterUI() = default;
};

class ITranslateAccelerator {
 public:
  // 0 means the message was translated (consumed).
  virtual LRESULT TranslateAccelerator(MSG* message) = 0;

 protected:
  ~ITranslateAccelerator() = default;
};

// Where a window's skin comes from.
enum SkinResourceType {
  SkinFromFolder = 1,
  SkinFromArchiveFile = 2,
  SkinFromResource = 3,
  SkinFromArchiveResource = 4,
};

struct FontInfo {
  Utils::ScopedFont font;
  std::wstring face;
  int size = 0;
  bool bold = false;
  bool underline = false;
  bool italic = false;
  bool hasMetrics = false;
  TEXTMETRICW metrics = {};
};

// Tree searches (CControlUI::FindControl): which controls are looked at.
enum : UINT {
  kFindAll = 0,
  kFindVisible = 0x01,
  kFindEnabled = 0x02,
  kFindHitTest = 0x04,        // data is a POINT that must lie in the control
  kFindUpdateTest = 0x08,     // skip what the predicate accepts
  kFindTopFirst = 0x10,       // children from the last to the first
  kFindMeFirst = 0x80000000,  // the control before its cover and children
};
using FindControlProc = CControlUI* (*)(CControlUI* control, void* data);

// Control flags (CControlUI::GetControlFlags).
enum : UINT { kFlagTabStop = 0x01, kFlagSetCursor = 0x02 };

// The posted message that delivers queued notifications.
constexpr UINT kAsyncNotifyMessage = 0x8001;
// Native timer of the layered repaint.
constexpr UINT_PTR kLayeredRepaintTimerId = 8192;

class CWindowManagerUI {
 public:
  CWindowManagerUI();
  ~CWindowManagerUI();
  CWindowManagerUI(const CWindowManagerUI&) = delete;
  CWindowManagerUI& operator=(const CWindowManagerUI&) = delete;

  // ---- process-wide skin resource settings ----
  static void SetInstance(HINSTANCE instance);
  static HINSTANCE GetInstance();
  // The module file's folder with its trailing backslash; empty without an instance.
  static std::wstring GetInstancePath();
  static void SetResourceInstance(HINSTANCE instance);
  static HINSTANCE GetResourceInstance();
  // Appends a backslash unless the path is empty or ends in "\" or "/".
  static void SetResourcePath(const std::wstring& path);
  static const std::wstring& GetResourcePath();
  // Only 7z archives are supported: with false no archive is read.
  static void UseSevenZipArchives(bool sevenZip);
  static bool IsSevenZipArchives();
  // An archive file under the resource path; cached: opened now and kept.
  static void SetResourceArchive(const std::wstring& name, bool cached);
  // A literal name must not end up in the byte overload below.
  static void SetResourceArchive(const wchar_t* name, bool cached) {
    SetResourceArchive(std::wstring(name != nullptr ? name : L""), cached);
  }
  // An archive in memory ("membuffer"); the first one installed stays.
  static void SetResourceArchive(const void* bytes, size_t length);
  static const std::wstring& GetResourceArchiveName();
  static bool IsResourceArchiveCached();
  static SkinArchive* GetResourceArchive();
  // Copies the "ZIPRES" resource `id` of the resource instance into the
  // process-wide buffer and installs it as the in-memory archive. False
  // when the resource is missing, cannot be loaded or is empty.
  static bool LoadArchiveResource(UINT id);
  static const std::vector<uint8_t>& GetArchiveResourceCopy();

  // ---- language strings ----
  static void AddLanguageString(int id, const std::wstring& text);
  // Null when there is none.
  static const std::wstring* GetLanguageString(int id);
  static void RemoveAllLanguageStrings();
  // Every "%{<decimal id>}" with a language string becomes that string.
  static std::wstring ProcessLanguageTokens(const std::wstring& text);

  // The modal loop's first look at a message; true when it was consumed.
  static bool PreTranslateMessage(const MSG* message);

  // ---- the window and its tree ----
  void Init(HWND window, const std::wstring& name = std::wstring());
  bool AttachRoot(CControlUI* root);
  bool AttachSubtree(CControlUI* control, CControlUI* parent);
  CControlUI* GetRoot() const { return root_; }
  const std::wstring& GetName() const { return name_; }
  HWND GetPaintWindow() const { return window_; }
  HDC GetPaintDC() const { return paintDC_.get(); }
  HWND GetTooltipWindow() const { return tooltip_; }

  CControlUI* FindControl(const std::wstring& name) const;
  CControlUI* FindControl(POINT point) const;

  // ---- focus, capture ----
  void SetFocus(CControlUI* control, bool takeNativeFocus = true);
  CControlUI* GetFocus() const { return focus_; }
  void FocusAfterLayout(CControlUI* control);
  bool MoveTabFocus(bool forward);
  void SetCapture();
  void ReleaseCapture();
  bool IsCaptured() const { return mouseCapture_; }
  CControlUI* GetHotControl() const { return hot_; }
  CControlUI* GetPushedControl() const { return pushed_; }

  // ---- notifications ----
  // The asynchronous form may be called from any thread: it only queues a
  // copy and posts the async-notify message.
  void SendNotify(NotifyEvent& event, bool async = false);
  void SendNotify(CControlUI* sender, const std::wstring& type, WPARAM wParam = 0, LPARAM lParam = 0,
                  bool async = false);
  bool AddNotifier(INotifyUI* notifier);
  bool RemoveNotifier(INotifyUI* notifier);
  bool AddPreMessageFilter(IMessageFilterUI* filter);
  bool RemovePreMessageFilter(IMessageFilterUI* filter);
  bool AddMessageFilter(IMessageFilterUI* filter);
  bool RemoveMessageFilter(IMessageFilterUI* filter);
  bool AddAcceleratorHandler(ITranslateAccelerator* handler);
  bool RemoveAcceleratorHandler(ITranslateAccelerator* handler);
  void UsedVirtualWnd(bool used) { usedVirtualWnd_ = used; }
  bool IsUsedVirtualWnd() const { return usedVirtualWnd_; }

  // ---- timers ----
  bool SetTimer(CControlUI* control, UINT id, UINT elapse);
  bool KillTimer(CControlUI* control, UINT id);
  void KillTimer(CControlUI* control);
  void RemoveAllTimers();

  // ---- fonts ----
  HFONT AddFont(int id, const std::wstring& face, int size, bool bold, bool underline, bool italic,
                bool shared = false);
  void SetDefaultFont(const std::wstring& face, int size, bool bold, bool underline, bool italic, bool shared = false);
  HFONT GetFont(int id);
  HFONT GetFont(const std::wstring& face, int size, bool bold, bool underline, bool italic);
  const FontInfo* GetFontInfo(int id);
  const FontInfo* GetFontInfo(HFONT font);
  const FontInfo* GetDefaultFontInfo();

  // ---- images ----
  const ImageInfo* AddImage(const std::wstring& name, const std::wstring& resourceType = std::wstring(),
                            DWORD mask = 0, bool colorAdjust = false, bool shared = false);
  const ImageInfo* GetImage(const std::wstring& name) const;
  const ImageInfo* GetOrLoadImage(const std::wstring& name, const std::wstring& resourceType = std::wstring(),
                                  DWORD mask = 0, bool colorAdjust = false);

  // ---- default attribute lists ----
  void AddDefaultAttributes(const std::wstring& element, const std::wstring& list, bool shared = false);
  // The window's list first, then the shared one; empty when none.
  std::wstring GetDefaultAttributes(const std::wstring& element) const;
  void SetForceShared(bool force) { forceShared_ = force; }

  // ---- window attributes ----
  void SetWindowAttribute(const std::wstring& name, const std::wstring& value);
  void AddWindowCustomAttribute(const std::wstring& name, const std::wstring& value);
  // Empty when not stored.
  std::wstring GetWindowCustomAttribute(const std::wstring& name) const;

  // ---- option groups, deferred work, children ----
  bool AddOptionGroup(const std::wstring& group, CControlUI* option);
  const std::vector<CControlUI*>* GetOptionGroup(const std::wstring& group) const;
  void RemoveOptionGroup(const std::wstring& group, CControlUI* option);
  void DeleteLater(CControlUI* control);
  bool AddLatePaint(CControlUI* control);
  bool RemoveLatePaint(CControlUI* control);
  bool AddChildWindow(CControlUI* control, HWND child);
  bool RemoveChildWindow(CControlUI* control);
  bool AddMouseLeaveListener(CControlUI* control);
  bool RemoveMouseLeaveListener(CControlUI* control);

  // ---- painting ----
  void Invalidate(const RECT& rect);
  void Invalidate();
  void NeedUpdate() { updateNeeded_ = true; }
  bool IsUpdateNeeded() const { return updateNeeded_; }
  bool IsPainting() const { return painting_; }

  // The window's messages; true when handled (`result` then holds the result).
  bool MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool PreviewMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // Forgets every reference to a control that is going away.
  void ReapControl(CControlUI* control);

  // ---- accessors ----
  POINT GetMousePos() const;
  SIZE GetClientSize() const;
  SIZE GetInitSize() const { return initSize_; }
  void SetInitSize(int cx, int cy);
  RECT GetCaptionRect() const { return caption_; }
  RECT GetSizeBox() const { return sizeBox_; }
  SIZE GetRoundCorner() const { return roundCorner_; }
  SIZE GetMinInfo() const { return minInfo_; }
  SIZE GetMaxInfo() const { return maxInfo_; }
  DWORD GetDefaultDisabledColor() const { return disabledColor_; }
  DWORD GetDefaultFontColor() const { return fontColor_; }
  DWORD GetDefaultLinkFontColor() const { return linkColor_; }
  DWORD GetDefaultLinkHoverFontColor() const { return linkHoverColor_; }
  DWORD GetDefaultSelectedBkColor() const { return selectedColor_; }
  DWORD GetHoverTime() const { return hoverTime_; }
  void SetHoverTime(DWORD milliseconds) { hoverTime_ = milliseconds; }
  int GetToolTipWidth() const { return tooltipWidth_; }
  void SetToolTipWidth(int width) { tooltipWidth_ = width; }
  bool IsNoActivate() const { return noActivate_; }
  bool IsShowUpdateRect() const { return showDirty_; }
  bool IsLayered() const { return layered_; }
  BYTE GetLayeredOpacity() const { return layeredOpacity_; }
  bool IsFirstLayout() const { return firstLayout_; }
  // Native ids of the active and killed timers (for diagnostics).
  std::vector<UINT_PTR> GetNativeTimerIds() const;
  size_t GetQueuedNotifyCount() const;

 private:
  struct TimerInfo {
    CControlUI* control;
    UINT id;
    UINT_PTR nativeId;
    HWND window;
    bool killed;
  };

  void DeliverAsyncNotifications();
  void DeliverNotify(NotifyEvent& event, bool runDelegates);
  void DeleteLaterNow();
  void RegisterNames(CControlUI* control);
  void RouteMouseMove(POINT point, WPARAM wParam, LPARAM lParam);
  void OnPaint();
  void PaintLayered();
  void LayoutIfNeeded();
  void ShowTooltip(CControlUI* control);
  void HideTooltip();
  void SetLastMouse(POINT point);
  ControlEvent MakeEvent(ControlEventType type, CControlUI* sender, WPARAM wParam = 0, LPARAM lParam = 0) const;
  UINT_PTR NextTimerId();
  void ClearHotAndPushed();
  std::unique_ptr<FontInfo> CreateFontRecord(const std::wstring& face, int size, bool bold, bool underline,
                                             bool italic);
  void FillMetrics(FontInfo* info);

  std::wstring name_;
  HWND window_ = nullptr;
  Utils::ScopedWindowDC paintDC_;
  Utils::ScopedMemoryDC offscreenDC_;
  Utils::ScopedBitmap offscreenBitmap_;
  Utils::ScopedBitmap layeredBitmap_;  // the layered window's DIB
  uint8_t* layeredBits_ = nullptr;
  SIZE layeredSize_ = {0, 0};
  RECT layeredInvalid_ = {0, 0, 0, 0};
  HWND tooltip_ = nullptr;  // destroyed with the manager
  bool tooltipToolAdded_ = false;
  std::wstring tooltipText_;
  int tooltipWidth_ = -1;
  DWORD hoverTime_ = 1000;
  bool noActivate_ = false;
  bool showDirty_ = false;

  CControlUI* root_ = nullptr;  // owned
  CControlUI* focus_ = nullptr;
  CControlUI* keyControl_ = nullptr;
  CControlUI* hot_ = nullptr;
  CControlUI* pushed_ = nullptr;
  CControlUI* focusAfterLayout_ = nullptr;
  std::atomic<LONG> lastMouseX_{-1};
  std::atomic<LONG> lastMouseY_{-1};

  SIZE initSize_ = {0, 0};
  SIZE minInfo_ = {0, 0};
  SIZE maxInfo_ = {0, 0};
  RECT sizeBox_ = {0, 0, 0, 0};
  RECT caption_ = {0, 0, 0, 0};
  SIZE roundCorner_ = {0, 0};
  UINT timerSeed_ = 4096;

  bool firstLayout_ = true;
  bool updateNeeded_ = false;
  bool focusNeeded_ = false;
  bool offscreenPaint_ = true;
  bool layered_ = false;
  BYTE layeredOpacity_ = 255;
  std::wstring layeredImage_;
  bool mouseTracking_ = false;
  bool mouseCapture_ = false;
  bool painting_ = false;
  bool usedVirtualWnd_ = false;
  bool forceShared_ = false;

  // The async queue and its posted flag are shared with worker threads.
  mutable std::mutex queueLock_;
  std::deque<std::unique_ptr<NotifyEvent>> asyncQueue_;
  bool asyncPosted_ = false;

  std::vector<INotifyUI*> notifiers_;
  std::vector<TimerInfo> timers_;
  std::vector<IMessageFilterUI*> preMessageFilters_;
  std::vector<IMessageFilterUI*> messageFilters_;
  std::vector<ITranslateAccelerator*> acceleratorHandlers_;
  std::vector<CControlUI*> latePaint_;
  std::vector<CControlUI*> childWindowControls_;
  std::vector<HWND> childWindows_;
  std::vector<CControlUI*> delayedCleanup_;  // owned until deleted
  std::vector<CControlUI*> foundControls_;
  std::vector<CControlUI*> mouseLeaveListeners_;
  std::map<std::wstring, CControlUI*> names_;
  std::map<std::wstring, std::wstring> customAttributes_;
  std::map<std::wstring, std::vector<CControlUI*>> optionGroups_;
  std::map<int, std::unique_ptr<FontInfo>> fonts_;
  std::map<std::wstring, std::unique_ptr<ImageInfo>> images_;
  std::map<std::wstring, std::wstring> defaultAttributes_;
  std::unique_ptr<FontInfo> defaultFont_;  // null: the process-wide one

  DWORD disabledColor_;
  DWORD fontColor_;
  DWORD linkColor_;
  DWORD linkHoverColor_;
  DWORD selectedColor_;
};

}  // namespace SkinUI
