// The command-line host on POSIX: signals, isatty, dlopen, and the hooks
// the manager's POSIX layer exports for what Win32 would do itself.
#include <dlfcn.h>
#include <signal.h>
#include <unistd.h>

#include <imexp/host.h>
#include <imexp/presenter.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "tools/imexp/console_progress.h"
#include "tools/imexp/host_platform.h"

namespace imexp::cli {

namespace {

volatile sig_atomic_t g_cancel = 0;
int g_messages = 0;

extern "C" void OnInterrupt(int) { g_cancel = 1; }

// Prints each message box on its own line, past the progress bar.
class MessagePrinter final : public imexp::Presenter {
 public:
  // The tool opens no dialog; one that a converter opens is left at once.
  void RunDialog(imexp::DialogView&) override {}
  int ShowMessageBox(void*, const char* text, const char* caption, unsigned) override {
    ClearProgressLine();
    std::fprintf(stderr, "%s: %s\n", caption != nullptr ? caption : "", text != nullptr ? text : "");
    std::fflush(stderr);
    ++g_messages;
    return imexp::kAnswerOk;
  }
};

}  // namespace

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

bool CancelRequested() { return g_cancel != 0; }

void ReportFileSizeLimitAsError() { signal(SIGXFSZ, SIG_IGN); }

void InstallMessagePrinter() {
  static MessagePrinter printer;
  ImExpPosix_SetPresenter(&printer);
}

int MessagesPrinted() { return g_messages; }

std::string ManagerString(unsigned id) {
  char buffer[512];
  int length = ImExpPosix_LoadString(id, buffer, sizeof buffer);
  return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

const ManagerFunctions& Manager() {
  static const ManagerFunctions functions{&ImExp_ReadFile, &ImExp_WriteFile, &ImExp_GetFileInfo, &FindReader,
                                          &FillSaveFormatsInfo, &ImExp_InstallConverter, &ImExp_RemoveConverter};
  return functions;
}

std::string ManagerPath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ImExp_ReadFile), &info) == 0 || info.dli_fname == nullptr) return "";
  char resolved[PATH_MAX];
  return realpath(info.dli_fname, resolved) != nullptr ? resolved : info.dli_fname;
}

bool IsAbsoluteConverterPath(const std::string& value) {
  // The manager also takes a drive letter as absolute, so that a list
  // written on Windows means the same here.
  return !value.empty() && (value[0] == '/' || (value.size() > 1 && value[1] == ':'));
}

std::string NativePath(const std::string& path) { return path; }

ConverterLibrary::ConverterLibrary(const std::string& path) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

ConverterLibrary::~ConverterLibrary() {
  if (handle_ != nullptr) dlclose(handle_);
}

void* ConverterLibrary::Symbol(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }

}  // namespace imexp::cli
