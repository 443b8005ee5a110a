// Malformed input, construct by construct, with the exact status expected;
// truncations of a small mesh at every byte in every encoding; the leniency
// real exporters need.
#include <gtest/gtest.h>

#include <algorithm>

#include "XFileTestUtil.h"
#include "korvane3d/rm/xfile/SampleMesh.h"

namespace kv::xfile::test {
namespace {

constexpr std::string_view kHeader = "xof 0303txt 0032\n";

struct Case {
  const char* what;
  std::string body;  // after the text header
  Status status;
  std::size_t line = 0;  // 0: not checked
};

void ExpectCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MeshData mesh;
    mesh.name = "before";
    const Result result = ParseText(std::string(kHeader) + c.body, mesh);
    EXPECT_EQ(result.status, c.status) << result.message;
    if (c.status != Status::Ok) {
      EXPECT_FALSE(result.message.empty());
      EXPECT_EQ(mesh.name, "before") << "a failed load must leave the record alone";
    }
    if (c.line) {
      EXPECT_EQ(result.line, c.line) << result.message;
    }
  }
}

TEST(Malformed, Header) {
  struct HeaderCase {
    std::string_view bytes;
    Status status;
  };
  for (const HeaderCase& c : {HeaderCase{"", Status::BadFile}, HeaderCase{"xof 0303txt 003", Status::BadFile},
                              HeaderCase{"XOF 0303txt 0032", Status::BadFile}, HeaderCase{"xof 0301txt 0032", Status::BadFile},
                              HeaderCase{"xof 0303abc 0032", Status::BadFile}, HeaderCase{"xof 0303txt 0016", Status::BadFile},
                              HeaderCase{"xof 0302txt 0064", Status::NotFound}, HeaderCase{"xof 0303bin 0032", Status::NotFound}}) {
    SCOPED_TRACE(c.bytes);
    MeshData mesh;
    EXPECT_EQ(ParseText(c.bytes, mesh).status, c.status);
  }
}

TEST(Malformed, MeshCountsAndIndices) {
  ExpectCases({
      {"vertex count beyond the data", "Mesh {\n 4;\n 0;0;0;, 1;0;0;, 0;1;0;;\n 1; 3;0,1,2;;\n}\n", Status::BadFile, 6},
      {"absurd vertex count fails at once", "Mesh { 2147483648; 0;0;0;; }", Status::BadFile, 2},
      {"absurd face count", "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 4000000000; 3;0,1,2;; }", Status::BadFile},
      {"absurd corner count", "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3000000000;0,1,2;; }", Status::BadFile},
      {"vertex index equal to the count", "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,3;; }", Status::BadFile},
      {"face without corners", "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 0;; }", Status::BadFile},
      {"letters among the numbers", "Mesh {\n 3;\n 0;0;0;,\n 1;x;0;, 0;1;0;; 1; 3;0,1,2;; }", Status::BadFile, 5},
      {"number running into letters", "Mesh { 3; 0;0;0;, 1.5e;0;0;, 0;1;0;; 1; 3;0,1,2;; }", Status::BadFile},
      {"negative index", "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,-1,2;; }", Status::BadFile},
      {"integer beyond 32 bits", "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,99999999999;; }", Status::BadFile},
      {"unclosed mesh", "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n", Status::BadFile, 2},
      {"missing opening brace", "Mesh 3; 0;0;0;;", Status::BadFile},
      {"no mesh at all", "Header { 1; 0; 1; }", Status::NotFound},
      {"header version 2.0", "Header { 2; 0; 1; }", Status::BadFile},
  });
}

constexpr std::string_view kTriangle = "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n";

std::string WithChild(std::string_view child) { return std::string(kTriangle) + std::string(child) + "\n}\n"; }

