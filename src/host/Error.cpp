#include "korvane3d/host/Error.h"

namespace kv {

namespace {
thread_local std::string lastError;
}

const std::string& LastErrorText() { return lastError; }
void SetLastErrorText(std::string text) { lastError = std::move(text); }
void ClearLastError() { lastError.clear(); }

bool Fail(std::string text) {
  lastError = std::move(text);
  return false;
}

}  // namespace kv
