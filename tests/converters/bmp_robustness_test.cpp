// Damaged and lying BMP files: each must end in an error code (or, where the
// damage is harmless, a normal read), never in a crash or a stray access.
// The suite also runs under AddressSanitizer.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "tests/converters/bmp_test_files.h"
#include "tests/support/converter_driver.h"
#include "tests/support/test_support.h"

namespace imexp::test {
namespace {

constexpr int kBadHeader = 21;
constexpr int kBadDimensions = 22;
constexpr int kUnsupportedDepth = 23;
constexpr int kUnsupportedCompression = 24;
constexpr int kPaletteTooLarge = 25;
constexpr int kBadBitFields = 26;
constexpr int kBadDataOffset = 27;

// By default 8 bits, 3 x 3, four palette entries: 54 + 16 header bytes, then 3 rows of 4.
BmpFields Fields(int32_t width = 3, int32_t height = 3, uint16_t bits = 8, uint32_t compression = 0,
                 uint32_t colorsUsed = 4) {
  return {.width = width,
          .height = height,
          .bits = bits,
          .compression = compression,
          .colorsUsed = colorsUsed,
          .palette = {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {3, 3, 3}},
          .pixels = StoredRows({{0, 1, 2}, {3, 2, 1}, {0, 0, 3}})};
}

BmpFields WithOffset(int64_t dataOffset) {
  BmpFields fields = Fields();
  fields.dataOffset = dataOffset;
  return fields;
}

BmpFields Masked(std::vector<uint32_t> masks) {
  BmpFields fields = Fields(3, 3, 16, 3);
  fields.masks = std::move(masks);
  fields.palette.clear();
  return fields;
}

BmpFields Rle(uint16_t bits, int32_t width, int32_t height, std::vector<uint8_t> data) {
  BmpFields fields = Fields(width, height, bits, bits == 8 ? 1 : 2, 2);
  fields.pixels = std::move(data);
  return fields;
}

struct BadFile {
  std::string name;
  std::string bytes;
  int code;
};

std::vector<BadFile> BadFiles() {
  std::string base = BuildBmp(Fields());
  std::vector<BadFile> files;
  // clang-format off
  struct { std::size_t size; int code; } cuts[] = {
      {0, CONV_ERR_UNKNOWN_FORMAT}, {1, CONV_ERR_UNKNOWN_FORMAT}, {2, CONV_ERR_END_OF_FILE},
      {17, CONV_ERR_END_OF_FILE}, {18, CONV_ERR_END_OF_FILE}, {53, CONV_ERR_END_OF_FILE},
      {60, CONV_ERR_END_OF_FILE}, {70, CONV_ERR_END_OF_FILE}, {75, CONV_ERR_END_OF_FILE},
      {81, CONV_OK}};  // only the last row's padding is missing
  // clang-format on
  for (const auto& cut : cuts) {
    files.push_back({"cut at " + std::to_string(cut.size), base.substr(0, cut.size), cut.code});
  }
  for (uint32_t headerSize : {0u, 13u, 41u, 200u}) {
    std::string bytes = base;
    PutBytes(bytes, 14, headerSize, 4);
    files.push_back({"header size " + std::to_string(headerSize), bytes, kBadHeader});
  }
  std::string cutMasks = BuildBmp(Masked({0xF800, 0x07E0, 0x001F}));
  files.push_back({"cut inside the masks", cutMasks.substr(0, 60), CONV_ERR_END_OF_FILE});
  BmpFields widest = Fields(32512, 1);
  widest.pixels.assign(32512, 1);

  struct {
    const char* name;
    BmpFields fields;
    int code;
  } lies[] = {
      // clang-format off
      {"width 0", Fields(0), kBadDimensions},
      {"negative width", Fields(-5), kBadDimensions},
      {"height INT32_MIN", Fields(3, INT32_MIN), kBadDimensions},
      {"width 32513", Fields(32513), CONV_ERR_FILE_TOO_BIG},
      {"height -32513", Fields(3, -32513), CONV_ERR_FILE_TOO_BIG},
      {"width * bits overflows", Fields(INT32_MAX, 3, 32), CONV_ERR_FILE_TOO_BIG},
      {"24-bit row over 32512 bytes", Fields(10838, 3, 24), CONV_ERR_FILE_TOO_BIG},
      {"width 32512 is fine", widest, CONV_OK},
      {"0 bits", Fields(3, 3, 0), kUnsupportedDepth},
      {"2 bits", Fields(3, 3, 2), kUnsupportedDepth},
      {"compression 7", Fields(3, 3, 8, 7), kUnsupportedCompression},
      {"RLE8 on 4 bits", Fields(3, 3, 4, 1), kUnsupportedCompression},
      {"bit fields on 8 bits", Fields(3, 3, 8, 3), kUnsupportedCompression},
      {"257 colours on 8 bits", Fields(3, 3, 8, 0, 257), kPaletteTooLarge},
      {"pixels beyond a 1-entry palette", Fields(3, 3, 8, 0, 1), CONV_OK},
      {"empty mask", Masked({0, 0x07E0, 0x001F}), kBadBitFields},
      {"overlapping masks", Masked({0xF800, 0x0FE0, 0x001F}), kBadBitFields},
      {"mask with a hole", Masked({0xF0F0, 0x0F00, 0x000F}), kBadBitFields},
      {"mask past 16 bits", Masked({0x1F0000, 0x07E0, 0x001F}), kBadBitFields},
      {"data offset 0", WithOffset(0), kBadDataOffset},
      {"data offset inside the header", WithOffset(20), kBadDataOffset},
      {"data offset past the end", WithOffset(0xFFFFFFF0), CONV_ERR_END_OF_FILE},
      {"RLE run past the row is cut", Rle(8, 2, 2, {3, 1, 0, 1}), CONV_OK},
      {"RLE absolute run past the row is cut", Rle(8, 2, 2, {0, 3, 1, 1, 1, 0, 0, 1}), CONV_OK},
      {"RLE delta two rows past the last", Rle(8, 2, 2, {0, 2, 0, 3}), CONV_ERR_DECOMPRESSOR},
      {"RLE delta past the right edge", Rle(8, 2, 2, {0, 2, 3, 0}), CONV_ERR_DECOMPRESSOR},
      {"RLE delta to the row after the last", Rle(4, 2, 2, {0, 2, 0, 2}), CONV_OK},
      {"RLE absolute run past the data", Rle(8, 8, 2, {0, 6, 1, 1}), CONV_ERR_END_OF_FILE},
      {"RLE data ending mid-image", Rle(8, 2, 3, {2, 1, 0, 0}), CONV_ERR_END_OF_FILE},
      {"RLE without data", Rle(8, 2, 3, {}), CONV_ERR_END_OF_FILE},
      {"RLE cut after the last pixel", Rle(8, 2, 2, {2, 1, 0, 0, 2, 1}), CONV_OK},
      // clang-format on
  };
  for (const auto& lie : lies) files.push_back({lie.name, BuildBmp(lie.fields), lie.code});
  return files;
}

TEST(BmpRobustnessTest, DamagedFilesFailCleanly) {
  ConverterDriver driver("imexp_bmp");
  TempDir dir;
  std::string path = dir.File("bad.bmp");
  for (const BadFile& file : BadFiles()) {
    SCOPED_TRACE(file.name);
    WriteFileBytes(path, file.bytes);
    ConverterImage image;
    EXPECT_EQ(driver.Read(path, image), file.code);
    // Information comes from the same header checks.
    ConvImageInfo info{};
    int infoCode = driver.Info(path, 0, &info);
    if (file.code >= kBadHeader) {
      EXPECT_EQ(infoCode, file.code);
    }
    static_cast<void>(driver.Check(path));
  }
}

}  // namespace
}  // namespace imexp::test
