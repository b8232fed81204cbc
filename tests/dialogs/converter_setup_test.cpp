// The Converter Setup dialog and the install/remove exports, run by the
// scripted user against a manager copy with real converter libraries: what
// the list shows, where an install goes, what is refused and how, and what
// CONVERT.INI holds after each change.
#include <gtest/gtest.h>

#include <imexp/host.h>

#include <cstring>
#include <sstream>

#include "platform/win32.h"
#include "resource_ids.h"
#include "tests/support/test_support.h"
#include "tests/support/ui_driver.h"

namespace imexp::test {
namespace {

// The name box of the Open dialog the setup shows (no hook): Win32 makes it
// the combo box cmb13; our layer has the one name box edt1 in every form.
#ifdef _WIN32
constexpr int kFileNameBox = 1148;
#else
constexpr int kFileNameBox = 1152;
#endif

class ConverterSetupTest : public ::testing::Test {
 protected:
  // Copies of the test converter listed under keys of their own, by
  // relative name; `script` is appended to CONVERT.INI as it is.
  void Start(const std::vector<std::string>& names, const std::string& script = "") {
    std::string ini = "[Converters]\n";
    for (const std::string& name : names) ini += "key_" + name + "=" + Copy(name) + "\n";
    setup_->WriteIni(ini + script);
    setup_->Load();
  }
  std::string Copy(const std::string& name, const char* target = "imexp_test_converter") {
    copies_.push_back(setup_->InstallConverter(target, name));
    return copies_.back();
  }
  std::string Full(const std::string& name) const { return setup_->dir().File(SharedLibraryName(name)); }

  std::vector<UiWindowRecord> Run(std::vector<UiScript> scripts) {
    UiDriver driver(std::move(scripts), &setup_->manager());
    EXPECT_EQ(setup_->manager().Get<ImExp_ConfigureConvertersFn>("ImExp_ConfigureConverters")(nullptr), 1);
    return driver.windows();
  }

  // "key=value" lines of section Converters, paths in folded case.
  std::vector<std::string> Section() const { return IniSectionLines(setup_->IniPath(), "Converters"); }
  std::vector<std::string> Expected(const std::vector<std::string>& names) const {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < names.size(); ++i)
      lines.push_back(FoldCase(std::to_string(i) + "=" + Full(names[i])));
    return lines;
  }

  // Every library the manager loaded has been freed again.
  void TearDown() override {
    setup_->Unload();
    for (const std::string& copy : copies_)
      EXPECT_FALSE(IsLibraryLoaded(setup_->dir().path() / copy)) << copy;
  }
  // A manager of its own for the next case of a table.
  void Reset() {
    TearDown();
    setup_ = std::make_unique<ManagerSetup>();
    copies_.clear();
  }

