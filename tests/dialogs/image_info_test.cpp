// The Image Info dialog through ImExp_ShowFileInfo: every field as the
// converter's record gives it, the choice of image in multi-image files,
// Details, and each failure with its message; libraries balanced.
#include "tests/dialogs/manager_dialog_fixture.h"

#include "resource_ids.h"

namespace imexp::test {
namespace {

class ImageInfoTest : public ManagerDialogTest {
 protected:
  // "ti": a multi-image converter of *.TI that checks content; "nc", "ni":
  // converters of *.NC and *.NI without RDGetImageCount or RDGetImageInfo;
  // "gone": a converter of *.GN whose library is deleted after start-up.
  void SetUp() override {
    Install({{"ti", "Flags=0x33\nExtensions=*.TI\n"},
             {"nc", "Flags=0x21\nExtensions=*.NC\n", "imexp_test_converter_no_RDGetImageCount"},
             {"ni", "Flags=0x01\nExtensions=*.NI\n", "imexp_test_converter_no_RDGetImageInfo"},
             {"gone", "Flags=0x01\nExtensions=*.GN\n"}});
    fs::remove(setup_.dir().path() / SharedLibraryName("gone"));
  }

  struct Shown {
    int result = 0;
    std::vector<UiWindowRecord> windows;
    const UiWindowRecord* info = nullptr;  // the Image Info dialog, if it opened
  };
  Shown Show(const std::string& path, int image, std::vector<UiScript> scripts) {
    Shown s;
    auto show = Get<ImExp_ShowFileInfoFn>("ImExp_ShowFileInfo");
    std::string file = path;
    s.windows = Run(std::move(scripts), [&] { s.result = show(nullptr, file.data(), image); });
    for (const UiWindowRecord& w : s.windows) {
      if (!w.messageBox && w.states.front().Find(IDC_INFO_DETAILS) != nullptr) s.info = &w;
    }
    for (const char* copy : {"ti", "nc", "ni"})
      EXPECT_FALSE(IsLibraryLoaded(setup_.dir().path() / SharedLibraryName(copy)));
    return s;
  }
  static std::string Field(const UiWindowRecord& w, int id) { return w.states.front().Find(id)->text; }
};

TEST_F(ImageInfoTest, FieldsAsTheRecordGivesThem) {
  struct Case {
    std::map<std::string, long long> fields;
    std::string type, colors, resolution;
    bool details;
  } cases[] = {
      {{{"colorType", 3},
        {"bitsPerPixel", 24},
        {"resUnit", 2},
        {"resX", 300},
        {"resY", 300},
        {"hasDetails", 1}},
       "RGB",
       "16,777,216",
       "300 X 300 dot/inch",
       true},
      {{{"colorType", 0}, {"bitsPerPixel", 1}}, "GrayScale", "2", "<Unknown>", false},
      {{{"colorType", 2}, {"bitsPerPixel", 8}, {"resUnit", 1}, {"resX", 4}, {"resY", 3}},
       "Color Paletted",
       "256",
       "4 X 3",
       false},
      {{{"colorType", 4}, {"bitsPerPixel", 10}, {"resUnit", 3}, {"resX", 118}, {"resY", 59}},
       "Gray with Alpha Channel",
       "1,024",
       "118 X 59 dot/cm",
       false},
      {{{"colorType", 5}, {"bitsPerPixel", 20}, {"resUnit", 4}, {"resX", 640}, {"resY", 480}},
       "RGB with Alpha Channel",
       "1,048,576",
       "Screen 640 X 480 pixels",
       false},
      {{{"colorType", 8}, {"bitsPerPixel", 32}}, "CMYK color separated", "16,777,216", "<Unknown>", false},
      // Beyond the tables: empty texts.
      {{{"colorType", 9}, {"bitsPerPixel", 8}, {"resUnit", 5}}, "", "256", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type + " " + c.colors);
    auto fields = c.fields;
    fields["width"] = 640;
    fields["height"] = 480;
    Shown s = Show(Image("photo.ti", fields), 0, {{Press(IDOK)}});
    EXPECT_EQ(s.result, 1);
    ASSERT_NE(s.info, nullptr);
    EXPECT_EQ(s.info->caption, "Image Info");
    EXPECT_EQ(Field(*s.info, IDC_INFO_TITLE), "photo.ti");
    EXPECT_EQ(Field(*s.info, IDC_INFO_FORMAT), "Test format");
    EXPECT_EQ(Field(*s.info, IDC_INFO_DIMENSIONS), "640 X 480");
    EXPECT_EQ(Field(*s.info, IDC_INFO_TYPE), c.type);
    EXPECT_EQ(Field(*s.info, IDC_INFO_COLORS), c.colors);
    EXPECT_EQ(Field(*s.info, IDC_INFO_RESOLUTION), c.resolution);
    EXPECT_EQ(Field(*s.info, IDC_INFO_COMPRESSION), "Uncompressed");
    EXPECT_EQ(s.info->states.front().Find(IDC_INFO_DETAILS)->enabled, c.details);
  }
}

TEST_F(ImageInfoTest, WhichImageIsDescribed) {
  struct Case {
    int count, singleView, image;
    std::vector<UiScript> scripts;
    int result;
    int asked;             // the image RDGetImageInfo was asked for; -1: not asked
    std::string position;  // "" with the "Image :" label hidden
  } cases[] = {
      {1, 0, 3, {{Press(IDOK)}}, 1, 0, ""},
      {3, 0, 2, {{Press(IDOK)}}, 1, 2, "3 / 3"},
      {3, 0, 3, {{Press(IDOK)}}, 1, 0, "1 / 3"},
      {3, 1, -1, {{Press(IDOK)}}, 1, 0, "1 / 3"},
      {3, 0, -1, {{TypeText(IDC_SELECT_NUMBER, "2"), Enter()}, {Press(IDOK)}}, 1, 1, "2 / 3"},
      {3, 0, -1, {{Escape()}}, 0, -1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.count) + " images, image " + std::to_string(c.image));
    std::string path = Image("pages.ti", {{"imageCount", c.count}, {"singleView", c.singleView}});
    setup_.ClearCallLog();
    Shown s = Show(path, c.image, c.scripts);
    EXPECT_EQ(s.result, c.result);
    EXPECT_EQ(s.windows.size(), c.scripts.size());
    auto asked = LinesWith(setup_.CallLog(), "RDGetImageInfo");
    if (c.asked < 0) {
      EXPECT_TRUE(asked.empty());
      EXPECT_EQ(s.info, nullptr);
      EXPECT_EQ(s.windows[0].caption, "Select Image");
      EXPECT_EQ(s.windows[0].states[0].Find(IDC_SELECT_TITLE)->text, "pages.ti");
      continue;
    }
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_NE(asked[0].find("image=" + std::to_string(c.asked) + " "), std::string::npos) << asked[0];
    ASSERT_NE(s.info, nullptr);
    EXPECT_EQ(Field(*s.info, IDC_INFO_POSITION), c.position);
    EXPECT_EQ(s.info->states.front().Find(IDC_INFO_IMAGE_LABEL)->visible, !c.position.empty());
  }
}

TEST_F(ImageInfoTest, DetailsAsksTheConverterAndTheDialogStays) {
  std::string plain = Image("plain.ti", {{"hasDetails", 1}, {"compression", 0}});
  Shown s = Show(plain, 0, {{Press(IDC_INFO_DETAILS), Press(IDOK)}});
  EXPECT_EQ(s.result, 1);
  EXPECT_EQ(LinesWith(setup_.CallLog(), "RDShowDetails title='plain.ti'").size(), 1u);

  TestImage failing;
  failing.Set("hasDetails", 1).Set("compression", "RLE").Set("Error.RDShowDetails", 25);
  WriteFileBytes(setup_.dir().path() / "failing.ti", failing.Bytes());
  s = Show(NativePath(setup_.dir().path() / "failing.ti"), 0,
           {{Press(IDC_INFO_DETAILS), Press(IDOK)}, {Answer(IDOK)}});
  EXPECT_EQ(s.result, 1);
  ASSERT_NE(s.info, nullptr);
  EXPECT_EQ(Field(*s.info, IDC_INFO_COMPRESSION), "RLE");
  // The converter words its own code; the Info dialog went on to its OK.
  EXPECT_EQ(MessageTexts(s.windows), (std::vector<std::string>{"ti says error 25 in 'failing.ti'"}));
  EXPECT_EQ(s.info->accepted, (std::vector<bool>{true, true}));
}

TEST_F(ImageInfoTest, FailuresAreReported) {
  std::string unknown = NativePath(setup_.dir().path() / "plain.ti");
  WriteFileBytes(unknown, "not an image");
  struct Case {
    std::string path;
    std::string message;
  } cases[] = {
      {NativePath(setup_.dir().path() / "missing.ti"), "Cannot open file missing.ti"},
      {unknown, "Unknown image file format plain.ti"},
      {Image("none.ti", {{"imageCount", 0}}), "No images found in file none.ti"},
      {Image("count.ti", {{"Error.RDGetImageCount", 4}}), "Invalid Image File count.ti"},
      {Image("info.ti", {{"Error.RDGetImageInfo", 30}}), "ti says error 30 in 'info.ti'"},
      {Image("a.nc"), "Wrong custom DLL version " + SharedLibraryName("nc")},
      {Image("a.ni"), "Wrong custom DLL version " + SharedLibraryName("ni")},
      {Image("a.gn"), "No enough memory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    Shown s = Show(c.path, 0, {{Answer(IDOK)}});
    EXPECT_EQ(s.result, 0);
    EXPECT_EQ(MessageTexts(s.windows), std::vector<std::string>{c.message});
    EXPECT_TRUE(s.windows[0].errorIcon);
    EXPECT_EQ(s.windows[0].caption, "Converter Error");
  }
}

TEST_F(ImageInfoTest, RussianTexts) {
  Shown s = Show(Image("photo.ti", {{"colorType", 3}}), 0, {{Press(IDOK)}});
  ASSERT_NE(s.info, nullptr);
  EXPECT_EQ(s.info->caption, PlatformText("Информация об изображении"));
  EXPECT_EQ(Field(*s.info, IDC_INFO_TYPE), PlatformText("Полноцветный"));
  EXPECT_EQ(Field(*s.info, IDC_INFO_COMPRESSION), PlatformText("Некомпрессированный"));
}

}  // namespace
}  // namespace imexp::test
