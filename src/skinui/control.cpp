// The control base: geometry, state, attributes, events and painting.
#include "skinui/control.h"

#include <algorithm>
#include <optional>

#include "skinui/attribute_values.h"

namespace SkinUI {

namespace {

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

}  // namespace

CControlUI::CControlUI() = default;

void CControlUI::Delete() { delete this; }

CControlUI::~CControlUI() {
  if (cover_ != nullptr) {
    CControlUI* cover = cover_;
    cover_ = nullptr;
    cover->Delete();
  }
  OnDestroy(this);
  if (manager_ != nullptr) manager_->ReapControl(this);
}

std::wstring CControlUI::GetName() const { return name_; }

void CControlUI::SetName(const std::wstring& name) {
  // The manager's name map was filled when the tree was attached; it does
  // not follow later renames.
  if (name != name_) name_ = name;
}

const wchar_t* CControlUI::GetClass() const { return L"Control"; }

void* CControlUI::GetInterface(const std::wstring& name) { return name == L"Control" ? this : nullptr; }

UINT CControlUI::GetControlFlags() const { return 0; }

HWND CControlUI::GetNativeWindow() const { return nullptr; }

bool CControlUI::Activate() { return IsVisible() && IsEnabled(); }

CWindowManagerUI* CControlUI::GetManager() const { return manager_; }

void CControlUI::SetManager(CWindowManagerUI* manager, CControlUI* parent, bool initialise) {
  if (cover_ != nullptr) cover_->SetManager(manager, this, initialise);
  manager_ = manager;
  parent_ = parent;
  if (initialise && parent_ != nullptr) Init();
}

CControlUI* CControlUI::GetParent() const { return parent_; }

CControlUI* CControlUI::GetCover() const { return cover_; }

void CControlUI::SetCover(CControlUI* cover) {
  if (cover_ != nullptr) {
    CControlUI* old = cover_;
    cover_ = nullptr;
    old->Delete();
  }
  cover_ = cover;
  if (cover_ == nullptr) return;
  cover_->SetManager(manager_, this, manager_ != nullptr);
  if (!IsVisible()) {
    cover_->SetInheritedVisible(false);
  } else {
    cover_->NeedUpdate();
  }
}

std::wstring CControlUI::GetText() const { return text_; }

void CControlUI::SetText(const std::wstring& text) {
  if (text_ == text) return;
  text_ = text;
  Invalidate();
}

const RECT& CControlUI::GetPos() const { return item_; }

RECT CControlUI::GetRelativePos() const {
  if (parent_ == nullptr) return RECT{0, 0, 0, 0};
  const RECT& p = parent_->GetPos();
  return RECT{item_.left - p.left, item_.top - p.top, item_.right - p.left, item_.bottom - p.top};
}

RECT CControlUI::GetClientPos() const { return item_; }

bool CControlUI::ClipByAncestors(RECT* rect) const {
  for (const CControlUI* p = parent_; p != nullptr; p = p->parent_) {
    if (!p->IsVisible()) return false;
    const RECT& parentRect = p->GetPos();
    if (!::IntersectRect(rect, rect, &parentRect)) return false;
  }
  return !::IsRectEmpty(rect);
}

void CControlUI::InvalidateClipped(RECT rect) {
  if (manager_ == nullptr) return;
  if (ClipByAncestors(&rect)) manager_->Invalidate(rect);
}

void CControlUI::SetPos(RECT rect, bool invalidate) {
  if (rect.right < rect.left) rect.right = rect.left;
  if (rect.bottom < rect.top) rect.bottom = rect.top;
  RECT old = item_;
  if (::IsRectEmpty(&old)) old = rect;

  if (float_ && parent_ != nullptr) {
    // A floating control is placed relative to its parent; its fixed
    // position and size follow from the anchors.
    const RECT& parentRect = parent_->GetPos();
    item_ = rect;
    ::OffsetRect(&item_, parentRect.left, parentRect.top);
    const int w = Width(parentRect), h = Height(parentRect);
    fixedXY_.x = rect.left - static_cast<int>(w * floatAnchors_.left);
    fixedXY_.y = rect.top - static_cast<int>(h * floatAnchors_.top);
    fixedWidth_ = rect.right - static_cast<int>(w * floatAnchors_.right) - fixedXY_.x;
    fixedHeight_ = rect.bottom - static_cast<int>(h * floatAnchors_.bottom) - fixedXY_.y;
  } else {
    item_ = rect;
  }

  if (manager_ != nullptr) {
    if (!inOnSize_) {
      inOnSize_ = true;
      OnSize(this);
      inOnSize_ = false;
    }
    updateNeeded_ = false;
    if (invalidate && IsVisible()) {
      RECT both;
      ::UnionRect(&both, &old, &item_);
      InvalidateClipped(both);
    }
  }

  if (cover_ != nullptr && cover_->IsVisible()) {
    if (cover_->IsFloat()) {
      const POINT xy = cover_->GetFixedPosition();
      const FloatAnchors a = cover_->GetFloatAnchors();
      const int w = Width(item_), h = Height(item_);
      const RECT relative{static_cast<int>(w * a.left) + xy.x, static_cast<int>(h * a.top) + xy.y,
                          static_cast<int>(w * a.right) + xy.x + cover_->GetFixedWidth(),
                          static_cast<int>(h * a.bottom) + xy.y + cover_->GetFixedHeight()};
      cover_->SetPos(relative, false);
    } else {
      const int w = std::clamp(Width(item_), cover_->GetMinWidth(), std::max(cover_->GetMinWidth(), cover_->GetMaxWidth()));
      const int h =
          std::clamp(Height(item_), cover_->GetMinHeight(), std::max(cover_->GetMinHeight(), cover_->GetMaxHeight()));
      cover_->SetPos(RECT{item_.left, item_.top, item_.left + w, item_.top + h}, false);
    }
  }
}

void CControlUI::Move(SIZE offset, bool invalidate) {
  const RECT old = item_;
  ::OffsetRect(&item_, offset.cx, offset.cy);
  if (invalidate && manager_ != nullptr && IsVisible()) {
    RECT both;
    ::UnionRect(&both, &old, &item_);
    InvalidateClipped(both);
  }
  if (cover_ != nullptr) cover_->Move(offset, false);
}

int CControlUI::GetWidth() const { return Width(item_); }
int CControlUI::GetHeight() const { return Height(item_); }
int CControlUI::GetX() const { return item_.left; }
int CControlUI::GetY() const { return item_.top; }

RECT CControlUI::GetPadding() const { return padding_; }
void CControlUI::SetPadding(RECT padding) {
  padding_ = padding;
  NeedParentLayout();
}

POINT CControlUI::GetFixedPosition() const { return fixedXY_; }
void CControlUI::SetFixedPosition(POINT position) {
  fixedXY_ = position;
  NeedParentLayout();
}

FloatAnchors CControlUI::GetFloatAnchors() const { return floatAnchors_; }
void CControlUI::SetFloatAnchors(const FloatAnchors& anchors) { floatAnchors_ = anchors; }

int CControlUI::GetFixedWidth() const { return fixedWidth_; }
void CControlUI::SetFixedWidth(int width) {
  if (width < 0) return;
  fixedWidth_ = width;
  NeedParentLayout();
}

int CControlUI::GetFixedHeight() const { return fixedHeight_; }
void CControlUI::SetFixedHeight(int height) {
  if (height < 0) return;
  fixedHeight_ = height;
  NeedParentLayout();
}

int CControlUI::GetMinWidth() const { return minWidth_; }
void CControlUI::SetMinWidth(int width) {
  if (width < 0 || width == minWidth_) return;
  minWidth_ = width;
  NeedParentLayout();
}

int CControlUI::GetMaxWidth() const { return std::max(maxWidth_, minWidth_); }
void CControlUI::SetMaxWidth(int width) {
  if (width < 0 || width == maxWidth_) return;
  maxWidth_ = width;
  NeedParentLayout();
}

int CControlUI::GetMinHeight() const { return minHeight_; }
void CControlUI::SetMinHeight(int height) {
  if (height < 0 || height == minHeight_) return;
  minHeight_ = height;
  NeedParentLayout();
}

int CControlUI::GetMaxHeight() const { return std::max(maxHeight_, minHeight_); }
void CControlUI::SetMaxHeight(int height) {
  if (height < 0 || height == maxHeight_) return;
  maxHeight_ = height;
  NeedParentLayout();
}

std::wstring CControlUI::GetToolTip() const { return tooltip_; }

void CControlUI::SetToolTip(const std::wstring& text) {
  std::wstring result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    if (text.compare(i, 3, L"<n>") == 0) {
      result += L"\r\n";
      i += 3;
    } else {
      result += text[i++];
    }
  }
  tooltip_ = result;
}

