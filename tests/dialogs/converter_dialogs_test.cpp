// The bundled converters' own Setup and About dialogs, opened from the
// Converter Setup dialog of a manager copy that lists the real converter
// libraries: what each shows, what OK and Cancel leave in CONVERT.INI, how a
// bad value is refused, and that the next file written follows the setting.
#include <gtest/gtest.h>

#include <imexp/host.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "resource_ids.h"
#include "tests/support/converter_driver.h"
#include "tests/support/test_support.h"
#include "tests/support/ui_driver.h"

namespace imexp::test {
namespace {

// The controls of the bundled converters' setup dialogs (the same IDs in
// each converter's resources).
constexpr int kNumberBox = 101;
constexpr int kLosslessBox = 102;
constexpr int kCompressionList = 103;
constexpr int kBackgroundBox = 104;

class ConverterDialogsTest : public ::testing::Test {
 protected:
  // A manager copy whose list holds `format`'s bundled converter alone.
  // False when that converter is not built here.
  bool Start(const std::string& format) {
    setup_ = std::make_unique<ManagerSetup>();
    if (!ConverterDriver("imexp_" + format).loaded()) return false;
    std::string file = setup_->InstallConverter("imexp_" + format, "imexp_" + format);
    setup_->WriteIni("[Converters]\n0=" + file + "\n");
    setup_->Load();
    return true;
  }

  // Converter Setup with its first line selected, pressing `button`; the
  // converter's window then plays `converterScript`, and each message box
  // after it the next of `more`.
  std::vector<UiWindowRecord> Open(int button, UiScript converterScript, std::vector<UiScript> more = {}) {
    std::vector<UiScript> scripts = {{PickLine(IDC_SETUP_LIST, 0), Press(button), Press(IDOK)},
                                     std::move(converterScript)};
    for (UiScript& s : more) scripts.push_back(std::move(s));
    UiDriver driver(std::move(scripts), &setup_->manager());
    EXPECT_EQ(setup_->manager().Get<ImExp_ConfigureConvertersFn>("ImExp_ConfigureConverters")(nullptr), 1);
    return driver.windows();
  }

  // The section's "key=value" lines, upper-cased, sorted.
  std::vector<std::string> Section(const std::string& name) const {
    std::vector<std::string> lines = IniSectionLines(setup_->IniPath(), name);
    std::sort(lines.begin(), lines.end());
    return lines;
  }

