// Remembered dialog settings in CONVERT.INI.
#include "registry/settings.h"
#include "registry/converter_list.h"
#include "resource_ids.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

namespace imexp::test {
namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { AttachRegistry(static_cast<HINSTANCE>(ResourceInstance()), ini_.c_str()); }
  void TearDown() override { DetachRegistry(); }
  std::string Setting(UINT key) {
    char buffer[256] = "junk";
    ReadSetting(IDS_SECTION_SETTINGS, key, "", buffer, sizeof buffer);
    return buffer;
  }

  TempDir dir_;
  std::string ini_ = dir_.File("CONVERT.INI");
};

TEST_F(SettingsTest, MissingFileOrSectionReadsEmpty) {
  EXPECT_EQ(Setting(IDS_KEY_OPEN_DIR), "");
  WriteFileBytes(ini_, "[Converters]\n0=a\n");
  EXPECT_EQ(Setting(IDS_KEY_OPEN_FORMAT), "");
  char buffer[16];
  EXPECT_EQ(ReadProfileString("Settings", "SaveDir", nullptr, buffer, sizeof buffer), 0u);
  EXPECT_STREQ(buffer, "");
}

TEST_F(SettingsTest, WritingTwiceKeepsOneKeyWithTheLastValue) {
  ASSERT_TRUE(WriteSetting(IDS_SECTION_SETTINGS, IDS_KEY_OPEN_FORMAT, "BMP"));
  ASSERT_TRUE(WriteSetting(IDS_SECTION_SETTINGS, IDS_KEY_OPEN_DIR, "/images"));
  ASSERT_TRUE(WriteSetting(IDS_SECTION_SETTINGS, IDS_KEY_OPEN_FORMAT, "PCX"));
  EXPECT_EQ(ReadFileBytes(ini_), "[Settings]\r\nOpenFormat=PCX\r\nOpenDir=/images\r\n");
  EXPECT_EQ(Setting(IDS_KEY_OPEN_FORMAT), "PCX");
}

TEST_F(SettingsTest, SectionAndKeyNamesComeFromTheStringTable) {
  WriteFileBytes(ini_, "[settings]\nsavedir=C:\\PICS\nsaveformat=TIFF\n");
  EXPECT_EQ(Setting(IDS_KEY_SAVE_DIR), "C:\\PICS");
  EXPECT_EQ(Setting(IDS_KEY_SAVE_FORMAT), "TIFF");
}

TEST_F(SettingsTest, RussianNamesAreTheSame) {
  WriteSetting(IDS_SECTION_SETTINGS, IDS_KEY_OPEN_DIR, "x");
  EXPECT_EQ(ReadFileBytes(ini_), "[Settings]\r\nOpenDir=x\r\n");
}

TEST_F(SettingsTest, ProfileWritesRemoveSectionsAndKeys) {
  WriteProfileString("Converters", "0", "a");
  WriteProfileString("Converters", "1", "b");
  WriteProfileString("Settings", "OpenDir", "d");
  WriteProfileString("Converters", "0", nullptr);
  char keys[64];
  DWORD n = ReadProfileString("Converters", nullptr, nullptr, keys, sizeof keys);
  EXPECT_EQ(std::string(keys, n + 1), std::string("1\0\0", 3));
  WriteProfileString("Converters", nullptr, nullptr);
  EXPECT_EQ(ReadFileBytes(ini_), "[Settings]\r\nOpenDir=d\r\n");
}

}  // namespace
}  // namespace imexp::test
