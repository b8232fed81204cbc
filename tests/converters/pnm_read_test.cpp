// The PNM converter as a reader: known files built byte by byte, broken and
// damaged files, the information record and the converter's own texts.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/converter_driver.h"

namespace imexp::test {
namespace {

using Bytes = std::vector<uint8_t>;
using Rows = std::vector<Bytes>;

std::string Raw(std::string header, std::initializer_list<int> raster) {
  for (int b : raster) header.push_back(static_cast<char>(b));
  return header;
}

class PnmReadTest : public testing::Test {
 protected:
  // Loaded once: the suite reads many small files.
  static const ConverterDriver& Pnm() {
    static const ConverterDriver driver("imexp_pnm");
    return driver;
  }
  // Rows come back packed or RGB, whatever the converter's layout.
  int Read(std::string_view bytes, Rows* rows = nullptr, uint32_t bandRows = 0) {
    WriteFileBytes(path_, bytes);
    int error = Pnm().Read(path_, image_, bandRows);
    if (rows && error == 0) {
      rows->clear();
      for (const Bytes& row : image_.rows) rows->push_back(FromConverterLayout(row, image_.desc));
    }
    return error;
  }
  int Info(std::string_view bytes, ConvImageInfo* info, int index = 0) {
    WriteFileBytes(path_, bytes);
    return Pnm().Info(path_, index, info);
  }
  ConverterImage image_;
  TempDir dir_;
  std::string path_ = dir_.File("image.pnm");
};

TEST_F(PnmReadTest, KnownFiles) {
  using Layout = std::tuple<int, int, int, int, int>;  // colorType, bits, packed, inverted, accessMode
  struct Case {
    const char* name;
    std::string bytes;
    Layout layout;
    Rows rows;
  };
  const Case cases[] = {
      // Plain PBM needs no separators between pixels; comments go anywhere.
      {"P1", "P1\n# made by hand\n3 2 # size\n101\n0 1\t1", {0, 1, 0, 1, 1}, {{0xA0}, {0x60}}},
      {"P2 maxval 15", "P2 3 1\n#c\n15 0 7\r\n15", {0, 8, 0, 0, 1}, {{0, 119, 255}}},
      {"P2 sample above maxval", "P2 2 1 15 3 99", {0, 8, 0, 0, 1}, {{51, 255}}},
      {"P3 maxval 1000",
       "P3 2 1 1000\n0 500 1000\n1000 0 250\n",
       {3, 24, 0, 0, 1},
       {{0, 128, 255, 255, 0, 64}}},
      {"P4", Raw("P4\n#c\n10 2\n", {0xFF, 0xC0, 0x81, 0x40}), {0, 1, 1, 1, 3}, {{0xFF, 0xC0}, {0x81, 0x40}}},
      // Only one whitespace byte follows maxval: samples 0x20 and 0x0A stay.
      {"P5 whitespace samples",
       Raw("P5\n1 5\n255\n", {0x20, 0x0A, 3, 4, 5}),
       {0, 8, 0, 0, 3},
       {{0x20}, {0x0A}, {3}, {4}, {5}}},
      {"P5 comment after maxval", Raw("P5 1 1 255#c\n", {7}), {0, 8, 0, 0, 3}, {{7}}},
      {"P5 maxval 65535", Raw("P5 3 1 65535\n", {0, 0, 0x80, 0, 1, 1}), {0, 8, 0, 0, 3}, {{0, 128, 1}}},
      {"P6 maxval 1", Raw("P6 1 1 1\n", {1, 0, 1}), {3, 24, 0, 0, 3}, {{255, 0, 255}}},
      {"P6 maxval 255", Raw("P6 2 1 255 ", {1, 2, 3, 4, 5, 6}), {3, 24, 0, 0, 3}, {{1, 2, 3, 4, 5, 6}}},
  };
  for (const Case& c : cases) {
    // Binary rasters may be read in either order and travel top first;
    // bands of every height must still put each row in its place.
    for (uint32_t band : {0u, 1u, 2u}) {
      SCOPED_TRACE(testing::Message() << c.name << ", band " << band);
      Rows rows;
      ASSERT_EQ(Read(c.bytes, &rows, band), 0);
      const ConvImageDesc& d = image_.desc;
      EXPECT_EQ(Layout(d.colorType, d.bitsPerPixel, d.packedPixels, d.invertedGray, d.accessMode), c.layout);
      EXPECT_EQ(d.rowOrder, 1);
      EXPECT_GT(d.maxBandRows, 1u);
      EXPECT_EQ(rows, c.rows);
    }
  }
}

TEST_F(PnmReadTest, BrokenFilesFailWithAClearCode) {
  const std::pair<std::string, int> cases[] = {
      {"", CONV_ERR_UNKNOWN_FORMAT},
      {"P7 1 1 255\n", CONV_ERR_UNKNOWN_FORMAT},
      {"P51 1 255\n", CONV_ERR_UNKNOWN_FORMAT},
      {"P5 0 1 255\n", CONV_ERR_INVALID_FILE},
      {"P5 2x 2 255\n", CONV_ERR_INVALID_FILE},
      {"P5 32513 1 255\n", 21},
      {"P4 1 32513\n", 21},
      {"P5 99999999999999999999 1 255\n", 21},
      {"P5 2 2 0\n", 22},
      {"P2 2 2 65536\n", 22},
      {"P5 2 2", CONV_ERR_END_OF_FILE},
      {"P5 2 2 255", CONV_ERR_END_OF_FILE},
      {"P5 2 2 255\n\1\2\3", CONV_ERR_END_OF_FILE},
      {"P6 1 1 65535\n\1\2\3\4\5", CONV_ERR_END_OF_FILE},
      {"P2 2 2 255\n1 2 3", CONV_ERR_END_OF_FILE},
      {"P3 1 1 255\n1 x 3", 23},
      {"P1 2 1 0 2", 23},
      {"P6 20000 1 255\n", CONV_ERR_FILE_TOO_BIG},  // rows of 60000 bytes
  };
  for (const auto& [bytes, error] : cases) EXPECT_EQ(Read(bytes), error) << bytes;
}

// Damaged copies of good files: any result code will do, as long as the
// reader neither crashes nor touches memory it does not own (ASan run).
TEST_F(PnmReadTest, DamagedFilesNeverCrash) {
  const std::string files[] = {
      "P1 9 3 101010101 010101010 111000111",
      "P2 4 2 300 1 2 3 4 5 299 300 0",
      "P3 2 2 7 1 2 3 4 5 6 7 0 1 2 3 4",
      Raw("P4 9 2\n", {1, 2, 3, 4}),
      Raw("P5 3 3 255\n", {1, 2, 3, 4, 5, 6, 7, 8, 9}),
      "P6 7 5 65535\n" + std::string(7 * 5 * 6, '\x81'),
  };
  // Success, or one of the codes a broken file may earn (21 to 23 are the
  // converter's own), and a success delivers every row.
  const std::set<int> answers = {CONV_OK,
                                 CONV_ERR_END_OF_FILE,
                                 CONV_ERR_UNKNOWN_FORMAT,
                                 CONV_ERR_INVALID_FILE,
                                 CONV_ERR_FILE_TOO_BIG,
                                 21,
                                 22,
                                 23};
  unsigned seed = 7;
  auto next = [&seed](unsigned range) { return (seed = seed * 1103515245u + 12345u) / 65536 % range; };
  for (const std::string& good : files) {
    for (int round = 0; round < 100; ++round) {
      std::string bad = round % 2 ? good : good.substr(0, next(unsigned(good.size()) + 1));
      for (unsigned flips = next(4) + 1; flips > 0 && !bad.empty(); --flips) {
        bad[next(unsigned(bad.size()))] = static_cast<char>(next(256));
      }
      ConvImageInfo info{};
      int infoCode = Info(bad, &info);
      int readCode = Read(bad, nullptr, next(4));
      EXPECT_EQ(std::tuple(answers.count(infoCode), answers.count(readCode)), std::tuple(1u, 1u))
          << infoCode << " " << readCode << " for " << testing::PrintToString(bad);
      if (readCode == CONV_OK) EXPECT_EQ(image_.rows.size(), image_.desc.height);
    }
  }
}

TEST_F(PnmReadTest, InformationDescribesTheFile) {
  const std::tuple<std::string, const char*, int, int> cases[] = {
      {"P1 3 2\n", "PBM text (P1)", 0, 1},          {"P2 3 2 15\n", "PGM text (P2)", 0, 8},
      {"P3 3 2 255\n", "PPM text (P3)", 3, 24},     {"P4 3 2\n", "PBM binary (P4)", 0, 1},
      {"P5 3 2 65535\n", "PGM binary (P5)", 0, 16}, {"P6 3 2 1000\n", "PPM binary (P6)", 3, 48},
  };
  for (const auto& [bytes, formatName, colorType, bits] : cases) {
    ConvImageInfo info{};
    std::strcpy(info.compression, "stale");
    ASSERT_EQ(Info(bytes, &info), 0);
    EXPECT_STREQ(info.formatName, formatName);
    EXPECT_STREQ(info.compression, "");
    EXPECT_EQ(
        std::tuple(info.width, info.height, int{info.colorType}, int{info.bitsPerPixel}, int{info.resUnit}),
        std::tuple(3u, 2u, colorType, bits, 0));
  }
  ConvImageInfo info{};
  EXPECT_EQ(Info("P5 3 2 255\n", &info, 1), CONV_ERR_WRONG_IMAGE_NUMBER);
  EXPECT_EQ(Info("P5 3 2 0\n", &info), 22);
}

TEST_F(PnmReadTest, RecordContentCheckAndTexts) {
  const ConverterDriver& pnm = Pnm();
  ASSERT_TRUE(pnm.loaded());
  EXPECT_EQ(pnm.Version(), 0x00030300u);
  ConvRecord record = pnm.Record();
  EXPECT_STREQ(record.name, "PNM");
  EXPECT_STREQ(record.extensions, "*.PBM;*.PGM;*.PPM;*.PNM");
  EXPECT_LT(std::strlen(record.description), 40u);
  EXPECT_EQ(std::tuple(record.flags, record.writeFormats, int{record.writeResUnits}),
            std::tuple(0x17u, 0x085u, 1));

  const std::pair<std::string, bool> files[] = {{"P1\n", true},  {"P6 1", true}, {"P5#c\n", true},
                                                {"P7\n", false}, {"P6x", false}, {"P", false},
                                                {"", false}};
  for (const auto& [bytes, accepted] : files) {
    WriteFileBytes(path_, bytes);
    EXPECT_EQ(pnm.Check(path_), accepted) << bytes;
  }

  for (int code : {21, 22, 23})
    EXPECT_NE(pnm.ErrorText(code, "photo.ppm").find("photo.ppm"), std::string::npos);
  EXPECT_EQ(pnm.ErrorText(18, "photo.ppm"), "Wrong custom DLL version photo.ppm");
  EXPECT_EQ(pnm.ErrorText(19, "photo.ppm"), "WA Failure");
  EXPECT_EQ(pnm.ErrorText(77, "photo.ppm"), "PNM converter error 77 in photo.ppm");
}

}  // namespace
}  // namespace imexp::test