  std::unique_ptr<ManagerSetup> setup_ = std::make_unique<ManagerSetup>();
  std::vector<std::string> copies_;
};

std::vector<std::string> Lines(std::initializer_list<const char*> lines) {
  return {lines.begin(), lines.end()};
}

TEST_F(ConverterSetupTest, SelectionShowsPathTypeAndButtons) {
  Start({"r", "w", "rw", "none", "sa"},
        "[r]\nFlags=0x01\n[w]\nFlags=0x02\n[rw]\nFlags=0x13\n[none]\nFlags=0x10\n[sa]\nFlags=0x0D\n");
  struct Case {
    int line;
    std::string path, type;
    bool remove, setup, about;
  } cases[] = {
      {0, Full("r"), "Import filter", true, false, false},
      {1, Full("w"), "Export filter", true, false, false},
      {2, Full("rw"), "Import/Export filter", true, false, false},
      {3, Full("none"), "<Unknown>", true, false, false},
      {4, Full("sa"), "Import filter", true, true, true},
      {5, "", "", false, false, false},
  };
  UiScript script;
  for (const Case& c : cases) script.push_back(PickLine(IDC_SETUP_LIST, c.line));
  script.push_back(Press(IDOK));
  auto windows = Run({script});
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_EQ(windows[0].caption, "Converter Setup");
  const UiSnapshot& opened = windows[0].states[0];
  EXPECT_EQ(opened.Find(IDC_SETUP_LIST)->lines, Lines({"r", "w", "rw", "none", "sa", ""}));
  EXPECT_EQ(opened.Find(IDC_SETUP_LIST)->selection, 0);
  EXPECT_TRUE(opened.Find(IDC_SETUP_LIST)->focused);
  EXPECT_EQ(FoldCase(opened.Find(IDC_SETUP_PATH)->text), FoldCase(Full("r")));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE("line " + std::to_string(c.line));
    const UiSnapshot& s = windows[0].states.at(i + 1);
    EXPECT_EQ(FoldCase(s.Find(IDC_SETUP_PATH)->text), FoldCase(c.path));
    EXPECT_EQ(s.Find(IDC_SETUP_TYPE)->text, c.type);
    EXPECT_EQ(s.Find(IDC_SETUP_REMOVE)->enabled, c.remove);
    EXPECT_EQ(s.Find(IDC_SETUP_SETUP)->enabled, c.setup);
    EXPECT_EQ(s.Find(IDC_SETUP_ABOUT)->enabled, c.about);
    EXPECT_TRUE(s.Find(IDC_SETUP_INSTALL)->enabled);
    EXPECT_TRUE(s.Find(IDOK)->enabled);
  }
}

TEST_F(ConverterSetupTest, InstallGoesBeforeTheSelectedLine) {
  struct Case {
    std::vector<std::string> before;
    int line;
    std::vector<std::string> after;
  } cases[] = {
      {{"a", "b", "c"}, 1, {"a", "new", "b", "c"}},
      {{"a", "b", "c"}, 3, {"a", "b", "c", "new"}},
      {{}, 0, {"new"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.before.size()) + " converters, line " + std::to_string(c.line));
    Reset();
    Start(c.before);
    Copy("new");
    auto windows = Run({{PickLine(IDC_SETUP_LIST, c.line), Press(IDC_SETUP_INSTALL), Press(IDOK)},
                        {TypeText(kFileNameBox, Full("new")), Press(IDOK)}});
    ASSERT_EQ(windows.size(), 2u);
    if (c.before.empty()) {
      const UiSnapshot& opened = windows[0].states[0];
      EXPECT_EQ(opened.Find(IDC_SETUP_LIST)->lines, Lines({""}));
      EXPECT_EQ(opened.Find(IDC_SETUP_LIST)->selection, 0);
      EXPECT_FALSE(opened.Find(IDC_SETUP_REMOVE)->enabled);
    }
    const UiSnapshot& installed = windows[0].states.at(2);
    std::vector<std::string> lines = c.after;
    lines.push_back("");
    EXPECT_EQ(installed.Find(IDC_SETUP_LIST)->lines, lines);
    EXPECT_EQ(installed.Find(IDC_SETUP_LIST)->selection, c.line);
    EXPECT_EQ(FoldCase(installed.Find(IDC_SETUP_PATH)->text), FoldCase(Full("new")));
    EXPECT_EQ(installed.Find(IDC_SETUP_TYPE)->text, "Import/Export filter");
    EXPECT_EQ(Section(), Expected(c.after));
    // Two version tests, then the record with its path already written and
    // the configuration path.
    auto calls = LinesWith(setup_->CallLog(), "new ");
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0], "new ConvGetVersion");
    EXPECT_EQ(calls[1], "new ConvGetVersion");
    EXPECT_EQ(FoldCase(calls[2]),
              FoldCase("new ConvGetDllInfo path='" + Full("new") + "' iniPath='" + setup_->IniPath() + "'"));
  }
}

