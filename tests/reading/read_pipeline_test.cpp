// ImExp_ReadFile: the band loops, host and progress calls, every failure
// path and its clean-up, resolution, and the guards against a converter
// that names rows or sizes it cannot hold.
#include <algorithm>

#include "tests/reading/read_fixture.h"

namespace imexp::test {
namespace {

// A grey image whose row r is filled with byte r (one byte a pixel).
TestImage GreyRows(uint32_t width, uint32_t height) {
  TestImage image;
  image.Set("width", width).Set("height", height).Set("bitsPerPixel", 8);
  for (uint32_t r = 0; r < height; ++r)
    image.rows.push_back(std::vector<uint8_t>(width, static_cast<uint8_t>(r)));
  return image;
}

std::vector<std::string> Bands(const ReadOutcome& o) { return LinesWith(o.log, "RDReadBand"); }

std::string Field(const std::string& line, const std::string& key) {
  std::size_t at = line.find(" " + key + "=");
  if (at == std::string::npos) return "";
  std::size_t start = at + key.size() + 2;
  return line.substr(start, line.find(' ', start) - start);
}

// Host rows in the order PutRow received them.
std::vector<int> PutRows(const ReadOutcome& o) {
  std::vector<int> rows;
  for (const std::string& call : o.calls) {
    if (call.rfind("PutRow ", 0) == 0) rows.push_back(std::stoi(call.substr(7)));
  }
  return rows;
}

class ReadPipelineTest : public ReadTest {
 protected:
  void SetUp() override { SetUpManager(); }
};

TEST_F(ReadPipelineTest, HostCallsComeInOrderAndEveryRowOnce) {
  TestImage image = GreyRows(3, 4);
  image.Set("resUnit", 2).Set("resX", 300).Set("resY", 150);
  auto o = Read(WriteImage(image), HIT_GRAY256);
  ASSERT_EQ(o->result, 1);
  std::vector<std::string> expected = {"SetImageSize 3 4", "SetImageType 8", "SetPalette 256",
                                       "SetResolution 300 150", "Begin"};
  for (int k = 0; k < 4; ++k) {
    expected.push_back("PutRow " + std::to_string(3 - k));
    expected.push_back("Update " + std::to_string(k) + " 4");
  }
  expected.push_back("End");
  EXPECT_EQ(o->calls, expected);
  for (int r = 0; r < 4; ++r)
    EXPECT_EQ(o->image.rows[3 - r], std::vector<uint8_t>(3, static_cast<uint8_t>(r)));
  EXPECT_TRUE(o->boxes.empty());
}

TEST_F(ReadPipelineTest, BandLoops) {
  struct Case {
    const char* what;
    std::map<std::string, std::string> fields;
    uint32_t height;
    std::vector<std::pair<int, int>> bands;  // bandRow, bandCount the converter worked on
    std::vector<int> hostRows;
  } cases[] = {
      {"manager-driven rows, top down", {{"accessMode", "1"}}, 3, {{0, 1}, {1, 1}, {2, 1}}, {2, 1, 0}},
      {"manager-driven rows, bottom up", {{"accessMode", "2"}}, 3, {{2, 1}, {1, 1}, {0, 1}}, {0, 1, 2}},
      {"either, bottom up", {{"accessMode", "3"}, {"rowOrder", "2"}}, 3, {{2, 1}, {1, 1}, {0, 1}}, {0, 1, 2}},
      {"manager-driven bands of 4",
       {{"accessMode", "1"}, {"maxBandRows", "4"}},
       10,
       {{0, 4}, {4, 4}, {8, 2}},
       {9, 8, 7, 6, 5, 4, 3, 2, 1, 0}},
      {"manager-driven bands up",
       {{"accessMode", "2"}, {"maxBandRows", "4"}},
       6,
       {{5, 4}, {1, 2}},
       {0, 1, 2, 3, 4, 5}},
      {"fixed bands",
       {{"accessMode", "1"}, {"fixedBand", "1"}, {"maxBandRows", "3"}, {"fixedCounts", "1,3,2"}},
       6,
       {{0, 1}, {1, 3}, {4, 2}},
       {5, 4, 3, 2, 1, 0}},
      {"converter-driven rows", {{"accessMode", "0"}}, 3, {{0, 1}, {1, 1}, {2, 1}}, {2, 1, 0}},
      {"converter-driven bands",
       {{"accessMode", "0"}, {"maxBandRows", "4"}, {"rowOrder", "2"}},
       6,
       {{5, 4}, {1, 2}},
       {0, 1, 2, 3, 4, 5}},
      {"converter-driven band 5+3 down",
       {{"accessMode", "0"}, {"maxBandRows", "4"}, {"bands", "5:3,0:5"}},
       10,
       {},
       {4, 3, 2}},  // the second band is too long: see the guards below
      {"converter-driven, scripted order",
       {{"accessMode", "0"}, {"maxBandRows", "2"}, {"bands", "2:1,0:2"}},
       3,
       {{2, 1}, {0, 2}},
       {0, 2, 1}},
  };
  for (const Case& c : cases) {
    TestImage image = GreyRows(2, c.height);
    for (const auto& [key, value] : c.fields) image.Set(key, value);
    auto o = Read(WriteImage(image), HIT_GRAY256);
    EXPECT_EQ(PutRows(*o), c.hostRows) << c.what;
    if (c.bands.empty()) continue;
    ASSERT_EQ(o->result, 1) << c.what;
    auto bands = Bands(*o);
    // Converter-driven loops end with one more call that returns 1.
    bool converterDriven = c.fields.at("accessMode") == "0";
    ASSERT_EQ(bands.size(), c.bands.size() + (converterDriven ? 1 : 0)) << c.what;
    if (!converterDriven) {
      for (std::size_t i = 0; i < c.bands.size(); ++i) {
        EXPECT_EQ(Field(bands[i], "bandRow"), std::to_string(c.bands[i].first)) << c.what << " band " << i;
        EXPECT_EQ(Field(bands[i], "bandCount"), std::to_string(c.bands[i].second)) << c.what << " band " << i;
      }
    }
    // Each host row arrives with its own bytes.
    for (const auto& [hostRow, bytes] : o->image.rows) {
      EXPECT_EQ(bytes, std::vector<uint8_t>(2, static_cast<uint8_t>(c.height - 1 - hostRow))) << c.what;
    }
    EXPECT_EQ(o->image.duplicateRows, 0) << c.what;
  }
}

TEST_F(ReadPipelineTest, ChosenAccessAndBandRowsReachTheConverter) {
  TestImage image = GreyRows(3000, 5);
  image.Set("accessMode", 3).Set("rowOrder", 2).Set("maxBandRows", 100);
  auto o = Read(WriteImage(image), HIT_GRAY256);
  ASSERT_EQ(o->result, 1);
  auto setup = LinesWith(o->log, "RDSetupReading");
  ASSERT_EQ(setup.size(), 1u);
  EXPECT_EQ(Field(setup[0], "chosenAccess"), "2");
  EXPECT_EQ(Field(setup[0], "bandRows"), "2");  // 8192 / 3000
  EXPECT_EQ(Field(Bands(*o)[0], "bandRow"), "4");
}

TEST_F(ReadPipelineTest, ConverterDrivenReadsMustDeliverEveryRow) {
  struct Case {
    const char* what;
    std::string bands;
    std::size_t rows;
  } cases[] = {{"no band at all", "", 0},
               {"rows missing", "0:1,2:1", 2},
               {"a row twice, one missing", "0:1,0:1,1:1", 3}};
  for (const Case& c : cases) {
    TestImage image = GreyRows(2, 3);
    image.Set("accessMode", 0).Set("bands", c.bands);
    auto o = Read(WriteImage(image), HIT_GRAY256);
    EXPECT_EQ(o->result, 0) << c.what;
    EXPECT_EQ(PutRows(*o).size(), c.rows) << c.what;
    ASSERT_EQ(o->boxes.size(), 1u) << c.what;
    EXPECT_EQ(o->boxes[0].text, "Unexpected end of file image.tst") << c.what;
    EXPECT_EQ(o->calls.back(), "End") << c.what;
  }
}

TEST_F(ReadPipelineTest, ProgressUpdatesAndCancellation) {
  auto o = Read(WriteImage(GreyRows(2, 5)), HIT_GRAY256, 1);
  EXPECT_EQ(o->result, 0);
  EXPECT_EQ(PutRows(*o).size(), 1u);  // one row, then the first update cancels
  EXPECT_EQ(o->calls.back(), "End");
  EXPECT_TRUE(o->boxes.empty());  // cancelling shows nothing
  EXPECT_EQ(LinesWith(o->log, "RDCleanUp").size(), 1u);

  o = Read(WriteImage(GreyRows(2, 5)), HIT_GRAY256, -1);  // no progress object
  EXPECT_EQ(o->result, 1);
  EXPECT_EQ(PutRows(*o).size(), 5u);
}

TEST_F(ReadPipelineTest, RefusedSizeStopsHostCalls) {
  auto o = Read(WriteImage(GreyRows(2, 5)), HIT_GRAY256, 0, /*refuseSize=*/1);
  EXPECT_EQ(o->result, 0);
  EXPECT_EQ(o->calls, std::vector<std::string>{"SetImageSize 2 5"});
  ASSERT_EQ(o->boxes.size(), 1u);
  // The converter is loaded, so it words the code (16 and up).
  EXPECT_EQ(o->boxes[0].text, "tconv says error 19 in 'image.tst'");
  EXPECT_EQ(LinesWith(o->log, "RDCleanUp").size(), 1u);
}

TEST_F(ReadPipelineTest, HostParametersReachTheConverter) {
  char text[] = "host text";
  char* param = text;
  auto o = Read(WriteImage(GreyRows(1, 1)), HIT_GRAY256, 0, 0, &param, 77);
  auto header = LinesWith(o->log, "RDReadHeader");
  ASSERT_EQ(header.size(), 1u);
  EXPECT_NE(header[0].find("hostParam='host text' hostValue=77"), std::string::npos) << header[0];
  EXPECT_NE(header[0].find("imageIndex=0 imageCount=1 paletteBehind=1"), std::string::npos) << header[0];
  EXPECT_NE(header[0].find("fileName='" + setup_.dir().File("image.tst") + "'"), std::string::npos)
      << header[0];
}

TEST_F(ReadPipelineTest, Resolution) {
  struct Case {
    int unit, x, y, expectedX, expectedY;
  } cases[] = {{2, 300, 0, 300, 300}, {2, 0, 300, 72, 72},  {3, 118, 118, 300, 300}, {3, 28, 28, 71, 71},
               {1, 1, 2, 72, 144},    {1, 0, 5, 72, 72},    {1, 3, 0, 72, 72},       {0, 300, 300, 72, 72},
               {4, 640, 480, 72, 72}, {9, 300, 300, 72, 72}};
  for (const Case& c : cases) {
    TestImage image = GreyRows(1, 1);
    image.Set("resUnit", c.unit).Set("resX", c.x).Set("resY", c.y);
    auto o = Read(WriteImage(image), HIT_GRAY256);
    EXPECT_EQ(o->image.resolutionX, c.expectedX) << c.unit << " " << c.x << " " << c.y;
    EXPECT_EQ(o->image.resolutionY, c.expectedY) << c.unit << " " << c.x << " " << c.y;
  }
}

// Every way a read can fail, the message it shows and what is released.
TEST_F(ReadPipelineTest, FailuresReportAndCleanUp) {
  struct Case {
    const char* what;
    std::map<std::string, std::string> fields;
    int accepted;
    std::string message;  // "" for none
    bool hostCalled;
    bool cleanedUp;
  } cases[] = {
      {"header error",
       {{"Error.RDReadHeader", "30"}},
       HIT_GRAY256,
       "tconv says error 30 in 'image.tst'",
       false,
       true},
      {"setup error",
       {{"Error.RDSetupReading", "5"}},
       HIT_GRAY256,
       "Unsupporter Subformat image.tst",
       true,
       true},
      {"band error", {{"Error.RDReadBand", "14@2"}}, HIT_GRAY256, "Decompressor Error image.tst", true, true},
      {"manager-driven band returns 1",
       {{"Error.RDReadBand", "1@1"}},
       HIT_GRAY256,
       "Unexpected end of file image.tst",
       true,
       true},
      {"converter error 16",
       {{"Error.RDReadBand", "16"}},
       HIT_GRAY256,
       "tconv says error 16 in 'image.tst'",
       true,
       true},
      {"inconsistent descriptor",
       {{"bitsPerPixel", "24"}},
       HIT_RGB24,
       "Invalid Image File image.tst",
       false,
       true},
      {"no host type", {}, HIT_BILEVEL, "Illegal conversion requested", false, true},
      {"packed 2 bits",
       {{"bitsPerPixel", "2"}, {"packedPixels", "1"}, {"width", "4"}, {"bytesPerLine", "1"}},
       HIT_RGB24,
       "Illegal conversion requested",
       false,
       true},
      {"unpacked planes",
       {{"bitsPerPixel", "4"}, {"planes", "4"}, {"packedPixels", "0"}, {"colorType", "2"}},
       HIT_PAL256,
       "Illegal conversion requested",
       false,
       true},
      {"row over the limit",
       {{"width", "32512"},
        {"bitsPerPixel", "24"},
        {"colorType", "3"},
        {"planes", "3"},
        {"bytesPerLine", "32512"}},
       HIT_RGB24,
       "File too big image.tst",
       true,
       true},
  };
  for (const Case& c : cases) {
    TestImage image = GreyRows(4, 3);
    for (const auto& [key, value] : c.fields) image.Set(key, value);
    auto o = Read(WriteImage(image), c.accepted);
    EXPECT_EQ(o->result, 0) << c.what;
    if (c.message.empty()) {
      EXPECT_TRUE(o->boxes.empty()) << c.what;
    } else {
      ASSERT_EQ(o->boxes.size(), 1u) << c.what;
      EXPECT_EQ(o->boxes[0].text, c.message) << c.what;
      EXPECT_EQ(o->boxes[0].caption, "Converter Error") << c.what;
    }
    EXPECT_EQ(!o->calls.empty(), c.hostCalled) << c.what;
    EXPECT_EQ(LinesWith(o->log, "RDCleanUp").size(), c.cleanedUp ? 1u : 0u) << c.what;
    if (std::find(o->calls.begin(), o->calls.end(), "Begin") != o->calls.end()) {
      EXPECT_EQ(o->calls.back(), "End") << c.what;
    }
    // The converter worded its code before it was cleaned up and unloaded.
    auto wording = LinesWith(o->log, "ConvGetErrorString");
    if (!wording.empty()) {
      EXPECT_LT(std::find(o->log.begin(), o->log.end(), wording[0]) - o->log.begin(),
                std::find(o->log.begin(), o->log.end(), LinesWith(o->log, "RDCleanUp")[0]) - o->log.begin());
    }
    EXPECT_FALSE(IsLibraryLoaded(setup_.dir().path() / SharedLibraryName("tconv"))) << c.what;
  }
}

TEST_F(ReadPipelineTest, FilesThatCannotBeOpenedOrRecognised) {
  auto o = Read(setup_.dir().File("missing.tst"), HIT_GRAY256);
  EXPECT_EQ(o->result, 0);
  ASSERT_EQ(o->boxes.size(), 1u);
  EXPECT_EQ(o->boxes[0].text, "Cannot open file missing.tst");
  EXPECT_TRUE(o->log.empty());  // no converter was loaded
  EXPECT_TRUE(o->calls.empty());

  o = Read(NativePath(setup_.dir().path()), HIT_GRAY256);  // a folder is no file
  ASSERT_EQ(o->boxes.size(), 1u);
  EXPECT_EQ(o->boxes[0].text.rfind("Cannot open file", 0), 0u);

  std::string other = setup_.dir().File("photo.xyz");
  WriteFileBytes(other, "not an image");
  o = Read(other, HIT_GRAY256);
  ASSERT_EQ(o->boxes.size(), 1u);
  EXPECT_EQ(o->boxes[0].text, "Unknown image file format photo.xyz");
  EXPECT_TRUE(LinesWith(o->log, "RDReadHeader").empty());
}

// A converter must not make the manager read or write outside its buffers
// or outside the host's image, whatever rows and sizes it names.
TEST_F(ReadPipelineTest, GuardsAgainstBandsThatDoNotFit) {
  struct Case {
    const char* what;
    std::map<std::string, std::string> fields;
    std::size_t rowsBeforeFailure;
  } cases[] = {
      {"band longer than the buffer", {{"accessMode", "0"}, {"maxBandRows", "4"}, {"bands", "0:5"}}, 0},
      {"band below the image", {{"accessMode", "0"}, {"maxBandRows", "4"}, {"bands", "0:2,9:2"}}, 2},
      {"row past the end", {{"accessMode", "0"}, {"bands", "0:1,10:1"}}, 1},
      {"band above the image going up",
       {{"accessMode", "0"}, {"maxBandRows", "4"}, {"rowOrder", "2"}, {"bands", "1:3"}},
       0},
      {"empty band", {{"accessMode", "0"}, {"maxBandRows", "4"}, {"bands", "3:0"}}, 0},
      {"fixed count over the buffer",
       {{"accessMode", "1"}, {"fixedBand", "1"}, {"maxBandRows", "2"}, {"fixedCounts", "2,3"}},
       2},
      {"fixed count past the image",
       {{"accessMode", "1"}, {"fixedBand", "1"}, {"maxBandRows", "4"}, {"fixedCounts", "4,4,4"}},
       8},
      {"fixed count of nothing",
       {{"accessMode", "1"}, {"fixedBand", "1"}, {"maxBandRows", "4"}, {"fixedCounts", "0"}},
       0},
      {"no band rows", {{"maxBandRows", "0"}}, 0},
  };
  for (const Case& c : cases) {
    TestImage image = GreyRows(2, 10);
    for (const auto& [key, value] : c.fields) image.Set(key, value);
    auto o = Read(WriteImage(image), HIT_GRAY256);
    EXPECT_EQ(o->result, 0) << c.what;
    EXPECT_EQ(PutRows(*o).size(), c.rowsBeforeFailure) << c.what;
    ASSERT_EQ(o->boxes.size(), 1u) << c.what;
    EXPECT_EQ(o->boxes[0].text, "Invalid Image File image.tst") << c.what;
    EXPECT_EQ(LinesWith(o->log, "RDCleanUp").size(), 1u) << c.what;
  }
}

TEST_F(ReadPipelineTest, RowsShorterThanTheConvertersReadAreRefused) {
  struct Case {
    const char* what;
    std::map<std::string, std::string> fields;
    int accepted;
  } cases[] = {
      {"6 bits marked packed",
       {{"bitsPerPixel", "6"}, {"packedPixels", "1"}, {"bytesPerLine", "6"}},
       HIT_GRAY256},
      {"1 bit in bytes", {{"bitsPerPixel", "1"}, {"packedPixels", "0"}, {"bytesPerLine", "2"}}, HIT_BILEVEL},
  };
  for (const Case& c : cases) {
    TestImage image = GreyRows(8, 2);
    for (const auto& [key, value] : c.fields) image.Set(key, value);
    auto o = Read(WriteImage(image), c.accepted);
    EXPECT_EQ(o->result, 0) << c.what;
    EXPECT_TRUE(o->calls.empty()) << c.what;  // before any host call
    ASSERT_EQ(o->boxes.size(), 1u) << c.what;
    EXPECT_EQ(o->boxes[0].text, "Invalid Image File image.tst") << c.what;
  }
}

TEST_F(ReadPipelineTest, WideRgbRowsDoNotWrap) {
  // 30000 pixels of 8 bits as 24-bit host rows: 90000 bytes a row.
  TestImage image = GreyRows(30000, 2);
  auto o = Read(WriteImage(image), HIT_RGB24);
  ASSERT_EQ(o->result, 1);
  ASSERT_EQ(o->image.rows[0].size(), 90000u);
  EXPECT_EQ(o->image.rows[0][89999], 1);  // host row 0 is descriptor row 1
  EXPECT_EQ(o->image.rows[1][0], 0);
}

TEST_F(ReadPipelineTest, DepthsWithoutAConversionAreRefused) {
  // A 16-bit "palette" passes the descriptor checks; its analysis stays
  // within the palette's 256 entries and no row conversion exists for it.
  TestImage image;
  image.Set("width", 2).Set("height", 1).Set("bitsPerPixel", 16).Set("bytesPerLine", 6).Set("colorType", 2);
  image.Palette({{1, 2, 3}});
  image.rows.push_back({1, 2, 3, 4, 5, 6});
  auto o = Read(WriteImage(image), HIT_RGB24 | HIT_PAL256);
  EXPECT_EQ(o->result, 0);
  ASSERT_EQ(o->boxes.size(), 1u);
  EXPECT_EQ(o->boxes[0].text, "Illegal conversion requested");
  EXPECT_TRUE(o->calls.empty());
}

TEST_F(ReadTest, ConverterThatCannotBeLoadedAnyMore) {
  // Chosen by its extension alone, the converter is loaded only to read; its
  // file is gone by then.
  SetUpManager("imexp_test_converter", "Flags=0x01\n");
  fs::remove(setup_.dir().path() / SharedLibraryName("tconv"));
  auto o = Read(WriteImage(GreyRows(2, 2)), HIT_GRAY256);
  EXPECT_EQ(o->result, 0);
  ASSERT_EQ(o->boxes.size(), 1u);
  EXPECT_EQ(o->boxes[0].text, "Wrong custom DLL version image.tst");
  EXPECT_TRUE(o->calls.empty());
}

class MissingEntryPointTest : public ReadTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(MissingEntryPointTest, EachReadingEntryPointIsRequired) {
  SetUpManager(std::string("imexp_test_converter_no_") + GetParam());
  auto o = Read(WriteImage(GreyRows(2, 2)), HIT_GRAY256);
  EXPECT_EQ(o->result, 0);
  ASSERT_EQ(o->boxes.size(), 1u);
  // The converter is still loaded when this is reported, so it words code 18.
  EXPECT_EQ(o->boxes[0].text, "tconv says error 18 in 'image.tst'");
  EXPECT_TRUE(LinesWith(o->log, "RDReadHeader").empty());  // nothing was called
  EXPECT_TRUE(LinesWith(o->log, "RDCleanUp").empty());
  EXPECT_TRUE(o->calls.empty());
}

INSTANTIATE_TEST_SUITE_P(Reading, MissingEntryPointTest,
                         ::testing::Values("RDReadHeader", "RDSetupReading", "RDReadBand", "RDCleanUp"));

TEST_F(ReadPipelineTest, AllocationFailuresGiveNoEnoughMemory) {
  // Allocations of a read: the descriptor block, then the band, the
  // intermediate row and the host row (a 1-bit image read as 256 colours has
  // all three).
  TestImage image;
  image.Set("width", 9).Set("height", 2).Set("bitsPerPixel", 1).Set("colorType", 2);
  image.rows = {{0xFF, 0x80}, {0, 0}};
  std::string path = WriteImage(image);
  for (int nth = 1; nth <= 4; ++nth) {
    if (!FailNthAllocation(&setup_.manager(), nth)) GTEST_SKIP() << "the Windows heap cannot be told to fail";
    auto o = Read(path, HIT_PAL256);
    FailNthAllocation(&setup_.manager(), 0);
    EXPECT_EQ(o->result, 0) << nth;
    ASSERT_EQ(o->boxes.size(), 1u) << nth;
    EXPECT_EQ(o->boxes[0].text, "No enough memory") << nth;
    EXPECT_EQ(LinesWith(o->log, "RDCleanUp").size(), nth == 1 ? 0u : 1u) << nth;
  }
  auto o = Read(path, HIT_PAL256);
  EXPECT_EQ(o->result, 1);
}

}  // namespace
}  // namespace imexp::test
