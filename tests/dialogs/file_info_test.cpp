// ImExp_GetFileInfo: the record a host gets for a file's first image,
// without a message on any path.
#include <gtest/gtest.h>

#include <imexp/host.h>

#include <cstring>

#include "tests/support/test_image.h"
#include "tests/support/test_support.h"

namespace imexp::test {
namespace {

class FileInfoTest : public ::testing::Test {
 protected:
  void SetUpManager(const std::string& script, std::string_view target = "imexp_test_converter") {
    std::string copy = setup_.InstallConverter(target, "ti");
    setup_.WriteIni("[Converters]\n0=" + copy + "\n[ti]\nName=TI\nExtensions=*.TI\n" + script + "\n");
    setup_.Load();
    getInfo_ = setup_.manager().Get<ImExp_GetFileInfoFn>("ImExp_GetFileInfo");
    ASSERT_NE(getInfo_, nullptr);
    capture_ = std::make_unique<MessageBoxCapture>(&setup_.manager());
  }

  std::string Image(const std::map<std::string, long long>& fields, const std::string& name = "photo.ti") {
    TestImage image;
    for (const auto& [key, value] : fields) image.Set(key, value);
    std::string path = setup_.dir().File(name);
    WriteFileBytes(path, image.Bytes());
    return path;
  }

  // The record after the call, starting from a record full of 0x5A.
  int Get(const std::string& path, ConvImageInfo* info, int image = 0) {
    std::memset(info, 0x5A, sizeof *info);
    setup_.ClearCallLog();
    std::string file = path;
    return getInfo_(info, file.data(), image);
  }

