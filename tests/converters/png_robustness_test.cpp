// The PNG converter on files built chunk by chunk, on lying headers, and
// on damaged copies of good files: every call returns a code and nothing
// crashes (the suite also runs under the sanitizers).
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <tuple>

#include "tests/support/converter_driver.h"
#include "tests/support/reference_tools.h"

namespace imexp::test {
namespace {

uint32_t Crc(const std::string& bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : bytes) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = crc & 1 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
  }
  return ~crc;
}

std::string Be32(uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}

std::string Chunk(const std::string& type, const std::string& data) {
  return Be32(static_cast<uint32_t>(data.size())) + type + data + Be32(Crc(type + data));
}

std::string Ihdr(uint32_t width, uint32_t height, int depth, int colorType, int interlace = 0) {
  return Chunk("IHDR", Be32(width) + Be32(height) +
                           std::string{static_cast<char>(depth), static_cast<char>(colorType), 0, 0,
                                       static_cast<char>(interlace)});
}

// A zlib stream holding `raw` in one stored block.
std::string Stored(const std::string& raw) {
  uint32_t a = 1, b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  auto n = static_cast<uint16_t>(raw.size());
  std::string out = {'\x78',
                     '\x01',
                     '\x01',
                     static_cast<char>(n),
                     static_cast<char>(n >> 8),
                     static_cast<char>(~n),
                     static_cast<char>(~n >> 8)};
  return out + raw + Be32(b << 16 | a);
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
  int Info(const std::string& bytes) {
    WriteFileBytes(path_, bytes);
    ConvImageInfo info{};
    return Png().Info(path_, 0, &info);
  }
  ConverterImage image_;
  TempDir dir_;
  std::string path_ = dir_.File("image.png");
};

TEST_F(PngRobustnessTest, BuiltFilesAndLyingHeaders) {
  // Two rows of two grey pixels, filter byte first.
  const std::string grey = Chunk("IDAT", Stored(std::string("\0\x10\x20\0\x30\x40", 6)));
  const std::string plte = Chunk("PLTE", std::string("\xff\0\0\0\xff\0", 6));
  const std::string indices = Chunk("IDAT", Stored(std::string("\0\x40\0\x80", 4)));
  struct Case {
    const char* name;
    std::string bytes;
    int code;
  };
  const Case cases[] = {
      {"good grey", kSignature + Ihdr(2, 2, 8, 0) + grey + kEnd, CONV_OK},
      {"good 1-bit palette", kSignature + Ihdr(2, 2, 1, 3) + plte + indices + kEnd, CONV_OK},
      {"no signature", "\x89PNX\r\n\x1a\n" + Ihdr(2, 2, 8, 0) + grey + kEnd, CONV_ERR_UNKNOWN_FORMAT},
      {"empty", "", CONV_ERR_END_OF_FILE},
      {"signature only", kSignature, CONV_ERR_END_OF_FILE},
      {"too wide", kSignature + Ihdr(32513, 1, 1, 0) + grey + kEnd, 21},
      {"too high", kSignature + Ihdr(1, 40000, 1, 0) + grey + kEnd, 21},
      {"width 0", kSignature + Ihdr(0, 2, 8, 0) + grey + kEnd, 22},
      {"depth 3", kSignature + Ihdr(2, 2, 3, 0) + grey + kEnd, 22},
      {"bad IHDR CRC", kSignature + Ihdr(2, 2, 8, 0).replace(20, 1, "\x07") + grey + kEnd, 22},
      {"RGB rows of 60000 bytes", kSignature + Ihdr(20000, 1, 8, 2) + grey + kEnd, CONV_ERR_FILE_TOO_BIG},
      // Far more rows than a file this short can inflate to: refused before
      // anything is set up for them, interlaced or not.
      {"huge, few bytes", kSignature + Ihdr(30000, 30000, 8, 0) + grey + kEnd, CONV_ERR_END_OF_FILE},
      {"huge interlaced, few bytes", kSignature + Ihdr(10000, 30000, 8, 2, 1) + grey + kEnd,
       CONV_ERR_END_OF_FILE},
      {"rows missing", kSignature + Ihdr(2, 9, 8, 0) + grey + kEnd, -1},
      {"palette without PLTE", kSignature + Ihdr(2, 2, 1, 3) + indices + kEnd, -1},
      {"oversized chunk", kSignature + Ihdr(2, 2, 8, 0) + Be32(0x7FFFFFF0u) + "tEXt" + grey, -1},
  };
  // -1: any code but success.
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int code = Read(c.bytes);
    if (c.code < 0) {
      EXPECT_NE(code, 0);
    } else {
      EXPECT_EQ(code, c.code);
    }
  }
  ASSERT_EQ(Read(kSignature + Ihdr(2, 2, 1, 3) + plte + indices + kEnd), 0);
  // A 2-colour palette goes as 16 entries: the manager reads 1-bit images
  // as black and white.
  EXPECT_EQ(std::tuple(int{image_.desc.colorType}, int{image_.desc.bitsPerPixel}), std::tuple(2, 4));
  RgbImage rgb = ConverterImageAsRgb(image_);
  EXPECT_EQ(rgb.rgb, (std::vector<uint8_t>{255, 0, 0, 0, 255, 0, 0, 255, 0, 255, 0, 0}));
}

