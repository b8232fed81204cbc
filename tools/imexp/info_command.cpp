// imexp info: what the Image Info dialog would show, one block per file.
#include <imexp/host.h>

#include <cstdio>
#include <cstring>

#include "resource_ids.h"
#include "tools/imexp/command_line.h"
#include "tools/imexp/host_platform.h"
#include "tools/imexp/info_text.h"

namespace imexp::cli {

namespace {

// ImExp_GetFileInfo says nothing about why it failed; the manager's own
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

}  // namespace

int RunInfo(const Arguments& args) {
  const Command& command = *FindCommand("info");
  for (const std::string& arg : args) {
    if (arg == "--") break;
    if (arg == "--dialog") return RunInfoDialog(args);
  }
  std::vector<std::string> files;
  if (int usage = FileArguments(command, args, &files)) return usage;

  int status = kExitOk;
  bool first = true;
  for (const std::string& path : files) {
    ConvImageInfo info;
    std::memset(&info, 0, sizeof info);
    std::vector<char> file = CString(NativePath(path));
    if (!Manager().getFileInfo(&info, file.data(), 0)) {
      std::fflush(stdout);
      ReportInfoFailure(path);
      status = kExitFailed;
      continue;
    }
    if (!first) std::fputc('\n', stdout);
    first = false;
    PrintInfoLines(DescribeImage(info, &ManagerString));
  }
  std::fflush(stdout);
  return status;
}

}  // namespace imexp::cli
