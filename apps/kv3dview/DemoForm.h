// The viewer's built-in demo: a form with a tube, a chrome planet, a gridded
// cube, the knot mesh from examples/data, two lights, fog and a shadow, all
// turning, and a camera steered with the arrow keys and the mouse.
#pragma once

#include <memory>
#include <string>

namespace kv {
class TComponent;
class TForm;
}

namespace kv::viewer {

// The folder holding the demo's mesh and textures: $KV_DEMO_DATA when set,
// else examples/data of the source tree or next to the program, else
// "examples/data" as given. Always ends in '/'.
std::string DemoDataFolder();

// The demo as form-file text, its file names inside DemoDataFolder().
std::string DemoFormText();

// A form with the demo's camera controls registered and the demo text read
// into it; null (last error set) when reading failed.
std::unique_ptr<TComponent> ReadDemoForm();
// The same into a form of the caller's (a derived one, say); false (last
// error set) when reading failed.
bool ReadDemoForm(TForm& form);

}  // namespace kv::viewer
