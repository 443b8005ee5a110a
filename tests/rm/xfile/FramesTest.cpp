// Meshes inside frames are carried by the frames' accumulated matrices and
// merged in file order.
#include <gtest/gtest.h>

#include "XFileTestUtil.h"

namespace kv::xfile::test {
namespace {

// The outer frame scales by 2 and moves by (10, 0, 0); the inner frame turns
// a quarter about z (x -> y) and moves by (0, 0, 5). Row vectors: a point
// goes through the inner matrix first.
constexpr std::string_view kNested = R"(xof 0303txt 0032
Frame Outer {
  FrameTransformMatrix { 2,0,0,0, 0,2,0,0, 0,0,2,0, 10,0,0,1;; }
  Frame Inner {
    FrameTransformMatrix { 0,1,0,0, -1,0,0,0, 0,0,1,0, 0,0,5,1;; }
    Mesh Turned {
      3; 1;0;0;, 0;1;0;, 0;0;1;;
      1; 3;0,1,2;;
      MeshNormals { 1; 1;0;0;; 1; 3;0,0,0;; }
    }
  }
  Mesh Scaled {
    3; 1;1;1;, 0;0;0;, 1;0;0;;
    1; 3;0,1,2;;
  }
}
Mesh Plain {
  3; 7;8;9;, 0;0;0;, 1;0;0;;
  1; 3;2,1,0;;
  MeshMaterialList { 1; 1; 0;; Material { 1;0;0;1;; 5; 0;0;0;; 0;0;0;; } }
}
)";

TEST(Frames, MeshesAreCarriedByTheirFramesAndMerged) {
  MeshData mesh;
  FileInfo info;
  const Result result = ParseText(kNested, mesh, &info);
  ASSERT_TRUE(result) << result.message << " line " << result.line;
  EXPECT_EQ(info.meshCount, 3u);
  EXPECT_EQ(mesh.name, "Turned");
  ASSERT_EQ(mesh.positions.size(), 9u);
  // Inner: (1,0,0) -> (0,1,5); then outer: (0,2,10) + (10,0,0).
  EXPECT_EQ(mesh.positions[0], (Vec3{10, 2, 10}));
  EXPECT_EQ(mesh.positions[1], (Vec3{8, 0, 10}));   // (0,1,0) -> (-1,0,5) -> (-2,0,10)+(10,0,0)
  EXPECT_EQ(mesh.positions[2], (Vec3{10, 0, 12}));  // (0,0,1) -> (0,0,6) -> (0,0,12)+(10,0,0)
  EXPECT_EQ(mesh.positions[3], (Vec3{12, 2, 2}));   // outer only
  EXPECT_EQ(mesh.positions[6], (Vec3{7, 8, 9}));    // top level: untouched
  // Face indices continue across the merge.
  EXPECT_EQ(mesh.faceVertices, (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5, 8, 7, 6}));
  // The normal turns with the frame and stays unit length despite the scale;
  // meshes without normals get generated ones.
  ASSERT_EQ(mesh.faceNormals.size(), mesh.faceVertices.size());
  EXPECT_NEAR(mesh.normals[0][0], 0, 1e-6);
  EXPECT_NEAR(mesh.normals[0][1], 1, 1e-6);
  EXPECT_NEAR(mesh.normals[0][2], 0, 1e-6);
  // Only the last mesh had a material: the others get a default one.
  ASSERT_EQ(mesh.faceMaterials.size(), 3u);
  EXPECT_EQ(mesh.materials[mesh.faceMaterials[2]].faceColor, (std::array<float, 4>{1, 0, 0, 1}));
  EXPECT_EQ(mesh.materials[mesh.faceMaterials[0]].faceColor, (std::array<float, 4>{1, 1, 1, 1}));
  EXPECT_TRUE(CheckMesh(mesh));
}

TEST(Frames, NonUniformScaleUsesTheInverseTranspose) {
  // Scale x by 4: a face normal along (1,1,0) leans towards y afterwards.
  constexpr std::string_view text = R"(xof 0303txt 0032
Frame { FrameTransformMatrix { 4,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; }
  Mesh { 1; 0;0;0;; 1; 3;0,0,0;; MeshNormals { 1; 0.70710678;0.70710678;0;; 1; 3;0,0,0;; } } }
)";
  MeshData mesh;
  ASSERT_TRUE(ParseText(text, mesh));
  const float expected = 1 / std::sqrt(17.0f);  // (1/4, 1, 0) normalised
  EXPECT_NEAR(mesh.normals[0][0], expected, 1e-6);
  EXPECT_NEAR(mesh.normals[0][1], 4 * expected, 1e-6);
}

TEST(Frames, MirroringMatrixKeepsNormalsOutward) {
  constexpr std::string_view text = R"(xof 0303txt 0032
Frame { FrameTransformMatrix { -1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; }
  Mesh { 1; 0;0;0;; 1; 3;0,0,0;; MeshNormals { 1; 1;0;0;; 1; 3;0,0,0;; } } }
)";
  MeshData mesh;
  ASSERT_TRUE(ParseText(text, mesh));
  EXPECT_EQ(mesh.normals[0], (Vec3{-1, 0, 0}));
}

}  // namespace
}  // namespace kv::xfile::test
