// The GIF converter: files of giflib's gifbuild, netpbm's pamtogif and
// ImageMagick against giftopnm, image counts and information, round trips
// through the writer, refused, damaged and lying files.
#include <cstring>
#include <filesystem>
#include <set>
#include <tuple>

#include "tests/converters/field_tool_test.h"

namespace imexp::test {
namespace {

struct Rgb {
  int r, g, b;
};

// A one-image GIF for gifbuild; the pixels run through the colours of the
// map that applies.
struct GifSpec {
  int screenWidth, screenHeight;
  std::vector<Rgb> global, local;
  int left, top, width, height;
  bool interlaced;
  int transparent;  // -1: no graphics control block
};

constexpr char kKeys[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

std::vector<Rgb> Colors(int count, int seed) {
  std::vector<Rgb> colors;
  for (int i = 0; i < count; ++i)
    colors.push_back({(i * 37 + seed) % 256, (i * 91 + 2 * seed) % 256, i * 53 % 256});
  return colors;
}

std::string Describe(const GifSpec& s) {
  auto map = [](const char* name, const std::vector<Rgb>& colors) {
    std::string text = std::string(name) + " map\n";
    for (std::size_t i = 0; i < colors.size(); ++i)
      text += "rgb " + std::to_string(colors[i].r) + " " + std::to_string(colors[i].g) + " " +
              std::to_string(colors[i].b) + " is " + kKeys[i] + "\n";
    return text + "end\n";
  };
  std::string text = "screen width " + std::to_string(s.screenWidth) + "\nscreen height " +
                     std::to_string(s.screenHeight) + "\nscreen colors 256\n";
  if (!s.global.empty()) text += map("screen", s.global);
  if (s.transparent >= 0)
    text += "graphics control\ntransparent index " + std::to_string(s.transparent) + "\nend\n";
  text += "image\nimage left " + std::to_string(s.left) + "\nimage top " + std::to_string(s.top) + "\n";
  if (s.interlaced) text += "image interlaced\n";
  if (!s.local.empty()) text += map("image", s.local);
  std::size_t colors = s.local.empty() ? s.global.size() : s.local.size();
  text += "image bits " + std::to_string(s.width) + " by " + std::to_string(s.height) + "\n";
  for (int y = 0; y < s.height; ++y) {
    for (int x = 0; x < s.width; ++x) text += kKeys[std::size_t(x * 3 + y * 5 + x * y) % colors];
    text += "\n";
  }
  return text;
}

class GifTest : public FieldToolTest {
 protected:
  GifTest() : FieldToolTest("imexp_gif") {}
  void Build(const GifSpec& spec, const std::string& name) const {
    WriteFileBytes(File("spec.txt"), Describe(spec));
    Run("gifbuild {d}/spec.txt > {d}/" + name);
  }
  // giftopnm's picture, its transparent pixels in `background`.
  RgbImage Reference(const std::string& name, Rgb background) const {
    Run("giftopnm -alphaout={d}/alpha.pbm {d}/" + name + " > {d}/reference.ppm");
    RgbImage picture = ReadPnmAsRgb(File("reference.ppm"));
    RgbImage alpha = ReadPnmAsRgb(File("alpha.pbm"));
    EXPECT_EQ(alpha.rgb.size(), picture.rgb.size());
    for (std::size_t i = 0; i + 2 < std::min(picture.rgb.size(), alpha.rgb.size()); i += 3) {
      if (alpha.rgb[i] != 0) continue;
      for (int c = 0; c < 3; ++c)
        picture.rgb[i + c] = uint8_t(c == 0 ? background.r : c == 1 ? background.g : background.b);
    }
    return picture;
  }
  void ExpectLikeGiftopnm(const std::string& name, const std::string& ini, Rgb background, int bits = 0) {
    ConverterImage image;
    ASSERT_EQ(With(ini).Read(File(name), image, 3), 0);
    if (bits != 0) EXPECT_EQ(image.desc.bitsPerPixel, bits);
    RgbImage got = ConverterImageAsRgb(image);
    RgbImage expected = Reference(name, background);
    EXPECT_EQ(LargestDifference(got, expected), 0) << FirstDifference(got, expected);
  }
};

TEST_F(GifTest, ReadsLikeGiftopnm) {
  const Rgb white{255, 255, 255};
  const std::vector<Rgb> blackWhite = {{0, 0, 0}, {255, 255, 255}};
  // Map sizes of 1 to 6 bits, local and global maps, images off the
  // screen's corner, interlacing, transparency; bits as delivered.
  const std::tuple<const char*, GifSpec, const char*, Rgb, int> built[] = {
      {"local 3-bit map, interlaced, on a larger screen, transparent",
       {8, 6, Colors(3, 0), Colors(5, 7), 1, 1, 5, 4, true, 1},
       "",
       white,
       4},
      {"two colours, not black and white",
       {9, 3, {{200, 0, 0}, {0, 0, 200}}, {}, 0, 0, 9, 3, false, -1},
       "",
       white,
       4},
      {"black and white", {10, 2, blackWhite, {}, 0, 0, 10, 2, false, -1}, "", white, 1},
      {"white and black", {10, 2, {{255, 255, 255}, {0, 0, 0}}, {}, 0, 0, 10, 2, false, -1}, "", white, 1},
      {"black transparent over white", {10, 2, blackWhite, {}, 0, 0, 10, 2, false, 0}, "", white, 4},
      {"no global map, 5-bit local map", {7, 9, {}, Colors(20, 3), 0, 0, 7, 9, false, -1}, "", white, 8},
      {"6-bit map, interlaced over 17 rows", {3, 17, Colors(62, 5), {}, 0, 0, 3, 17, true, 4}, "", white, 8},
      {"transparency over a configured background",
       {6, 5, Colors(4, 9), {}, 0, 0, 6, 5, false, 2},
       "[GIF]\nBackground = 10, 200, 30\n",
       {10, 200, 30},
       4},
  };
  for (const auto& [name, spec, ini, background, bits] : built) {
    SCOPED_TRACE(name);
    ASSERT_NO_FATAL_FAILURE(Build(spec, "built.gif"));
    ExpectLikeGiftopnm("built.gif", ini, background, bits);
  }
  Run("convert -size 37x23 gradient:red-blue -colors 7 {d}/few.ppm");
  Run("convert -seed 4 -size 41x29 xc: +noise Random {d}/noise.ppm");
  Run("convert {d}/noise.ppm -colors 220 {d}/many.ppm");
  // Enough different pixels to fill the 4096 codes of the LZW table.
  Run("convert -seed 5 -size 160x120 xc: +noise Random -colors 250 {d}/full.ppm");
  const char* const made[] = {
      "pamtogif {d}/few.ppm",
      "pamtogif -interlace {d}/many.ppm",
      "pamtogif -transparent=red {d}/few.ppm",
      // The table fills and is never cleared: its codes stay 12 bits wide.
      "pamtogif -noclear {d}/full.ppm",
      "pamtogif {d}/full.ppm",
      "convert {d}/noise.ppm -colors 2 gif:-",
      "convert {d}/noise.ppm -colors 16 gif:-",
      "convert {d}/noise.ppm -colors 200 -interlace GIF gif:-",
      "convert {d}/noise.ppm -monochrome gif:-",
      "convert {d}/noise.ppm -colorspace gray -colors 8 gif:-",
      "convert {d}/few.ppm -repage 60x50+7+3 gif:-",
      "convert -delay 10 {d}/noise.ppm \\( {d}/noise.ppm -flip \\) -colors 64 gif:-",
  };
  for (const char* command : made) {
    SCOPED_TRACE(command);
    Run(std::string(command) + " > {d}/made.gif");
    ExpectLikeGiftopnm("made.gif", "", white);
  }
}

TEST_F(GifTest, CountsImagesAndDescribesEach) {
  Run("convert -size 13x7 xc:red xc:blue xc:green -loop 0 {d}/three.gif");
  ASSERT_NO_FATAL_FAILURE(Build({20, 20, Colors(6, 1), {}, 2, 3, 9, 4, true, -1}, "built.gif"));
  std::string three = ReadFileBytes(File("three.gif"));
  // A damaged tail leaves the images before it countable.
  WriteFileBytes(File("cut.gif"), three.substr(0, three.size() - 6));
  ConverterDriver& gif = With("");
  const std::tuple<const char*, int, const char*, int, uint32_t> cases[] = {
      {"three.gif", 3, "GIF89a", 1, 13}, {"cut.gif", 3, "GIF89a", 1, 13}, {"built.gif", 1, "GIF87a", 3, 9}};
  for (const auto& [file, images, formatName, bits, width] : cases) {
    SCOPED_TRACE(file);
    int count = 0;
    int singleView = 0;
    ASSERT_EQ(gif.ImageCount(File(file), &count, &singleView), 0);
    EXPECT_EQ(std::tuple(count, singleView), std::tuple(images, 0));
    ConvImageInfo info{};
    ASSERT_EQ(gif.Info(File(file), 0, &info), 0);
    EXPECT_EQ(std::tuple(std::string(info.formatName), std::string(info.compression), int{info.colorType},
                         int{info.bitsPerPixel}, info.width),
              std::tuple(formatName, "LZW", CONV_COLOR_PALETTE, bits, width));
  }
  // Every frame is described; the number past the last is refused.
  ConvImageInfo info{};
  EXPECT_EQ(gif.Info(File("three.gif"), 2, &info), 0);
  EXPECT_EQ(info.width, 13u);
  EXPECT_EQ(gif.Info(File("three.gif"), 3, &info), CONV_ERR_WRONG_IMAGE_NUMBER);
  EXPECT_EQ(gif.Info(File("three.gif"), -1, &info), CONV_ERR_WRONG_IMAGE_NUMBER);
  // Pixels twice as wide as high: half the dots across.
  std::string wide = ReadFileBytes(File("built.gif"));
  wide[12] = char(113);
  WriteFileBytes(File("wide.gif"), wide);
  ASSERT_EQ(gif.Info(File("wide.gif"), 0, &info), 0);
  EXPECT_EQ(std::tuple(int{info.resUnit}, info.resX, info.resY), std::tuple(CONV_UNIT_ASPECT, 64u, 128u));
  int count = 0;
  WriteFileBytes(File("none.gif"), std::string("GIF89a\1\0\1\0\0\0\0;", 14));
  EXPECT_EQ(gif.ImageCount(File("none.gif"), &count, &count), CONV_ERR_NO_IMAGES);
}

// A palette image in the manager's write layout: packed rows, the 1-bit
// palette black and white, the others arbitrary.
ConverterImage MakeImage(uint16_t bits, uint32_t width, uint32_t height, unsigned seed) {
  auto next = [&seed] { return static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16); };
  ConverterImage image;
  ConvImageDesc& d = image.desc;
  std::tie(d.width, d.height, d.colorType, d.bitsPerPixel, d.planes, d.packedPixels) =
      std::tuple(width, height, CONV_COLOR_PALETTE, bits, 1, 1);
  d.bytesPerLine = (width * bits + 7) / 8;
  for (int i = 0; i < CONV_PALETTE_BYTES; ++i)
    image.palette[i] = bits == 1 ? uint8_t(i % 256 == 1 ? 255 : 0) : next();
  image.rows.assign(height, std::vector<uint8_t>(d.bytesPerLine));
  for (std::vector<uint8_t>& row : image.rows)
    for (uint8_t& b : row) b = next();
  return image;
}

TEST_F(GifTest, WritesEveryLayout) {
  const std::string path = File("round.gif");
  ConverterDriver& gif = With("");
  for (uint16_t bits : {1, 4, 8}) {
    for (auto [width, height] :
         {std::pair(1u, 1u), std::pair(7u, 3u), std::pair(33u, 40u), std::pair(300u, 2u)}) {
      SCOPED_TRACE(testing::Message() << bits << " bits " << width << "x" << height);
      ConverterImage image = MakeImage(bits, width, height, width * 31 + height * 7 + bits);
      ASSERT_EQ(gif.Write(path, image), 0);
      RgbImage expected = ConverterImageAsRgb(image);
      Run("giftopnm {d}/round.gif > {d}/back.ppm");
      RgbImage tool = ReadPnmAsRgb(File("back.ppm"));
      EXPECT_EQ(LargestDifference(tool, expected), 0) << FirstDifference(tool, expected);
      ConverterImage back;
      ASSERT_EQ(gif.Read(path, back), 0);
      EXPECT_EQ(ConverterImageAsRgb(back), expected);
    }
  }
  ConverterImage rgb = MakeImage(8, 4, 1, 1);
  rgb.desc.colorType = CONV_COLOR_RGB;
  rgb.desc.bitsPerPixel = 24;
  EXPECT_EQ(gif.Write(path, rgb), CONV_ERR_ILLEGAL_CONVERSION);
  EXPECT_EQ(gif.Write(path, MakeImage(8, 32513, 1, 2)), 21);
  if (std::filesystem::exists("/dev/full")) EXPECT_EQ(gif.Write("/dev/full", MakeImage(8, 300, 300, 3)), 13);
}

// The image descriptor's size patched into a good file without extensions.
std::string WithImageSize(std::string gif, uint16_t width, uint16_t height) {
  std::size_t at = 13 + (uint8_t(gif[10]) & 0x80 ? 3u << ((gif[10] & 7) + 1) : 0);
  for (int k = 0; k < 4; ++k) gif[at + 5 + k] = char((k < 2 ? width : height) >> (k % 2 * 8));
  return gif;
}

// Any result code will do for a damaged file, as long as the reader neither
// crashes nor touches memory it does not own (ASan run), and a success
// delivers every row. Sizes no file this short can hold are refused before
// anything is allocated for them.
TEST_F(GifTest, DamagedAndLyingFiles) {
  ASSERT_NO_FATAL_FAILURE(Build({8, 6, Colors(3, 0), Colors(5, 7), 1, 1, 5, 4, true, 1}, "a.gif"));
  ASSERT_NO_FATAL_FAILURE(Build({30, 20, Colors(40, 2), {}, 0, 0, 30, 20, false, -1}, "b.gif"));
  Run("convert -size 13x7 xc:red xc:blue -loop 0 {d}/c.gif");
  ConverterDriver& gif = With("");
  const std::string path = File("bad.gif");
  ConverterImage image;
  const std::string small = ReadFileBytes(File("b.gif"));
  const std::tuple<uint16_t, uint16_t, int> lies[] = {
      {32000, 32000, CONV_ERR_END_OF_FILE}, {40000, 2, 21}, {0, 5, CONV_ERR_INVALID_FILE}, {31, 20, 23}};
  for (const auto& [width, height, error] : lies) {
    WriteFileBytes(path, WithImageSize(small, width, height));
    EXPECT_EQ(gif.Read(path, image), error) << width << "x" << height;
  }
  // Indices beyond a map of two read as index 0, and never spill into the
  // neighbouring pixels of a bilevel row: 0, 3, 2, 1 read black, black,
  // black, white.
  ASSERT_NO_FATAL_FAILURE(Build(
      {4, 1, {{0, 0, 0}, {255, 255, 255}, {9, 9, 9}, {7, 7, 7}}, {}, 0, 0, 4, 1, false, -1}, "four.gif"));
  std::string four = ReadFileBytes(File("four.gif"));
  four[10] = static_cast<char>(four[10] & ~7);
  WriteFileBytes(path, four.erase(19, 6));
  ASSERT_EQ(gif.Read(path, image), 0);
  EXPECT_EQ(ConverterImageAsRgb(image).rgb, std::vector<uint8_t>({0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 255, 255}));

  // The end code right after the clear code of a 4 x 1 image: the data
  // ends, the file does not.
  const std::string early = std::string("GIF89a\4\0\1\0\x80\0\0", 13) + std::string("\0\0\0\xff\xff\xff", 6) +
                            std::string(",\0\0\0\0\4\0\1\0\0\2\1\x2c\0;", 16);
  WriteFileBytes(path, early);
  EXPECT_EQ(gif.Read(path, image), 23);
  EXPECT_EQ(gif.ErrorText(23, "early.gif"),
            "The image data in early.gif ends before the last pixel of the image");

  const std::set<int> answers = {0, 1, 3, 4, 7, 21, 22, 23};
  for (const char* name : {"a.gif", "b.gif", "c.gif"}) {
    for (const std::string& bad : Damaged(ReadFileBytes(File(name)), 120, 11)) {
      WriteFileBytes(path, bad);
      ConvImageInfo info{};
      int count = 0;
      int codes[] = {gif.Info(path, 0, &info), gif.ImageCount(path, &count, &count),
                     gif.Read(path, image, unsigned(bad.size() % 4))};
      for (int code : codes)
        EXPECT_EQ(answers.count(code), 1u) << code << " for " << testing::PrintToString(bad);
      if (codes[2] == 0) EXPECT_EQ(image.rows.size(), image.desc.height);
    }
  }
}

TEST_F(GifTest, RecordContentCheckAndTexts) {
  ConverterDriver& gif = With("");
  ASSERT_TRUE(gif.loaded());
  EXPECT_EQ(gif.Version(), 0x00030300u);
  ConvRecord r = gif.Record();
  EXPECT_EQ(std::tuple(std::string(r.name), std::string(r.description), std::string(r.extensions), r.flags,
                       r.writeFormats, int{r.writeResUnits}),
            std::tuple("GIF", "Graphics Interchange Format", "*.GIF", 0x3Fu, 0x040u, 1));
  const std::pair<const char*, bool> files[] = {
      {"GIF89a", true}, {"GIF87a\1", true}, {"GIF88a", false}, {"GIF8", false}};
  for (const auto& [bytes, accepted] : files) {
    WriteFileBytes(File("check.gif"), bytes);
    EXPECT_EQ(gif.Check(File("check.gif")), accepted) << bytes;
  }
  // giflib's reason reaches the text of the code that carries it.
  WriteFileBytes(File("bad.gif"), std::string("GIF89a\1\0\1\0\0\0\0!\xF9\4\1\0\0\0\0\x07", 22));
  ConverterImage image;
  ASSERT_EQ(gif.Read(File("bad.gif"), image), 22);
  EXPECT_EQ(gif.ErrorText(22, "a.gif"), "GIF error in a.gif: Wrong record type detected");
  EXPECT_EQ(gif.ErrorText(21, "big.gif"), "The image in big.gif is wider or higher than 32512 pixels");
  EXPECT_EQ(gif.ErrorText(77, "x.gif"), "GIF converter error 77 in x.gif");
}

}  // namespace
}  // namespace imexp::test
