// The framework's error channel. Operations that can fail return false (or a
// null pointer) and leave a text describing the failure in the calling
// thread's last error, in the style of the platform's GetLastError: the text
// stays until the next failure on the same thread replaces it. Nothing in the
// framework throws to the application.
#pragma once

#include <string>

namespace kv {

const std::string& LastErrorText();
void SetLastErrorText(std::string text);
void ClearLastError();

// Records `text` as the last error and returns false, so that a failing
// branch reads `return Fail("...")`.
bool Fail(std::string text);

}  // namespace kv
