// The process attach and detach notifications of the manager library.
//
// The platform calls these: DllMain on Windows, a load-time constructor and
// an unload-time destructor on POSIX. The registry implements them.
#pragma once

#include "platform/win32.h"

namespace imexp {

void OnLibraryAttach(HINSTANCE self);
void OnLibraryDetach();

}  // namespace imexp