TEST(Malformed, MeshChildren) {
  ExpectCases({
      {"normal index out of range", WithChild("MeshNormals { 1; 0;0;1;; 1; 3;0,0,1;; }"), Status::BadFile},
      {"normal faces fewer than faces", WithChild("MeshNormals { 1; 0;0;1;; 0; }"), Status::BadFile},
      {"normal face of another size", WithChild("MeshNormals { 1; 0;0;1;; 1; 4;0,0,0,0;; }"), Status::BadFile},
      {"absurd normal count", WithChild("MeshNormals { 1000000000; 0;0;1;; 1; 3;0,0,0;; }"), Status::BadFile},
      {"material index out of range", WithChild("MeshMaterialList { 1; 1; 1;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } }"),
       Status::BadFile},
      {"fewer materials than declared", WithChild("MeshMaterialList { 2; 1; 0;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } }"),
       Status::BadFile},
      {"reference to no material", WithChild("MeshMaterialList { 1; 1; 0;; { nowhere } }"), Status::BadFile},
      {"absurd material index count", WithChild("MeshMaterialList { 1; 3000000000; 0;; }"), Status::BadFile},
      {"colour index out of range", WithChild("MeshVertexColors { 1; 3; 1;1;1;1;;; }"), Status::BadFile},
      {"material with too few values", WithChild("MeshMaterialList { 1; 1; 0;; Material { 1;1;1;1;; 0; } }"),
       Status::BadFile},
      {"texture name not a string", WithChild("MeshMaterialList { 1; 1; 0;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; "
                                              "TextureFilename { name; } } }"),
       Status::BadFile},
  });
}

TEST(Malformed, TemplatesAndNesting) {
  std::string deep;
  for (int i = 0; i < 300; ++i) deep += "Frame {\n";
  std::string deepUnknown = "Unknown {";
  for (int i = 0; i < 300; ++i) deepUnknown += " {";
  ExpectCases({
      {"array size naming no member", "template T { <11111111-2222-3333-4444-555555555555> array DWORD x[n]; }",
       Status::BadFile},
      {"malformed GUID", "template T { <1111-2222> DWORD x; }", Status::BadFile},
      {"unterminated string", "Material m { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { \"abc; } }", Status::BadFile},
      {"object of a declared template with a wrong value",
       "template T { <11111111-2222-3333-4444-555555555555> DWORD n; array FLOAT v[n]; }\nT { 2; 1.0; x; }",
       Status::BadFile, 3},
      {"declared array beyond the data",
       "template T { <11111111-2222-3333-4444-555555555555> DWORD n; array FLOAT v[n]; }\nT { 4000000000; 1.0; }",
       Status::BadFile},
      {"frames nested too deeply", deep, Status::BadFile},
      {"braces nested too deeply in a skipped object", deepUnknown, Status::BadFile},
      {"a self-containing template", "template T { <11111111-2222-3333-4444-555555555555> T inner; }\nT { }\n",
       Status::NotFound},
      {"stray character", "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; > }", Status::BadFile},
  });
}

TEST(Malformed, LeniencyRealExportersNeed) {
  ExpectCases({
      {"commas and semicolons mixed, exponents, no trailing separator",
       "Mesh { 3, 0,0,0; 1e0;0;0,, 0;1.0E+0;0 1; 3;0;1;2 }", Status::Ok},
      {"comments of both kinds", "# a comment\nMesh { // here too\n 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }",
       Status::Ok},
      {"one stray closing brace at the end", std::string(kTriangle) + "}\n}\n", Status::Ok},
      {"objects of undeclared templates are skipped", "FrameMeshName { 1; \"Pine04.x\"; }\n" + WithChild("Unknown { 1; { x } }"),
       Status::Ok},
      {"fewer material indexes than faces", WithChild("MeshMaterialList { 1; 0;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } }"),
       Status::Ok},
      {"texture coordinates not one per vertex", WithChild("MeshTextureCoords { 2; 0;0;, 1;1;; }"), Status::Ok},
      {"a material declared after its reference",
       WithChild("MeshMaterialList { 1; 1; 0;; { later } }") + "Material later { 1;0;0;1;; 0; 0;0;0;; 0;0;0;; }",
       Status::Ok},
      {"CRLF line ends and tabs", "Mesh {\r\n\t3;\r\n\t0;0;0;,\r\n\t1;0;0;,\r\n\t0;1;0;;\r\n\t1;\r\n\t3;0,1,2;;\r\n}\r\n",
       Status::Ok},
  });
  MeshData mesh;
  ASSERT_TRUE(ParseText(std::string(kHeader) + WithChild("MeshTextureCoords { 2; 0.5;0.25;, 1;1;; }"), mesh));
  EXPECT_EQ(mesh.texCoords, (std::vector<Vec2>{{0.5f, 0.25f}, {1, 1}, {0, 0}}));
}

