// Helpers of the POSIX module service shared with the attach hook.
#pragma once

#include <string>

#include "platform/win32.h"

namespace imexp::posix {

// Folds "." and ".." components and repeated separators of a path.
std::string NormalizePath(const std::string& path);

// The handle of the loaded module that contains `address` (our own library
// when given one of its functions), or null.
HMODULE ModuleContaining(const void* address);

}  // namespace imexp::posix
