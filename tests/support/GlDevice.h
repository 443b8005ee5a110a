// The OpenGL device's back end for tests that run one scene list against
// both devices. Off screen through EGL (Mesa's llvmpipe on machines without
// a GPU); where no EGL display or GL 3.3 context can be made, GlSinkOrWhy
// answers null with the reason and KV_SKIP_NO_GL skips the test with it,
// unless KV_REQUIRE_GL is set (CI sets it): there a missing GL fails the
// test, so that the GL tests cannot pass by skipping.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "korvane3d/platform/ddraw/GlContext.h"
#include "support/GlRequired.h"
#include "korvane3d/rm/gl/GlRenderer.h"

namespace kvtest {

inline std::shared_ptr<kv::raster::BatchSink> GlSinkOrWhy(std::string& why) {
  std::shared_ptr<kv::ddraw::GlContext> context = kv::ddraw::GlContext::CreateOffscreen(why);
  if (!context) {
    why = "no OpenGL device here (" + why + ")";
    return nullptr;
  }
  return kv::glraster::CreateGlSink(std::move(context), why);
}

}  // namespace kvtest
