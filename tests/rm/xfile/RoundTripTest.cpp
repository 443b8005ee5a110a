// What the writer produces reads back to the same record, bit for bit, in
// every encoding and float size; save options leave out what they should.
#include <gtest/gtest.h>
#include <zlib.h>

#include <unistd.h>

#include <cstring>

#include "XFileTestUtil.h"

namespace kv::xfile::test {
namespace {

constexpr Encoding kEncodings[] = {Encoding::Text, Encoding::Binary, Encoding::CompressedText,
                                   Encoding::CompressedBinary};

TEST(RoundTrip, EveryEncodingAndFloatSizeIsBitExact) {
  MeshData sphere = MakeRichSphere(24, 32);
  // Values whose shortest text form is long, tiny, huge or negative zero.
  sphere.positions[0] = {0.1f + 0.2f, 1e-38f, -0.0f};
  sphere.positions[1] = {3.4028235e38f, 1.17549435e-38f, 16777217.0f};
  sphere.texCoords[0] = {1.0f / 3.0f, 2.0f / 3.0f};
  for (Encoding encoding : kEncodings) {
    for (int floatBits : {32, 64}) {
      for (bool templates : {false, true}) {
        SCOPED_TRACE(testing::Message() << "encoding " << int(encoding) << ", " << floatBits << " bits, templates "
                                        << templates);
        SaveOptions options;
        options.encoding = encoding;
        options.floatBits = floatBits;
        options.templates = templates;
        options.textureTopology = true;
        const std::vector<std::uint8_t> bytes = Write(sphere, options);
        ASSERT_FALSE(bytes.empty());
        MeshData back;
        FileInfo info;
        const Result result = Parse(bytes, back, &info);
        ASSERT_TRUE(result) << result.message << " line " << result.line;
        EXPECT_EQ(info.encoding, encoding);
        EXPECT_EQ(info.floatBits, floatBits);
        EXPECT_TRUE(SameMesh(sphere, back));
      }
    }
  }
}

TEST(RoundTrip, SaveOptionsLeaveOutWhatTheyAsk) {
  const MeshData sphere = MakeRichSphere(4, 6);
  for (Encoding encoding : {Encoding::Text, Encoding::Binary}) {
    SaveOptions options;
    options.encoding = encoding;
    MeshData back;
    // The package's flags: everything but templates, with face wraps.
    options.textureTopology = true;
    ASSERT_TRUE(Parse(Write(sphere, options), back));
    EXPECT_EQ(back.faceWraps, sphere.faceWraps);

    options = SaveOptions{};
    options.encoding = encoding;
    options.normals = options.textureCoordinates = options.textureNames = false;
    ASSERT_TRUE(Parse(Write(sphere, options), back));
    EXPECT_TRUE(back.normals.empty() && back.faceNormals.empty() && back.texCoords.empty() && back.faceWraps.empty());
    ASSERT_EQ(back.materials.size(), 2u);
    EXPECT_EQ(back.materials[1].textureFile, "");
    EXPECT_EQ(back.faceMaterials, sphere.faceMaterials);

    options.materials = false;
    ASSERT_TRUE(Parse(Write(sphere, options), back));
    EXPECT_TRUE(back.materials.empty() && back.faceMaterials.empty());
    EXPECT_EQ(back.positions.size(), sphere.positions.size());
  }
}

TEST(RoundTrip, WrittenHeaderAndNamesReadBack) {
  MeshData mesh;
  mesh.name = "12 odd{name}";  // starts with a digit, holds a space and braces
  mesh.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  mesh.faceSizes = {3};
  mesh.faceVertices = {0, 1, 2};
  SaveOptions options;
  options.floatBits = 64;
  const std::vector<std::uint8_t> text = Write(mesh, options);
  EXPECT_EQ(std::string(text.begin(), text.begin() + 16), "xof 0303txt 0064");
  MeshData back;
  ASSERT_TRUE(Parse(text, back));
  EXPECT_EQ(back.name, "_12_odd_name_");
  options.encoding = Encoding::Binary;
  ASSERT_TRUE(Parse(Write(mesh, options), back));
  EXPECT_EQ(back.name, mesh.name);  // binary names are counted, so any bytes survive
}

TEST(RoundTrip, InconsistentMeshesAreRefused) {
  const MeshData good = MakeRichSphere(2, 3);
  struct Case {
    const char* what;
    void (*spoil)(MeshData&);
  };
  const Case cases[] = {
      {"vertex index", [](MeshData& m) { m.faceVertices[5] = std::uint32_t(m.positions.size()); }},
      {"normal index", [](MeshData& m) { m.faceNormals[0] = std::uint32_t(m.normals.size()); }},
      {"material index", [](MeshData& m) { m.faceMaterials[0] = 2; }},
      {"face sizes", [](MeshData& m) { m.faceSizes[0] = 5; }},
      {"empty face", [](MeshData& m) { m.faceSizes.push_back(0); }},
      {"texture coordinates", [](MeshData& m) { m.texCoords.pop_back(); }},
      {"colours", [](MeshData& m) { m.vertexColors.pop_back(); }},
      {"wraps", [](MeshData& m) { m.faceWraps.pop_back(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MeshData bad = good;
    c.spoil(bad);
    EXPECT_EQ(CheckMesh(bad).status, Status::InvalidMesh);
    EXPECT_TRUE(Write(bad, SaveOptions{}).empty());
  }
  SaveOptions odd;
  odd.floatBits = 16;
  std::vector<std::uint8_t> out;
  EXPECT_EQ(Write(good, odd, out).status, Status::InvalidMesh);
}

TEST(RoundTrip, SaveFileReplacesOnlyOnSuccess) {
  const auto dir = std::filesystem::temp_directory_path() / ("kv_xfile_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "mesh.x").string();
  const MeshData sphere = MakeRichSphere(3, 5);
  SaveOptions options;
  options.encoding = Encoding::CompressedBinary;
  options.textureTopology = true;
  ASSERT_TRUE(SaveFile(path, sphere, options));
  MeshData back;
  ASSERT_TRUE(LoadFile(path, back));
  EXPECT_TRUE(SameMesh(sphere, back));

  MeshData broken = sphere;
  broken.faceVertices[0] = 1000000;
  EXPECT_EQ(SaveFile(path, broken, options).status, Status::InvalidMesh);
  EXPECT_EQ(SaveFile((dir / "missing" / "mesh.x").string(), sphere, options).status, Status::FileNotFound);
  ASSERT_TRUE(LoadFile(path, back));  // the earlier file is still whole
  EXPECT_TRUE(SameMesh(sphere, back));
  EXPECT_FALSE(std::filesystem::exists(path + ".part"));
  std::filesystem::remove_all(dir);
}

std::uint32_t Le16(const std::vector<std::uint8_t>& b, std::size_t at) { return b[at] | b[at + 1] << 8; }

TEST(RoundTrip, CompressedBlocksInflateOnTheirOwn) {
  // Big enough for several 32 KB blocks.
  const MeshData sphere = MakeRichSphere(60, 60);
  SaveOptions options;
  options.encoding = Encoding::CompressedText;
  const std::vector<std::uint8_t> file = Write(sphere, options);
  std::size_t at = 20, blocks = 0, total = 16;
  while (at < file.size()) {
    const std::uint32_t raw = Le16(file, at), packed = Le16(file, at + 2);
    ASSERT_LE(raw, 32768u);
    ASSERT_EQ(file[at + 4], 'C');
    ASSERT_EQ(file[at + 5], 'K');
    std::vector<std::uint8_t> out(raw);
    z_stream z{};
    ASSERT_EQ(inflateInit2(&z, -MAX_WBITS), Z_OK);
    z.next_in = const_cast<Bytef*>(file.data() + at + 6);
    z.avail_in = packed - 2;
    z.next_out = out.data();
    z.avail_out = raw;
    EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END) << "block " << blocks;
    EXPECT_EQ(z.avail_out, 0u);
    inflateEnd(&z);
    total += raw;
    at += 4 + packed;
    ++blocks;
  }
  EXPECT_GT(blocks, 2u);
  EXPECT_EQ(total, std::size_t(file[16] | file[17] << 8 | file[18] << 16 | std::uint32_t(file[19]) << 24));
}

// A block may refer back into the previous block's output, which then serves
// as a preset dictionary.
TEST(RoundTrip, CompressedBlocksMayReferToThePreviousBlock) {
  SaveOptions options;
  options.encoding = Encoding::Text;
  const std::vector<std::uint8_t> plain = Write(MakeRichSphere(40, 40), options);
  const std::vector<std::uint8_t> body(plain.begin() + 16, plain.end());
  std::vector<std::uint8_t> file(plain.begin(), plain.begin() + 16);
  std::memcpy(file.data() + 8, "tzip", 4);
  const std::uint32_t size = std::uint32_t(plain.size());
  for (int i = 0; i < 4; ++i) file.push_back(std::uint8_t(size >> (8 * i)));
  for (std::size_t at = 0; at < body.size(); at += 32768) {
    const std::size_t raw = std::min<std::size_t>(32768, body.size() - at);
    z_stream z{};
    ASSERT_EQ(deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    if (at > 0) deflateSetDictionary(&z, body.data() + at - 32768, 32768);
    std::vector<std::uint8_t> packed(deflateBound(&z, uLong(raw)));
    z.next_in = const_cast<Bytef*>(body.data() + at);
    z.avail_in = uInt(raw);
    z.next_out = packed.data();
    z.avail_out = uInt(packed.size());
    ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    packed.resize(packed.size() - z.avail_out);
    deflateEnd(&z);
    for (std::uint32_t v : {std::uint32_t(raw), std::uint32_t(packed.size() + 2)})
      file.push_back(std::uint8_t(v)), file.push_back(std::uint8_t(v >> 8));
    file.push_back('C');
    file.push_back('K');
    file.insert(file.end(), packed.begin(), packed.end());
  }
  MeshData fromPlain, fromPacked;
  ASSERT_TRUE(Parse(plain, fromPlain));
  const Result result = Parse(file, fromPacked);
  ASSERT_TRUE(result) << result.message;
  EXPECT_TRUE(SameMesh(fromPlain, fromPacked));
}

}  // namespace
}  // namespace kv::xfile::test

#include <thread>

namespace kv::xfile::test {
namespace {

// Loads share only the standard template set, built once; parallel loads
// (a render thread and the main thread, say) must not race on it.
TEST(RoundTrip, ParsesRunInParallel) {
  SaveOptions options;
  options.templates = true;
  const std::vector<std::uint8_t> file = Write(MakeRichSphere(8, 8), options);
  std::vector<std::thread> threads;
  std::vector<int> ok(4, 0);
  for (std::size_t t = 0; t < ok.size(); ++t)
    threads.emplace_back([&, t] {
      MeshData mesh;
      ok[t] = bool(Parse(file, mesh)) && mesh.positions.size() == 81;
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(ok, std::vector<int>(4, 1));
}

}  // namespace
}  // namespace kv::xfile::test
