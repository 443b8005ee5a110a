// Serving the main thread's queue from a test while threads (render loop,
// input polling) ask it for work.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

#include "korvane3d/host/Application.h"

namespace kvtest {

using namespace kv;

// Serves the queue until `done` holds or a generous time has passed (a
// loaded machine may be slow); returns whether it held.
inline bool PumpUntil(const std::function<bool()>& done, std::chrono::seconds limit = std::chrono::seconds(20)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    kv::Application().ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Serves the queue for a while, whatever happens.
inline void PumpFor(std::chrono::milliseconds span) {
  const auto end = std::chrono::steady_clock::now() + span;
  while (std::chrono::steady_clock::now() < end) {
    kv::Application().ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace kvtest