// Every prefix of a complete file fails, except those that hold the whole
// mesh, and those that end between objects before the mesh, which hold no
// mesh. Compressed files fail at every cut (their size no longer matches).
void ExpectEveryTruncationFails(Encoding encoding) {
  MeshData mesh = MakeSphere(2, 3);
  mesh.vertexColors.assign(mesh.positions.size(), 0x80402010u);
  mesh.faceWraps.assign(mesh.faceSizes.size(), {true, false});
  mesh.materials[0].textureFile = "t.bmp";
  SaveOptions options;
  options.encoding = encoding;
  options.textureTopology = true;
  const std::vector<std::uint8_t> file = Write(mesh, options);
  ASSERT_FALSE(file.empty());
  const std::string bytes(file.begin(), file.end());
  const bool text = encoding == Encoding::Text, binary = encoding == Encoding::Binary;
  // Where the Header object starts and ends, where the mesh starts, and the
  // shortest prefix that holds the whole mesh.
  const std::size_t headerStart = text ? bytes.find("Header") : 16;
  const std::size_t headerEnd = text ? bytes.find('}') + 1 : 16 + 34;
  const std::size_t meshStart = text ? bytes.find("Mesh") : bytes.find("Mesh") - 6;
  const std::size_t complete = text ? bytes.rfind('}') + 1 : file.size();
  for (std::size_t size = 0; size < file.size(); ++size) {
    Status expected = Status::BadFile;
    if (size >= complete) expected = Status::Ok;
    else if ((text || binary) && size >= 16 && (size <= headerStart || (size >= headerEnd && size <= meshStart)))
      expected = Status::NotFound;
    MeshData out;
    const Result result = Parse(std::span(file.data(), size), out);
    ASSERT_EQ(result.status, expected) << "cut at " << size << " of " << file.size() << ": " << result.message;
  }
}

TEST(Malformed, TruncationAtEveryByteInEveryEncoding) {
  for (Encoding encoding : {Encoding::Text, Encoding::Binary, Encoding::CompressedText, Encoding::CompressedBinary}) {
    SCOPED_TRACE(int(encoding));
    ExpectEveryTruncationFails(encoding);
  }
}

std::vector<std::uint8_t> BinaryFile(std::span<const std::uint8_t> body) {
  const std::vector<std::uint8_t> header = Bytes("xof 0303bin 0032");
  std::vector<std::uint8_t> file(header.size() + body.size());
  std::copy(body.begin(), body.end(), std::copy(header.begin(), header.end(), file.begin()));
  return file;
}
std::vector<std::uint8_t> BinaryFile(std::initializer_list<std::uint8_t> body) {
  return BinaryFile(std::span<const std::uint8_t>(body.begin(), body.size()));
}

