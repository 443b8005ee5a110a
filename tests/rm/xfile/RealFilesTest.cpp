// The shared collection of real mesh files: good ones give the counts the
// files declare, questionable ones load or fail cleanly, bad ones fail.
#include <gtest/gtest.h>

#include "XFileTestUtil.h"

namespace kv::xfile::test {
namespace {

struct GoodFile {
  const char* name;
  Encoding encoding;
  std::size_t meshes, vertices, faces;
};

// Counts as declared in each file (nVertices and nFaces summed over its meshes).
const GoodFile kGoodFiles[] = {
    {"test_cube_text.x", Encoding::Text, 1, 24, 12},
    {"test_cube_binary.x", Encoding::Binary, 1, 24, 12},
    {"test_cube_compressed.x", Encoding::CompressedBinary, 1, 24, 12},
    {"kwxport_test_cubewithvcolors.x", Encoding::Text, 1, 24, 12},
    {"BCN_Epileptic.X", Encoding::Text, 3, 3014, 5126},
    {"tiny.x", Encoding::Text, 1, 4432, 6841},
    {"Cube.x", Encoding::Text, 1, 24, 12},
    {"spherelow.x", Encoding::Text, 1, 380, 180},
    {"acropolis_sky.x", Encoding::Text, 1, 137, 240},
    {"room.x", Encoding::Text, 1, 34, 24},
    {"quad.x", Encoding::Text, 1, 4, 2},
    {"skybox01.x", Encoding::Text, 1, 24, 12},
    {"car.x", Encoding::Text, 5, 1860, 1850},
    {"airplane 2.x", Encoding::Text, 8, 1282, 596},
    {"tiger.x", Encoding::Text, 1, 303, 599},
    {"lobby_skybox.x", Encoding::Text, 6, 24, 12},
    {"seafloor.x", Encoding::Text, 1, 1490, 2830},
    {"mslogo.x", Encoding::Binary, 1, 1334, 2668},
    {"ball.x", Encoding::Binary, 1, 672, 224},
    {"bigship1.x", Encoding::Binary, 1, 4647, 8686},
    {"Dwarf.x", Encoding::CompressedBinary, 6, 15806, 5270},
    {"wall_with_pillars.x", Encoding::CompressedBinary, 12, 52352, 26078},
    {"ladders.X", Encoding::Text, 2, 14, 3},
    {"maincent.x", Encoding::Text, 1, 18, 16},
    {"facia.x", Encoding::Text, 14, 82, 28},
    {"camel.x", Encoding::Text, 1, 275, 304},
    {"mak_running.x", Encoding::Text, 38, 1883, 1554},
    {"mariorun.x", Encoding::Binary, 14, 1092, 528},
    {"Eye.x", Encoding::Binary, 1, 162, 320},
    {"head.x", Encoding::Text, 1, 104, 160},
    {"kid.x", Encoding::Binary, 1, 385, 588},
    {"fileblock.x", Encoding::Binary, 1, 22, 12},
    {"mesh.X", Encoding::Binary, 1, 71, 80},
    {"block7.x", Encoding::Text, 1, 24, 12},
    {"am.X", Encoding::Text, 8, 116, 120},
    {"ROOM.X", Encoding::Text, 130, 2573, 2228},
    {"Battery.x", Encoding::CompressedBinary, 1, 64, 44},
};

TEST(RealFiles, GoodFilesGiveTheirDeclaredCounts) {
  KV_REQUIRE_SHARED_FILE("xfile");
  for (const GoodFile& file : kGoodFiles) {
    SCOPED_TRACE(file.name);
    MeshData mesh;
    FileInfo info;
    const Result result = LoadFile((TestdataDir() / file.name).string(), mesh, &info);
    ASSERT_TRUE(result) << result.message << " at line " << result.line << ", offset " << result.offset;
    EXPECT_EQ(info.encoding, file.encoding);
    EXPECT_EQ(info.meshCount, file.meshes);
    EXPECT_EQ(mesh.positions.size(), file.vertices);
    EXPECT_EQ(mesh.faceSizes.size(), file.faces);
    ASSERT_TRUE(CheckMesh(mesh)) << CheckMesh(mesh).message;
  }
}

TEST(RealFiles, ThreeEncodingsOfOneCubeAgree) {
  KV_REQUIRE_SHARED_FILE("xfile");
  MeshData text, binary, compressed;
  ASSERT_TRUE(LoadFile((TestdataDir() / "test_cube_text.x").string(), text));
  ASSERT_TRUE(LoadFile((TestdataDir() / "test_cube_binary.x").string(), binary));
  ASSERT_TRUE(LoadFile((TestdataDir() / "test_cube_compressed.x").string(), compressed));
  // The text file prints six decimals, so positions agree to that.
  ASSERT_EQ(text.positions.size(), binary.positions.size());
  for (std::size_t i = 0; i < text.positions.size(); ++i)
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(text.positions[i][k], binary.positions[i][k], 1e-6);
  EXPECT_EQ(text.faceVertices, binary.faceVertices);
  EXPECT_EQ(text.faceNormals, binary.faceNormals);
  EXPECT_TRUE(SameMesh(binary, compressed));
}

TEST(RealFiles, HandCheckedValues) {
  KV_REQUIRE_SHARED_FILE("xfile");
  MeshData cube;
  ASSERT_TRUE(LoadFile((TestdataDir() / "test_cube_text.x").string(), cube));
  // The Root frame swaps y and z (rows 1 and 2 of its matrix); the file's
  // first vertex (-1, -1, 1) lands at (-1, 1, -1).
  EXPECT_EQ(cube.positions[0], (Vec3{-1, 1, -1}));
  EXPECT_EQ(cube.faceSizes[0], 3u);
  ASSERT_EQ(cube.materials.size(), 1u);
  EXPECT_FLOAT_EQ(cube.materials[0].faceColor[0], 0.639216f);
  EXPECT_FLOAT_EQ(cube.materials[0].power, 96.07843f);

  MeshData room;
  ASSERT_TRUE(LoadFile((TestdataDir() / "room.x").string(), room));
  ASSERT_EQ(room.materials.size(), 3u);
  bool escaped = false;
  for (const Material& m : room.materials) escaped |= m.textureFile == "misc\\env2.bmp";
  EXPECT_TRUE(escaped) << "the file's \"misc\\\\env2.bmp\" reads as one backslash";

  MeshData ladders;
  ASSERT_TRUE(LoadFile((TestdataDir() / "ladders.X").string(), ladders));
  EXPECT_EQ(ladders.faceWraps.size(), ladders.faceSizes.size());

  MeshData note;
  ASSERT_TRUE(LoadFile((TestdataDir() / "note.x").string(), note));
  ASSERT_EQ(note.materials.size(), 6u);  // six references to one global material
  for (const Material& m : note.materials) EXPECT_EQ(m.textureFile, "note_tex.jpg");

  MeshData colored;
  ASSERT_TRUE(LoadFile((TestdataDir() / "Cube.x").string(), colored));
  EXPECT_EQ(colored.vertexColors.size(), colored.positions.size());
}

TEST(RealFiles, QuestionableFilesLoadOrFailCleanly) {
  KV_REQUIRE_SHARED_FILE("xfile");
  struct Case {
    const char* name;
    Status status;
  };
  // A stray closing brace at the end is tolerated; a frame-only scene has no mesh.
  for (const Case& c : {Case{"crate.x", Status::Ok}, Case{"note.x", Status::Ok}, Case{"paperstrips.x", Status::Ok},
                        Case{"scene.x", Status::NotFound}}) {
    SCOPED_TRACE(c.name);
    MeshData mesh;
    EXPECT_EQ(LoadFile((TestdataDir() / c.name).string(), mesh).status, c.status);
  }
}

TEST(RealFiles, BadFilesFailWithBadFile) {
  KV_REQUIRE_SHARED_FILE("xfile");
  for (const char* name : {"empty.x", "OV_GetNextToken"}) {
    SCOPED_TRACE(name);
    MeshData mesh;
    mesh.name = "untouched";
    const Result result = LoadFile((TestdataDir() / name).string(), mesh);
    EXPECT_EQ(result.status, Status::BadFile);
    EXPECT_FALSE(result.message.empty());
    EXPECT_EQ(mesh.name, "untouched");
  }
}

TEST(Files, MissingFilesAndFoldersAreNotFound) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path();
  MeshData mesh;
  EXPECT_EQ(LoadFile((dir / "no such file.x").string(), mesh).status, Status::FileNotFound);
  EXPECT_EQ(LoadFile(dir.string(), mesh).status, Status::FileNotFound);
}

}  // namespace
}  // namespace kv::xfile::test
