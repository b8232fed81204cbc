// The PNG converter against the netpbm and ImageMagick tools: files those
// tools write in every colour type, depth and interlacing, compared pixel
// for pixel with what pngtopnm makes of them; every layout our writer
// takes, read back by pngtopnm; and both ways through the manager.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/converter_driver.h"
#include "tests/support/reference_tools.h"

namespace imexp::test {
namespace {

using Bytes = std::vector<uint8_t>;

// ImageMagick's rose in colour, grey, with 4, 16 and 200 colours, and at
// 3 x 5, where interlacing passes are partly empty.
constexpr const char* kSources =
    "convert rose: -depth 8 rose.ppm && convert rose: -colorspace gray -depth 8 rose.pgm"
    " && for n in 4 16 200; do convert rose: -colors $n -depth 8 c$n.ppm; done"
    " && convert rose: -colors 2 -depth 8 c2.ppm && convert rose: -resize '3x5!' -depth 8 tiny.ppm"
    " && pamdepth 3 rose.pgm > g3.pgm";

class PngTest : public testing::Test {
 protected:
  static const ConverterDriver& Png() {
    static const ConverterDriver driver("imexp_png");
    return driver;
  }
  // Runs `command` in the test's folder; a missing tool fails the test.
  void Run(const std::string& command) {
    ASSERT_EQ(RunCommand("cd " + ShellPath(dir_.path()) + " && (" + command + ") 2>/dev/null"), 0) << command;
  }
  // What pngtopnm shows of `png` mixed with `background`, or ImageMagick
  // flattening it onto the background.
  RgbImage Reference(const std::string& png, std::string background = "ff/ff/ff", bool magick = false) {
    std::string pnm = dir_.File("reference.pnm");
    if (magick) {
      background.erase(std::remove(background.begin(), background.end(), '/'), background.end());
      Run("convert " + ShellPath(png) + " -background '#" + background + "' -flatten -depth 8 " +
          ShellPath(pnm));
    } else {
      Run("pngtopnm -mix -background=rgb:" + background + " " + ShellPath(png) + " > " + ShellPath(pnm));
    }
    return ReadPnmAsRgb(pnm);
  }
  // CONVERT.INI with our section.
  void UseSettings(const std::string& lines) {
    WriteFileBytes(dir_.File("CONVERT.INI"), "[PNG]\n" + lines + "\n");
    driver_.UseIni(dir_.File("CONVERT.INI"));
  }
  TempDir dir_;
  ConverterDriver driver_{"imexp_png"};
};

// ImageMagick writing x.png from `input` in one PNG colour type and depth.
std::string Magick(const std::string& input, int colorType, int depth, bool interlace = false) {
  return "convert " + input + (interlace ? " -interlace PNG" : "") +
         " -define png:color-type=" + std::to_string(colorType) +
         " -define png:bit-depth=" + std::to_string(depth) + " x.png";
}
std::string Pnm(const std::string& arguments) { return "pnmtopng " + arguments + " > x.png"; }

TEST_F(PngTest, ReadsWhatTheToolsWriteAsPngtopnmDoes) {
  Run(kSources);
  const std::string alpha = " \\( +clone -negate \\) -alpha off -compose CopyOpacity -composite";
  const std::string colourAlpha =
      " \\( +clone -colorspace gray -negate \\) -alpha off -compose CopyOpacity -composite";
  const std::string common =
      "-transparent=$(ppmhist -noheader c16.ppm | head -1 | awk "
      "'{printf \"rgb:%02x/%02x/%02x\", $1, $2, $3}') ";
  struct Case {
    const char* name;
    std::string command;
    int fileType, fileBits;            // as the information shows the file
    int layoutType, layoutBits;        // as we deliver it
    const char* background = nullptr;  // the Background setting
    // 16-bit alpha: pngtopnm mixes at 16 bits, we at 8 after rounding
    // sample and coverage, which may differ by one level.
    int tolerance = 0;
    // pngtopnm -mix leaves the transparent colour of RGB files opaque.
    bool magick = false;
  };
  const char* blue = "00/80/ff";
  const Case cases[] = {
      {"grey 1", Magick("rose.pgm -threshold 50%", 0, 1), 0, 1, 0, 1},
      {"grey 2", Magick("rose.pgm -depth 2", 0, 2), 0, 2, 0, 4},
      {"grey 4", Magick("rose.pgm -depth 4", 0, 4), 0, 4, 0, 4},
      {"grey 8", Magick("rose.pgm", 0, 8), 0, 8, 0, 8},
      {"grey 16", Magick("rose: -colorspace gray -depth 16", 0, 16), 0, 16, 0, 8},
      {"palette 1", Pnm("c2.ppm"), 2, 1, 2, 4},
      {"palette 2", Pnm("c4.ppm"), 2, 2, 2, 4},
      {"palette 4", Pnm("c16.ppm"), 2, 4, 2, 4},
      {"palette 8", Pnm("c200.ppm"), 2, 8, 2, 8},
      {"palette 4, tRNS", Pnm(common + "c16.ppm"), 2, 4, 2, 4},
      {"palette 4, tRNS, blue", Pnm(common + "c16.ppm"), 2, 4, 2, 4, blue},
      {"RGB 8", Magick("rose.ppm", 2, 8), 3, 24, 3, 24},
      {"RGB 16", Magick("rose: -depth 16", 2, 16), 3, 48, 3, 24},
      {"RGB, tRNS", Pnm("-force " + common + "c16.ppm"), 3, 24, 3, 24, nullptr, 0, true},
      {"RGB, tRNS, blue", Pnm("-force " + common + "c16.ppm"), 3, 24, 3, 24, blue, 0, true},
      {"grey 8, tRNS", Pnm("-transparent=rgb:24/24/24 rose.pgm"), 0, 8, 0, 8},
      {"grey 8, tRNS, blue", Pnm("-transparent=rgb:24/24/24 rose.pgm"), 0, 8, 3, 24, blue},
      {"grey 2, tRNS", Pnm("-transparent=rgb:55/55/55 g3.pgm"), 0, 2, 0, 8},
      {"grey+alpha 8", Magick("rose.pgm" + alpha, 4, 8), 4, 16, 0, 8},
      {"grey+alpha 8, grey", Magick("rose.pgm" + alpha, 4, 8), 4, 16, 0, 8, "64/64/64"},
      {"grey+alpha 8, blue", Magick("rose.pgm" + alpha, 4, 8), 4, 16, 3, 24, blue},
      {"grey+alpha 16", Magick("rose.pgm -depth 16" + alpha, 4, 16), 4, 32, 0, 8, nullptr, 1},
      {"RGBA 8", Pnm("-alpha=rose.pgm rose.ppm"), 5, 32, 3, 24},
      {"RGBA 8, blue", Pnm("-alpha=rose.pgm rose.ppm"), 5, 32, 3, 24, blue},
      {"RGBA 16", Magick("rose: -depth 16" + colourAlpha, 6, 16), 5, 64, 3, 24, nullptr, 1},
      // Every interlacing pass must land on its own columns and rows.
      {"interlaced grey 1", Magick("rose.pgm -threshold 50%", 0, 1, true), 0, 1, 0, 1},
      {"interlaced grey 4", Magick("rose.pgm -depth 4", 0, 4, true), 0, 4, 0, 4},
      {"interlaced palette 2", Pnm("-interlace c4.ppm"), 2, 2, 2, 4},
      {"interlaced palette 8", Pnm("-interlace c200.ppm"), 2, 8, 2, 8},
      {"interlaced RGB 16", Magick("rose: -depth 16", 2, 16, true), 3, 48, 3, 24},
      {"interlaced RGBA 8", Pnm("-interlace -alpha=rose.pgm rose.ppm"), 5, 32, 3, 24},
      {"interlaced 3 x 5", Pnm("-interlace -force tiny.ppm"), 3, 24, 3, 24},
  };
  std::string png = dir_.File("x.png");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(png);
    Run(c.command);
    unsigned r = 255, g = 255, b = 255;
    if (c.background != nullptr) ASSERT_EQ(std::sscanf(c.background, "%x/%x/%x", &r, &g, &b), 3);
    UseSettings(c.background == nullptr ? ""
                                        : "Background = " + std::to_string(r) + "," + std::to_string(g) +
                                              "," + std::to_string(b));
    ConvImageInfo info{};
    ASSERT_EQ(driver_.Info(png, 0, &info), 0);
    ASSERT_EQ(std::tuple(int{info.colorType}, int{info.bitsPerPixel}), std::tuple(c.fileType, c.fileBits));
    bool interlaced = std::string(c.name).rfind("interlaced", 0) == 0;
    EXPECT_EQ(std::tuple(std::string(info.formatName), std::string(info.compression), info.width > 0),
              std::tuple(interlaced ? "PNG, interlaced" : "PNG", "Deflate", true));
    ConverterImage image;
    ASSERT_EQ(driver_.Read(png, image), 0);
    EXPECT_EQ(std::tuple(int{image.desc.colorType}, int{image.desc.bitsPerPixel}),
              std::tuple(c.layoutType, c.layoutBits));
    RgbImage expected = Reference(png, c.background != nullptr ? c.background : "ff/ff/ff", c.magick);
    RgbImage got = ConverterImageAsRgb(image);
    EXPECT_LE(LargestDifference(got, expected), c.tolerance) << FirstDifference(got, expected, c.tolerance);
  }
}

TEST_F(PngTest, ResolutionFromPhys) {
  Run(kSources);
  // 300 dots per inch are stored as 11811 pixels per metre; unit 0 is a
  // proportion only.
  const std::pair<std::string, std::tuple<int, uint32_t, uint32_t>> cases[] = {
      {"convert rose.pgm -units PixelsPerInch -density 300x72 x.png", {CONV_UNIT_DPI, 300, 72}},
      {Pnm("-size='2 3 0' rose.pgm"), {CONV_UNIT_ASPECT, 2, 3}},
      {Pnm("rose.pgm"), {CONV_UNIT_UNKNOWN, 0, 0}},
  };
  for (const auto& [command, resolution] : cases) {
    Run(command);
    ConvImageInfo info{};
    ConverterImage image;
    ASSERT_EQ(std::tuple(Png().Info(dir_.File("x.png"), 0, &info), Png().Read(dir_.File("x.png"), image)),
              std::tuple(0, 0));
    EXPECT_EQ(std::tuple(int{info.resUnit}, info.resX, info.resY), resolution) << command;
    EXPECT_EQ(std::tuple(int{image.desc.resUnit}, image.desc.resX, image.desc.resY), resolution) << command;
  }
}

// An image in the manager's default write layout, with a palette whose
// entries all differ.
ConverterImage MakeImage(uint16_t colorType, uint16_t bits, uint32_t width, uint32_t height, unsigned seed) {
  ConverterImage image;
  ConvImageDesc& d = image.desc;
  std::tie(d.width, d.height, d.colorType, d.bitsPerPixel) = std::tuple(width, height, colorType, bits);
  std::tie(d.planes, d.packedPixels, d.bytesPerLine) = std::tuple(1, 1, (width * bits + 7) / 8);
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

// Entries of the PLTE chunk of a PNG file, or -1.
long PaletteEntries(const std::string& png) {
  for (std::size_t at = 8; at + 12 <= png.size();) {
    uint32_t length = 0;
    for (int i = 0; i < 4; ++i) length = length << 8 | static_cast<uint8_t>(png[at + i]);
    if (png.compare(at + 4, 4, "PLTE") == 0) return static_cast<long>(length / 3);
    at += std::size_t{length} + 12;
  }
  return -1;
}

TEST_F(PngTest, EveryWrittenLayoutReadsBackInPngtopnm) {
  // colour type and bits given, and as our information shows the file
  const std::tuple<uint16_t, uint16_t, int, int> layouts[] = {{0, 1, 0, 1}, {0, 4, 0, 4},  {0, 8, 0, 8},
                                                              {2, 1, 2, 1}, {2, 4, 2, 4},  {2, 8, 2, 8},
                                                              {1, 8, 2, 8}, {3, 24, 3, 24}};
  std::string png = dir_.File("round.png");
  for (const auto& [colorType, bits, fileType, fileBits] : layouts) {
    for (auto [width, height] :
         {std::pair{1u, 1u}, std::pair{3u, 2u}, std::pair{9u, 3u}, std::pair{33u, 70u}}) {
      SCOPED_TRACE(testing::Message() << colorType << "/" << bits << " " << width << "x" << height);
      ConverterImage image = MakeImage(colorType, bits, width, height, width * 31 + height);
      ASSERT_EQ(Png().Write(png, image), 0);
      ConvImageInfo info{};
      ASSERT_EQ(Png().Info(png, 0, &info), 0);
      EXPECT_EQ(std::tuple(int{info.colorType}, int{info.bitsPerPixel}), std::tuple(fileType, fileBits));
      RgbImage expected = ConverterImageAsRgb(image);
      RgbImage tool = Reference(png);
      EXPECT_EQ(LargestDifference(tool, expected), 0) << FirstDifference(tool, expected);
      ConverterImage back;
      ASSERT_EQ(Png().Read(png, back), 0);
      EXPECT_EQ(LargestDifference(ConverterImageAsRgb(back), expected), 0);
      if (fileType != 2) continue;
      // PLTE ends at the highest entry the pixels use; padding bits count not.
      long highest = 0;
      for (const Bytes& row : image.rows) {
        for (uint32_t x = 0; x < width; ++x) {
          highest =
              std::max<long>(highest, (row[x * bits / 8] >> (8 - bits - x * bits % 8)) & ((1 << bits) - 1));
        }
      }
      EXPECT_EQ(PaletteEntries(ReadFileBytes(png)), highest + 1);
    }
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

  std::tie(image.desc.resUnit, image.desc.resX, image.desc.resY) = std::tuple(CONV_UNIT_DPI, 300, 96);
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
    // Large enough that the encoder writes before the end; and a palette
    // image, whose bytes wait for the end.
    EXPECT_EQ(Png().Write("/dev/full", MakeImage(3, 24, 200, 300, 3)), CONV_ERR_DISK_FULL);
    EXPECT_EQ(Png().Write("/dev/full", MakeImage(2, 4, 3, 3, 3)), CONV_ERR_DISK_FULL);
  }
#endif
}

// The manager's row conversion of the layouts we deliver and take, through
// the imexp program and the CONVERT.INI beside it, both ways with PNM.
TEST_F(PngTest, ThroughTheManagerBothWays) {
  Run(kSources + std::string(" && convert rose.pgm -threshold 50% rose.pbm"));
  const std::string imexp = ProgramCommand("imexp") + " convert ";
  const std::string alpha = " \\( +clone -negate \\) -alpha off -compose CopyOpacity -composite";
  for (const std::string& command :
       {Magick("rose.pgm -depth 2", 0, 2), Pnm("-interlace c4.ppm"), Magick("rose.pgm" + alpha, 4, 8)}) {
    SCOPED_TRACE(command);
    Run(command + " && " + imexp + "x.png out.pnm >/dev/null");
    RgbImage got = ReadPnmAsRgb(dir_.File("out.pnm"));
    RgbImage expected = Reference(dir_.File("x.png"));
    EXPECT_EQ(LargestDifference(got, expected), 0) << FirstDifference(got, expected);
  }
  for (const char* source : {"c16.ppm", "rose.pbm"}) {
    SCOPED_TRACE(source);
    Run(imexp + source + " y.png >/dev/null");
    RgbImage got = Reference(dir_.File("y.png"));
    RgbImage expected = ReadPnmAsRgb(dir_.File(source));
    EXPECT_EQ(LargestDifference(got, expected), 0) << FirstDifference(got, expected);
  }
}

}  // namespace
}  // namespace imexp::test
