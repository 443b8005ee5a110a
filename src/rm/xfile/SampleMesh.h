// A generated sample mesh for tests, benchmarks and kvmesh: a UV sphere.
#pragma once

#include "korvane3d/rm/xfile/XFile.h"

namespace kv::xfile {

// A sphere of radius `radius` with (rings + 1) * (segments + 1) vertices
// (the seam and poles repeated so texture coordinates stay continuous), a
// unit normal and a texture coordinate per vertex, and two triangles per
// quad (one at the poles' degenerate quads is kept, so every quad gives two).
MeshData MakeSphere(int rings, int segments, float radius = 1.0f);

}  // namespace kv::xfile
