// Every source layout read as every host image type it can be read as: the
// bytes each host row receives, the palette, and the row order. Expected
// rows come from the pixel values and the documented host layouts, for odd
// and even widths.
#include <random>

#include "tests/reading/read_fixture.h"

namespace imexp::test {
namespace {

struct Layout {
  const char* name;
  int bits;
  int planes;
  int packed;
  int bgr;  // 24-bit single plane only
};

const Layout kLayouts[] = {
    {"A 1 bit packed", 1, 1, 1, 0}, {"B 1 bit bytes", 1, 1, 0, 0},   {"C 2 bits bytes", 2, 1, 0, 0},
    {"C 3 bits bytes", 3, 1, 0, 0}, {"D 4 bits packed", 4, 1, 1, 0}, {"E 4 bits bytes", 4, 1, 0, 0},
    {"F 4 planes", 4, 4, 1, 0},     {"G 6 bits bytes", 6, 1, 0, 0},  {"G 8 bits", 8, 1, 1, 0},
    {"H 24 bits RGB", 24, 1, 1, 0}, {"H 24 bits BGR", 24, 1, 1, 1},  {"I 24 bits planes", 24, 3, 1, 0},
};

// How the converter describes its colors.
enum class Colors { kColorPalette, kGrey, kGreyInverted, kGreyPalette };

struct Pixel {
  uint8_t index = 0;  // for 8 or fewer bits
  uint8_t r = 0, g = 0, b = 0;
};

std::vector<uint8_t> EncodeSource(const Layout& l, const std::vector<Pixel>& pixels, uint32_t* bytesPerLine) {
  uint32_t w = static_cast<uint32_t>(pixels.size());
  std::vector<uint8_t> row;
  auto setBit = [&](std::size_t offset, uint32_t x) {
    row[offset + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
  };
  if (l.planes == 4) {
    *bytesPerLine = (w + 7) / 8;
    row.assign(4 * *bytesPerLine, 0);
    for (uint32_t x = 0; x < w; ++x) {
      for (uint32_t p = 0; p < 4; ++p) {
        if ((pixels[x].index >> p) & 1) setBit(p * *bytesPerLine, x);
      }
    }
  } else if (l.planes == 3) {
    *bytesPerLine = w;
    row.assign(3 * w, 0);
    for (uint32_t x = 0; x < w; ++x) {
      row[x] = pixels[x].r;
      row[w + x] = pixels[x].g;
      row[2 * w + x] = pixels[x].b;
    }
  } else if (l.bits == 24) {
    *bytesPerLine = 3 * w;
    for (const Pixel& p : pixels) {
      row.push_back(l.bgr ? p.b : p.r);
      row.push_back(p.g);
      row.push_back(l.bgr ? p.r : p.b);
    }
  } else if (l.bits == 1 && l.packed) {
    *bytesPerLine = (w + 7) / 8;
    row.assign(*bytesPerLine, 0);
    for (uint32_t x = 0; x < w; ++x) {
      if (pixels[x].index) setBit(0, x);
    }
  } else if (l.bits == 4 && l.packed) {
    *bytesPerLine = (w + 1) / 2;
    row.assign(*bytesPerLine, 0);
    for (uint32_t x = 0; x < w; ++x)
      row[x / 2] |= static_cast<uint8_t>(x % 2 ? pixels[x].index : pixels[x].index << 4);
  } else {
    *bytesPerLine = w;
    for (const Pixel& p : pixels) row.push_back(p.index);
  }
  return row;
}

struct Expectation {
  int hostType = 0;             // 0: the read fails with CONV_ERR_ILLEGAL_CONVERSION
  std::vector<uint8_t> planes;  // palette planes the host sees (8 or fewer bits)
  bool invert = false;          // bilevel rows complemented
  bool lookUp = false;          // grey rows looked up in the palette
};

std::vector<uint8_t> Ramp(int bits, bool inverted) {
  std::vector<uint8_t> planes(768, 0);
  int max = (1 << bits) - 1;
  for (int i = 0; i <= max; ++i) {
    int v = i * 255 / max;
    if (inverted) v = 255 - v;
    planes[i] = planes[256 + i] = planes[512 + i] = static_cast<uint8_t>(v);
  }
  return planes;
}

Expectation Expect(const Layout& l, Colors colors, const std::vector<uint8_t>& palette, int accepted) {
  Expectation e;
  bool color = l.bits == 24 || (colors == Colors::kColorPalette && l.bits > 1);
  if (l.bits <= 8) {
    if (l.bits == 1 && colors == Colors::kColorPalette) {
      e.planes = Ramp(1, palette[0] > palette[1]);
      e.invert = palette[0] > palette[1];
    } else if (colors == Colors::kColorPalette) {
      e.planes = palette;
    } else if (colors == Colors::kGreyPalette) {
      e.planes = palette;
      for (int i = 0; i < 256; ++i) e.planes[256 + i] = e.planes[512 + i] = e.planes[i];
    } else {
      e.planes = Ramp(l.bits, colors == Colors::kGreyInverted);
      e.invert = colors == Colors::kGreyInverted;
    }
  }
  bool paletteFlag = colors == Colors::kGreyPalette || (color && l.bits <= 8);
  if (accepted == HIT_BILEVEL && l.bits == 1) e.hostType = HIT_BILEVEL;
  if (accepted == HIT_PAL16 && l.bits <= 4) e.hostType = HIT_PAL16;
  if (accepted == HIT_GRAY256 && l.bits <= 8 && !color) e.hostType = HIT_GRAY256;
  if (accepted == HIT_PAL256 && l.bits <= 8) e.hostType = HIT_PAL256;
  if (accepted == HIT_RGB24) e.hostType = HIT_RGB24;
  e.lookUp = paletteFlag || l.bits < 8;
  return e;
}

std::vector<uint8_t> ExpectedHostRow(const Expectation& e, const std::vector<Pixel>& pixels, int bits) {
  std::vector<uint8_t> row(HostRowSize(static_cast<unsigned>(pixels.size()), e.hostType), 0);
  for (std::size_t x = 0; x < pixels.size(); ++x) {
    uint8_t v = pixels[x].index;
    switch (e.hostType) {
      case HIT_BILEVEL:
        if (v) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        break;
      case HIT_PAL16:
        row[x / 2] |= static_cast<uint8_t>(x % 2 ? v : v << 4);
        break;
      case HIT_PAL256:
        row[x] = v;
        break;
      case HIT_GRAY256:
        row[x] = e.lookUp ? e.planes[v] : v;
        break;
      default:
        if (bits <= 8) {
          row[3 * x] = e.planes[512 + v];
          row[3 * x + 1] = e.planes[256 + v];
          row[3 * x + 2] = e.planes[v];
        } else {
          row[3 * x] = pixels[x].b;
          row[3 * x + 1] = pixels[x].g;
          row[3 * x + 2] = pixels[x].r;
        }
    }
  }
  if (e.invert && e.hostType == HIT_BILEVEL) {
    for (uint8_t& b : row) b = static_cast<uint8_t>(~b);
  }
  return row;
}

class ReadLayoutsTest : public ReadTest {
 protected:
  void SetUp() override { SetUpManager(); }
};

TEST_F(ReadLayoutsTest, EveryLayoutAsEveryHostType) {
  std::mt19937 random(1234);
  const Colors kColors[] = {Colors::kColorPalette, Colors::kGrey, Colors::kGreyInverted,
                            Colors::kGreyPalette};
  const int kTypes[] = {HIT_BILEVEL, HIT_PAL16, HIT_PAL256, HIT_GRAY256, HIT_RGB24};
  int reads = 0;
  for (const Layout& l : kLayouts) {
    for (Colors colors : kColors) {
      if (l.bits == 24 && colors != Colors::kColorPalette) continue;
      if (l.bits == 1 && colors == Colors::kGreyPalette) continue;
      for (int accepted : kTypes) {
        for (uint32_t width : {1u, 2u, 7u, 8u, 9u, 17u}) {
          SCOPED_TRACE(std::string(l.name) + " colors " + std::to_string(static_cast<int>(colors)) +
                       " type " + std::to_string(accepted) + " width " + std::to_string(width));
          std::vector<uint8_t> palette(768);
          for (uint8_t& b : palette) b = static_cast<uint8_t>(random());
          if (colors == Colors::kGreyPalette) palette[0] = palette[1] = 200;  // certainly not a ramp
          const uint32_t height = 3;
          TestImage image;
          std::vector<std::vector<Pixel>> pixels(height, std::vector<Pixel>(width));
          uint32_t bytesPerLine = 0;
          for (auto& row : pixels) {
            for (Pixel& p : row) {
              p.index = static_cast<uint8_t>(random() & ((1u << std::min(l.bits, 8)) - 1));
              p.r = static_cast<uint8_t>(random());
              p.g = static_cast<uint8_t>(random());
              p.b = static_cast<uint8_t>(random());
            }
            image.rows.push_back(EncodeSource(l, row, &bytesPerLine));
          }
          int colorType = l.bits == 24                      ? 3
                          : colors == Colors::kColorPalette ? 2
                          : colors == Colors::kGreyPalette  ? 1
                                                            : 0;
          image.Set("width", width).Set("height", height).Set("bitsPerPixel", l.bits).Set("planes", l.planes);
          image.Set("bytesPerLine", bytesPerLine).Set("packedPixels", l.packed).Set("bgrOrder", l.bgr);
          image.Set("colorType", colorType).Set("invertedGray", colors == Colors::kGreyInverted);
          image.Set("palette", HexBytes(palette)).Set("accessMode", 1).Set("maxBandRows", 2);

          auto outcome = Read(WriteImage(image), accepted);
          ++reads;
          Expectation e = Expect(l, colors, palette, accepted);
          if (e.hostType == 0) {
            EXPECT_EQ(outcome->result, 0);
            ASSERT_EQ(outcome->boxes.size(), 1u);
            EXPECT_EQ(outcome->boxes[0].text, "Illegal conversion requested");
            EXPECT_TRUE(outcome->calls.empty());
            continue;
          }
          ASSERT_EQ(outcome->result, 1);
          EXPECT_EQ(outcome->image.type, e.hostType);
          if (l.bits <= 8) {
            ASSERT_EQ(outcome->image.palette.size(), 1u << l.bits);
            for (std::size_t i = 0; i < outcome->image.palette.size(); ++i) {
              const ImExpPaletteEntry& entry = outcome->image.palette[i];
              ASSERT_EQ(entry.red, e.planes[i]) << i;
              ASSERT_EQ(entry.green, e.planes[256 + i]) << i;
              ASSERT_EQ(entry.blue, e.planes[512 + i]) << i;
            }
          } else {
            EXPECT_TRUE(outcome->image.palette.empty());
          }
          ASSERT_EQ(outcome->image.rows.size(), height);
          for (uint32_t r = 0; r < height; ++r) {
            // Descriptor row r is host row height - 1 - r.
            EXPECT_EQ(outcome->image.rows[static_cast<int>(height - 1 - r)],
                      ExpectedHostRow(e, pixels[r], l.bits))
                << "row " << r;
          }
        }
      }
    }
  }
  EXPECT_GT(reads, 900);
}

// Worked examples, byte for byte.
TEST_F(ReadLayoutsTest, WorkedExampleRows) {
  struct Case {
    const char* what;
    std::map<std::string, long long> fields;
    std::vector<std::vector<uint8_t>> palette;
    std::vector<uint8_t> source;
    int accepted;
    std::vector<uint8_t> expected;
  } cases[] = {
      {"B as bilevel, width 9",
       {{"width", 9}, {"bitsPerPixel", 1}, {"packedPixels", 0}, {"bytesPerLine", 9}},
       {},
       {1, 0, 1, 1, 0, 0, 0, 1, 1},
       HIT_BILEVEL,
       {0xB1, 0x80}},
      {"D as 256 colors, width 3",
       {{"width", 3}, {"bitsPerPixel", 4}, {"colorType", 2}},
       {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {9, 9, 9}},
       {0x12, 0x30},
       HIT_PAL256,
       {1, 2, 3}},
      {"E as 16 colors, width 3",
       {{"width", 3}, {"bitsPerPixel", 4}, {"packedPixels", 0}, {"bytesPerLine", 3}, {"colorType", 2}},
       {{1, 2, 3}, {4, 5, 6}},
       {1, 2, 3},
       HIT_PAL16,
       {0x12, 0x30}},
      {"F planes 0 and 2 give 5",
       {{"width", 8}, {"bitsPerPixel", 4}, {"planes", 4}, {"bytesPerLine", 1}, {"colorType", 2}},
       {{1, 2, 3}, {4, 5, 6}},
       {0x80, 0, 0x80, 0},
       HIT_PAL256,
       {5, 0, 0, 0, 0, 0, 0, 0}},
      {"I as RGB",
       {{"width", 1}, {"bitsPerPixel", 24}, {"planes", 3}, {"bytesPerLine", 1}, {"colorType", 3}},
       {},
       {10, 20, 30},
       HIT_RGB24,
       {30, 20, 10}},
      {"H RGB swapped",
       {{"width", 1}, {"bitsPerPixel", 24}, {"colorType", 3}},
       {},
       {10, 20, 30},
       HIT_RGB24,
       {30, 20, 10}},
      {"H BGR unchanged",
       {{"width", 1}, {"bitsPerPixel", 24}, {"colorType", 3}, {"bgrOrder", 1}},
       {},
       {30, 20, 10},
       HIT_RGB24,
       {30, 20, 10}},
      {"8-bit colour palette as RGB",
       {{"width", 2}, {"bitsPerPixel", 8}, {"colorType", 2}},
       {{0, 0, 0}, {200, 100, 50}},
       {1, 0},
       HIT_RGB24,
       {50, 100, 200, 0, 0, 0}},
      {"1 bit, red[0] > red[1], every bit complemented",
       {{"width", 3}, {"bitsPerPixel", 1}, {"colorType", 2}},
       {{255, 255, 255}, {0, 0, 0}},
       {0xA0},
       HIT_BILEVEL,
       {0x5F}},
      {"1 bit colour palette is black and white",
       {{"width", 2}, {"bitsPerPixel", 1}, {"colorType", 2}},
       {{0, 0, 255}, {255, 255, 0}},
       {0x40},
       HIT_RGB24,
       {0, 0, 0, 255, 255, 255}},
      {"4-bit grey, no ramp, as grey",
       {{"width", 2}, {"bitsPerPixel", 4}, {"colorType", 1}},
       {{7, 0, 0}, {99, 0, 0}, {3, 0, 0}},
       {0x12},
       HIT_GRAY256,
       {99, 3}},
      {"1 bit as RGB only",
       {{"width", 2}, {"bitsPerPixel", 1}},
       {},
       {0x80},
       HIT_RGB24,
       {255, 255, 255, 0, 0, 0}},
      {"8-bit inverted grey keeps its values",
       {{"width", 2}, {"bitsPerPixel", 8}, {"invertedGray", 1}},
       {},
       {0, 200},
       HIT_GRAY256,
       {0, 200}},
  };
  for (const Case& c : cases) {
    TestImage image;
    image.Set("height", 1);
    for (const auto& [key, value] : c.fields) image.Set(key, value);
    if (!c.palette.empty()) image.Palette(c.palette);
    image.rows.push_back(c.source);
    auto outcome = Read(WriteImage(image), c.accepted);
    ASSERT_EQ(outcome->result, 1) << c.what;
    EXPECT_EQ(outcome->image.rows[0], c.expected) << c.what;
  }
}

TEST_F(ReadLayoutsTest, DescendingGreyRampSentToTheHost) {
  struct Case {
    int bits;
    int accepted;
    std::vector<uint8_t> reds;
  } cases[] = {{1, HIT_BILEVEL, {255, 0}},
               {2, HIT_PAL16, {255, 170, 85, 0}},
               {3, HIT_PAL256, {0, 36, 72, 109, 145, 182, 218, 255}}};
  for (const Case& c : cases) {
    TestImage image;
    image.Set("width", 1).Set("height", 1).Set("bitsPerPixel", c.bits).Set("packedPixels", 0);
    image.Set("invertedGray", c.bits != 3);
    image.rows.push_back({0});
    auto outcome = Read(WriteImage(image), c.accepted);
    ASSERT_EQ(outcome->result, 1);
    ASSERT_EQ(outcome->image.palette.size(), c.reds.size());
    for (std::size_t i = 0; i < c.reds.size(); ++i) EXPECT_EQ(outcome->image.palette[i].red, c.reds[i]) << i;
  }
}

}  // namespace
}  // namespace imexp::test
