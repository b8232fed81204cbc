// The four dialog templates in both languages, read as DLGTEMPLATE bytes
// through FindResourceExA / LoadResource / LockResource (the resource
// compiler's output on Windows, the generated tables on POSIX), and every
// control checked: ID, kind and the style bits that matter, rectangle and
// text; the dialog's style, rectangle, caption and font.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "resource_ids.h"
#include "tests/support/test_support.h"

namespace imexp::test {
namespace {

// ---------------------------------------------------------------- reading

struct Rect {
  int x, y, cx, cy;
  bool operator==(const Rect&) const = default;
};

struct Item {
  DWORD style = 0;
  int id = 0;
  std::string className;  // "Button", "Edit", "Static", "ListBox", or the name given
  std::string text;       // UTF-8
  Rect rect{};
};

struct Template {
  DWORD style = 0;
  Rect rect{};
  std::string caption;
  int fontSize = 0;
  std::string fontName;
  std::vector<Item> items;
};

// Reads the template's words in order; strings are UTF-16, made UTF-8 here.
class Reader {
 public:
  Reader(const BYTE* bytes, std::size_t size) : bytes_(bytes), size_(size) {}
  bool ok() const { return ok_; }
  unsigned Word() {
    if (at_ + 2 > size_) {
      ok_ = false;
      return 0;
    }
    unsigned value = bytes_[at_] | (bytes_[at_ + 1] << 8);
    at_ += 2;
    return value;
  }
  DWORD Dword() {
    DWORD low = Word();
    return low | (static_cast<DWORD>(Word()) << 16);
  }
  int Short() { return static_cast<short>(Word()); }
  Rect Rectangle() {
    int x = Short(), y = Short(), cx = Short();
    return {x, y, cx, Short()};
  }
  std::string Text() {
    std::string out;
    for (unsigned unit = Word(); ok_ && unit != 0; unit = Word()) {
      if (unit >= 0xD800 && unit < 0xE000) {  // none of the templates' texts needs more than the BMP
        ok_ = false;
      } else if (unit < 0x80) {
        out += static_cast<char>(unit);
      } else if (unit < 0x800) {
        out += static_cast<char>(0xC0 | (unit >> 6));
        out += static_cast<char>(0x80 | (unit & 0x3F));
      } else {
        out += static_cast<char>(0xE0 | (unit >> 12));
        out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (unit & 0x3F));
      }
    }
    return out;
  }
  // A class, menu or title: an ordinal after 0xFFFF, or a string.
  std::string NameOrOrdinal(unsigned* ordinal) {
    *ordinal = 0;
    if (at_ + 2 <= size_ && bytes_[at_] == 0xFF && bytes_[at_ + 1] == 0xFF) {
      Word();
      *ordinal = Word();
      return "";
    }
    return Text();
  }
  void AlignToDword() { at_ = (at_ + 3) & ~std::size_t{3}; }

 private:
  const BYTE* bytes_;
  std::size_t size_;
  std::size_t at_ = 0;
  bool ok_ = true;
};

std::string ClassOfAtom(unsigned atom) {
  switch (atom) {
    case 0x80:
      return "Button";
    case 0x81:
      return "Edit";
    case 0x82:
      return "Static";
    case 0x83:
      return "ListBox";
    default:
      return "#" + std::to_string(atom);
  }
}

// Class names in a template match without regard to case, as window
// classes do.
std::string CanonicalClass(const std::string& name) {
  for (const char* known : {"Button", "Edit", "Static", "ListBox"}) {
    if (FoldCase(name) == FoldCase(known)) return known;
  }
  return name;
}

bool LoadTemplate(int id, WORD language, Template* t) {
  HMODULE module = static_cast<HMODULE>(ResourceInstance());
  HRSRC resource =
      FindResourceExA(module, RT_DIALOG, MAKEINTRESOURCEA(id), MAKELANGID(language, SUBLANG_DEFAULT));
  if (resource == nullptr) return false;
  auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, resource)));
  Reader r(bytes, SizeofResource(module, resource));
  t->style = r.Dword();
  r.Dword();  // extended style
  unsigned count = r.Word();
  t->rect = r.Rectangle();
  unsigned ordinal = 0;
  EXPECT_EQ(r.NameOrOrdinal(&ordinal), "");  // no menu
  EXPECT_EQ(r.NameOrOrdinal(&ordinal), "");  // the dialog class
  t->caption = r.Text();
  if (t->style & DS_SETFONT) {
    t->fontSize = static_cast<int>(r.Word());
    t->fontName = r.Text();
  }
  for (unsigned i = 0; i < count && r.ok(); ++i) {
    r.AlignToDword();
    Item item;
    item.style = r.Dword();
    r.Dword();
    item.rect = r.Rectangle();
    item.id = r.Short();
    std::string name = r.NameOrOrdinal(&ordinal);
    item.className = ordinal != 0 ? ClassOfAtom(ordinal) : CanonicalClass(name);
    item.text = r.NameOrOrdinal(&ordinal);
    unsigned extra = r.Word();
    EXPECT_EQ(extra, 0u);
    t->items.push_back(item);
  }
  return r.ok();
}

