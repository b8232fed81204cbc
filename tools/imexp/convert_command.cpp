// imexp convert: ImExp_ReadFile into memory, then ImExp_WriteFile. The
// manager writes into a temporary file beside OUT and replaces OUT only
// when the write has succeeded, so every failure leaves OUT as it was.
#include <imexp/host.h>

#include "tools/imexp/command_line.h"
#include "tools/imexp/console_progress.h"
#include "tools/imexp/host_platform.h"
#include "tools/imexp/image_transfer.h"

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

}  // namespace

int RunConvert(const Arguments& args) {
  ConvertOptions options;
  if (std::optional<int> status = ParseConvertArguments(args, &options)) return *status;
  InstallCancelHandler();

  MemoryImage image;
  if (int status = ReadImageFile(options.input, options.accepted, image)) return status;

  ImageSource source(image);
  ConsoleProgress progress("Writing " + FileTitle(options.output), IsStderrTerminal());
  std::vector<char> output = CString(NativePath(options.output));
  int reserved = 0;
  int messagesBefore = MessagesShown();
  if (!Manager().writeFile(&source, nullptr, output.data(), &reserved, &progress, nullptr, 0)) {
    return ExplainFailure(progress, messagesBefore, "writing", options.output);
  }
  return kExitOk;
}

}  // namespace imexp::cli
