// The umbrella header is all an application includes, and it lives beside
// the system's own headers: X11's macros (None, True, False, Bool, Status,
// Always) come before it here, more of X11 after it, and nothing of ours
// sits outside namespace kv to clash with them. (GoogleTest itself does not
// survive X11's None, so it comes first.)
#include <gtest/gtest.h>

#if __has_include(<X11/Xlib.h>)
#include <X11/Xlib.h>
#endif
#include <korvane3d/Korvane3D.h>
#if __has_include(<X11/Xutil.h>)
#include <X11/Xutil.h>
#endif

#include <string>

namespace {

// Windows-style names a program might define for itself do not collide
// with ours at global scope.
struct RECT {
  double x0, y0, x1, y1;
};
using BOOL = bool;

TEST(UmbrellaHeader, BringsTheComponentsAndKeepsTheGlobalNamespaceFree) {
  RECT own{0, 0, 1, 1};
  BOOL mine = true;
  kv::RECT ours{1, 2, 3, 4};
  EXPECT_EQ(ours.right - ours.left, 2);
  EXPECT_TRUE(mine);
  EXPECT_EQ(own.x1, 1.0);
  EXPECT_EQ(std::string(kv::Version()), KORVANE3D_VERSION);
  EXPECT_EQ(kv::TKV3DView::StaticClass().Name(), "TKV3DView");
}

}  // namespace
