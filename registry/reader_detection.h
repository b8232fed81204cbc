// Finding the installed converter that reads a file: extension masks first,
// the converters' own content check where the masks leave it open.
#pragma once

#include "platform/win32.h"

namespace imexp {

// 1 when the extension of `path` matches one of the ';'-separated masks.
[[nodiscard]] int MatchExtension(const char* path, const char* masks);
// 1 when converter `index` accepts the open file (a converter without the
// content-check flag accepts any file without being loaded).
[[nodiscard]] int ProbeReader(HFILE file, int index);
// Index of the reader of `path` (open as `file`), trying `preferred` first;
// -1 when there is none. `preferred` may be -1 or out of range for none.
[[nodiscard]] int ChooseReader(const char* path, HFILE file, int preferred);

}  // namespace imexp
