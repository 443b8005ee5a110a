#include "korvane3d/host/Controls.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "korvane3d/host/Error.h"
#include "korvane3d/host/PropertyBuilder.h"

namespace kv {

const EnumInfo kAlignInfo{"TAlign", {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"}};

// ---- TControl ----------------------------------------------------------------

const TClassInfo& TControl::StaticClass() {
  static const TClassInfo info = DefineClass<TControl, TComponent>("TControl", [](PropertyBuilder<TControl>& p) {
    p.Integer("Left", &TControl::Left, &TControl::SetLeft);
    p.Integer("Top", &TControl::Top, &TControl::SetTop);
    p.Integer("Width", &TControl::Width, &TControl::SetWidth);
    p.Integer("Height", &TControl::Height, &TControl::SetHeight);
    p.Boolean("Visible", &TControl::Visible, &TControl::SetVisible).Default(true);
    p.Event("OnResize", &TControl::OnResize);
  });
  return info;
}

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl() {
  if (parent_ != nullptr) parent_->RemoveControl(this);
}

bool TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return true;
  for (TControl* c = parent; c != nullptr; c = c->Parent()) {
    if (c == this) return Fail("a control cannot be placed inside itself");
  }
  if (parent != nullptr && parent->ComponentState().Contains(csDestroying)) {
    return Fail("the parent control is being freed");
  }
  if (parent_ != nullptr) parent_->RemoveControl(this);
  parent_ = parent;
  if (parent != nullptr) parent->InsertControl(this);
  return true;
}

TComponent* TControl::GetParentComponent() const { return Parent(); }

void TControl::SetParentComponent(TComponent* parent) {
  if (auto* winControl = dynamic_cast<TWinControl*>(parent)) SetParent(winControl);
}

int TControl::SaturatedSum(int a, int b) {
  return static_cast<int>(std::clamp<std::int64_t>(std::int64_t{a} + b, std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
}

bool TControl::SetBounds(int left, int top, int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  const RECT bounded = BoundedWindowRect(left, top, width, height);
  if (bounded.left != left || bounded.top != top || bounded.right - bounded.left != width ||
      bounded.bottom - bounded.top != height) {
    return Fail(GetNamePath() + " cannot be " + std::to_string(width) + " x " + std::to_string(height) + " at " +
                std::to_string(left) + ", " + std::to_string(top) + ": a window is at most " +
                std::to_string(kMaxWindowSide) + " pixels a side and " + std::to_string(kMaxWindowPixels) +
                " in all, placed from " + std::to_string(kMinWindowCoordinate) + " to " +
                std::to_string(kMaxWindowCoordinate));
  }
  if (left == left_ && top == top_ && width == width_ && height == height_) return true;
  const bool sizeChanged = width != width_ || height != height_;
  StoreBounds(left, top, width, height);
  BoundsChanged(sizeChanged);
  return true;
}

void TControl::BoundsChanged(bool sizeChanged) {
  if (sizeChanged) Resize();
}

void TControl::SetVisible(bool visible) { visible_ = visible; }

void TControl::Resize() { OnResize(this); }

void TControl::SetAlign(TAlign align) {
  if (align == align_) return;
  align_ = align;
  if (parent_ != nullptr) parent_->AlignControls();
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) { OnMouseUp(this, button, shift, x, y); }

void TControl::MouseMove(TShiftState shift, int x, int y) { OnMouseMove(this, shift, x, y); }

// ---- TWinControl ----------------------------------------------------------------

const TClassInfo& TWinControl::StaticClass() {
  static const TClassInfo info = DefineClass<TWinControl, TControl>("TWinControl");
  return info;
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  Destroying();
  // Child controls that belong to a component go with their parent; those
  // without an owner belong to whoever holds them and are only let go.
  while (!controls_.empty()) {
    TControl* child = controls_.back();
    if (child->Owner() != nullptr) {
      delete child;
    } else {
      child->SetParent(nullptr);
    }
  }
  DestroyHandle();
}

TControl* TWinControl::Controls(int index) const {
  if (index < 0 || index >= ControlCount()) return nullptr;
  return controls_[static_cast<std::size_t>(index)];
}

void TWinControl::InsertControl(TControl* control) {
  controls_.push_back(control);
  if (control->Align() != alNone) AlignControls();
  if (auto* w = dynamic_cast<TWinControl*>(control); w != nullptr && HandleAllocated()) w->HandleNeeded();
}

void TWinControl::RemoveControl(TControl* control) {
  std::erase(controls_, control);
  if (control->Align() != alNone) AlignControls();
}

void TWinControl::Resize() {
  AlignControls();
  TControl::Resize();
}

void TWinControl::AlignControls() {
  if (aligning_ || ComponentState().Contains(csDestroying)) return;
  aligning_ = true;
  RECT r = ClientRect();
  for (TAlign side : {alTop, alBottom, alLeft, alRight, alClient}) {
    for (TControl* c : std::vector<TControl*>(controls_)) {
      if (c->Align() != side || !c->Visible()) continue;
      const int w = std::max<int>(r.right - r.left, 0);
      const int h = std::max<int>(r.bottom - r.top, 0);
      switch (side) {
        case alTop: c->SetBounds(r.left, r.top, w, c->Height()); r.top += c->Height(); break;
        case alBottom: c->SetBounds(r.left, r.bottom - c->Height(), w, c->Height()); r.bottom -= c->Height(); break;
        case alLeft: c->SetBounds(r.left, r.top, c->Width(), h); r.left += c->Width(); break;
        case alRight: c->SetBounds(r.right - c->Width(), r.top, c->Width(), h); r.right -= c->Width(); break;
        default: c->SetBounds(r.left, r.top, w, h); break;
      }
    }
  }
  aligning_ = false;
}

bool TWinControl::SetParent(TWinControl* parent) {
  TWinControl* old = Parent();
  if (parent == old) return true;
  if (!TControl::SetParent(parent)) return false;
  if (HandleAllocated()) {
    // A child window can move to another parent window; anything else (a
    // top-level window becoming a child, or losing its parent) is rebuilt on
    // demand.
    if (old != nullptr && parent != nullptr && parent->HandleAllocated()) {
      kv::SetParent(handle_, parent->handle_);
    } else {
      DestroyHandle();
    }
  }
  if (parent != nullptr && parent->HandleAllocated()) HandleNeeded();
  return true;
}

HWND TWinControl::Handle() {
  if (handle_ == nullptr && !creating_ && !ComponentState().Contains(csDestroying)) CreateWnd();
  return handle_;
}

void TWinControl::CreateParams(TCreateParams& params) {
  params.style = WS_CHILD | (visible_ ? WS_VISIBLE : 0);
  params.parent = Parent() != nullptr ? Parent()->Handle() : nullptr;
  params.x = Left();
  params.y = Top();
  params.width = Width();
  params.height = Height();
  params.caption = caption_;
}

void TWinControl::CreateWnd() {
  // Set before asking for the parent's window, which creates its children's
  // windows in turn: this one must not be made twice.
  creating_ = true;
  TCreateParams params;
  CreateParams(params);
  if ((params.style & WS_CHILD) != 0 && params.parent == nullptr) {
    creating_ = false;
    Fail("control " + GetNamePath() + " has no parent window");
    return;
  }
  HWND made = CreateWindowExA(params.exStyle, params.caption.c_str(), params.style, params.x, params.y, params.width,
                              params.height, params.parent, [this](HWND wnd, UINT msg, WPARAM w, LPARAM l) {
                                if (handle_ == nullptr && msg != WM_DESTROY) handle_ = wnd;
                                TMessage message{msg, w, l, 0};
                                WndProc(message);
                                if (msg == WM_DESTROY && handle_ == wnd) handle_ = nullptr;
                                return message.Result;
                              });
  creating_ = false;
  if (made == nullptr) {
    handle_ = nullptr;
    Fail("cannot create the window of " + GetNamePath());
    return;
  }
  for (TControl* child : std::vector<TControl*>(controls_)) {
    if (auto* w = dynamic_cast<TWinControl*>(child)) w->HandleNeeded();
  }
}

void TWinControl::DestroyHandle() {
  if (handle_ == nullptr) return;
  HWND wnd = handle_;
  DestroyWindow(wnd);
  handle_ = nullptr;
}

void TWinControl::WndProc(TMessage& message) { Dispatch(message); }

void TWinControl::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_SIZE: WMSize(message); break;
    case WM_MOVE:
      StoreBounds(static_cast<std::int16_t>(LOWORD(static_cast<std::uintptr_t>(message.LParam))),
                  static_cast<std::int16_t>(HIWORD(static_cast<std::uintptr_t>(message.LParam))), Width(), Height());
      break;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(handle_, &ps);
      EndPaint(handle_, &ps);
      break;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_LBUTTONDBLCLK_:
    case WM_MOUSEMOVE: MouseMessage(message); break;
    default: DefaultHandler(message);
  }
}

void TWinControl::MouseMessage(const TMessage& message) {
  constexpr WPARAM kShift = 0x0004, kControl = 0x0008, kLeft = 0x0001, kRight = 0x0002, kMiddle = 0x0010;
  TShiftState shift;
  if (message.WParam & kShift) shift.Include(ssShift);
  if (message.WParam & kControl) shift.Include(ssCtrl);
  if (message.WParam & kLeft) shift.Include(ssLeft);
  if (message.WParam & kRight) shift.Include(ssRight);
  if (message.WParam & kMiddle) shift.Include(ssMiddle);
  const auto l = static_cast<std::uintptr_t>(message.LParam);
  const int x = static_cast<std::int16_t>(LOWORD(l));
  const int y = static_cast<std::int16_t>(HIWORD(l));
  switch (message.Msg) {
    case WM_MOUSEMOVE: MouseMove(shift, x, y); break;
    case WM_LBUTTONDOWN: pressed_ = true; MouseDown(mbLeft, shift, x, y); break;
    case WM_RBUTTONDOWN: MouseDown(mbRight, shift, x, y); break;
    case WM_MBUTTONDOWN: MouseDown(mbMiddle, shift, x, y); break;
    case WM_RBUTTONUP: MouseUp(mbRight, shift, x, y); break;
    case WM_MBUTTONUP: MouseUp(mbMiddle, shift, x, y); break;
    case WM_LBUTTONDBLCLK_: DblClick(); break;
    case WM_LBUTTONUP: {
      const bool click = pressed_ && x >= 0 && y >= 0 && x < Width() && y < Height();
      pressed_ = false;
      MouseUp(mbLeft, shift, x, y);
      if (click) Click();
      break;
    }
    default: break;
  }
}

// Each side of a window fits the 16 bits WM_SIZE carries it in.
static_assert(kMaxWindowSide <= 0xFFFF);

void TWinControl::WMSize(TMessage& message) {
  const auto size = static_cast<std::uintptr_t>(message.LParam);
  // The platform's windows have no frame: the client size is the size.
  StoreBounds(Left(), Top(), LOWORD(size), HIWORD(size));
  Resize();
}

void TWinControl::BoundsChanged(bool sizeChanged) {
  if (!HandleAllocated()) {
    TControl::BoundsChanged(sizeChanged);
    return;
  }
  // A change of size comes back as WM_SIZE, which calls Resize.
  SetWindowPos(handle_, nullptr, Left(), Top(), Width(), Height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWinControl::SetVisible(bool visible) {
  TControl::SetVisible(visible);
  if (HandleAllocated()) ShowWindow(handle_, visible ? SW_SHOW : SW_HIDE);
}

void TWinControl::Invalidate() {
  if (HandleAllocated()) InvalidateRect(handle_, nullptr, TRUE);
}

void TWinControl::SetCaption(const std::string& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  if (HandleAllocated()) SetWindowTextA(handle_, caption_.c_str());
  Invalidate();
}

LRESULT TWinControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
  TMessage message{msg, wParam, lParam, 0};
  WndProc(message);
  return message.Result;
}

// ---- TCustomControl ---------------------------------------------------------------

const TClassInfo& TCustomControl::StaticClass() {
  static const TClassInfo info = DefineClass<TCustomControl, TWinControl>("TCustomControl");
  return info;
}

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner), canvas_(std::make_unique<TCanvas>()) {}

TCustomControl::~TCustomControl() = default;

void TCustomControl::Dispatch(TMessage& message) {
  if (message.Msg == WM_PAINT) {
    WMPaint(message);
  } else {
    TWinControl::Dispatch(message);
  }
}

void TCustomControl::WMPaint(TMessage& message) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(Handle(), &ps);
  canvas_->SetHandle(dc);
  Paint();
  canvas_->SetHandle(nullptr);
  EndPaint(Handle(), &ps);
  message.Result = 0;
}

}  // namespace kv
