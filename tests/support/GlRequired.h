// Whether the OpenGL tests must run (KV_REQUIRE_GL, set by CI): there a
// missing GL fails a test instead of skipping it, so that the GL tests
// cannot pass by skipping.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>

namespace kvtest {

inline bool GlRequired() { return std::getenv("KV_REQUIRE_GL") != nullptr; }

}  // namespace kvtest

// In a test body or SetUp: skips (or, under KV_REQUIRE_GL, fails) with why.
#define KV_SKIP_NO_GL(why)                                          \
  do {                                                              \
    if (::kvtest::GlRequired()) FAIL() << (why) << " (KV_REQUIRE_GL)"; \
    GTEST_SKIP() << (why);                                          \
  } while (false)
