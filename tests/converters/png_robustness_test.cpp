// The PNG converter on files built chunk by chunk, lying headers and
// damaged copies of good files: every call returns a code and nothing
// crashes (the suite also runs under the sanitizers).
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>

#include "tests/support/converter_driver.h"
#include "tests/support/reference_tools.h"

namespace imexp::test {
namespace {

uint32_t Crc(const std::string& bytes, std::size_t at, std::size_t count) {
  uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = at; i < at + count; ++i) {
    crc ^= static_cast<uint8_t>(bytes[i]);
    for (int k = 0; k < 8; ++k) crc = crc & 1 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
  }
  return ~crc;
}

std::string Be32(uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}

std::string Chunk(const std::string& type, const std::string& data) {
  return Be32(static_cast<uint32_t>(data.size())) + type + data + Be32(Crc(type + data, 0, data.size() + 4));
}

std::string Ihdr(uint32_t width, uint32_t height, char depth, char colorType, char interlace = 0) {
  return Chunk("IHDR", Be32(width) + Be32(height) + std::string{depth, colorType, 0, 0, interlace});
}

// A zlib stream holding `raw` in one stored block.
std::string Stored(const std::string& raw) {
  uint32_t a = 1, b = 0;
  for (unsigned char c : raw) std::tie(a, b) = std::tuple((a + c) % 65521, (b + (a + c) % 65521) % 65521);
  auto n = static_cast<uint16_t>(raw.size());
  return std::string{'\x78',
                     '\x01',
                     '\x01',
                     static_cast<char>(n),
                     static_cast<char>(n >> 8),
                     static_cast<char>(~n),
                     static_cast<char>(~n >> 8)} +
         raw + Be32(b << 16 | a);
}

// Gives every whole chunk its right CRC again, so damage reaches the
// decoder instead of the checksum test.
void FixCrcs(std::string& png) {
  for (std::size_t at = 8; at + 12 <= png.size();) {
    uint32_t length = 0;
    for (int i = 0; i < 4; ++i) length = length << 8 | static_cast<uint8_t>(png[at + i]);
    if (length > png.size() - at - 12) return;
    png.replace(at + 8 + length, 4, Be32(Crc(png, at + 4, length + 4)));
    at += length + 12;
  }
}

const std::string kSignature = "\x89PNG\r\n\x1a\n";
const std::string kEnd = Chunk("IEND", "");

class PngRobustnessTest : public testing::Test {
 protected:
  static const ConverterDriver& Png() {
    static const ConverterDriver driver("imexp_png");
    return driver;
  }
  int Read(const std::string& bytes, uint32_t bandRows = 0) {
    WriteFileBytes(path_, bytes);
    return Png().Read(path_, image_, bandRows);
  }
  ConverterImage image_;
  TempDir dir_;
  std::string path_ = dir_.File("image.png");
};

TEST_F(PngRobustnessTest, BuiltFilesAndLyingHeaders) {
  // Two rows of two pixels, each row after its filter byte.
  const std::string grey = Chunk("IDAT", Stored(std::string("\0\x10\x20\0\x30\x40", 6)));
  const std::string indices = Chunk("IDAT", Stored(std::string("\0\x40\0\x80", 4)));
  const std::string palette = Chunk("PLTE", std::string("\xff\0\0\0\xff\0", 6)) + indices;
  // The last image-data chunk's checksum is read after the last row.
  std::string badCrc = grey;
  badCrc.back() = static_cast<char>(badCrc.back() ^ 1);
  std::string badEnd = kEnd;
  badEnd.back() = static_cast<char>(badEnd.back() ^ 1);
  const std::pair<std::string, int> cases[] = {
      {kSignature + Ihdr(2, 2, 8, 0) + badCrc + kEnd, 22},
      {kSignature + Ihdr(2, 2, 8, 0, 1) + Chunk("IDAT", Stored(std::string("\0\x10\0\x20\0\x30\x40", 7))) +
           badEnd,
       22},
      // A damaged ancillary chunk after the image is left out, as libpng
      // leaves it: the pixels are whole.
      {kSignature + Ihdr(2, 2, 8, 0) + grey + Chunk("tEXt", std::string("a\0b", 3)).replace(12, 1, "c") +
           kEnd,
       CONV_OK},
      // Cut right after the image data: every row came with its checksums.
      {kSignature + Ihdr(2, 2, 8, 0) + grey, CONV_OK},
      {kSignature + Ihdr(2, 2, 8, 0) + grey + kEnd, CONV_OK},
      {"\x89PNX\r\n\x1a\n" + Ihdr(2, 2, 8, 0) + grey + kEnd, CONV_ERR_UNKNOWN_FORMAT},
      {"", CONV_ERR_END_OF_FILE},
      {kSignature, CONV_ERR_END_OF_FILE},
      {kSignature + Ihdr(32513, 1, 1, 0) + grey + kEnd, 21},
      {kSignature + Ihdr(1, 40000, 1, 0) + grey + kEnd, 21},
      {kSignature + Ihdr(0, 2, 8, 0) + grey + kEnd, 22},
      {kSignature + Ihdr(2, 2, 3, 0) + grey + kEnd, 22},
      {kSignature + Ihdr(2, 2, 8, 0).replace(20, 1, "\x07") + grey + kEnd, 22},  // IHDR CRC
      {kSignature + Ihdr(20000, 1, 8, 2) + grey + kEnd, CONV_ERR_FILE_TOO_BIG},  // rows of 60000 bytes
      // More rows than a file this short can inflate to: refused before
      // anything is set up for them, interlaced or not.
      {kSignature + Ihdr(30000, 30000, 8, 0) + grey + kEnd, CONV_ERR_END_OF_FILE},
      {kSignature + Ihdr(10000, 30000, 8, 2, 1) + grey + kEnd, CONV_ERR_END_OF_FILE},
      {kSignature + Ihdr(2, 9, 8, 0) + grey + kEnd, 22},     // rows missing
      {kSignature + Ihdr(2, 2, 1, 3) + indices + kEnd, 22},  // no PLTE
      {kSignature + Ihdr(2, 2, 8, 0) + Be32(0x7FFFFFF0u) + "tEXt" + grey, CONV_ERR_END_OF_FILE},
      {kSignature + Ihdr(2, 2, 1, 3) + palette + kEnd, CONV_OK},
  };
  for (const auto& [bytes, code] : cases) EXPECT_EQ(Read(bytes), code) << testing::PrintToString(bytes);
  // A 2-colour palette goes as 16 entries: the manager reads every 1-bit
  // image as black and white.
  EXPECT_EQ(std::tuple(int{image_.desc.colorType}, int{image_.desc.bitsPerPixel}), std::tuple(2, 4));
  EXPECT_EQ(ConverterImageAsRgb(image_).rgb,
            (std::vector<uint8_t>{255, 0, 0, 0, 255, 0, 0, 255, 0, 255, 0, 0}));
}

TEST_F(PngRobustnessTest, RecordCheckAndTexts) {
  const ConverterDriver& png = Png();
  ASSERT_TRUE(png.loaded());
  EXPECT_EQ(png.Version(), 0x00030300u);
  ConvRecord r = png.Record();
  EXPECT_EQ(std::tuple(std::string(r.name), std::string(r.description), std::string(r.extensions)),
            std::tuple("PNG", "Portable Network Graphics", "*.PNG"));
  EXPECT_EQ(std::tuple(r.flags, r.writeFormats, int{r.writeResUnits}),
            std::tuple(0x1Fu, 0xC7u, CONV_RES_DPI));
  for (const auto& [bytes, accepted] :
       {std::pair{kSignature, true}, std::pair{kSignature.substr(0, 7), false},
        std::pair{std::string("\x89PNG\r\n\x1a\r"), false}}) {
    WriteFileBytes(path_, bytes);
    EXPECT_EQ(png.Check(path_), accepted) << testing::PrintToString(bytes);
  }
  EXPECT_EQ(png.ErrorText(21, "a.png"), "The image in a.png is wider or higher than 32512 pixels");
  // The library's reason for the last refusal.
  ASSERT_EQ(Read(kSignature + Ihdr(2, 2, 3, 0) + kEnd), 22);
  EXPECT_EQ(png.ErrorText(22, "a.png").rfind("PNG error in a.png: ", 0), 0u) << png.ErrorText(22, "a.png");
  EXPECT_GT(png.ErrorText(22, "a.png").size(), 22u);
  EXPECT_EQ(png.ErrorText(77, "a.png"), "PNG converter error 77 in a.png");
}

// Damaged copies of files the tools wrote: cut anywhere, or bytes changed
// with or without the chunks' CRCs made right again. Any listed code will
// do, and a success delivers every row.
TEST_F(PngRobustnessTest, DamagedFilesNeverCrash) {
  ASSERT_EQ(
      RunCommand("cd " + ShellPath(dir_.path()) +
                 " && convert rose: -depth 8 rose.ppm && convert rose: -colorspace gray -depth 8 rose.pgm"
                 " && pnmtopng -interlace -alpha=rose.pgm rose.ppm > a.png"
                 " && convert rose: -colors 4 -depth 8 c4.ppm && pnmtopng c4.ppm > b.png"
                 " && convert rose: -colorspace gray -depth 16 -interlace PNG c.png"
                 " && convert rose: -colorspace gray -threshold 50% -define png:bit-depth=1 d.png"),
      0);
  const std::set<int> answers = {CONV_OK,
                                 CONV_ERR_END_OF_FILE,
                                 CONV_ERR_UNKNOWN_FORMAT,
                                 CONV_ERR_INVALID_FILE,
                                 CONV_ERR_FILE_TOO_BIG,
                                 21,
                                 22};
  unsigned seed = 11;
  auto next = [&seed](unsigned range) { return (seed = seed * 1103515245u + 12345u) / 65536 % range; };
  for (const char* name : {"a.png", "b.png", "c.png", "d.png"}) {
    const std::string good = ReadFileBytes(dir_.path() / name);
    ASSERT_GT(good.size(), 100u) << name;
    for (int round = 0; round < 150; ++round) {
      std::string bad = round % 3 == 0 ? good.substr(0, next(unsigned(good.size()))) : good;
      for (unsigned flips = round % 3 ? next(3) + 1 : 0; flips > 0; --flips) {
        bad[8 + next(unsigned(bad.size() - 8))] = static_cast<char>(next(256));
      }
      if (round % 3 == 2) FixCrcs(bad);
      ConvImageInfo info{};
      WriteFileBytes(path_, bad);
      int infoCode = Png().Info(path_, 0, &info);
      int readCode = Read(bad, next(4));
      EXPECT_EQ(std::tuple(answers.count(infoCode), answers.count(readCode)), std::tuple(1u, 1u))
          << name << " round " << round << ": " << infoCode << " " << readCode;
      if (readCode == CONV_OK) EXPECT_EQ(image_.rows.size(), image_.desc.height);
    }
  }
}

}  // namespace
}  // namespace imexp::test
