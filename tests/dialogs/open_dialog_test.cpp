// The open dialog through ImExp_SelectFileToRead: its file types and the
// one preselected, the checks after the choice and the settings written
// only after a successful one, the Info button, and its failures.
#include "tests/dialogs/manager_dialog_fixture.h"

#include <cstring>

#include "platform/file_names.h"
#include "resource_ids.h"

namespace imexp::test {
namespace {

constexpr int kInfo = IDC_OPEN_INFO;

class OpenDialogTest : public ManagerDialogTest {
 protected:
  // "wt" writes *.TIF only; "tf" reads *.TIF;*.TIFF and checks content;
  // "bm" reads *.BMP and reads any file it is given.
  void InstallThree() {
    Install({{"wt", "Flags=0x02\nName=wt\nDescription=Writer\nExtensions=*.TIF"},
             {"tf", "Flags=0x13\nName=tf\nDescription=Tagged\nExtensions=*.TIF;*.TIFF"},
             {"bm", "Flags=0x01\nName=bm\nDescription=Bitmaps\nExtensions=*.BMP"}});
    list_ = ReadFileBytes(setup_.IniPath());
  }
  // CONVERT.INI as installed, with `settings` lines in section Settings.
  void Settings(const std::string& settings) { setup_.WriteIni(list_ + "[Settings]\n" + settings + "\n"); }

