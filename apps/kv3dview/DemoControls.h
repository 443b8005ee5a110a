// The demo's camera controls: event handlers registered on the demo form
// under the names its form text gives them.
//
//   DemoFlip        view OnFlip: switches the mouse and keyboard on at the
//                   first frame, then moves the camera by the arrow keys held
//   DemoKeyDown     keyboard OnKeyDown / OnKeyUp: which arrow keys are held
//   DemoKeyUp
//   DemoButtonDown  mouse OnButton0Down / OnButton0Up: dragging turns
//   DemoButtonUp
//   DemoMouseMove   mouse OnMove: turns the camera while dragging; the wheel
//                   moves it forwards and back
//
// The camera is the component named "Camera", the devices "Mouse" and
// "Keyboard"; a handler whose component is missing does nothing.
#pragma once

namespace kv {
class TComponent;
}

namespace kv::viewer {

// Registers the handlers on `form`; call it before the demo text is read
// into the form.
void RegisterDemoControls(TComponent& form);

}  // namespace kv::viewer
