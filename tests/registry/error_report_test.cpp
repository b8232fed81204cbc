// The messages of every error code, in English and Russian, with and without
// a file title and with a converter that words its own codes.
#include "registry/error_report.h"
#include "registry/converter_list.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

namespace imexp::test {
namespace {

struct Message {
  int code;
  const char* english;
  const char* russian;
};

// "%s" stands for the file title.
const Message kMessages[] = {
    {1, "Unexpected end of file %s", "Неожиданный конец файла %s"},
    {2, "No enough memory", "Недостаточно памяти"},
    {3, "Unknown image file format %s", "Неизвестный формат файла %s"},
    {4, "Invalid Image File %s", "Некорректный файл %s"},
    {5, "Unsupporter Subformat %s", "Неподдерживаемый подформат файла %s"},
    {6, "Cannot open file %s", "Невозможно открыть файл %s"},
    {7, "No images found in file %s", "Нет изображений в файле %s"},
    {8, "Wrong Image Number %s", "Неверный номер изображения %s"},
    {9, "File too big %s", "Файл слишком велик %s"},
    {10, "Converter in use by other program", "Конвертер занят другой программой"},
    {11, "Illegal conversion requested", "Недоступное преобразование байт"},
    {13, "Disk full writing %s", "Нет места на диске для %s"},
    {14, "Decompressor Error %s", "Ошибка декомпрессии в %s"},
    {15, "General Conversion Error", "Глобальная ошибка конвертера"},
    {16, "Custom Converter Error", "Внутренняя ошибка конвертера"},
    {17, "Converters configured inproperly", "Неправильная конфигурация конвертеров"},
    {18, "Wrong custom DLL version %s", "Неправильная версия %s"},
    {19, "WA Failure", "Ошибка WA"},
    {20, "No Suitable Formats for Save", "Нет подходящего формата для сохранения"},
    {25, "General Conversion Error", "Глобальная ошибка конвертера"},
    {-3, "General Conversion Error", "Глобальная ошибка конвертера"},
};

std::string Expected(const char* format, const std::string& title) {
  std::string text = format;
  std::size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, title);
  return text;
}

class ErrorReportTest : public ::testing::Test {
 protected:
  void SetUp() override { AttachRegistry(static_cast<HINSTANCE>(ResourceInstance()), ""); }
  void TearDown() override { DetachRegistry(); }

  // The one box shown for `code`; fails the test when there is not exactly one.
  MessageBoxRecord Show(int code, const char* path, HMODULE library = nullptr) {
    capture_.Clear();
    ReportError(nullptr, code, path, library);
    EXPECT_EQ(capture_.boxes().size(), 1u) << "code " << code;
    return capture_.boxes().empty() ? MessageBoxRecord{} : capture_.boxes()[0];
  }

  void CheckAll(bool russian) {
    std::string sep(1, platform::kPathSeparator);
    std::string path = "images" + sep + "PHOTO.BMP";
    for (const Message& m : kMessages) {
      const char* format = russian ? m.russian : m.english;
      MessageBoxRecord withTitle = Show(m.code, path.c_str());
      EXPECT_EQ(withTitle.text, PlatformText(Expected(format, "PHOTO.BMP"))) << m.code;
      EXPECT_EQ(withTitle.caption, PlatformText(russian ? "Ошибка конвертера" : "Converter Error"));
      EXPECT_TRUE(withTitle.errorIcon) << m.code;
      EXPECT_EQ(Show(m.code, nullptr).text, PlatformText(Expected(format, ""))) << m.code;
    }
  }

  MessageBoxCapture capture_;
};

TEST_F(ErrorReportTest, EveryCodeInEnglish) { CheckAll(false); }

TEST_F(ErrorReportTest, EveryCodeInRussian) { CheckAll(true); }

TEST_F(ErrorReportTest, SuccessAndCancellationShowNothing) {
  ReportError(nullptr, 0, "A.BMP", nullptr);
  ReportError(nullptr, 12, "A.BMP", nullptr);
  EXPECT_TRUE(capture_.boxes().empty());
}

TEST_F(ErrorReportTest, TitleMustFitFortyBytes) {
  std::string sep(1, platform::kPathSeparator);
  std::string fits(39, 'f');
  std::string tooLong(40, 't');
  EXPECT_EQ(Show(6, ("dir" + sep + fits).c_str()).text, "Cannot open file " + fits);
  EXPECT_EQ(Show(6, ("dir" + sep + tooLong).c_str()).text, "Cannot open file ");
  EXPECT_EQ(Show(6, ("dir" + sep).c_str()).text, "Cannot open file ");
}

TEST_F(ErrorReportTest, WrongVersionNamesTheLibrary) {
  std::string library = NativePath(ExecutableDir() / SharedLibraryName("imexp_test_converter"));
  EXPECT_EQ(Show(18, library.c_str()).text,
            "Wrong custom DLL version " + SharedLibraryName("imexp_test_converter"));
}

class ConverterWordingTest : public ErrorReportTest {
 protected:
  void SetUp() override {
    ErrorReportTest::SetUp();
    worded_ = setup_.InstallConverter("imexp_test_converter", "worded");
    mute_ = setup_.InstallConverter("imexp_test_converter_no_ConvGetErrorString", "mute");
    loud_ = setup_.InstallConverter("imexp_test_converter", "loud");
    setup_.WriteIni("[loud]\nUnterminated=1\n");
  }
  HMODULE Load(const std::string& copy) { return LoadLibraryA(setup_.dir().File(copy).c_str()); }

  ManagerSetup setup_;
  std::string worded_, mute_, loud_;
};

TEST_F(ConverterWordingTest, OwnCodesComeFromTheLoadedConverter) {
  HMODULE worded = Load(worded_);
  HMODULE mute = Load(mute_);
  ASSERT_NE(worded, nullptr);
  ASSERT_NE(mute, nullptr);
  EXPECT_EQ(Show(25, "PHOTO.BMP", worded).text, "worded says error 25 in 'PHOTO.BMP'");
  EXPECT_EQ(Show(16, nullptr, worded).text, "worded says error 16 in ''");
  EXPECT_EQ(Show(15, "PHOTO.BMP", worded).text, "General Conversion Error");  // below 16: the table
  EXPECT_EQ(Show(18, "PHOTO.BMP", worded).text, "worded says error 18 in 'PHOTO.BMP'");
  EXPECT_EQ(Show(25, "PHOTO.BMP", mute).text, "General Conversion Error");
  EXPECT_EQ(Show(16, "PHOTO.BMP", mute).text, "Custom Converter Error");
  EXPECT_EQ(Show(25, "PHOTO.BMP", nullptr).text, "General Conversion Error");
  FreeLibrary(worded);
  FreeLibrary(mute);
}

TEST_F(ConverterWordingTest, UnterminatedConverterTextIsCut) {
  AttachRegistry(static_cast<HINSTANCE>(ResourceInstance()), setup_.IniPath().c_str());
  HMODULE loud = Load(loud_);
  ASSERT_NE(loud, nullptr);
  EXPECT_EQ(Show(30, "PHOTO.BMP", loud).text, std::string(255, 'E'));
  FreeLibrary(loud);
}

}  // namespace
}  // namespace imexp::test
