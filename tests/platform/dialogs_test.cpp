// Dialog conformance: one set of scenarios against our POSIX layer (driven
// through its presenter) and against Win32 under wine (driven through the
// real windows): the modal loop and its results, posted-message order,
// buttons, Enter and Escape, focus, edits and their limit, list boxes, check boxes,
// GetDlgItemInt, geometry in pixels, message boxes, nesting and bad handles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "tests/support/test_support.h"
#include "tests/support/ui_driver.h"

namespace imexp::test {
namespace {

constexpr int kEdit = 100;
constexpr int kList = 101;
constexpr int kOther = 102;
constexpr int kLabel = 103;
constexpr int kAutoBox = 104;
constexpr int kPlainBox = 105;
constexpr UINT kUserPosted = WM_USER + 10;
constexpr UINT kUserSent = WM_USER + 11;

// ---------------------------------------------------------------- template

// A DLGTEMPLATE in memory, as the resource compiler would lay it out.
class TemplateBuilder {
 public:
  TemplateBuilder(const char* caption, short cx, short cy) {
    Dword(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT);
    Dword(0);
    countAt_ = words_.size();
    Word(0);
    for (short v : {short{20}, short{20}, cx, cy}) Word(static_cast<WORD>(v));
    Word(0);
    Word(0);
    Text(caption);
    Word(8);
    Text("Helv");
  }
  TemplateBuilder& Add(WORD atom, int id, const char* text, short x, short y, short cx, short cy,
                       DWORD style) {
    if (words_.size() % 2) Word(0);
    Dword(WS_CHILD | WS_VISIBLE | style);
    Dword(0);
    for (short v : {x, y, cx, cy}) Word(static_cast<WORD>(v));
    Word(static_cast<WORD>(id));
    Word(0xFFFF);
    Word(atom);
    Text(text);
    Word(0);
    ++words_[countAt_];
    return *this;
  }
  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void Word(WORD w) { words_.push_back(w); }
  void Dword(DWORD d) {
    Word(static_cast<WORD>(d & 0xFFFF));
    Word(static_cast<WORD>(d >> 16));
  }
  void Text(const char* ascii) {
    for (; *ascii; ++ascii) Word(static_cast<WORD>(*ascii));
    Word(0);
  }
  std::vector<WORD> words_;
  std::size_t countAt_ = 0;
};

const TemplateBuilder& TestTemplate() {
  static TemplateBuilder t = [] {
    TemplateBuilder b("Test", 200, 100);
    b.Add(0x81, kEdit, "", 10, 10, 60, 12, WS_BORDER | WS_TABSTOP)
        .Add(0x83, kList, "", 10, 30, 80, 50, LBS_NOTIFY | WS_BORDER | WS_VSCROLL | WS_TABSTOP)
        .Add(0x80, IDOK, "OK", 140, 10, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP)
        .Add(0x80, IDCANCEL, "Cancel", 140, 30, 50, 14, BS_PUSHBUTTON | WS_TABSTOP)
        .Add(0x80, kOther, "Other", 140, 50, 50, 14, BS_PUSHBUTTON | WS_TABSTOP)
        .Add(0x82, kLabel, "Label", 10, 85, 60, 10, SS_LEFT)
        .Add(0x80, kAutoBox, "&Lossless", 95, 10, 40, 10, BS_AUTOCHECKBOX | WS_TABSTOP)
        .Add(0x80, kPlainBox, "Plain", 95, 22, 40, 10, BS_CHECKBOX | WS_TABSTOP);
    return b;
  }();
  return t;
}

// ---------------------------------------------------------------- procedure

// What the test dialog does: it logs what it receives, runs the scenario's
// own handlers, and ends on IDOK and IDCANCEL.
struct Scenario {
  std::function<void(HWND)> init;  // returns TRUE from WM_INITDIALOG unless `focusSet`
  std::function<void(HWND, int id, int code)> command;
  std::function<void(HWND, WPARAM)> posted;
  std::vector<std::string> log;
  bool focusSet = false;  // init sets the focus itself
};
Scenario* scenario = nullptr;

INT_PTR CALLBACK TestProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      scenario->log.push_back("init");
      if (scenario->init) scenario->init(dialog);
      return scenario->focusSet ? FALSE : TRUE;
    case WM_COMMAND: {
      int id = LOWORD(wParam), code = HIWORD(wParam);
      // EN_CHANGE comes with every character typed; the scenarios look at texts.
      if (code == EN_CHANGE) return TRUE;
      bool focusNote = (id == kEdit && (code == EN_SETFOCUS || code == EN_KILLFOCUS)) ||
                       (id == kList && (code == LBN_SETFOCUS || code == LBN_KILLFOCUS));
      scenario->log.push_back((focusNote ? "focus " : "command ") + std::to_string(id) + " " +
                              std::to_string(code));
      if (focusNote) return TRUE;
      if (scenario->command) scenario->command(dialog, id, code);
      if (id == IDOK || id == IDCANCEL) EndDialog(dialog, id);
      return TRUE;
    }
    case kUserPosted:
      scenario->log.push_back("posted " + std::to_string(wParam));
      if (scenario->posted) scenario->posted(dialog, wParam);
      return TRUE;
    case kUserSent:
      scenario->log.push_back("sent " + std::to_string(wParam));
      return TRUE;
    default:
      return FALSE;
  }
}