// ---------------------------------------------------------------- the tables

enum class Kind { kRightLabel, kLeftText, kBlackFrame, kDefaultButton, kButton, kEdit, kListBox };

// Class and the style bits of each kind; the mask says which bits matter.
struct KindStyle {
  const char* className;
  DWORD mask;
  DWORD bits;
};

KindStyle StyleOf(Kind kind) {
  constexpr DWORD kBase = WS_CHILD | WS_VISIBLE | WS_DISABLED;
  switch (kind) {
    case Kind::kRightLabel:
      return {"Static", kBase | 0x1F, WS_CHILD | WS_VISIBLE | SS_RIGHT};
    case Kind::kLeftText:
      return {"Static", kBase | 0x1F, WS_CHILD | WS_VISIBLE | SS_LEFT};
    case Kind::kBlackFrame:
      return {"Static", kBase | 0x1F, WS_CHILD | WS_VISIBLE | SS_BLACKFRAME};
    case Kind::kDefaultButton:
      return {"Button", kBase | 0x0F | WS_TABSTOP, WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON | WS_TABSTOP};
    case Kind::kButton:
      return {"Button", kBase | 0x0F | WS_TABSTOP, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP};
    case Kind::kEdit:
      return {"Edit", kBase | WS_BORDER | WS_TABSTOP, WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP};
    case Kind::kListBox:
      return {"ListBox", kBase | LBS_NOTIFY | LBS_SORT | WS_BORDER | WS_VSCROLL | WS_TABSTOP,
              WS_CHILD | WS_VISIBLE | LBS_NOTIFY | WS_BORDER | WS_VSCROLL | WS_TABSTOP};
  }
  return {};
}

constexpr Rect kSame{-1, -1, -1, -1};

struct ControlRow {
  int id;
  Kind kind;
  Rect english;
  Rect russian;  // kSame: as in English
  const char* englishText;
  const char* russianText;
};

struct DialogRow {
  int id;
  DWORD style;
  Rect english, russian;
  const char* englishCaption;
  const char* russianCaption;
  const char* englishFont;
  const char* russianFont;
  std::vector<ControlRow> controls;
};

constexpr DWORD kModal = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT;
constexpr DWORD kChild = DS_CONTROL | WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | DS_SETFONT;

