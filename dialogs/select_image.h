// The Select Image dialog: which image of a multi-image file the user wants.
#pragma once

#include "platform/win32.h"

namespace imexp {

// Shows dialog 101 over `owner` for the file titled `title` that holds
// `count` images, and gives the image chosen, counted from 0, or -1 when
// the user cancelled. DialogBoxParamA's result comes back unchanged, so a
// dialog that cannot be shown gives -1 too.
[[nodiscard]] int SelectImage(HWND owner, const char* title, int count);

}  // namespace imexp
