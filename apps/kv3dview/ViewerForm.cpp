#include "ViewerForm.h"

namespace kv::viewer {

void ViewerForm::Dispatch(TMessage& message) {
  if (message.Msg == WM_KEYDOWN && message.WParam == VK_ESCAPE) {
    Close();
    return;
  }
  if (message.Msg == WM_KEYDOWN && message.WParam == VK_F1) {
    // Held down, the key repeats: only its first press counts.
    const bool repeat = (static_cast<std::uintptr_t>(message.LParam) >> 30) & 1;
    if (!repeat && onToggleOverlay) onToggleOverlay();
    return;
  }
  TForm::Dispatch(message);
}

}  // namespace kv::viewer
