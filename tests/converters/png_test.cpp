// The PNG converter against the netpbm and ImageMagick tools: files those
// tools write in every colour type, depth and interlacing, read and
// compared pixel for pixel with what pngtopnm makes of them; and every
// layout our writer takes, read back by pngtopnm.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/converter_driver.h"
#include "tests/support/reference_tools.h"

namespace imexp::test {
namespace {

using Bytes = std::vector<uint8_t>;

class PngTest : public testing::Test {
 protected:
  static const ConverterDriver& Png() {
    static const ConverterDriver driver("imexp_png");
    return driver;
  }
  // Runs `command` in the test's folder; a missing tool fails the test.
  void Run(const std::string& command) {
    ASSERT_EQ(RunCommand("cd " + ShellQuote(dir_.path().string()) + " && (" + command + ") 2>/dev/null"), 0)
        << command;
  }
  // What pngtopnm shows of `png`, transparency mixed with `background`;
  // or ImageMagick, flattening the image onto it.
  RgbImage Reference(const std::string& png, const std::string& background = "ff/ff/ff",
                     bool imageMagick = false) {
    std::string pnm = dir_.File("reference.pnm");
    if (imageMagick) {
      std::string colour = background;
      colour.erase(std::remove(colour.begin(), colour.end(), '/'), colour.end());
      Run("convert " + ShellQuote(png) + " -background '#" + colour + "' -flatten -depth 8 " +
          ShellQuote(pnm));
    } else {
      Run("pngtopnm -mix -background=rgb:" + background + " " + ShellQuote(png) + " > " + ShellQuote(pnm));
    }
    return ReadPnmAsRgb(pnm);
  }
  // CONVERT.INI with our section.
  void UseSettings(const std::string& lines) {
    std::string ini = dir_.File("CONVERT.INI");
    WriteFileBytes(ini, "[PNG]\n" + lines + "\n");
    driver_.UseIni(ini);
  }
  TempDir dir_;
  ConverterDriver driver_{"imexp_png"};
};

// The source pictures every conversion starts from: ImageMagick's rose in
// colour and grey, with 2, 4, 16 and 200 colours, and a 3 x 5 one whose
// interlacing passes are partly empty.
constexpr const char* kSources =
    "convert rose: -depth 8 rose.ppm && convert rose: -colorspace gray -depth 8 rose.pgm"
    " && for n in 2 4 16 200; do convert rose: -colors $n -depth 8 c$n.ppm; done"
    " && convert rose: -resize '3x5!' -depth 8 tiny.ppm";
// The most frequent colour of the 16-colour rose, for pnmtopng -transparent.
constexpr const char* kCommonColour =
    "$(ppmhist -noheader c16.ppm | head -1 | awk '{printf \"rgb:%02x/%02x/%02x\", $1, $2, $3}')";

TEST_F(PngTest, ReadsWhatTheToolsWriteAsPngtopnmDoes) {
  Run(kSources);
  const std::string im = "convert ";
  const std::string cc = std::string(kCommonColour);
  const std::string ga = " \\( +clone -negate \\) -alpha off -compose CopyOpacity -composite ";
  const std::string rgba =
      " \\( +clone -colorspace gray -negate \\) -alpha off -compose CopyOpacity -composite ";
  auto type = [](int colorType, int bits) {
    return " -define png:color-type=" + std::to_string(colorType) +
           " -define png:bit-depth=" + std::to_string(bits);
  };
  struct Case {
    const char* name;
    std::string command;          // writes x.png
    std::tuple<int, int> file;    // colour type and bits the information shows
    std::tuple<int, int> layout;  // colour type and bits we deliver
    const char* background;       // the Background setting, or none
    int tolerance;
    bool imageMagick = false;  // the reference flattens with ImageMagick
  };
  // 16-bit alpha: pngtopnm mixes at 16 bits, we at 8 after rounding both the
  // sample and the coverage, which may differ by one level.
  const Case cases[] = {
      {"grey 1", im + "rose.pgm -threshold 50%" + type(0, 1) + " x.png", {0, 1}, {0, 1}, nullptr, 0},
      {"grey 2", im + "rose.pgm -depth 2" + type(0, 2) + " x.png", {0, 2}, {0, 4}, nullptr, 0},
      {"grey 4", im + "rose.pgm -depth 4" + type(0, 4) + " x.png", {0, 4}, {0, 4}, nullptr, 0},
      {"grey 8", im + "rose.pgm" + type(0, 8) + " x.png", {0, 8}, {0, 8}, nullptr, 0},
      {"grey 16",
       im + "rose: -colorspace gray -depth 16" + type(0, 16) + " x.png",
       {0, 16},
       {0, 8},
       nullptr,
       0},
      {"palette 1", "pnmtopng c2.ppm > x.png", {2, 1}, {2, 4}, nullptr, 0},
      {"palette 2", "pnmtopng c4.ppm > x.png", {2, 2}, {2, 4}, nullptr, 0},
      {"palette 4", "pnmtopng c16.ppm > x.png", {2, 4}, {2, 4}, nullptr, 0},
      {"palette 8", "pnmtopng c200.ppm > x.png", {2, 8}, {2, 8}, nullptr, 0},
      {"palette 4, tRNS", "pnmtopng -transparent=" + cc + " c16.ppm > x.png", {2, 4}, {2, 4}, nullptr, 0},
      {"palette 4, tRNS, coloured background",
       "pnmtopng -transparent=" + cc + " c16.ppm > x.png",
       {2, 4},
       {2, 4},
       "00/80/ff",
       0},
      {"RGB 8", im + "rose.ppm" + type(2, 8) + " x.png", {3, 24}, {3, 24}, nullptr, 0},
      {"RGB 16", im + "rose: -depth 16" + type(2, 16) + " x.png", {3, 48}, {3, 24}, nullptr, 0},
      // pngtopnm -mix leaves the transparent colour of an RGB file opaque.
      {"RGB, tRNS colour",
       "pnmtopng -force -transparent=" + cc + " c16.ppm > x.png",
       {3, 24},
       {3, 24},
       nullptr,
       0,
       true},
      {"RGB, tRNS colour, coloured background",
       "pnmtopng -force -transparent=" + cc + " c16.ppm > x.png",
       {3, 24},
       {3, 24},
       "00/80/ff",
       0,
       true},
      {"grey, tRNS colour",
       "pnmtopng -transparent=rgb:24/24/24 rose.pgm > x.png",
       {0, 8},
       {0, 8},
       nullptr,
       0},
      {"grey 2, tRNS colour",
       "pamdepth 3 rose.pgm > g3.pgm && pnmtopng -transparent=rgb:55/55/55 g3.pgm > x.png",
       {0, 2},
       {0, 8},
       nullptr,
       0},
      {"grey, tRNS colour, coloured background",
       "pnmtopng -transparent=rgb:24/24/24 rose.pgm > x.png",
       {0, 8},
       {3, 24},
       "00/80/ff",
       0},
      {"grey+alpha 8", im + "rose.pgm" + ga + type(4, 8) + " x.png", {4, 16}, {0, 8}, nullptr, 0},
      {"grey+alpha 8, grey background",
       im + "rose.pgm" + ga + type(4, 8) + " x.png",
       {4, 16},
       {0, 8},
       "64/64/64",
       0},
      {"grey+alpha 8, coloured background",
       im + "rose.pgm" + ga + type(4, 8) + " x.png",
       {4, 16},
       {3, 24},
       "00/80/ff",
       0},
      {"grey+alpha 16", im + "rose.pgm -depth 16" + ga + type(4, 16) + " x.png", {4, 32}, {0, 8}, nullptr, 1},
      {"RGBA 8", "pnmtopng -alpha=rose.pgm rose.ppm > x.png", {5, 32}, {3, 24}, nullptr, 0},
      {"RGBA 8, coloured background",
       "pnmtopng -alpha=rose.pgm rose.ppm > x.png",
       {5, 32},
       {3, 24},
       "00/80/ff",
       0},
      {"RGBA 16", im + "rose: -depth 16" + rgba + type(6, 16) + " x.png", {5, 64}, {3, 24}, nullptr, 1},
      // Interlaced files: every pass must land on its own columns and rows.
      {"interlaced grey 1",
       im + "rose.pgm -threshold 50% -interlace PNG" + type(0, 1) + " x.png",
       {0, 1},
       {0, 1},
       nullptr,
       0},
      {"interlaced grey 4",
       im + "rose.pgm -depth 4 -interlace PNG" + type(0, 4) + " x.png",
       {0, 4},
       {0, 4},
       nullptr,
       0},
      {"interlaced palette 2", "pnmtopng -interlace c4.ppm > x.png", {2, 2}, {2, 4}, nullptr, 0},
      {"interlaced palette 8", "pnmtopng -interlace c200.ppm > x.png", {2, 8}, {2, 8}, nullptr, 0},
      {"interlaced RGB 16",
       im + "rose: -depth 16 -interlace PNG" + type(2, 16) + " x.png",
       {3, 48},
       {3, 24},
       nullptr,
       0},
      {"interlaced RGBA 8",
       "pnmtopng -interlace -alpha=rose.pgm rose.ppm > x.png",
       {5, 32},
       {3, 24},
       nullptr,
       0},
      {"interlaced 3 x 5", "pnmtopng -interlace -force tiny.ppm > x.png", {3, 24}, {3, 24}, nullptr, 0},
  };
  std::string png = dir_.File("x.png");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(png);
    Run(c.command);
    if (c.background != nullptr) {
      unsigned r = 0, g = 0, b = 0;
      ASSERT_EQ(std::sscanf(c.background, "%x/%x/%x", &r, &g, &b), 3);
      UseSettings("Background = " + std::to_string(r) + "," + std::to_string(g) + "," + std::to_string(b));
    } else {
      UseSettings("");
    }
    ConvImageInfo info{};
    ASSERT_EQ(driver_.Info(png, 0, &info), 0);
    ASSERT_EQ(std::tuple(int{info.colorType}, int{info.bitsPerPixel}), c.file)
        << "the tool wrote another variant";
    ConverterImage image;
    ASSERT_EQ(driver_.Read(png, image), 0);
    EXPECT_EQ(std::tuple(int{image.desc.colorType}, int{image.desc.bitsPerPixel}), c.layout);
    RgbImage expected = Reference(png, c.background != nullptr ? c.background : "ff/ff/ff", c.imageMagick);
    RgbImage got = ConverterImageAsRgb(image);
    EXPECT_LE(LargestDifference(got, expected), c.tolerance) << FirstDifference(got, expected, c.tolerance);
  }
}

TEST_F(PngTest, InformationDescribesTheFile) {
  Run(kSources);
  struct Case {
    std::string command;
    const char* formatName;
    std::tuple<uint32_t, uint32_t, int, int> size;  // width, height, colour type, bits
    std::tuple<int, uint32_t, uint32_t> resolution;
  };
  const Case cases[] = {
      {"pnmtopng rose.ppm > x.png", "PNG", {70, 46, 3, 24}, {0, 0, 0}},
      {"pnmtopng -interlace c16.ppm > x.png", "PNG, interlaced", {70, 46, 2, 4}, {0, 0, 0}},
      // 300 dots per inch are stored as 11811 pixels per metre.
      {"convert rose.pgm -units PixelsPerInch -density 300x72 x.png", "PNG", {70, 46, 0, 8}, {2, 300, 72}},
      {"pnmtopng -force -size='2 3 0' tiny.ppm > x.png", "PNG", {3, 5, 3, 24}, {1, 2, 3}},
  };
  std::string png = dir_.File("x.png");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    Run(c.command);
    ConvImageInfo info{};
    ASSERT_EQ(Png().Info(png, 0, &info), 0);
    EXPECT_STREQ(info.formatName, c.formatName);
    EXPECT_STREQ(info.compression, "Deflate");
    EXPECT_EQ(std::tuple(info.width, info.height, int{info.colorType}, int{info.bitsPerPixel}), c.size);
    EXPECT_EQ(std::tuple(int{info.resUnit}, info.resX, info.resY), c.resolution);
    // The read describes the same resolution.
    ConverterImage image;
    ASSERT_EQ(Png().Read(png, image), 0);
    EXPECT_EQ(std::tuple(int{image.desc.resUnit}, image.desc.resX, image.desc.resY), c.resolution);
  }
  ConvImageInfo info{};
  EXPECT_EQ(Png().Info(png, 1, &info), CONV_ERR_WRONG_IMAGE_NUMBER);
}

