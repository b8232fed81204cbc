#include "writing/temporary_file.h"

#include <cstring>

namespace imexp {

namespace {

// The temporary paths must fit OpenFile's 128-byte path field.
constexpr int kPathLimit = 128;
// "~cv%05u.tmp" counts past five digits; a folder with this many left-over
// temporary files is a folder something is wrong with.
constexpr unsigned kMaxAttempts = 100000;

// Offset of the name part: after the last separator or drive colon.
int NameOffset(const char* path) {
  int offset = 0;
  for (int i = 0; path[i] != '\0'; ++i) {
    if (platform::IsPathSeparator(path[i]) || path[i] == ':') offset = i + 1;
  }
  return offset;
}

}  // namespace

bool TemporaryFile::Create(const char* target) {
  int folder = NameOffset(target);
  char candidate[kPathLimit + 16];
  if (folder + 13 >= kPathLimit) return false;  // "~cv00000.tmp" and its zero
  std::memcpy(candidate, target, static_cast<std::size_t>(folder));
  for (unsigned n = 0; n < kMaxAttempts; ++n) {
    wsprintfA(candidate + folder, "~cv%05u.tmp", n);
    OFSTRUCT probe{};
    if (OpenFile(candidate, &probe, OF_EXIST) != HFILE_ERROR) continue;
    // OpenFile refuses a path whose full form does not fit its field.
    file_ = OpenFile(candidate, &ofs_, OF_CREATE | OF_WRITE);
    if (file_ == HFILE_ERROR) return false;
    exists_ = true;
    return true;
  }
  return false;
}

void TemporaryFile::Close() {
  if (file_ != HFILE_ERROR) _lclose(file_);
  file_ = HFILE_ERROR;
}

bool TemporaryFile::Commit(const char* target) {
  Close();
  if (!exists_ || !MoveFileExA(ofs_.szPathName, target, MOVEFILE_REPLACE_EXISTING)) return false;
  exists_ = false;
  return true;
}

void TemporaryFile::Discard() {
  Close();
  if (exists_) {
    OpenFile(nullptr, &ofs_, OF_REOPEN | OF_DELETE);
    exists_ = false;
  }
}

}  // namespace imexp
