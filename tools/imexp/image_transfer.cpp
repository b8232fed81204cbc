#include "tools/imexp/image_transfer.h"

#include <string>

#include "resource_ids.h"
#include "tools/imexp/command_line.h"
#include "tools/imexp/host_platform.h"
#include "tools/imexp/user_messages.h"

namespace imexp::cli {

int ExplainFailure(const ConsoleProgress& progress, int messagesBefore, const char* doing,
                   const std::string& path) {
  if (progress.cancelled() && CancelRequested()) {
    TellUser("imexp: cancelled");
    return kExitCancelled;
  }
  if (MessagesShown() == messagesBefore) TellUser(std::string("imexp: ") + doing + " " + path + " failed");
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
    TellUser("imexp: the reader delivered " + std::to_string(receiver.rowsDelivered()) + " of " +
             std::to_string(receiver.height()) + " rows");
    return kExitFailed;
  }
  return kExitOk;
}

int ReadImageFile(const std::string& path, int accepted, MemoryImage& image, bool showBar) {
  ImageReceiver receiver(image);
  ConsoleProgress progress("Reading " + FileTitle(path), showBar, &receiver.failed());
  std::vector<char> file = CString(NativePath(path));
  int messagesBefore = MessagesShown();
  int read = Manager().readFile(&receiver, nullptr, file.data(), accepted, &progress, nullptr, 0);
  return CheckRead(read, receiver, progress, messagesBefore, path);
}

int ConvertFile(const std::string& input, const std::string& output, int accepted, bool showBar) {
  MemoryImage image;
  if (int status = ReadImageFile(input, accepted, image, showBar)) return status;
  ImageSource source(image);
  ConsoleProgress progress("Writing " + FileTitle(output), showBar);
  std::vector<char> file = CString(NativePath(output));
  int reserved = 0;
  int messagesBefore = MessagesShown();
  if (!Manager().writeFile(&source, nullptr, file.data(), &reserved, &progress, nullptr, 0)) {
    return ExplainFailure(progress, messagesBefore, "writing", output);
  }
  return kExitOk;
}

}  // namespace imexp::cli
