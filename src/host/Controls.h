// Controls: components with a place on screen.
//
// TControl keeps bounds (Left, Top, Width, Height), visibility and a parent
// control. TWinControl adds a platform window, created on demand when
// Handle() is first asked for (its parent's first), and routes that
// window's messages through the virtual WndProc and Dispatch, so a derived
// control overrides Dispatch to handle WM_CREATE, WM_SIZE, WM_PAINT or any
// other message and calls the inherited one for the rest. TCustomControl
// adds a Canvas and the virtual Paint, called for WM_PAINT between
// BeginPaint and EndPaint.
//
// A parent frees its child controls when it is freed (they leave their
// owners' lists), and its window is destroyed with them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "korvane3d/host/Canvas.h"
#include "korvane3d/host/Component.h"
#include "korvane3d/host/Link.h"
#include "korvane3d/host/PropertyBuilder.h"
#include "korvane3d/platform/win/WinApi.h"

namespace kv {

class TWinControl;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
extern const EnumInfo kAlignInfo;
enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftStateFlag { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateFlag>;
// (Sender, Button, Shift, X, Y) in client coordinates.
using TMouseEvent = TEvent<TObject*, TMouseButton, TShiftState, int, int>;
using TMouseMoveEvent = TEvent<TObject*, TShiftState, int, int>;

constexpr UINT WM_LBUTTONDBLCLK_ = 0x0203;

struct TMessage {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

class TControl : public TComponent {
 public:
  KV_DECLARE_CLASS()
  explicit TControl(TComponent* owner);
  ~TControl() override;

  TWinControl* Parent() const { return parent_; }
  // Refused (false) when `parent` is this control or one of its children.
  virtual bool SetParent(TWinControl* parent);
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* parent) override;

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  bool SetLeft(int v) { return SetBounds(v, top_, width_, height_); }
  bool SetTop(int v) { return SetBounds(left_, v, width_, height_); }
  bool SetWidth(int v) { return SetBounds(left_, top_, v, height_); }
  bool SetHeight(int v) { return SetBounds(left_, top_, width_, v); }
  // Moves and sizes the control; a change of size calls Resize (through
  // WM_SIZE when the window exists). Negative sizes count as 0. A size or
  // place no window may have (WinApi.h: 16384 pixels a side, 67,108,864 in
  // all, places from -32768 to 32767) is refused: false, the last error
  // set, the control as it was.
  virtual bool SetBounds(int left, int top, int width, int height);
  RECT BoundsRect() const { return RECT{left_, top_, left_ + width_, top_ + height_}; }
  RECT ClientRect() const { return RECT{0, 0, ClientWidth(), ClientHeight()}; }
  virtual int ClientWidth() const { return width_; }
  virtual int ClientHeight() const { return height_; }
  bool SetClientWidth(int v) { return SetWidth(SaturatedSum(v, width_ - ClientWidth())); }
  bool SetClientHeight(int v) { return SetHeight(SaturatedSum(v, height_ - ClientHeight())); }

  bool Visible() const { return visible_; }
  virtual void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Asks for a repaint of the whole client area.
  virtual void Invalidate() {}

  // Placement inside the parent: alTop, alBottom, alLeft and alRight take
  // a side of what is left of the parent's client area, alClient the rest.
  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);
  bool MouseCapture() const { return mouseCapture_; }
  void SetMouseCapture(bool capture) { mouseCapture_ = capture; }

  // A control publishes these in its own table when it wants them streamed
  // (PublishMouseEvents).
  TNotifyEvent OnResize;
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;

  // Fire the events; windowed controls call them for mouse messages.
  virtual void Click() { OnClick(this); }
  virtual void DblClick() { OnDblClick(this); }
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);

 protected:
  // Called after the size changed; fires OnResize.
  virtual void Resize();
  // The bounds were stored; a windowed control moves its window.
  virtual void BoundsChanged(bool sizeChanged);
  void StoreBounds(int left, int top, int width, int height) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
  }

  bool visible_ = true;

 private:
  friend class TWinControl;
  static int SaturatedSum(int a, int b);
  // Kept by SetParent alone; a parent frees or lets go of its children
  // before it goes, so this never dangles.
  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TAlign align_ = alNone;
  bool mouseCapture_ = false;
  bool pressed_ = false;  // a left button went down here: its release clicks
};

// Declares the inherited Align, MouseCapture and mouse events of a control
// class in its own table, in that order.
template <class T>
void PublishMouseEvents(PropertyBuilder<T>& p) {
  p.Enum("Align", &T::Align, &T::SetAlign, kAlignInfo);
  p.Boolean("MouseCapture", &T::MouseCapture, &T::SetMouseCapture);
  p.Event("OnClick", &T::OnClick);
  p.Event("OnDblClick", &T::OnDblClick);
  p.Event("OnMouseDown", &T::OnMouseDown);
  p.Event("OnMouseMove", &T::OnMouseMove);
  p.Event("OnMouseUp", &T::OnMouseUp);
}

class TWinControl : public TControl {
 public:
  KV_DECLARE_CLASS()
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  // The window, created on demand (null, last error set, when it cannot be:
  // a child control without a parent, say).
  HWND Handle();
  bool HandleAllocated() const { return handle_ != nullptr; }
  bool HandleNeeded() { return Handle() != nullptr; }
  void DestroyHandle();

  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int index) const;

  bool SetParent(TWinControl* parent) override;
  void SetVisible(bool visible) override;
  void Invalidate() override;
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);

  // Sends a message straight to this control's WndProc.
  LRESULT Perform(UINT msg, WPARAM wParam, LPARAM lParam);
  // Lays out the child controls that have an Align.
  void AlignControls();

 protected:
  struct TCreateParams {
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0, y = 0, width = 0, height = 0;
    HWND parent = nullptr;
    std::string caption;
  };
  virtual void CreateParams(TCreateParams& params);
  virtual void CreateWnd();
  // The window procedure; the base passes every message to Dispatch.
  virtual void WndProc(TMessage& message);
  // Routes a message to its handler. The base handles WM_SIZE (bounds,
  // Resize), WM_MOVE and WM_DESTROY, and leaves the rest to DefaultHandler.
  virtual void Dispatch(TMessage& message);
  virtual void DefaultHandler(TMessage& message) { message.Result = 0; }
  void BoundsChanged(bool sizeChanged) override;
  void Resize() override;

 private:
  friend class TControl;
  void MouseMessage(const TMessage& message);
  bool aligning_ = false;
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  void WMSize(TMessage& message);

  HWND handle_ = nullptr;
  bool creating_ = false;
  std::vector<TControl*> controls_;  // not owning: children remove themselves
  std::string caption_;
};

class TCustomControl : public TWinControl {
 public:
  KV_DECLARE_CLASS()
  explicit TCustomControl(TComponent* owner);
  ~TCustomControl() override;
  // Draws on the window during Paint (the paint's device context).
  TCanvas* Canvas() { return canvas_.get(); }

 protected:
  virtual void Paint() {}
  void Dispatch(TMessage& message) override;
  void WMPaint(TMessage& message);

 private:
  std::unique_ptr<TCanvas> canvas_;
};

}  // namespace kv