  std::unique_ptr<ManagerSetup> setup_;
};

// Replaces a box's text as a user does: Tab to it (which selects it all)
// and type.
UiScript Retype(int id, const std::string& text) { return {Focus(id), TypeText(id, text)}; }

UiScript Then(UiScript script, std::initializer_list<UiAction> more) {
  script.insert(script.end(), more);
  return script;
}

struct SetupCase {
  const char* format;
  const char* section;
  const char* caption;
  UiScript edits;                      // a user's changes of every setting
  std::vector<std::string> written;    // the section after OK, in folded case
  std::vector<std::string> untouched;  // the controls' values when the section is empty
  int badBox;                          // a value this box refuses
  const char* bad;
  const char* refusal;
};

const SetupCase kSetupCases[] = {
    {"jpeg",
     "JPEG",
     "JPEG Setup",
     Retype(kNumberBox, "55"),
     {"quality=55"},
     {"90"},
     kNumberBox,
     "101",
     "The quality must be a whole number from 1 to 100."},
    {"png",
     "PNG",
     "PNG Setup",
     Then(Retype(kNumberBox, "9"), {Focus(kBackgroundBox), TypeText(kBackgroundBox, "0, 128,255")}),
     {"compressionlevel=9", "background=0,128,255"},
     {"6", "255,255,255"},
     kNumberBox,
     "ten",
     "The compression level must be a whole number from 0 to 9."},
    {"tiff",
     "TIFF",
     "TIFF Setup",
     {PickLine(kCompressionList, 1), Focus(kBackgroundBox), TypeText(kBackgroundBox, "1,2,3")},
     {"compression=packbits", "background=1,2,3"},
     {"LZW", "255,255,255"},
     kBackgroundBox,
     "1,2",
     "The background colour must be three numbers from 0 to 255 separated by commas (red,green,blue), such "
     "as "
     "255,255,255."},
    {"webp",
     "WebP",
     "WebP Setup",
     Then(Retype(kNumberBox, "0"),
          {Press(kLosslessBox), Focus(kBackgroundBox), TypeText(kBackgroundBox, "0,0,0")}),
     {"quality=0", "lossless=1", "background=0,0,0"},
     {"90", "", "255,255,255"},
     kBackgroundBox,
     "256,0,0",
     "The background colour must be three numbers from 0 to 255 separated by commas (red,green,blue), such "
     "as "
     "255,255,255."},
    {"gif",
     "GIF",
     "GIF Setup",
     Retype(kBackgroundBox, "12,34,56"),
     {"background=12,34,56"},
     {"255,255,255"},
     kBackgroundBox,
     "red",
     nullptr},
    {"bmp",
     "BMP",
     "BMP Setup",
     Retype(kBackgroundBox, "0,0,0"),
     {"background=0,0,0"},
     {"255,255,255"},
     kBackgroundBox,
     "-1,0,0",
     nullptr},
};

TEST_F(ConverterDialogsTest, SetupWritesOnOkNothingOnCancelAndRefusesBadValues) {
  for (const SetupCase& c : kSetupCases) {
    SCOPED_TRACE(c.format);
    for (const char* ending : {"ok", "cancel", "refused"}) {
      SCOPED_TRACE(ending);
      if (!Start(c.format)) GTEST_SKIP() << c.format << " is not built here";
      std::string mode = ending;
      UiScript script = c.edits;
      std::vector<UiScript> more;
      if (mode == "refused") {
        script = Retype(c.badBox, c.bad);
        script.push_back(Press(IDOK));
        script.push_back(Press(IDCANCEL));
        more.push_back({Answer(IDOK)});
      } else {
        script.push_back(Press(mode == "ok" ? IDOK : IDCANCEL));
      }
      auto windows = Open(IDC_SETUP_SETUP, script, more);
      ASSERT_EQ(windows.size(), mode == "refused" ? 3u : 2u);
      const UiWindowRecord& dialog = windows[1];
      EXPECT_EQ(dialog.caption, c.caption);
      // What the dialog showed over an empty section: the defaults.
      std::vector<std::string> shown;
      for (int id : {kNumberBox, kLosslessBox, kCompressionList, kBackgroundBox}) {
        const UiControl* control = dialog.states.at(0).Find(id);
        if (control == nullptr) continue;
        if (id == kLosslessBox) {
          shown.push_back(control->checked ? "1" : "");
        } else if (id == kCompressionList) {
          shown.push_back(control->lines.at(static_cast<std::size_t>(control->selection)));
        } else {
          shown.push_back(control->text);
        }
      }
      EXPECT_EQ(shown, c.untouched);
      if (mode == "ok") {
        std::vector<std::string> expected;
        for (const std::string& line : c.written) expected.push_back(FoldCase(line));
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(Section(c.section), expected);
      } else {
        EXPECT_TRUE(Section(c.section).empty());
      }
      if (mode == "refused") {
        EXPECT_EQ(windows[2].caption, c.caption);
        EXPECT_TRUE(windows[2].warningIcon);
        if (c.refusal != nullptr) EXPECT_EQ(windows[2].text, c.refusal);
        // The dialog stayed open: Cancel could still be pressed.
        ASSERT_EQ(dialog.accepted.size(), script.size());
        EXPECT_TRUE(dialog.accepted.back());
      }
      setup_->Unload();
    }
  }
}

struct AboutCase {
  const char* format;
  const char* caption;
  bool setup;
  const char* library;  // named with its version, or null
};

const AboutCase kAboutCases[] = {
    {"bmp", "About BMP", true, nullptr},     {"pnm", "About PNM", false, nullptr},
    {"pcx", "About PCX", false, nullptr},    {"dcx", "About DCX", false, nullptr},
    {"png", "About PNG", true, "libspng"},   {"jpeg", "About JPEG", true, "libjpeg-turbo"},
    {"tiff", "About TIFF", true, "libtiff"}, {"gif", "About GIF", true, "giflib"},
    {"webp", "About WebP", true, "libwebp"},
};

TEST_F(ConverterDialogsTest, AboutNamesConverterVersionAndLibrary) {
  for (const AboutCase& c : kAboutCases) {
    SCOPED_TRACE(c.format);
    if (!Start(c.format)) continue;
    auto windows = Open(IDC_SETUP_ABOUT, {Answer(IDOK)});
    ASSERT_EQ(windows.size(), 2u);
    const UiSnapshot& selected = windows[0].states.at(1);
    EXPECT_TRUE(selected.Find(IDC_SETUP_ABOUT)->enabled);
    EXPECT_EQ(selected.Find(IDC_SETUP_SETUP)->enabled, c.setup);
    ASSERT_TRUE(windows[1].messageBox);
    EXPECT_EQ(windows[1].caption, c.caption);
    const std::string& text = windows[1].text;
    std::string name = std::string(c.caption).substr(6);
    EXPECT_EQ(text.rfind(name + " converter, version 1.0\n\nReads ", 0), 0u) << text;
    if (c.library != nullptr) {
      std::string said = std::string("Built on ") + c.library + ", version ";
      std::size_t at = text.find(said);
      ASSERT_NE(at, std::string::npos) << text;
      char digit = text.at(at + said.size());
      EXPECT_TRUE(digit >= '0' && digit <= '9') << text;
    } else {
      EXPECT_EQ(text.find("Built on"), std::string::npos) << text;
    }
    setup_->Unload();
  }
}

TEST_F(ConverterDialogsTest, RussianTexts) {
  if (!Start("webp")) GTEST_SKIP() << "webp is not built here";
  auto windows = Open(IDC_SETUP_SETUP, Then(Retype(kBackgroundBox, "x"), {Press(IDOK), Press(IDCANCEL)}),
                      {{Answer(IDOK)}});
  ASSERT_EQ(windows.size(), 3u);
  EXPECT_EQ(windows[1].caption, PlatformText("Настройка WebP"));
  EXPECT_EQ(windows[1].states.at(0).Find(kLosslessBox)->text, PlatformText("Без &потерь"));
  EXPECT_EQ(windows[2].text.rfind(PlatformText("Цвет фона задаётся тремя числами"), 0), 0u);
  windows = Open(IDC_SETUP_ABOUT, {Answer(IDOK)});
  ASSERT_EQ(windows.size(), 2u);
  EXPECT_EQ(windows[1].caption, PlatformText("О конвертере WebP"));
  EXPECT_NE(windows[1].text.find(PlatformText("Использует libwebp, загружена версия ")), std::string::npos);
}

// What the dialog wrote changes the next file the converter writes.
struct WriteCase {
  const char* format;
  const char* extension;
  UiScript first, second;  // two settings
  // The two files differ as the settings say: by size (smaller second) or
  // by the compression the converter reports.
  const char* firstCompression;
  const char* secondCompression;
};

TEST_F(ConverterDialogsTest, SettingChangesTheNextWrite) {
  const WriteCase cases[] = {
      {"jpeg", ".jpg", Retype(kNumberBox, "95"), Retype(kNumberBox, "5"), nullptr, nullptr},
      {"png", ".png", Retype(kNumberBox, "0"), Retype(kNumberBox, "9"), nullptr, nullptr},
      {"tiff",
       ".tif",
       {PickLine(kCompressionList, 1)},
       {PickLine(kCompressionList, 3)},
       "PackBits",
       "Deflate"},
      {"webp", ".webp", Retype(kNumberBox, "80"), {Press(kLosslessBox)}, "VP8", "VP8L"},
  };
  ConverterImage image;
  image.desc.width = 64;
  image.desc.height = 48;
  image.desc.colorType = CONV_COLOR_RGB;
  image.desc.bitsPerPixel = 24;
  for (uint32_t y = 0; y < image.desc.height; ++y) {
    std::vector<uint8_t> row;
    for (uint32_t x = 0; x < image.desc.width; ++x) {
      row.push_back(static_cast<uint8_t>(x * 4));
      row.push_back(static_cast<uint8_t>((x * y) & 0xFF));
      row.push_back(static_cast<uint8_t>(y * 5));
    }
    image.rows.push_back(row);
  }
  for (const WriteCase& c : cases) {
    SCOPED_TRACE(c.format);
    std::vector<std::string> files;
    for (const UiScript* settings : {&c.first, &c.second}) {
      if (!Start(c.format)) GTEST_SKIP() << c.format << " is not built here";
      UiScript script = *settings;
      script.push_back(Press(IDOK));
      ASSERT_EQ(Open(IDC_SETUP_SETUP, script).size(), 2u);
      setup_->Unload();
      ConverterDriver driver("imexp_" + std::string(c.format));
      driver.UseIni(setup_->IniPath());
      std::string path = NativePath(setup_->dir().path() / (std::string("out") + c.extension));
      ASSERT_EQ(driver.Write(path, image), 0);
      if (c.firstCompression != nullptr) {
        ConvImageInfo info{};
        ASSERT_EQ(driver.Info(path, 0, &info), 0);
        EXPECT_STREQ(info.compression, files.empty() ? c.firstCompression : c.secondCompression);
      }
      files.push_back(ReadFileBytes(path));
    }
    if (c.firstCompression == nullptr) EXPECT_LT(files[1].size(), files[0].size());
  }
}

}  // namespace
}  // namespace imexp::test
