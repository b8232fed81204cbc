// The BMP converter read and written through the test driver, which calls
// it exactly as the manager does.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/converters/bmp_test_files.h"
#include "tests/support/converter_driver.h"
#include "tests/support/test_support.h"

namespace imexp::test {
namespace {

using Rows = std::vector<std::vector<uint8_t>>;

constexpr char kConverter[] = "imexp_bmp";

std::vector<std::array<uint8_t, 3>> GreyPalette(int count) {
  std::vector<std::array<uint8_t, 3>> palette;
  for (int i = 0; i < count; ++i) {
    uint8_t v = static_cast<uint8_t>(i * 255 / (count - 1));
    palette.push_back({v, v, v});
  }
  return palette;
}

TEST(BmpConverterTest, DescribesItself) {
  ConverterDriver driver(kConverter);
  ASSERT_TRUE(driver.loaded());
  EXPECT_EQ(driver.Version(), 0x00030300u);
  ConvRecord record = driver.Record();
  EXPECT_STREQ(record.name, "BMP");
  EXPECT_LE(std::strlen(record.description), 39u);
  EXPECT_STREQ(record.extensions, "*.BMP;*.DIB;*.RLE");
  EXPECT_EQ(record.flags, 0x1Fu);
  EXPECT_EQ(record.writeFormats, 0x0FFu);
  EXPECT_EQ(record.writeResUnits, CONV_RES_DPCM);
}

struct ReadCase {
  const char* name;
  const char* formatName;
  const char* compression;
  BmpFields fields;
  uint16_t bits;  // as the descriptor gives them
  uint16_t accessMode;
  uint16_t rowOrder;
  Rows rows;  // top first, packed pixels or red-green-blue
  uint32_t dpcmX = 0;
  uint32_t dpcmY = 0;
};

std::vector<ReadCase> ReadCases() {
  // clang-format off
  std::vector<uint8_t> rle8 = {3, 5, 0, 3, 1, 2, 3, 0, 0, 0,  // 5 5 5, absolute 1 2 3 + pad, end of line
                               0, 2, 2, 1,                    // delta: the second row stays empty
                               2, 7, 0, 0,                    // from x = 2: 7 7, end of line
                               6, 9, 0, 1};                   // 9 x 6, end of bitmap
  std::vector<uint8_t> rle4 = {5, 0x12, 0, 0,                        // 1 2 1 2 1
                               0, 5, 0x34, 0x56, 0x60, 0, 0, 0,      // absolute 3 4 5 6 6 + pad
                               0, 2, 1, 0, 0, 4, 0x78, 0x9A, 0, 1};  // delta x + 1, absolute 7 8 9 10
  return {
      {"1 bit bottom-up, odd width", "Windows BMP v3", "",
       {.width = 9, .height = 2, .bits = 1, .ppmX = 2835, .ppmY = 3951,
        .palette = {{0, 0, 0}, {255, 255, 255}}, .pixels = StoredRows({{0xAA, 0x80}, {0x55, 0x00}})},
       1, 2, 2, {{0x55, 0x00}, {0xAA, 0x80}}, 28, 40},
      {"4 bit top-down, 3 colours", "Windows BMP v3", "",
       {.width = 3, .height = -2, .bits = 4, .colorsUsed = 3, .palette = {{9, 8, 7}, {6, 5, 4}, {3, 2, 1}},
        .pixels = StoredRows({{0x12, 0x30}, {0x21, 0x00}})},
       4, 1, 1, {{0x12, 0x30}, {0x21, 0x00}}},
      {"8 bit bottom-up", "Windows BMP v3", "",
       {.width = 2, .height = 2, .colorsUsed = 3, .palette = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}},
        .pixels = StoredRows({{0, 1}, {2, 0}})},
       8, 2, 2, {{2, 0}, {0, 1}}},
      {"24 bit bottom-up", "Windows BMP v4", "",
       {.headerSize = 108, .width = 2, .height = 2, .bits = 24,
        .pixels = StoredRows({{30, 20, 10, 60, 50, 40}, {3, 2, 1, 6, 5, 4}})},
       24, 2, 2, {{1, 2, 3, 4, 5, 6}, {10, 20, 30, 40, 50, 60}}},
      {"OS/2 1.x core header, short palette", "OS/2 BMP v1", "",
       {.headerSize = 12, .width = 3, .height = 1, .palette = {{10, 20, 30}, {40, 50, 60}},
        .pixels = StoredRows({{1, 0, 1}})},
       8, 2, 2, {{1, 0, 1}}},
      {"OS/2 2.x 64-byte header", "OS/2 BMP v2", "",
       {.headerSize = 64, .width = 2, .height = 1, .bits = 4, .colorsUsed = 2,
        .palette = {{0, 0, 0}, {1, 1, 1}}, .pixels = StoredRows({{0x10}})},
       4, 2, 2, {{0x10}}},
      {"16 bit 5-6-5 bit fields", "Windows BMP v3", "Bit fields",
       {.width = 5, .height = 1, .bits = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0x001F},
        .pixels = StoredRows({{0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0xFF, 0xFF, 0x10, 0x84}})},
       24, 2, 2, {{255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 132, 130, 132}}},
      {"16 bit default 5-5-5", "Windows BMP v3", "",
       {.width = 2, .height = 1, .bits = 16, .pixels = StoredRows({{0x00, 0x7C, 0x21, 0x04}})},
       24, 2, 2, {{255, 0, 0, 8, 8, 8}}},
      {"16 bit alpha bit fields behind the header", "Windows BMP v3", "Bit fields",
       {.width = 1, .height = 1, .bits = 16, .compression = 6, .masks = {0xF800, 0x07E0, 0x001F, 0},
        .pixels = StoredRows({{0xE0, 0x07}})},
       24, 2, 2, {{0, 255, 0}}},
      {"32 bit default", "Windows BMP v3", "",
       {.width = 1, .height = 2, .bits = 32, .pixels = StoredRows({{1, 2, 3, 0}, {4, 5, 6, 99}})},
       24, 2, 2, {{6, 5, 4}, {3, 2, 1}}},
      {"32 bit 10-bit masks in a v5 header, top-down", "Windows BMP v5", "Bit fields",
       {.headerSize = 124, .width = 1, .height = -1, .bits = 32, .compression = 3,
        .masks = {0x3FF00000, 0x000FFC00, 0x000003FF}, .pixels = {0x00, 0x00, 0xF8, 0x3F}},
       24, 1, 1, {{255, 128, 0}}},
      {"RLE8 with delta, end of line, absolute run", "Windows BMP v3", "RLE8",
       {.width = 6, .height = 4, .compression = 1, .colorsUsed = 10, .palette = GreyPalette(10),
        .pixels = rle8},
       8, 0, 2, {{9, 9, 9, 9, 9, 9}, {0, 0, 7, 7, 0, 0}, {0, 0, 0, 0, 0, 0}, {5, 5, 5, 1, 2, 3}}},
      {"RLE8 ending early", "Windows BMP v3", "RLE8",
       {.width = 2, .height = 3, .compression = 1, .colorsUsed = 5, .palette = GreyPalette(5),
        .pixels = {2, 4, 0, 1}},
       8, 0, 2, {{0, 0}, {0, 0}, {4, 4}}},
      {"RLE8 top-down", "Windows BMP v3", "RLE8",
       {.width = 2, .height = -2, .compression = 1, .colorsUsed = 3, .palette = GreyPalette(3),
        .pixels = {2, 1, 0, 0, 2, 2, 0, 1}},
       8, 0, 1, {{1, 1}, {2, 2}}},
      {"RLE4 with delta and padded absolute run", "Windows BMP v3", "RLE4",
       {.width = 5, .height = 3, .bits = 4, .compression = 2, .palette = GreyPalette(16), .pixels = rle4},
       4, 0, 2, {{0x07, 0x89, 0xA0}, {0x34, 0x56, 0x60}, {0x12, 0x12, 0x10}}},
      // Encoders that pad every row to four pixels run past the row's end.
      {"RLE8 runs past the row are cut at its end", "Windows BMP v3", "RLE8",
       {.width = 2, .height = 2, .compression = 1, .colorsUsed = 5, .palette = GreyPalette(5),
        .pixels = {4, 1, 0, 0, 0, 4, 2, 3, 4, 4, 0, 0, 0, 1}},
       8, 0, 2, {{2, 3}, {1, 1}}},
      {"RLE4 runs past the row are cut at its end", "Windows BMP v3", "RLE4",
       {.width = 3, .height = 1, .bits = 4, .compression = 2, .palette = GreyPalette(16),
        .pixels = {1, 0x50, 0, 4, 0x67, 0x89, 0, 1}},
       4, 0, 2, {{0x56, 0x70}}},
      {"RLE8 delta to the row after the last ends the image", "Windows BMP v3", "RLE8",
       {.width = 2, .height = 3, .compression = 1, .colorsUsed = 5, .palette = GreyPalette(5),
        .pixels = {2, 4, 0, 2, 0, 3, 0, 1}},
       8, 0, 2, {{0, 0}, {0, 0}, {4, 4}}},
      // The manager reads 1-bit images as black and white; two other colours
      // survive as a 4-bit image.
      {"1 bit, two colours, as 4 bits", "Windows BMP v3", "",
       {.width = 3, .height = 1, .bits = 1, .palette = {{200, 0, 0}, {0, 0, 90}},
        .pixels = StoredRows({{0xA0}})},
       4, 2, 2, {{0x10, 0x10}}},
      {"1 bit, white and black, stays 1 bit", "Windows BMP v3", "",
       {.width = 3, .height = 1, .bits = 1, .palette = {{255, 255, 255}, {0, 0, 0}},
        .pixels = StoredRows({{0xA0}})},
       1, 2, 2, {{0xA0}}},
  };
  // clang-format on
}

