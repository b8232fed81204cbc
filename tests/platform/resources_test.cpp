// String resources, message boxes and cursors. The Russian cases run in the
// Russian pass of the suite (LC_ALL=ru_RU.UTF-8), where wine hands out the
// texts in code page 1251 and our layer in UTF-8.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/win32.h"
#include "resource_ids.h"
#include "tests/support/test_support.h"

namespace imexp::test {
namespace {

HINSTANCE Instance() { return static_cast<HINSTANCE>(ResourceInstance()); }

std::string Load(UINT id, int size = 256) {
  char buffer[256];
  int n = LoadStringA(Instance(), id, buffer, size);
  EXPECT_EQ(static_cast<std::size_t>(n), std::strlen(buffer));
  return buffer;
}

struct Text {
  UINT id;
  const char* english;
  const char* russian;
};

const Text kTexts[] = {
    {IDS_ERR_NO_MEMORY, "No enough memory", "Недостаточно памяти"},
    {IDS_ERROR_CAPTION, "Converter Error", "Ошибка конвертера"},
    {IDS_ERR_UNSUPPORTED_SUBFORMAT, "Unsupporter Subformat %s", "Неподдерживаемый подформат файла %s"},
    {IDS_ERR_CANCELLED, "Operation cancelled by user", "Операция остановленна пользователем"},
    {IDS_COLOR_RGB_ALPHA, "RGB with Alpha Channel", "Полнлоцветный с альфа каналом"},
    {IDS_RES_DPCM, "%u X %u dot/cm", "%u X %u точек/cm"},
    {IDS_CONVERT_INI, "CONVERT.INI", "CONVERT.INI"},
    {IDS_RD_READ_BAND, "RDReadBand", "RDReadBand"},
    {IDS_WR_CLEAN_UP, "WRCleanUp", "WRCleanUp"},
    {IDS_KEY_OPEN_FORMAT, "OpenFormat", "OpenFormat"},
};

TEST(ResourcesTest, EnglishStrings) {
  for (const Text& t : kTexts) EXPECT_EQ(Load(t.id), t.english) << t.id;
}

TEST(ResourcesTest, RussianStrings) {
  for (const Text& t : kTexts) EXPECT_EQ(Load(t.id), PlatformText(t.russian)) << t.id;
}

TEST(ResourcesTest, EnglishStringsAreCutToTheBuffer) {
  EXPECT_EQ(Load(IDS_ERR_NO_MEMORY, 4), "No ");
  EXPECT_EQ(Load(IDS_ERR_NO_MEMORY, 17), "No enough memory");
  EXPECT_EQ(Load(IDS_ERR_NO_MEMORY, 16), "No enough memor");
  char buffer[8] = "xxxxxxx";
  EXPECT_EQ(LoadStringA(Instance(), 9999, buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
}

TEST(ResourcesTest, RussianStringsAreCutOnCharacters) {
  std::string full = PlatformText("Недостаточно памяти");
  for (int size : {2, 3, 10, 11, 20}) {
    EXPECT_EQ(Load(IDS_ERR_NO_MEMORY, size), CutToCharacters(full, static_cast<std::size_t>(size - 1)))
        << size;
  }
}

TEST(ResourcesTest, MessageBoxShowsCaptionAndText) {
  MessageBoxCapture capture;
  EXPECT_EQ(MessageBoxA(nullptr, "Cannot open file A.BMP", "Converter Error", MB_OK | MB_ICONERROR), IDOK);
  ASSERT_EQ(capture.boxes().size(), 1u);
  EXPECT_EQ(capture.boxes()[0].caption, "Converter Error");
  EXPECT_EQ(capture.boxes()[0].text, "Cannot open file A.BMP");
  EXPECT_TRUE(capture.boxes()[0].errorIcon);
}

TEST(ResourcesTest, WaitCursorCanBeSetAndRestored) {
  HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
  ASSERT_NE(wait, nullptr);
  HCURSOR previous = SetCursor(wait);
  EXPECT_EQ(SetCursor(previous), wait);
}

}  // namespace
}  // namespace imexp::test
