// Pixels as imexp verify compares them: every row of a converter's layout
// turned into 8-bit RGB, the generated images it writes, and the rows it
// hands a writer in the layout the writer asked for.
#pragma once

#include <imexp/converter.h>

#include <cstdint>
#include <string>
#include <vector>

namespace imexp::cli::verify {

// 8-bit RGB, top row first.
struct RgbImage {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> rgb;
  uint8_t* Row(uint32_t row) { return rgb.data() + std::size_t{row} * width * 3; }
};

// Fills `out` (width x 3 bytes) from one row of the descriptor's layout.
void RowToRgb(const ConvImageDesc& desc, const uint8_t* row, uint8_t* out);

// An output layout of writeFormats.
struct WriteLayout {
  uint16_t colorType;
  uint16_t bits;
  std::string name;  // "grey 4 bits", "palette 8 bits", "RGB 24 bits"
};
std::vector<WriteLayout> LayoutsOf(uint32_t writeFormats);

// A generated image in one output layout: smooth ramps that lossy coding
// keeps close, an odd size, and a palette that changes slowly.
struct SourceImage {
  WriteLayout layout;
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint32_t> values;  // top row first: grey level, index, or 0xRRGGBB
  uint8_t palette[CONV_PALETTE_BYTES] = {};
  RgbImage ToRgb() const;
};
SourceImage MakeSource(const WriteLayout& layout);

// One row of the source in the layout of `desc` (the output bits as the
// manager fixed them, planes, packing and byte order as the writer asked).
void SourceRow(const SourceImage& image, const ConvImageDesc& desc, uint32_t row, uint8_t* out);

// Where two images differ most.
struct Difference {
  int largest = 0;  // over every channel of every pixel
  uint32_t row = 0;
  uint32_t column = 0;
};
Difference Compare(const RgbImage& a, const RgbImage& b);

}  // namespace imexp::cli::verify
