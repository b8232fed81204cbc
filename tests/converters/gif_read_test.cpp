// The GIF converter as a reader: files made by giflib's gifbuild, netpbm's
// pamtogif and ImageMagick, compared pixel for pixel with giftopnm; image
// counts and information; damaged and lying files.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/converter_driver.h"
#include "tests/support/reference_tools.h"

namespace imexp::test {
namespace {

struct Rgb {
  int r, g, b;
};

// A one-image GIF described for gifbuild: maps, placement, interlacing and
// transparency; pixels run through the colours of the map that applies.
struct GifSpec {
  int screenWidth, screenHeight;
  std::vector<Rgb> global, local;
  int left, top, width, height;
  bool interlaced;
  int transparent;  // -1: no graphics control block
};

// Distinct colours for maps without a pattern of their own.
std::vector<Rgb> Colors(int count, int seed) {
  std::vector<Rgb> colors;
  for (int i = 0; i < count; ++i)
    colors.push_back({(i * 37 + seed) % 256, (i * 91 + 2 * seed) % 256, (i * 53) % 256});
  return colors;
}

std::string Map(const char* name, const std::vector<Rgb>& colors) {
  static const char kKeys[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string text = std::string(name) + " map\n";
  for (std::size_t i = 0; i < colors.size(); ++i) {
    text += "\trgb " + std::to_string(colors[i].r) + " " + std::to_string(colors[i].g) + " " +
            std::to_string(colors[i].b) + " is " + kKeys[i] + "\n";
  }
  return text + "end\n";
}

std::string Describe(const GifSpec& s) {
  static const char kKeys[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string text = "screen width " + std::to_string(s.screenWidth) + "\nscreen height " +
                     std::to_string(s.screenHeight) + "\nscreen colors 256\n";
  if (!s.global.empty()) text += Map("screen", s.global);
  if (s.transparent >= 0) {
    text += "graphics control\n\tdisposal mode 0\n\tuser input flag off\n\tdelay 0\n\ttransparent index " +
            std::to_string(s.transparent) + "\nend\n";
  }
  text += "image\nimage left " + std::to_string(s.left) + "\nimage top " + std::to_string(s.top) + "\n";
  if (s.interlaced) text += "image interlaced\n";
  if (!s.local.empty()) text += Map("image", s.local);
  int colors = static_cast<int>(s.local.empty() ? s.global.size() : s.local.size());
  text += "image bits " + std::to_string(s.width) + " by " + std::to_string(s.height) + "\n";
  for (int y = 0; y < s.height; ++y) {
    for (int x = 0; x < s.width; ++x) text += kKeys[(x * 3 + y * 5 + x * y) % colors];
    text += "\n";
  }
  return text;
}

class GifReadTest : public testing::Test {
 protected:
  // `command` with every {d} turned into the test folder.
  std::string Expand(std::string command) const {
    const std::string folder = ShellQuote(dir_.path().string());
    for (std::size_t at = command.find("{d}"); at != std::string::npos; at = command.find("{d}", at))
      command.replace(at, 3, folder);
    return command;
  }
  void Run(const std::string& command) const {
    ASSERT_EQ(RunCommand(Expand(command) + " 2>/dev/null"), 0) << command;
  }
  // A gifbuild description compiled into {d}/<name>.
  void Build(const GifSpec& spec, const std::string& name) const {
    WriteFileBytes(dir_.File("spec.txt"), Describe(spec));
    Run("gifbuild {d}/spec.txt > {d}/" + name);
  }
  // giftopnm's picture with its transparent pixels in `background`.
  RgbImage Reference(const std::string& name, Rgb background) const {
    Run("giftopnm -alphaout={d}/alpha.pbm {d}/" + name + " > {d}/reference.ppm");
    RgbImage picture = ReadPnmAsRgb(dir_.File("reference.ppm"));
    RgbImage alpha = ReadPnmAsRgb(dir_.File("alpha.pbm"));
    EXPECT_EQ(alpha.rgb.size(), picture.rgb.size());
    for (std::size_t i = 0; i + 2 < picture.rgb.size() && i < alpha.rgb.size(); i += 3) {
      if (alpha.rgb[i] != 0) continue;
      picture.rgb[i] = static_cast<uint8_t>(background.r);
      picture.rgb[i + 1] = static_cast<uint8_t>(background.g);
      picture.rgb[i + 2] = static_cast<uint8_t>(background.b);
    }
    return picture;
  }
  // The converter, with a CONVERT.INI holding `ini`.
  ConverterDriver& Driver(const std::string& ini) {
    WriteFileBytes(dir_.File("CONVERT.INI"), ini);
    gif_.UseIni(dir_.File("CONVERT.INI"));
    return gif_;
  }

  TempDir dir_;
  ConverterDriver gif_{"imexp_gif"};
};

TEST_F(GifReadTest, MatchesGiftopnm) {
  const Rgb white{255, 255, 255};
  const std::vector<Rgb> blackWhite = {{0, 0, 0}, {255, 255, 255}};
  // Files of gifbuild: every map size from 1 to 6 bits, local and global
  // maps, images off the screen's corner, interlacing, transparency.
  struct Built {
    const char* name;
    GifSpec spec;
    const char* ini;
    Rgb background;
    int bits;  // as delivered
  };
  const Built built[] = {
      {"local 3-bit map, interlaced, placed on a larger screen, transparent",
       {8, 6, Colors(3, 0), Colors(5, 7), 1, 1, 5, 4, true, 1},
       "",
       white,
       4},
      {"two colours that are not black and white",
       {9, 3, {{200, 0, 0}, {0, 0, 200}}, {}, 0, 0, 9, 3, false, -1},
       "",
       white,
       4},
      {"black and white", {10, 2, blackWhite, {}, 0, 0, 10, 2, false, -1}, "", white, 1},
      {"white and black", {10, 2, {{255, 255, 255}, {0, 0, 0}}, {}, 0, 0, 10, 2, false, -1}, "", white, 1},
      {"black and white, black transparent", {10, 2, blackWhite, {}, 0, 0, 10, 2, false, 0}, "", white, 4},
      {"no global map, 5-bit local map", {7, 9, {}, Colors(20, 3), 0, 0, 7, 9, false, -1}, "", white, 8},
      {"6-bit map, interlaced over 17 rows", {3, 17, Colors(62, 5), {}, 0, 0, 3, 17, true, 4}, "", white, 8},
      {"transparency over a configured background",
       {6, 5, Colors(4, 9), {}, 0, 0, 6, 5, false, 2},
       "[GIF]\nBackground = 10, 200, 30\n",
       {10, 200, 30},
       4},
  };
  for (const Built& c : built) {
    SCOPED_TRACE(c.name);
    ASSERT_NO_FATAL_FAILURE(Build(c.spec, "built.gif"));
    ConverterImage image;
    ASSERT_EQ(Driver(c.ini).Read(dir_.File("built.gif"), image, 3), 0);
    EXPECT_EQ(image.desc.bitsPerPixel, c.bits);
    RgbImage expected = Reference("built.gif", c.background);
    RgbImage got = ConverterImageAsRgb(image);
    EXPECT_EQ(LargestDifference(got, expected), 0) << FirstDifference(got, expected);
  }

  // Files of the other programs, from pictures made at test time.
  const std::pair<const char*, const char*> made[] = {
      {"pamtogif", "pamtogif {d}/few.ppm"},
      {"pamtogif -interlace", "pamtogif -interlace {d}/many.ppm"},
      {"pamtogif -transparent", "pamtogif -transparent=red {d}/few.ppm"},
      {"convert -colors 2", "convert {d}/noise.ppm -colors 2 gif:-"},
      {"convert -colors 16", "convert {d}/noise.ppm -colors 16 gif:-"},
      {"convert -colors 200 -interlace GIF", "convert {d}/noise.ppm -colors 200 -interlace GIF gif:-"},
      {"convert -monochrome", "convert {d}/noise.ppm -monochrome gif:-"},
      {"convert grey", "convert {d}/noise.ppm -colorspace gray -colors 8 gif:-"},
      {"convert on a larger screen", "convert {d}/few.ppm -repage 60x50+7+3 gif:-"},
      {"convert animation", "convert -delay 10 {d}/noise.ppm \\( {d}/noise.ppm -flip \\) -colors 64 gif:-"},
  };
  Run("convert -size 37x23 gradient:red-blue -colors 7 {d}/few.ppm");
  Run("convert -seed 4 -size 41x29 xc: +noise Random {d}/noise.ppm");
  Run("convert {d}/noise.ppm -colors 220 {d}/many.ppm");
  for (const auto& [name, command] : made) {
    SCOPED_TRACE(name);
    Run(std::string(command) + " > {d}/made.gif");
    ConverterImage image;
    ASSERT_EQ(Driver("").Read(dir_.File("made.gif"), image), 0);
    RgbImage expected = Reference("made.gif", white);
    RgbImage got = ConverterImageAsRgb(image);
    EXPECT_EQ(LargestDifference(got, expected), 0) << FirstDifference(got, expected);
  }
}

TEST_F(GifReadTest, CountsImagesAndDescribesTheFirst) {
  Run("convert -size 13x7 xc:red xc:blue xc:green -loop 0 {d}/three.gif");
  Run("convert -size 13x7 xc:red -colors 2 {d}/one.gif");
  ASSERT_NO_FATAL_FAILURE(Build({20, 20, Colors(6, 1), {}, 2, 3, 9, 4, true, -1}, "built.gif"));
  ConverterDriver& gif = Driver("");
  struct Case {
    const char* file;
    int count;
    const char* formatName;
    int colorType, bits;
    uint32_t width, height;
  };
  const Case cases[] = {
      {"three.gif", 3, "GIF89a", CONV_COLOR_PALETTE, 1, 13, 7},
      {"one.gif", 1, "GIF89a", CONV_COLOR_PALETTE, 1, 13, 7},
      {"built.gif", 1, "GIF87a", CONV_COLOR_PALETTE, 3, 9, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    int count = 0;
    int singleView = 0;
    ASSERT_EQ(gif.ImageCount(dir_.File(c.file), &count, &singleView), 0);
    EXPECT_EQ(std::tuple(count, singleView), std::tuple(c.count, 1));
    ConvImageInfo info{};
    ASSERT_EQ(gif.Info(dir_.File(c.file), 0, &info), 0);
    EXPECT_STREQ(info.formatName, c.formatName);
    EXPECT_STREQ(info.compression, "LZW");
    EXPECT_EQ(std::tuple(int{info.colorType}, int{info.bitsPerPixel}, info.width, info.height),
              std::tuple(c.colorType, c.bits, c.width, c.height));
  }
  ConvImageInfo info{};
  EXPECT_EQ(gif.Info(dir_.File("three.gif"), 1, &info), CONV_ERR_WRONG_IMAGE_NUMBER);

  // A damaged tail leaves the images before it countable.
  std::string three = ReadFileBytes(dir_.File("three.gif"));
  WriteFileBytes(dir_.File("cut.gif"), three.substr(0, three.size() - 6));
  int count = 0;
  int singleView = 0;
  ASSERT_EQ(gif.ImageCount(dir_.File("cut.gif"), &count, &singleView), 0);
  EXPECT_EQ(count, 3);
  WriteFileBytes(dir_.File("none.gif"), std::string("GIF89a\1\0\1\0\0\0\0;", 14));
  EXPECT_EQ(gif.ImageCount(dir_.File("none.gif"), &count, &singleView), CONV_ERR_NO_IMAGES);
}

// The image descriptor's size patched into a small good file.
std::string WithImageSize(std::string gif, uint16_t width, uint16_t height) {
  std::size_t at = 13;
  if (static_cast<uint8_t>(gif[10]) & 0x80) at += 3u << ((gif[10] & 7) + 1);
  for (uint16_t v : {width, height}) {
    gif[at + 5] = static_cast<char>(v & 0xFF);
    gif[at + 6] = static_cast<char>(v >> 8);
    at += 2;
  }
  return gif;
}

// Damaged copies of good files: any result code will do, as long as the
// reader neither crashes nor touches memory it does not own (ASan run), and
// a success delivers every row.
TEST_F(GifReadTest, DamagedAndLyingFiles) {
  ASSERT_NO_FATAL_FAILURE(Build({8, 6, Colors(3, 0), Colors(5, 7), 1, 1, 5, 4, true, 1}, "a.gif"));
  ASSERT_NO_FATAL_FAILURE(Build({30, 20, Colors(40, 2), {}, 0, 0, 30, 20, false, -1}, "b.gif"));
  Run("convert -size 13x7 xc:red xc:blue -loop 0 {d}/c.gif");
  ConverterDriver& gif = Driver("");
  const std::string path = dir_.File("bad.gif");

  std::string small = ReadFileBytes(dir_.File("b.gif"));
  // Sizes no file this short can hold are refused before anything is
  // allocated for them, and sizes beyond the manager's limit by name.
  const std::tuple<uint16_t, uint16_t, int> lies[] = {
      {32000, 32000, CONV_ERR_END_OF_FILE}, {40000, 2, 21}, {0, 5, CONV_ERR_INVALID_FILE}, {31, 20, 0}};
  for (const auto& [width, height, error] : lies) {
    WriteFileBytes(path, WithImageSize(small, width, height));
    ConverterImage image;
    int result = gif.Read(path, image);
    // A size a little beyond the pixel data is only found when decoding.
    if (error == 0) {
      EXPECT_NE(result, 0);
    } else {
      EXPECT_EQ(result, error) << width << "x" << height;
    }
  }

  const std::set<int> answers = {
      CONV_OK, CONV_ERR_END_OF_FILE, CONV_ERR_UNKNOWN_FORMAT, CONV_ERR_INVALID_FILE, CONV_ERR_NO_IMAGES, 21,
      22};
  unsigned seed = 11;
  auto next = [&seed](unsigned range) { return (seed = seed * 1103515245u + 12345u) / 65536 % range; };
  for (const char* name : {"a.gif", "b.gif", "c.gif"}) {
    const std::string good = ReadFileBytes(dir_.File(name));
    for (int round = 0; round < 120; ++round) {
      std::string bad = round % 2 ? good : good.substr(0, next(unsigned(good.size()) + 1));
      for (unsigned flips = round % 2 ? next(4) + 1 : 0; flips > 0 && !bad.empty(); --flips)
        bad[next(unsigned(bad.size()))] = static_cast<char>(next(256));
      WriteFileBytes(path, bad);
      ConvImageInfo info{};
      int count = 0;
      int singleView = 0;
      ConverterImage image;
      int codes[] = {gif.Info(path, 0, &info), gif.ImageCount(path, &count, &singleView),
                     gif.Read(path, image, next(4))};
      for (int code : codes)
        EXPECT_EQ(answers.count(code), 1u) << code << " for " << name << " round " << round;
      if (codes[2] == CONV_OK) EXPECT_EQ(image.rows.size(), image.desc.height);
    }
  }
}

TEST_F(GifReadTest, RecordContentCheckAndTexts) {
  ConverterDriver gif("imexp_gif");
  ASSERT_TRUE(gif.loaded());
  EXPECT_EQ(gif.Version(), 0x00030300u);
  ConvRecord record = gif.Record();
  EXPECT_STREQ(record.name, "GIF");
  EXPECT_STREQ(record.description, "Graphics Interchange Format");
  EXPECT_STREQ(record.extensions, "*.GIF");
  EXPECT_EQ(std::tuple(record.flags, record.writeFormats, int{record.writeResUnits}),
            std::tuple(0x33u, 0x040u, 1));

  const std::pair<std::string, bool> files[] = {
      {"GIF89a", true}, {"GIF87a\1\0", true}, {"GIF88a", false}, {"GIF8", false}, {"", false}};
  const std::string path = dir_.File("check.gif");
  for (const auto& [bytes, accepted] : files) {
    WriteFileBytes(path, bytes);
    EXPECT_EQ(gif.Check(path), accepted) << bytes;
  }

  // giflib's reason reaches the text of the code that carries it.
  WriteFileBytes(path, std::string("GIF89a\1\0\1\0\0\0\0!\xF9\4\1\0\0\0\0\x07", 22));
  ConverterImage image;
  int error = gif.Read(path, image);
  ASSERT_EQ(error, 22);
  EXPECT_EQ(gif.ErrorText(error, "anim.gif").rfind("GIF error in anim.gif: ", 0), 0u)
      << gif.ErrorText(error, "anim.gif");
  EXPECT_NE(gif.ErrorText(21, "big.gif").find("big.gif"), std::string::npos);
  EXPECT_EQ(gif.ErrorText(77, "x.gif"), "GIF converter error 77 in x.gif");
}

}  // namespace
}  // namespace imexp::test