void CControlUI::SetToolTipWidth(int width) { tooltipWidth_ = width; }
int CControlUI::GetToolTipWidth() const { return tooltipWidth_; }

wchar_t CControlUI::GetShortcut() const { return shortcut_; }
void CControlUI::SetShortcut(wchar_t ch) { shortcut_ = ch; }

bool CControlUI::IsContextMenuEnabled() const { return contextMenuUsed_; }
void CControlUI::SetContextMenuEnabled(bool enabled) { contextMenuUsed_ = enabled; }

std::wstring CControlUI::GetUserData() const { return userData_; }
void CControlUI::SetUserData(const std::wstring& text) { userData_ = text; }

UINT_PTR CControlUI::GetTag() const { return tag_; }
void CControlUI::SetTag(UINT_PTR tag) { tag_ = tag; }

bool CControlUI::IsVisible() const { return visible_ && internVisible_; }

void CControlUI::SetVisible(bool visible) {
  if (visible_ == visible) return;
  const bool wasVisible = IsVisible();
  visible_ = visible;
  focused_ = false;
  if (!visible && manager_ != nullptr && manager_->GetFocus() == this) manager_->SetFocus(nullptr, false);
  if (IsVisible() != wasVisible) NeedParentLayout();
  if (cover_ != nullptr) cover_->SetInheritedVisible(IsVisible());
}

