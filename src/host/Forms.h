// TForm, a top-level window that owns and parents the components placed on
// it, and TButton, a push button.
//
// A form made in code:
//   auto form = std::make_unique<TForm>(nullptr);
//   form->SetCaption("Demo");
//   form->SetClientWidth(640);
//   form->Show();
//   Application().Run();         // returns once the main form closes
//
// A form read from a file: ReadComponentResFile(name, form.get()) after
// registering the methods its events name (RegisterMethod).
#pragma once

#include <string>

#include "korvane3d/host/Controls.h"

namespace kv {

enum TCloseAction { caNone, caHide, caFree, caMinimize };

class TForm : public TCustomControl {
 public:
  KV_DECLARE_CLASS()
  explicit TForm(TComponent* owner);
  ~TForm() override;

  // Hides the form after OnClose agrees (Action caHide by default; caNone
  // keeps it open; caFree also frees a form that has an owner). Closing the
  // main form terminates the application.
  void Close();
  bool Showing() const;

  TNotifyEvent OnCreate;   // after the form was read from a file
  TNotifyEvent OnDestroy;  // at the start of its destruction
  TEvent<TObject*, TCloseAction&> OnClose;
  TNotifyEvent OnPaint;

  void Loaded() override;
  // Showing a form creates its window (once it has been read, when loading).
  void SetVisible(bool visible) override;

 protected:
  void CreateParams(TCreateParams& params) override;
  void Dispatch(TMessage& message) override;
  void Paint() override;
};

// Clicked (OnClick) when the left button is pressed and released on it, or
// by Click().
class TButton : public TCustomControl {
 public:
  KV_DECLARE_CLASS()
  explicit TButton(TComponent* owner);

 protected:
  void Paint() override;
};

}  // namespace kv
