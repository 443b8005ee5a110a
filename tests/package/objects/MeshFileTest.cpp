// Mesh files through the mesh's file source: real files in every encoding,
// the encoding told from the header, saving in each encoding and loading
// the result again, and files that cannot be had.
#include <filesystem>
#include <fstream>
#include <string>

#include "ObjectFixture.h"
#include "host/Error.h"

namespace kvtest {
namespace {

namespace fs = std::filesystem;

std::string TestFile(const char* name) { return (fs::path(KV_TESTDATA_DIR) / "xfile" / name).string(); }

class MeshFileTest : public ObjectTest {
 protected:
  void SetUp() override {
    ObjectTest::SetUp();
    dir = fs::path(KV_BINARY_DIR) / ("mesh-files-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::create_directories(dir);
  }
  void TearDown() override {
    fs::remove_all(dir);
    ObjectTest::TearDown();
  }
  std::string Write(const char* name, const std::string& bytes) {
    const fs::path p = dir / name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p.string();
  }
  static std::string Header(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string h(16, '\0');
    in.read(h.data(), 16);
    return h;
  }

  fs::path dir;
};

TEST_F(MeshFileTest, TheEncodingComesFromBytesEightAndNine) {
  struct Row {
    const char* bytes;
    TFileFormat expected;
  };
  const Row rows[] = {{"xof 0303txt 0032", ffText},   {"xof 0303bin 0032", ffBinary},
                      {"xof 0303tzip0032", ffCompressed}, {"xof 0303bzip0032", ffCompressed},
                      {"xof 0303qzxx", ffCompressed},  {"xof 0303bi", ffText},  // 10 bytes only
                      {"xof 0302txt", ffText},         {"garbage file", ffText}};
  int i = 0;
  for (const Row& row : rows) {
    const std::string name = "h" + std::to_string(i++) + ".x";
    EXPECT_EQ(TKV3DFile::GetFileFormat(Write(name.c_str(), row.bytes)), row.expected) << row.bytes;
  }
  EXPECT_EQ(TKV3DFile::GetFileFormat(""), ffText);
  EXPECT_EQ(TKV3DFile::GetFileFormat((dir / "missing.x").string()), ffText);
  EXPECT_EQ(TKV3DFile::GetFileFormat(dir.string()), ffText);  // a folder
}

TEST_F(MeshFileTest, TheSameCubeLoadsAlikeFromEachEncoding) {
  struct Row {
    const char* file;
    TFileFormat format;
  };
  const Row rows[] = {{"test_cube_text.x", ffText}, {"test_cube_binary.x", ffBinary},
                      {"test_cube_compressed.x", ffCompressed}};
  TKV3DObject* first = nullptr;
  for (const Row& row : rows) {
    TKV3DObject* o = Make();
    o->Mesh()->File()->SetFileName(TestFile(row.file));
    ASSERT_NE(Builder(o), nullptr) << row.file << ": " << LastErrorText();
    EXPECT_EQ(o->Mesh()->File()->Format(), row.format) << row.file;
    EXPECT_EQ(o->Mesh()->File()->FileName(), TestFile(row.file));
    EXPECT_EQ(o->Mesh()->VertexCount(), 24u) << row.file;
    EXPECT_EQ(Builder(o)->GetFaceCount(), 12) << row.file;
    EXPECT_EQ(Records(*o->Mesh()).size(), 12u);
    EXPECT_EQ(MeshVisuals(o), 1);
    EXPECT_GT(o->BoxMax().x, o->BoxMin().x);
    if (first == nullptr) {
      first = o;
      continue;
    }
    EXPECT_VEC(o->BoxMax(), first->BoxMax().x, first->BoxMax().y, first->BoxMax().z);
    EXPECT_VEC(o->BoxMin(), first->BoxMin().x, first->BoxMin().y, first->BoxMin().z);
  }
}

TEST_F(MeshFileTest, OtherRealFilesLoadWithTheirDeclaredCounts) {
  struct Row {
    const char* file;
    std::uint32_t vertices;
    int faces;
  };
  const Row rows[] = {{"Cube.x", 24, 12}, {"ball.x", 672, 224}};
  for (const Row& row : rows) {
    TKV3DObject* o = Make();
    o->Mesh()->File()->SetFileName(TestFile(row.file));
    ASSERT_NE(Builder(o), nullptr) << row.file << ": " << LastErrorText();
    EXPECT_EQ(o->Mesh()->VertexCount(), row.vertices) << row.file;
    EXPECT_EQ(Builder(o)->GetFaceCount(), row.faces) << row.file;
  }
}

TEST_F(MeshFileTest, SavedFilesCarryTheFormatAndLoadBackAlike) {
  TKV3DObject* o = MakeShape(stCube);
  o->Mesh()->Cube()->SetGrid(4);
  struct Row {
    TFileFormat format;
    const char* tag;
  };
  const Row rows[] = {{ffBinary, "bin "}, {ffCompressed, "zip"}, {ffText, "txt "}};
  for (const Row& row : rows) {
    o->Mesh()->File()->SetFormat(row.format);
    const std::string path = (dir / ("saved" + std::to_string(row.format) + ".x")).string();
    ASSERT_TRUE(o->Mesh()->File()->SaveToFile(path)) << LastErrorText();
    EXPECT_NE(Header(path).find(row.tag), std::string::npos) << Header(path);
    EXPECT_EQ(o->Mesh()->File()->FileName(), "");  // saving names nothing

    TKV3DObject* back = Make();
    back->Mesh()->File()->SetFileName(path);
    ASSERT_NE(Builder(back), nullptr) << LastErrorText();
    EXPECT_EQ(back->Mesh()->File()->Format(), row.format);
    EXPECT_EQ(Records(*back->Mesh()), Records(*o->Mesh()));
    EXPECT_EQ(back->Mesh()->NormalCount(), o->Mesh()->NormalCount());  // normals are saved
    EXPECT_VEC(back->BoxMax(), 0.5f, 0.5f, 0.5f);
  }
  std::ifstream text(dir / "saved2.x");
  const std::string body((std::istreambuf_iterator<char>(text)), std::istreambuf_iterator<char>());
  EXPECT_EQ(body.find("template"), std::string::npos);  // no templates written

  TKV3DObject* empty = Make();
  EXPECT_FALSE(empty->Mesh()->File()->SaveToFile((dir / "nothing.x").string()));
  EXPECT_FALSE(fs::exists(dir / "nothing.x"));
  EXPECT_FALSE(o->Mesh()->File()->SaveToFile((dir / "no-such-folder" / "x.x").string()));
}

TEST_F(MeshFileTest, FilesThatCannotBeHadLeaveAUsableMeshAndSaySo) {
  TKV3DObject* o = Make();
  o->Mesh()->File()->SetFileName((dir / "missing.x").string());
  EXPECT_EQ(Builder(o), nullptr);
  EXPECT_NE(LastErrorText().find("not found"), std::string::npos);

  for (const char* bad : {"empty.x", "OV_GetNextToken"}) {
    ClearLastError();
    o->Mesh()->File()->SetFileName(TestFile(bad));
    EXPECT_EQ(Builder(o), nullptr) << bad;
    EXPECT_NE(LastErrorText().find("could not be loaded"), std::string::npos) << bad;
    EXPECT_EQ(o->Mesh()->File()->FileName(), TestFile(bad));
    EXPECT_EQ(MeshVisuals(o), 0);
  }
  // A body cut short in the middle of the mesh.
  std::ifstream in(TestFile("test_cube_text.x"), std::ios::binary);
  std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  o->Mesh()->File()->SetFileName(Write("cut.x", body.substr(0, body.size() / 2)));
  EXPECT_EQ(Builder(o), nullptr);
  EXPECT_EQ(o->Mesh()->File()->Format(), ffText);

  // Still usable afterwards.
  o->Mesh()->File()->SetFileName(TestFile("test_cube_binary.x"));
  EXPECT_EQ(Builder(o)->GetFaceCount(), 12);
}

TEST_F(MeshFileTest, TheSameNameReloadsAndParameterChangesReloadToo) {
  TKV3DObject* o = Make();
  o->Mesh()->File()->SetFileName(TestFile("test_cube_text.x"));
  const D3DVECTOR original = o->Mesh()->GetVertexXYZ(0);
  o->Mesh()->SetVertexXYZ(0, 40, 40, 40);
  o->Mesh()->File()->SetFileName(o->Mesh()->File()->FileName());
  EXPECT_VEC(o->Mesh()->GetVertexXYZ(0), original.x, original.y, original.z);

  o->Mesh()->SetVertexXYZ(0, 40, 40, 40);
  o->Mesh()->Prism()->SetDepth(3);  // the file is the active source: reloaded
  EXPECT_VEC(o->Mesh()->GetVertexXYZ(0), original.x, original.y, original.z);
  EXPECT_EQ(Builder(o)->GetFaceCount(), 12);
}

}  // namespace
}  // namespace kvtest
