#include "registry/entry_points.h"

#include "registry/converter_list.h"

namespace imexp {

FARPROC GetEntryPoint(HMODULE library, UINT stringId) {
  char name[80];
  if (library == nullptr || LoadManagerString(stringId, name, sizeof name) == 0) {
    return nullptr;
  }
  return GetProcAddress(library, name);
}

}  // namespace imexp
