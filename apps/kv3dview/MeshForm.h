// Showing a mesh file: kv3dview FILE, where FILE is any DirectX mesh file
// (text, binary or compressed, whatever its name). The mesh keeps its own
// materials and textures, is centred at the scene's origin, lit by a light
// that goes with the camera and a dim ambient light, and framed by a
// camera that looks at it from in front and a little above; the demo's
// controls orbit and zoom about it.
#pragma once

#include <memory>
#include <string>

#include "ViewerForm.h"

namespace kv::viewer {

// Whether the file is a DirectX mesh file: its first four bytes are "xof ".
bool IsMeshFile(const std::string& path);

// The form showing the mesh file: a view, a scene, a camera, the lights, the
// demo's mouse and keyboard, and a frame "Model" holding the mesh. Null,
// with the reason in LastErrorText(), when the engine cannot read the file.
std::unique_ptr<ViewerForm> MakeMeshForm(const std::string& path);

}  // namespace kv::viewer
