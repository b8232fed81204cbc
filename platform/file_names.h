// Splitting the file names that the common dialogs return, and where POSIX
// file names differ from the Win32 ones the dialogs were written for.
#pragma once

#include <cstring>

#include "platform/paths.h"

namespace imexp::platform {

#ifdef _WIN32
// Win32 file names match without regard to case; an upper-cased copy of a
// path names the same file.
inline constexpr bool kCaseSensitiveFileNames = false;
#else
// POSIX file names are case-sensitive: an upper-cased path names another
// file, or none.
inline constexpr bool kCaseSensitiveFileNames = true;
#endif

// The file name part of `path`: what follows its last separator (on
// Windows also a drive's colon).
inline const char* FileNamePart(const char* path) {
  const char* name = path;
  for (const char* p = path; *p != '\0'; ++p) {
    if (IsPathSeparator(*p) || (kPathSeparator == '\\' && *p == ':')) name = p + 1;
  }
  return name;
}

// The extension of `path`, from the last '.' of its file name on; the
// terminator when the name has none.
inline const char* FileExtension(const char* path) {
  const char* name = FileNamePart(path);
  const char* dot = std::strrchr(name, '.');
  return dot != nullptr ? dot : name + std::strlen(name);
}

// The folder of a file chosen in a common dialog, which reports the offset of
// the file name in the path: the path cut before the separator that precedes
// the name (C:\IMAGES\A.BMP gives C:\IMAGES, C:\A.BMP gives C:). On POSIX a
// file in the root folder gives "/", which is where it lies, rather than
// nothing. `size` bytes at most, terminator included.
inline void FolderOfChosenFile(const char* path, int fileOffset, char* folder, int size) {
  int length = fileOffset > 0 ? fileOffset - 1 : 0;
  if (length > static_cast<int>(std::strlen(path))) length = static_cast<int>(std::strlen(path));
  if (length == 0 && IsPathSeparator(path[0]) && kPathSeparator == '/') length = 1;
  if (length >= size) length = size - 1;
  std::memcpy(folder, path, static_cast<std::size_t>(length));
  folder[length] = '\0';
}

}  // namespace imexp::platform
