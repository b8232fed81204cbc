// The PCX and DCX converters as writers: exact pages, round trips through
// the readers for every layout and awkward sizes, and refused or failing
// writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/converter_driver.h"

namespace imexp::test {
namespace {

using Bytes = std::vector<uint8_t>;

// An image in the manager's default write layout (packed, red-green-blue)
// with a palette of its own; 1-bit images get the manager's black-white ramp.
ConverterImage MakeImage(uint16_t colorType, uint16_t bits, uint32_t width, uint32_t height,
                         unsigned seed = 1) {
  auto next = [&seed] { return static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16); };
  ConverterImage image;
  image.desc.width = width;
  image.desc.height = height;
  image.desc.colorType = colorType;
  image.desc.bitsPerPixel = bits;
  image.desc.resUnit = CONV_UNIT_DPI;
  image.desc.resX = 300;
  image.desc.resY = 150;
  for (uint8_t& b : image.palette) b = next();
  if (bits == 1) {
    for (int plane = 0; plane < 3; ++plane) {
      image.palette[plane * 256] = 0;
      image.palette[plane * 256 + 1] = 255;
    }
  }
  std::size_t rowBytes = (std::size_t{width} * bits + 7) / 8;
  for (uint32_t y = 0; y < height; ++y) {
    Bytes row(rowBytes);
    for (uint8_t& b : row) b = next();
    image.rows.push_back(row);
  }
  return image;
}

// Clears the bits after the last pixel, which carry no image.
Bytes Pixels(Bytes row, uint32_t width, uint32_t bits) {
  if (uint32_t used = width * bits % 8) row.back() &= static_cast<uint8_t>(0xFF00u >> used);
  return row;
}

uint16_t At16(const std::string& s, std::size_t at) {
  return static_cast<uint16_t>(uint8_t(s[at]) | uint8_t(s[at + 1]) << 8);
}

TEST(PcxWriteTest, ExactPages) {
  struct Case {
    const char* name;
    uint16_t colorType, bits;
    uint32_t width;
    Bytes row;
    std::tuple<int, int, int, int> layout;  // bits per plane, planes, bytes per line, palette info
    std::string data;
  };
  const Case cases[] = {
      // The stray bits after pixel 8 are cleared; a lone 0xFF needs a run of one.
      {"bilevel", 0, 1, 9, {0xFF, 0xFF}, {1, 1, 2, 2}, std::string("\xC1\xFF\x80", 3)},
      // Pixels 1, 2, 3: bit 0 in plane 0, bit 1 in plane 1. Runs stop at planes.
      {"16 colours", 2, 4, 3, {0x12, 0x30}, {1, 4, 2, 1}, std::string("\xA0\x00\x60\x00\xC2\x00\xC2\x00", 8)},
      {"256 colours", 2, 8, 2, {0xC5, 7}, {8, 1, 2, 1}, std::string("\xC1\xC5\x07", 3)},
      {"true colour", 3, 24, 1, {1, 2, 3}, {8, 3, 2, 1}, std::string("\1\0\2\0\3\0", 6)},
  };
  TempDir dir;
  std::string path = dir.File("page.pcx");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ConverterImage image = MakeImage(c.colorType, c.bits, c.width, 1);
    image.rows = {c.row};
    ASSERT_EQ(ConverterDriver("imexp_pcx").Write(path, image), 0);
    std::string file = ReadFileBytes(path);
    ASSERT_GE(file.size(), 128 + c.data.size());
    EXPECT_EQ(file.substr(0, 3), std::string("\x0A\x05\x01", 3));  // version 5, run-length coded
    EXPECT_EQ(std::tuple(int{file[3]}, int{file[65]}, int{At16(file, 66)}, int{At16(file, 68)}), c.layout);
    EXPECT_EQ(std::tuple(At16(file, 8), At16(file, 10), At16(file, 12), At16(file, 14)),
              std::tuple(uint16_t(c.width - 1), uint16_t{0}, uint16_t{300}, uint16_t{150}));
    EXPECT_EQ(file.substr(128, c.data.size()), c.data);
    // Only the 256-colour page carries its palette after the rows.
    std::string tail = file.substr(128 + c.data.size());
    ASSERT_EQ(tail.size(), c.bits == 8 ? 769u : 0u);
    if (c.bits == 8) {
      EXPECT_EQ(tail[0], '\x0C');
      EXPECT_EQ(uint8_t(tail[1 + 3 * 7 + 2]), image.palette[512 + 7]);
    }
  }
}

TEST(PcxWriteTest, DcxPutsOnePageBehindAFullTable) {
  TempDir dir;
  std::string path = dir.File("fax.dcx");
  ASSERT_EQ(ConverterDriver("imexp_dcx").Write(path, MakeImage(0, 1, 16, 4)), 0);
  std::string file = ReadFileBytes(path);
  ASSERT_GT(file.size(), 4100u + 128u);
  EXPECT_EQ(file.substr(0, 8), std::string("\xB1\x68\xDE\x3A\x04\x10\x00\x00", 8));
  EXPECT_EQ(file.substr(8, 4092), std::string(4092, '\0'));
  EXPECT_EQ(file[4100], '\x0A');
}