struct DialogRun {
  INT_PTR result = 0;
  std::vector<std::string> log;
  std::vector<UiWindowRecord> windows;
};

DialogRun RunTestDialog(Scenario s, std::vector<UiScript> scripts) {
  scenario = &s;
  UiDriver driver(std::move(scripts));
  DialogRun run;
  run.result = DialogBoxIndirectParamA(nullptr, TestTemplate().get(), nullptr, &TestProc, 0);
  run.log = s.log;
  run.windows = driver.windows();
  scenario = nullptr;
  return run;
}

std::vector<std::string> Commands(const DialogRun& run) {
  std::vector<std::string> commands;
  for (const std::string& line : run.log) {
    if (line.rfind("command", 0) == 0) commands.push_back(line);
  }
  return commands;
}

// ---------------------------------------------------------------- scenarios

TEST(DialogsTest, ModalLoopResults) {
  DialogRun ended = RunTestDialog({[](HWND d) { EndDialog(d, 42); }, {}, {}, {}}, {{Press(IDOK)}});
  EXPECT_EQ(ended.result, 42);
  EXPECT_TRUE(ended.windows.empty()) << "a dialog ended in WM_INITDIALOG is never shown";

  DialogRun pressed = RunTestDialog({{},
                                     [](HWND d, int id, int) {
                                       if (id == kOther) EndDialog(d, 7);
                                     },
                                     {},
                                     {}},
                                    {{Press(kOther)}});
  EXPECT_EQ(pressed.result, 7);
  ASSERT_EQ(pressed.windows.size(), 1u);
  EXPECT_EQ(pressed.windows[0].caption, "Test");

  DialogRun left = RunTestDialog({}, {{}});  // a user who does nothing is taken as Escape
  EXPECT_EQ(left.result, IDCANCEL);
  EXPECT_EQ(Commands(left), (std::vector<std::string>{"command 2 0"}));

  EXPECT_EQ(DialogBoxParamA(static_cast<HINSTANCE>(ResourceInstance()), MAKEINTRESOURCEA(4242), nullptr,
                            &TestProc, 0),
            -1);
}

TEST(DialogsTest, PostedMessagesComeAfterTheHandlerInOrder) {
  Scenario s;
  s.init = [](HWND d) {
    PostMessageA(d, kUserPosted, 1, 0);
    PostMessageA(d, kUserPosted, 2, 0);
  };
  s.posted = [](HWND d, WPARAM n) {
    if (n == 1) {
      PostMessageA(d, kUserPosted, 3, 0);
      SendMessageA(d, kUserSent, 9, 0);  // handled at once, before anything posted
    }
  };
  DialogRun run = RunTestDialog(s, {{}});
  std::vector<std::string> log;
  for (const std::string& line : run.log) {
    if (line.rfind("focus", 0) != 0) log.push_back(line);
  }
  EXPECT_EQ(log,
            (std::vector<std::string>{"init", "posted 1", "sent 9", "posted 2", "posted 3", "command 2 0"}));
}

