// The command-line host on POSIX: signals, isatty, dlopen, and the hooks
// the manager's POSIX layer exports for what Win32 would do itself: message
// boxes, strings, and the GTK presenter for the dialog commands.
#include <dlfcn.h>
#include <signal.h>
#include <unistd.h>

#include <imexp/host.h>
#include <imexp/presenter.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "tools/imexp/console_progress.h"
#include "tools/imexp/host_platform.h"
#include "tools/imexp/user_messages.h"

namespace imexp::cli {

namespace {

// Set by the signal handler, read by the reading and the writing thread: a
// lock-free atomic is both safe in a handler and ordered between threads.
std::atomic<int> g_cancel{0};
static_assert(std::atomic<int>::is_always_lock_free);
std::atomic<int> g_messages{0};

extern "C" void OnInterrupt(int) { g_cancel.store(1); }

// Prints each message box on its own line, past the progress bar.
class MessagePrinter final : public imexp::Presenter {
 public:
  // The tool opens no dialog; one that a converter opens is left at once.
  void RunDialog(imexp::DialogView&) override {}
  int ShowMessageBox(void*, const char* text, const char* caption, unsigned) override {
    TellUser(std::string(caption != nullptr ? caption : "") + ": " + (text != nullptr ? text : ""));
    ++g_messages;
    return imexp::kAnswerOk;
  }
};

// The GTK presenter: its own library, so that the manager and this tool
// link no toolkit. It lies beside the manager: in a build tree that is the
// program's folder too, in an install the library folder.
constexpr const char* kPresenterLibrary = "libimexp_gtk.so";
using PresenterFn = imexp::Presenter* (*)();

// Passes everything to the GTK presenter, counting the message boxes.
class CountingPresenter final : public imexp::Presenter {
 public:
  explicit CountingPresenter(imexp::Presenter& shown) : shown_(shown) {}
  int ShowMessageBox(void* owner, const char* text, const char* caption, unsigned type) override {
    ++g_messages;
    return shown_.ShowMessageBox(owner, text, caption, type);
  }
  void RunDialog(imexp::DialogView& dialog) override { shown_.RunDialog(dialog); }
  void DialogChanged(imexp::DialogView& dialog) override { shown_.DialogChanged(dialog); }

 private:
  imexp::Presenter& shown_;
};

// GTK reads these two to find a display; without either it cannot open one.
const char* DisplayName() {
  for (const char* variable : {"WAYLAND_DISPLAY", "DISPLAY"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] != '\0') return value;
  }
  return nullptr;
}

// The folder of the manager library this program runs with.
std::string ManagerFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ImExp_ReadFile), &info) == 0 || info.dli_fname == nullptr) return ".";
  return std::filesystem::path(info.dli_fname).parent_path().string();
}

// The presenter library loaded for the rest of the process, or null once
// the reason has been printed. It is never unloaded: GTK does not support
// being unloaded from a process that has used it.
void* LoadPresenter(const char* command) {
  std::string path = ManagerFolder() + "/" + kPresenterLibrary;
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    // The loader's reason names the file.
    const char* reason = dlerror();
    std::fprintf(stderr, "imexp: %s needs the GTK presenter: %s\n", command,
                 reason != nullptr ? reason : path.c_str());
  }
  return library;
}

}  // namespace

DialogSession::DialogSession(const char* command) {
  const char* display = DisplayName();
  if (display == nullptr) {
    std::fprintf(stderr, "imexp: %s needs a graphical display (DISPLAY or WAYLAND_DISPLAY)\n", command);
    return;
  }
  void* library = LoadPresenter(command);
  if (library == nullptr) return;
  auto presenter = reinterpret_cast<PresenterFn>(dlsym(library, "ImExpGtk_Presenter"));
  if (presenter == nullptr) {
    std::fprintf(stderr, "imexp: %s: %s is not the GTK presenter\n", command, kPresenterLibrary);
    return;
  }
  imexp::Presenter* shown = presenter();
  if (shown == nullptr) {
    std::fprintf(stderr, "imexp: %s cannot open the display %s\n", command, display);
    return;
  }
  static CountingPresenter counting(*shown);
  ImExpPosix_SetPresenter(&counting);
  ready_ = true;
}

DialogSession::~DialogSession() {
  if (ready_) InstallMessagePrinter();
}

bool IsStderrTerminal() { return isatty(STDERR_FILENO) == 1; }

void InstallCancelHandler() {
  struct sigaction action {};
  action.sa_handler = &OnInterrupt;
  sigemptyset(&action.sa_mask);
  // Interrupted reads and writes resume: the operation itself notices the
  // flag at its next row and unwinds through the manager's clean-up.
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
}

bool CancelRequested() { return g_cancel.load() != 0; }

void ReportFileSizeLimitAsError() { signal(SIGXFSZ, SIG_IGN); }

void InstallMessagePrinter() {
  static MessagePrinter printer;
  ImExpPosix_SetPresenter(&printer);
}

int MessagesShown() { return g_messages; }

// The presenter serves every thread.
void PrepareOperationThread() {}

std::string ManagerString(unsigned id) {
  char buffer[512];
  int length = ImExpPosix_LoadString(id, buffer, sizeof buffer);
  return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

const ManagerFunctions& Manager() {
  static const ManagerFunctions functions{&ImExp_ReadFile,
                                          &ImExp_ReadFileImage,
                                          &ImExp_WriteFile,
                                          &ImExp_GetFileInfo,
                                          &ImExp_GetImageInfo,
                                          &FindReader,
                                          &FindWriter,
                                          &FillSaveFormatsInfo,
                                          &ImExp_InstallConverter,
                                          &ImExp_RemoveConverter,
                                          &ImExp_GetConverterRecord,
                                          &ImExp_ShowFileInfo,
                                          &ImExp_ConfigureConverters,
                                          &ImExp_SelectFileAndRead,
                                          &ImExp_SelectFileToRead,
                                          &ImExp_SelectFileAndWrite};
  return functions;
}

std::string NativePath(const std::string& path) { return path; }

}  // namespace imexp::cli