TEST(PcxWriteTest, RoundTripsEveryLayoutAndSize) {
  using Layout = std::tuple<int, int, int, int>;  // colour type and bits written; colour type and planes read
  const Layout layouts[] = {{0, 1, 2, 1}, {2, 4, 2, 4}, {2, 8, 2, 1}, {3, 24, 3, 3}};
  std::vector<std::pair<uint32_t, uint32_t>> sizes;
  for (uint32_t width : {1u, 3u, 7u, 9u, 33u}) {
    for (uint32_t height : {1u, 2u, 19u}) sizes.emplace_back(width, height);
  }
  // Rows of up to 15000 bytes: only two of them fit a band.
  sizes.emplace_back(5000, 5);
  TempDir dir;
  std::string path = dir.File("round.pcx");
  for (const char* target : {"imexp_pcx", "imexp_dcx"}) {
    ConverterDriver driver(target);
    for (const auto& [colorType, bits, readColorType, readPlanes] : layouts) {
      for (const auto& [width, height] : sizes) {
        SCOPED_TRACE(testing::Message() << target << " " << bits << " bits " << width << "x" << height);
        ConverterImage image =
            MakeImage(uint16_t(colorType), uint16_t(bits), width, height, width * 31 + height);
        ASSERT_EQ(driver.Write(path, image), 0);
        ConverterImage back;
        ASSERT_EQ(driver.Read(path, back), 0);
        const ConvImageDesc& d = back.desc;
        EXPECT_EQ(std::tuple(d.width, d.height, int{d.colorType}, int{d.bitsPerPixel}, int{d.planes}, d.resX,
                             d.resY),
                  std::tuple(width, height, readColorType, bits, readPlanes, 300u, 150u));
        for (uint32_t y = 0; y < height; ++y) {
          ASSERT_EQ(Pixels(FromConverterLayout(back.rows[y], d), width, bits),
                    Pixels(image.rows[y], width, bits))
              << "row " << y;
        }
        int entries = bits == 24 ? 0 : 1 << bits;
        for (int i = 0; i < entries; ++i) {
          for (int plane = 0; plane < 3; ++plane) {
            ASSERT_EQ(back.palette[plane * 256 + i], image.palette[plane * 256 + i]) << "entry " << i;
          }
        }
      }
    }
  }
}

TEST(PcxWriteTest, ResolutionBecomesDotsPerInch) {
  const std::tuple<uint16_t, uint32_t, uint32_t, uint16_t, uint16_t> cases[] = {
      {CONV_UNIT_DPI, 300, 150, 300, 150},
      {CONV_UNIT_DPCM, 118, 40, 300, 102},
      {CONV_UNIT_UNKNOWN, 640, 480, 0, 0},
      {CONV_UNIT_DPI, 70000, 1, 65535, 1},
  };
  TempDir dir;
  std::string path = dir.File("dpi.pcx");
  for (const auto& [unit, x, y, dpiX, dpiY] : cases) {
    ConverterImage image = MakeImage(3, 24, 2, 2);
    image.desc.resUnit = unit;
    image.desc.resX = x;
    image.desc.resY = y;
    ASSERT_EQ(ConverterDriver("imexp_pcx").Write(path, image), 0);
    std::string file = ReadFileBytes(path);
    EXPECT_EQ(std::tuple(At16(file, 12), At16(file, 14)), std::tuple(dpiX, dpiY)) << x;
  }
}

TEST(PcxWriteTest, RefusedAndFailingWrites) {
  const std::tuple<uint16_t, uint16_t, uint32_t, int> cases[] = {
      {0, 2, 4, CONV_ERR_ILLEGAL_CONVERSION},
      {2, 8, 32513, 21},
      {3, 24, 11000, CONV_ERR_FILE_TOO_BIG},  // three planes of 11000 bytes
  };
  TempDir dir;
  ConverterDriver pcx("imexp_pcx");
  for (const auto& [colorType, bits, width, error] : cases) {
    EXPECT_EQ(pcx.Write(dir.File("refused.pcx"), MakeImage(colorType, bits, width, 1)), error) << bits;
  }
#ifndef _WIN32
  // Only POSIX systems have a device that is always full.
  if (std::filesystem::exists("/dev/full")) {
    for (const char* target : {"imexp_pcx", "imexp_dcx"}) {
      EXPECT_EQ(ConverterDriver(target).Write("/dev/full", MakeImage(2, 8, 40, 40)), CONV_ERR_DISK_FULL);
    }
  }
#endif
}

}  // namespace
}  // namespace imexp::test