TEST(Malformed, BinaryTokens) {
  struct BinaryCase {
    const char* what;
    std::vector<std::uint8_t> file;
    Status status;
  };
  // NAME "Mesh" (1, count 4), OBRACE (10), then the case's values.
  const std::initializer_list<std::uint8_t> mesh = {1, 0, 4, 0, 0, 0, 'M', 'e', 's', 'h', 10, 0};
  auto meshWith = [&](std::initializer_list<std::uint8_t> rest) {
    std::vector<std::uint8_t> f = BinaryFile(mesh);
    f.insert(f.end(), rest);
    return f;
  };
  const BinaryCase cases[] = {
      {"unknown token", BinaryFile({99, 0}), Status::BadFile},
      {"name longer than the file", BinaryFile({1, 0, 0xff, 0xff, 0, 0, 'a'}), Status::BadFile},
      {"half a token", BinaryFile({1}), Status::BadFile},
      {"integer list longer than the file", meshWith({6, 0, 0xff, 0xff, 0xff, 0x7f, 1, 0, 0, 0}), Status::BadFile},
      {"floats where integers belong", meshWith({7, 0, 1, 0, 0, 0, 0, 0, 0x80, 0x3f}), Status::BadFile},
      {"absurd vertex count", meshWith({6, 0, 1, 0, 0, 0, 0, 0, 0, 0x80}), Status::BadFile},
      {"values left over before the close", meshWith({6, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0, 11, 0}),
       Status::BadFile},
  };
  for (const BinaryCase& c : cases) {
    SCOPED_TRACE(c.what);
    MeshData out;
    const Result result = Parse(c.file, out);
    EXPECT_EQ(result.status, c.status) << result.message;
    EXPECT_GE(result.offset, 16u);
  }
}

// Forms refuse infinities and NaN; mesh files do too, naming the line (text)
// or the offset of the value (binary), whether the value is written as such,
// lies beyond the float range, or only comes out of the frames' matrices.
TEST(Malformed, NonFiniteNumbersAreRefused) {
  const std::string triangle = "1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n";
  ExpectCases({
      {"nan coordinate", "Mesh {\n 3;\n nan;0;0;,\n" + triangle + "}\n", Status::BadFile, 4},
      {"infinite coordinate", "Mesh {\n 3;\n 0;0;0;,\n 1;-inf;0;, 0;1;0;; 1; 3;0,1,2;;\n}\n", Status::BadFile, 5},
      {"infinity spelt out", "Mesh {\n 3;\n 0;0;infinity;,\n" + triangle + "}\n", Status::BadFile, 4},
      {"beyond the float range", "Mesh {\n 3;\n 0;0;0;,\n 1;0;1e39;, 0;1;0;; 1; 3;0,1,2;;\n}\n", Status::BadFile, 5},
      {"nan normal", WithChild("MeshNormals {\n 1;\n 0;NaN;1;; 1; 3;0,0,0;; }"), Status::BadFile, 5},
      {"infinite texture coordinate", WithChild("MeshTextureCoords {\n 3;\n 0;0;, inf;0;, 0;1;; }"), Status::BadFile, 5},
      {"nan material colour", WithChild("MeshMaterialList { 1; 1; 0;;\n Material {\n nan;1;1;1;; 0; 0;0;0;; 0;0;0;; } }"),
       Status::BadFile, 5},
      {"frame matrix carries a vertex beyond the float range",
       "Frame {\n FrameTransformMatrix { 1e30,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; }\n Mesh {\n 3;\n 1e30;0;0;,\n" +
           triangle + " }\n}\n",
       Status::BadFile, 4},
      {"large but finite values load", "Mesh {\n 3;\n 3e38;0;0;,\n 1;0;-3e38;, 0;1;0;; 1; 3;0,1,2;;\n}\n", Status::Ok},
  });

  // Binary: a float list of three vertices whose fifth value is NaN, and a
  // 64-bit file whose value is beyond the float range.
  std::vector<std::uint8_t> floats = {1, 0, 4, 0, 0, 0, 'M', 'e', 's', 'h', 10, 0, 6, 0, 1, 0, 0, 0, 3, 0, 0, 0, 7, 0, 9, 0, 0, 0};
  const std::size_t nanAt = floats.size() + 4 * 4;
  for (int i = 0; i < 9; ++i) floats.insert(floats.end(), {0, 0, 0x80, std::uint8_t(i == 4 ? 0x7f : 0x3f)});
  floats[nanAt + 2] = 0xc0;  // 0x7fc00000: a quiet NaN
  MeshData out;
  Result result = Parse(BinaryFile(floats), out);
  EXPECT_EQ(result.status, Status::BadFile) << result.message;
  EXPECT_EQ(result.offset, nanAt + 16) << result.message;

  std::vector<std::uint8_t> file = Bytes("xof 0303bin 0064");
  file.insert(file.end(), {1, 0, 4, 0, 0, 0, 'M', 'e', 's', 'h', 10, 0, 6, 0, 1, 0, 0, 0, 3, 0, 0, 0, 7, 0, 9, 0, 0, 0});
  for (int i = 0; i < 9; ++i) file.insert(file.end(), {0, 0, 0, 0, 0, 0, std::uint8_t(i == 0 ? 0xe0 : 0xf0), std::uint8_t(i == 0 ? 0x7e : 0x3f)});
  result = Parse(file, out);
  EXPECT_EQ(result.status, Status::BadFile) << result.message;
  EXPECT_EQ(result.offset, 44u) << result.message;
  EXPECT_NE(result.message.find("not a finite number"), std::string::npos) << result.message;
}

