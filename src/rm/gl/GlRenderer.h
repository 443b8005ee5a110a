// The hardware device's drawing: a rasterizer back end (BatchSink.h) that
// draws each batch with OpenGL 3.3 core shaders into a framebuffer object and
// reads the picture back into the render target at the end of the frame. On
// a window context (GlContext.h) a 32-bit target's picture stays in the
// framebuffer object instead: the window shows it from there, and the
// surface reads it back when its memory is read.
//
// Lighting, fog factors and texture coordinates are the rasterizer's own
// vertex-stage results, uploaded as they are: both devices light a scene
// with the same numbers. The GL side interpolates them, samples textures with
// the frame's filter, applies fog, blending, depth and stencil (for shadows
// that darken each pixel once). Clears, background images and 16- and
// 24-bit targets go through the rasterizer's own tile helpers, so they match
// the software device exactly.
#pragma once

#include <memory>

#include "korvane3d/platform/ddraw/GlContext.h"
#include "korvane3d/rm/raster/BatchSink.h"

namespace kv::glraster {

// A sink drawing with context, which it makes current on the calling thread
// from BeginFrame to EndFrame. Null with the reason when the context cannot
// compile the shaders.
std::shared_ptr<kv::raster::BatchSink> CreateGlSink(std::shared_ptr<kv::ddraw::GlContext> context,
                                                    std::string& why);

}  // namespace kv::glraster
