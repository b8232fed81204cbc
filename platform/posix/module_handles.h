// Path and module helpers of the POSIX layer, shared by its services.
#pragma once

#include <string>

#include "platform/win32.h"

namespace imexp::posix {

// Folds "." and ".." components and repeated separators of a path.
std::string NormalizePath(const std::string& path);
// The full form of `name` against the current folder, folded as
// GetFullPathName folds it.
std::string FullPath(const char* name);

// The handle of the loaded module that contains `address` (our own library
// when given one of its functions), or null.
[[nodiscard]] HMODULE ModuleContaining(const void* address);

}  // namespace imexp::posix
