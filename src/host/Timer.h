// TTimer: fires OnTimer every Interval milliseconds on the main thread, from
// the application's loop (ProcessMessages, HandleMessage, Run), while it is
// Enabled, Interval is above 0 and OnTimer is assigned. A timer never fires
// twice in one pass of the loop: missed ticks are not caught up.
#pragma once

#include <chrono>
#include <optional>

#include "korvane3d/host/Component.h"

namespace kv {

class TTimer : public TComponent {
 public:
  KV_DECLARE_CLASS()
  explicit TTimer(TComponent* owner);
  ~TTimer() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned milliseconds);
  TNotifyEvent OnTimer;

  // Fires every timer that is due; returns how many fired. The application
  // loop calls it.
  static int FireDueTimers();
  // When the next active timer is due; none while no timer is active.
  static std::optional<std::chrono::steady_clock::time_point> NextDue();

 private:
  void Restart();
  bool Active() const { return enabled_ && interval_ > 0 && OnTimer.Assigned(); }

  bool enabled_ = true;
  unsigned interval_ = 1000;
  std::chrono::steady_clock::time_point due_;
};

}  // namespace kv