  ManagerSetup setup_;
  ImExp_GetFileInfoFn getInfo_ = nullptr;
  std::unique_ptr<MessageBoxCapture> capture_;
};

TEST_F(FileInfoTest, DescribesTheFirstImage) {
  SetUpManager("");
  std::string path = Image({{"width", 640},
                            {"height", 480},
                            {"colorType", 2},
                            {"bitsPerPixel", 8},
                            {"resUnit", 2},
                            {"resX", 300},
                            {"resY", 150},
                            {"hasDetails", 1}});
  ConvImageInfo info;
  ASSERT_EQ(Get(path, &info, 7), 1);
  EXPECT_STREQ(info.title, "photo.ti");
  EXPECT_STREQ(info.formatName, "Test format");
  EXPECT_STREQ(info.compression, "");
  EXPECT_EQ(info.imageCount, 1);
  EXPECT_EQ(info.imageIndex, 0);
  EXPECT_EQ(info.width, 640u);
  EXPECT_EQ(info.height, 480u);
  EXPECT_EQ(info.colorType, 2);
  EXPECT_EQ(info.bitsPerPixel, 8);
  EXPECT_EQ(info.resUnit, 2);
  EXPECT_EQ(info.resX, 300u);
  EXPECT_EQ(info.resY, 150u);
  EXPECT_EQ(info.hasDetails, 1);
  auto calls = LinesWith(setup_.CallLog(), "RDGetImageInfo");
  ASSERT_EQ(calls.size(), 1u);
  // The manager's side was filled before the converter was asked, and image
  // 0 was asked for whatever number the caller gave.
  EXPECT_NE(calls[0].find("image=0 title='photo.ti' formatName0=0 compression0=0 imageCount=1 imageIndex=0 "
                          "resUnit=0 hasDetails=0"),
            std::string::npos)
      << calls[0];
  EXPECT_TRUE(LinesWith(setup_.CallLog(), "RDGetImageCount").empty());  // not a multi-image converter
  EXPECT_TRUE(capture_->boxes().empty());
}

TEST_F(FileInfoTest, FieldsTheConverterLeavesKeepTheHostsMemory) {
  SetUpManager("");
  ConvImageInfo info;
  ASSERT_EQ(Get(Image({{"infoLeaves", 1}}), &info), 1);
  EXPECT_EQ(info.width, 0x5A5A5A5Au);
  EXPECT_EQ(info.resUnit, 0);  // written by the manager first
  EXPECT_EQ(info.formatName[0], '\0');
}

TEST_F(FileInfoTest, MultiImageFilesCountTheirImages) {
  SetUpManager("Flags=0x31");
  ConvImageInfo info;
  ASSERT_EQ(Get(Image({{"imageCount", 5}, {"singleView", 1}}), &info, 3), 1);
  EXPECT_EQ(info.imageCount, 5);
  EXPECT_EQ(info.imageIndex, 0);
  EXPECT_EQ(LinesWith(setup_.CallLog(), "RDGetImageCount").size(), 1u);
}

// ImExp_GetImageInfo: any image by its number, silently, from a converter
// of several images ("ti") or of one ("on"); the count is there even for a
// number the file does not hold.
TEST(ImageInfoExport, DescribesTheImageAsked) {
  ManagerSetup setup;
  std::string multi = setup.InstallConverter("imexp_test_converter", "ti");
  std::string single = setup.InstallConverter("imexp_test_converter", "on");
  setup.WriteIni(
      "[Converters]\n0=" + multi + "\n1=" + single +
      "\n[ti]\nName=TI\nFlags=0x21\nExtensions=*.TI\n[on]\nName=ON\nFlags=0x01\nExtensions=*.ON\n");
  setup.Load();
  MessageBoxCapture capture(&setup.manager());
  auto getImageInfo = setup.manager().Get<ImExp_GetImageInfoFn>("ImExp_GetImageInfo");
  ASSERT_NE(getImageInfo, nullptr);
  struct Case {
    const char* name;
    int singleView, image;
    int result, count;
    int asked;  // the image RDGetImageInfo was asked for; -1: not asked
  } cases[] = {
      {"a.ti", 0, 3, 1, 5, 3},   {"a.ti", 1, 4, 1, 5, 4}, {"a.ti", 0, 5, 0, 5, -1},
      {"a.ti", 0, -1, 0, 5, -1}, {"a.on", 0, 0, 1, 1, 0}, {"a.on", 0, 1, 0, 1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + ", image " + std::to_string(c.image));
    TestImage image;
    image.Set("imageCount", 5).Set("singleView", c.singleView);
    std::string file = setup.dir().File(c.name);
    WriteFileBytes(file, image.Bytes());
    ConvImageInfo info;
    std::memset(&info, 0x5A, sizeof info);
    setup.ClearCallLog();
    EXPECT_EQ(getImageInfo(&info, file.data(), c.image), c.result);
    EXPECT_EQ(info.imageCount, c.count);
    auto asked = LinesWith(setup.CallLog(), "RDGetImageInfo");
    if (c.asked < 0) {
      EXPECT_TRUE(asked.empty());
      continue;
    }
    ASSERT_EQ(asked.size(), 1u);
    const std::string number = std::to_string(c.asked);
    EXPECT_NE(asked[0].find("image=" + number + " "), std::string::npos) << asked[0];
    EXPECT_NE(asked[0].find("imageIndex=" + number + " "), std::string::npos) << asked[0];
  }
  EXPECT_TRUE(capture.boxes().empty());
}

struct FailureCase {
  const char* what;
  const char* script;
  const char* target;
  const char* field;  // a key of the image file, set to `value`
  long long value;
  bool managerSideWritten;
};

class FileInfoFailureTest : public FileInfoTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FileInfoFailureTest, ReturnsZeroSilently) {
  const FailureCase& c = GetParam();
  SetUpManager(c.script, c.target);
  ConvImageInfo info;
  EXPECT_EQ(Get(Image({{c.field, c.value}}), &info), 0);
  EXPECT_EQ(info.title[0] == 'p', c.managerSideWritten);
  EXPECT_TRUE(capture_->boxes().empty());
  EXPECT_FALSE(IsLibraryLoaded(setup_.dir().path() / SharedLibraryName("ti")));
}

INSTANTIATE_TEST_SUITE_P(
    Info, FileInfoFailureTest,
    ::testing::Values(
        FailureCase{"no images", "Flags=0x31", "imexp_test_converter", "imageCount", 0, false},
        FailureCase{"count error", "Flags=0x31", "imexp_test_converter", "Error.RDGetImageCount", 16, false},
        FailureCase{"info error", "", "imexp_test_converter", "Error.RDGetImageInfo", 30, true},
        FailureCase{"no RDGetImageCount", "Flags=0x31", "imexp_test_converter_no_RDGetImageCount", "width", 1,
                    false},
        FailureCase{"no RDGetImageInfo", "", "imexp_test_converter_no_RDGetImageInfo", "width", 1, true}));

TEST_F(FileInfoTest, UnknownOrMissingFiles) {
  SetUpManager("");
  ConvImageInfo info;
  std::string unknown = setup_.dir().File("photo.xyz");
  WriteFileBytes(unknown, "nothing anyone reads");
  EXPECT_EQ(Get(unknown, &info), 0);
  EXPECT_EQ(Get(setup_.dir().File("missing.ti"), &info), 0);
  EXPECT_EQ(getInfo_(nullptr, unknown.data(), 0), 0);
  EXPECT_TRUE(capture_->boxes().empty());
}

}  // namespace
}  // namespace imexp::test
