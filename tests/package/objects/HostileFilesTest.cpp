// Hostile files named where the package reads files: mesh files, textures,
// the scene's background image and forms. Each row runs in a child process
// with a time limit and a bound on the memory it may add: a FIFO used to hang
// the reader for ever, /dev/zero or a huge file with an impossible header
// cost a gigabyte, a small compressed file declaring 2 GB zero-filled them,
// and objects naming one large image each decoded it again.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "ObjectFixture.h"
#include "korvane3d/host/FormStream.h"
#include "korvane3d/objects/Kv3dtexture.h"
#include "korvane3d/rm/image/Image.h"
#include "korvane3d/scene/Kv3dscene.h"
#include "support/BoundedRun.h"

using namespace kv;

namespace kvtest {
namespace {

namespace fs = std::filesystem;

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint64_t kGigabyte = std::uint64_t{1} << 30;
// Hang bound per row, and what a refused file may cost at most; generous
// for a loaded machine and a sanitizer build.
constexpr double kMaxSeconds = 20;
constexpr long kMaxGrowthMiB = 64;

void PutLe(Bytes& b, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) b.push_back(std::uint8_t(value >> (8 * i)));
}
void PutBe32(Bytes& b, std::uint32_t value) {
  for (int i = 3; i >= 0; --i) b.push_back(std::uint8_t(value >> (8 * i)));
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xffffffffu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

void PutPngChunk(Bytes& b, const char* type, const Bytes& data) {
  PutBe32(b, std::uint32_t(data.size()));
  const std::size_t start = b.size();
  b.insert(b.end(), type, type + 4);
  b.insert(b.end(), data.begin(), data.end());
  PutBe32(b, Crc32(b.data() + start, b.size() - start));
}

// A BMP header declaring 100000 x 100000 pixels of 24 bits.
Bytes HugeBmpHeader() {
  Bytes b = {'B', 'M'};
  PutLe(b, 0, 4), PutLe(b, 0, 4), PutLe(b, 54, 4);             // file size, reserved, data offset
  PutLe(b, 40, 4), PutLe(b, 100000, 4), PutLe(b, 100000, 4);  // info size, width, height
  PutLe(b, 1, 2), PutLe(b, 24, 2);                             // planes, bits
  for (int i = 0; i < 6; ++i) PutLe(b, 0, 4);
  return b;
}

// A PNG of 16384 x 4096 RGB pixels (within the limits) whose image data is
// long enough to pass for it but breaks in its first bytes.
Bytes PngWithBrokenData() {
  Bytes b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  PutBe32(header, 16384), PutBe32(header, 4096);
  header.insert(header.end(), {8, 2, 0, 0, 0});
  PutPngChunk(b, "IHDR", header);
  PutPngChunk(b, "IDAT", Bytes(200000, 0xff));
  PutPngChunk(b, "IEND", {});
  return b;
}

// A 512 KiB compressed mesh file declaring nearly 2 GB, broken in its
// first block.
Bytes CompressedMeshBomb() {
  const std::string header = "xof 0303bzip0032";
  Bytes b(header.begin(), header.end());
  PutLe(b, 2147000000u, 4);
  PutLe(b, 0x8000, 2), PutLe(b, 100, 2);
  b.insert(b.end(), {'C', 'K'});
  b.resize(b.size() + 98, 0xff);
  b.resize(512 * 1024, 0);
  return b;
}

enum class Reader { Mesh, Texture, Background, Form, TextureFourTimes };

const char* NameOf(Reader reader) {
  switch (reader) {
    case Reader::Mesh: return "mesh file";
    case Reader::Texture: return "texture";
    case Reader::Background: return "background image";
    case Reader::Form: return "form";
    case Reader::TextureFourTimes: return "texture of four objects";
  }
  return "?";
}

class HostileFiles : public ObjectTest {
 protected:
  void SetUp() override {
    ObjectTest::SetUp();
    dir = fs::temp_directory_path() / ("kv-hostile-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override {
    fs::remove_all(dir);
    ObjectTest::TearDown();
  }

  std::string File(const std::string& name, const Bytes& head, std::uint64_t size = 0) {
    const fs::path path = dir / name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(head.data()), std::streamsize(head.size()));
    if (size > head.size()) fs::resize_file(path, size);  // sparse: costs no disk
    return path.string();
  }

  // 0 when the reader refused the file and left its component as it was;
  // for four objects sharing one image, 0 when all four show it.
  int Read(Reader reader, const std::string& path) {
    switch (reader) {
      case Reader::Mesh: {
        TKV3DObject* o = Make();
        o->Mesh()->File()->LoadFromFile(path);
        IDirect3DRMMeshBuilder3* b = Builder(o);
        return b != nullptr && Geometry(b).FaceCount() != 0;
      }
      case Reader::Texture: {
        TKV3DObject* o = MakeShape(stCube);
        o->Texture()->SetFileName(path);
        return o->Texture()->GetIDirect3DTexture() != nullptr;
      }
      case Reader::Background: {
        auto* scene = new TKV3DScene(form.get());
        scene->SetBackgroundImage(path);
        ComPtr<IDirect3DRMTexture3> shown;
        scene->GetIDirect3DRMFrame3()->GetSceneBackgroundImage(shown.ReleaseAndGetAddressOf());
        return shown.Get() != nullptr;
      }
      case Reader::Form: return ReadComponentResFile(path) != nullptr;
      case Reader::TextureFourTimes: {
        int shown = 0;
        for (int i = 0; i < 4; ++i) {
          TKV3DObject* o = MakeShape(stCube);
          o->Texture()->SetFileName(path);
          shown += o->Texture()->GetIDirect3DTexture() != nullptr;
        }
        return shown == 4 ? 0 : 1;
      }
    }
    return 1;
  }

  fs::path dir;
};

TEST_F(HostileFiles, AreRefusedQuicklyAndCheaply) {
  ASSERT_EQ(::mkfifo((dir / "pipe.x").c_str(), 0600), 0);
  const std::string fifo = (dir / "pipe.x").string();
  kv::image::Image plain;
  plain.width = plain.height = 4096;  // 64 MiB decoded, a few KiB as a file
  plain.pixels.assign(std::size_t(4096) * 4096, 0xff808080u);
  Bytes bigPng;
  ASSERT_TRUE(kv::image::EncodePng(plain, bigPng));
  plain.pixels = {};
  const std::string bomb = File("bomb.x", CompressedMeshBomb());

  struct Row {
    const char* what;
    Reader reader;
    std::string path;
    long maxGrowthMiB = kMaxGrowthMiB;
  };
  const Row rows[] = {
      {"a FIFO", Reader::Mesh, fifo},
      {"a FIFO", Reader::Texture, fifo},
      {"a FIFO", Reader::Background, fifo},
      {"a FIFO", Reader::Form, fifo},
      {"/dev/zero", Reader::Mesh, "/dev/zero"},
      {"/dev/zero", Reader::Texture, "/dev/zero"},
      {"/dev/zero", Reader::Background, "/dev/zero"},
      {"/dev/zero", Reader::Form, "/dev/zero"},
      {"a 1 GB BMP whose header is over the pixel limit", Reader::Texture, File("huge.bmp", HugeBmpHeader(), kGigabyte)},
      {"a 1 GB PPM whose header is over the pixel limit", Reader::Background,
       File("huge.ppm", {'P', '6', '\n', '9', '9', '9', '9', '9', ' ', '9', '9', '9', '9', '9', '\n', '2', '5', '5', '\n'},
            kGigabyte)},
      {"a 1 GB file of zeros", Reader::Texture, File("zeros.png", {}, kGigabyte)},
      {"a 1 GB file of zeros", Reader::Form, File("zeros.kvf", {}, kGigabyte)},
      {"a PNG declaring 16384x4096 whose data breaks at once", Reader::Texture, File("broken.png", PngWithBrokenData())},
      {"a 1 GB PNG whose data breaks at once", Reader::Background, File("broken-huge.png", PngWithBrokenData(), kGigabyte)},
      {"a 512 KB compressed mesh declaring 2 GB, broken in its first block", Reader::Mesh, bomb},
      {"a 4096x4096 PNG named by four objects (decoded once)", Reader::TextureFourTimes, File("big.png", bigPng), 128},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.what) + " as a " + NameOf(row.reader));
    const BoundedOutcome outcome = RunBounded([&] { return Read(row.reader, row.path); });
    EXPECT_TRUE(outcome.finished) << outcome.Describe();
    if (!outcome.finished) continue;
    EXPECT_EQ(outcome.result, 0) << (row.reader == Reader::TextureFourTimes ? "an object shows no texture"
                                                                             : "the file was not refused");
    EXPECT_LT(outcome.seconds, kMaxSeconds * kTimeBoundScale) << outcome.Describe();
    EXPECT_LT(outcome.peakGrowthKb / 1024, row.maxGrowthMiB * kMemoryBoundScale) << outcome.Describe();
  }
  EXPECT_TRUE(fs::is_fifo(fifo)) << "nothing wrote to the FIFO";
}

}  // namespace
}  // namespace kvtest
