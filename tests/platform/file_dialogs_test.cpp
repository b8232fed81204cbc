// Common-dialog conformance: GetOpenFileNameA and GetSaveFileNameA in the
// form the manager uses them (Explorer style, a hook with a child template,
// the 76-byte record of 32-bit Windows), against our POSIX layer and against
// Win32 under wine: the path, nFileOffset, nFileExtension and nFilterIndex
// they return, the default extension, cancel, a buffer too small, the
// overwrite and file-must-exist questions, CDN_TYPECHANGE and the CDM_*
// answers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "tests/support/test_support.h"
#include "tests/support/ui_driver.h"

namespace imexp::test {
namespace {

constexpr int kFileNameBox = 1152;
constexpr int kTypeList = 1136;
constexpr int kInfo = 15005;

const char kFilters[] = "Bitmaps\0*.BMP\0Tagged images\0*.TIF;*.TIFF\0All Files (*.*)\0*.*\0";

// What the hook saw.
struct HookLog {
  std::vector<std::string> lines;
  const OPENFILENAMEA* initParam = nullptr;
  bool parentHasTheBoxes = false;
  std::string renameTo;  // set as the name box's text on a type change
};
HookLog* hookLog = nullptr;

UINT_PTR CALLBACK Hook(HWND child, UINT message, WPARAM wParam, LPARAM lParam) {
  if (hookLog == nullptr) return 0;
  HWND dialog = GetParent(child);
  if (message == WM_INITDIALOG) {
    hookLog->initParam = reinterpret_cast<const OPENFILENAMEA*>(lParam);
    hookLog->parentHasTheBoxes = GetDlgItem(dialog, IDCANCEL) != nullptr &&
                                 GetDlgItem(dialog, kFileNameBox) != nullptr &&
                                 GetDlgItem(dialog, kTypeList) != nullptr;
  } else if (message == WM_NOTIFY) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->code == static_cast<UINT>(CDN_TYPECHANGE)) {
      const OPENFILENAMEA* ofn = reinterpret_cast<const OFNOTIFYA*>(lParam)->lpOFN;
      char path[260] = "";
      LRESULT length = SendMessageA(dialog, CDM_GETFILEPATH, sizeof path, reinterpret_cast<LPARAM>(path));
      hookLog->lines.push_back("type " + std::to_string(ofn->nFilterIndex) + " " +
                               std::to_string(length > 0) + " " + fs::path(path).filename().string());
      if (!hookLog->renameTo.empty()) {
        SendMessageA(dialog, CDM_SETCONTROLTEXT, kFileNameBox,
                     reinterpret_cast<LPARAM>(hookLog->renameTo.c_str()));
      }
    }
  } else if (message == WM_COMMAND && LOWORD(wParam) == kInfo) {
    hookLog->lines.push_back("info");
  }
  return 0;
}

// A child template with the Info button, as the open dialog's.
const DLGTEMPLATE* ChildTemplate() {
  static const std::vector<WORD> words = [] {
    std::vector<WORD> w;
    auto dword = [&w](DWORD d) {
      w.push_back(static_cast<WORD>(d & 0xFFFF));
      w.push_back(static_cast<WORD>(d >> 16));
    };
    auto text = [&w](const char* t) {
      for (; *t; ++t) w.push_back(static_cast<WORD>(*t));
      w.push_back(0);
    };
    dword(DS_CONTROL | WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | DS_SETFONT);
    dword(0);
    for (WORD v : {WORD{1}, WORD{0}, WORD{0}, WORD{300}, WORD{32}, WORD{0}, WORD{0}, WORD{0}, WORD{8}})
      w.push_back(v);
    text("Helv");
    if (w.size() % 2) w.push_back(0);
    dword(WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON);
    dword(0);
    for (WORD v : {WORD{202}, WORD{7}, WORD{50}, WORD{14}, WORD{kInfo}, WORD{0xFFFF}, WORD{0x80}})
      w.push_back(v);
    text("&Info");
    w.push_back(0);
    return w;
  }();
  return reinterpret_cast<const DLGTEMPLATE*>(words.data());
}

