// What convert, open and save share around the manager's read and write:
// checking that a read delivered the whole image, and telling a failure
// from a cancellation when an operation returned 0.
#pragma once

#include <string>

#include "tools/imexp/console_progress.h"
#include "tools/imexp/memory_image.h"

namespace imexp::cli {

// After an operation returned 0: a cancellation, a failure the manager has
// shown, or one it kept quiet about, which must not look like success.
// `messagesBefore` is MessagesShown() before the call. Returns the exit
// status.
[[nodiscard]] int ExplainFailure(const ConsoleProgress& progress, int messagesBefore, const char* doing,
                                 const std::string& path);

// After a read of `path` into `receiver` that returned `read`: kExitOk when
// the whole image arrived, otherwise the exit status once the reason has
// been told.
[[nodiscard]] int CheckRead(int read, const ImageReceiver& receiver, const ConsoleProgress& progress,
                            int messagesBefore, const std::string& path);

// ImExp_ReadFile of `path` into `image`, holding it in one of the host
// types `accepted`, with a progress bar when `showBar`. Returns CheckRead's
// status.
[[nodiscard]] int ReadImageFile(const std::string& path, int accepted, MemoryImage& image, bool showBar);

// Reads the first image of `input` and writes it to `output` through the
// manager, with progress bars when `showBar`. Returns the exit status.
[[nodiscard]] int ConvertFile(const std::string& input, const std::string& output, int accepted,
                              bool showBar);

}  // namespace imexp::cli