void CControlUI::SetInheritedVisible(bool visible) {
  internVisible_ = visible;
  if (!visible && manager_ != nullptr && manager_->GetFocus() == this) manager_->SetFocus(nullptr, false);
  if (cover_ != nullptr) cover_->SetInheritedVisible(IsVisible());
}

bool CControlUI::IsEnabled() const { return enabled_; }
void CControlUI::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Invalidate();
}

bool CControlUI::IsMouseEnabled() const { return mouseEnabled_; }
void CControlUI::SetMouseEnabled(bool enabled) { mouseEnabled_ = enabled; }

bool CControlUI::IsKeyboardEnabled() const { return keyboardEnabled_; }
void CControlUI::SetKeyboardEnabled(bool enabled) { keyboardEnabled_ = enabled; }

bool CControlUI::IsFocused() const { return focused_; }

void CControlUI::SetFocus() {
  if (manager_ != nullptr) manager_->SetFocus(this, false);
}

bool CControlUI::IsFloat() const { return float_; }
void CControlUI::SetFloat(bool floating) {
  if (float_ == floating) return;
  float_ = floating;
  NeedParentLayout();
}

CControlUI* CControlUI::FindControl(FindControlProc predicate, void* data, UINT flags) {
  if ((flags & kFindVisible) != 0 && !IsVisible()) return nullptr;
  if ((flags & kFindEnabled) != 0 && !IsEnabled()) return nullptr;
  if ((flags & kFindHitTest) != 0 &&
      (!mouseEnabled_ || data == nullptr || !::PtInRect(&item_, *static_cast<const POINT*>(data)))) {
    return nullptr;
  }
  if ((flags & kFindUpdateTest) != 0 && predicate(this, data) != nullptr) return nullptr;

  CControlUI* result = nullptr;
  if ((flags & kFindMeFirst) != 0) result = predicate(this, data);
  if (result == nullptr && cover_ != nullptr) result = cover_->FindControl(predicate, data, flags);
  if (result == nullptr && (flags & kFindMeFirst) == 0) result = predicate(this, data);
  return result;
}

void CControlUI::Init() {
  DoInit();
  OnInit(this);
}

void CControlUI::DoInit() {}

void CControlUI::Event(ControlEvent& event) {
  if (OnEvent(&event)) DoEvent(event);
}

