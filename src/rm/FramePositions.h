// Positions of many frames relative to one reference frame in one pass:
// what IDirect3DRMFrame3::GetPosition gives for each, with the engine lock
// taken once and the transform of each distinct parent worked out once.
#pragma once

#include <cstdint>
#include <span>

#include "korvane3d/rm/D3DRM.h"

namespace kv::rm {

// out[i] := the position of frames[i] relative to ref (null ref: the
// world). A null or foreign frame, or a reference whose transform cannot be
// inverted, gives (0, 0, 0); the result is false when any position could
// not be read. out must be as long as frames.
bool GetPositions(std::span<IDirect3DRMFrame3* const> frames, IDirect3DRMFrame3* ref, std::span<D3DVECTOR> out);

// Counts every change of placement in the engine (a frame's transform, its
// spin or velocity applied by Move, its parent). Positions read while the
// count stayed the same are still the positions now.
std::uint64_t PlacementChanges();
// For the engine's frames: one placement change happened.
void NotePlacementChange();

}  // namespace kv::rm
