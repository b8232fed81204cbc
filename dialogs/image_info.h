// The Image Info dialog, shown by ImExp_ShowFileInfo and by the open
// dialog's Info button.
#pragma once

#include "platform/win32.h"

namespace imexp {

// Describes image `image` of `path` (negative: the user chooses in a file of
// several) in the modal Image Info dialog owned by `owner`. 1 once it has
// been shown and closed; 0 after a failure has been reported, or when the
// user cancelled the choice of image. `titleInCapitals` shows the file's
// title upper-cased.
int ShowImageInfo(HWND owner, const char* path, int image, bool titleInCapitals);

}  // namespace imexp
