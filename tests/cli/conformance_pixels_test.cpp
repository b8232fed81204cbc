// The rows imexp verify hands a writer and the rows it reads back must mean
// the same pixels in every layout a converter may ask for, or the kit would
// blame a converter for its own mistake.
#include "tools/imexp/verify/conformance_pixels.h"

#include <gtest/gtest.h>

#include <cstring>

namespace imexp::cli::verify {
namespace {

TEST(ConformancePixels, EveryWriterLayoutReadsBackAsWritten) {
  struct Case {
    uint32_t formats;  // the layout of writeFormats
    uint16_t planes;
    int32_t packed;
    int32_t bgr;
  } cases[] = {
      {WF_GRAY1, 1, 1, 0}, {WF_GRAY1, 1, 0, 0},   {WF_GRAY4, 1, 1, 0},   {WF_GRAY4, 1, 0, 0},
      {WF_GRAY4, 4, 1, 0}, {WF_GRAY8, 1, 1, 0},   {WF_PAL4, 1, 1, 0},    {WF_PAL4, 4, 1, 0},
      {WF_PAL8, 1, 1, 0},  {WF_RGB24_1, 1, 1, 0}, {WF_RGB24_1, 1, 1, 1}, {WF_RGB24_1, 3, 1, 0},
  };
  for (const Case& c : cases) {
    std::vector<WriteLayout> layouts = LayoutsOf(c.formats);
    ASSERT_EQ(layouts.size(), 1u);
    SourceImage image = MakeSource(layouts[0]);
    SCOPED_TRACE(layouts[0].name + ", " + std::to_string(c.planes) + " planes, packed " +
                 std::to_string(c.packed) + ", bgr " + std::to_string(c.bgr));
    ConvImageDesc d{};
    d.width = image.width;
    d.height = image.height;
    d.colorType = image.layout.colorType;
    d.bitsPerPixel = image.layout.bits;
    d.planes = c.planes;
    const uint32_t bitsPerPlane = c.planes > 1 ? image.layout.bits / c.planes : image.layout.bits;
    d.bytesPerLine = c.packed ? (d.width * bitsPerPlane + 7) / 8 : d.width * (bitsPerPlane == 24 ? 3 : 1);
    d.packedPixels = c.packed;
    d.bgrOrder = c.bgr;
    d.palette = image.palette;
    RgbImage expected = image.ToRgb();
    std::vector<uint8_t> row(std::size_t{d.planes} * d.bytesPerLine);
    std::vector<uint8_t> rgb(std::size_t{d.width} * 3);
    for (uint32_t y = 0; y < d.height; ++y) {
      SourceRow(image, d, y, row.data());
      RowToRgb(d, row.data(), rgb.data());
      ASSERT_EQ(0, std::memcmp(rgb.data(), expected.Row(y), rgb.size())) << "row " << y;
    }
  }
}

TEST(ConformancePixels, AnyLayoutsExpandToOneToEightBits) {
  std::vector<WriteLayout> layouts = LayoutsOf(WF_GRAY_ANY | WF_GRAY8 | WF_PAL_ANY | WF_RGB24_2 | WF_RGB24_3);
  std::vector<std::string> names;
  for (const WriteLayout& l : layouts) names.push_back(l.name);
  EXPECT_EQ(names, (std::vector<std::string>{"grey 8 bits", "grey 1 bits", "grey 4 bits", "palette 1 bits",
                                             "palette 4 bits", "palette 8 bits", "RGB 24 bits"}));
}

}  // namespace
}  // namespace imexp::cli::verify
