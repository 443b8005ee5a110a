// Face sets: owned copies of the caller's arrays, and the well-formedness
// check that stands between user face data and a mesh builder.
#include <vector>

#include "ShapeTestSupport.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/objects/Kv3dface.h"

using namespace kv;

namespace {

TEST(Face, KeepsItsOwnCopiesOfTheCallersArrays) {
  std::vector<D3DVECTOR> vertices{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  std::vector<D3DVECTOR> normals{{0, 0, -1}};
  std::vector<DWORD> data{3, 0, 0, 1, 0, 2, 0, 0};
  TKV3DFace face(3, vertices.data(), 1, normals.data(), 8, data.data());
  vertices[1] = {9, 9, 9};
  normals[0] = {9, 9, 9};
  data[0] = 7;
  EXPECT_EQ(face.Vertices()[1], (D3DVECTOR{1, 0, 0}));
  EXPECT_EQ(face.Normals()[0], (D3DVECTOR{0, 0, -1}));
  EXPECT_EQ(face.FaceData()[0], 3u);
  EXPECT_EQ(face.FaceCount(), 1u);
  EXPECT_TRUE(face.IsWellFormed());
}

TEST(Face, NullArraysCountAsEmpty) {
  TKV3DFace face(5, nullptr, 5, nullptr, 9, nullptr);
  EXPECT_EQ(face.VertexCount(), 0u);
  EXPECT_EQ(face.NormalCount(), 0u);
  EXPECT_EQ(face.FaceDataSize(), 0u);
  EXPECT_FALSE(face.IsWellFormed());
  EXPECT_EQ(face.FaceCount(), 0u);
}

TEST(Face, MalformedFaceDataIsNamedAndNeverReadPastItsEnd) {
  const std::vector<D3DVECTOR> four(4);
  struct Case {
    std::vector<DWORD> data;
    const char* error;
  };
  const Case cases[] = {
      {{3, 0, 0, 1, 1, 2, 2}, "no terminating 0"},
      {{3, 0, 0, 1, 1, 2, 2, 0, 3}, "goes on after its terminator"},
      {{2, 0, 0, 1, 1, 0}, "face 0 has fewer than three corners"},
      {{3, 0, 0, 1, 1, 2, 2, 3, 0, 0, 1, 1, 4, 2, 0}, "face 1 uses vertex 4 of 4"},
      {{3, 0, 0, 1, 1, 2, 7, 0}, "face 0 uses normal 7 of 4"},
      {{4, 0, 0, 1, 1, 2, 2, 0}, "face 0 runs past the end"},
      {{0xFFFFFFFFu, 0, 0, 0}, "face 0 runs past the end"},
      {{}, "no terminating 0"},
  };
  for (const Case& c : cases) {
    TKV3DFace face(four, four, c.data);
    EXPECT_FALSE(face.IsWellFormed()) << c.error;
    EXPECT_NE(LastErrorText().find(c.error), std::string::npos) << LastErrorText();
    EXPECT_EQ(face.FaceCount(), 0u);
  }
  // The terminator alone is an empty but valid set; two faces count two.
  EXPECT_TRUE(TKV3DFace(four, four, {0}).IsWellFormed());
  const TKV3DFace two(four, four, {3, 0, 0, 1, 1, 2, 2, 4, 0, 0, 1, 1, 2, 2, 3, 3, 0});
  EXPECT_TRUE(two.IsWellFormed());
  EXPECT_EQ(two.FaceCount(), 2u);
}

}  // namespace
