// Control base: CControlUI, the base of every element of a skin. Owns a
// control's place in the tree, its geometry, state flags, text, colours,
// background image and border, the attribute vocabulary shared by all
// controls, the fixed paint order, hit-testing and tree searches, and the
// delegate lists (CEventSource) that let code hook into a control's life.
// Also declares IContainerUI, the interface containers answer as "IContainer".
#pragma once

#include <windows.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <typeinfo>
#include <vector>

#include "skinui/renderer.h"
#include "skinui/window_manager.h"

namespace SkinUI {

// A callable taking Arg* and returning bool, comparable with another made
// from the same function, or the same object and method.
template <typename Arg>
class CDelegate {
 public:
  using Function = bool (*)(Arg*);

  CDelegate(Function function) : object_(nullptr), call_(function) {  // NOLINT: implicit on purpose
    Identify(typeid(Function), &function, sizeof function);
  }
  template <class T>
  CDelegate(T* object, bool (T::*method)(Arg*)) : object_(object), call_([object, method](Arg* arg) {
                                                     return (object->*method)(arg);
                                                   }) {
    Identify(typeid(T), &method, sizeof method);
  }

  bool operator()(Arg* arg) const { return call_(arg); }
  bool operator==(const CDelegate& other) const { return object_ == other.object_ && key_ == other.key_; }

 private:
  void Identify(const std::type_info& type, const void* pointer, size_t size) {
    key_.assign(type.name());
    key_.append(static_cast<const char*>(pointer), size);
  }

  const void* object_;
  std::string key_;
  std::function<bool(Arg*)> call_;
};

template <class T, typename Arg>
CDelegate<Arg> MakeDelegate(T* object, bool (T::*method)(Arg*)) {
  return CDelegate<Arg>(object, method);
}

// An ordered delegate list. Adding a delegate already present does nothing.
// Running it calls each in order and stops at the first returning false.
template <typename Arg>
class CEventSource {
 public:
  void operator+=(const CDelegate<Arg>& delegate) {
    for (const auto& existing : delegates_) {
      if (existing == delegate) return;
    }
    delegates_.push_back(delegate);
  }
  void operator-=(const CDelegate<Arg>& delegate) {
    for (auto it = delegates_.begin(); it != delegates_.end(); ++it) {
      if (*it == delegate) {
        delegates_.erase(it);
        return;
      }
    }
  }
  // A copy runs, so a delegate may change the list while it is called.
  bool operator()(Arg* arg) const {
    const std::vector<CDelegate<Arg>> snapshot = delegates_;
    for (const auto& delegate : snapshot) {
      if (!delegate(arg)) return false;
    }
    return true;
  }
  bool empty() const { return delegates_.empty(); }
  size_t size() const { return delegates_.size(); }
  void clear() { delegates_.clear(); }

 private:
  std::vector<CDelegate<Arg>> delegates_;
};

class CControlUI;

// The container interface ("IContainer").
class IContainerUI {
 public:
  virtual CControlUI* GetItemAt(int index) const = 0;
  virtual int GetItemIndex(CControlUI* control) const = 0;
  virtual bool SetItemIndex(CControlUI* control, int index) = 0;
  virtual bool MoveItemRange(int from, int count, int to) = 0;
  virtual int GetCount() const = 0;
  virtual bool Add(CControlUI* control) = 0;
  virtual bool AddAt(CControlUI* control, int index) = 0;
  virtual bool Remove(CControlUI* control, bool doNotDestroy = false) = 0;
  virtual bool RemoveAt(int index, bool doNotDestroy = false) = 0;
  virtual void RemoveAll() = 0;

 protected:
  ~IContainerUI() = default;
};

// Anchors of a floating control, as fractions of its parent's size.
struct FloatAnchors {
  double left = 0;
  double top = 0;
  double right = 0;
  double bottom = 0;
};

class CControlUI {
 public:
  CControlUI();

