// The WebP converter: files made by cwebp, gif2webp and ImageMagick compared
// with dwebp's pictures, round trips through the writer, refused, damaged
// and lying files, the record and the texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/converter_driver.h"
#include "tests/support/reference_tools.h"

namespace imexp::test {
namespace {

using Bytes = std::vector<uint8_t>;

class WebpTest : public testing::Test {
 protected:
  std::string Expand(std::string command) const {
    const std::string folder = ShellQuote(dir_.path().string());
    for (std::size_t at = command.find("{d}"); at != std::string::npos; at = command.find("{d}", at))
      command.replace(at, 3, folder);
    return command;
  }
  void Run(const std::string& command) const {
    ASSERT_EQ(RunCommand(Expand(command) + " 2>/dev/null"), 0) << command;
  }
  // The converter, with a CONVERT.INI holding `ini`.
  ConverterDriver& Driver(const std::string& ini) {
    WriteFileBytes(dir_.File("CONVERT.INI"), ini);
    webp_.UseIni(dir_.File("CONVERT.INI"));
    return webp_;
  }
  // dwebp's picture of {d}/<name>, laid over `background` by ImageMagick.
  RgbImage Reference(const std::string& name, const char* background) const {
    Run("dwebp -quiet {d}/" + name + " -pam -o {d}/reference.pam");
    Run(std::string("convert {d}/reference.pam -background '") + background +
        "' -flatten -alpha off {d}/reference.ppm");
    return ReadPnmAsRgb(dir_.File("reference.ppm"));
  }
  RgbImage Ours(const std::string& name, int* error) {
    ConverterImage image;
    *error = webp_.Read(dir_.File(name), image, 5);
    return ConverterImageAsRgb(image);
  }

