// The save dialog through ImExp_SelectFileToWrite: the formats listed for
// each host image type and the one preselected, the extension a name gets,
// the type-change hook, SaveDir written only after a choice, and failures.
#include "tests/dialogs/manager_dialog_fixture.h"

#include <cstring>

#include "platform/file_names.h"
#include "resource_ids.h"

namespace imexp::test {
namespace {

class SaveDialogTest : public ManagerDialogTest {
 protected:
  // Writers of grey 4-bit only ("ga"), of RGB ("tf", two patterns) and of
  // everything ("bm"), and a reader ("rd").
  void SetUp() override {
    Install({{"ga", "Flags=0x02\nName=ga\nDescription=Grey\nExtensions=*.GA\nWriteFormats=0x004"},
             {"tf", "Flags=0x03\nName=tf\nDescription=Tagged\nExtensions=*.TIF;*.TIFF\nWriteFormats=0x080"},
             {"rd", "Flags=0x01\nName=rd\nDescription=Reader\nExtensions=*.RD"},
             {"bm", "Flags=0x02\nName=bm\nDescription=Bitmaps\nExtensions=*.BMP\nWriteFormats=0x3FF"}});
    list_ = ReadFileBytes(setup_.IniPath());
  }
  void Settings(const std::string& settings) { setup_.WriteIni(list_ + "[Settings]\n" + settings + "\n"); }

  struct Saved {
    int result = 0;
    std::string path;
    std::vector<UiWindowRecord> windows;
  };
  Saved Save(int type, const std::string& name, std::vector<UiScript> scripts) {
    Saved s;
    auto select = Get<ImExp_SelectFileToWriteFn>("ImExp_SelectFileToWrite");
    char buffer[300] = "";
    std::memset(buffer, '#', sizeof buffer);
    std::strcpy(buffer, name.c_str());
    s.windows = Run(std::move(scripts), [&] { s.result = select(nullptr, type, buffer); });
    s.path = buffer;
    // Nothing past the 256 bytes the caller is known to have.
    EXPECT_EQ(std::string(buffer + 256, 44), std::string(44, '#'));
    return s;
  }
  std::string In(const std::string& name) const {
    return FoldCase(Folder() + std::string(1, platform::kPathSeparator) + name);
  }
  std::string list_;
};

TEST_F(SaveDialogTest, FormatsForEachImageType) {
  struct Case {
    int type;
    std::vector<std::string> lines;
  } cases[] = {
      {HIT_GRAY256, {"Tagged", "Bitmaps"}}, {HIT_PAL256, {"Tagged", "Bitmaps"}},
      {HIT_RGB24, {"Tagged", "Bitmaps"}},   {HIT_BILEVEL, {"Grey", "Tagged", "Bitmaps"}},
      {HIT_PAL16, {"Tagged", "Bitmaps"}},   {3, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    Saved s = Save(c.type, "", {{Press(IDCANCEL)}});
    EXPECT_EQ(s.result, 0);
    ASSERT_EQ(s.windows.size(), c.lines.empty() ? 0u : 1u);  // type 3: no dialog and no message
    if (!c.lines.empty()) EXPECT_EQ(s.windows[0].states[0].Find(kTypeList)->lines, c.lines);
  }
  EXPECT_EQ(IniValue("SaveDir"), "-");
}

TEST_F(SaveDialogTest, PreselectionByNameThenBySaveFormat) {
  struct Case {
    std::string name, saveFormat;
    int line;
  } cases[] = {
      {"SCAN.BMP", "tf", 1}, {"SCAN", "bm", 1}, {"SCAN", "", 0}, {"x.tif", "bm", 0}, {"SCAN", "ga", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + " " + c.saveFormat);
    Settings("SaveFormat=" + c.saveFormat);
    Saved s = Save(HIT_RGB24, c.name, {{Press(IDCANCEL)}});
    ASSERT_EQ(s.windows.size(), 1u);
    EXPECT_EQ(s.windows[0].states[0].Find(kTypeList)->selection, c.line);
    EXPECT_EQ(s.path, c.name);
  }
}

TEST_F(SaveDialogTest, TheNameGetsTheChosenFormatsExtension) {
  struct Case {
    int line;
    std::string typed, saved;
  } cases[] = {
      {0, "NAME", "NAME.TIF"},
      {1, "NAME", "NAME.BMP"},
      {1, "NAME.JPG", "NAME.JPG"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    Settings("SaveFormat=rd");
    Saved s = Save(HIT_RGB24, "",
                   {{PickLine(kTypeList, c.line),
                     TypeText(kFileNameBox, Folder() + std::string(1, platform::kPathSeparator) + c.typed),
                     Press(IDOK)}});
    EXPECT_NE(s.result, 0);
    EXPECT_EQ(FoldCase(s.path), In(c.saved));
    EXPECT_EQ(FoldCase(IniValue("SaveDir")), FoldCase(Folder()));
    EXPECT_EQ(IniValue("SaveFormat"), "rd");  // read, never written
  }
}

TEST_F(SaveDialogTest, ChangingTheTypeDropsTheNamesFolderAndExtension) {
  std::string typed = Folder() + std::string(1, platform::kPathSeparator) + "A.BMP";
  Saved s = Save(HIT_RGB24, "", {{TypeText(kFileNameBox, typed), PickLine(kTypeList, 1), Press(IDCANCEL)}});
  EXPECT_EQ(s.result, 0);
  ASSERT_EQ(s.windows.size(), 1u);
  EXPECT_EQ(s.windows[0].states.at(2).Find(kFileNameBox)->text, "A");
  EXPECT_EQ(IniValue("SaveDir"), "-");
}

class SaveWithoutFormatsTest : public ManagerDialogTest {};

TEST_F(SaveWithoutFormatsTest, NoConverterWritesTheImage) {
  Install({{"ga", "Flags=0x02\nExtensions=*.GA\nWriteFormats=0x004"}});
  auto select = Get<ImExp_SelectFileToWriteFn>("ImExp_SelectFileToWrite");
  char buffer[256] = "x.ga";
  int result = 1;
  auto windows = Run({{Answer(IDOK)}}, [&] { result = select(nullptr, HIT_RGB24, buffer); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(MessageTexts(windows), std::vector<std::string>{"No Suitable Formats for Save"});
}

}  // namespace
}  // namespace imexp::test
