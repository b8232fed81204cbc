// Converter entry points are found by the names in our string table.
#pragma once

#include "platform/win32.h"

namespace imexp {

// The export of `library` whose name is string `stringId`, or null.
[[nodiscard]] FARPROC GetEntryPoint(HMODULE library, UINT stringId);

template <typename Fn>
[[nodiscard]] Fn GetEntryPointAs(HMODULE library, UINT stringId) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetEntryPoint(library, stringId)));
}

}  // namespace imexp
