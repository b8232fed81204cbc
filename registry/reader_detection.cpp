#include "registry/reader_detection.h"

#include <imexp/host.h>

#include "registry/converter_list.h"
#include "registry/entry_points.h"
#include "resource_ids.h"

namespace imexp {

namespace {

char Upper(char c) {
  // CharUpperA's by-value form: the character travels in the pointer.
  auto value = static_cast<std::uintptr_t>(static_cast<unsigned char>(c));
  return static_cast<char>(reinterpret_cast<std::uintptr_t>(CharUpperA(reinterpret_cast<LPSTR>(value))));
}

// The extension of `path` with its '.', or null when its file name has none.
const char* FindExtension(const char* path) {
  for (int i = lstrlenA(path) - 1; i >= 0; --i) {
    if (path[i] == '.') return path + i;
    if (platform::IsPathSeparator(path[i])) return nullptr;
  }
  return nullptr;
}

}  // namespace

int MatchExtension(const char* path, const char* masks) {
  if (path == nullptr || masks == nullptr) return 0;
  const char* extension = FindExtension(path);
  if (extension == nullptr) return 0;

  const char* mask = masks;
  for (;;) {
    // Every '.' in the masks starts an attempt, wherever it stands; what
    // precedes it in a mask (normally "*") is skipped.
    while (*mask != '\0' && *mask != '.') ++mask;
    if (*mask == '\0') return 0;
    const char* ext = extension;
    for (;;) {
      char m = *mask;
      if (m == '*') return 1;
      if (m == ';' || m == '\0') {
        if (*ext == '\0') return 1;
        break;  // this mask ended before the extension did
      }
      bool same = m == '?' ? *ext != '\0' : Upper(m) == Upper(*ext);
      if (!same) break;  // the next attempt starts from here
      ++mask;
      ++ext;
    }
  }
}

int ProbeReader(HFILE file, int index) {
  if (index < 0 || index >= ConverterCount()) return 0;
  if ((ConverterAt(index).flags & CONV_FLAG_CHECKS_CONTENT) == 0) return 1;
  HMODULE library = LoadConverter(index);
  if (library == nullptr) return 0;
  auto checkFile = GetEntryPointAs<RDCheckFileFn>(library, IDS_RD_CHECK_FILE);
  int accepted = checkFile != nullptr && checkFile(file, IniPath()) != 0 ? 1 : 0;
  FreeLibrary(library);
  return accepted;
}

int ChooseReader(const char* path, HFILE file, int preferred) {
  int count = ConverterCount();
  if (count == 0) return -1;
  if (ProbeReader(file, preferred)) return preferred;

  bool extensionClaimed = false;
  for (int i = 0; i < count; ++i) {
    const ConvRecord& record = ConverterAt(i);
    if ((record.flags & CONV_FLAG_READER) == 0 || !MatchExtension(path, record.extensions)) continue;
    extensionClaimed = true;
    if (i != preferred && ProbeReader(file, i)) return i;
  }
  // Content alone is never tried for a file whose extension a reader claims.
  if (extensionClaimed) return -1;

  for (int i = 0; i < count; ++i) {
    const ConvRecord& record = ConverterAt(i);
    constexpr uint32_t kContentReader = CONV_FLAG_READER | CONV_FLAG_CHECKS_CONTENT;
    if ((record.flags & kContentReader) == kContentReader && i != preferred && ProbeReader(file, i)) {
      return i;
    }
  }
  return -1;
}

}  // namespace imexp

extern "C" IMEXP_API int IMEXP_CALL FindReader(char* path, char* name) {
  using namespace imexp;
  if (path == nullptr) return 0;
  HFILE file = _lopen(path, OF_READ);
  if (file == HFILE_ERROR) return 0;
  int index = ChooseReader(path, file, FindConverterByName(name));
  if (index >= 0 && name != nullptr) lstrcpyA(name, ConverterAt(index).name);
  _lclose(file);
  return index >= 0 ? 1 : 0;
}
