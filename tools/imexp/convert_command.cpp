// imexp convert: ImExp_ReadFile into memory, then ImExp_WriteFile. The
// manager writes into a temporary file beside OUT and replaces OUT only
// when the write has succeeded, so every failure leaves OUT as it was.
#include <imexp/host.h>

#include <cstdio>

#include "resource_ids.h"
#include "tools/imexp/command_line.h"
#include "tools/imexp/console_progress.h"
#include "tools/imexp/host_platform.h"
#include "tools/imexp/memory_image.h"

namespace imexp::cli {

namespace {

struct ConvertOptions {
  std::string input;
  std::string output;
  int accepted = 0;
};

// Returns an exit status when the arguments are not usable.
std::optional<int> ParseConvertArguments(const Arguments& args, ConvertOptions* options) {
  const Command& command = *FindCommand("convert");
  std::vector<std::string> files;
  std::optional<std::string> acceptList;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && arg == "--accept") {
      if (i + 1 == args.size()) return UsageError(command, "--accept needs a list of image types");
      acceptList = args[++i];
    } else if (!optionsEnded && arg.rfind("--accept=", 0) == 0) {
      acceptList = arg.substr(9);
    } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
      return UsageError(command, "unknown option " + arg);
    } else {
      files.push_back(arg);
    }
  }
  if (files.size() != 2) return UsageError(command, "expected an input and an output file");
  options->input = files[0];
  options->output = files[1];
  options->accepted = AllHostTypes();
  if (acceptList) {
    std::string bad;
    std::optional<int> types = ParseAcceptedTypes(*acceptList, &bad);
    if (!types) return UsageError(command, "unknown image type '" + bad + "' in --accept");
    options->accepted = *types;
  }
  return std::nullopt;
}

// After an operation returned 0: a cancellation, a failure the manager has
// shown, or one it kept quiet about, which must not look like success.
int ExplainFailure(const ConsoleProgress& progress, int messagesBefore, const char* doing,
                   const std::string& path) {
  if (progress.cancelled() && CancelRequested()) {
    ClearProgressLine();
    std::fprintf(stderr, "imexp: cancelled\n");
    return kExitCancelled;
  }
  if (MessagesPrinted() == messagesBefore) {
    ClearProgressLine();
    std::fprintf(stderr, "imexp: %s %s failed\n", doing, path.c_str());
  }
  return kExitFailed;
}

}  // namespace

int RunConvert(const Arguments& args) {
  ConvertOptions options;
  if (std::optional<int> status = ParseConvertArguments(args, &options)) return *status;
  InstallCancelHandler();
  bool showBar = IsStderrTerminal();

  MemoryImage image;
  ImageReceiver receiver(image);
  {
    ConsoleProgress progress("Reading " + FileTitle(options.input), showBar, &receiver.failed());
    std::vector<char> input = CString(NativePath(options.input));
    int messagesBefore = MessagesPrinted();
    int read = Manager().readFile(&receiver, nullptr, input.data(), options.accepted, &progress, nullptr, 0);
    if (receiver.outOfMemory()) {
      ReportInManagerWords(IDS_ERR_NO_MEMORY, options.input);
      return kExitFailed;
    }
    if (!read) return ExplainFailure(progress, messagesBefore, "reading", options.input);
    if (!receiver.Complete()) {
      // A converter that ends its bands early still makes the read succeed:
      // the manager does not count the rows. Writing the image out would
      // fill the missing rows with whatever the buffer held.
      ReportInManagerWords(IDS_ERR_INVALID_FILE, options.input);
      std::fprintf(stderr, "imexp: the reader delivered %u of %u rows\n", receiver.rowsDelivered(),
                   image.height);
      return kExitFailed;
    }
  }

  ImageSource source(image);
  ConsoleProgress progress("Writing " + FileTitle(options.output), showBar);
  std::vector<char> output = CString(NativePath(options.output));
  int reserved = 0;
  int messagesBefore = MessagesPrinted();
  if (!Manager().writeFile(&source, nullptr, output.data(), &reserved, &progress, nullptr, 0)) {
    return ExplainFailure(progress, messagesBefore, "writing", options.output);
  }
  return kExitOk;
}

}  // namespace imexp::cli
