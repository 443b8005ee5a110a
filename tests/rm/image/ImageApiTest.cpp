// Format detection, decoding by content and file loading.
#include "ImageTestSupport.h"

#include <thread>

namespace kv::image::test {
namespace {

TEST(ImageApi, DecodeChoosesTheReaderByContent) {
  Bytes png;
  ASSERT_TRUE(EncodePng(Gradient(3, 2), png));
  const Bytes bmp = BuildBmp({.width = 3, .height = 2, .pixelData = Bgr24Rows(Gradient(3, 2))});
  const std::string ppmText = "P3 1 1 255 1 2 3";
  const Bytes ppm(ppmText.begin(), ppmText.end());
  EXPECT_EQ(DetectFormat(png), Format::Png);
  EXPECT_EQ(DetectFormat(bmp), Format::Bmp);
  EXPECT_EQ(DetectFormat(ppm), Format::Pnm);
  EXPECT_EQ(DetectFormat(Bytes{'G', 'I', 'F'}), Format::Unknown);
  EXPECT_EQ(DetectFormat(Bytes{}), Format::Unknown);

  Image fromPng, fromBmp, fromPpm;
  ASSERT_TRUE(Decode(png, fromPng));
  ASSERT_TRUE(Decode(bmp, fromBmp));
  ASSERT_TRUE(Decode(ppm, fromPpm));
  EXPECT_EQ(fromPng.pixels, Gradient(3, 2).pixels);
  EXPECT_EQ(fromBmp.pixels, Gradient(3, 2).pixels);
  EXPECT_EQ(fromPpm.pixels, (std::vector<std::uint32_t>{0xFF010203}));
  // Each reader refuses the others' data.
  Image image;
  EXPECT_EQ(DecodeBmp(png, image).status, Status::UnknownFormat);
  EXPECT_EQ(DecodePng(bmp, image).status, Status::UnknownFormat);
  EXPECT_EQ(DecodePnm(bmp, image).status, Status::UnknownFormat);
  EXPECT_EQ(Decode(Bytes{}, image).status, Status::UnknownFormat);
}

TEST(ImageApi, LoadImageFileReportsMissingAndUnreadableFiles) {
  Image image = Gradient(2, 2);
  Result r = LoadImageFile("/nonexistent/texture.bmp", image);
  EXPECT_EQ(r.status, Status::FileNotFound);
  EXPECT_NE(r.message.find("texture.bmp"), std::string::npos);
  r = LoadImageFile(std::filesystem::temp_directory_path().string(), image);
  EXPECT_EQ(r.status, Status::FileNotFound);
  EXPECT_EQ(image.pixels, Gradient(2, 2).pixels);
}

// Many objects naming one image file hold one decoded image; a file that
// is rewritten is read again.
TEST(ImageApi, LoadsOfOneFileShareTheirImage) {
  const auto dir = std::filesystem::temp_directory_path() / ("kv_shared_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto file = (dir / "wood.png").string();
  ASSERT_TRUE(SavePng(file, Gradient(64, 32)));
  std::shared_ptr<const Image> first, second, again;
  ASSERT_TRUE(LoadSharedImageFile(file, first));
  ASSERT_TRUE(LoadSharedImageFile(file, second));
  EXPECT_EQ(first, second);
  EXPECT_EQ(first->pixels, Gradient(64, 32).pixels);

  ASSERT_TRUE(SavePng(file, Gradient(8, 8)));
  ASSERT_TRUE(LoadSharedImageFile(file, again));
  EXPECT_NE(again, first);
  EXPECT_EQ(again->width, 8);
  EXPECT_EQ(first->width, 64) << "holders of the old image keep it";

  std::shared_ptr<const Image> missing = first;
  EXPECT_EQ(LoadSharedImageFile((dir / "none.png").string(), missing).status, Status::FileNotFound);
  EXPECT_EQ(missing, first);
  std::filesystem::remove_all(dir);
}

// Textures load on whatever thread the application uses; the readers keep no
// shared state (run under the thread sanitizer to check).
TEST(ImageApi, DecodersRunConcurrently) {
  const Image picture = Gradient(64, 48, true);
  Bytes png;
  ASSERT_TRUE(EncodePng(picture, png, true));
  const Bytes bmp = BuildBmp({.width = 64, .height = 48, .pixelData = Bgr24Rows(picture)});
  std::vector<int> failures(4, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 20; ++i) {
        Image a, b;
        if (!DecodePng(png, a) || a.pixels != picture.pixels) ++failures[t];
        if (!DecodeBmp(bmp, b) || !SamePicture(b, picture, 0)) ++failures[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

}  // namespace
}  // namespace kv::image::test
