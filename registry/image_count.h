// How many images a file holds, as the converter that reads it counts them.
#pragma once

#include "platform/win32.h"

namespace imexp {

// The descriptor and the information record carry image numbers and counts
// in 16 bits: a file's count is taken as at most this many images, so that
// no image past them can be asked for by a number that would wrap.
inline constexpr int kMostImages = 0xFFFF;

struct ImageCount {
  int count = 1;       // images in the file
  int singleView = 0;  // the converter shows its files as one image: no choice is offered
};

// Asks the converter at list index `converter`, loaded as `library`, how
// many images the open `file` holds; a converter without the multi-image
// flag holds one and is not asked. Returns the error code: 18 when a
// multi-image converter lacks its count entry point, the converter's own
// code (then `*fromConverter` is set, for it to word), 7 for a count below
// 1. A count above kMostImages is given as kMostImages.
[[nodiscard]] int CountImages(int converter, HMODULE library, HFILE file, ImageCount* result,
                              bool* fromConverter);

}  // namespace imexp