  // ---- virtual operations, in slot order ----
  virtual void Delete();
  virtual ~CControlUI();
  virtual std::wstring GetName() const;
  virtual void SetName(const std::wstring& name);
  virtual const wchar_t* GetClass() const;
  virtual void* GetInterface(const std::wstring& name);
  virtual UINT GetControlFlags() const;
  virtual HWND GetNativeWindow() const;
  virtual bool Activate();
  virtual CWindowManagerUI* GetManager() const;
  virtual void SetManager(CWindowManagerUI* manager, CControlUI* parent, bool initialise = true);
  virtual CControlUI* GetParent() const;
  virtual CControlUI* GetCover() const;
  virtual void SetCover(CControlUI* cover);
  virtual std::wstring GetText() const;
  virtual void SetText(const std::wstring& text);
  virtual const RECT& GetPos() const;
  virtual RECT GetRelativePos() const;
  virtual RECT GetClientPos() const;
  virtual void SetPos(RECT rect, bool invalidate = true);
  virtual void Move(SIZE offset, bool invalidate = true);
  virtual int GetWidth() const;
  virtual int GetHeight() const;
  virtual int GetX() const;
  virtual int GetY() const;
  virtual RECT GetPadding() const;
  virtual void SetPadding(RECT padding);
  virtual POINT GetFixedPosition() const;
  virtual void SetFixedPosition(POINT position);
  virtual FloatAnchors GetFloatAnchors() const;
  virtual void SetFloatAnchors(const FloatAnchors& anchors);
  virtual int GetFixedWidth() const;
  virtual void SetFixedWidth(int width);
  virtual int GetFixedHeight() const;
  virtual void SetFixedHeight(int height);
  virtual int GetMinWidth() const;
  virtual void SetMinWidth(int width);
  virtual int GetMaxWidth() const;
  virtual void SetMaxWidth(int width);
  virtual int GetMinHeight() const;
  virtual void SetMinHeight(int height);
  virtual int GetMaxHeight() const;
  virtual void SetMaxHeight(int height);
  virtual std::wstring GetToolTip() const;
  virtual void SetToolTip(const std::wstring& text);
  virtual void SetToolTipWidth(int width);
  virtual int GetToolTipWidth() const;
  virtual wchar_t GetShortcut() const;
  virtual void SetShortcut(wchar_t ch);
  virtual bool IsContextMenuEnabled() const;
  virtual void SetContextMenuEnabled(bool enabled);
  virtual std::wstring GetUserData() const;
  virtual void SetUserData(const std::wstring& text);
  virtual UINT_PTR GetTag() const;
  virtual void SetTag(UINT_PTR tag);
  virtual bool IsVisible() const;
  virtual void SetVisible(bool visible = true);
  virtual void SetInheritedVisible(bool visible = true);
  virtual bool IsEnabled() const;
  virtual void SetEnabled(bool enabled = true);
  virtual bool IsMouseEnabled() const;
  virtual void SetMouseEnabled(bool enabled = true);
  virtual bool IsKeyboardEnabled() const;
  virtual void SetKeyboardEnabled(bool enabled = true);
  virtual bool IsFocused() const;
  virtual void SetFocus();
  virtual bool IsFloat() const;
  virtual void SetFloat(bool floating = true);
  virtual CControlUI* FindControl(FindControlProc predicate, void* data, UINT flags);
  virtual void Init();
  virtual void DoInit();
  virtual void Event(ControlEvent& event);
  virtual void DoEvent(ControlEvent& event);
  virtual std::wstring GetAttribute(const std::wstring& name) const;
  virtual void SetAttribute(const std::wstring& name, const std::wstring& value);
  virtual std::wstring GetAttributeList() const;
  virtual void SetAttributeList(const std::wstring& list);
  virtual SIZE MeasureSize(SIZE available);
  virtual bool Paint(HDC dc, const RECT& paint, CControlUI* stopControl = nullptr);
  virtual bool DoPaint(HDC dc, const RECT& paint, CControlUI* stopControl = nullptr);
  virtual void PaintBkColor(HDC dc);
  virtual void PaintBkImage(HDC dc);
  virtual void PaintStatusImage(HDC dc);
  virtual void PaintText(HDC dc);
  virtual void PaintBorder(HDC dc);
  virtual void PaintLate(HDC dc, const RECT& paint);

