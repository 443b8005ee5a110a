#include "korvane3d/host/Timer.h"

#include <algorithm>
#include <vector>

#include "korvane3d/host/Link.h"
#include "korvane3d/host/PropertyBuilder.h"

namespace kv {

namespace {
using Clock = std::chrono::steady_clock;

// Every live timer; main thread only.
std::vector<TTimer*>& Timers() {
  static std::vector<TTimer*> timers;
  return timers;
}
}  // namespace

const TClassInfo& TTimer::StaticClass() {
  static const TClassInfo info = DefineClass<TTimer, TComponent>("TTimer", [](PropertyBuilder<TTimer>& p) {
    p.Boolean("Enabled", &TTimer::Enabled, &TTimer::SetEnabled).Default(true);
    p.Unsigned("Interval", &TTimer::Interval, &TTimer::SetInterval).Default(1000);
    p.Event("OnTimer", &TTimer::OnTimer);
  });
  return info;
}

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
  Restart();
  Timers().push_back(this);
}

TTimer::~TTimer() { std::erase(Timers(), this); }

void TTimer::Restart() { due_ = Clock::now() + std::chrono::milliseconds(interval_); }

void TTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Restart();
}

void TTimer::SetInterval(unsigned milliseconds) {
  if (milliseconds == interval_) return;
  interval_ = milliseconds;
  Restart();
}

int TTimer::FireDueTimers() {
  const Clock::time_point now = Clock::now();
  // A handler may free timers (any of them) or create new ones.
  std::vector<Link<TTimer>> due;
  for (TTimer* t : Timers()) {
    if (t->Active() && t->due_ <= now) due.emplace_back(t);
  }
  int fired = 0;
  for (const Link<TTimer>& link : due) {
    TTimer* t = link.get();
    if (t == nullptr || !t->Active()) continue;
    t->due_ = now + std::chrono::milliseconds(t->interval_);
    ++fired;
    t->OnTimer(t);
  }
  return fired;
}

std::optional<Clock::time_point> TTimer::NextDue() {
  std::optional<Clock::time_point> next;
  for (TTimer* t : Timers()) {
    if (t->Active() && (!next || t->due_ < *next)) next = t->due_;
  }
  return next;
}

}  // namespace kv
