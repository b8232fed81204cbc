// ImExp_ReadFileImage: the image the host names, or the one the user picks
// in Select Image, reaches the converter's descriptor; wrong numbers and
// every failure of the count are reported; ImExp_ReadFile keeps reading
// image 0 of 1 without asking for a count.
#include "tests/dialogs/manager_dialog_fixture.h"

#include "resource_ids.h"
#include "tests/support/recording_host.h"

namespace imexp::test {
namespace {

// "ti": a multi-image reader of *.TI; "on": a reader of *.ON files of one
// image; "nc": a multi-image reader of *.NC without RDGetImageCount.
class ReadFileImageTest : public ManagerDialogTest {
 protected:
  void SetUp() override {
    Install({{"ti", "Flags=0x21\nExtensions=*.TI\n"},
             {"on", "Flags=0x01\nExtensions=*.ON\n"},
             {"nc", "Flags=0x21\nExtensions=*.NC\n", "imexp_test_converter_no_RDGetImageCount"}});
  }
};

constexpr int kChoose = -1;
// RDReadHeader's descriptor, as the test converter logs it.
std::string Request(int index, int count) {
  return "imageIndex=" + std::to_string(index) + " imageCount=" + std::to_string(count);
}

TEST_F(ReadFileImageTest, TheImageAskedOrChosenIsRead) {
  auto readImage = Get<ImExp_ReadFileImageFn>("ImExp_ReadFileImage");
  struct Case {
    std::string name;
    std::map<std::string, long long> fields;
    int image;
    std::vector<UiScript> scripts;  // one per window: Select Image, message boxes
    int result;
    std::string request;  // what RDReadHeader was given; "" when it was not called
    std::string message;  // the one message shown, if any
  } cases[] = {
      {"pages.ti", {{"imageCount", 3}}, 2, {}, 1, Request(2, 3), ""},
      {"pages.ti", {{"imageCount", 3}}, 0, {}, 1, Request(0, 3), ""},
      {"pages.ti", {{"imageCount", 3}}, 3, {{Answer(IDOK)}}, 0, "", "Wrong Image Number pages.ti"},
      {"pages.ti",
       {{"imageCount", 3}},
       kChoose,
       {{TypeText(IDC_SELECT_NUMBER, "2"), Enter()}},
       1,
       Request(1, 3),
       ""},
      {"pages.ti", {{"imageCount", 3}}, kChoose, {{Escape()}}, 0, "", ""},
      // Nothing to choose: image 0 without a dialog.
      {"view.ti", {{"imageCount", 3}, {"singleView", 1}}, kChoose, {}, 1, Request(0, 3), ""},
      {"one.ti", {{"imageCount", 1}}, kChoose, {}, 1, Request(0, 1), ""},
      {"plain.on", {}, kChoose, {}, 1, Request(0, 1), ""},
      {"plain.on", {}, 1, {{Answer(IDOK)}}, 0, "", "Wrong Image Number plain.on"},
      // The count's failures, in the read's words.
      {"none.ti", {{"imageCount", 0}}, 0, {{Answer(IDOK)}}, 0, "", "No images found in file none.ti"},
      {"bad.ti", {{"Error.RDGetImageCount", 30}}, 0, {{Answer(IDOK)}}, 0, "", "ti says error 30 in 'bad.ti'"},
      // A missing entry point is reported as the read reports one, with the
      // converter still loaded to word the code.
      {"a.nc", {}, 0, {{Answer(IDOK)}}, 0, "", "nc says error 18 in 'a.nc'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + ", image " + std::to_string(c.image));
    std::string file = Image(c.name, c.fields);
    setup_.ClearCallLog();
    RecordingImage image;
    int result = -1;
    auto windows = Run(c.scripts, [&] {
      result = readImage(&image, nullptr, file.data(), HIT_RGB24, nullptr, nullptr, 0, c.image);
    });
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(windows.size(), c.scripts.size());
    if (c.image == kChoose && !c.scripts.empty()) EXPECT_EQ(windows[0].caption, "Select Image");
    auto headers = LinesWith(setup_.CallLog(), "RDReadHeader");
    if (c.request.empty()) {
      EXPECT_TRUE(headers.empty());
      EXPECT_TRUE(image.ownLog.empty());  // the host heard nothing
    } else {
      ASSERT_EQ(headers.size(), 1u);
      EXPECT_NE(headers[0].find(c.request), std::string::npos) << headers[0];
    }
    EXPECT_EQ(MessageTexts(windows),
              c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message});
    for (const char* copy : {"ti", "on", "nc"})
      EXPECT_FALSE(IsLibraryLoaded(setup_.dir().path() / SharedLibraryName(copy)));
  }
}

TEST_F(ReadFileImageTest, ReadFileReadsTheFirstImageWithoutACount) {
  auto read = Get<ImExp_ReadFileFn>("ImExp_ReadFile");
  std::string file = Image("pages.ti", {{"imageCount", 3}});
  setup_.ClearCallLog();
  RecordingImage image;
  EXPECT_EQ(read(&image, nullptr, file.data(), HIT_RGB24, nullptr, nullptr, 0), 1);
  EXPECT_TRUE(LinesWith(setup_.CallLog(), "RDGetImageCount").empty());
  auto headers = LinesWith(setup_.CallLog(), "RDReadHeader");
  ASSERT_EQ(headers.size(), 1u);
  EXPECT_NE(headers[0].find(Request(0, 1)), std::string::npos) << headers[0];
}

}  // namespace
}  // namespace imexp::test
