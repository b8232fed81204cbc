// A scripted user for dialogs and message boxes, the same for both builds:
// on POSIX a presenter installed in the platform layer, on Windows a hook
// and a timer that find each dialog of the thread as it opens and act on
// the real windows. The n-th window to open (dialog or message box) plays
// the n-th script; what it showed is recorded when it opened and after
// every action.
#pragma once

#include <string>
#include <vector>

namespace imexp::test {

class Library;

struct UiAction {
  enum Kind { kPress, kType, kPickLine, kFocus, kEnter, kEscape, kAnswer } kind;
  int id = 0;        // the control (kPress, kType, kPickLine, kFocus); the button (kAnswer)
  std::string text;  // kType
  int line = 0;      // kPickLine
};

inline UiAction Press(int id) { return {UiAction::kPress, id, "", 0}; }
inline UiAction TypeText(int id, std::string text) { return {UiAction::kType, id, std::move(text), 0}; }
inline UiAction PickLine(int id, int line) { return {UiAction::kPickLine, id, "", line}; }
inline UiAction Focus(int id) { return {UiAction::kFocus, id, "", 0}; }
inline UiAction Enter() { return {UiAction::kEnter, 0, "", 0}; }
inline UiAction Escape() { return {UiAction::kEscape, 0, "", 0}; }
inline UiAction Answer(int button) { return {UiAction::kAnswer, button, "", 0}; }

using UiScript = std::vector<UiAction>;

struct UiControl {
  int id = 0;
  std::string className;  // "Button", "Edit", "Static", "ListBox"
  std::string text;
  int x = 0, y = 0, width = 0, height = 0;  // pixels in the dialog's client area
  bool enabled = false, visible = false, focused = false;
  std::vector<std::string> lines;
  int selection = -1;
  bool checked = false;  // a check box's state
};

struct UiSnapshot {
  std::vector<UiControl> controls;
  // The control `id` (the first of that ID); null when there is none.
  const UiControl* Find(int id) const;
};

struct UiWindowRecord {
  bool messageBox = false;
  std::string caption;
  std::string text;  // a message box's text
  bool errorIcon = false, warningIcon = false;
  int width = 0, height = 0;       // a dialog's client area in pixels
  std::vector<UiSnapshot> states;  // when it opened, then after each action while it ran
  std::vector<bool> accepted;      // each action: could the user do it?
};

class UiDriver {
 public:
  // `manager`: the manager library whose layer shows the windows (POSIX);
  // null for the platform layer linked into the test program.
  explicit UiDriver(std::vector<UiScript> scripts, const Library* manager = nullptr);
  ~UiDriver();
  UiDriver(const UiDriver&) = delete;
  UiDriver& operator=(const UiDriver&) = delete;
  const std::vector<UiWindowRecord>& windows() const;

  struct Impl;

 private:
  Impl* impl_;
};

}  // namespace imexp::test
