// The viewer's built-in demo: a form file's text.
#pragma once

#include <string>

namespace kv::viewer {

std::string DemoFormText();

}  // namespace kv::viewer
