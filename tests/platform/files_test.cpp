// File conformance: _l* functions, OpenFile modes, moves and file titles.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/files.h"
#include "platform/win32.h"
#include "tests/support/test_support.h"

namespace imexp::test {
namespace {

TEST(FilesTest, LowLevelReadWriteSeek) {
  TempDir dir;
  std::string path = dir.File("data.bin");
  OFSTRUCT ofs{};
  HFILE file = OpenFile(path.c_str(), &ofs, OF_CREATE | OF_WRITE);
  ASSERT_NE(file, HFILE_ERROR);
  EXPECT_EQ(_lwrite(file, "abcdef", 6), 6u);
  EXPECT_EQ(_llseek(file, 2, FILE_BEGIN), 2);
  EXPECT_EQ(_lwrite(file, "", 0), 0u);  // writing nothing ends the file here
  EXPECT_EQ(_lclose(file), 0);
  EXPECT_EQ(ReadFileBytes(path), "ab");

  file = _lopen(path.c_str(), OF_READ);
  ASSERT_NE(file, HFILE_ERROR);
  char buffer[8] = {};
  EXPECT_EQ(_lread(file, buffer, sizeof buffer), 2u);
  EXPECT_EQ(_lread(file, buffer, sizeof buffer), 0u);  // at the end
  EXPECT_EQ(_llseek(file, -1, FILE_END), 1);
  EXPECT_EQ(_lread(file, buffer, 1), 1u);
  EXPECT_EQ(buffer[0], 'b');
  EXPECT_EQ(_lclose(file), 0);
}

TEST(FilesTest, OpenFailsForMissingFilesAndFolders) {
  TempDir dir;
  EXPECT_EQ(_lopen(dir.File("missing.bmp").c_str(), OF_READ), HFILE_ERROR);
  EXPECT_EQ(_lopen(NativePath(dir.path()).c_str(), OF_READ), HFILE_ERROR);
  OFSTRUCT ofs{};
  EXPECT_EQ(OpenFile(NativePath(dir.path()).c_str(), &ofs, OF_EXIST), HFILE_ERROR);
}

TEST(FilesTest, OpenFileModes) {
  TempDir dir;
  std::string path = dir.File("~cv00000.tmp");
  OFSTRUCT ofs{};
  EXPECT_EQ(OpenFile(path.c_str(), &ofs, OF_EXIST), HFILE_ERROR);
  EXPECT_NE(ofs.nErrCode, 0);

  HFILE file = OpenFile(path.c_str(), &ofs, OF_CREATE | OF_WRITE);
  ASSERT_NE(file, HFILE_ERROR);
  EXPECT_EQ(_lwrite(file, "x", 1), 1u);
  _lclose(file);
  EXPECT_STREQ(ofs.szPathName, path.c_str());  // the full path is kept

  OFSTRUCT probe{};
  EXPECT_EQ(OpenFile(path.c_str(), &probe, OF_EXIST), TRUE);
  EXPECT_STREQ(probe.szPathName, path.c_str());

  // Creating again truncates.
  file = OpenFile(path.c_str(), &probe, OF_CREATE | OF_WRITE);
  ASSERT_NE(file, HFILE_ERROR);
  _lclose(file);
  EXPECT_EQ(ReadFileBytes(path), "");

  // Reopen-and-delete works from the remembered path.
  EXPECT_EQ(OpenFile(nullptr, &ofs, OF_REOPEN | OF_DELETE), TRUE);
  EXPECT_FALSE(fs::exists(path));
  EXPECT_EQ(OpenFile(path.c_str(), &probe, OF_DELETE), HFILE_ERROR);
}

TEST(FilesTest, OpenFileRefusesPathsOverItsBuffer) {
  TempDir dir;
  std::string base = NativePath(dir.path()) + static_cast<char>(fs::path::preferred_separator);
  std::string fits = base + std::string(127 - base.size(), 'f');
  std::string tooLong = fits + "g";
  OFSTRUCT ofs{};
  HFILE file = OpenFile(fits.c_str(), &ofs, OF_CREATE | OF_WRITE);
  EXPECT_NE(file, HFILE_ERROR);
  if (file != HFILE_ERROR) _lclose(file);
  EXPECT_EQ(OpenFile(tooLong.c_str(), &ofs, OF_CREATE | OF_WRITE), HFILE_ERROR);
  EXPECT_FALSE(fs::exists(tooLong));
}

TEST(FilesTest, MoveFileNeverReplacesButMoveFileExCan) {
  TempDir dir;
  std::string from = dir.File("~cv00000.tmp");
  std::string to = dir.File("target.bmp");
  // The write-through move is the one that puts a saved file in place.
  for (DWORD flags :
       {DWORD{MOVEFILE_REPLACE_EXISTING}, DWORD{MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH}}) {
    SCOPED_TRACE(flags);
    WriteFileBytes(from, "new");
    WriteFileBytes(to, "old");
    EXPECT_FALSE(MoveFileA(from.c_str(), to.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(ReadFileBytes(to), "old");
    EXPECT_EQ(ReadFileBytes(from), "new");
    EXPECT_TRUE(MoveFileExA(from.c_str(), to.c_str(), flags));
    EXPECT_EQ(ReadFileBytes(to), "new");
    EXPECT_FALSE(fs::exists(from));
    EXPECT_FALSE(MoveFileExA(from.c_str(), to.c_str(), flags));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  }

  std::string other = dir.File("other.bmp");
  EXPECT_TRUE(MoveFileA(to.c_str(), other.c_str()));
  EXPECT_EQ(ReadFileBytes(other), "new");
  EXPECT_FALSE(MoveFileA(to.c_str(), other.c_str()));  // source gone
}

TEST(FilesTest, CreateFileDispositions) {
  // "old" exists, "new.tmp" does not; "folder" is a directory.
  struct Case {
    const char* name;
    DWORD disposition;
    bool opens;
    DWORD error;        // when it does not
    const char* after;  // the file's bytes after "x" is written through the handle
  } cases[] = {
      {"new.tmp", CREATE_NEW, true, 0, "x"},
      {"old", CREATE_NEW, false, ERROR_FILE_EXISTS, "old"},
      {"folder", CREATE_NEW, false, ERROR_FILE_EXISTS, nullptr},
      {"old", CREATE_ALWAYS, true, 0, "x"},
      {"old", OPEN_EXISTING, true, 0, "xld"},
      {"new.tmp", OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND, nullptr},
      {"old", TRUNCATE_EXISTING, true, 0, "x"},
      {"new.tmp", OPEN_ALWAYS, true, 0, "x"},
      {"folder", OPEN_EXISTING, false, ERROR_ACCESS_DENIED, nullptr},
  };
  for (const Case& c : cases) {
    TempDir dir;
    WriteFileBytes(dir.path() / "old", "old");
    fs::create_directory(dir.path() / "folder");
    std::string path = dir.File(c.name);
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, c.disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    SCOPED_TRACE(std::string(c.name) + " disposition " + std::to_string(c.disposition));
    ASSERT_EQ(handle != INVALID_HANDLE_VALUE, c.opens);
    if (!c.opens) {
      EXPECT_EQ(GetLastError(), c.error);
    } else {
      // The handle is usable as an HFILE: what the core hands converters.
      HFILE file = platform::FileFromHandle(handle);
      EXPECT_EQ(_lwrite(file, "x", 1), 1u);
      EXPECT_TRUE(FlushFileBuffers(handle));
      EXPECT_EQ(_lclose(file), 0);
    }
    if (c.after != nullptr) EXPECT_EQ(ReadFileBytes(path), c.after);
  }
}

TEST(FilesTest, ParseGivesTheFullPathOfAFileThatNeedNotExist) {
  TempDir dir;
  std::string path = dir.File("~cv00007.tmp");
  OFSTRUCT ofs{};
  EXPECT_EQ(OpenFile(path.c_str(), &ofs, OF_PARSE), 0);
  EXPECT_EQ(FoldCase(ofs.szPathName), FoldCase(path));
  EXPECT_FALSE(fs::exists(path));
}

TEST(FilesTest, FileTitleNeedsRoomForTheWholeName) {
  std::string name39(39, 'n');
  std::string name40(40, 'n');
  struct Case {
    std::string path;
    short result;
    std::string title;
  } cases[] = {
      {"C:\\IMAGES\\A.BMP", 0, "A.BMP"},
      {"dir/sub/photo.pcx", 0, "photo.pcx"},
      {"C:NAME.TIF", 0, "NAME.TIF"},
      {"plain.bmp", 0, "plain.bmp"},
      {"C:\\dir\\" + name39, 0, name39},
      {"C:\\dir\\" + name40, 41, ""},  // does not fit 40 bytes with its zero
      {"C:\\dir\\", -1, ""},
      {"C:\\dir\\*.bmp", -1, ""},
      {"", -1, ""},
  };
  for (const Case& c : cases) {
    char title[40];
    std::strcpy(title, "");
    EXPECT_EQ(GetFileTitleA(c.path.c_str(), title, sizeof title), c.result) << c.path;
    if (c.result == 0) {
      EXPECT_EQ(std::string(title), c.title) << c.path;
    }
  }
}

}  // namespace
}  // namespace imexp::test
