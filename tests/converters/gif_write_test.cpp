// The GIF converter as a writer: every layout it takes, read back by
// giftopnm and by the converter itself; refused and failing writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/converter_driver.h"
#include "tests/support/reference_tools.h"

namespace imexp::test {
namespace {

using Bytes = std::vector<uint8_t>;

// A palette image in the manager's default write layout (packed rows). The
// 1-bit palette is the manager's black and white; the others are arbitrary.
ConverterImage MakeImage(uint16_t bits, uint32_t width, uint32_t height, unsigned seed) {
  auto next = [&seed] { return static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16); };
  ConverterImage image;
  image.desc.width = width;
  image.desc.height = height;
  image.desc.colorType = CONV_COLOR_PALETTE;
  image.desc.bitsPerPixel = bits;
  image.desc.planes = 1;
  image.desc.packedPixels = 1;
  image.desc.bytesPerLine = (width * bits + 7) / 8;
  for (int i = 0; i < 256; ++i) {
    for (int plane = 0; plane < 3; ++plane)
      image.palette[plane * 256 + i] = bits == 1 ? static_cast<uint8_t>(i == 1 ? 255 : 0) : next();
  }
  std::size_t rowBytes = (std::size_t{width} * bits + 7) / 8;
  for (uint32_t y = 0; y < height; ++y) {
    Bytes row(rowBytes);
    for (uint8_t& b : row) b = next();
    image.rows.push_back(row);
  }
  return image;
}

// What the image shows, through its palette.
RgbImage Expected(const ConverterImage& image) { return ConverterImageAsRgb(image); }

TEST(GifWriteTest, RoundTripsEveryLayoutAndSize) {
  TempDir dir;
  const std::string path = dir.File("round.gif");
  ConverterDriver gif("imexp_gif");
  for (uint16_t bits : {1, 4, 8}) {
    for (auto [width, height] :
         {std::pair(1u, 1u), std::pair(7u, 3u), std::pair(33u, 40u), std::pair(300u, 2u)}) {
      SCOPED_TRACE(testing::Message() << bits << " bits " << width << "x" << height);
      ConverterImage image = MakeImage(bits, width, height, width * 31 + height * 7 + bits);
      ASSERT_EQ(gif.Write(path, image), 0);
      RgbImage expected = Expected(image);
      ASSERT_EQ(RunCommand("giftopnm " + ShellQuote(path) + " > " + ShellQuote(dir.File("back.ppm"))), 0);
      RgbImage tool = ReadPnmAsRgb(dir.File("back.ppm"));
      EXPECT_EQ(LargestDifference(tool, expected), 0) << FirstDifference(tool, expected);
      ConverterImage back;
      ASSERT_EQ(gif.Read(path, back), 0);
      RgbImage ours = ConverterImageAsRgb(back);
      EXPECT_EQ(LargestDifference(ours, expected), 0) << FirstDifference(ours, expected);
    }
  }
}

TEST(GifWriteTest, RefusedAndFailingWrites) {
  TempDir dir;
  ConverterDriver gif("imexp_gif");
  ConverterImage rgb = MakeImage(8, 4, 1, 1);
  rgb.desc.colorType = CONV_COLOR_RGB;
  rgb.desc.bitsPerPixel = 24;
  rgb.rows = {Bytes(12)};
  const std::tuple<ConverterImage, int> cases[] = {
      {rgb, CONV_ERR_ILLEGAL_CONVERSION},
      {MakeImage(8, 32513, 1, 2), 21},
  };
  for (const auto& [image, error] : cases) EXPECT_EQ(gif.Write(dir.File("refused.gif"), image), error);
#ifndef _WIN32
  if (std::filesystem::exists("/dev/full")) {
    EXPECT_EQ(gif.Write("/dev/full", MakeImage(8, 300, 300, 3)), CONV_ERR_DISK_FULL);
  }
#endif
}

}  // namespace
}  // namespace imexp::test
