#include "writing/temporary_file.h"

#include <cstring>

#include "platform/files.h"

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
    // The full path, which Discard deletes by; OpenFile refuses one that
    // does not fit its field.
    if (OpenFile(candidate, &ofs_, OF_PARSE) == HFILE_ERROR) return false;
    // Testing for the name and then creating it would let two writers that
    // test at once take the same file; a create that fails on an existing
    // name cannot.
    HANDLE file = CreateFileA(ofs_.szPathName, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      file_ = platform::FileFromHandle(file);
      exists_ = true;
      return true;
    }
    DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

void TemporaryFile::Close() {
  if (file_ != HFILE_ERROR) _lclose(file_);
  file_ = HFILE_ERROR;
}

void TemporaryFile::StartWriteBack() const {
  if (file_ != HFILE_ERROR) platform::StartWriteBack(file_);
}

bool TemporaryFile::FlushAndClose() {
  if (file_ == HFILE_ERROR) return false;
  // Without the flush a power loss soon after the move can leave the target
  // naming a file whose blocks were never written.
  bool flushed = FlushFileBuffers(platform::HandleFromFile(file_)) != FALSE;
  // Some file systems report a failed write only when the file is closed.
  bool closed = _lclose(file_) != HFILE_ERROR;
  file_ = HFILE_ERROR;
  return flushed && closed;
}

bool TemporaryFile::Commit(const char* target) {
  Close();
  if (!exists_ || !MoveFileExA(ofs_.szPathName, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return false;
  }
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