  struct Opened {
    int result = 0;
    std::string path;
    std::vector<UiWindowRecord> windows;
  };
  Opened Open(const std::string& name, std::vector<UiScript> scripts) {
    Opened o;
    auto select = Get<ImExp_SelectFileToReadFn>("ImExp_SelectFileToRead");
    char buffer[256] = "";
    std::strcpy(buffer, name.c_str());
    o.windows = Run(std::move(scripts), [&] { o.result = select(nullptr, buffer); });
    o.path = buffer;
    for (const char* copy : {"wt", "tf", "bm"}) {
      EXPECT_FALSE(IsLibraryLoaded(setup_.dir().path() / SharedLibraryName(copy)));
    }
    return o;
  }
  static UiScript Choose(int typeLine, const std::string& file) {
    return {PickLine(kTypeList, typeLine), TypeText(kFileNameBox, file), Press(IDOK)};
  }
  std::string list_;
};

TEST_F(OpenDialogTest, ReadersAreListedAndOnePreselected) {
  struct Case {
    std::string name, openFormat;
    int line;
  } cases[] = {
      {"PHOTO.TIF", "", 0}, {"x.bmp", "", 1},       {"", "", 0}, {"", "bm", 1}, {"", "wt", 0},
      {"", "zz", 0},        {"PHOTO.TIF", "bm", 0},
  };
  InstallThree();
  for (const Case& c : cases) {
    SCOPED_TRACE("'" + c.name + "' with OpenFormat '" + c.openFormat + "'");
    Settings(c.openFormat.empty() ? "" : "OpenFormat=" + c.openFormat);
    Opened o = Open(c.name, {{Press(IDCANCEL)}});
    EXPECT_EQ(o.result, 0);
    EXPECT_EQ(o.path, c.name);
    ASSERT_EQ(o.windows.size(), 1u);
    const UiControl* types = o.windows[0].states[0].Find(kTypeList);
    ASSERT_NE(types, nullptr);
    EXPECT_EQ(types->lines, (std::vector<std::string>{"Tagged", "Bitmaps", "All Files (*.*)"}));
    EXPECT_EQ(types->selection, c.line);
    EXPECT_EQ(IniValue("OpenDir"), "-");  // a cancelled dialog writes nothing
  }
}

TEST_F(OpenDialogTest, TheChosenFileMustBeReadable) {
  InstallThree();
  std::string magic = Image("scan.xyz");
  std::string plain = NativePath(setup_.dir().path() / "plain.tif");
  WriteFileBytes(plain, "no test image");
  struct Case {
    int typeLine;
    std::string file;
    std::string reader;   // OpenFormat written; "-" for none
    std::string message;  // "" for none
  } cases[] = {
      {2, magic, "tf", ""},                                    // recognised by content
      {1, plain, "bm", ""},                                    // the chosen type's reader takes any file
      {0, plain, "-", "Unknown image file format plain.tif"},  // refused, and no other reader may try
      {2, NativePath(setup_.dir().path() / "missing.tif"), "-", "Cannot open file missing.tif"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file + " as type " + std::to_string(c.typeLine));
    Settings("");
    Opened o = Open("", {Choose(c.typeLine, c.file), {Answer(IDOK)}});
    EXPECT_EQ(o.result, c.message.empty() ? 1 : 0);
    EXPECT_EQ(MessageTexts(o.windows),
              c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message});
    EXPECT_EQ(IniValue("OpenFormat"), c.reader);
    if (c.message.empty()) {
      EXPECT_EQ(FoldCase(o.path), FoldCase(c.file));
      EXPECT_EQ(FoldCase(IniValue("OpenDir")), FoldCase(Folder()));
    }
  }
}

TEST_F(OpenDialogTest, InfoShowsTheFileUnderTheCursorOrNothing) {
  InstallThree();
  Image("photo.tif");
  Settings("OpenDir=" + Folder());
  struct Case {
    std::string box;
    bool info;
  } cases[] = {
      {"*.BMP", false},
      {"", false},
      {Folder() + std::string(1, platform::kPathSeparator), false},
      {"photo.tif", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.box);
    std::vector<UiScript> scripts{{TypeText(kFileNameBox, c.box), Press(kInfo), Press(IDCANCEL)}};
    if (c.info) scripts.push_back({Press(IDOK)});
    Opened o = Open("", scripts);
    EXPECT_EQ(o.result, 0);
    ASSERT_EQ(o.windows.size(), scripts.size());
    if (c.info) {
      ASSERT_EQ(o.windows[1].caption, "Image Info") << o.windows[1].text;
      // The title in capitals, the file found as chosen.
      EXPECT_EQ(o.windows[1].states[0].Find(IDC_INFO_TITLE)->text, "PHOTO.TIF");
    }
    EXPECT_EQ(o.windows[0].accepted, (std::vector<bool>{true, true, true}));
  }
}

TEST_F(OpenDialogTest, InfoButtonTakesTheCancelButtonsPlaceAndSize) {
  InstallThree();
  Opened o = Open("", {{Press(IDCANCEL)}});
  ASSERT_EQ(o.windows.size(), 1u);
  const UiControl* info = o.windows[0].states[0].Find(kInfo);
  const UiControl* cancel = o.windows[0].states[0].Find(IDCANCEL);
  ASSERT_NE(info, nullptr);
  ASSERT_NE(cancel, nullptr);
  EXPECT_EQ(info->x, cancel->x);
  EXPECT_EQ(info->width, cancel->width);
  EXPECT_EQ(info->height, cancel->height);
  EXPECT_GT(info->y, cancel->y);
}

TEST_F(OpenDialogTest, FailuresBeforeAndAfterTheDialog) {
  InstallThree();
  // A path of 257 characters does not fit the dialog's 256 bytes (but
  // stays within what the platform's dialog takes): refused with a message.
  std::string folder = Folder() + std::string(1, platform::kPathSeparator);
  std::string longName = folder + std::string(257 - folder.size() - 4, 'n') + ".tif";
  Opened o = Open("", {Choose(0, longName), {Answer(IDOK)}});
  EXPECT_EQ(o.result, 0);
  EXPECT_EQ(MessageTexts(o.windows), std::vector<std::string>{"Path too long "});
  EXPECT_EQ(IniValue("OpenDir"), "-");
}

TEST_F(OpenDialogTest, NoConverterInstalled) {
  Install({});
  Opened o = Open("", {{Answer(IDOK)}});
  EXPECT_EQ(o.result, 0);
  EXPECT_EQ(MessageTexts(o.windows), std::vector<std::string>{"Converters configured inproperly"});
}

TEST_F(OpenDialogTest, RussianTexts) {
  InstallThree();
  Opened o = Open("", {{Press(IDCANCEL)}});
  ASSERT_EQ(o.windows.size(), 1u);
  EXPECT_EQ(o.windows[0].states[0].Find(kTypeList)->lines.back(), PlatformText("Все файлы (*.*)"));
  EXPECT_EQ(o.windows[0].states[0].Find(kInfo)->text, PlatformText("&О файле..."));
}

TEST(ChosenFileFolderTest, TheFolderBeforeTheFileName) {
  struct Case {
    const char* path;
    const char* folder;
  } cases[] = {
#ifdef _WIN32
      {"C:\\IMAGES\\A.BMP", "C:\\IMAGES"},
      {"C:\\A.BMP", "C:"},
#else
      {"/images/a.bmp", "/images"},
      {"/a.bmp", "/"},
#endif
  };
  for (const Case& c : cases) {
    char folder[256];
    platform::FolderOfChosenFile(c.path, static_cast<int>(std::strlen(c.path) - 5), folder, sizeof folder);
    EXPECT_STREQ(folder, c.folder);
  }
}

}  // namespace
}  // namespace imexp::test
