// What the command-line host does differently on POSIX and on Windows: the
// terminal, Ctrl-C, the manager's message boxes and strings, how its
// functions are reached. One implementation file per platform; nothing else
// in the tool knows which one it runs on.
#pragma once

#include <imexp/host.h>

#include <string>

namespace imexp::cli {

// True when stderr is a terminal (a console window on Windows), so that a
// progress bar there is seen rather than logged.
bool IsStderrTerminal();

// From now on Ctrl-C only sets a flag that CancelRequested reports; the
// operation in progress then ends itself at its next progress update.
void InstallCancelHandler();
[[nodiscard]] bool CancelRequested();

// A write past the process's file-size limit (ulimit -f) fails with an error
// that the manager reports and recovers from, instead of ending the program
// (POSIX sends SIGXFSZ, whose default is to end the process).
void ReportFileSizeLimitAsError();

// Routes the manager's message boxes to stderr ("caption: text") and
// answers each with OK, so that the tool never waits for a click. A
// DialogSession takes over from it.
void InstallMessagePrinter();
// Readies a thread other than the main one to run a manager operation whose
// messages are printed as the main thread's are.
void PrepareOperationThread();
// How many of the manager's messages have reached the user so far, printed
// or shown by a dialog command: a failed operation that showed none has to
// be explained by the tool itself, and a dialog that ended without one was
// cancelled.
int MessagesShown();

// String `id` of the manager's own string table, in the language the
// manager shows; empty when there is no such string.
std::string ManagerString(unsigned id);

// The manager's exported functions. A host on 32-bit Windows cannot link
// them by name: the manager exports its stdcall functions undecorated and
// its import library has only those names, so they are looked up instead.
struct ManagerFunctions {
  ImExp_ReadFileFn readFile = nullptr;
  ImExp_ReadFileImageFn readFileImage = nullptr;
  ImExp_WriteFileFn writeFile = nullptr;
  ImExp_GetFileInfoFn getFileInfo = nullptr;
  ImExp_GetImageInfoFn getImageInfo = nullptr;
  FindReaderFn findReader = nullptr;
  FindWriterFn findWriter = nullptr;
  FillSaveFormatsInfoFn fillSaveFormatsInfo = nullptr;
  ImExp_InstallConverterFn installConverter = nullptr;
  ImExp_RemoveConverterFn removeConverter = nullptr;
  ImExp_GetConverterRecordFn getConverterRecord = nullptr;
  ImExp_ShowFileInfoFn showFileInfo = nullptr;
  ImExp_ConfigureConvertersFn configureConverters = nullptr;
  ImExp_SelectFileAndReadFn selectFileAndRead = nullptr;
  ImExp_SelectFileToReadFn selectFileToRead = nullptr;
  ImExp_SelectFileAndWriteFn selectFileAndWrite = nullptr;
};
// Never returns with a function missing: the program ends with a message.
const ManagerFunctions& Manager();

// The user's side of the manager's dialogs while a command that shows them
// runs: their message boxes are shown to the user (and counted), not
// printed; the printer is back when it ends. On Windows the dialogs are Win32's own. On POSIX they need an X
// or Wayland display and the GTK presenter library beside the program,
// loaded only now so that the other commands never pay for the toolkit.
class DialogSession {
 public:
  // When the dialogs cannot be shown, says why on stderr, naming `command`,
  // and ready() is false.
  explicit DialogSession(const char* command);
  ~DialogSession();
  DialogSession(const DialogSession&) = delete;
  DialogSession& operator=(const DialogSession&) = delete;
  bool ready() const { return ready_; }

 private:
  bool ready_ = false;
};

// The platform's spelling of a path the user typed.
std::string NativePath(const std::string& path);

}  // namespace imexp::cli