TEST_F(PngRobustnessTest, RecordCheckAndTexts) {
  const ConverterDriver& png = Png();
  ASSERT_TRUE(png.loaded());
  EXPECT_EQ(png.Version(), 0x00030300u);
  ConvRecord record = png.Record();
  EXPECT_STREQ(record.name, "PNG");
  EXPECT_STREQ(record.description, "Portable Network Graphics");
  EXPECT_STREQ(record.extensions, "*.PNG");
  EXPECT_EQ(std::tuple(record.flags, record.writeFormats, int{record.writeResUnits}),
            std::tuple(0x13u, 0xC7u, CONV_RES_DPI));
  const std::pair<std::string, bool> files[] = {
      {kSignature, true}, {kSignature.substr(0, 7), false}, {"\x89PNG\r\n\x1a\r", false}, {"", false}};
  for (const auto& [bytes, accepted] : files) {
    WriteFileBytes(path_, bytes);
    EXPECT_EQ(png.Check(path_), accepted) << testing::PrintToString(bytes);
  }
  EXPECT_EQ(png.ErrorText(21, "a.png"), "The image in a.png is wider or higher than 32512 pixels");
  // The library's reason for the last refusal.
  ASSERT_EQ(Read(kSignature + Ihdr(2, 2, 3, 0) + kEnd), 22);
  std::string text = png.ErrorText(22, "a.png");
  EXPECT_EQ(text.rfind("PNG error in a.png: ", 0), 0u) << text;
  EXPECT_GT(text.size(), std::strlen("PNG error in a.png: ")) << text;
  EXPECT_EQ(png.ErrorText(77, "a.png"), "PNG converter error 77 in a.png");
}

// Damaged copies of files the tools wrote: cut anywhere, bytes changed.
// Any listed code will do, and a success delivers every row.
TEST_F(PngRobustnessTest, DamagedFilesNeverCrash) {
  std::string folder = ShellQuote(dir_.path().string());
  ASSERT_EQ(
      RunCommand("cd " + folder +
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
    for (int round = 0; round < 120; ++round) {
      std::string bad = round % 2 ? good : good.substr(0, next(unsigned(good.size())));
      // Past the signature, where the library checks more than a magic.
      for (unsigned flips = round % 2 ? next(3) + 1 : 0; flips > 0 && bad.size() > 8; --flips) {
        bad[8 + next(unsigned(bad.size() - 8))] = static_cast<char>(next(256));
      }
      int infoCode = Info(bad);
      int readCode = Read(bad, next(4));
      EXPECT_EQ(std::tuple(answers.count(infoCode), answers.count(readCode)), std::tuple(1u, 1u))
          << name << " round " << round << ": " << infoCode << " " << readCode;
      if (readCode == CONV_OK) EXPECT_EQ(image_.rows.size(), image_.desc.height);
    }
  }
}

}  // namespace
}  // namespace imexp::test