// An image in the manager's default write layout, with a palette whose
// entries all differ.
ConverterImage MakeImage(uint16_t colorType, uint16_t bits, uint32_t width, uint32_t height, unsigned seed) {
  ConverterImage image;
  ConvImageDesc& d = image.desc;
  d.width = width;
  d.height = height;
  d.colorType = colorType;
  d.bitsPerPixel = bits;
  d.planes = 1;
  d.packedPixels = 1;
  d.bytesPerLine = (width * bits + 7) / 8;
  for (int i = 0; i < 256; ++i) {
    image.palette[i] = static_cast<uint8_t>(i * 7);
    image.palette[256 + i] = static_cast<uint8_t>(255 - i);
    image.palette[512 + i] = static_cast<uint8_t>(i * 3 + 1);
  }
  for (uint32_t y = 0; y < height; ++y) {
    Bytes row(d.bytesPerLine);
    for (uint8_t& b : row) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
    image.rows.push_back(row);
  }
  return image;
}

TEST_F(PngTest, EveryWrittenLayoutReadsBackInPngtopnm) {
  struct Layout {
    uint16_t colorType, bits;
    int pngColorType, pngBits;  // as our information shows the file
  };
  const Layout layouts[] = {{0, 1, 0, 1}, {0, 4, 0, 4}, {0, 8, 0, 8}, {2, 1, 2, 1},
                            {2, 4, 2, 4}, {2, 8, 2, 8}, {1, 8, 2, 8}, {3, 24, 3, 24}};
  std::string png = dir_.File("round.png");
  for (const Layout& layout : layouts) {
    for (auto [width, height] : {std::pair{1u, 1u}, std::pair{9u, 3u}, std::pair{33u, 70u}}) {
      SCOPED_TRACE(testing::Message()
                   << layout.colorType << "/" << layout.bits << " " << width << "x" << height);
      ConverterImage image = MakeImage(layout.colorType, layout.bits, width, height, width * 31 + height);
      ASSERT_EQ(Png().Write(png, image), 0);
      ConvImageInfo info{};
      ASSERT_EQ(Png().Info(png, 0, &info), 0);
      EXPECT_EQ(std::tuple(int{info.colorType}, int{info.bitsPerPixel}),
                std::tuple(layout.pngColorType, layout.pngBits));
      RgbImage expected = ConverterImageAsRgb(image);
      RgbImage tool = Reference(png);
      EXPECT_EQ(LargestDifference(tool, expected), 0) << FirstDifference(tool, expected);
      ConverterImage back;
      ASSERT_EQ(Png().Read(png, back), 0);
      RgbImage ours = ConverterImageAsRgb(back);
      EXPECT_EQ(LargestDifference(ours, expected), 0) << FirstDifference(ours, expected);
    }
  }
}

