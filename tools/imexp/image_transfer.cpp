#include "tools/imexp/image_transfer.h"

#include <cstdio>

#include "resource_ids.h"
#include "tools/imexp/command_line.h"
#include "tools/imexp/host_platform.h"

namespace imexp::cli {

int ExplainFailure(const ConsoleProgress& progress, int messagesBefore, const char* doing,
                   const std::string& path) {
  if (progress.cancelled() && CancelRequested()) {
    ClearProgressLine();
    std::fprintf(stderr, "imexp: cancelled\n");
    return kExitCancelled;
  }
  if (MessagesShown() == messagesBefore) {
    ClearProgressLine();
    std::fprintf(stderr, "imexp: %s %s failed\n", doing, path.c_str());
  }
  return kExitFailed;
}

int CheckRead(int read, const ImageReceiver& receiver, const ConsoleProgress& progress, int messagesBefore,
              const std::string& path) {
  if (receiver.outOfMemory()) {
    ReportInManagerWords(IDS_ERR_NO_MEMORY, path);
    return kExitFailed;
  }
  if (!read) return ExplainFailure(progress, messagesBefore, "reading", path);
  if (!receiver.Complete()) {
    // A converter that ends its bands early still makes the read succeed:
    // the manager does not count the rows. Writing the image out would
    // fill the missing rows with whatever the buffer held.
    ReportInManagerWords(IDS_ERR_INVALID_FILE, path);
    std::fprintf(stderr, "imexp: the reader delivered %u of %u rows\n", receiver.rowsDelivered(),
                 receiver.height());
    return kExitFailed;
  }
  return kExitOk;
}

int ReadImageFile(const std::string& path, int accepted, MemoryImage& image) {
  ImageReceiver receiver(image);
  ConsoleProgress progress("Reading " + FileTitle(path), IsStderrTerminal(), &receiver.failed());
  std::vector<char> file = CString(NativePath(path));
  int messagesBefore = MessagesShown();
  int read = Manager().readFile(&receiver, nullptr, file.data(), accepted, &progress, nullptr, 0);
  return CheckRead(read, receiver, progress, messagesBefore, path);
}

}  // namespace imexp::cli
