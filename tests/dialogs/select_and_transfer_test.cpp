// The one-call open and save: nothing reaches the host or the disk when the
// dialog is cancelled, and the converter is chosen again from the file (a
// read) or from the name (a write), not from the type picked in the dialog.
#include "tests/dialogs/manager_dialog_fixture.h"

#include <cstring>

#include "platform/file_names.h"
#include "tests/support/recording_host.h"

namespace imexp::test {
namespace {

// "a" and "b" both read and write *.TI; "a" recognises its files by content,
// "b" takes whatever it is given.
class SelectAndTransferTest : public ManagerDialogTest {
 protected:
  void SetUp() override {
    Install({{"a", "Flags=0x13\nName=a\nDescription=First\nExtensions=*.TI"},
             {"b", "Flags=0x03\nName=b\nDescription=Second\nExtensions=*.TI"}});
  }
  std::vector<std::string> CallsOf(const std::string& copy) const {
    return LinesWith(setup_.CallLog(), copy + " ");
  }
};

TEST_F(SelectAndTransferTest, OpenThenRead) {
  auto selectAndRead = Get<ImExp_SelectFileAndReadFn>("ImExp_SelectFileAndRead");
  std::string photo = Image("photo.ti", {{"width", 2}, {"height", 2}});
  struct Case {
    UiScript script;
    int result;
  } cases[] = {
      {{Press(IDCANCEL)}, 0},
      // The second type chosen; the file read by the first, found again.
      {{PickLine(kTypeList, 1), TypeText(kFileNameBox, photo), Press(IDOK)}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.result);
    setup_.ClearCallLog();
    RecordingImage image;
    RecordingProgress progress(image.log);
    char file[256] = "";
    int result = -1;
    Run({c.script}, [&] { result = selectAndRead(&image, nullptr, file, HIT_RGB24, &progress, nullptr, 0); });
    EXPECT_EQ(result, c.result);
    if (c.result == 0) {
      EXPECT_TRUE(image.ownLog.empty());
      EXPECT_STREQ(file, "");
      continue;
    }
    EXPECT_EQ(FoldCase(file), FoldCase(photo));
    EXPECT_EQ(IniValue("OpenFormat"), "b");
    EXPECT_EQ(LinesWith(CallsOf("a"), "RDReadHeader").size(), 1u);
    EXPECT_TRUE(LinesWith(CallsOf("b"), "RDReadHeader").empty());
    EXPECT_EQ(image.width, 2u);
  }
}

TEST_F(SelectAndTransferTest, SaveThenWrite) {
  auto selectAndWrite = Get<ImExp_SelectFileAndWriteFn>("ImExp_SelectFileAndWrite");
  std::string target = Folder() + std::string(1, platform::kPathSeparator) + "out.ti";
  struct Case {
    UiScript script;
    int result;
  } cases[] = {
      {{Press(IDCANCEL)}, 0},
      // The second format chosen; the first writer that takes the name writes.
      {{PickLine(kTypeList, 1), TypeText(kFileNameBox, target), Press(IDOK)}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.result);
    setup_.ClearCallLog();
    ScriptedWriteImage image;
    image.rows = {std::vector<uint8_t>(HostRowSize(1, HIT_RGB24), 0x40)};
    char file[300] = "";
    int reserved = 77;
    int result = -1;
    Run({c.script}, [&] { result = selectAndWrite(&image, nullptr, file, &reserved, nullptr, nullptr, 0); });
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(fs::exists(target), c.result == 1);
    if (c.result == 0) {
      EXPECT_EQ(reserved, 77);
      EXPECT_EQ(image.ownLog, std::vector<std::string>{"GetImageType"});
      continue;
    }
    EXPECT_EQ(LinesWith(CallsOf("a"), "WRSetupWriting").size(), 1u);
    EXPECT_TRUE(LinesWith(CallsOf("b"), "WRSetupWriting").empty());
  }
}

}  // namespace
}  // namespace imexp::test