// Bytes of the PLTE chunk's data in a PNG file, or -1.
long PaletteBytes(const std::string& png) {
  for (std::size_t at = 8; at + 12 <= png.size();) {
    auto byte = [&](std::size_t i) { return uint32_t{static_cast<uint8_t>(png[at + i])}; };
    uint32_t length = byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
    if (png.compare(at + 4, 4, "PLTE") == 0) return static_cast<long>(length);
    at += std::size_t{length} + 12;
  }
  return -1;
}

TEST_F(PngTest, PaletteEndsAtTheHighestEntryUsed) {
  const std::tuple<uint16_t, uint32_t, long> cases[] = {{8, 5, 6}, {8, 255, 256}, {4, 15, 16},
                                                        {4, 2, 3}, {1, 0, 1},     {1, 1, 2}};
  std::string png = dir_.File("palette.png");
  for (const auto& [bits, highest, entries] : cases) {
    SCOPED_TRACE(testing::Message() << bits << " bits, up to " << highest);
    ConverterImage image = MakeImage(2, bits, 259, 4, 9);
    // Pixel values 0 to `highest`, the padding bits of each row set.
    for (Bytes& row : image.rows) {
      std::fill(row.begin(), row.end(), 0xFF);
      for (uint32_t x = 0; x < 259; ++x) {
        uint32_t value = x % (highest + 1), bit = x * bits;
        uint32_t shift = 8 - bits - bit % 8;
        row[bit / 8] = static_cast<uint8_t>((row[bit / 8] & ~(((1u << bits) - 1) << shift)) | value << shift);
      }
    }
    ASSERT_EQ(Png().Write(png, image), 0);
    EXPECT_EQ(PaletteBytes(ReadFileBytes(png)), entries * 3);
    RgbImage expected = ConverterImageAsRgb(image);
    RgbImage tool = Reference(png);
    EXPECT_EQ(LargestDifference(tool, expected), 0) << FirstDifference(tool, expected);
  }
}

