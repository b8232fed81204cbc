// How many images a file holds, as the converter that reads it counts them.
#pragma once

#include "platform/win32.h"

namespace imexp {

struct ImageCount {
  int count = 1;       // images in the file
  int singleView = 0;  // the converter shows its files as one image: no choice is offered
};

// Asks the converter at list index `converter`, loaded as `library`, how
// many images the open `file` holds; a converter without the multi-image
// flag holds one and is not asked. Returns the error code: 18 when a
// multi-image converter lacks its count entry point, the converter's own
// code (then `*fromConverter` is set, for it to word), 7 for a count below 1.
[[nodiscard]] int CountImages(int converter, HMODULE library, HFILE file, ImageCount* result,
                              bool* fromConverter);

}  // namespace imexp