std::vector<std::uint8_t> Compressed(std::uint32_t declared, std::initializer_list<std::uint8_t> blocks) {
  std::vector<std::uint8_t> file = Bytes("xof 0303bzip0032");
  for (int i = 0; i < 4; ++i) file.push_back(std::uint8_t(declared >> (8 * i)));
  file.insert(file.end(), blocks);
  return file;
}

TEST(Malformed, CompressedContainer) {
  struct ZipCase {
    const char* what;
    std::vector<std::uint8_t> file;
    Status status;
  };
  // A stored deflate block of the four bytes "abcd" is 1, 4,0, 0xfb,0xff, then the bytes.
  const ZipCase cases[] = {
      {"size field cut short", Compressed(0, {}), Status::BadFile},
      {"declared beyond 2 GB", Compressed(0xffffffffu, {4, 0, 11, 0, 'C', 'K', 1, 4, 0, 0xfb, 0xff, 'a', 'b', 'c', 'd'}),
       Status::TooLarge},
      {"declared beyond what the blocks can hold", Compressed(1u << 30, {4, 0, 11, 0, 'C', 'K', 1, 4, 0, 0xfb, 0xff, 'a', 'b', 'c', 'd'}),
       Status::BadFile},
      {"missing signature", Compressed(20, {4, 0, 11, 0, 'C', 'X', 1, 4, 0, 0xfb, 0xff, 'a', 'b', 'c', 'd'}), Status::BadFile},
      {"block inflates short", Compressed(21, {5, 0, 11, 0, 'C', 'K', 1, 4, 0, 0xfb, 0xff, 'a', 'b', 'c', 'd'}), Status::BadFile},
      {"block size beyond 32 KB", Compressed(20, {0x01, 0x80, 11, 0, 'C', 'K', 1, 4, 0, 0xfb, 0xff, 'a', 'b', 'c', 'd'}),
       Status::BadFile},
      {"fewer bytes than declared", Compressed(24, {4, 0, 11, 0, 'C', 'K', 1, 4, 0, 0xfb, 0xff, 'a', 'b', 'c', 'd'}),
       Status::BadFile},
      {"well formed, but no mesh inside", Compressed(20, {4, 0, 11, 0, 'C', 'K', 1, 4, 0, 0xfb, 0xff, 20, 0, 20, 0}),
       Status::NotFound},
  };
  for (const ZipCase& c : cases) {
    SCOPED_TRACE(c.what);
    MeshData out;
    const Result result = Parse(c.file, out);
    EXPECT_EQ(result.status, c.status) << result.message;
  }
}

}  // namespace
}  // namespace kv::xfile::test

namespace kv::xfile::test {
namespace {

// Found by fuzzing: reading an empty array of vectors took the address of
// the first element of an empty vector (undefined behaviour).
TEST(FuzzRegression, EmptyVectorArraysAreReadWithoutAnElement) {
  MeshData mesh;
  const Result result = ParseText(std::string(kHeader) +
                                      "Mesh { 0;; 0;; MeshNormals { 0;; 0;; } MeshTextureCoords { 0;; } }",
                                  mesh);
  ASSERT_TRUE(result) << result.message;
  EXPECT_TRUE(mesh.positions.empty() && mesh.faceSizes.empty());
}

}  // namespace
}  // namespace kv::xfile::test