void CControlUI::DoEvent(ControlEvent& event) {
  switch (event.type) {
    case ControlEventType::SetCursor:
      ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
      return;
    case ControlEventType::SetFocus:
      focused_ = true;
      Invalidate();
      return;
    case ControlEventType::KillFocus:
      focused_ = false;
      Invalidate();
      return;
    case ControlEventType::Timer:
      if (manager_ != nullptr) manager_->SendNotify(this, L"timer", event.wParam, event.lParam);
      return;
    case ControlEventType::ContextMenu:
      if (contextMenuUsed_) {
        if (manager_ != nullptr) manager_->SendNotify(this, L"menu", event.wParam, event.lParam);
        return;
      }
      break;
    default:
      break;
  }
  if (parent_ != nullptr) parent_->DoEvent(event);
}

std::wstring CControlUI::GetAttribute(const std::wstring&) const { return std::wstring(); }

void CControlUI::SetAttribute(const std::wstring& name, const std::wstring& value) {
  const wchar_t* v = value.c_str();
  if (name == L"pos") {
    const RECT r = ParseRect(v);
    SetFixedPosition(POINT{r.left, r.top});
    SetFixedWidth(r.right - r.left);
    SetFixedHeight(r.bottom - r.top);
  } else if (name == L"padding") {
    SetPadding(ParseRect(v));
  } else if (name == L"bkcolor" || name == L"bkcolor1") {
    SetBkColor(ParseColor(v));
  } else if (name == L"bkcolor2") {
    SetBkColor2(ParseColor(v));
  } else if (name == L"bkcolor3") {
    SetBkColor3(ParseColor(v));
  } else if (name == L"bordercolor") {
    SetBorderColor(ParseColor(v));
  } else if (name == L"focusbordercolor") {
    SetFocusBorderColor(ParseColor(v));
  } else if (name == L"colorhsl") {
    SetColorHSL(ParseBool(v));
  } else if (name == L"bordersize") {
    if (value.find(L',') == std::wstring::npos) {
      SetBorderSize(ParseInt(v));
    } else {
      SetBorderSize(ParseRect(v));
    }
  } else if (name == L"borderstyle") {
    SetBorderStyle(ParseInt(v));
  } else if (name == L"borderround") {
    SetBorderRound(ParseSize(v));
  } else if (name == L"bkimage") {
    SetBkImage(value);
  } else if (name == L"width") {
    SetFixedWidth(ParseInt(v));
  } else if (name == L"height") {
    SetFixedHeight(ParseInt(v));
  } else if (name == L"minwidth") {
    SetMinWidth(ParseInt(v));
  } else if (name == L"minheight") {
    SetMinHeight(ParseInt(v));
  } else if (name == L"maxwidth") {
    SetMaxWidth(ParseInt(v));
  } else if (name == L"maxheight") {
    SetMaxHeight(ParseInt(v));
  } else if (name == L"name") {
    SetName(value);
  } else if (name == L"text") {
    SetText(value);
  } else if (name == L"tooltip") {
    SetToolTip(value);
  } else if (name == L"userdata") {
    SetUserData(value);
  } else if (name == L"tag") {
    SetTag(static_cast<UINT_PTR>(ParseInt(v)));
  } else if (name == L"enabled") {
    SetEnabled(ParseBool(v));
  } else if (name == L"mouse") {
    SetMouseEnabled(ParseBool(v));
  } else if (name == L"keyboard") {
    SetKeyboardEnabled(ParseBool(v));
  } else if (name == L"visible") {
    SetVisible(ParseBool(v));
  } else if (name == L"float") {
    if (value.find(L',') == std::wstring::npos) {
      SetFloat(ParseBool(v));
    } else {
      // Four fractions l,t,r,b: the anchors, and floating on.
      FloatAnchors anchors;
      double* parts[4] = {&anchors.left, &anchors.top, &anchors.right, &anchors.bottom};
      const wchar_t* p = v;
      for (double* part : parts) {
        if (*p == 0) break;
        wchar_t* end = nullptr;
        *part = std::wcstod(p, &end);
        p = end;
        if (*p != 0) ++p;
      }
      SetFloatAnchors(anchors);
      SetFloat(true);
    }
  } else if (name == L"shortcut") {
    SetShortcut(value.empty() ? 0 : value[0]);
  } else if (name == L"menu") {
    SetContextMenuEnabled(ParseBool(v));
  } else if (name == L"virtualwnd") {
    SetVirtualWindow(value);
  } else {
    AddCustomAttribute(name, value);
  }
}

std::wstring CControlUI::GetAttributeList() const { return std::wstring(); }