  TempDir dir_;
  ConverterDriver webp_{"imexp_webp"};
};

TEST_F(WebpTest, MatchesDwebp) {
  Run("convert -seed 4 -size 41x29 xc: +noise Random {d}/noise.png");
  Run("convert -size 41x29 gradient:red-blue \\( -size 41x29 gradient:white-black \\) -alpha off "
      "-compose copy_opacity -composite png32:{d}/alpha.png");
  // Alpha goes over the background in ImageMagick and in the converter,
  // each rounding on its own: one level apart at most. Opaque files are
  // decoded by the same library and must agree exactly.
  struct Case {
    const char* command;
    const char* ini;
    const char* background;
    int tolerance;
  };
  const Case cases[] = {
      {"cwebp -quiet -q 80 {d}/noise.png -o {d}/x.webp", "", "white", 0},
      {"cwebp -quiet -q 5 -sharp_yuv {d}/noise.png -o {d}/x.webp", "", "white", 0},
      {"cwebp -quiet -lossless {d}/noise.png -o {d}/x.webp", "", "white", 0},
      {"cwebp -quiet -q 70 -alpha_q 50 {d}/alpha.png -o {d}/x.webp", "", "white", 1},
      {"cwebp -quiet -lossless -exact {d}/alpha.png -o {d}/x.webp", "", "white", 1},
      {"cwebp -quiet -q 90 {d}/alpha.png -o {d}/x.webp", "[WebP]\nBackground=10,200,30\n", "rgb(10,200,30)",
       1},
      {"convert {d}/noise.png -quality 60 {d}/x.webp", "", "white", 0},
      {"convert {d}/alpha.png -define webp:lossless=true {d}/x.webp", "", "white", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    Run(c.command);
    Driver(c.ini);
    int error = 0;
    RgbImage got = Ours("x.webp", &error);
    ASSERT_EQ(error, 0);
    RgbImage expected = Reference("x.webp", c.background);
    EXPECT_LE(LargestDifference(got, expected), c.tolerance) << FirstDifference(got, expected, c.tolerance);
  }
}

TEST_F(WebpTest, InformationDescribesTheFile) {
  Run("convert -size 17x9 gradient:red-blue {d}/opaque.png");
  Run("convert -size 17x9 gradient:red-none png32:{d}/clear.png");
  Run("convert -delay 10 -size 17x9 xc:red xc:blue {d}/anim.gif");
  Run("cwebp -quiet -q 80 {d}/opaque.png -o {d}/lossy.webp");
  Run("cwebp -quiet -lossless {d}/opaque.png -o {d}/lossless.webp");
  Run("cwebp -quiet -q 80 {d}/clear.png -o {d}/lossy_alpha.webp");
  Run("cwebp -quiet -lossless {d}/clear.png -o {d}/lossless_alpha.webp");
  Run("gif2webp -quiet {d}/anim.gif -o {d}/anim.webp");
  // A colour profile long enough to push the image's own chunk far back.
  Run("head -c 6000 /dev/zero > {d}/profile.icc");
  Run("webpmux -set icc {d}/profile.icc {d}/lossy.webp -o {d}/profile.webp");
  ConverterDriver& webp = Driver("");
  const std::tuple<const char*, const char*, const char*, int, int> cases[] = {
      {"lossy.webp", "WebP lossy", "VP8", CONV_COLOR_RGB, 24},
      {"lossless.webp", "WebP lossless", "VP8L", CONV_COLOR_RGB, 24},
      {"lossy_alpha.webp", "WebP lossy", "VP8", CONV_COLOR_RGB_ALPHA, 32},
      {"lossless_alpha.webp", "WebP lossless", "VP8L", CONV_COLOR_RGB_ALPHA, 32},
      {"anim.webp", "WebP animation", "", CONV_COLOR_RGB, 24},
      {"profile.webp", "WebP lossy", "VP8", CONV_COLOR_RGB, 24},
  };
  for (const auto& [file, formatName, compression, colorType, bits] : cases) {
    SCOPED_TRACE(file);
    ConvImageInfo info{};
    ASSERT_EQ(webp.Info(dir_.File(file), 0, &info), 0);
    EXPECT_STREQ(info.formatName, formatName);
    EXPECT_STREQ(info.compression, compression);
    EXPECT_EQ(std::tuple(info.width, info.height, int{info.colorType}, int{info.bitsPerPixel}),
              std::tuple(17u, 9u, colorType, bits));
  }
  ConvImageInfo info{};
  EXPECT_EQ(webp.Info(dir_.File("lossy.webp"), 1, &info), CONV_ERR_WRONG_IMAGE_NUMBER);
  // Animations are refused by name rather than read in part.
  ConverterImage image;
  ASSERT_EQ(webp.Read(dir_.File("anim.webp"), image), 23);
  EXPECT_NE(webp.ErrorText(23, "anim.webp").find("animated"), std::string::npos);
}

ConverterImage MakeRgb(uint32_t width, uint32_t height, bool smooth, unsigned seed = 1) {
  ConverterImage image;
  image.desc.width = width;
  image.desc.height = height;
  image.desc.colorType = CONV_COLOR_RGB;
  image.desc.bitsPerPixel = 24;
  image.desc.planes = 1;
  image.desc.bytesPerLine = width * 3;
  for (uint32_t y = 0; y < height; ++y) {
    Bytes row(std::size_t{width} * 3);
    for (uint32_t x = 0; x < width; ++x) {
      uint8_t* px = &row[x * 3];
      if (smooth) {
        px[0] = static_cast<uint8_t>(x * 255 / width);
        px[1] = static_cast<uint8_t>(y * 255 / height);
        px[2] = 128;
      } else {
        for (int c = 0; c < 3; ++c) px[c] = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
      }
    }
    image.rows.push_back(row);
  }
  return image;
}

TEST_F(WebpTest, RoundTripsThroughTheWriter) {
  // Lossless is exact whatever the pixels; lossy at quality 90 keeps a
  // smooth picture within 12 levels (chroma is stored at half resolution).
  struct Case {
    const char* ini;
    bool smooth;
    int tolerance;
    const char* compression;
  };
  const Case cases[] = {
      {"[WebP]\nLossless=1\n", false, 0, "VP8L"},
      {"", true, 12, "VP8"},
      {"[WebP]\nQuality=100\n", true, 12, "VP8"},
  };
  const std::string path = dir_.File("round.webp");
  for (const Case& c : cases) {
    for (auto [width, height] : {std::pair(1u, 1u), std::pair(33u, 17u), std::pair(200u, 90u)}) {
      SCOPED_TRACE(testing::Message() << c.ini << width << "x" << height);
      ConverterImage image = MakeRgb(width, height, c.smooth, width + height);
      RgbImage expected = ConverterImageAsRgb(image);
      ASSERT_EQ(Driver(c.ini).Write(path, image), 0);
      int error = 0;
      RgbImage ours = Ours("round.webp", &error);
      ASSERT_EQ(error, 0);
      EXPECT_LE(LargestDifference(ours, expected), c.tolerance)
          << FirstDifference(ours, expected, c.tolerance);
      RgbImage tool = Reference("round.webp", "white");
      EXPECT_EQ(LargestDifference(tool, ours), 0) << FirstDifference(tool, ours);
      ConvImageInfo info{};
      ASSERT_EQ(webp_.Info(path, 0, &info), 0);
      EXPECT_STREQ(info.compression, c.compression);
    }
  }
  // Quality decides the size.
  ConverterImage noise = MakeRgb(120, 80, false);
  std::vector<std::size_t> sizes;
  for (const char* quality : {"5", "50", "95"}) {
    ASSERT_EQ(Driver(std::string("[WebP]\nQuality=") + quality + "\n").Write(path, noise), 0);
    sizes.push_back(std::filesystem::file_size(path));
  }
  EXPECT_LT(sizes[0], sizes[1]);
  EXPECT_LT(sizes[1], sizes[2]);
}

TEST_F(WebpTest, RefusedAndFailingWrites) {
  ConverterDriver& webp = Driver("");
  ConverterImage palette = MakeRgb(4, 1, true);
  palette.desc.colorType = CONV_COLOR_PALETTE;
  palette.desc.bitsPerPixel = 8;
  palette.rows = {Bytes(4)};
  const std::tuple<ConverterImage, int> cases[] = {
      {palette, CONV_ERR_ILLEGAL_CONVERSION},
      {MakeRgb(11000, 1, true), CONV_ERR_FILE_TOO_BIG},  // rows of 33000 bytes
      {MakeRgb(2, 16384, true), 24},                     // beyond what WebP stores
  };
  for (const auto& [image, error] : cases) EXPECT_EQ(webp.Write(dir_.File("refused.webp"), image), error);
#ifndef _WIN32
  if (std::filesystem::exists("/dev/full")) {
    EXPECT_EQ(webp.Write("/dev/full", MakeRgb(300, 200, false)), CONV_ERR_DISK_FULL);
  }
#endif
}

// Damaged copies of good files: any result code will do, as long as the
// reader neither crashes nor touches memory it does not own (ASan run), and
// a success delivers every row.
TEST_F(WebpTest, DamagedAndLyingFiles) {
  Run("convert -seed 4 -size 23x19 xc: +noise Random {d}/noise.png");
  Run("convert -size 23x19 gradient:red-none png32:{d}/clear.png");
  Run("cwebp -quiet -q 60 {d}/noise.png -o {d}/a.webp");
  Run("cwebp -quiet -lossless {d}/noise.png -o {d}/b.webp");
  Run("cwebp -quiet -q 60 {d}/clear.png -o {d}/c.webp");
  Run("convert -size 12000x1 gradient:red-blue {d}/wide.png");
  Run("cwebp -quiet -lossless {d}/wide.png -o {d}/wide.webp");
  ConverterDriver& webp = Driver("");
  const std::string path = dir_.File("bad.webp");

  // Too wide for the manager's rows.
  ConverterImage image;
  EXPECT_EQ(webp.Read(dir_.File("wide.webp"), image), 21);
  // A RIFF size beyond the file is a file cut short, whether the size or
  // the file lies; nothing of the declared size is allocated. Bytes after
  // the container are not part of it.
  std::string good = ReadFileBytes(dir_.File("a.webp"));
  std::string lying = good;
  lying[4] = lying[5] = lying[6] = '\xF0';
  const std::pair<std::string, int> files[] = {{lying, CONV_ERR_END_OF_FILE},
                                               {good.substr(0, good.size() / 2), CONV_ERR_END_OF_FILE},
                                               {good + "junk", 0}};
  for (const auto& [bytes, error] : files) {
    WriteFileBytes(path, bytes);
    EXPECT_EQ(webp.Read(path, image), error);
  }

  const std::set<int> answers = {
      CONV_OK, CONV_ERR_END_OF_FILE, CONV_ERR_UNKNOWN_FORMAT, CONV_ERR_INVALID_FILE, 21, 22, 23};
  unsigned seed = 5;
  auto next = [&seed](unsigned range) { return (seed = seed * 1103515245u + 12345u) / 65536 % range; };
  for (const char* name : {"a.webp", "b.webp", "c.webp"}) {
    good = ReadFileBytes(dir_.File(name));
    for (int round = 0; round < 120; ++round) {
      std::string bad = round % 2 ? good : good.substr(0, next(unsigned(good.size()) + 1));
      for (unsigned flips = round % 2 ? next(4) + 1 : 0; flips > 0 && !bad.empty(); --flips)
        bad[next(unsigned(bad.size()))] = static_cast<char>(next(256));
      WriteFileBytes(path, bad);
      ConvImageInfo info{};
      int codes[] = {webp.Info(path, 0, &info), webp.Read(path, image, next(4))};
      for (int code : codes)
        EXPECT_EQ(answers.count(code), 1u) << code << " for " << name << " round " << round;
      if (codes[1] == CONV_OK) EXPECT_EQ(image.rows.size(), image.desc.height);
    }
  }
}

TEST_F(WebpTest, RecordContentCheckAndTexts) {
  ConverterDriver& webp = Driver("");
  ASSERT_TRUE(webp.loaded());
  EXPECT_EQ(webp.Version(), 0x00030300u);
  ConvRecord record = webp.Record();
  EXPECT_STREQ(record.name, "WebP");
  EXPECT_STREQ(record.description, "WebP");
  EXPECT_STREQ(record.extensions, "*.WEBP");
  EXPECT_EQ(std::tuple(record.flags, record.writeFormats, int{record.writeResUnits}),
            std::tuple(0x13u, 0x080u, 1));
  using namespace std::string_literals;
  const std::pair<std::string, bool> files[] = {{"RIFF\0\0\0\0WEBP"s, true},
                                                {"RIFF\1\2\3\4WEBPVP8 "s, true},
                                                {"RIFF\0\0\0\0WAVE"s, false},
                                                {"RIFF"s, false}};
  const std::string path = dir_.File("check.webp");
  for (const auto& [bytes, accepted] : files) {
    WriteFileBytes(path, bytes);
    EXPECT_EQ(webp.Check(path), accepted) << bytes;
  }
  // libwebp's reason reaches the text of the code that carries it.
  WriteFileBytes(path, std::string("RIFF\x1A\0\0\0WEBPVP8L\x0D\0\0\0\x2F\0\0\0\xE0\0\0\0\0\0\0\0\0\0", 34));
  ConverterImage image;
  int error = webp.Read(path, image);
  ASSERT_EQ(error, 22);
  EXPECT_EQ(webp.ErrorText(error, "x.webp").rfind("WebP error in x.webp: ", 0), 0u)
      << webp.ErrorText(error, "x.webp");
  EXPECT_EQ(webp.ErrorText(77, "x.webp"), "WebP converter error 77 in x.webp");
}

}  // namespace
}  // namespace imexp::test
