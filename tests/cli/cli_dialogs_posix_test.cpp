// The dialog commands (setup, info --dialog, open, save) on a copy of the
// program: without a display or a presenter they fail at once; with a
// stand-in presenter they show the manager's dialogs and message boxes
// through it and tell a cancel from a failure. POSIX only: on Windows the
// dialogs are Win32's own and would wait for a real user.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <optional>

#include "tests/cli/cli_support.h"

namespace imexp::test::cli {
namespace {

// A command that needs no display must not wait for one: this catches a
// hang, not a slow start.
constexpr auto kPromptly = std::chrono::seconds(1);
// Where an expectation names the copy's folder.
constexpr const char* kFolderToken = "%DIR%";

// Sets (null: unsets) an environment variable for the programs run while
// it exists.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    value != nullptr ? setenv(name, value, 1) : unsetenv(name);
  }
  ~ScopedVariable() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

std::string Filled(std::string text, const std::string& folder) {
  for (std::size_t at = text.find(kFolderToken); at != std::string::npos; at = text.find(kFolderToken)) {
    text.replace(at, std::string(kFolderToken).size(), folder);
  }
  return text;
}

struct DialogCase {
  const char* display;  // DISPLAY; WAYLAND_DISPLAY is always unset
  bool presenter;       // the stand-in beside the copy
  std::string user;     // how it answers (IMEXP_FAKE_USER)
  std::vector<std::string> args;
  int status;
  std::string out;  // fragments, with kFolderToken for the copy's folder
  std::string err;
};

TEST(CliDialogs, ShownThroughThePresenterOrRefusedAtOnce) {
  const std::string pal256 = Sample("pcx/pal256.pcx");
  const std::string pages = Sample("dcx/three-pages.dcx");
  const std::string rgb = Sample("bmp/rgb24.bmp");
  const std::string noDisplay = " needs a graphical display (DISPLAY or WAYLAND_DISPLAY)";
  const std::string noFile = "message box: Converter Error: Cannot open file ";
  // clang-format off
  const DialogCase cases[] = {
      // No display: refused before anything is loaded, presenter or not.
      {nullptr, true, "enter", {"setup"}, 2, "", "imexp: setup" + noDisplay},
      {nullptr, true, "enter", {"info", "--dialog", pal256}, 2, "", "imexp: info --dialog" + noDisplay},
      {nullptr, true, "enter", {"open"}, 2, "", "imexp: open" + noDisplay},
      {nullptr, true, "enter", {"save", rgb}, 2, "", "imexp: save" + noDisplay},
      {":0", false, "enter", {"open"}, 2, "", "imexp: open needs the GTK presenter: %DIR%/libimexp_gtk.so"},
      {":0", true, "no-display", {"setup"}, 2, "", "imexp: setup cannot open the display :0"},
      // Message boxes reach the presenter, not the printer.
      {":0", true, "escape", {"setup"}, 0, "", "dialog: Converter Setup"},
      {":0", true, "enter", {"info", "--dialog", pal256}, 0, "", "dialog: Image Info | File Name :"},
      {":0", true, "escape", {"info", "--dialog", pages}, 1, "", "dialog: Select Image"},
      {":0", true, "escape", {"info", "--dialog", pages}, 1, "", "imexp: cancelled"},
      {":0", true, "enter", {"info", "--dialog", pages, "--image", "2"}, 0, "", " | 3 / 3 | "},
      {":0", true, "enter", {"info", "--dialog", "%DIR%/none.pcx"}, 1, "",
       noFile + "none.pcx\nimexp: describing %DIR%/none.pcx failed"},
      {":0", true, "escape", {"open"}, 1, "", "imexp: cancelled"},
      {":0", true, "type:" + pal256, {"open"}, 0,
       "  File Name : " + pal256 + "\n Dimensions : 61 X 41\n       Type : Color Paletted\n"
       "     Colors : 256\n", ""},
      // A file of several images: Select Image, then the image chosen.
      {":0", true, "type:" + pages + ";image:3", {"open"}, 0,
       "  File Name : " + pages + "\n Dimensions : 61 X 41\n       Type : RGB\n", "dialog: Select Image"},
      {":0", true, "type:" + pages, {"open"}, 0, "       Type : Color Paletted\n     Colors : 256\n",
       " | " + fs::path(pages).filename().string() + " | 3\n"},
      // A file the readers refuse is a failure the manager has shown, not a cancel.
      {":0", true, "type:%DIR%/CONVERT.INI", {"open"}, 1, "",
       "message box: Converter Error: Unknown image file format CONVERT.INI\n"},
      {":0", true, "escape", {"save", rgb}, 1, "", "imexp: cancelled"},
      {":0", true, "enter", {"save", rgb}, 0, "saved %DIR%/saved/rgb24.bmp\n", ""},
      {":0", true, "enter", {"save", "%DIR%/none.bmp"}, 1, "",
       noFile + "none.bmp\n"},
  };
  // clang-format on
  ScopedVariable noWayland("WAYLAND_DISPLAY", nullptr);
  for (const DialogCase& c : cases) {
    ToolCopy tool;
    std::string folder = tool.Path("");
    folder.pop_back();
    std::vector<std::string> args;
    for (const std::string& arg : c.args) args.push_back(Filled(arg, folder));
    SCOPED_TRACE(args[0] + " " + (args.size() > 1 ? args.back() : "") + " as " + c.user);
    if (c.presenter)
      fs::copy_file(ExecutableDir() / SharedLibraryName("imexp_cli_fake_presenter"),
                    tool.Path("libimexp_gtk.so"));
    // Settings of its own, whatever the build's list has picked up.
    fs::create_directory(tool.Path("saved"));
    WriteFileBytes(tool.Path("CONVERT.INI"),
                   "[Converters]\n0=imexp_bmp.so\n1=imexp_pnm.so\n2=imexp_pcx.so\n"
                   "3=imexp_dcx.so\n[Settings]\nSaveDir=" +
                       tool.Path("saved") + "\n");
    ScopedVariable display("DISPLAY", c.display);
    std::string answers = Filled(c.user, folder);
    ScopedVariable user("IMEXP_FAKE_USER", answers.c_str());

    auto start = std::chrono::steady_clock::now();
    RunResult run = tool.Run(args);
    auto took = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(CleanExit(run), "");
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE(run.out.find(Filled(c.out, folder)), std::string::npos) << run.out;
    EXPECT_NE(run.err.find(Filled(c.err, folder)), std::string::npos) << run.err;
    if (c.status == 2) EXPECT_LT(took, kPromptly);
    // Only a user who pressed Escape cancelled; a failure is never passed off as that.
    if (c.user != "escape") EXPECT_EQ(run.err.find("imexp: cancelled"), std::string::npos);
    if (c.status == 0 && args[0] == "save")
      EXPECT_EQ(RunImexp({"detect", tool.Path("saved/rgb24.bmp")}).status, 0);
  }
}

}  // namespace
}  // namespace imexp::test::cli
