// Path and module helpers of the POSIX layer, shared by its services.
#pragma once

#include <imexp/posix_resources.h>

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

namespace imexp::posix {

// A library just loaded: when it takes the user interface (its own
// ImExpPosix_AttachUi export), it gets the table of this layer's functions
// and its resources are served for its handle. Each load is matched by one
// DetachFreedModule when the library is freed.
void AttachLoadedModule(HMODULE module);
void DetachFreedModule(HMODULE module);
// The resources of a module that attached, else the manager's own (for a
// null handle, the manager's handle or any other).
const ResourceTables& ResourcesOf(HINSTANCE instance);

}  // namespace imexp::posix