TEST_F(ConverterSetupTest, RefusedLibrariesChangeNothing) {
  Copy("old", "imexp_test_converter");
  Copy("bare", "imexp_test_converter");
  Copy("nv", "imexp_test_converter_no_ConvGetVersion");
  Copy("ni", "imexp_test_converter_no_ConvGetDllInfo");
  WriteFileBytes(Full("junk"), "not a library");
  Start({"a", "b"}, "[old]\nVersion=0x000102FF\n[bare]\nVersion=0x300\n");
  std::vector<std::string> refusedSection = Section();
  struct Case {
    std::string file;
    std::string message;
    std::size_t versionCalls;
  } cases[] = {
      {Full("a"), "Converter already installed", 0},
      {Full("old"), "Unable to install " + Full("old"), 1},
      {Full("bare"), "Unable to install " + Full("bare"), 2},  // the start-up list would take it
      {Full("nv"), "Unable to install " + Full("nv"), 0},
      {Full("ni"), "Unable to install " + Full("ni"), 0},
      {Full("junk"), "Unable to install " + Full("junk"), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    setup_->ClearCallLog();
    auto windows = Run({{PickLine(IDC_SETUP_LIST, 2), Press(IDC_SETUP_INSTALL), Press(IDOK)},
                        {TypeText(kFileNameBox, c.file), Press(IDOK)},
                        {Answer(IDOK)}});
    ASSERT_EQ(windows.size(), 3u);
    EXPECT_TRUE(windows[2].messageBox);
    EXPECT_EQ(FoldCase(windows[2].text), FoldCase(c.message));
    EXPECT_EQ(windows[2].caption, "Error");  // the platform's own caption
    EXPECT_TRUE(windows[2].warningIcon);
    EXPECT_EQ(windows[0].states.at(2).Find(IDC_SETUP_LIST)->lines, Lines({"a", "b", ""}));
    EXPECT_EQ(Section(), refusedSection);
    EXPECT_EQ(LinesWith(setup_->CallLog(), "ConvGetVersion").size(), c.versionCalls);
    EXPECT_TRUE(LinesWith(setup_->CallLog(), "ConvGetDllInfo").empty());
  }
}

TEST_F(ConverterSetupTest, RemoveSelectsTheNextLine) {
  struct Case {
    std::vector<std::string> before;
    int line;
    std::vector<std::string> after;
  } cases[] = {
      {{"a", "b", "c"}, 2, {"a", "b"}},
      {{"a", "b", "c"}, 0, {"b", "c"}},
      {{"a"}, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.before.size()) + " converters, line " + std::to_string(c.line));
    Reset();
    Start(c.before);
    auto windows = Run({{PickLine(IDC_SETUP_LIST, c.line), Press(IDC_SETUP_REMOVE), Press(IDOK)}});
    const UiSnapshot& removed = windows[0].states.at(2);
    std::vector<std::string> lines = c.after;
    lines.push_back("");
    EXPECT_EQ(removed.Find(IDC_SETUP_LIST)->lines, lines);
    EXPECT_EQ(removed.Find(IDC_SETUP_LIST)->selection, c.line);
    bool onConverter = c.line < static_cast<int>(c.after.size());
    EXPECT_EQ(FoldCase(removed.Find(IDC_SETUP_PATH)->text),
              onConverter ? FoldCase(Full(c.after[c.line])) : "");
    EXPECT_EQ(removed.Find(IDC_SETUP_REMOVE)->enabled, onConverter);
    EXPECT_EQ(Section(), Expected(c.after));
    if (c.after.empty()) EXPECT_EQ(ReadFileBytes(setup_->IniPath()).find("[Converters]"), std::string::npos);
  }
}

