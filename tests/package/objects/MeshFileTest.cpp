// Mesh files through the mesh's file source: real files in every encoding,
// the encoding told from the header, saving and loading back, and files
// that cannot be had.
#include <filesystem>
#include <fstream>
#include <string>

#include "ObjectFixture.h"
#include "korvane3d/host/Error.h"
#include "support/SharedTestData.h"

using namespace kv;

namespace kvtest {
namespace {

namespace fs = std::filesystem;

std::string TestFile(const char* name) { return SharedFile(std::string("xfile/") + name); }

class MeshFileTest : public ObjectTest {
 protected:
  void SetUp() override {
    ObjectTest::SetUp();
    dir = fs::path(KV_BINARY_DIR) / (std::string("mesh-files-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
  }
  void TearDown() override {
    fs::remove_all(dir);
    ObjectTest::TearDown();
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
    return (dir / name).string();
  }
  fs::path dir;
};

TEST_F(MeshFileTest, TheEncodingComesFromBytesEightAndNine) {
  const std::pair<const char*, TFileFormat> rows[] = {
      {"xof 0303txt 0032", ffText}, {"xof 0303bin 0032", ffBinary}, {"xof 0303tzip0032", ffCompressed},
      {"xof 0303bzip0032", ffCompressed}, {"xof 0303qzxx", ffCompressed}, {"xof 0303bin", ffText}};  // 11 bytes
  for (const auto& [bytes, format] : rows)
    EXPECT_EQ(TKV3DFile::GetFileFormat(Write(std::string(bytes, 4, 8) + ".x", bytes)), format) << bytes;
  EXPECT_EQ(TKV3DFile::GetFileFormat(""), ffText);
  EXPECT_EQ(TKV3DFile::GetFileFormat((dir / "missing.x").string()), ffText);
}

TEST_F(MeshFileTest, RealFilesLoadWithTheirCountsAlikeFromEachEncoding) {
  KV_REQUIRE_SHARED_FILE("xfile");
  struct Row {
    const char* file;
    TFileFormat format;
    std::uint32_t vertices;
    int faces;
  };
  const Row rows[] = {{"test_cube_text.x", ffText, 24, 12}, {"test_cube_binary.x", ffBinary, 24, 12},
                      {"test_cube_compressed.x", ffCompressed, 24, 12}, {"ball.x", ffBinary, 672, 224}};
  D3DVECTOR firstMax{};
  for (const Row& row : rows) {
    TKV3DObject* o = Make();
    o->Mesh()->File()->SetFileName(TestFile(row.file));
    ASSERT_NE(Builder(o), nullptr) << row.file << ": " << LastErrorText();
    EXPECT_EQ(o->Mesh()->File()->Format(), row.format) << row.file;
    EXPECT_EQ(o->Mesh()->VertexCount(), row.vertices) << row.file;
    EXPECT_EQ(Builder(o)->GetFaceCount(), row.faces) << row.file;
    EXPECT_EQ(MeshVisuals(o), 1);
    if (row.format == ffText) firstMax = o->BoxMax();
    if (row.vertices == 24) EXPECT_VEC(o->BoxMax(), firstMax.x, firstMax.y, firstMax.z);
  }
}

TEST_F(MeshFileTest, SavedFilesCarryTheFormatAndLoadBackAlike) {
  TKV3DObject* o = MakeShape(stCube);
  const std::pair<TFileFormat, const char*> rows[] = {{ffBinary, "bin "}, {ffCompressed, "zip"}, {ffText, "txt "}};
  for (const auto& [format, tag] : rows) {
    o->Mesh()->File()->SetFormat(format);
    const std::string path = (dir / ("saved" + std::to_string(format) + ".x")).string();
    ASSERT_TRUE(o->Mesh()->File()->SaveToFile(path)) << LastErrorText();
    std::ifstream in(path, std::ios::binary);
    const std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(body.substr(8, 4).find(tag), std::string::npos) << body.substr(0, 16);
    if (format == ffText) {
      EXPECT_EQ(body.find("template"), std::string::npos);
    }

    TKV3DObject* back = Make();
    back->Mesh()->File()->SetFileName(path);
    EXPECT_EQ(back->Mesh()->File()->Format(), format);
    EXPECT_EQ(Records(*back->Mesh()), Records(*o->Mesh()));
    EXPECT_EQ(back->Mesh()->NormalCount(), o->Mesh()->NormalCount());  // normals are saved
  }
  EXPECT_EQ(o->Mesh()->File()->FileName(), "");  // saving names nothing
  EXPECT_FALSE(Make()->Mesh()->File()->SaveToFile((dir / "nothing.x").string()));
  EXPECT_FALSE(fs::exists(dir / "nothing.x"));
  EXPECT_FALSE(o->Mesh()->File()->SaveToFile((dir / "no-such-folder" / "x.x").string()));
}

TEST_F(MeshFileTest, FilesThatCannotBeHadLeaveAUsableMeshAndSaySo) {
  // A good file of our own writing, and spoilt copies of it.
  TKV3DObject* cube = MakeShape(stCube);
  cube->Mesh()->File()->SetFormat(ffText);
  const std::string good = (dir / "cube.x").string();
  ASSERT_TRUE(cube->Mesh()->File()->SaveToFile(good)) << LastErrorText();
  std::ifstream in(good, std::ios::binary);
  const std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(body.size(), 100u);

  TKV3DObject* o = Make();
  o->Mesh()->File()->SetFileName((dir / "missing.x").string());
  EXPECT_EQ(Builder(o), nullptr);
  EXPECT_NE(LastErrorText().find("not found"), std::string::npos);

  for (const std::string& bad : {Write("empty.x", ""), Write("words.x", "xof 0302txt 0064\nMesh { this is not a mesh }\n"),
                                 Write("cut.x", body.substr(0, body.size() / 2))}) {
    ClearLastError();
    o->Mesh()->File()->SetFileName(bad);
    EXPECT_EQ(Builder(o), nullptr) << bad;
    EXPECT_NE(LastErrorText().find("could not be loaded"), std::string::npos) << bad;
    EXPECT_EQ(o->Mesh()->File()->FileName(), bad);
    EXPECT_EQ(MeshVisuals(o), 0);
  }
  o->Mesh()->File()->SetFileName(good);  // still usable
  ASSERT_NE(Builder(o), nullptr) << LastErrorText();
  EXPECT_EQ(Builder(o)->GetFaceCount(), Builder(cube)->GetFaceCount());

  // The same name reloads, and so does a generator parameter while the
  // file is the source.
  const D3DVECTOR original = o->Mesh()->GetVertexXYZ(0);
  o->Mesh()->SetVertexXYZ(0, 40, 40, 40);
  o->Mesh()->File()->SetFileName(o->Mesh()->File()->FileName());
  EXPECT_VEC(o->Mesh()->GetVertexXYZ(0), original.x, original.y, original.z);
  o->Mesh()->SetVertexXYZ(0, 40, 40, 40);
  o->Mesh()->Prism()->SetDepth(3);
  EXPECT_VEC(o->Mesh()->GetVertexXYZ(0), original.x, original.y, original.z);
}

}  // namespace
}  // namespace kvtest