TEST(DialogsTest, ButtonsEnterEscapeAndFocus) {
  struct Case {
    const char* what;
    std::function<void(HWND)> init;
    UiScript script;
    std::vector<std::string> commands;
    std::vector<bool> accepted;
  } cases[] = {
      {"a button", {}, {Press(kOther), Press(IDOK)}, {"command 102 0", "command 1 0"}, {true, true}},
      {"a disabled button",
       [](HWND d) { EnableWindow(GetDlgItem(d, kOther), FALSE); },
       {Press(kOther), Press(IDOK)},
       {"command 1 0"},
       {false, true}},
      {"a hidden button",
       [](HWND d) { ShowWindow(GetDlgItem(d, kOther), SW_HIDE); },
       {Press(kOther), Press(IDOK)},
       {"command 1 0"},
       {false, true}},
      {"Enter in an edit", {}, {Focus(kEdit), Enter()}, {"command 1 0"}, {true, true}},
      {"Enter on a push button",
       {},
       {Focus(kOther), Enter(), Escape()},
       {"command 102 0", "command 2 0"},
       {true, true, true}},
      {"Escape", {}, {Escape()}, {"command 2 0"}, {true}},
      {"Enter with the default button disabled",
       [](HWND d) { EnableWindow(GetDlgItem(d, IDOK), FALSE); },
       {Focus(kEdit), Enter(), Escape()},
       {"command 2 0"},
       {true, true, true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DialogRun run = RunTestDialog({c.init, {}, {}, {}}, {c.script});
    EXPECT_EQ(Commands(run), c.commands);
    ASSERT_EQ(run.windows.size(), 1u);
    EXPECT_EQ(run.windows[0].accepted, c.accepted);
  }
}

TEST(DialogsTest, FocusStartsOnTheFirstTabStopAndIsAnnounced) {
  DialogRun run = RunTestDialog({}, {{Focus(kOther), Focus(kList), Escape()}});
  std::vector<std::string> notes;
  for (const std::string& line : run.log) {
    if (line.rfind("focus", 0) == 0 || line.rfind("command", 0) == 0) notes.push_back(line);
  }
  // Under load wine may activate the dialog after the first action and give
  // the edit its focus back once more: the same gain and loss, repeated.
  if (notes.size() >= 4 && notes[2] == notes[0] && notes[3] == notes[1])
    notes.erase(notes.begin() + 2, notes.begin() + 4);
  // The list box still has the focus when the dialog goes.
  EXPECT_EQ(notes, (std::vector<std::string>{"focus 100 256", "focus 100 512", "focus 101 4", "command 2 0",
                                             "focus 101 5"}));
  ASSERT_EQ(run.windows.size(), 1u);
  ASSERT_GE(run.windows[0].states.size(), 2u);
  EXPECT_TRUE(run.windows[0].states[0].Find(kEdit)->focused);
  EXPECT_FALSE(run.windows[0].states[1].Find(kEdit)->focused);
  EXPECT_TRUE(run.windows[0].states[1].Find(kOther)->focused);
}

TEST(DialogsTest, EditsTakeWhatTheirLimitAllows) {
  struct Case {
    const char* what;
    std::function<void(HWND)> init;
    UiScript script;
    std::string text;
    bool accepted;
    bool focusSet = false;
  } cases[] = {
      {"no limit", {}, {TypeText(kEdit, "1234567")}, "1234567", true},
      {"limit 5",
       [](HWND d) { SendDlgItemMessageA(d, kEdit, EM_LIMITTEXT, 5, 0); },
       {TypeText(kEdit, "1234567")},
       "12345",
       false},
      {"focus selects the text, typing replaces it",
       [](HWND d) {
         SetDlgItemTextA(d, kEdit, "abc");
         SendDlgItemMessageA(d, kEdit, EM_LIMITTEXT, 3, 0);
       },
       {Focus(kOther), Focus(kEdit), TypeText(kEdit, "de")},
       "de",
       true},
      {"a selection set by the program",
       [](HWND d) {
         SetDlgItemTextA(d, kEdit, "hello");
         SetFocus(GetDlgItem(d, kEdit));
         SendDlgItemMessageA(d, kEdit, EM_SETSEL, 1, 3);
       },
       {TypeText(kEdit, "X")},
       "hXlo",
       true,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Scenario s;
    s.init = c.init;
    s.focusSet = c.focusSet;
    DialogRun run = RunTestDialog(s, {c.script});
    ASSERT_EQ(run.windows.size(), 1u);
    ASSERT_FALSE(run.windows[0].states.empty());
    EXPECT_EQ(run.windows[0].states.back().Find(kEdit)->text, c.text);
    EXPECT_EQ(run.windows[0].accepted.back(), c.accepted);
  }
}

TEST(DialogsTest, ListBoxResults) {
  struct Step {
    UINT message;
    int index;
    const char* text;
    LRESULT result;
    int selectionAfter;
  };
  const std::vector<Step> steps = {
      {LB_ADDSTRING, 0, "zeta", 0, -1},          {LB_ADDSTRING, 0, "alpha", 1, -1},
      {LB_INSERTSTRING, 1, "mid", 1, -1},        {LB_INSERTSTRING, -1, "end", 3, -1},
      {LB_INSERTSTRING, 9, "far", LB_ERR, -1},   {LB_GETCOUNT, 0, nullptr, 4, -1},
      {LB_SETCURSEL, 2, nullptr, 2, 2},          {LB_GETCURSEL, 0, nullptr, 2, 2},
      {LB_DELETESTRING, 0, nullptr, 3, 1},       {LB_GETTEXTLEN, 1, nullptr, 5, 1},
      {LB_GETTEXTLEN, 7, nullptr, LB_ERR, 1},    {LB_DELETESTRING, 1, nullptr, 2, -1},
      {LB_DELETESTRING, 5, nullptr, LB_ERR, -1}, {LB_SETCURSEL, 7, nullptr, LB_ERR, -1},
      {LB_SETCURSEL, 1, nullptr, 1, 1},          {LB_SETCURSEL, static_cast<int>(-1), nullptr, LB_ERR, -1},
      {LB_GETCURSEL, 0, nullptr, LB_ERR, -1},
  };
  std::vector<std::string> failures;
  Scenario s;
  s.init = [&](HWND d) {
    for (std::size_t i = 0; i < steps.size(); ++i) {
      const Step& step = steps[i];
      LRESULT result = SendDlgItemMessageA(d, kList, step.message, static_cast<WPARAM>(step.index),
                                           reinterpret_cast<LPARAM>(step.text));
      auto selection = static_cast<int>(SendDlgItemMessageA(d, kList, LB_GETCURSEL, 0, 0));
      if (result != step.result || selection != step.selectionAfter) {
        failures.push_back("step " + std::to_string(i) + ": result " + std::to_string(result) +
                           ", selection " + std::to_string(selection));
      }
    }
    char line[32] = "";
    SendDlgItemMessageA(d, kList, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(line));
    if (std::string(line) != "mid") failures.push_back(std::string("line 0 is ") + line);
  };
  DialogRun run = RunTestDialog(s, {{PickLine(kList, 1), PickLine(kList, 5), Escape()}});
  EXPECT_EQ(failures, std::vector<std::string>{});
  EXPECT_EQ(Commands(run), (std::vector<std::string>{"command 101 1", "command 2 0"}));
  ASSERT_EQ(run.windows.size(), 1u);
  EXPECT_EQ(run.windows[0].accepted, (std::vector<bool>{true, false, true}));
  EXPECT_EQ(run.windows[0].states[1].Find(kList)->lines, (std::vector<std::string>{"mid", "end"}));
  EXPECT_EQ(run.windows[0].states[1].Find(kList)->selection, 1);
}

TEST(DialogsTest, CheckBoxMessages) {
  struct Step {
    const char* what;
    std::function<LRESULT(HWND)> call;
    LRESULT result;
    UINT autoAfter, plainAfter;  // BM_GETCHECK of each box after the step
  };
  auto setCheck = [](int id, WPARAM check) {
    return [id, check](HWND d) { return SendDlgItemMessageA(d, id, BM_SETCHECK, check, 0); };
  };
  const std::vector<Step> steps = {
      {"both open unchecked", [](HWND d) { return SendDlgItemMessageA(d, kAutoBox, BM_GETCHECK, 0, 0); }, 0,
       BST_UNCHECKED, BST_UNCHECKED},
      {"BM_SETCHECK checked", setCheck(kAutoBox, BST_CHECKED), 0, BST_CHECKED, BST_UNCHECKED},
      {"IsDlgButtonChecked", [](HWND d) { return IsDlgButtonChecked(d, kAutoBox); }, BST_CHECKED, BST_CHECKED,
       BST_UNCHECKED},
      {"CheckDlgButton checked", [](HWND d) { return CheckDlgButton(d, kPlainBox, BST_CHECKED); }, TRUE,
       BST_CHECKED, BST_CHECKED},
      {"CheckDlgButton unchecked", [](HWND d) { return CheckDlgButton(d, kAutoBox, BST_UNCHECKED); }, TRUE,
       BST_UNCHECKED, BST_CHECKED},
      {"a two-state box takes indeterminate as checked", setCheck(kAutoBox, BST_INDETERMINATE), 0,
       BST_CHECKED, BST_CHECKED},
      {"BM_SETCHECK unchecked", setCheck(kPlainBox, BST_UNCHECKED), 0, BST_CHECKED, BST_UNCHECKED},
      {"a push button keeps no check",
       [](HWND d) {
         CheckDlgButton(d, kOther, BST_CHECKED);
         return SendDlgItemMessageA(d, kOther, BM_GETCHECK, 0, 0);
       },
       BST_UNCHECKED, BST_CHECKED, BST_UNCHECKED},
      {"an unknown control", [](HWND d) { return IsDlgButtonChecked(d, 999); }, 0, BST_CHECKED,
       BST_UNCHECKED},
  };
  std::vector<std::string> failures;
  Scenario s;
  s.init = [&](HWND d) {
    for (const Step& step : steps) {
      LRESULT result = step.call(d);
      auto autoAfter = static_cast<UINT>(SendDlgItemMessageA(d, kAutoBox, BM_GETCHECK, 0, 0));
      auto plainAfter = static_cast<UINT>(SendDlgItemMessageA(d, kPlainBox, BM_GETCHECK, 0, 0));
      if (result != step.result || autoAfter != step.autoAfter || plainAfter != step.plainAfter) {
        failures.push_back(std::string(step.what) + ": result " + std::to_string(result) + ", boxes " +
                           std::to_string(autoAfter) + " " + std::to_string(plainAfter));
      }
    }
  };
  DialogRun run = RunTestDialog(s, {{}});
  EXPECT_EQ(failures, std::vector<std::string>{});
  ASSERT_EQ(run.windows.size(), 1u);
  const UiControl* box = run.windows[0].states[0].Find(kAutoBox);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->className, "Button");
  EXPECT_TRUE(box->checked) << "the state set in WM_INITDIALOG is what the user sees";
  EXPECT_FALSE(run.windows[0].states[0].Find(kPlainBox)->checked);
}

// What the user's press does to each kind of check box, and what the dialog
// procedure reads when BN_CLICKED comes.
TEST(DialogsTest, CheckBoxPresses) {
  struct Case {
    const char* what;
    std::function<void(HWND)> init;
    std::function<void(HWND, int, int)> command;
    UiScript script;
    std::vector<std::string> log;  // commands, each box's with the state it read
    std::vector<bool> accepted;
    bool autoChecked, plainChecked;  // what the user sees at the end
  } cases[] = {
      {"an auto box turns over before its dialog hears of it",
       {},
       {},
       {Press(kAutoBox), Press(kAutoBox), Press(kAutoBox)},
       {"command 104 0", "reads 1", "command 104 0", "reads 0", "command 104 0", "reads 1"},
       {true, true, true},
       true,
       false},
      {"a plain box only tells its dialog",
       {},
       {},
       {Press(kPlainBox)},
       {"command 105 0", "reads 0"},
       {true},
       false,
       false},
      {"a plain box its dialog turns over",
       {},
       [](HWND d, int id, int) {
         if (id == kPlainBox) CheckDlgButton(d, kPlainBox, IsDlgButtonChecked(d, kPlainBox) ? 0 : 1);
       },
       {Press(kPlainBox)},
       {"command 105 0", "reads 0"},
       {true},
       false,
       true},
      {"a box checked by the program is unchecked by a press",
       [](HWND d) { CheckDlgButton(d, kAutoBox, BST_CHECKED); },
       {},
       {Press(kAutoBox)},
       {"command 104 0", "reads 0"},
       {true},
       false,
       false},
      {"a disabled box cannot be pressed",
       [](HWND d) { EnableWindow(GetDlgItem(d, kAutoBox), FALSE); },
       {},
       {Press(kAutoBox)},
       {},
       {false},
       false,
       false},
      {"Enter on a check box presses the default button",
       {},
       {},
       {Press(kAutoBox), Enter()},
       {"command 104 0", "reads 1", "command 1 0"},
       {true, true},
       true,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Scenario s;
    s.init = c.init;
    s.command = [&c](HWND d, int id, int code) {
      if (id == kAutoBox || id == kPlainBox)
        scenario->log.push_back("reads " + std::to_string(IsDlgButtonChecked(d, id)));
      if (c.command) c.command(d, id, code);
    };
    DialogRun run = RunTestDialog(s, {c.script});
    std::vector<std::string> log;
    for (const std::string& line : run.log) {
      if (line.rfind("command", 0) == 0 || line.rfind("reads", 0) == 0) log.push_back(line);
    }
    // The dialog ends by Escape when the script has not ended it.
    if (!log.empty() && log.back() == "command 2 0") log.pop_back();
    EXPECT_EQ(log, c.log);
    ASSERT_EQ(run.windows.size(), 1u);
    EXPECT_EQ(run.windows[0].accepted, c.accepted);
    const UiSnapshot& last = run.windows[0].states.back();
    EXPECT_EQ(last.Find(kAutoBox)->checked, c.autoChecked);
    EXPECT_EQ(last.Find(kPlainBox)->checked, c.plainChecked);
    if (c.accepted[0]) {
      EXPECT_TRUE(run.windows[0].states.at(1).Find(c.script[0].id)->focused)
          << "a press gives the box the focus";
    }
  }
}

TEST(DialogsTest, GetDlgItemIntParsesAsWin32) {
  struct Case {
    const char* text;
    BOOL isSigned;
    UINT value;
    BOOL translated;
  } cases[] = {
      {"12", FALSE, 12, TRUE},
      {"  12", FALSE, 12, TRUE},
      {"+7", TRUE, 7, TRUE},
      {"-5", TRUE, static_cast<UINT>(-5), TRUE},
      {"-5", FALSE, static_cast<UINT>(-5), TRUE},  // the C library's strtoul negates
      {"-1", FALSE, 4294967295u, TRUE},
      {"", FALSE, 0, FALSE},
      {"abc", TRUE, 0, FALSE},
      {"-", TRUE, 0, FALSE},
      {"0", FALSE, 0, TRUE},
      {"4294967294", FALSE, 4294967294u, TRUE},
      {"4294967295", FALSE, 4294967295u, TRUE},
      {"99999999999", FALSE, 0, FALSE},
      {"2147483646", TRUE, 2147483646u, TRUE},
      {"2147483647", TRUE, 0, FALSE},
      {"-2147483647", TRUE, static_cast<UINT>(-2147483647), TRUE},
  };
  std::vector<std::string> failures;
  Scenario s;
  s.init = [&](HWND d) {
    for (const Case& c : cases) {
      SetDlgItemTextA(d, kEdit, c.text);
      BOOL translated = -1;
      UINT value = GetDlgItemInt(d, kEdit, &translated, c.isSigned);
      if (value != c.value || translated != c.translated) {
        failures.push_back(std::string("'") + c.text + (c.isSigned ? "' signed: " : "' unsigned: ") +
                           std::to_string(value) + " " + std::to_string(translated));
      }
    }
    SetDlgItemInt(d, kLabel, static_cast<UINT>(-3), TRUE);
    char text[16] = "";
    GetDlgItemTextA(d, kLabel, text, sizeof text);
    if (std::string(text) != "-3") failures.push_back(std::string("SetDlgItemInt signed gave ") + text);
    SetDlgItemInt(d, kLabel, static_cast<UINT>(-3), FALSE);
    GetDlgItemTextA(d, kLabel, text, sizeof text);
    if (std::string(text) != "4294967293")
      failures.push_back(std::string("SetDlgItemInt unsigned gave ") + text);
  };
  RunTestDialog(s, {{}});
  EXPECT_EQ(failures, std::vector<std::string>{});
}

TEST(DialogsTest, GeometryInPixels) {
  std::vector<std::string> failures;
  Scenario s;
  s.init = [&](HWND d) {
    RECT r{4, 8, 140, 50};
    MapDialogRect(d, &r);
    if (r.left != 7 || r.top != 13 || r.right != 245 || r.bottom != 81) failures.push_back("MapDialogRect");
    RECT client{};
    GetClientRect(d, &client);
    if (client.right != 350 || client.bottom != 163) failures.push_back("client rectangle");
    RECT window{};
    GetWindowRect(d, &window);
    if (window.right - window.left != 356 || window.bottom - window.top != 188)
      failures.push_back("window size");
    if (GetParent(GetDlgItem(d, kOther)) != d) failures.push_back("parent");
  };
  DialogRun run = RunTestDialog(s, {{}});
  EXPECT_EQ(failures, std::vector<std::string>{});
  ASSERT_EQ(run.windows.size(), 1u);
  EXPECT_EQ(run.windows[0].width, 350);
  EXPECT_EQ(run.windows[0].height, 163);
  const UiControl* other = run.windows[0].states[0].Find(kOther);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ((std::vector<int>{other->x, other->y, other->width, other->height}),
            (std::vector<int>{245, 81, 88, 23}));
  EXPECT_EQ(run.windows[0].states[0].Find(kLabel)->className, "Static");
  EXPECT_EQ(run.windows[0].states[0].Find(kList)->className, "ListBox");
}

// What the open and save dialogs' hooks do to windows: move a control, centre
// a dialog on the desktop, keep values in window longs, cut texts to a buffer.
TEST(DialogsTest, MovingCentringWindowLongsAndShortBuffers) {
  std::vector<std::string> failures;
  auto check = [&failures](bool ok, const char* what) {
    if (!ok) failures.push_back(what);
  };
  Scenario s;
  s.init = [&](HWND d) {
    HWND other = GetDlgItem(d, kOther);
    check(MoveWindow(other, 10, 20, 30, 40, FALSE) != FALSE, "MoveWindow");
    RECT r{};
    GetWindowRect(other, &r);
    check(r.right - r.left == 30 && r.bottom - r.top == 40, "moved size");
    RECT desktop{};
    GetClientRect(GetDesktopWindow(), &desktop);
    check(desktop.right == 1024 && desktop.bottom == 768, "desktop size");
    RECT window{};
    GetWindowRect(d, &window);
    int width = window.right - window.left, height = window.bottom - window.top;
    check(SetWindowPos(d, nullptr, (desktop.right - width) / 2, (desktop.bottom - height) / 2, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER) != FALSE,
          "SetWindowPos");
    GetWindowRect(d, &window);
    check(window.left == (1024 - width) / 2 && window.top == (768 - height) / 2, "centred");
    check(window.right - window.left == width && window.bottom - window.top == height, "size kept");
    check(GetWindowLongA(other, GWL_ID) == kOther, "GWL_ID");
    check((GetWindowLongA(other, GWL_STYLE) & (WS_CHILD | WS_VISIBLE | WS_TABSTOP)) ==
              (WS_CHILD | WS_VISIBLE | WS_TABSTOP),
          "GWL_STYLE");
    SetWindowLongPtrA(d, DWLP_USER, 1234);
    check(GetWindowLongPtrA(d, DWLP_USER) == 1234, "DWLP_USER");
    check(ShowWindow(other, SW_HIDE) != FALSE, "ShowWindow returns the earlier visibility");
    check(ShowWindow(other, SW_SHOW) == FALSE, "ShowWindow of a hidden window");
    check(EnableWindow(other, FALSE) == FALSE, "EnableWindow of an enabled window");
    check(EnableWindow(other, TRUE) != FALSE, "EnableWindow of a disabled window");
    SetDlgItemTextA(d, kLabel, "abcdef");
    char text[4] = "";
    check(GetDlgItemTextA(d, kLabel, text, sizeof text) == 3 && std::string(text) == "abc",
          "GetDlgItemTextA cut");
    check(GetWindowTextA(GetDlgItem(d, kLabel), text, 1) == 0 && text[0] == '\0', "GetWindowTextA of 1 byte");
    check(SendMessageA(GetDlgItem(d, kLabel), WM_GETTEXTLENGTH, 0, 0) == 6, "WM_GETTEXTLENGTH");
  };
  DialogRun run = RunTestDialog(s, {{}});
  EXPECT_EQ(failures, std::vector<std::string>{});
  ASSERT_EQ(run.windows.size(), 1u);
  const UiControl* other = run.windows[0].states[0].Find(kOther);
  EXPECT_EQ((std::vector<int>{other->x, other->y, other->width, other->height}),
            (std::vector<int>{10, 20, 30, 40}));
}

TEST(DialogsTest, MessageBoxesAndNestedDialogsFromAButton) {
  Scenario s;
  s.command = [](HWND d, int id, int) {
    if (id != kOther) return;
    int answer = MessageBoxA(d, "Keep it?", nullptr, MB_YESNO | MB_ICONWARNING);
    SetDlgItemInt(d, kLabel, static_cast<UINT>(answer), FALSE);
    Scenario* outer = scenario;
    Scenario inner;
    scenario = &inner;
    INT_PTR nested = DialogBoxIndirectParamA(nullptr, TestTemplate().get(), d, &TestProc, 0);
    scenario = outer;
    outer->log.push_back("nested " + std::to_string(nested));
  };
  DialogRun run =
      RunTestDialog(s, {{Press(kOther), Press(IDOK)}, {Answer(IDNO)}, {TypeText(kEdit, "in"), Press(IDOK)}});
  EXPECT_EQ(run.result, IDOK);
  EXPECT_EQ(Commands(run), (std::vector<std::string>{"command 102 0", "command 1 0"}));
  EXPECT_NE(std::find(run.log.begin(), run.log.end(), "nested 1"), run.log.end());
  ASSERT_EQ(run.windows.size(), 3u);
  EXPECT_TRUE(run.windows[1].messageBox);
  EXPECT_EQ(run.windows[1].caption, "Error");  // Win32's caption when none is given
  EXPECT_EQ(run.windows[1].text, "Keep it?");
  EXPECT_TRUE(run.windows[1].warningIcon);
  EXPECT_FALSE(run.windows[2].messageBox);
  EXPECT_EQ(run.windows[2].states.back().Find(kEdit)->text, "in");
  EXPECT_EQ(run.windows[0].states.at(1).Find(kLabel)->text, "7");  // IDNO
}

TEST(DialogsTest, BadHandlesAndUnknownControlsFailQuietly) {
  HWND kept = nullptr;
  std::vector<std::string> failures;
  Scenario s;
  s.init = [&](HWND d) {
    kept = d;
    if (GetDlgItem(d, 999) != nullptr) failures.push_back("GetDlgItem of an unknown ID");
    if (SetDlgItemTextA(d, 999, "x")) failures.push_back("SetDlgItemTextA of an unknown ID");
    if (SendDlgItemMessageA(d, 999, LB_GETCOUNT, 0, 0) != 0) failures.push_back("SendDlgItemMessageA");
    BOOL translated = TRUE;
    if (GetDlgItemInt(d, 999, &translated, FALSE) != 0 || translated) failures.push_back("GetDlgItemInt");
    char text[8] = "xx";
    if (GetDlgItemTextA(d, 999, text, sizeof text) != 0 || text[0] != '\0')
      failures.push_back("GetDlgItemTextA");
  };
  RunTestDialog(s, {{}});
  EXPECT_EQ(failures, std::vector<std::string>{});
  EXPECT_FALSE(IsWindow(kept));
  EXPECT_EQ(SendMessageA(kept, WM_GETTEXTLENGTH, 0, 0), 0);
  EXPECT_EQ(GetDlgItem(kept, IDOK), nullptr);
  EXPECT_FALSE(EndDialog(kept, 1));
  EXPECT_FALSE(SetDlgItemTextA(kept, kEdit, "x"));
  RECT r{};
  EXPECT_FALSE(GetWindowRect(kept, &r));
  EXPECT_FALSE(PostMessageA(kept, kUserPosted, 0, 0));
}

}  // namespace
}  // namespace imexp::test