TEST_F(ConverterSetupTest, SetupAndAboutCallTheConverter) {
  Start({"plain", "full"}, "[full]\nFlags=0x1F\n");
  std::vector<std::string> listed = Section();
  setup_->ClearCallLog();
  auto windows = Run({{Press(IDC_SETUP_SETUP), Press(IDC_SETUP_ABOUT), PickLine(IDC_SETUP_LIST, 1),
                       Press(IDC_SETUP_SETUP), Press(IDC_SETUP_ABOUT), Press(IDOK)}});
  EXPECT_EQ(windows[0].accepted, (std::vector<bool>{false, false, true, true, true, true}));
  auto calls = setup_->CallLog();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(FoldCase(calls[0]), FoldCase("full ConvSetup iniPath='" + setup_->IniPath() + "'"));
  // The record is asked for again after the converter's own settings.
  EXPECT_EQ(calls[1].rfind("full ConvGetDllInfo", 0), 0u) << calls[1];
  EXPECT_EQ(calls[2], "full ConvAbout");
  EXPECT_EQ(Section(), listed);  // Setup does not rewrite the list
}

TEST_F(ConverterSetupTest, ASecondSetupDialogIsRefused) {
  Start({"full"}, "[full]\nFlags=0x1F\nAboutOpensSetup=1\n");
  setup_->ClearCallLog();
  auto windows = Run({{Press(IDC_SETUP_ABOUT), Press(IDOK)}, {Answer(IDOK)}});
  ASSERT_EQ(windows.size(), 2u);
  EXPECT_TRUE(windows[1].messageBox);
  EXPECT_EQ(windows[1].text, "Converter in use by other program");
  EXPECT_EQ(LinesWith(setup_->CallLog(), "ConvAbout setup=").size(), 1u);
  EXPECT_EQ(LinesWith(setup_->CallLog(), "ConvAbout setup=0").size(), 1u);
}

TEST_F(ConverterSetupTest, ExportsInstallAndRemoveWithoutTheDialog) {
  Start({"a", "b"});
  for (const char* name : {"x", "y", "z"}) Copy(name);
  auto install = setup_->manager().Get<ImExp_InstallConverterFn>("ImExp_InstallConverter");
  auto remove = setup_->manager().Get<ImExp_RemoveConverterFn>("ImExp_RemoveConverter");
  auto Install = [&](const std::string& name, int position) {
    std::string path = Full(name);
    return install(nullptr, path.data(), position);
  };
  EXPECT_EQ(Install("x", 0), 0);
  EXPECT_EQ(Section(), Expected({"x", "a", "b"}));
  EXPECT_EQ(Install("y", -1), 3);  // outside the list: appended
  EXPECT_EQ(Install("z", 99), 4);
  EXPECT_EQ(Section(), Expected({"x", "a", "b", "y", "z"}));
  std::string upper = "A";
  EXPECT_EQ(remove(nullptr, upper.data(), 0), 1);  // by name, any case
  EXPECT_EQ(remove(nullptr, nullptr, 3), 1);       // by index
  EXPECT_EQ(Section(), Expected({"x", "b", "y"}));
  std::string absent = "absent";
  EXPECT_EQ(remove(nullptr, absent.data(), 0), 0);
  EXPECT_EQ(remove(nullptr, nullptr, 3), 0);
  EXPECT_EQ(install(nullptr, nullptr, 0), -1);
  EXPECT_EQ(Section(), Expected({"x", "b", "y"}));
  // The list as the manager now holds it; an index outside it leaves the
  // caller's record as it was.
  auto getRecord = setup_->manager().Get<ImExp_GetConverterRecordFn>("ImExp_GetConverterRecord");
  const struct {
    int index;
    std::string name, path;
  } records[] = {{0, "x", Full("x")}, {2, "y", Full("y")}, {3, "kept", "kept"}, {-1, "kept", "kept"}};
  for (const auto& r : records) {
    ConvRecord record{};
    std::strcpy(record.name, "kept");
    std::strcpy(record.path, "kept");
    EXPECT_EQ(getRecord(r.index, &record), 3) << r.index;
    EXPECT_EQ(record.name, r.name) << r.index;
    EXPECT_EQ(FoldCase(record.path), FoldCase(r.path)) << r.index;
  }
  EXPECT_EQ(getRecord(0, nullptr), 3);
}

