// A stand-in for the GTK presenter library with its export, for the
// dialog commands' tests: a user who answers every dialog the same way,
// chosen by IMEXP_FAKE_USER, and who reports on stderr what was shown.
//   escape       presses Escape in every dialog (the default)
//   enter        presses Enter in every dialog
//   type:TEXT    types TEXT into a file dialog's name box, then Enter
//   type:TEXT;image:N  the same, and N into Select Image's number field
//   no-display   ImExpGtk_Presenter finds no display
// Each dialog is reported as "dialog: CAPTION | TEXT | ..." with its
// controls' texts, each message box as "message box: CAPTION: TEXT".
#include <imexp/presenter.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The name box of a file dialog on our layer, and Select Image's number.
constexpr int kFileNameBox = 1152;
constexpr int kImageNumberField = 102;
constexpr const char* kTypePrefix = "type:";
constexpr const char* kImageSeparator = ";image:";

std::string User() {
  const char* user = std::getenv("IMEXP_FAKE_USER");
  return user != nullptr ? user : "escape";
}

class FakeUser final : public imexp::Presenter {
 public:
  int ShowMessageBox(void*, const char* text, const char* caption, unsigned) override {
    std::fprintf(stderr, "message box: %s: %s\n", caption, text);
    return imexp::kAnswerOk;
  }
  void RunDialog(imexp::DialogView& dialog) override {
    std::string shown = "dialog: " + dialog.Caption();
    for (const imexp::ControlState& control : dialog.Controls()) {
      if (!control.text.empty()) shown += " | " + control.text;
    }
    std::fprintf(stderr, "%s\n", shown.c_str());
    std::string user = User();
    if (user.rfind(kTypePrefix, 0) == 0) {
      const std::size_t image = user.find(kImageSeparator);
      const std::size_t start = std::string(kTypePrefix).size();
      if (dialog.IsFileDialog()) {
        dialog.Type(kFileNameBox, user.substr(start, image == std::string::npos ? image : image - start));
      } else if (image != std::string::npos && dialog.Caption() == "Select Image") {
        dialog.Type(kImageNumberField, user.substr(image + std::string(kImageSeparator).size()));
      }
      dialog.PressEnter();
    } else if (user == "enter") {
      dialog.PressEnter();
    } else {
      dialog.PressEscape();
    }
  }
};

FakeUser g_user;

}  // namespace

extern "C" __attribute__((visibility("default"))) imexp::Presenter* ImExpGtk_Presenter() {
  return User() == "no-display" ? nullptr : &g_user;
}