TEST(BmpConverterTest, ReadsKnownFiles) {
  ConverterDriver driver(kConverter);
  TempDir dir;
  for (const ReadCase& c : ReadCases()) {
    SCOPED_TRACE(c.name);
    std::string path = dir.File("image.bmp");
    WriteFileBytes(path, BuildBmp(c.fields));
    EXPECT_TRUE(driver.Check(path));
    ConvImageInfo info{};
    ASSERT_EQ(driver.Info(path, 0, &info), 0);
    EXPECT_STREQ(info.formatName, c.formatName);
    EXPECT_STREQ(info.compression, c.compression);
    EXPECT_EQ(info.bitsPerPixel, c.fields.bits);
    EXPECT_EQ(info.height, c.rows.size());
    EXPECT_EQ(info.resY, c.dpcmY);
    EXPECT_EQ(driver.Info(path, 1, &info), CONV_ERR_WRONG_IMAGE_NUMBER);
    // The manager's own band height, single rows, and bands that do not
    // divide the image.
    for (uint32_t bandRows : {0u, 1u, 3u}) {
      SCOPED_TRACE("band rows " + std::to_string(bandRows));
      ConverterImage image;
      ASSERT_EQ(driver.Read(path, image, bandRows), 0);
      const ConvImageDesc& d = image.desc;
      EXPECT_EQ(d.width, static_cast<uint32_t>(c.fields.width));
      EXPECT_EQ(d.height, c.rows.size());
      EXPECT_EQ(d.bitsPerPixel, c.bits);
      EXPECT_EQ(d.colorType, c.bits == 24 ? CONV_COLOR_RGB : CONV_COLOR_PALETTE);
      EXPECT_EQ(d.accessMode, c.accessMode);
      EXPECT_EQ(d.rowOrder, c.rowOrder);
      EXPECT_EQ(d.bgrOrder, c.bits == 24 ? 1 : 0);
      EXPECT_EQ(d.packedPixels != 0, c.bits < 8);
      EXPECT_EQ(d.resUnit, c.dpcmX != 0 ? CONV_UNIT_DPCM : CONV_UNIT_UNKNOWN);
      EXPECT_EQ(d.resX, c.dpcmX);
      EXPECT_EQ(d.resY, c.dpcmY);
      EXPECT_EQ(NormalRows(image), c.rows);
      std::vector<uint8_t> palette(CONV_PALETTE_BYTES, 0);
      for (std::size_t i = 0; i < c.fields.palette.size(); ++i) {
        for (std::size_t plane = 0; plane < 3; ++plane) palette[256 * plane + i] = c.fields.palette[i][plane];
      }
      EXPECT_EQ(image.palette, palette);
    }
  }
}

