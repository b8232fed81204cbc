// The extension a name saved without one gets from the chosen format.
#pragma once

#include "platform/win32.h"

namespace imexp {

// The bytes the save dialog's caller is known to have for the path.
inline constexpr int kSavePathSize = 256;

// A path whose name has no extension (and does not end with '.') gets the
// extension of the last pattern of `masks`, as it stands ("*.TIF;*.TIFF"
// gives ".TIFF"). False, the path unchanged, when the two do not fit
// kSavePathSize bytes together.
[[nodiscard]] bool AddFormatExtension(char* path, const char* masks);

}  // namespace imexp
