// The PCX and DCX converters as readers: known pages built byte by byte,
// broken and damaged files and page tables, image counts, information,
// records and texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/converter_driver.h"

namespace imexp::test {
namespace {

using Bytes = std::vector<uint8_t>;
using Rows = std::vector<Bytes>;

struct PcxRecipe {
  int bits = 8, planes = 1, width = 1, height = 1, bytesPerLine = 2;
  Bytes data = {};       // the encoded rows
  Bytes colorMap = {};   // up to 16 header triples
  bool palette = false;  // 256 triples (i, 255 - i, i / 2) after a 0x0C marker
  int version = 5, encoding = 1, manufacturer = 0x0A, xMin = 0, dpi = 0;
};

template <typename Change>
PcxRecipe With(PcxRecipe recipe, Change change) {
  change(recipe);
  return recipe;
}

std::string BuildPcx(const PcxRecipe& p) {
  std::string out(128, '\0');
  auto put16 = [&out](std::size_t at, int v) {
    out[at] = static_cast<char>(v & 0xFF);
    out[at + 1] = static_cast<char>((v >> 8) & 0xFF);
  };
  out[0] = static_cast<char>(p.manufacturer);
  out[1] = static_cast<char>(p.version);
  out[2] = static_cast<char>(p.encoding);
  out[3] = static_cast<char>(p.bits);
  put16(4, p.xMin);
  put16(8, p.xMin + p.width - 1);
  put16(10, p.height - 1);
  put16(12, p.dpi);
  put16(14, p.dpi / 2);
  std::copy(p.colorMap.begin(), p.colorMap.end(), out.begin() + 16);
  out[65] = static_cast<char>(p.planes);
  put16(66, p.bytesPerLine);
  put16(68, 1);
  out.append(p.data.begin(), p.data.end());
  if (p.palette) {
    out.push_back('\x0C');
    for (int i = 0; i < 256; ++i) out.append({char(i), char(255 - i), char(i / 2)});
  }
  return out;
}

Bytes ColorMap16() {
  Bytes map;
  for (int i = 0; i < 16; ++i) map.insert(map.end(), {uint8_t(i * 16), uint8_t(255 - i * 16), uint8_t(i)});
  return map;
}

std::string Dcx(std::vector<uint32_t> table, const std::vector<std::string>& pages) {
  std::string out = "\xB1\x68\xDE\x3A";  // 987654321
  table.push_back(0);
  for (uint32_t at : table)
    out.append({char(at & 0xFF), char(at >> 8 & 0xFF), char(at >> 16 & 0xFF), char(at >> 24)});
  for (const std::string& page : pages) out += page;
  return out;
}

class PcxReadTest : public testing::Test {
 protected:
  // Loaded once: the suite reads many small files.
  static const ConverterDriver& Driver(std::string_view target) {
    static const ConverterDriver pcx("imexp_pcx"), dcx("imexp_dcx");
    return target == "imexp_dcx" ? dcx : pcx;
  }
  // Rows come back packed or RGB, whatever the converter's layout.
  int Read(const char* target, const std::string& bytes, Rows* rows = nullptr, uint32_t bandRows = 0) {
    WriteFileBytes(path_, bytes);
    int error = Driver(target).Read(path_, image_, bandRows);
    if (rows && error == 0) {
      rows->clear();
      for (const Bytes& row : image_.rows) rows->push_back(FromConverterLayout(row, image_.desc));
    }
    return error;
  }
  int Info(const char* target, const std::string& bytes, int index, ConvImageInfo* info) {
    WriteFileBytes(path_, bytes);
    return Driver(target).Info(path_, index, info);
  }
  int Count(const std::string& bytes, int* count, int* singleView) {
    WriteFileBytes(path_, bytes);
    return Driver("imexp_dcx").ImageCount(path_, count, singleView);
  }
  Bytes Entry(int i) const { return {image_.palette[i], image_.palette[256 + i], image_.palette[512 + i]}; }