const DialogRow kDialogs[] = {
    {IDD_OPEN_CHILD,
     kChild,
     {0, 0, 300, 32},
     kSame,
     "",
     "",
     "Helv",
     "Helv",
     {{IDC_OPEN_INFO, Kind::kButton, {202, 7, 50, 14}, kSame, "&Info", "&О файле..."}}},
    {IDD_SELECT_IMAGE,
     kModal,
     {74, 32, 142, 69},
     {74, 32, 142, 85},
     "Select Image",
     "Выбрать изображение",
     "Helv",
     "Helv",
     {{-1, Kind::kRightLabel, {8, 4, 60, 12}, kSame, "File Name :", "&Файл:"},
      {-1,
       Kind::kRightLabel,
       {8, 16, 60, 12},
       {8, 16, 60, 17},
       "Images per File :",
       "&Изображений в Файле :"},
      {-1, Kind::kRightLabel, {8, 28, 60, 12}, {8, 41, 60, 17}, "Current &Image :", "&Текущее Изображение :"},
      {IDC_SELECT_NUMBER, Kind::kEdit, {72, 28, 30, 12}, {72, 47, 30, 12}, "", ""},
      {IDOK, Kind::kDefaultButton, {21, 48, 46, 14}, {21, 66, 46, 14}, "&OK", "OK"},
      {IDCANCEL, Kind::kButton, {75, 48, 46, 14}, {75, 66, 46, 14}, "&Cancel", "&Отменить"},
      {IDC_SELECT_TITLE, Kind::kLeftText, {72, 4, 61, 12}, kSame, "", ""},
      {IDC_SELECT_COUNT, Kind::kLeftText, {72, 16, 63, 12}, {72, 22, 63, 12}, "", ""}}},
    {IDD_IMAGE_INFO,
     kModal,
     {88, 32, 308, 100},
     kSame,
     "Image Info",
     "Информация об изображении",
     "Helv",
     "MS Sans Serif",
     {{-1, Kind::kBlackFrame, {4, 3, 298, 70}, kSame, "", ""},
      {-1, Kind::kRightLabel, {10, 8, 56, 12}, kSame, "File Name :", "Файл :"},
      {-1, Kind::kRightLabel, {10, 20, 56, 12}, kSame, "Format :", "Формат :"},
      {-1, Kind::kRightLabel, {10, 32, 56, 12}, kSame, "Type :", "Тип :"},
      {-1, Kind::kRightLabel, {10, 44, 56, 12}, kSame, "Dimensions :", "Размеры :"},
      {IDC_INFO_IMAGE_LABEL, Kind::kRightLabel, {10, 56, 56, 12}, kSame, "Image :", "Изображение :"},
      {-1, Kind::kRightLabel, {151, 20, 56, 12}, kSame, "Colors :", "Цвета :"},
      {-1, Kind::kRightLabel, {151, 32, 56, 12}, kSame, "Resolution :", "Разрешение :"},
      {-1, Kind::kRightLabel, {151, 44, 56, 12}, kSame, "Compression :", "Сжатие :"},
      {IDC_INFO_TITLE, Kind::kLeftText, {72, 8, 220, 12}, kSame, "", ""},
      {IDC_INFO_FORMAT, Kind::kLeftText, {72, 20, 80, 12}, kSame, "", ""},
      {IDC_INFO_TYPE, Kind::kLeftText, {71, 32, 80, 12}, kSame, "", ""},
      {IDC_INFO_DIMENSIONS, Kind::kLeftText, {72, 44, 80, 12}, kSame, "", ""},
      {IDC_INFO_POSITION, Kind::kLeftText, {72, 56, 80, 12}, kSame, "", ""},
      {IDC_INFO_COLORS, Kind::kLeftText, {213, 20, 80, 12}, kSame, "", ""},
      {IDC_INFO_RESOLUTION, Kind::kLeftText, {213, 32, 80, 12}, kSame, "", ""},
      {IDC_INFO_COMPRESSION, Kind::kLeftText, {213, 44, 80, 12}, kSame, "", ""},
      {IDOK, Kind::kDefaultButton, {253, 76, 49, 18}, kSame, "&OK", "OK"},
      {IDC_INFO_DETAILS, Kind::kButton, {198, 76, 49, 18}, kSame, "&Details...", "&Детали..."}}},
    {IDD_CONVERTER_SETUP,
     kModal,
     {18, 18, 245, 141},
     {18, 18, 245, 148},
     "Converter Setup",
     "Настройка конвертеров",
     "Helv",
     "MS Sans Serif",
     {{-1,
       Kind::kLeftText,
       {4, 4, 68, 12},
       {4, 4, 172, 12},
       "Installed &Converters:",
       "Установленные &конвертеры:"},
      {IDC_SETUP_LIST, Kind::kListBox, {4, 16, 176, 88}, kSame, "", ""},
      {-1, Kind::kLeftText, {8, 112, 24, 12}, kSame, "Path :", "&Путь :"},
      {-1, Kind::kLeftText, {8, 124, 24, 12}, {8, 130, 24, 12}, "Type :", "&Тип :"},
      {IDC_SETUP_PATH, Kind::kLeftText, {32, 112, 205, 12}, {32, 112, 205, 18}, "", ""},
      {IDC_SETUP_TYPE, Kind::kLeftText, {32, 124, 205, 12}, kSame, "", ""},
      {IDOK, Kind::kDefaultButton, {188, 12, 49, 14}, {188, 12, 52, 14}, "&Close", "&Закрыть"},
      {IDC_SETUP_INSTALL,
       Kind::kButton,
       {188, 32, 49, 14},
       {188, 32, 52, 14},
       "&Install...",
       "&Установить..."},
      {IDC_SETUP_REMOVE, Kind::kButton, {188, 52, 49, 14}, {188, 52, 52, 14}, "&Remove", "У&далить"},
      {IDC_SETUP_SETUP, Kind::kButton, {188, 72, 49, 14}, {188, 72, 52, 14}, "&Setup...", "&Параметры..."},
      {IDC_SETUP_ABOUT, Kind::kButton, {188, 92, 49, 14}, {188, 92, 52, 14}, "&About...", "&О модуле..."}}},
};

