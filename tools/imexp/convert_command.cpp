// imexp convert: ImExp_ReadFile (or ImExp_ReadFileImage) into memory, then
// ImExp_WriteFile. The
// manager writes into a temporary file beside OUT and replaces OUT only
// when the write has succeeded, so every failure leaves OUT as it was.
// With --to, many files in one run (batch_convert.cpp).
#include <imexp/host.h>

#include "tools/imexp/batch_convert.h"
#include "tools/imexp/command_line.h"
#include "tools/imexp/console_progress.h"
#include "tools/imexp/host_platform.h"
#include "tools/imexp/image_transfer.h"

namespace imexp::cli {

namespace {

// Most worker processes a batch may ask for.
constexpr int kMostJobs = 64;

struct ConvertOptions {
  std::vector<std::string> files;
  int accepted = 0;
  std::optional<std::string> format;  // --to: a batch
  std::optional<std::string> outDir;
  std::optional<int> jobs;
  ImageChoice images;
  Overlap overlap = Overlap::kAuto;
};

// Returns an exit status when the arguments are not usable.
std::optional<int> ParseConvertArguments(const Arguments& args, ConvertOptions* options) {
  const Command& command = *FindCommand("convert");
  std::optional<std::string> acceptList;
  std::optional<std::string> jobs;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    bool missing = false;
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      options->files.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (auto value = OptionValue(args, i, "--accept", &missing)) {
      if (missing) return UsageError(command, "--accept needs a list of image types");
      acceptList = *value;
    } else if (auto format = OptionValue(args, i, "--to", &missing)) {
      if (missing || format->empty()) return UsageError(command, "--to needs a format");
      options->format = *format;
    } else if (auto folder = OptionValue(args, i, "--out", &missing)) {
      if (missing || folder->empty()) return UsageError(command, "--out needs a folder");
      options->outDir = *folder;
    } else if (auto count = OptionValue(args, i, "-j", &missing)) {
      if (missing) return UsageError(command, "-j needs a number of workers");
      jobs = *count;
    } else if (auto count2 = OptionValue(args, i, "--jobs", &missing)) {
      if (missing) return UsageError(command, "--jobs needs a number of workers");
      jobs = *count2;
    } else if (auto image = OptionValue(args, i, "--image", &missing)) {
      options->images.image = ParseIndex(*image);
      if (missing || !options->images.image) return UsageError(command, "--image needs an image number");
    } else if (arg == "--all-images") {
      options->images.all = true;
    } else if (arg == "--sequential") {
      options->overlap = Overlap::kSequential;
    } else if (arg == "--overlapped") {
      options->overlap = Overlap::kOverlapped;
    } else {
      return UsageError(command, "unknown option " + arg);
    }
  }
  if (options->images.all && options->images.image) {
    return UsageError(command, "--image and --all-images exclude each other");
  }
  options->accepted = AllHostTypes();
  if (acceptList) {
    std::string bad;
    std::optional<int> types = ParseAcceptedTypes(*acceptList, &bad);
    if (!types) return UsageError(command, "unknown image type '" + bad + "' in --accept");
    options->accepted = *types;
  }
  if (jobs) {
    std::optional<int> count = ParseIndex(*jobs);
    if (!count || *count < 1 || *count > kMostJobs) {
      return UsageError(command, "-j takes a number of workers from 1 to " + std::to_string(kMostJobs));
    }
    options->jobs = *count;
  }
  if (!options->format) {
    if (options->outDir || options->jobs) return UsageError(command, "--out and -j go with --to FORMAT");
    if (options->files.size() != 2) return UsageError(command, "expected an input and an output file");
  } else if (options->files.empty()) {
    return UsageError(command, "expected the files to convert");
  }
  return std::nullopt;
}

}  // namespace

int RunConvert(const Arguments& args) {
  // A worker of a batch, started by the batch itself.
  if (args.size() == 4 && IsBatchWorkerOption(args[0])) return RunBatchWorker(args[1], args[2], args[3]);
  ConvertOptions options;
  if (std::optional<int> status = ParseConvertArguments(args, &options)) return *status;
  if (options.format) {
    BatchOptions batch;
    batch.format = *options.format;
    batch.outDir = options.outDir.value_or("");
    batch.jobs = options.jobs.value_or(1);
    batch.accepted = options.accepted;
    batch.inputs = options.files;
    batch.images = options.images;
    batch.overlap = options.overlap;
    return RunBatch(batch);
  }
  InstallCancelHandler();
  return ConvertImages(options.files[0], options.files[1], options.accepted, options.images,
                       IsStderrTerminal(), options.overlap);
}

}  // namespace imexp::cli
