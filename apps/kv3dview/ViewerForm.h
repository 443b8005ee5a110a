// The viewer's form: a TForm that also answers the keys the viewer gives a
// meaning to, whatever form it shows. Esc closes it, which ends the viewer
// the orderly way (a requested screenshot and --save-form are still
// written); F1 switches the frame-rate overlay on and off.
#pragma once

#include <functional>

#include "korvane3d/host/Forms.h"

namespace kv::viewer {

class ViewerForm : public TForm {
 public:
  explicit ViewerForm(TComponent* owner) : TForm(owner) {}

  // Called on the main thread when F1 is pressed.
  std::function<void()> onToggleOverlay;

 protected:
  // Keys reach the form's window (it has the keyboard focus); everything
  // else is the form's as usual.
  void Dispatch(TMessage& message) override;
};

}  // namespace kv::viewer
