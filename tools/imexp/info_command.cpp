// imexp info: what the Image Info dialog would show, one block per image.
#include <imexp/host.h>

#include <cstdio>
#include <cstring>

#include "resource_ids.h"
#include "tools/imexp/command_line.h"
#include "tools/imexp/host_platform.h"
#include "tools/imexp/info_text.h"

namespace imexp::cli {

namespace {

// ImExp_GetImageInfo says nothing about why it failed; the manager's own
// words for the likely cause are the next best thing.
void ReportInfoFailure(const std::string& path) {
  if (!IsReadableFile(path)) {
    ReportInManagerWords(IDS_ERR_CANNOT_OPEN, path);
    return;
  }
  std::vector<char> file = CString(NativePath(path));
  char name[128] = "";
  if (!Manager().findReader(file.data(), name)) {
    ReportInManagerWords(IDS_ERR_UNKNOWN_FORMAT, path);
  } else {
    ReportInManagerWords(IDS_ERR_INVALID_FILE, path);
  }
}

// Describes image `image` of `path` on stdout, one block after a blank line
// when something was printed before; `count` receives the file's number of
// images. False once the failure has been reported.
bool PrintImage(const std::string& path, int image, bool* first, int* count) {
  ConvImageInfo info;
  std::memset(&info, 0, sizeof info);
  std::vector<char> file = CString(NativePath(path));
  if (!Manager().getImageInfo(&info, file.data(), image)) {
    std::fflush(stdout);
    // The count comes before the number is checked.
    if (info.imageCount > 0 && image >= info.imageCount) {
      ReportInManagerWords(IDS_ERR_WRONG_IMAGE_NUMBER, path);
    } else {
      ReportInfoFailure(path);
    }
    return false;
  }
  if (!*first) std::fputc('\n', stdout);
  *first = false;
  PrintInfoLines(DescribeImage(info, &ManagerString));
  *count = info.imageCount;
  return true;
}

}  // namespace

int RunInfo(const Arguments& args) {
  const Command& command = *FindCommand("info");
  for (const std::string& arg : args) {
    if (arg == "--") break;
    if (arg == "--dialog") return RunInfoDialog(args);
  }
  std::vector<std::string> files;
  std::optional<int> only;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    bool missing = false;
    if (optionsEnded || args[i].size() < 2 || args[i][0] != '-') {
      files.push_back(args[i]);
    } else if (args[i] == "--") {
      optionsEnded = true;
    } else if (auto image = OptionValue(args, i, "--image", &missing)) {
      only = ParseIndex(*image);
      if (missing || !only) return UsageError(command, "--image needs an image number");
    } else {
      return UsageError(command, "unknown option " + args[i]);
    }
  }
  if (files.empty()) return UsageError(command, "no file given");

  int status = kExitOk;
  bool first = true;
  for (const std::string& path : files) {
    int count = 1;
    bool described = PrintImage(path, only.value_or(0), &first, &count);
    // Without --image, every image of the file, one block each.
    for (int image = 1; described && !only && image < count; ++image) {
      described = PrintImage(path, image, &first, &count);
    }
    if (!described) status = kExitFailed;
  }
  std::fflush(stdout);
  return status;
}

}  // namespace imexp::cli
