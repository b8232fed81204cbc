// The support headers every converter builds on: bounded field copies, error
// wording, band checks, little-endian fields, batched file output and the
// converter's settings.
#include <imexp/converter_settings.h>
#include <imexp/converter_support.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/converter_driver.h"

namespace imexp::conv {
namespace {

TEST(ConverterSupportTest, CopyFieldCutsAndTerminatesInsideTheField) {
  const std::tuple<const char*, std::size_t, std::string> cases[] = {
      {"BMP", 8, "BMP"}, {"1234567", 8, "1234567"}, {"12345678", 8, "1234567"}, {nullptr, 8, ""},
      {"x", 1, ""},
  };
  for (const auto& [text, size, expected] : cases) {
    char buffer[10];
    std::memset(buffer, 0x7F, sizeof buffer);
    CopyField(buffer, size, text);
    EXPECT_EQ(std::string(buffer), expected) << size;
    EXPECT_EQ(buffer[size], 0x7F) << "wrote past a field of " << size;
  }
}

TEST(ConverterSupportTest, WordsOwnCodesThenTheManagersThenAnyCode) {
  constexpr ErrorWording own[] = {{kFirstOwnError, "Broken %s"}};
  const std::string longTitle(400, 't');
  const std::tuple<int, const char*, std::string> cases[] = {
      {kFirstOwnError, "a.x", "Broken a.x"},
      {CONV_ERR_NOT_CONFIGURED, "a.x", "Converters configured inproperly"},
      {CONV_ERR_WRONG_DLL_VERSION, "a.x", "Wrong custom DLL version a.x"},
      {CONV_ERR_NO_SAVE_FORMAT, nullptr, "No Suitable Formats for Save"},
      {99, nullptr, "XYZ converter error 99 in "},
      {kFirstOwnError, longTitle.c_str(), "Broken " + std::string(248, 't')},
  };
  for (const auto& [code, title, expected] : cases) {
    char text[kErrorTextSize + 1];
    text[kErrorTextSize] = 0x7F;
    WordError(code, title, text, own, "XYZ");
    EXPECT_EQ(std::string(text), expected) << code;
    EXPECT_EQ(text[kErrorTextSize], 0x7F);
  }
}

TEST(ConverterSupportTest, WordsALibrarysReasonAsText) {
  constexpr ErrorWording own[] = {{kFirstOwnError, "Too big: %s"}};
  const std::tuple<int, const char*, std::string> cases[] = {
      {kFirstOwnError + 1, "bad %s%n huffman", "XYZ error in a.x: bad %s%n huffman"},
      {kFirstOwnError + 1, "", "XYZ error in a.x: unknown cause"},
      {kFirstOwnError + 1, nullptr, "XYZ error in a.x: unknown cause"},
      {kFirstOwnError, "ignored", "Too big: a.x"},
      {CONV_ERR_NO_SAVE_FORMAT, "ignored", "No Suitable Formats for Save"},
  };
  for (const auto& [code, reason, expected] : cases) {
    char text[kErrorTextSize];
    WordErrorWithReason(code, "a.x", text, own, "XYZ", kFirstOwnError + 1, reason);
    EXPECT_EQ(std::string(text), expected);
  }
}

TEST(ConverterSupportTest, BandInsideImageHoldsTheBandToTheImageAndTheBuffer) {
  struct Case {
    uint32_t bandRow, bandCount, bandRows, height;
    bool up, inside;
  };
  const Case cases[] = {
      {0, 4, 4, 4, false, true},  {1, 4, 4, 4, false, false}, {3, 1, 4, 4, false, true},
      {4, 1, 4, 4, false, false}, {0, 5, 4, 9, false, false}, {0, 0, 4, 4, false, false},
      {3, 4, 4, 4, true, true},   {2, 4, 4, 4, true, false},  {0, 1, 1, 1, true, true},
      {4, 1, 4, 4, true, false},
  };
  for (const Case& c : cases) {
    ConvImageDesc desc{};
    desc.bandRow = c.bandRow;
    desc.bandCount = c.bandCount;
    desc.bandRows = c.bandRows;
    EXPECT_EQ(BandInsideImage(desc, c.height, c.up), c.inside)
        << c.bandRow << "+" << c.bandCount << " of " << c.height << (c.up ? " up" : " down");
  }
}

TEST(ConverterSupportTest, FieldsAreLittleEndian) {
  uint8_t bytes[6] = {};
  PutLe32(bytes, 0x12345678);
  PutLe16(bytes + 4, 0xABCD);
  EXPECT_EQ(std::string(bytes, bytes + 6), std::string("\x78\x56\x34\x12\xCD\xAB", 6));
  EXPECT_EQ(std::tuple(Le32(bytes), Le16(bytes + 4)), std::tuple(0x12345678u, uint16_t{0xABCD}));
}

// Whatever mix of collected and straight-through writes a converter makes,
// the file holds the bytes in the order given, behind the starting offset.
TEST(ConverterSupportTest, FileOutputKeepsTheOrderOfCollectedAndDirectRuns) {
  enum Op { kAppend, kPut, kFlush };
  constexpr std::size_t kShort = 100;
  constexpr std::size_t kLong = 20000;  // a batch's worth or more: written straight through
  const std::vector<std::pair<Op, std::size_t>> cases[] = {
      {{kPut, kShort}},
      {{kPut, kLong}},
      {{kAppend, kShort}, {kPut, kLong}},
      {{kPut, kShort}, {kPut, kLong}, {kPut, kShort}, {kPut, kLong}},
      {{kPut, kLong}, {kFlush, 0}, {kAppend, kShort}, {kPut, kShort}},
      {{kPut, 16000}, {kPut, 16000}, {kPut, 16000}, {kPut, kShort}},  // a batch fills and is written
  };
  test::TempDir dir;
  const std::string path = dir.File("out.bin");
  for (const auto& ops : cases) {
    HFILE file = test::OpenConverterFile(path, true);
    ASSERT_NE(file, -1);
    ASSERT_EQ(ConvFileWrite(file, "head:", 5), 0);
    FileOutput output;
    output.Start(file, 5);
    std::string expected = "head:";
    int error = CONV_OK;
    for (const auto& [op, count] : ops) {
      std::string run(count, '\0');
      for (std::size_t i = 0; i < count; ++i) run[i] = static_cast<char>('a' + (expected.size() + i) % 26);
      expected += run;
      if (op == kAppend) output.Append(run.data(), count);
      if (op == kPut && error == CONV_OK) error = output.Put(run.data(), count);
      if (op == kFlush && error == CONV_OK) error = output.Flush();
    }
    if (error == CONV_OK) error = output.Flush();
    test::CloseConverterFile(file);
    EXPECT_EQ(error, CONV_OK);
    EXPECT_TRUE(test::ReadFileBytes(path) == expected)
        << ops.size() << " runs, " << expected.size() << " bytes";
  }
}

TEST(ConverterSupportTest, SettingsAreReadLikeProfileStrings) {
  std::filesystem::path ini = std::filesystem::temp_directory_path() / "imexp_settings_test.ini";
  std::ofstream(ini) << "[Converters]\n0=imexp_png.so\n"
                        "[ png ]\n  Level = 7  \nlevel=3\nBackground=10, 20,30\nBad=1,2\nWord=fast\n"
                        "Huge=99999\nSpaced=4 2\n[Other]\nQuality=5\n";
  const std::string path = ini.string();
  const char* file = path.c_str();
  const std::tuple<const char*, const char*, int, int> numbers[] = {
      {"PNG", "level", 7, 6},      // names without case, blanks trimmed, the first key wins
      {"png", "Quality", 6, 6},    // a key of another section is not ours
      {"png", "Word", 6, 6},       // no number
      {"png", "Spaced", 6, 6},     // not one number
      {"png", "Huge", 9, 6},       // kept within the range
      {"Missing", "level", 6, 6},  // no section
  };
  for (const auto& [section, key, expected, fallback] : numbers) {
    EXPECT_EQ(ReadIntSetting(file, section, key, fallback, 0, 9), expected) << section << "/" << key;
  }
  EXPECT_EQ(ReadIntSetting("/nonexistent/CONVERT.INI", "png", "level", 6, 0, 9), 6);
  EXPECT_EQ(ReadSetting(file, "png", "word", "x"), "fast");
  SettingColor background = ReadColorSetting(file, "png", "Background", {});
  EXPECT_EQ(std::tie(background.red, background.green, background.blue), std::make_tuple(10, 20, 30));
  SettingColor white = ReadColorSetting(file, "png", "Bad", {});
  EXPECT_EQ(std::tie(white.red, white.green, white.blue), std::make_tuple(255, 255, 255));
  std::filesystem::remove(ini);
}

TEST(ConverterSupportTest, AlphaAndSixteenBitSamplesRound) {
  const std::tuple<uint8_t, uint8_t, uint8_t, uint8_t> over[] = {
      {200, 255, 0, 200}, {200, 0, 17, 17}, {255, 128, 0, 128}, {0, 128, 255, 127}, {100, 51, 255, 224},
  };
  for (const auto& [value, alpha, background, expected] : over) {
    EXPECT_EQ(OverBackground(value, alpha, background), expected) << int{value} << " " << int{alpha};
  }
  const std::pair<uint16_t, uint8_t> reduce[] = {{0, 0},   {128, 0},     {129, 1},
                                                 {257, 1}, {65535, 255}, {32896, 128}};
  for (const auto& [value, expected] : reduce) EXPECT_EQ(Reduce16(value), expected) << value;
}

}  // namespace
}  // namespace imexp::conv
