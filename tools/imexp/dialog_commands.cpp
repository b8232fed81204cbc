// imexp setup, info --dialog, open and save: the manager's own dialogs,
// opened through its exports as an image editor opens them. Each command
// checks its arguments, then that a dialog can reach the user, and only
// then calls the manager.
//
// The manager returns 0 both when the user cancelled and when it has shown
// a failure; it shows nothing for a cancel, so the tool tells the two apart
// by the message boxes the call showed (and, for open and save, the path
// it left behind) and says which on stderr.
#include <imexp/host.h>

#include <algorithm>
#include <cstdio>

#include "tools/imexp/command_line.h"
#include "tools/imexp/console_progress.h"
#include "tools/imexp/host_platform.h"
#include "tools/imexp/image_transfer.h"
#include "tools/imexp/info_text.h"

namespace imexp::cli {

namespace {

// The path argument of the one-call open and save: this many bytes,
// holding the proposed name on entry and the chosen path on success only.
constexpr std::size_t kPathBufferSize = 256;
// The image number of ImExp_ShowFileInfo and ImExp_ReadFileImage that lets
// the user choose among the images of a file of several.
constexpr int kChooseImage = -1;

std::vector<char> PathBuffer(const std::string& proposed) {
  std::vector<char> buffer(kPathBufferSize, '\0');
  // A name that does not fit is not proposed rather than proposed cut short.
  if (proposed.size() < kPathBufferSize) std::copy(proposed.begin(), proposed.end(), buffer.begin());
  return buffer;
}

int Cancelled() {
  ClearProgressLine();
  std::fputs("imexp: cancelled\n", stderr);
  return kExitFailed;
}

// The manager has shown the reason in its message box.
int Failed(const std::string& doing) {
  ClearProgressLine();
  std::fprintf(stderr, "imexp: %s failed\n", doing.c_str());
  return kExitFailed;
}

struct InfoDialogOptions {
  std::string file;
  int image = kChooseImage;
};

// Returns an exit status when the arguments are not usable.
std::optional<int> ParseInfoDialogArguments(const Arguments& args, InfoDialogOptions* options) {
  const Command& command = *FindCommand("info");
  std::vector<std::string> files;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && arg == "--dialog") {
      continue;
    } else if (!optionsEnded && arg == "--image") {
      std::optional<int> image = i + 1 < args.size() ? ParseIndex(args[i + 1]) : std::nullopt;
      if (!image) return UsageError(command, "--image needs an image number");
      options->image = *image;
      ++i;
    } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
      return UsageError(command, "unknown option " + arg);
    } else {
      files.push_back(arg);
    }
  }
  if (files.size() != 1)
    return UsageError(command, files.empty() ? "no file given" : "--dialog shows one file");
  options->file = files[0];
  return std::nullopt;
}

}  // namespace

int RunSetup(const Arguments& args) {
  const Command& command = *FindCommand("setup");
  if (!args.empty()) return UsageError(command, "unexpected argument " + args[0]);
  DialogSession session("setup");
  if (!session.ready()) return kExitNoDisplay;
  // 0 only when the dialog was not shown at all; closing it is success.
  if (!Manager().configureConverters(nullptr)) return Failed("showing the Converter Setup dialog");
  return kExitOk;
}

int RunInfoDialog(const Arguments& args) {
  InfoDialogOptions options;
  if (std::optional<int> status = ParseInfoDialogArguments(args, &options)) return *status;
  DialogSession session("info --dialog");
  if (!session.ready()) return kExitNoDisplay;
  std::vector<char> file = CString(NativePath(options.file));
  int messagesBefore = MessagesShown();
  if (Manager().showFileInfo(nullptr, file.data(), options.image)) return kExitOk;
  return MessagesShown() == messagesBefore ? Cancelled() : Failed("describing " + options.file);
}

int RunOpen(const Arguments& args) {
  const Command& command = *FindCommand("open");
  if (!args.empty()) return UsageError(command, "unexpected argument " + args[0]);
  DialogSession session("open");
  if (!session.ready()) return kExitNoDisplay;

  std::vector<char> file = PathBuffer("");
  int messagesBefore = MessagesShown();
  if (!Manager().selectFileToRead(nullptr, file.data())) {
    return MessagesShown() == messagesBefore ? Cancelled() : Failed("opening a file");
  }
  const std::string chosen = file.data();
  // In a file of several images the user picks one in Select Image first.
  MemoryImage image;
  ImageReceiver receiver(image);
  ConsoleProgress progress("Reading", IsStderrTerminal(), &receiver.failed());
  int read = Manager().readFileImage(&receiver, nullptr, file.data(), AllHostTypes(), &progress, nullptr, 0,
                                     kChooseImage);
  // Nothing shown and the host never asked for the image: the choice of
  // image was cancelled.
  if (!read && image.width == 0 && MessagesShown() == messagesBefore && !progress.cancelled())
    return Cancelled();
  if (int status = CheckRead(read, ReportOf(receiver), progress, messagesBefore, chosen)) return status;
  HeldImage held{
      chosen,           image.width, image.height, image.type, HostTypeBits(image.type), image.resolutionX,
      image.resolutionY};
  PrintInfoLines(DescribeHeldImage(held, &ManagerString));
  std::fflush(stdout);
  return kExitOk;
}

int RunSave(const Arguments& args) {
  const Command& command = *FindCommand("save");
  std::vector<std::string> files;
  if (int usage = FileArguments(command, args, &files)) return usage;
  if (files.size() != 1) return UsageError(command, "one file at a time");
  const std::string& input = files[0];
  DialogSession session("save");
  if (!session.ready()) return kExitNoDisplay;

  MemoryImage image;
  if (int status = ReadImageFile(input, AllHostTypes(), image, IsStderrTerminal())) return status;
  ImageSource source(image);
  ConsoleProgress progress("Writing", IsStderrTerminal());
  // The dialog proposes IN's name (and so its format) in its own folder.
  std::vector<char> name = PathBuffer(FileTitle(input));
  const std::string proposed = name.data();
  int reserved = 0;
  int messagesBefore = MessagesShown();
  if (Manager().selectFileAndWrite(&source, nullptr, name.data(), &reserved, &progress, nullptr, 0)) {
    std::printf("saved %s\n", name.data());
    std::fflush(stdout);
    return kExitOk;
  }
  // The name becomes the full path chosen only once one was confirmed.
  if (proposed == name.data() && MessagesShown() == messagesBefore) return Cancelled();
  return ExplainFailure(progress, messagesBefore, "writing", name.data());
}

}  // namespace imexp::cli