TEST(BmpConverterTest, ChecksContentWhereverTheFileStands) {
  ConverterDriver driver(kConverter);
  TempDir dir;
  std::string good = BuildBmp({.pixels = {0, 0, 0, 0}});
  std::string badHeaderSize = good;
  badHeaderSize[14] = static_cast<char>(200);
  for (const std::string& bytes : {badHeaderSize, "MB" + good.substr(2), good.substr(0, 17)}) {
    WriteFileBytes(dir.File("x.bmp"), bytes);
    EXPECT_FALSE(driver.Check(dir.File("x.bmp")));
  }
  // Candidates share one open file that nobody rewinds between them.
  WriteFileBytes(dir.File("x.bmp"), good);
  HFILE file = OpenConverterFile(dir.File("x.bmp"), false);
  ASSERT_NE(file, -1);
  ASSERT_EQ(ConvFileSeek(file, 7, CONV_SEEK_SET), 7);
  char ini[] = "";
  EXPECT_NE(driver.library().Get<RDCheckFileFn>("RDCheckFile")(file, ini), 0);
  CloseConverterFile(file);
}

TEST(BmpConverterTest, WordsErrorsWithTheFileTitle) {
  ConverterDriver driver(kConverter);
  for (int code = 21; code <= 27; ++code) {
    std::string text = driver.ErrorText(code, "pic.bmp");
    EXPECT_NE(text.find("pic.bmp"), std::string::npos) << code << ": " << text;
  }
  // The manager's own codes keep their meaning; codes nobody knows still get words.
  EXPECT_EQ(driver.ErrorText(CONV_ERR_WA_FAILURE, "pic.bmp"), "WA Failure");
  EXPECT_EQ(driver.ErrorText(CONV_ERR_WRONG_DLL_VERSION, "pic.bmp"), "Wrong custom DLL version pic.bmp");
  std::string unknown = driver.ErrorText(99, "pic.bmp");
  EXPECT_NE(unknown.find("99"), std::string::npos);
  EXPECT_NE(unknown.find("pic.bmp"), std::string::npos);
  EXPECT_EQ(driver.ErrorText(21, std::string(400, 't')).size(), 255u);
}

