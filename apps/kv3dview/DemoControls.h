// The demo's camera controls: event handlers registered on the demo form
// under the names its form text gives them.
//
//   DemoFlip        view OnFlip: switches the mouse and keyboard on at the
//                   first frame, then moves the camera (and the point it
//                   orbits) by the arrow keys held
//   DemoKeyDown     keyboard OnKeyDown / OnKeyUp: which arrow keys are held
//   DemoKeyUp
//   DemoButtonDown  mouse OnButton0Down / OnButton0Up: dragging orbits
//   DemoButtonUp
//   DemoMouseMove   mouse OnMove: while dragging, orbits the camera about
//                   the point it looks at (at first, where its line of
//                   sight passes closest to the scene's origin); the wheel
//                   zooms towards that point and away from it
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

// The demo's mouse and keyboard as form text: the components "Mouse" and
// "Keyboard", bound to the handlers above, and the "end" of the form. A form
// text that uses the controls ends with it.
extern const char* const kDemoDevicesAndEnd;

}  // namespace kv::viewer
