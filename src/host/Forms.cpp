#include "korvane3d/host/Forms.h"

#include "korvane3d/host/Application.h"
#include "korvane3d/host/Link.h"
#include "korvane3d/host/PropertyBuilder.h"

namespace kv {

// ---- TForm -------------------------------------------------------------------

const TClassInfo& TForm::StaticClass() {
  static const TClassInfo info = DefineClass<TForm, TCustomControl>("TForm", [](PropertyBuilder<TForm>& p) {
    p.Integer("Width", &TForm::Width, &TForm::SetWidth).Default(640);
    p.Integer("Height", &TForm::Height, &TForm::SetHeight).Default(480);
    p.String("Caption", &TForm::Caption, &TForm::SetCaption);
    p.Integer("ClientWidth", &TForm::ClientWidth, &TForm::SetClientWidth).Stored(false);
    p.Integer("ClientHeight", &TForm::ClientHeight, &TForm::SetClientHeight).Stored(false);
    p.Boolean("Visible", &TForm::Visible, &TForm::SetVisible);  // a form starts hidden
    p.Event("OnCreate", &TForm::OnCreate);
    p.Event("OnDestroy", &TForm::OnDestroy);
    p.Event("OnClose", &TForm::OnClose);
    p.Event("OnPaint", &TForm::OnPaint);
  });
  return info;
}

TForm::TForm(TComponent* owner) : TCustomControl(owner) {
  visible_ = false;
  StoreBounds(0, 0, 640, 480);
  if (Application().MainForm() == nullptr) Application().SetMainForm(this);
}

TForm::~TForm() { OnDestroy(this); }

void TForm::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  if (Parent() == nullptr) {
    params.style = WS_OVERLAPPEDWINDOW | (visible_ ? WS_VISIBLE : 0);
    params.parent = nullptr;
  }
}

void TForm::Loaded() {
  TCustomControl::Loaded();
  if (visible_) HandleNeeded();
  OnCreate(this);
}

void TForm::SetVisible(bool visible) {
  TCustomControl::SetVisible(visible);
  if (visible && !ComponentState().Contains(csLoading)) HandleNeeded();
}

bool TForm::Showing() const { return visible_ && HandleAllocated(); }

void TForm::Close() {
  TCloseAction action = caHide;
  OnClose(this, action);
  if (action == caNone) return;
  if (Application().MainForm() == this) Application().Terminate();
  if (action == caMinimize) return;
  Hide();
  if (action == caFree && Owner() != nullptr) {
    // Freed from the loop, once the code that closed it has returned.
    auto self = std::make_shared<Link<TForm>>(this);
    Application().Queue().Post([self] { delete self->get(); });
  }
}

void TForm::Dispatch(TMessage& message) {
  if (message.Msg == WM_CLOSE) {
    Close();
    message.Result = 0;
    return;
  }
  TCustomControl::Dispatch(message);
}

void TForm::Paint() { OnPaint(this); }

// ---- TButton -------------------------------------------------------------------

const TClassInfo& TButton::StaticClass() {
  static const TClassInfo info = DefineClass<TButton, TCustomControl>("TButton", [](PropertyBuilder<TButton>& p) {
    p.Integer("Width", &TButton::Width, &TButton::SetWidth).Default(75);
    p.Integer("Height", &TButton::Height, &TButton::SetHeight).Default(25);
    p.String("Caption", &TButton::Caption, &TButton::SetCaption);
    p.Event("OnClick", &TButton::OnClick);
  });
  return info;
}

TButton::TButton(TComponent* owner) : TCustomControl(owner) { StoreBounds(0, 0, 75, 25); }

void TButton::Paint() {
  TCanvas& c = *Canvas();
  c.Brush.Color = clBtnFace;
  c.Pen.Color = clBtnShadow;
  c.Rectangle(0, 0, Width(), Height());
  c.Brush.Style = bsClear;
  c.Font.Color = clBtnText;
  const int x = (Width() - c.TextWidth(Caption())) / 2;
  const int y = (Height() - c.TextHeight(Caption())) / 2;
  c.TextOut(x, y, Caption());
  c.Brush.Style = bsSolid;
}

}  // namespace kv