struct FileRun {
  BOOL result = FALSE;
  DWORD error = 0;
  std::string file;
  WORD offset = 0, extension = 0;
  DWORD filterIndex = 0;
  DWORD flags = 0;
  HookLog hook;
  std::vector<UiWindowRecord> windows;
};

struct FileCall {
  bool save = false;
  DWORD flags = 0;
  const char* defaultExtension = nullptr;
  std::string initialName;
  DWORD filterIndex = 1;
  DWORD bufferSize = 256;
  bool child = true;
  std::string renameTo;
};

FileRun RunFileDialog(const FileCall& call, const std::string& folder, std::vector<UiScript> scripts) {
  FileRun run;
  hookLog = &run.hook;
  run.hook.renameTo = call.renameTo;
  char file[256] = "";
  std::memcpy(file, call.initialName.c_str(), call.initialName.size() + 1);
  OPENFILENAMEA ofn{};
  ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  ofn.lpstrFilter = kFilters;
  ofn.nFilterIndex = call.filterIndex;
  ofn.lpstrFile = file;
  ofn.nMaxFile = call.bufferSize;
  ofn.lpstrInitialDir = folder.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_HIDEREADONLY | call.flags;
  if (call.child) {
    ofn.Flags |= OFN_ENABLETEMPLATEHANDLE;
    ofn.hInstance = reinterpret_cast<HINSTANCE>(const_cast<DLGTEMPLATE*>(ChildTemplate()));
  }
  ofn.lpfnHook = &Hook;
  ofn.lpstrDefExt = call.defaultExtension;
  {
    UiDriver driver(std::move(scripts));
    run.result = call.save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
    run.windows = driver.windows();
  }
  run.error = CommDlgExtendedError();
  run.file = file;
  run.offset = ofn.nFileOffset;
  run.extension = ofn.nFileExtension;
  run.filterIndex = ofn.nFilterIndex;
  run.flags = ofn.Flags;
  hookLog = nullptr;
  return run;
}

class FileDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFileBytes(dir_.path() / "a.bmp", "a");
    WriteFileBytes(dir_.path() / "old.bmp", "old");
    folder_ = NativePath(dir_.path());
  }
  std::string In(const std::string& name) const { return FoldCase(dir_.File(name)); }
  TempDir dir_;
  std::string folder_;
};

TEST_F(FileDialogsTest, OpenReturnsThePathAndItsParts) {
  FileRun run = RunFileDialog({}, folder_, {{TypeText(kFileNameBox, "a.bmp"), Press(IDOK)}});
  ASSERT_TRUE(run.result);
  EXPECT_EQ(FoldCase(run.file), In("a.bmp"));
  EXPECT_EQ(run.offset, run.file.size() - 5);
  EXPECT_EQ(run.extension, run.file.size() - 3);
  EXPECT_EQ(run.filterIndex, 1u);
  EXPECT_TRUE(run.hook.parentHasTheBoxes);
  EXPECT_NE(run.hook.initParam, nullptr);
  ASSERT_EQ(run.windows.size(), 1u);
  const UiControl* types = run.windows[0].states[0].Find(kTypeList);
  ASSERT_NE(types, nullptr);
  EXPECT_EQ(types->lines, (std::vector<std::string>{"Bitmaps", "Tagged images", "All Files (*.*)"}));
  EXPECT_EQ(types->selection, 0);
  EXPECT_NE(run.windows[0].states[0].Find(kInfo), nullptr);
}

TEST_F(FileDialogsTest, CancelLeavesTheBufferAsItWas) {
  FileCall call;
  call.initialName = "keep.bmp";
  FileRun run = RunFileDialog(call, folder_, {{TypeText(kFileNameBox, "other.bmp"), Press(IDCANCEL)}});
  EXPECT_FALSE(run.result);
  EXPECT_EQ(run.error, 0u);
  EXPECT_EQ(run.file, "keep.bmp");
}

TEST_F(FileDialogsTest, ABufferTooSmallSaysSo) {
  FileCall call;
  call.bufferSize = 8;
  FileRun run = RunFileDialog(call, folder_, {{TypeText(kFileNameBox, "a.bmp"), Press(IDOK)}});
  EXPECT_FALSE(run.result);
  EXPECT_EQ(run.error, static_cast<DWORD>(FNERR_BUFFERTOOSMALL));
}