TEST_F(PngTest, SettingsAndResolutionReachTheFile) {
  ConverterImage image = MakeImage(3, 24, 64, 64, 5);
  // Smooth rows that compression can shrink.
  for (uint32_t y = 0; y < 64; ++y) {
    for (uint32_t x = 0; x < 64 * 3; ++x) image.rows[y][x] = static_cast<uint8_t>(x + y);
  }
  std::string png = dir_.File("level.png");
  std::vector<uintmax_t> sizes;
  for (const char* level : {"0", "9", "99"}) {
    UseSettings(std::string("CompressionLevel=") + level);
    ASSERT_EQ(driver_.Write(png, image), 0);
    sizes.push_back(std::filesystem::file_size(png));
    EXPECT_EQ(LargestDifference(Reference(png), ConverterImageAsRgb(image)), 0) << level;
  }
  // Level 0 stores the rows; a level beyond 9 is taken as 9.
  EXPECT_GT(sizes[0], 64u * 64 * 3);
  EXPECT_LT(sizes[1], sizes[0] / 4);
  EXPECT_EQ(sizes[2], sizes[1]);

  image.desc.resUnit = CONV_UNIT_DPI;
  image.desc.resX = 300;
  image.desc.resY = 96;
  ASSERT_EQ(driver_.Write(png, image), 0);
  ConvImageInfo info{};
  ASSERT_EQ(driver_.Info(png, 0, &info), 0);
  EXPECT_EQ(std::tuple(int{info.resUnit}, info.resX, info.resY), std::tuple(CONV_UNIT_DPI, 300u, 96u));
}