::testing::AssertionResult SameRect(const Rect& expected, const Rect& actual) {
  if (expected == actual) return ::testing::AssertionSuccess();
  auto text = [](const Rect& r) {
    return std::to_string(r.x) + ", " + std::to_string(r.y) + ", " + std::to_string(r.cx) + ", " +
           std::to_string(r.cy);
  };
  return ::testing::AssertionFailure() << "expected " << text(expected) << ", got " << text(actual);
}

TEST(DialogTemplatesTest, EveryControlOfEveryTemplateInBothLanguages) {
  for (const DialogRow& row : kDialogs) {
    for (bool russian : {false, true}) {
      SCOPED_TRACE("dialog " + std::to_string(row.id) + (russian ? " (Russian)" : " (English)"));
      Template t;
      ASSERT_TRUE(LoadTemplate(row.id, russian ? LANG_RUSSIAN : LANG_ENGLISH, &t));
      EXPECT_EQ(t.style, row.style);
      EXPECT_TRUE(SameRect(russian && row.russian.x >= 0 ? row.russian : row.english, t.rect));
      EXPECT_EQ(t.caption, russian ? row.russianCaption : row.englishCaption);
      EXPECT_EQ(t.fontSize, 8);
      EXPECT_EQ(t.fontName, russian ? row.russianFont : row.englishFont);
      ASSERT_EQ(t.items.size(), row.controls.size());
      for (std::size_t i = 0; i < row.controls.size(); ++i) {
        const ControlRow& c = row.controls[i];
        const Item& item = t.items[i];
        SCOPED_TRACE("control " + std::to_string(i) + " (ID " + std::to_string(c.id) + ")");
        KindStyle kind = StyleOf(c.kind);
        EXPECT_EQ(item.id, c.id);
        EXPECT_EQ(item.className, kind.className);
        EXPECT_EQ(item.style & kind.mask, kind.bits);
        EXPECT_TRUE(SameRect(russian && c.russian.x >= 0 ? c.russian : c.english, item.rect));
        EXPECT_EQ(item.text, russian ? c.russianText : c.englishText);
      }
    }
  }
}

TEST(DialogTemplatesTest, MissingTemplatesAndLanguagesAreNotFound) {
  HMODULE module = static_cast<HMODULE>(ResourceInstance());
  EXPECT_EQ(FindResourceA(module, MAKEINTRESOURCEA(4242), RT_DIALOG), nullptr);
  EXPECT_EQ(
      FindResourceExA(module, RT_DIALOG, MAKEINTRESOURCEA(IDD_IMAGE_INFO), MAKELANGID(0x07, SUBLANG_DEFAULT)),
      nullptr);
  EXPECT_NE(FindResourceA(module, MAKEINTRESOURCEA(IDD_IMAGE_INFO), RT_DIALOG), nullptr);
}

}  // namespace
}  // namespace imexp::test