void CControlUI::SetAttributeList(const std::wstring& list) {
  // name="value" pairs, one space between them.
  const wchar_t* p = list.c_str();
  std::wstring name, value;
  while (*p != 0) {
    const wchar_t* start = p;
    while (*p != 0 && *p != L'=') ++p;
    if (*p != L'=') return;
    name.assign(start, p);
    ++p;
    if (*p != L'"') return;
    ++p;
    start = p;
    while (*p != 0 && *p != L'"') ++p;
    if (*p != L'"') return;
    value.assign(start, p);
    ++p;
    SetAttribute(name, value);
    if (*p != L' ') return;
    ++p;
  }
}

SIZE CControlUI::MeasureSize(SIZE) { return SIZE{fixedWidth_, fixedHeight_}; }

bool CControlUI::Paint(HDC dc, const RECT& paint, CControlUI* stopControl) {
  if (stopControl == this) return false;
  if (!::IntersectRect(&paintRect_, &paint, &item_)) return true;
  if (!OnPaint(this)) return true;
  if (!DoPaint(dc, paintRect_, stopControl)) return false;
  if (cover_ != nullptr) return cover_->Paint(dc, paint, stopControl);
  return true;
}

bool CControlUI::DoPaint(HDC dc, const RECT&, CControlUI*) {
  std::optional<CRenderClip> clip;
  if (borderRound_.cx > 0 || borderRound_.cy > 0) {
    clip.emplace(CSkinRenderer::ClipToRoundRect(dc, paintRect_, item_, borderRound_.cx, borderRound_.cy));
  }
  PaintBkColor(dc);
  PaintBkImage(dc);
  PaintStatusImage(dc);
  PaintText(dc);
  PaintBorder(dc);
  return true;
}

void CControlUI::PaintBkColor(HDC dc) {
  if (bkColor1_ == 0) return;
  const DWORD c1 = AdjustedColor(bkColor1_);
  if (bkColor2_ == 0) {
    // An opaque colour covers what is painted; a translucent one is blended
    // over the whole control.
    CSkinRenderer::DrawColor(dc, (bkColor1_ >> 24) == 0xFF ? paintRect_ : item_, c1);
    return;
  }
  const DWORD c2 = AdjustedColor(bkColor2_);
  if (bkColor3_ == 0) {
    CSkinRenderer::DrawGradient(dc, item_, c1, c2, true, 16);
    return;
  }
  const DWORD c3 = AdjustedColor(bkColor3_);
  const LONG middle = (item_.top + item_.bottom) / 2;
  CSkinRenderer::DrawGradient(dc, RECT{item_.left, item_.top, item_.right, middle}, c1, c2, true, 8);
  CSkinRenderer::DrawGradient(dc, RECT{item_.left, middle, item_.right, item_.bottom}, c2, c3, true, 8);
}

void CControlUI::PaintBkImage(HDC dc) { DrawImage(dc, bkImage_); }

void CControlUI::PaintStatusImage(HDC) {}

void CControlUI::PaintText(HDC) {}

void CControlUI::PaintBorder(HDC dc) {
  const RECT& b = borderSize_;
  if (b.left <= 0 && b.top <= 0 && b.right <= 0 && b.bottom <= 0) return;
  if (borderColor_ == 0 && focusBorderColor_ == 0) return;
  DWORD color = IsFocused() && focusBorderColor_ != 0 ? focusBorderColor_ : borderColor_;
  // Colour 0 is no colour: a control with only a focus colour has no
  // frame while it is not focused.
  if (color == 0) return;
  color = AdjustedColor(color);
  if (borderRound_.cx > 0 || borderRound_.cy > 0) {
    CSkinRenderer::DrawRoundRect(dc, item_, b.left, borderRound_.cx, borderRound_.cy, color, borderStyle_);
    return;
  }
  if (b.left == b.top && b.left == b.right && b.left == b.bottom) {
    CSkinRenderer::DrawRect(dc, item_, b.left, color, borderStyle_);
    return;
  }
  const RECT& r = item_;
  if (b.left > 0) CSkinRenderer::DrawLine(dc, RECT{r.left, r.top, r.left, r.bottom}, b.left, color, borderStyle_);
  if (b.top > 0) CSkinRenderer::DrawLine(dc, RECT{r.left, r.top, r.right, r.top}, b.top, color, borderStyle_);
  if (b.right > 0) {
    CSkinRenderer::DrawLine(dc, RECT{r.right - b.right, r.top, r.right - b.right, r.bottom}, b.right, color,
                            borderStyle_);
  }
  if (b.bottom > 0) {
    CSkinRenderer::DrawLine(dc, RECT{r.left, r.bottom - b.bottom, r.right, r.bottom - b.bottom}, b.bottom, color,
                            borderStyle_);
  }
}

