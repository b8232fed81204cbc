// The WebP converter: files of cwebp, gif2webp, webpmux and ImageMagick
// against dwebp, round trips through the writer, refused, damaged and lying
// files, the record and the texts.
#include <filesystem>
#include <set>
#include <tuple>

#include "tests/converters/field_tool_test.h"

namespace imexp::test {
namespace {

class WebpTest : public FieldToolTest {
 protected:
  WebpTest() : FieldToolTest("imexp_webp") {}
  // dwebp's picture of {d}/<name>, laid over `background` by ImageMagick.
  RgbImage Reference(const std::string& name, const std::string& background) const {
    Run("dwebp -quiet {d}/" + name + " -pam -o {d}/reference.pam");
    Run("convert {d}/reference.pam -background '" + background + "' -flatten -alpha off {d}/reference.ppm");
    return ReadPnmAsRgb(File("reference.ppm"));
  }
  RgbImage Ours(const std::string& name) {
    ConverterImage image;
    EXPECT_EQ(converter_.Read(File(name), image, 5), 0);
    return ConverterImageAsRgb(image);
  }
};

TEST_F(WebpTest, ReadsLikeDwebp) {
  Run("convert -seed 4 -size 41x29 xc: +noise Random {d}/noise.png");
  Run("convert -size 41x29 gradient:red-blue \\( -size 41x29 gradient:white-black \\) -alpha off "
      "-compose copy_opacity -composite png32:{d}/alpha.png");
  // Opaque files are decoded by the same library as dwebp's and agree
  // exactly; alpha is laid over the background by ImageMagick and by the
  // converter, each rounding on its own, so one level apart at most.
  const std::tuple<const char*, const char*, const char*, int> cases[] = {
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
  for (const auto& [command, ini, background, tolerance] : cases) {
    SCOPED_TRACE(command);
    Run(command);
    With(ini);
    RgbImage got = Ours("x.webp");
    RgbImage expected = Reference("x.webp", background);
    EXPECT_LE(LargestDifference(got, expected), tolerance) << FirstDifference(got, expected, tolerance);
  }
}

TEST_F(WebpTest, InformationDescribesTheFile) {
  Run("convert -size 17x9 gradient:red-blue {d}/opaque.png");
  Run("convert -size 17x9 gradient:red-none png32:{d}/clear.png");
  Run("convert -delay 10 -size 17x9 xc:red xc:blue {d}/anim.gif");
  Run("head -c 6000 /dev/zero > {d}/profile.icc");
  ConverterDriver& webp = With("");
  const std::tuple<const char*, const char*, const char*, int> cases[] = {
      {"cwebp -q 80 {d}/opaque.png -o {d}/x.webp && cp {d}/x.webp {d}/lossy.webp", "WebP lossy", "VP8",
       CONV_COLOR_RGB},
      {"cwebp -lossless {d}/opaque.png -o {d}/x.webp", "WebP lossless", "VP8L", CONV_COLOR_RGB},
      {"cwebp -q 80 {d}/clear.png -o {d}/x.webp", "WebP lossy", "VP8", CONV_COLOR_RGB_ALPHA},
      {"cwebp -lossless {d}/clear.png -o {d}/x.webp", "WebP lossless", "VP8L", CONV_COLOR_RGB_ALPHA},
      {"gif2webp {d}/anim.gif -o {d}/x.webp && cp {d}/x.webp {d}/anim.webp", "WebP animation", "",
       CONV_COLOR_RGB},
      // A colour profile long enough to push the image's own chunk far back.
      {"webpmux -set icc {d}/profile.icc {d}/lossy.webp -o {d}/x.webp", "WebP lossy", "VP8", CONV_COLOR_RGB},
  };
  for (const auto& [command, formatName, compression, colorType] : cases) {
    Run(command);
    ConvImageInfo info{};
    ASSERT_EQ(webp.Info(File("x.webp"), 0, &info), 0) << command;
    EXPECT_EQ(std::tuple(std::string(info.formatName), std::string(info.compression), info.width, info.height,
                         int{info.colorType}, int{info.bitsPerPixel}),
              std::tuple(formatName, compression, 17u, 9u, colorType, colorType == CONV_COLOR_RGB ? 24 : 32))
        << command;
  }
  ConvImageInfo info{};
  EXPECT_EQ(webp.Info(File("lossy.webp"), 1, &info), CONV_ERR_WRONG_IMAGE_NUMBER);
  // Animations are refused by name rather than read in part.
  ConverterImage image;
  ASSERT_EQ(webp.Read(File("anim.webp"), image), 23);
  EXPECT_EQ(webp.ErrorText(23, "a.webp"), "a.webp is an animated WebP file; only still images can be read");
}

ConverterImage MakeRgb(uint32_t width, uint32_t height, bool smooth, unsigned seed = 1) {
  ConverterImage image;
  ConvImageDesc& d = image.desc;
  std::tie(d.width, d.height, d.colorType, d.bitsPerPixel, d.planes, d.bytesPerLine) =
      std::tuple(width, height, CONV_COLOR_RGB, 24, 1, width * 3);
  image.rows.assign(height, std::vector<uint8_t>(std::size_t{width} * 3));
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width * 3; ++x) {
      unsigned smoothLevel = x % 3 == 0 ? x / 3 * 255 / width : x % 3 == 1 ? y * 255 / height : 128;
      image.rows[y][x] = uint8_t(smooth ? smoothLevel : (seed = seed * 1103515245u + 12345u) >> 16);
    }
  }
  return image;
}

TEST_F(WebpTest, WritesLossyAndLossless) {
  // Lossless is exact whatever the pixels; lossy keeps a smooth picture
  // within 12 levels (chroma is stored at half resolution). dwebp reads
  // what the converter reads.
  const std::tuple<const char*, bool, int, const char*> cases[] = {
      {"[WebP]\nLossless=1\n", false, 0, "VP8L"},
      {"", true, 12, "VP8"},
      {"[WebP]\nQuality=100\n", true, 12, "VP8"},
  };
  for (const auto& [ini, smooth, tolerance, compression] : cases) {
    for (auto [width, height] : {std::pair(1u, 1u), std::pair(33u, 17u), std::pair(200u, 90u)}) {
      SCOPED_TRACE(testing::Message() << ini << width << "x" << height);
      ConverterImage image = MakeRgb(width, height, smooth, width + height);
      ASSERT_EQ(With(ini).Write(File("round.webp"), image), 0);
      RgbImage expected = ConverterImageAsRgb(image);
      RgbImage ours = Ours("round.webp");
      EXPECT_LE(LargestDifference(ours, expected), tolerance) << FirstDifference(ours, expected, tolerance);
      EXPECT_EQ(Reference("round.webp", "white"), ours);
      ConvImageInfo info{};
      ASSERT_EQ(converter_.Info(File("round.webp"), 0, &info), 0);
      EXPECT_STREQ(info.compression, compression);
    }
  }
  // Quality decides the size.
  std::vector<std::uintmax_t> sizes;
  for (const char* quality : {"5", "50", "95"}) {
    ASSERT_EQ(With(std::string("[WebP]\nQuality=") + quality).Write(File("q.webp"), MakeRgb(120, 80, false)),
              0);
    sizes.push_back(std::filesystem::file_size(File("q.webp")));
  }
  EXPECT_TRUE(sizes[0] < sizes[1] && sizes[1] < sizes[2]) << sizes[0] << " " << sizes[1] << " " << sizes[2];

  ConverterImage palette = MakeRgb(4, 1, true);
  palette.desc.colorType = CONV_COLOR_PALETTE;
  palette.desc.bitsPerPixel = 8;
  const std::tuple<ConverterImage, int> refused[] = {
      {palette, CONV_ERR_ILLEGAL_CONVERSION},
      {MakeRgb(11000, 1, true), CONV_ERR_FILE_TOO_BIG},  // rows of 33000 bytes
      {MakeRgb(2, 16384, true), 24},                     // beyond what WebP stores
  };
  for (const auto& [image, error] : refused) EXPECT_EQ(converter_.Write(File("no.webp"), image), error);
  if (std::filesystem::exists("/dev/full"))
    EXPECT_EQ(converter_.Write("/dev/full", MakeRgb(300, 200, false)), 13);
}

// Any result code will do for a damaged file, as long as the reader neither
// crashes nor touches memory it does not own (ASan run), and a success
// delivers every row.
TEST_F(WebpTest, DamagedAndLyingFiles) {
  Run("convert -seed 4 -size 23x19 xc: +noise Random {d}/noise.png");
  Run("convert -size 23x19 gradient:red-none png32:{d}/clear.png");
  Run("cwebp -quiet -q 60 {d}/noise.png -o {d}/a.webp");
  Run("cwebp -quiet -lossless {d}/noise.png -o {d}/b.webp");
  Run("cwebp -quiet -q 60 {d}/clear.png -o {d}/c.webp");
  Run("convert -size 12000x1 gradient:red-blue {d}/wide.png");
  Run("cwebp -quiet -lossless {d}/wide.png -o {d}/wide.webp");
  ConverterDriver& webp = With("");
  const std::string path = File("bad.webp");
  ConverterImage image;
  // Too wide for the manager's rows.
  EXPECT_EQ(webp.Read(File("wide.webp"), image), 21);
  // A RIFF size beyond the file is a file cut short, whether the size or
  // the file lies; bytes after the container are not part of it.
  const std::string good = ReadFileBytes(File("a.webp"));
  std::string lying = good;
  lying[4] = lying[5] = lying[6] = '\xF0';
  const std::pair<std::string, int> files[] = {
      {lying, 1}, {good.substr(0, good.size() / 2), 1}, {good + "junk", 0}};
  for (const auto& [bytes, error] : files) {
    WriteFileBytes(path, bytes);
    EXPECT_EQ(webp.Read(path, image), error);
  }
  const std::set<int> answers = {0, 1, 3, 4, 21, 22, 23};
  for (const char* name : {"a.webp", "b.webp", "c.webp"}) {
    for (const std::string& bad : Damaged(ReadFileBytes(File(name)), 120, 5)) {
      WriteFileBytes(path, bad);
      ConvImageInfo info{};
      int codes[] = {webp.Info(path, 0, &info), webp.Read(path, image, unsigned(bad.size() % 4))};
      for (int code : codes) EXPECT_EQ(answers.count(code), 1u) << code << " for " << name;
      if (codes[1] == 0) EXPECT_EQ(image.rows.size(), image.desc.height);
    }
  }
}

TEST_F(WebpTest, RecordContentCheckAndTexts) {
  using namespace std::string_literals;
  ConverterDriver& webp = With("");
  ASSERT_TRUE(webp.loaded());
  EXPECT_EQ(webp.Version(), 0x00030300u);
  ConvRecord r = webp.Record();
  EXPECT_EQ(std::tuple(std::string(r.name), std::string(r.description), std::string(r.extensions), r.flags,
                       r.writeFormats, int{r.writeResUnits}),
            std::tuple("WebP", "WebP", "*.WEBP", 0x1Fu, 0x080u, 1));
  const std::pair<std::string, bool> files[] = {{"RIFF\0\0\0\0WEBP"s, true},
                                                {"RIFF\1\2\3\4WEBPVP8 "s, true},
                                                {"RIFF\0\0\0\0WAVE"s, false},
                                                {"RIFF"s, false}};
  for (const auto& [bytes, accepted] : files) {
    WriteFileBytes(File("check.webp"), bytes);
    EXPECT_EQ(webp.Check(File("check.webp")), accepted) << bytes;
  }
  // libwebp's reason reaches the text of the code that carries it: a
  // lossless header of an unknown version.
  WriteFileBytes(File("bad.webp"), "RIFF\x1A\0\0\0WEBPVP8L\x0D\0\0\0\x2F\0\0\0\xE0\0\0\0\0\0\0\0\0\0"s);
  ConverterImage image;
  ASSERT_EQ(webp.Read(File("bad.webp"), image), 22);
  EXPECT_EQ(webp.ErrorText(22, "x.webp"), "WebP error in x.webp: bitstream error");
  EXPECT_EQ(webp.ErrorText(77, "x.webp"), "WebP converter error 77 in x.webp");
}

}  // namespace
}  // namespace imexp::test
