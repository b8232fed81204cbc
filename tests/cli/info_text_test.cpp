// The Image Info texts: grouped colour counts, the odd order of the colour
// type strings, formats filled by hand, and an image held in memory.
#include <gtest/gtest.h>
#include <imexp/host.h>

#include <cstring>

#include "resource_ids.h"
#include "tools/imexp/info_text.h"

namespace imexp::cli {
namespace {

TEST(InfoText, ColourCountsAreCappedAndGrouped) {
  const std::pair<unsigned, const char*> cases[] = {
      {0, "1"},          {1, "2"},           {8, "256"},         {10, "1,024"},        {16, "65,536"},
      {20, "1,048,576"}, {24, "16,777,216"}, {32, "16,777,216"}, {65535, "16,777,216"}};
  for (const auto& [bits, text] : cases) EXPECT_EQ(GroupDigits(ColourCount(bits)), text) << bits;
  EXPECT_EQ(GroupDigits(999), "999");
  EXPECT_EQ(GroupDigits(1000), "1,000");
  EXPECT_EQ(GroupDigits(1000000), "1,000,000");
}

TEST(InfoText, ColourTypeNamesFollowTheTablesOrder) {
  const unsigned expected[] = {16, 17, 18, 21, 19, 20, 22, 23, 24};
  for (unsigned type = 0; type < 9; ++type) EXPECT_EQ(ColourTypeStringId(type), expected[type]) << type;
  EXPECT_EQ(ColourTypeStringId(9), 0u);
  EXPECT_EQ(ColourTypeStringId(0xFFFF), 0u);
}

TEST(InfoText, FormatsAreFilledWithoutPrintf) {
  EXPECT_EQ(FillNumbers("%u X %u dot/inch", 300, 200), "300 X 200 dot/inch");
  EXPECT_EQ(FillNumbers("<Unknown>", 1, 2), "<Unknown>");
  // Directives beyond the two numbers, or of another kind, stay text.
  EXPECT_EQ(FillNumbers("%u %u %u %s %d 100%%", 1, 2), "1 2 %u %s %d 100%");
  EXPECT_EQ(FillNumbers("%", 1, 2), "%");
  EXPECT_EQ(FillText("Cannot open file %s", "a.bmp"), "Cannot open file a.bmp");
  EXPECT_EQ(FillText("No enough memory", "a.bmp"), "No enough memory");
  EXPECT_EQ(FillText("%s %s %n", "x"), "x %s %n");
}

TEST(InfoText, RecordFieldsAreReadWithinTheirSize) {
  ConvImageInfo info{};
  std::memset(info.title, 'T', sizeof info.title);  // no terminator at all
  info.formatName[0] = 'B';
  info.width = 640;
  info.height = 480;
  info.colorType = 40;  // beyond the table
  info.bitsPerPixel = 10;
  info.resUnit = 9;  // beyond the table
  info.imageCount = 5;
  info.imageIndex = 1;
  auto strings = [](unsigned id) { return "#" + std::to_string(id); };
  std::vector<InfoLine> lines = DescribeImage(info, strings);
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0].value, std::string(sizeof info.title, 'T'));
  EXPECT_EQ(lines[1].value, "B");
  EXPECT_EQ(lines[2].value, "");
  EXPECT_EQ(lines[3].value, "640 X 480");
  EXPECT_EQ(lines[4].label, "Image :");
  EXPECT_EQ(lines[4].value, "2 / 5");
  EXPECT_EQ(lines[5].value, "1,024");
  EXPECT_EQ(lines[6].value, "");
  EXPECT_EQ(lines[7].value, "#" + std::to_string(IDS_UNCOMPRESSED));

  info.imageCount = 1;
  info.resUnit = CONV_UNIT_DPCM;
  info.resX = 28;
  info.resY = 30;
  std::memcpy(info.compression, "RLE8", 5);
  lines = DescribeImage(info,
                        [](unsigned id) { return id == IDS_RES_DPCM ? std::string("%u X %u dot/cm") : ""; });
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[5].value, "28 X 30 dot/cm");
  EXPECT_EQ(lines[6].value, "RLE8");
}

struct HeldCase {
  int hostType;
  unsigned bits;
  int resolutionX, resolutionY;
  const char* type;  // the string ID as the loader below gives it
  const char* colors;
  const char* resolution;
};

// A held image is named by its layout; a resolution is known only in both
// directions.
TEST(InfoText, HeldImagesAreNamedByTheirLayout) {
  const HeldCase cases[] = {
      {HIT_BILEVEL, 1, 300, 300, "#16", "2", "300 X 300 dot/inch"},
      {HIT_PAL16, 4, 0, 0, "#18", "16", "#32"},
      {HIT_PAL256, 8, 72, 0, "#18", "256", "#32"},
      {HIT_GRAY256, 8, 0, 96, "#16", "256", "#32"},
      {HIT_RGB24, 24, 96, 120, "#21", "16,777,216", "96 X 120 dot/inch"},
      {0, 0, 0, 0, "", "1", "#32"},
  };
  auto strings = [](unsigned id) {
    return id == IDS_RES_DPI ? "%u X %u dot/inch" : "#" + std::to_string(id);
  };
  for (const HeldCase& c : cases) {
    SCOPED_TRACE(c.hostType);
    std::vector<InfoLine> lines =
        DescribeHeldImage({"/a/b.pcx", 61, 41, c.hostType, c.bits, c.resolutionX, c.resolutionY}, strings);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].value, "/a/b.pcx");
    EXPECT_EQ(lines[1].value, "61 X 41");
    EXPECT_EQ(lines[2].value, c.type);
    EXPECT_EQ(lines[3].value, c.colors);
    EXPECT_EQ(lines[4].value, c.resolution);
  }
}

}  // namespace
}  // namespace imexp::cli
