#include "tools/imexp/image_transfer.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>

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

ReadReport ReportOf(const ImageReceiver& receiver) {
  return {receiver.outOfMemory(), receiver.Complete(), receiver.rowsDelivered(), receiver.height()};
}

ReadReport ReportOf(const RowStream& stream) {
  return {stream.outOfMemory(), stream.Complete(), stream.rowsDelivered(), stream.height()};
}

int CheckRead(int read, const ReadReport& report, const ConsoleProgress& progress, int messagesBefore,
              const std::string& path) {
  if (report.outOfMemory) {
    ReportInManagerWords(IDS_ERR_NO_MEMORY, path);
    return kExitFailed;
  }
  if (!read) return ExplainFailure(progress, messagesBefore, "reading", path);
  if (!report.complete) {
    // A converter that ends its bands early still makes the read succeed:
    // the manager does not count the rows. Writing the image out would
    // fill the missing rows with whatever the buffer held.
    ReportInManagerWords(IDS_ERR_INVALID_FILE, path);
    TellUser("imexp: the reader delivered " + std::to_string(report.delivered) + " of " +
             std::to_string(report.height) + " rows");
    return kExitFailed;
  }
  return kExitOk;
}

namespace {

// The rows an overlapped conversion holds while reader and writer take
// them in the same order.
constexpr std::size_t kWindowBytes = std::size_t{16} << 20;

std::string ProgressLabel(const char* doing, const std::string& path, std::optional<int> number) {
  std::string label = std::string(doing) + " " + FileTitle(path);
  if (number) label += ", image " + std::to_string(*number + 1);
  return label;
}

// ImExp_ReadFile, or ImExp_ReadFileImage for image `number`.
int Read(CAbstractReadWA& image, const std::string& path, int accepted, CProgress& progress,
         std::optional<int> number) {
  std::vector<char> file = CString(NativePath(path));
  return number
             ? Manager().readFileImage(&image, nullptr, file.data(), accepted, &progress, nullptr, 0, *number)
             : Manager().readFile(&image, nullptr, file.data(), accepted, &progress, nullptr, 0);
}

int Write(CAbstractWriteWA& image, const std::string& path, CProgress& progress) {
  std::vector<char> file = CString(NativePath(path));
  int reserved = 0;
  return Manager().writeFile(&image, nullptr, file.data(), &reserved, &progress, nullptr, 0);
}

int ConvertSequentially(const std::string& input, const std::string& output, int accepted, bool showBar,
                        std::optional<int> number) {
  MemoryImage image;
  if (int status = ReadImageFile(input, accepted, image, showBar, number)) return status;
  ImageSource source(image);
  ConsoleProgress progress("Writing " + FileTitle(output), showBar);
  int messagesBefore = MessagesShown();
  if (!Write(source, output, progress)) return ExplainFailure(progress, messagesBefore, "writing", output);
  return kExitOk;
}

// The read on this thread, the write on another, the rows passed between
// them by a RowStream. The bar follows the read; the write's progress
// object only carries a stop from either side.
int ConvertOverlapped(const std::string& input, const std::string& output, int accepted, bool showBar,
                      std::optional<int> number) {
  RowStream stream(kWindowBytes);
  ConsoleProgress reading(ProgressLabel("Converting", input, number), showBar, &stream.stopped());
  ConsoleProgress writing(std::string(), false, &stream.stopped());
  int messagesBefore = MessagesShown();
  std::thread writer([&] {
    PrepareOperationThread();
    if (stream.WaitForImage()) stream.EndWrite(Write(stream.source(), output, writing));
  });
  int read = Read(stream.receiver(), input, accepted, reading, number);
  stream.EndRead(read);
  writer.join();
  if (stream.writeStoppedFirst() && !CancelRequested()) {
    return ExplainFailure(writing, messagesBefore, "writing", output);
  }
  if (int status = CheckRead(read, ReportOf(stream), reading, messagesBefore, input)) return status;
  // The read went well: only the write can have failed.
  if (stream.stopped()) return ExplainFailure(writing, messagesBefore, "writing", output);
  return kExitOk;
}

}  // namespace

int ReadImageFile(const std::string& path, int accepted, MemoryImage& image, bool showBar,
                  std::optional<int> number) {
  ImageReceiver receiver(image);
  ConsoleProgress progress(ProgressLabel("Reading", path, number), showBar, &receiver.failed());
  int messagesBefore = MessagesShown();
  int read = Read(receiver, path, accepted, progress, number);
  return CheckRead(read, ReportOf(receiver), progress, messagesBefore, path);
}

int ConvertFile(const std::string& input, const std::string& output, int accepted, bool showBar,
                std::optional<int> number, Overlap overlap) {
  if (overlap == Overlap::kAuto) {
    overlap = std::thread::hardware_concurrency() >= 2 ? Overlap::kOverlapped : Overlap::kSequential;
  }
  return overlap == Overlap::kOverlapped ? ConvertOverlapped(input, output, accepted, showBar, number)
                                         : ConvertSequentially(input, output, accepted, showBar, number);
}

std::string NumberedOutput(const std::string& output, int number) {
  const fs::path path(output);
  fs::path numbered = path.parent_path() / path.stem();
  numbered += "-" + std::to_string(number);
  numbered += path.extension();
  return numbered.string();
}

int ConvertImages(const std::string& input, const std::string& output, int accepted,
                  const ImageChoice& choice, bool showBar, Overlap overlap) {
  if (!choice.all) return ConvertFile(input, output, accepted, showBar, choice.image, overlap);
  // The count comes with the first image's description; a file that cannot
  // be described is left to the read of its first image to report.
  ConvImageInfo info{};
  std::vector<char> file = CString(NativePath(input));
  int count = Manager().getImageInfo(&info, file.data(), 0) ? std::max(1, int{info.imageCount}) : 1;
  int status = kExitOk;
  for (int image = 0; image < count; ++image) {
    int converted = ConvertFile(input, NumberedOutput(output, image + 1), accepted, showBar, image, overlap);
    if (converted == kExitCancelled) return converted;
    if (converted != kExitOk) status = converted;
  }
  return status;
}

}  // namespace imexp::cli
