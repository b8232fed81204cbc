// What convert, open and save share around the manager's read and write:
// checking that a read delivered the whole image, and telling a failure
// from a cancellation when an operation returned 0.
#pragma once

#include <optional>
#include <string>

#include "tools/imexp/console_progress.h"
#include "tools/imexp/memory_image.h"
#include "tools/imexp/row_stream.h"

namespace imexp::cli {

// After an operation returned 0: a cancellation, a failure the manager has
// shown, or one it kept quiet about, which must not look like success.
// `messagesBefore` is MessagesShown() before the call. Returns the exit
// status.
[[nodiscard]] int ExplainFailure(const ConsoleProgress& progress, int messagesBefore, const char* doing,
                                 const std::string& path);

// What a read left in the host's image, for the checks after it.
struct ReadReport {
  bool outOfMemory = false;
  bool complete = false;  // every row arrived and was stored
  unsigned delivered = 0;
  unsigned height = 0;
};
ReadReport ReportOf(const ImageReceiver& receiver);
ReadReport ReportOf(const RowStream& stream);

// After a read of `path` that returned `read` and left `report`: kExitOk
// when the whole image arrived, otherwise the exit status once the reason
// has been told.
[[nodiscard]] int CheckRead(int read, const ReadReport& report, const ConsoleProgress& progress,
                            int messagesBefore, const std::string& path);

// Which images of a file a command reads: the first (ImExp_ReadFile), image
// N (--image N, counted from 0) or every one (--all-images).
struct ImageChoice {
  std::optional<int> image;
  bool all = false;
};

// Reads `path` into `image`, holding it in one of the host types
// `accepted`, with a progress bar when `showBar`: its first image through
// ImExp_ReadFile, or image `number` through ImExp_ReadFileImage. Returns
// CheckRead's status.
[[nodiscard]] int ReadImageFile(const std::string& path, int accepted, MemoryImage& image, bool showBar,
                                std::optional<int> number = std::nullopt);

// How a conversion runs: reading on this thread and writing on another at
// the same time (the default where the machine has two cores or more), or
// the whole image read first and then written.
enum class Overlap { kAuto, kSequential, kOverlapped };

// Reads an image of `input` as ReadImageFile does and writes it to
// `output` through the manager, with a progress bar when `showBar`. An
// overlapped conversion writes the same bytes as a sequential one; either
// side's failure or a cancel stops both and leaves `output` as it was.
// Returns the exit status.
[[nodiscard]] int ConvertFile(const std::string& input, const std::string& output, int accepted, bool showBar,
                              std::optional<int> number = std::nullopt, Overlap overlap = Overlap::kAuto);

// `output` with "-N" before its extension: out.png, 2 gives out-2.png.
std::string NumberedOutput(const std::string& output, int number);

// Converts the images `choice` names: one into `output`, or, with all,
// image k (from 0) into NumberedOutput(output, k + 1) for every image the
// file holds; a failed image does not stop the rest, a cancel does.
// Returns the exit status: 0 when every image was converted.
[[nodiscard]] int ConvertImages(const std::string& input, const std::string& output, int accepted,
                                const ImageChoice& choice, bool showBar, Overlap overlap = Overlap::kAuto);

}  // namespace imexp::cli