  // ---- the rest of the interface ----
  void Invalidate();
  bool IsUpdateNeeded() const { return updateNeeded_; }
  void NeedUpdate();
  void NeedParentLayout();
  DWORD AdjustedColor(DWORD color) const;
  void AddCustomAttribute(const std::wstring& name, const std::wstring& value);
  // Empty when not stored.
  std::wstring GetCustomAttribute(const std::wstring& name) const;
  void SetVirtualWindow(const std::wstring& name);
  std::wstring GetVirtualWindow() const;
  const RECT& GetPaintRect() const { return paintRect_; }

  DWORD GetBkColor() const { return bkColor1_; }
  void SetBkColor(DWORD color);
  DWORD GetBkColor2() const { return bkColor2_; }
  void SetBkColor2(DWORD color);
  DWORD GetBkColor3() const { return bkColor3_; }
  void SetBkColor3(DWORD color);
  const std::wstring& GetBkImage() const { return bkImage_.description; }
  void SetBkImage(const std::wstring& description);
  const ImageDrawInfo& GetBkImageInfo() const { return bkImage_; }
  DWORD GetBorderColor() const { return borderColor_; }
  void SetBorderColor(DWORD color);
  DWORD GetFocusBorderColor() const { return focusBorderColor_; }
  void SetFocusBorderColor(DWORD color);
  bool IsColorHSL() const { return colorAdjust_; }
  void SetColorHSL(bool adjust);
  RECT GetBorderSize() const { return borderSize_; }
  void SetBorderSize(RECT size);
  void SetBorderSize(int size);
  int GetBorderStyle() const { return borderStyle_; }
  void SetBorderStyle(int style);
  SIZE GetBorderRound() const { return borderRound_; }
  void SetBorderRound(SIZE round);

  // Draws an image description over this control (or only loads it with a
  // null DC); false when there is nothing to draw.
  bool DrawImage(HDC dc, ImageDrawInfo& info);

  CEventSource<CControlUI> OnInit;
  CEventSource<CControlUI> OnDestroy;
  CEventSource<CControlUI> OnSize;
  CEventSource<ControlEvent> OnEvent;
  CEventSource<NotifyEvent> OnNotify;
  CEventSource<CControlUI> OnPaint;
  CEventSource<CControlUI> OnPostPaint;

 protected:
  // The item rectangle clipped by every ancestor's; false when an ancestor
  // is hidden or nothing is left.
  bool ClipByAncestors(RECT* rect) const;
  void InvalidateClipped(RECT rect);

  CWindowManagerUI* manager_ = nullptr;
  CControlUI* parent_ = nullptr;
  CControlUI* cover_ = nullptr;  // owned
  std::wstring virtualWindow_;
  std::wstring name_;
  bool updateNeeded_ = true;
  bool contextMenuUsed_ = false;
  RECT item_ = {0, 0, 0, 0};
  RECT padding_ = {0, 0, 0, 0};
  POINT fixedXY_ = {0, 0};
  int fixedWidth_ = 0;
  int fixedHeight_ = 0;
  int minWidth_ = 0;
  int minHeight_ = 0;
  int maxWidth_ = 9999;
  int maxHeight_ = 9999;
  bool visible_ = true;
  bool internVisible_ = true;
  bool enabled_ = true;
  bool mouseEnabled_ = true;
  bool keyboardEnabled_ = true;
  bool focused_ = false;
  bool float_ = false;
  FloatAnchors floatAnchors_;
  std::wstring text_;
  std::wstring tooltip_;
  wchar_t shortcut_ = 0;
  std::wstring userData_;
  UINT_PTR tag_ = 0;
  DWORD bkColor1_ = 0;
  DWORD bkColor2_ = 0;
  DWORD bkColor3_ = 0;
  ImageDrawInfo bkImage_;
  DWORD borderColor_ = 0;
  DWORD focusBorderColor_ = 0;
  bool colorAdjust_ = false;
  int borderStyle_ = PS_SOLID;
  int tooltipWidth_ = 300;
  SIZE borderRound_ = {0, 0};
  RECT paintRect_ = {0, 0, 0, 0};
  RECT borderSize_ = {0, 0, 0, 0};
  std::map<std::wstring, std::wstring> customAttributes_;

 private:
  bool inOnSize_ = false;
};

}  // namespace SkinUI
