#include "tools/imexp/image_transfer.h"

#include <algorithm>
#include <filesystem>
#include <string>

#include "resource_ids.h"
#include "tools/imexp/command_line.h"
#include "tools/imexp/host_platform.h"
#include "tools/imexp/user_messages.h"

namespace imexp::cli {

namespace fs = std::filesystem;

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

int ReadImageFile(const std::string& path, int accepted, MemoryImage& image, bool showBar,
                  std::optional<int> number) {
  ImageReceiver receiver(image);
  std::string label = "Reading " + FileTitle(path);
  if (number) label += ", image " + std::to_string(*number + 1);
  ConsoleProgress progress(label, showBar, &receiver.failed());
  std::vector<char> file = CString(NativePath(path));
  int messagesBefore = MessagesShown();
  int read = number ? Manager().readFileImage(&receiver, nullptr, file.data(), accepted, &progress, nullptr,
                                              0, *number)
                    : Manager().readFile(&receiver, nullptr, file.data(), accepted, &progress, nullptr, 0);
  return CheckRead(read, receiver, progress, messagesBefore, path);
}

int ConvertFile(const std::string& input, const std::string& output, int accepted, bool showBar,
                std::optional<int> number) {
  MemoryImage image;
  if (int status = ReadImageFile(input, accepted, image, showBar, number)) return status;
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

std::string NumberedOutput(const std::string& output, int number) {
  const fs::path path(output);
  fs::path numbered = path.parent_path() / path.stem();
  numbered += "-" + std::to_string(number);
  numbered += path.extension();
  return numbered.string();
}

int ConvertImages(const std::string& input, const std::string& output, int accepted,
                  const ImageChoice& choice, bool showBar) {
  if (!choice.all) return ConvertFile(input, output, accepted, showBar, choice.image);
  // The count comes with the first image's description; a file that cannot
  // be described is left to the read of its first image to report.
  ConvImageInfo info{};
  std::vector<char> file = CString(NativePath(input));
  int count = Manager().getImageInfo(&info, file.data(), 0) ? std::max(1, int{info.imageCount}) : 1;
  int status = kExitOk;
  for (int image = 0; image < count; ++image) {
    int converted = ConvertFile(input, NumberedOutput(output, image + 1), accepted, showBar, image);
    if (converted == kExitCancelled) return converted;
    if (converted != kExitOk) status = converted;
  }
  return status;
}

}  // namespace imexp::cli