TEST_F(PngTest, RefusedAndFailingWrites) {
  const std::tuple<uint16_t, uint16_t, uint32_t, int> cases[] = {
      {0, 24, 4, CONV_ERR_ILLEGAL_CONVERSION}, {3, 8, 4, CONV_ERR_ILLEGAL_CONVERSION},
      {2, 2, 4, CONV_ERR_ILLEGAL_CONVERSION},  {0, 8, 32513, 21},
      {3, 24, 20000, CONV_ERR_FILE_TOO_BIG},  // rows of 60000 bytes
  };
  for (const auto& [colorType, bits, width, error] : cases) {
    EXPECT_EQ(Png().Write(dir_.File("refused.png"), MakeImage(colorType, bits, width, 1, 1)), error) << bits;
  }
#ifndef _WIN32
  if (std::filesystem::exists("/dev/full")) {
    // Big enough that the encoder writes before the end, too.
    EXPECT_EQ(Png().Write("/dev/full", MakeImage(3, 24, 200, 300, 3)), CONV_ERR_DISK_FULL);
    EXPECT_EQ(Png().Write("/dev/full", MakeImage(0, 1, 3, 3, 3)), CONV_ERR_DISK_FULL);
  }
#endif
}

// The manager's row conversion of each layout we deliver and take, through
// the imexp program and the CONVERT.INI beside it, both ways with PNM.
TEST_F(PngTest, ThroughTheManagerBothWays) {
  Run(kSources);
  const std::string imexp = ShellQuote((ExecutableDir() / "imexp").string());
  const std::string ga = " \\( +clone -negate \\) -alpha off -compose CopyOpacity -composite ";
  const std::pair<const char*, std::string> reads[] = {
      {"grey 1", "convert rose.pgm -threshold 50% -define png:bit-depth=1 x.png"},
      {"grey 2", "convert rose.pgm -depth 2 -define png:color-type=0 -define png:bit-depth=2 x.png"},
      {"palette 2", "pnmtopng c4.ppm > x.png"},
      {"interlaced palette 4", "pnmtopng -interlace c16.ppm > x.png"},
      {"grey+alpha", "convert rose.pgm" + ga + "-define png:color-type=4 x.png"},
  };
  for (const auto& [name, command] : reads) {
    SCOPED_TRACE(name);
    Run(command + " && " + imexp + " convert x.png out.pnm >/dev/null");
    RgbImage got = ReadPnmAsRgb(dir_.File("out.pnm"));
    RgbImage expected = Reference(dir_.File("x.png"));
    EXPECT_EQ(LargestDifference(got, expected), 0) << FirstDifference(got, expected);
  }
  Run("convert rose.pgm -threshold 50% rose.pbm");
  for (const char* source : {"rose.ppm", "rose.pgm", "c16.ppm", "rose.pbm"}) {
    SCOPED_TRACE(source);
    Run(imexp + " convert " + source + " y.png >/dev/null");
    RgbImage got = Reference(dir_.File("y.png"));
    RgbImage expected = ReadPnmAsRgb(dir_.File(source));
    EXPECT_EQ(LargestDifference(got, expected), 0) << FirstDifference(got, expected);
  }
}

}  // namespace
}  // namespace imexp::test
