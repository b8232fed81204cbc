// The Select Image dialog, run by the scripted user against our layer and
// against Win32 under wine: what it shows when it opens, the image number
// it gives back, the numbers it refuses and the message it refuses them with.
#include <gtest/gtest.h>

#include "dialogs/select_image.h"
#include "resource_ids.h"
#include "tests/support/test_support.h"
#include "tests/support/ui_driver.h"

namespace imexp::test {
namespace {

struct Selection {
  int result = 0;
  std::vector<UiWindowRecord> windows;
};

Selection Select(int count, UiScript script, std::vector<UiScript> boxes = {}) {
  std::vector<UiScript> scripts{std::move(script)};
  scripts.insert(scripts.end(), boxes.begin(), boxes.end());
  UiDriver driver(scripts);
  Selection s;
  s.result = SelectImage(nullptr, "PAGES.DCX", count);
  s.windows = driver.windows();
  return s;
}

TEST(SelectImageTest, OpensWithTheFileAndOneSelected) {
  Selection s = Select(5, {Enter()});
  EXPECT_EQ(s.result, 0);
  ASSERT_EQ(s.windows.size(), 1u);
  EXPECT_EQ(s.windows[0].caption, "Select Image");
  const UiSnapshot& opened = s.windows[0].states[0];
  EXPECT_EQ(opened.Find(IDC_SELECT_TITLE)->text, "PAGES.DCX");
  EXPECT_EQ(opened.Find(IDC_SELECT_COUNT)->text, "5");
  EXPECT_EQ(opened.Find(IDC_SELECT_NUMBER)->text, "1");
  EXPECT_TRUE(opened.Find(IDC_SELECT_NUMBER)->focused);
}

TEST(SelectImageTest, NumbersTypedAndTheirResults) {
  struct Case {
    int count;
    UiScript script;
    int result;
    bool refused;  // "Illegal number entered." was shown
    std::string field;
  } cases[] = {
      {5, {TypeText(IDC_SELECT_NUMBER, "5"), Enter()}, 4, false, ""},
      {5, {TypeText(IDC_SELECT_NUMBER, "3"), Press(IDOK)}, 2, false, ""},
      {1, {Press(IDOK)}, 0, false, ""},
      {5, {TypeText(IDC_SELECT_NUMBER, "0"), Enter(), Escape()}, -1, true, "0"},
      {5, {TypeText(IDC_SELECT_NUMBER, "6"), Enter(), Escape()}, -1, true, "6"},
      {5, {TypeText(IDC_SELECT_NUMBER, "x"), Enter(), Escape()}, -1, true, "x"},
      {5, {TypeText(IDC_SELECT_NUMBER, "-1"), Enter(), Escape()}, -1, true, "-1"},
      {5, {TypeText(IDC_SELECT_NUMBER, "123456"), Escape()}, -1, false, "12345"},
      {5, {Press(IDCANCEL)}, -1, false, ""},
      {5, {Escape()}, -1, false, ""},
  };
  for (const Case& c : cases) {
    std::string what = std::to_string(c.count) + " images, " + std::to_string(c.script.size()) +
                       " actions, field " + c.field;
    SCOPED_TRACE(what);
    Selection s = Select(c.count, c.script, {{Answer(IDOK)}});
    EXPECT_EQ(s.result, c.result);
    ASSERT_EQ(s.windows.size(), c.refused ? 2u : 1u);
    if (c.refused) {
      EXPECT_TRUE(s.windows[1].messageBox);
      EXPECT_EQ(s.windows[1].text, "Illegal number entered.");
      EXPECT_EQ(s.windows[1].caption, "Error");  // the platform's own caption
      EXPECT_TRUE(s.windows[1].warningIcon);
      // Still open, the focus back in the field.
      const UiSnapshot& after = s.windows[0].states.at(2);
      EXPECT_TRUE(after.Find(IDC_SELECT_NUMBER)->focused);
    }
    if (!c.field.empty()) EXPECT_EQ(s.windows[0].states.back().Find(IDC_SELECT_NUMBER)->text, c.field);
  }
}

TEST(SelectImageTest, RussianTexts) {
  Selection s = Select(2, {TypeText(IDC_SELECT_NUMBER, "7"), Enter(), Escape()}, {{Answer(IDOK)}});
  ASSERT_EQ(s.windows.size(), 2u);
  EXPECT_EQ(s.windows[0].caption, PlatformText("Выбрать изображение"));
  EXPECT_EQ(s.windows[1].text, PlatformText("Введен неправильный номер"));
}

}  // namespace
}  // namespace imexp::test