void CControlUI::PaintLate(HDC, const RECT&) { OnPostPaint(this); }

void CControlUI::Invalidate() {
  if (!IsVisible()) return;
  InvalidateClipped(item_);
}

void CControlUI::NeedUpdate() {
  if (!IsVisible()) return;
  updateNeeded_ = true;
  Invalidate();
  if (manager_ != nullptr) manager_->NeedUpdate();
}

void CControlUI::NeedParentLayout() {
  if (parent_ != nullptr) {
    parent_->NeedUpdate();
    parent_->Invalidate();
  } else {
    NeedUpdate();
  }
  if (manager_ != nullptr) manager_->NeedUpdate();
}

DWORD CControlUI::AdjustedColor(DWORD color) const {
  if (!colorAdjust_) return color;
  short hue, saturation, lightness;
  CSkinRenderer::GetColorAdjustment(&hue, &saturation, &lightness);
  return CSkinRenderer::AdjustColor(color, hue, saturation, lightness);
}

void CControlUI::AddCustomAttribute(const std::wstring& name, const std::wstring& value) {
  if (name.empty() || value.empty()) return;
  customAttributes_.emplace(name, value);
}

std::wstring CControlUI::GetCustomAttribute(const std::wstring& name) const {
  auto it = customAttributes_.find(name);
  return it == customAttributes_.end() ? std::wstring() : it->second;
}

void CControlUI::SetVirtualWindow(const std::wstring& name) {
  virtualWindow_ = name;
  if (manager_ != nullptr) manager_->UsedVirtualWnd(true);
}

std::wstring CControlUI::GetVirtualWindow() const { return virtualWindow_; }

void CControlUI::SetBkColor(DWORD color) {
  if (bkColor1_ == color) return;
  bkColor1_ = color;
  Invalidate();
}

void CControlUI::SetBkColor2(DWORD color) {
  if (bkColor2_ == color) return;
  bkColor2_ = color;
  Invalidate();
}

void CControlUI::SetBkColor3(DWORD color) {
  if (bkColor3_ == color) return;
  bkColor3_ = color;
  Invalidate();
}

void CControlUI::SetBkImage(const std::wstring& description) {
  if (bkImage_.description == description && bkImage_.image != nullptr) return;
  bkImage_.Reset(description);
  if (manager_ != nullptr) {
    DrawImage(nullptr, bkImage_);
    if (float_ && fixedWidth_ == 0 && fixedHeight_ == 0 && bkImage_.image != nullptr) {
      SetFixedWidth(bkImage_.image->width);
      SetFixedHeight(bkImage_.image->height);
    }
  }
  Invalidate();
}

void CControlUI::SetBorderColor(DWORD color) {
  if (borderColor_ == color) return;
  borderColor_ = color;
  Invalidate();
}

void CControlUI::SetFocusBorderColor(DWORD color) {
  if (focusBorderColor_ == color) return;
  focusBorderColor_ = color;
  Invalidate();
}

void CControlUI::SetColorHSL(bool adjust) {
  if (colorAdjust_ == adjust) return;
  colorAdjust_ = adjust;
  Invalidate();
}

void CControlUI::SetBorderSize(RECT size) {
  borderSize_ = size;
  Invalidate();
}

void CControlUI::SetBorderSize(int size) { SetBorderSize(RECT{size, size, size, size}); }

void CControlUI::SetBorderStyle(int style) {
  borderStyle_ = style;
  Invalidate();
}

void CControlUI::SetBorderRound(SIZE round) {
  borderRound_ = round;
  Invalidate();
}

bool CControlUI::DrawImage(HDC dc, ImageDrawInfo& info) {
  return CSkinRenderer::DrawImageDescription(dc, manager_, item_, paintRect_, info);
}

}  // namespace SkinUI
