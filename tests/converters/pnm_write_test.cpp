// The PNM converter as a writer: exact file bytes, round trips through the
// reader for every layout and awkward sizes, and refused or failing writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/converter_driver.h"

namespace imexp::test {
namespace {

using Bytes = std::vector<uint8_t>;

// An image in the manager's default write layout (packed, red-green-blue).
ConverterImage MakeImage(uint16_t colorType, uint16_t bits, uint32_t width, uint32_t height,
                         unsigned seed = 1) {
  ConverterImage image;
  image.desc.width = width;
  image.desc.height = height;
  image.desc.colorType = colorType;
  image.desc.bitsPerPixel = bits;
  // The manager's grey ramp for a 1-bit output: entry 1 is white.
  for (int plane = 0; plane < 3; ++plane) image.palette[plane * 256 + 1] = 255;
  std::size_t rowBytes = (std::size_t{width} * bits + 7) / 8;
  for (uint32_t y = 0; y < height; ++y) {
    Bytes row(rowBytes);
    for (uint8_t& b : row) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
    image.rows.push_back(row);
  }
  return image;
}

bool PixelBit(const Bytes& row, uint32_t x) { return (row[x / 8] >> (7 - x % 8)) & 1; }

TEST(PnmWriteTest, ExactFileBytes) {
  // Set bits are white for the manager and black in PBM; the bits after the
  // last pixel are written as 0.
  const std::tuple<uint16_t, uint16_t, uint32_t, std::vector<Bytes>, std::string> cases[] = {
      {0, 1, 9, {{0xF0, 0xFF}, {0x00, 0x00}}, std::string("P4\n9 2\n\x0F\x00\xFF\x80", 11)},
      {0, 8, 3, {{0, 128, 255}}, std::string("P5\n3 1\n255\n\x00\x80\xFF", 14)},
      {3, 24, 2, {{1, 2, 3, 4, 5, 6}}, "P6\n2 1\n255\n\1\2\3\4\5\6"},
  };
  TempDir dir;
  std::string path = dir.File("out.pnm");
  for (const auto& [colorType, bits, width, rows, file] : cases) {
    ConverterImage image = MakeImage(colorType, bits, width, static_cast<uint32_t>(rows.size()));
    image.rows = rows;
    ASSERT_EQ(ConverterDriver("imexp_pnm").Write(path, image), 0);
    EXPECT_EQ(ReadFileBytes(path), file) << bits;
  }
}

TEST(PnmWriteTest, RoundTripsEveryLayoutAndSize) {
  struct Layout {
    uint16_t colorType, bits;
  };
  TempDir dir;
  std::string path = dir.File("round.pnm");
  ConverterDriver driver("imexp_pnm");
  for (Layout layout : {Layout{0, 1}, Layout{0, 8}, Layout{3, 24}}) {
    // 6000: grey and RGB bands large enough to go to the file as they are.
    for (uint32_t width : {1u, 3u, 7u, 9u, 33u, 6000u}) {
      for (uint32_t height : {1u, 2u, 40u}) {
        SCOPED_TRACE(testing::Message() << layout.bits << " bits " << width << "x" << height);
        ConverterImage image = MakeImage(layout.colorType, layout.bits, width, height, width * 100 + height);
        ASSERT_EQ(driver.Write(path, image), 0);
        ConverterImage back;
        ASSERT_EQ(driver.Read(path, back), 0);
        ASSERT_EQ(back.desc.width, width);
        ASSERT_EQ(back.desc.height, height);
        ASSERT_EQ(back.desc.colorType, layout.colorType);
        for (uint32_t y = 0; y < height; ++y) {
          Bytes row = FromConverterLayout(back.rows[y], back.desc);
          if (layout.bits != 1) {
            ASSERT_EQ(row, image.rows[y]) << "row " << y;
            continue;
          }
          // Read back as PBM: 1 is black (invertedGray), the manager's 1 is white.
          ASSERT_EQ(back.desc.invertedGray, 1);
          for (uint32_t x = 0; x < width; ++x) ASSERT_NE(PixelBit(row, x), PixelBit(image.rows[y], x)) << x;
        }
      }
    }
  }
}

TEST(PnmWriteTest, RefusedAndFailingWrites) {
  const std::tuple<uint16_t, uint16_t, uint32_t, int> cases[] = {
      {2, 8, 4, CONV_ERR_ILLEGAL_CONVERSION},  // colour palettes go to PPM, never here
      {0, 4, 4, CONV_ERR_ILLEGAL_CONVERSION},
      {0, 8, 32513, 21},
      {3, 24, 20000, CONV_ERR_FILE_TOO_BIG},  // rows of 60000 bytes
  };
  TempDir dir;
  ConverterDriver pnm("imexp_pnm");
  for (const auto& [colorType, bits, width, error] : cases) {
    EXPECT_EQ(pnm.Write(dir.File("refused.pnm"), MakeImage(colorType, bits, width, 1)), error) << bits;
  }
#ifndef _WIN32
  // Only POSIX systems have a device that is always full.
  if (std::filesystem::exists("/dev/full")) {
    EXPECT_EQ(pnm.Write("/dev/full", MakeImage(3, 24, 5, 5)), CONV_ERR_DISK_FULL);
  }
#endif
}

}  // namespace
}  // namespace imexp::test