TEST_F(FileDialogsTest, DefaultExtensionFollowsTheChosenType) {
  struct Case {
    int typeLine;
    const char* typed;
    const char* expected;
    bool extensionDifferent;
  } cases[] = {
      {1, "name", "name.TIF", false},
      {0, "name", "name.BMP", true},
      {2, "name", "name.TIF", false},
      // Win32 documents the flag for a typed extension other than the
      // default one; wine sets it only for an extension it appends.
      {0, "name.jpg", "name.jpg", !IsWine()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed + std::string(" with type ") + std::to_string(c.typeLine));
    FileCall call;
    call.save = true;
    call.defaultExtension = "TIF";
    FileRun run = RunFileDialog(
        call, folder_, {{PickLine(kTypeList, c.typeLine), TypeText(kFileNameBox, c.typed), Press(IDOK)}});
    ASSERT_TRUE(run.result);
    EXPECT_EQ(FoldCase(run.file), In(c.expected));
    EXPECT_EQ((run.flags & OFN_EXTENSIONDIFFERENT) != 0, c.extensionDifferent);
    EXPECT_EQ(run.filterIndex, static_cast<DWORD>(c.typeLine + 1));
  }
}

TEST_F(FileDialogsTest, OverwriteIsAskedAndNoKeepsTheDialog) {
  FileCall call;
  call.save = true;
  call.flags = OFN_OVERWRITEPROMPT;
  FileRun no = RunFileDialog(
      call, folder_, {{TypeText(kFileNameBox, "old.bmp"), Press(IDOK), Press(IDCANCEL)}, {Answer(IDNO)}});
  EXPECT_FALSE(no.result);
  ASSERT_EQ(no.windows.size(), 2u);
  EXPECT_TRUE(no.windows[1].messageBox);
  // Wine's wording; Windows names the file in it.
  EXPECT_EQ(no.windows[1].text, "File already exists.\nDo you want to replace it?");
  EXPECT_EQ(no.windows[1].caption, "Error");  // the box gets no caption of its own
  EXPECT_TRUE(no.windows[1].warningIcon);
  EXPECT_EQ(no.windows[0].accepted, (std::vector<bool>{true, true, true}));

  FileRun yes =
      RunFileDialog(call, folder_, {{TypeText(kFileNameBox, "old.bmp"), Press(IDOK)}, {Answer(IDYES)}});
  EXPECT_TRUE(yes.result);
  EXPECT_EQ(FoldCase(yes.file), In("old.bmp"));
}

TEST_F(FileDialogsTest, AFileThatMustExistIsChecked) {
  FileCall call;
  call.flags = OFN_FILEMUSTEXIST;
  FileRun run = RunFileDialog(call, folder_,
                              {{TypeText(kFileNameBox, "missing.bmp"), Press(IDOK), Press(IDCANCEL)}, {}});
  EXPECT_FALSE(run.result);
  ASSERT_EQ(run.windows.size(), 2u);
  EXPECT_TRUE(run.windows[1].messageBox);
  EXPECT_EQ(run.windows[1].text, "File does not exist");  // Wine's wording
  EXPECT_EQ(run.windows[1].caption, "");
  EXPECT_TRUE(run.windows[1].errorIcon);
}

TEST_F(FileDialogsTest, TypeChangesReachTheHookWhichCanRenameTheFile) {
  FileCall call;
  call.save = true;
  call.renameTo = "renamed";
  FileRun run = RunFileDialog(
      call, folder_,
      {{TypeText(kFileNameBox, "pic.bmp"), PickLine(kTypeList, 1), Press(kInfo), Press(IDCANCEL)}});
  EXPECT_FALSE(run.result);
  EXPECT_EQ(run.hook.lines, (std::vector<std::string>{"type 2 1 pic.bmp", "info"}));
  ASSERT_EQ(run.windows.size(), 1u);
  ASSERT_GE(run.windows[0].states.size(), 3u);
  EXPECT_EQ(run.windows[0].states[2].Find(kFileNameBox)->text, "renamed");
}

}  // namespace
}  // namespace imexp::test