TEST_F(ConverterSetupTest, ExportRefusesWhatCannotBeKept) {
  Start({"a"});
  // A library whose full name does not fit a record would be saved cut.
  std::string deep = setup_->InstallConverter("imexp_test_converter", "deep", std::string(120, 'd'));
  std::string deepPath = NativePath(setup_->dir().path() / std::string(120, 'd') / deep);
  // Letter case tells two files apart on POSIX only.
  std::string otherCase = NativePath(setup_->dir().path() / SharedLibraryName("A"));
#ifdef _WIN32
  const bool caseIsAnotherFile = false;
#else
  const bool caseIsAnotherFile = true;
  Copy("A");
#endif
  MessageBoxCapture capture(&setup_->manager());
  auto install = setup_->manager().Get<ImExp_InstallConverterFn>("ImExp_InstallConverter");
  EXPECT_EQ(install(nullptr, deepPath.data(), 1), -1);
  EXPECT_EQ(install(nullptr, otherCase.data(), 1), caseIsAnotherFile ? 1 : -1);
  ASSERT_EQ(capture.boxes().size(), caseIsAnotherFile ? 1u : 2u);
  EXPECT_EQ(capture.boxes()[0].text, "Unable to install " + deepPath);
  if (!caseIsAnotherFile) EXPECT_EQ(capture.boxes()[1].text, "Converter already installed");
  EXPECT_EQ(Section().size(), caseIsAnotherFile ? 2u : 1u);
  EXPECT_FALSE(IsLibraryLoaded(deepPath));
}

TEST_F(ConverterSetupTest, NoMemoryForTheLargerList) {
  Start({"a"});
  Copy("x");
  MessageBoxCapture capture(&setup_->manager());
  if (!FailNthAllocation(&setup_->manager(), 1)) GTEST_SKIP() << "the Windows heap cannot be told to fail";
  std::string path = Full("x");
  EXPECT_EQ(
      setup_->manager().Get<ImExp_InstallConverterFn>("ImExp_InstallConverter")(nullptr, path.data(), 0), -1);
  FailNthAllocation(&setup_->manager(), 0);
  ASSERT_EQ(capture.boxes().size(), 1u);
  EXPECT_EQ(capture.boxes()[0].text, "No enough memory");
  EXPECT_TRUE(capture.boxes()[0].errorIcon);
  EXPECT_EQ(Section(), Lines({FoldCase("key_a=" + SharedLibraryName("a")).c_str()}));  // never rewritten
  EXPECT_EQ(setup_->manager().Get<ImExp_RemoveConverterFn>("ImExp_RemoveConverter")(nullptr, nullptr, 1), 0);
}

TEST_F(ConverterSetupTest, RussianTexts) {
  Start({"a"});
  auto windows = Run({{PickLine(IDC_SETUP_LIST, 1), Press(IDC_SETUP_INSTALL), Press(IDOK)},
                      {TypeText(kFileNameBox, Full("a")), Press(IDOK)},
                      {Answer(IDOK)}});
  ASSERT_EQ(windows.size(), 3u);
  EXPECT_EQ(windows[0].caption, PlatformText("Настройка конвертеров"));
  EXPECT_EQ(windows[0].states[0].Find(IDC_SETUP_TYPE)->text, PlatformText("Модуль чтения/записи"));
  EXPECT_EQ(windows[2].text, PlatformText("Модуль уже установлен"));
  std::string missing = Full("missing");
  MessageBoxCapture capture(&setup_->manager());
  EXPECT_EQ(
      setup_->manager().Get<ImExp_InstallConverterFn>("ImExp_InstallConverter")(nullptr, missing.data(), 0),
      -1);
  ASSERT_EQ(capture.boxes().size(), 1u);
  EXPECT_EQ(capture.boxes()[0].text, PlatformText("Невозможно установить ") + missing);
}

}  // namespace
}  // namespace imexp::test
