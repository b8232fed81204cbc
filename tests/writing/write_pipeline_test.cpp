// ImExp_WriteFile: the three loops, progress, every failure path with its
// clean-up, the temporary file and the replacement of the target.
#include <algorithm>

#include "tests/writing/write_fixture.h"

namespace imexp::test {
namespace {

std::vector<int> GetRows(const WriteOutcome& o) {
  std::vector<int> rows;
  for (const std::string& call : o.calls) {
    if (call.rfind("GetRow ", 0) == 0) rows.push_back(std::stoi(call.substr(7)));
  }
  return rows;
}

std::vector<std::pair<std::string, std::string>> Bands(const WriteOutcome& o) {
  std::vector<std::pair<std::string, std::string>> bands;
  for (const std::string& line : LinesWith(o.log, "WRWriteBand")) {
    bands.emplace_back(Field(line, "bandRow"), Field(line, "bandCount"));
  }
  return bands;
}

std::size_t Count(const std::vector<std::string>& lines, const std::string& fragment) {
  return LinesWith(lines, fragment).size();
}

class WritePipelineTest : public WriteTest {
 protected:
  void SetUp() override { SetUpWriter(); }
};

TEST_F(WritePipelineTest, DefaultDescriptorWritesRowByRowTopDown) {
  ScriptedWriteImage image = FilledImage(HIT_GRAY256, 3, 5);
  auto o = Write(image);
  ASSERT_EQ(o->result, 1);
  EXPECT_EQ(o->reserved, 0);
  EXPECT_EQ(GetRows(*o), (std::vector<int>{4, 3, 2, 1, 0}));
  auto bands = Bands(*o);
  ASSERT_EQ(bands.size(), 5u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(bands[i], std::make_pair(std::to_string(i), std::string("1")));
  // The converter's file is the target now: rows from the top.
  EXPECT_EQ(o->target, std::string("\5\5\5\4\4\4\3\3\3\2\2\2\1\1\1"));
  EXPECT_TRUE(o->leftovers.empty());
  std::vector<std::string> expectedStart = {"GetImageType", "GetImageSize", "GetResolution",
                                            "Begin",        "GetRow 4",     "Update 0 5"};
  EXPECT_TRUE(std::equal(expectedStart.begin(), expectedStart.end(), o->calls.begin()));
  EXPECT_EQ(o->calls.back(), "End");
  EXPECT_EQ(Count(o->calls, "Begin"), 1u);
  EXPECT_EQ(Count(o->calls, "End"), 1u);
  auto setup = LinesWith(o->log, "WRSetupWriting")[0];
  for (const char* field :
       {"planes=1", "bytesPerLine=3", "packedPixels=1", "invertedGray=0", "bgrOrder=0", "accessMode=1",
        "rowOrder=1", "fixedBand=0", "maxBandRows=1", "chosenAccess=1", "bandRows=1", "bandRow=0",
        "bandCount=1", "reserved=0", "imageIndex=0", "imageCount=1", "paletteBehind=0"}) {
    EXPECT_NE(setup.find(std::string(" ") + field), std::string::npos) << field << " in " << setup;
  }
  EXPECT_NE(setup.find("fileName='" + setup_.dir().File("out.tw") + "'"), std::string::npos) << setup;
  EXPECT_EQ(o->log.back(), "tw WRCleanUp");
}

TEST_F(WritePipelineTest, Loops) {
  struct Case {
    const char* what;
    std::string script;
    int width, height;
    std::vector<int> rows;
    std::vector<std::pair<std::string, std::string>> bands;
  } cases[] = {
      {"row by row up",
       "Write.accessMode=2\nWrite.rowOrder=2",
       1,
       3,
       {0, 1, 2},
       {{"2", "1"}, {"1", "1"}, {"0", "1"}}},
      {"bands of 32", "Write.maxBandRows=100", 1000, 70, {}, {{"0", "32"}, {"32", "32"}, {"64", "6"}}},
      {"bands up",
       "Write.accessMode=3\nWrite.rowOrder=2\nWrite.maxBandRows=2",
       1,
       5,
       {0, 1, 2, 3, 4},
       {{"4", "2"}, {"2", "2"}, {"0", "1"}}},
      {"fixed bands",
       "Write.fixedBand=1\nWrite.maxBandRows=3\nWrite.fixedCounts=1,3,2",
       1,
       6,
       {5, 4, 3, 2, 1, 0},
       {{"0", "1"}, {"1", "3"}, {"4", "2"}}},
      {"converter-driven",
       "Write.accessMode=0\nWrite.maxBandRows=4\nWrite.bands=4:2,0:4",
       1,
       6,
       {1, 0, 5, 4, 3, 2},
       {{"4", "2"}, {"0", "4"}}},
      {"converter-driven, first band named in the header",
       "Write.accessMode=0\nWrite.maxBandRows=2\nWrite.bands=1:2,0:1\nWrite.firstBandIn=header",
       1,
       3,
       {1, 0, 2},
       {{"1", "2"}, {"0", "1"}}},
      {"converter-driven from the default top row",
       "Write.accessMode=0\nWrite.defaultFirstBand=1",
       1,
       3,
       {2, 1, 0},
       {{"0", "1"}, {"1", "1"}, {"2", "1"}}},
  };
  for (const Case& c : cases) {
    Rescript(c.script);
    ScriptedWriteImage image = FilledImage(HIT_GRAY256, c.width, c.height);
    auto o = Write(image);
    EXPECT_EQ(o->result, 1) << c.what;
    if (!c.rows.empty()) EXPECT_EQ(GetRows(*o), c.rows) << c.what;
    EXPECT_EQ(Bands(*o), c.bands) << c.what;
    EXPECT_EQ(Count(o->log, "WRCleanUp"), 1u) << c.what;
    std::size_t updates = Count(o->calls, "Update ");
    EXPECT_EQ(updates, GetRows(*o).size()) << c.what;
    // Progress counts every row of the call in order.
    int k = 0;
    for (const std::string& call : o->calls) {
      if (call.rfind("Update ", 0) == 0) {
        EXPECT_EQ(call, "Update " + std::to_string(k++) + " " + std::to_string(c.height)) << c.what;
      }
    }
  }
}

TEST_F(WritePipelineTest, ResolutionUnits) {
  struct Case {
    const char* units;
    int x, y;
    const char* expected;
  } cases[] = {
      {"0x0C", 300, 300, "resUnit=2 resX=300 resY=300"}, {"0x08", 300, 300, "resUnit=3 resX=118 resY=118"},
      {"0x10", 300, 300, "resUnit=4 resX=640 resY=480"}, {"0x01", 300, 300, "resUnit=0 resX=0 resY=0"},
      {"0x04", 0, 300, "resUnit=2 resX=72 resY=72"},     {"0x1D", 150, 75, "resUnit=2 resX=150 resY=75"},
      {"0x00", 300, 300, "resUnit=0 resX=0 resY=0"}};
  for (const Case& c : cases) {
    Rescript(std::string("WriteResUnits=") + c.units);
    ReloadManager();  // the record is read when the manager is attached
    ScriptedWriteImage image = FilledImage(HIT_RGB24, 1, 1);
    image.resolutionX = c.x;
    image.resolutionY = c.y;
    auto o = Write(image);
    ASSERT_EQ(o->result, 1) << c.units;
    EXPECT_NE(LinesWith(o->log, "WRSetupWriting")[0].find(c.expected), std::string::npos) << c.units;
  }
}

TEST_F(WritePipelineTest, CancelInTheFirstUpdate) {
  WriteFileBytes(setup_.dir().path() / "out.tw", "old image");
  ScriptedWriteImage image = FilledImage(HIT_RGB24, 2, 4);
  auto o = Write(image, "out.tw", /*cancelAt=*/1);
  EXPECT_EQ(o->result, 0);
  EXPECT_TRUE(o->boxes.empty());
  EXPECT_EQ(Count(o->calls, "End"), 1u);
  EXPECT_EQ(Count(o->log, "WRCleanUp"), 1u);
  EXPECT_EQ(Count(o->log, "WRWriteBand"), 0u);
  EXPECT_EQ(o->target, "old image");
  EXPECT_TRUE(o->leftovers.empty());
}

TEST_F(WritePipelineTest, ImageTypeOutsideTheFiveIsRefusedSilently) {
  ScriptedWriteImage image = FilledImage(32, 1, 1);
  auto o = Write(image);
  EXPECT_EQ(o->result, 0);
  EXPECT_EQ(o->reserved, 0);
  EXPECT_TRUE(o->boxes.empty());
  EXPECT_EQ(o->calls, std::vector<std::string>{"GetImageType"});
  EXPECT_TRUE(o->log.empty());
  EXPECT_EQ(o->target, "");
}

// Every failure after the writer was found: the message names the target,
// the writer is cleaned up once, and neither a temporary file nor a changed
// target remains.
TEST_F(WritePipelineTest, FailuresLeaveTheOldTarget) {
  struct Case {
    const char* what;
    std::string script;
    std::string message;
    bool setupCalled;
  } cases[] = {
      {"setup error", "Error.WRSetupWriting=5", "Unsupporter Subformat out.tw", true},
      {"header error", "Error.WRWriteHeader=14", "Decompressor Error out.tw", true},
      {"third band fails", "Error.WRWriteBand=13@3", "Disk full writing out.tw", true},
      {"end error", "Error.WREndWriting=30", "tw says error 30 in 'out.tw'", true},
      {"row by row ends with 1", "Error.WRWriteBand=1@2", "Unexpected end of file out.tw", true},
      {"row over the limit", "Write.bytesPerLine=40000", "File too big out.tw", true},
      {"row of no bytes", "Write.bytesPerLine=0", "File too big out.tw", true},
      {"no planes", "Write.planes=0", "File too big out.tw", true},
      {"fixed band of no rows", "Write.fixedBand=1\nWrite.maxBandRows=2\nWrite.fixedCounts=0",
       "Invalid Image File out.tw", true},
      {"fixed band past the buffer", "Write.fixedBand=1\nWrite.maxBandRows=2\nWrite.fixedCounts=3",
       "Invalid Image File out.tw", true},
      {"band past the image", "Write.accessMode=0\nWrite.maxBandRows=4\nWrite.bands=2:4",
       "Invalid Image File out.tw", true},
      {"band longer than the buffer", "Write.accessMode=0\nWrite.maxBandRows=2\nWrite.bands=0:3",
       "Invalid Image File out.tw", true},
      {"band of no rows", "Write.accessMode=0\nWrite.bands=1:0", "Invalid Image File out.tw", true},
      {"row shorter than the step writes", "Write.bytesPerLine=2", "Invalid Image File out.tw", true},
  };
  for (const Case& c : cases) {
    Rescript(c.script);
    WriteFileBytes(setup_.dir().path() / "out.tw", "old image");
    ScriptedWriteImage image = FilledImage(HIT_RGB24, 3, 4);
    auto o = Write(image);
    EXPECT_EQ(o->result, 0) << c.what;
    ASSERT_EQ(o->boxes.size(), 1u) << c.what;
    EXPECT_EQ(o->boxes[0].text, c.message) << c.what;
    EXPECT_EQ(Count(o->log, "WRCleanUp"), c.setupCalled ? 1u : 0u) << c.what;
    EXPECT_EQ(o->target, "old image") << c.what;
    EXPECT_TRUE(o->leftovers.empty()) << c.what;
    EXPECT_EQ(Count(o->calls, "Begin"), Count(o->calls, "End")) << c.what;
    EXPECT_FALSE(IsLibraryLoaded(setup_.dir().path() / SharedLibraryName("tw"))) << c.what;
  }
}

TEST_F(WritePipelineTest, NoWriterOrNoTemporaryFile) {
  WriteFileBytes(setup_.dir().path() / "out.tw", "old image");
  ScriptedWriteImage image = FilledImage(HIT_RGB24, 3, 4);
  auto o = Write(image, "out.xyz");
  ASSERT_EQ(o->boxes.size(), 1u);
  EXPECT_EQ(o->boxes[0].text, "No Suitable Formats for Save");
  EXPECT_TRUE(o->log.empty());
  EXPECT_EQ(o->calls, (std::vector<std::string>{"GetImageType"}));

  // A folder that does not exist.
  std::string missing = NativePath(setup_.dir().path() / "no_such_folder" / "out.tw");
  o = Write(image, missing);
  ASSERT_EQ(o->boxes.size(), 1u);
  EXPECT_EQ(o->boxes[0].text, "Cannot open file out.tw");
  EXPECT_TRUE(LinesWith(o->log, "WRSetupWriting").empty());

  // A folder whose temporary path would not fit 127 characters.
  fs::path deep = setup_.dir().path();
  while (NativePath(deep).size() < 120) deep /= "deeper";
  fs::create_directories(deep);
  o = Write(image, NativePath(deep / "out.tw"));
  ASSERT_EQ(o->boxes.size(), 1u);
  EXPECT_EQ(o->boxes[0].text, "Cannot open file out.tw");
  EXPECT_TRUE(fs::is_empty(deep));
}

TEST_F(WritePipelineTest, TemporaryFileTakesTheFirstFreeNumber) {
  WriteFileBytes(setup_.dir().path() / "~cv00000.tmp", "zero");
  WriteFileBytes(setup_.dir().path() / "~cv00001.tmp", "one");
  ScriptedWriteImage image = FilledImage(HIT_GRAY256, 1, 1);
  auto o = Write(image);
  ASSERT_EQ(o->result, 1);
  std::string path = Field(LinesWith(o->log, "WRSetupWriting")[0], "hFilePath");
  if (!path.empty() && path != "''") {
    EXPECT_NE(path.find("~cv00002.tmp"), std::string::npos) << path;
  }
  EXPECT_EQ(ReadFileBytes(setup_.dir().path() / "~cv00000.tmp"), "zero");
  EXPECT_EQ(ReadFileBytes(setup_.dir().path() / "~cv00001.tmp"), "one");
  EXPECT_FALSE(fs::exists(setup_.dir().path() / "~cv00002.tmp"));
  EXPECT_EQ(o->target, std::string("\1"));
}

TEST_F(WritePipelineTest, TargetWithoutFolderGoesThroughTheCurrentFolder) {
  fs::path previous = fs::current_path();
  fs::current_path(setup_.dir().path());
  ScriptedWriteImage image = FilledImage(HIT_GRAY256, 2, 1);
  char name[] = "plain.tw";
  int reserved = 0;
  int result = write_(&image, nullptr, name, &reserved, nullptr, nullptr, 0);
  fs::current_path(previous);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(ReadFileBytes(setup_.dir().path() / "plain.tw"), std::string("\1\1"));
}

TEST_F(WritePipelineTest, FailedReplacementKeepsTheOldTarget) {
  // A folder where the target should be: the move cannot replace it.
  fs::create_directories(setup_.dir().path() / "out.tw");
  WriteFileBytes(setup_.dir().path() / "out.tw" / "inside", "kept");
  ScriptedWriteImage image = FilledImage(HIT_GRAY256, 2, 2);
  auto o = Write(image);
  EXPECT_EQ(o->result, 0);
  ASSERT_EQ(o->boxes.size(), 1u);
  EXPECT_EQ(o->boxes[0].text, "Disk full writing out.tw");
  EXPECT_EQ(Count(o->log, "WREndWriting"), 1u);  // the writer had finished
  EXPECT_EQ(ReadFileBytes(setup_.dir().path() / "out.tw" / "inside"), "kept");
  EXPECT_TRUE(o->leftovers.empty());
}

TEST_F(WritePipelineTest, ReplacesAnExistingTarget) {
  WriteFileBytes(setup_.dir().path() / "out.tw", "old image, longer than the new one");
  ScriptedWriteImage image = FilledImage(HIT_GRAY256, 2, 1);
  auto o = Write(image);
  EXPECT_EQ(o->result, 1);
  EXPECT_EQ(o->target, std::string("\1\1"));
  EXPECT_TRUE(o->leftovers.empty());
}

TEST_F(WritePipelineTest, WriterThatCannotBeLoadedAnyMore) {
  fs::remove(setup_.dir().path() / SharedLibraryName("tw"));
  WriteFileBytes(setup_.dir().path() / "out.tw", "old image");
  ScriptedWriteImage image = FilledImage(HIT_RGB24, 1, 1);
  auto o = Write(image);
  EXPECT_EQ(o->result, 0);
  ASSERT_EQ(o->boxes.size(), 1u);
  EXPECT_EQ(o->boxes[0].text, "Wrong custom DLL version out.tw");
  EXPECT_EQ(o->target, "old image");
  EXPECT_TRUE(o->leftovers.empty());
}

class MissingWriteEntryTest : public WriteTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(MissingWriteEntryTest, EachWritingEntryPointIsRequired) {
  SetUpManager(
      {{"tw", "Name=TW\nExtensions=*.TW\nFlags=0x13", std::string("imexp_test_converter_no_") + GetParam()}});
  WriteFileBytes(setup_.dir().path() / "out.tw", "old image");
  ScriptedWriteImage image = FilledImage(HIT_RGB24, 1, 1);
  auto o = Write(image);
  EXPECT_EQ(o->result, 0);
  ASSERT_EQ(o->boxes.size(), 1u);
  EXPECT_EQ(o->boxes[0].text, "tw says error 18 in 'out.tw'");  // worded by the loaded writer
  EXPECT_TRUE(LinesWith(o->log, "WRSetupWriting").empty());
  EXPECT_EQ(o->target, "old image");
  EXPECT_TRUE(o->leftovers.empty());
}

INSTANTIATE_TEST_SUITE_P(Writing, MissingWriteEntryTest,
                         ::testing::Values("WRSetupWriting", "WRWriteHeader", "WRWriteBand", "WREndWriting",
                                           "WRCleanUp"));

TEST_F(WritePipelineTest, AllocationFailuresGiveNoEnoughMemory) {
  WriteFileBytes(setup_.dir().path() / "out.tw", "old image");
  ScriptedWriteImage image = FilledImage(HIT_RGB24, 3, 2);
  for (int nth = 1; nth <= 2; ++nth) {  // the band, then the row buffer
    if (!FailNthAllocation(&setup_.manager(), nth)) GTEST_SKIP() << "the Windows heap cannot be told to fail";
    auto o = Write(image);
    FailNthAllocation(&setup_.manager(), 0);
    EXPECT_EQ(o->result, 0) << nth;
    ASSERT_EQ(o->boxes.size(), 1u) << nth;
    EXPECT_EQ(o->boxes[0].text, "No enough memory") << nth;
    EXPECT_EQ(Count(o->log, "WRCleanUp"), 1u) << nth;
    EXPECT_EQ(o->target, "old image") << nth;
    EXPECT_TRUE(o->leftovers.empty()) << nth;
  }
}

}  // namespace
}  // namespace imexp::test