uint32_t Le32At(const std::string& bytes, std::size_t at) {
  uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value |= uint32_t{static_cast<uint8_t>(bytes[at + i])} << (8 * i);
  return value;
}

ConverterImage MakeImage(uint32_t width, uint32_t height, uint16_t colorType, uint16_t bits) {
  ConverterImage image;
  image.desc.width = width;
  image.desc.height = height;
  image.desc.colorType = colorType;
  image.desc.bitsPerPixel = bits;
  image.rows.assign(height, std::vector<uint8_t>((width * bits + 7) / 8, 0));
  return image;
}

TEST(BmpConverterTest, RoundTripsEveryDepthAndOddWidths) {
  ConverterDriver driver(kConverter);
  TempDir dir;
  std::string path = dir.File("out.bmp");
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return static_cast<uint8_t>(seed >> 16);
  };
  const uint32_t widths[] = {1, 3, 7, 9, 33};
  for (uint16_t bits : {1, 4, 8, 24}) {
    for (std::size_t w = 0; w < std::size(widths); ++w) {
      for (uint32_t height : {1u, 5u, 70u}) {
        uint32_t width = widths[w];
        SCOPED_TRACE(std::to_string(bits) + " bits, " + std::to_string(width) + " x " +
                     std::to_string(height));
        // Grey, grey-palette and colour images all become paletted files.
        ConverterImage image = MakeImage(width, height, bits == 24 ? 3 : static_cast<uint16_t>(w % 3), bits);
        image.desc.resUnit = CONV_UNIT_DPCM;
        image.desc.resX = 28;
        image.desc.resY = 39;
        uint32_t entries = bits == 24 ? 0 : 1u << bits;
        for (std::size_t i = 0; i < entries; ++i) {
          for (std::size_t plane = 0; plane < 3; ++plane) image.palette[256 * plane + i] = next();
        }
        // The bits after the last pixel come in set and must read back clear.
        std::size_t rowBytes = image.rows[0].size();
        uint8_t lastMask =
            static_cast<uint8_t>((width * bits) % 8 == 0 ? 0xFF : 0xFF00 >> (width * bits) % 8);
        Rows expected;
        for (auto& row : image.rows) {
          for (auto& b : row) b = next();
          expected.push_back(row);
          expected.back()[rowBytes - 1] &= lastMask;
        }
        ASSERT_EQ(driver.Write(path, image), 0);

        std::string bytes = ReadFileBytes(path);
        std::size_t stride = (width * bits + 31) / 32 * 4;
        std::size_t dataOffset = 54 + 4 * entries;
        ASSERT_EQ(bytes.size(), dataOffset + stride * height);
        EXPECT_EQ(Le32At(bytes, 10), dataOffset);
        EXPECT_EQ(Le32At(bytes, 38), 2800u);  // pixels per metre
        for (uint32_t r = 0; r < height; ++r) {
          EXPECT_EQ(bytes.substr(dataOffset + r * stride + rowBytes, stride - rowBytes),
                    std::string(stride - rowBytes, '\0'))
              << "padding of stored row " << r;
        }
        // The bottom row comes first.
        std::vector<uint8_t> bottom = expected.back();
        for (std::size_t x = 0; bits == 24 && x < width; ++x) std::swap(bottom[3 * x], bottom[3 * x + 2]);
        EXPECT_EQ(bytes.substr(dataOffset, rowBytes), std::string(bottom.begin(), bottom.end()));

        // Random colours: a 1-bit image of two colours reads back as 4 bits.
        if (bits == 1) {
          for (auto& row : expected) {
            std::vector<uint8_t> nibbles((width + 1) / 2, 0);
            for (uint32_t x = 0; x < width; ++x) {
              nibbles[x / 2] |=
                  static_cast<uint8_t>(((row[x / 8] >> (7 - x % 8)) & 1) << (x % 2 == 0 ? 4 : 0));
            }
            row = nibbles;
          }
        }
        ConverterImage back;
        ASSERT_EQ(driver.Read(path, back), 0);
        EXPECT_EQ(back.desc.bitsPerPixel, bits == 1 ? 4 : bits);
        EXPECT_EQ(NormalRows(back), expected);
        EXPECT_EQ(back.palette, image.palette);
        EXPECT_EQ(back.desc.resY, 39u);
      }
    }
  }
}

TEST(BmpConverterTest, RefusesLayoutsItCannotStore) {
  ConverterDriver driver(kConverter);
  TempDir dir;
  EXPECT_EQ(driver.Write(dir.File("x.bmp"), MakeImage(2, 2, 3, 8)), CONV_ERR_ILLEGAL_CONVERSION);
  EXPECT_EQ(driver.Write(dir.File("x.bmp"), MakeImage(2, 2, 2, 24)), CONV_ERR_ILLEGAL_CONVERSION);
  EXPECT_EQ(driver.Write(dir.File("x.bmp"), MakeImage(2, 2, 0, 16)), CONV_ERR_ILLEGAL_CONVERSION);
}

#ifndef _WIN32
// /dev/full, a device that fails every write with "no space", exists on POSIX only.
TEST(BmpConverterTest, ReportsAFullDisk) {
  ConverterDriver driver(kConverter);
  EXPECT_EQ(driver.Write("/dev/full", MakeImage(3, 2, 3, 24)), CONV_ERR_DISK_FULL);
}
#endif

}  // namespace
}  // namespace imexp::test
