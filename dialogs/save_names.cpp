// The extension a name saved without one gets.
#include "dialogs/save_names.h"

#include <imexp/converter.h>

#include <cstring>

#include "platform/file_names.h"

namespace imexp {

namespace {

// The extension of the last pattern of `masks` ("*.TIF;*.TIFF" gives
// ".TIFF"), taken as it stands; empty when no pattern has one.
void LastPatternExtension(const char* masks, char* extension, int size) {
  const char* dot = nullptr;
  for (const char* p = masks; *p != '\0'; ++p) {
    if (*p == '.') dot = p;
  }
  int length = 0;
  if (dot != nullptr) {
    while (dot[length] != '\0' && dot[length] != ';' && length < size - 1) ++length;
    std::memcpy(extension, dot, static_cast<std::size_t>(length));
  }
  extension[length] = '\0';
}

}  // namespace

bool AddFormatExtension(char* path, const char* masks) {
  const char* extension = platform::FileExtension(path);
  int length = lstrlenA(path);
  bool none = extension[0] == '\0' || (extension[0] == '.' && extension[1] == '\0');
  if (!none || length == 0 || path[length - 1] == '.') return true;
  char added[sizeof ConvRecord::extensions];
  LastPatternExtension(masks, added, sizeof added);
  if (length + lstrlenA(added) >= kSavePathSize) return false;
  lstrcpyA(path + length, added);
  return true;
}

}  // namespace imexp
