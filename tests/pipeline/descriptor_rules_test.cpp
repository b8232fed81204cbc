// The checks of a read descriptor and the band sizing of both directions.
#include "pipeline/descriptor_rules.h"

#include <gtest/gtest.h>

namespace imexp {
namespace {

ConvImageDesc Desc(uint32_t width, uint32_t height, uint16_t colorType, uint16_t bits, uint16_t planes,
                   uint32_t bytesPerLine) {
  ConvImageDesc d{};
  d.width = width;
  d.height = height;
  d.colorType = colorType;
  d.bitsPerPixel = bits;
  d.planes = planes;
  d.bytesPerLine = bytesPerLine;
  d.maxBandRows = 1;
  return d;
}

TEST(DescriptorRulesTest, ReadDescriptorConditions) {
  struct Case {
    const char* what;
    ConvImageDesc desc;
    int expected;
  } cases[] = {
      {"1 bit, 8 pixels in 1 byte", Desc(8, 1, 0, 1, 1, 1), 0},
      {"1 bit, 9 pixels in 1 byte", Desc(9, 1, 0, 1, 1, 1), 4},
      {"no width", Desc(0, 1, 0, 8, 1, 1), 4},
      {"no height", Desc(1, 0, 0, 8, 1, 1), 4},
      {"colour type 4", Desc(1, 1, 4, 8, 1, 1), 4},
      {"no bits", Desc(1, 1, 0, 0, 1, 1), 4},
      {"no planes", Desc(1, 1, 0, 8, 0, 1), 4},
      {"no bytes", Desc(1, 1, 0, 8, 1, 0), 4},
      {"3 planes of 24 bits", Desc(10, 1, 3, 24, 3, 10), 0},
      {"3 planes of 8 bits", Desc(10, 1, 0, 8, 3, 10), 4},
      {"4 planes of 4 bits", Desc(16, 1, 2, 4, 4, 2), 0},
      {"4 planes of 8 bits", Desc(16, 1, 2, 8, 4, 4), 4},
      {"2 planes", Desc(8, 1, 0, 8, 2, 8), 4},
      {"RGB of 8 bits", Desc(1, 1, 3, 8, 1, 1), 4},
      {"palette of 24 bits", Desc(1, 1, 2, 24, 1, 3), 4},
      {"width 32512", Desc(32512, 1, 0, 1, 1, 4064), 0},
      {"width 32513", Desc(32513, 1, 0, 1, 1, 4065), 4},
      {"height 32513", Desc(1, 32513, 0, 8, 1, 1), 4},
      {"bytes 32513", Desc(1, 1, 0, 8, 1, 32513), 4},
      {"9 bits grey", Desc(4, 1, 1, 9, 1, 8), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckReadDescriptor(c.desc), c.expected) << c.what;
}

TEST(DescriptorRulesTest, ReadBandSizing) {
  struct Case {
    uint32_t bytesPerLine;
    uint16_t planes;
    uint32_t maxBandRows;
    uint16_t fixedBand;
    int expectedError;
    uint32_t expectedRows;
  } cases[] = {
      {3000, 1, 100, 0, 0, 2},  {1000, 3, 100, 0, 0, 2},
      {10000, 1, 100, 0, 0, 1}, {40000, 1, 100, 0, 9, 1},
      {8192, 1, 5, 0, 0, 1},    {1, 1, 100, 0, 0, 100},
      {100, 1, 400, 1, 9, 400}, {100, 1, 300, 1, 0, 300},
      {10, 1, 0, 0, 4, 0},      {16, 1, 0x80000000u, 1, 9, 0x80000000u},
  };
  for (const Case& c : cases) {
    ConvImageDesc d = Desc(1, 1, 0, 8, c.planes, c.bytesPerLine);
    d.maxBandRows = c.maxBandRows;
    d.fixedBand = c.fixedBand;
    EXPECT_EQ(SizeReadBand(d), c.expectedError) << c.bytesPerLine << " x " << c.maxBandRows;
    if (c.expectedError != 4) {
      EXPECT_EQ(d.bandRows, c.expectedRows) << c.bytesPerLine << " x " << c.maxBandRows;
    }
  }
}

TEST(DescriptorRulesTest, WriteBandSizing) {
  struct Case {
    uint32_t bytesPerLine;
    uint16_t planes;
    uint32_t maxBandRows;
    uint16_t fixedBand;
    int expectedError;
    uint32_t expectedRows;
  } cases[] = {
      {40000, 1, 1, 0, 9, 0},   {1000, 1, 100, 0, 0, 32}, {1000, 1, 1, 0, 0, 1}, {8, 4, 5000, 0, 0, 1016},
      {100, 1, 400, 1, 9, 400}, {100, 1, 0, 1, 9, 0},     {0, 1, 10, 0, 9, 0},   {10, 0, 10, 0, 9, 0},
  };
  for (const Case& c : cases) {
    ConvImageDesc d = Desc(1, 1, 0, 8, c.planes, c.bytesPerLine);
    d.maxBandRows = c.maxBandRows;
    d.fixedBand = c.fixedBand;
    EXPECT_EQ(SizeWriteBand(d), c.expectedError) << c.bytesPerLine << " x " << c.maxBandRows;
    if (c.expectedError == 0) {
      EXPECT_EQ(d.bandRows, c.expectedRows) << c.bytesPerLine << " x " << c.maxBandRows;
    }
  }
}

TEST(DescriptorRulesTest, ChosenAccess) {
  struct Case {
    uint16_t accessMode, rowOrder, expected;
  } cases[] = {{0, 2, 0}, {1, 1, 1}, {2, 2, 2}, {3, 2, 2}, {3, 1, 1}, {3, 0, 0}};
  for (const Case& c : cases) {
    ConvImageDesc d = Desc(1, 1, 0, 8, 1, 1);
    d.accessMode = c.accessMode;
    d.rowOrder = c.rowOrder;
    ASSERT_EQ(SizeReadBand(d), 0);
    EXPECT_EQ(d.chosenAccess, c.expected) << c.accessMode << "/" << c.rowOrder;
  }
}

}  // namespace
}  // namespace imexp