  ConverterImage image_;
  TempDir dir_;
  std::string path_ = dir_.File("image.pcx");
};

TEST_F(PcxReadTest, KnownPages) {
  using Layout = std::tuple<int, int, int>;  // colorType, bitsPerPixel, planes
  struct Case {
    const char* name;
    PcxRecipe recipe;
    Layout layout;
    Rows rows;
    int entry;  // a palette entry to check, or -1
    Bytes rgb;
    uint32_t bytesPerLine = 0;  // in the band, when not the file's
  };
  const PcxRecipe indexed{8, 1, 3, 2, 4, {0xC3, 5, 0, 0xC1, 0xC8, 1, 2, 0}};
  const Case cases[] = {
      {"bilevel with palette",
       {1, 1, 10, 2, 2, {0xC2, 0xFF, 0x55, 0x40}, {0, 0, 0, 255, 255, 255}},
       {2, 1, 1},
       {{0xFF, 0xFF}, {0x55, 0x40}},
       1,
       {255, 255, 255}},
      // The manager reads 1-bit images as black and white; two other
      // colours survive as a 4-bit image.
      {"bilevel of two colours, as 4 bits",
       {1, 1, 5, 1, 2, {0xA8, 0x00}, {200, 0, 0, 0, 0, 90}},
       {2, 4, 1},
       {{0x10, 0x10, 0x10}},
       1,
       {0, 0, 90},
       3},
      // Two equal header entries cannot tell the pixels apart.
      {"bilevel without palette", {1, 1, 8, 1, 2, {0x0F, 0x00}}, {0, 1, 1}, {{0x0F}}, -1, {}},
      // The run of 0xF0 fills plane 0 and plane 1.
      {"16 colours",
       {1, 4, 8, 1, 1, {0xC2, 0xF0, 0x0F, 0xAA}, ColorMap16()},
       {2, 4, 4},
       {{0xB3, 0xB3, 0xC4, 0xC4}},
       11,
       {176, 79, 11}},
      {"16 colours, version 3 takes the default palette",
       With(PcxRecipe{1, 4, 2, 1, 1, {0x80, 0x80, 0x00, 0x80}, ColorMap16()},
            [](PcxRecipe& s) { s.version = 3; }),
       {2, 4, 4},
       {{0xB0}},
       11,
       {0x55, 0xFF, 0xFF}},
      {"256 colours",
       With(indexed, [](PcxRecipe& s) { s.palette = true; }),
       {2, 8, 1},
       {{5, 5, 5}, {0xC8, 1, 2}},
       200,
       {200, 55, 100}},
      {"256 levels without palette", indexed, {0, 8, 1}, {{5, 5, 5}, {0xC8, 1, 2}}, -1, {}},
      // Runs cross from the red into the green plane and from green into blue.
      {"true colour",
       {8, 3, 2, 2, 2, {0xC3, 7, 8, 0xC2, 9, 1, 2, 3, 4, 5, 6}},
       {3, 24, 3},
       {{7, 7, 9, 7, 8, 9}, {1, 3, 5, 2, 4, 6}},
       -1,
       {}},
      {"uncompressed",
       With(PcxRecipe{8, 1, 2, 1, 2, {0xC5, 0xFF}}, [](PcxRecipe& s) { s.encoding = 0, s.palette = true; }),
       {2, 8, 1},
       {{0xC5, 0xFF}},
       0xC5,
       {0xC5, 0x3A, 0x62}},
  };
  for (const Case& c : cases) {
    // Each band continues the run-length code where the last one stopped.
    for (uint32_t band : {0u, 1u}) {
      SCOPED_TRACE(testing::Message() << c.name << ", band " << band);
      Rows rows;
      ASSERT_EQ(Read("imexp_pcx", BuildPcx(c.recipe), &rows, band), 0);
      const ConvImageDesc& d = image_.desc;
      EXPECT_EQ(Layout(d.colorType, d.bitsPerPixel, d.planes), c.layout);
      EXPECT_EQ(std::tuple(d.bytesPerLine, d.packedPixels, d.accessMode, d.rowOrder),
                std::tuple(c.bytesPerLine != 0 ? c.bytesPerLine : uint32_t(c.recipe.bytesPerLine), 1,
                           uint16_t{1}, uint16_t{1}));
      EXPECT_EQ(rows, c.rows);
      if (c.entry >= 0) {
        EXPECT_EQ(Entry(c.entry), c.rgb);
      }
    }
  }
}

TEST_F(PcxReadTest, BrokenPagesFailWithAClearCode) {
  const PcxRecipe good{8, 1, 4, 2, 4, {0xC4, 1, 0xC4, 2}};
  auto with = [&good](auto change) { return BuildPcx(With(good, change)); };
  auto rows = [&good](Bytes data, bool palette = false) {
    PcxRecipe recipe = good;
    recipe.data = std::move(data);
    recipe.palette = palette;
    return BuildPcx(recipe);
  };
  const std::pair<std::string, int> cases[] = {
      {"", CONV_ERR_END_OF_FILE},
      {BuildPcx(good).substr(0, 100), CONV_ERR_END_OF_FILE},
      {with([](PcxRecipe& r) { r.manufacturer = 0x0B; }), CONV_ERR_UNKNOWN_FORMAT},
      {with([](PcxRecipe& r) { r.version = 6; }), CONV_ERR_UNSUPPORTED_SUBFORMAT},
      {with([](PcxRecipe& r) { r.encoding = 2; }), CONV_ERR_UNSUPPORTED_SUBFORMAT},
      {with([](PcxRecipe& r) { r.bits = 2; }), CONV_ERR_UNSUPPORTED_SUBFORMAT},
      {with([](PcxRecipe& r) { r.bits = 1, r.planes = 3; }), CONV_ERR_UNSUPPORTED_SUBFORMAT},
      // The right edge lies left of the left edge.
      {with([](PcxRecipe& r) { r.xMin = 5, r.width = 0; }), CONV_ERR_INVALID_FILE},
      {with([](PcxRecipe& r) { r.width = 32513, r.bytesPerLine = 32514; }), 21},
      {with([](PcxRecipe& r) { r.bytesPerLine = 3; }), CONV_ERR_INVALID_FILE},
      {with([](PcxRecipe& r) { r.bytesPerLine = 0; }), CONV_ERR_INVALID_FILE},
      {with([](PcxRecipe& r) { r.planes = 3, r.width = r.bytesPerLine = 12000; }), CONV_ERR_FILE_TOO_BIG},
      {rows({0xC5, 1}), CONV_ERR_DECOMPRESSOR},           // a run past the end of the line
      {rows({0xC4, 1, 0xC5, 2}), CONV_ERR_DECOMPRESSOR},  // ... and of the last line
      {rows({0xC4, 1}), CONV_ERR_END_OF_FILE},
      {rows({0xC4, 1, 0xC3}), CONV_ERR_END_OF_FILE},
      {rows({0xC4, 1, 7}, true), CONV_ERR_END_OF_FILE},  // the trailing palette is no pixel data
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(Read("imexp_pcx", cases[i].first), cases[i].second) << "case " << i;
  }
}

TEST_F(PcxReadTest, InformationNamesTheVersion) {
  auto page = [](int version, int encoding, int bits, int planes, int dpi) {
    return BuildPcx({bits, planes, 3, 2, 4, {}, {}, false, version, encoding, 0x0A, 0, dpi});
  };
  const std::tuple<std::string, const char*, const char*, int, int, int> cases[] = {
      {page(0, 1, 1, 1, 0), "PCX v2.5", "RLE", 0, 1, 0},
      {page(2, 1, 1, 4, 0), "PCX v2.8", "RLE", 2, 4, 0},
      {page(3, 1, 1, 4, 0), "PCX v2.8 (no palette)", "RLE", 2, 4, 0},
      {page(4, 1, 8, 1, 0), "PCX for Windows", "RLE", 0, 8, 0},
      {page(5, 0, 8, 3, 96), "PCX v3.0", "", 3, 24, CONV_UNIT_DPI},
  };
  for (const auto& [file, formatName, compression, colorType, bits, resUnit] : cases) {
    ConvImageInfo info{};
    ASSERT_EQ(Info("imexp_pcx", file, 0, &info), 0);
    EXPECT_STREQ(info.formatName, formatName);
    EXPECT_STREQ(info.compression, compression);
    EXPECT_EQ(
        std::tuple(info.width, info.height, int{info.colorType}, int{info.bitsPerPixel}, int{info.resUnit}),
        std::tuple(3u, 2u, colorType, bits, resUnit));
    EXPECT_EQ(std::tuple(info.resX, info.resY), resUnit ? std::tuple(96u, 48u) : std::tuple(0u, 0u));
  }
  ConvImageInfo info{};
  EXPECT_EQ(Info("imexp_pcx", page(5, 1, 8, 1, 0), 1, &info), CONV_ERR_WRONG_IMAGE_NUMBER);
}

// Three pages, stored in the file in another order than the table lists
// them: each page ends where the next one up begins, so the 256-colour
// page finds its palette although another page follows it.
TEST_F(PcxReadTest, DcxPagesCountInformationAndReading) {
  std::string bilevel = BuildPcx({1, 1, 10, 2, 2, {0xC2, 0xFF, 0x55, 0x40}});
  std::string indexed = BuildPcx({8, 1, 3, 4, 4, {0xC4, 1, 0xC4, 2, 0xC4, 3, 0xC4, 4}, {}, true});
  std::string rgb = BuildPcx({8, 3, 5, 1, 6, {0xD2, 9}});
  uint32_t indexedAt = 4 + 4 * 4, rgbAt = indexedAt + uint32_t(indexed.size());
  std::string file = Dcx({rgbAt + uint32_t(rgb.size()), indexedAt, rgbAt}, {indexed, rgb, bilevel});

  int count = 0, singleView = 1;
  EXPECT_EQ(Count(file, &count, &singleView), 0);
  EXPECT_EQ(std::tuple(count, singleView), std::tuple(3, 0));
  const std::tuple<uint32_t, uint32_t, int, int> pages[] = {{10, 2, 0, 1}, {3, 4, 2, 8}, {5, 1, 3, 24}};
  for (int i = 0; i < 3; ++i) {
    ConvImageInfo info{};
    ASSERT_EQ(Info("imexp_dcx", file, i, &info), 0);
    EXPECT_STREQ(info.formatName, "DCX");
    EXPECT_STREQ(info.compression, "RLE");
    EXPECT_EQ(std::tuple(info.width, info.height, int{info.colorType}, int{info.bitsPerPixel}), pages[i])
        << i;
  }
  Rows rows;
  ASSERT_EQ(Read("imexp_dcx", file, &rows), 0);
  EXPECT_EQ(rows, Rows({{0xFF, 0xFF}, {0x55, 0x40}}));
}

TEST_F(PcxReadTest, BrokenDcxTablesFailWithAClearCode) {
  std::string page = BuildPcx({8, 1, 2, 1, 2, {0xC2, 7}});
  uint32_t at = 4 + 4 * 2;
  std::string cutTable = Dcx({at}, {}).substr(0, 8);
  const std::tuple<const char*, std::string, int, int> cases[] = {
      {"no pages", Dcx({}, {page}), 0, CONV_ERR_NO_IMAGES},
      {"table cut by the end of the file", cutTable, 0, 22},
      {"page beyond the end", Dcx({at + 10}, {page}), 0, 22},
      {"page header cut", Dcx({at}, {page.substr(0, 100)}), 0, 22},
      {"page inside the table", Dcx({4}, {page}), 0, 22},
      {"offset near 4 GB", Dcx({0xFFFFFFF0u}, {page}), 0, 22},
      {"page that is not PCX", Dcx({at}, {std::string(200, 'x')}), 0, CONV_ERR_UNKNOWN_FORMAT},
      {"index past the table", Dcx({at}, {page}), 1, CONV_ERR_WRONG_IMAGE_NUMBER},
      {"negative index", Dcx({at}, {page}), -1, CONV_ERR_WRONG_IMAGE_NUMBER},
      {"not DCX", page, 0, CONV_ERR_UNKNOWN_FORMAT},
  };
  for (const auto& [name, file, index, error] : cases) {
    SCOPED_TRACE(name);
    ConvImageInfo info{};
    EXPECT_EQ(Info("imexp_dcx", file, index, &info), error);
    if (index == 0) {
      EXPECT_EQ(Read("imexp_dcx", file), error);
    }
  }
  int count = -1, singleView = -1;
  EXPECT_EQ(Count(Dcx({}, {page}), &count, &singleView), CONV_ERR_NO_IMAGES);
  EXPECT_EQ(Count(page, &count, &singleView), CONV_ERR_UNKNOWN_FORMAT);
  EXPECT_EQ(Count(cutTable, &count, &singleView), 22);
}

// Damaged copies of good files: any result code will do, as long as the
// readers neither crash nor touch memory they do not own (ASan run).
TEST_F(PcxReadTest, DamagedFilesNeverCrash) {
  std::string indexed = BuildPcx({8, 1, 5, 3, 6, {0xC6, 1, 0xC3, 2, 0xC3, 0xC0, 0xC6, 3}, {}, true});
  std::string planes = BuildPcx({1, 4, 9, 2, 2, {0xC8, 0x55, 0xC8, 0xAA}, ColorMap16()});
  std::string rgb = BuildPcx({8, 3, 3, 2, 4, {0xCC, 7, 0xCC, 8}});
  const std::pair<const char*, std::string> files[] = {
      {"imexp_pcx", indexed},
      {"imexp_pcx", planes},
      {"imexp_pcx", rgb},
      {"imexp_dcx", Dcx({16, 16 + uint32_t(indexed.size())}, {indexed, rgb})},
  };
  // Success, or one of the codes a broken file may earn (21 and 22 are the
  // converters' own), and a success delivers every row.
  const std::set<int> answers = {CONV_OK,
                                 CONV_ERR_END_OF_FILE,
                                 CONV_ERR_UNKNOWN_FORMAT,
                                 CONV_ERR_INVALID_FILE,
                                 CONV_ERR_UNSUPPORTED_SUBFORMAT,
                                 CONV_ERR_NO_IMAGES,
                                 CONV_ERR_WRONG_IMAGE_NUMBER,
                                 CONV_ERR_FILE_TOO_BIG,
                                 CONV_ERR_DECOMPRESSOR,
                                 21,
                                 22};
  unsigned seed = 11;
  auto next = [&seed](unsigned range) { return (seed = seed * 1103515245u + 12345u) / 65536 % range; };
  for (const auto& [target, good] : files) {
    for (int round = 0; round < 100; ++round) {
      std::string bad = round % 2 ? good : good.substr(0, next(unsigned(good.size()) + 1));
      for (unsigned flips = next(4) + 1; flips > 0 && !bad.empty(); --flips) {
        // Damage the header and the page table more often than the pixels.
        unsigned span = round % 3 ? std::min(unsigned(bad.size()), 140u) : unsigned(bad.size());
        bad[next(span)] = static_cast<char>(next(256));
      }
      ConvImageInfo info{};
      const int codes[] = {Info(target, bad, 0, &info), Info(target, bad, 1, &info),
                           Read(target, bad, nullptr, next(4))};
      for (int code : codes)
        EXPECT_EQ(answers.count(code), 1u) << code << " for " << testing::PrintToString(bad);
      if (codes[2] == CONV_OK) EXPECT_EQ(image_.rows.size(), image_.desc.height);
    }
  }
}

TEST_F(PcxReadTest, RecordsContentChecksAndTexts) {
  std::string pcx = BuildPcx({8, 1, 2, 1, 2, {0xC2, 7}});
  const std::tuple<std::string, bool, bool> files[] = {
      {pcx, true, false},
      {Dcx({12}, {pcx}), false, true},
      {pcx.substr(0, 3), false, false},
      {"P6 1 1 255\n", false, false},
      {std::string("\x0A\x06\x01\x08", 4), false, false},  // version 6
  };
  for (const auto& [bytes, isPcx, isDcx] : files) {
    WriteFileBytes(path_, bytes);
    EXPECT_EQ(std::tuple(Driver("imexp_pcx").Check(path_), Driver("imexp_dcx").Check(path_)),
              std::tuple(isPcx, isDcx));
  }
  const std::tuple<const char*, const char*, const char*, uint32_t> records[] = {
      {"imexp_pcx", "PCX", "*.PCX", 0x17}, {"imexp_dcx", "DCX", "*.DCX", 0x37}};
  for (const auto& [target, name, extensions, flags] : records) {
    const ConverterDriver& driver = Driver(target);
    ASSERT_TRUE(driver.loaded());
    EXPECT_EQ(driver.Version(), 0x00030300u);
    ConvRecord record = driver.Record();
    EXPECT_STREQ(record.name, name);
    EXPECT_STREQ(record.extensions, extensions);
    EXPECT_LT(std::strlen(record.description), 40u);
    EXPECT_EQ(std::tuple(record.flags, record.writeFormats, int{record.writeResUnits}),
              std::tuple(flags, 0x0F1u, 0x04));
    for (int code : {21, 22}) EXPECT_NE(driver.ErrorText(code, "fax.dcx").find("fax.dcx"), std::string::npos);
    EXPECT_EQ(driver.ErrorText(18, "fax.dcx"), "Wrong custom DLL version fax.dcx");
    EXPECT_EQ(driver.ErrorText(40, "fax.dcx"), std::string(name) + " converter error 40 in fax.dcx");
  }
}

}  // namespace
}  // namespace imexp::test
