// Files: the _l* functions, OpenFile and CreateFileA over POSIX descriptors,
// flushes, file moves and file titles.
//
// An HFILE is a file descriptor, and so is a HANDLE from CreateFileA.
// Directories cannot be opened as files, as on Windows. OpenFile keeps its
// 128-byte path field: a path whose full form does not fit fails, which is
// what bounds the paths the core builds.
//
// Every call that reaches the file system first asks the test hook
// (ImExpPosix_SetFileCallHook), which can make it fail with an errno value
// of its choice: the fault sweeps of the pipelines fail each call in turn.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/files.h"
#include "platform/posix/host_exports.h"
#include "platform/posix/module_handles.h"
#include "platform/win32.h"

namespace {

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case ENOSPC:
      return ERROR_DISK_FULL;
    case EFBIG:
      return ERROR_FILE_TOO_LARGE;
    case EDQUOT:
      return ERROR_DISK_QUOTA_EXCEEDED;
    case EXDEV:
      return ERROR_NOT_SAME_DEVICE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    default:
      return ERROR_INVALID_PARAMETER;
  }
}

int FailWithErrno() {
  SetLastError(ErrorFromErrno(errno));
  return HFILE_ERROR;
}

std::atomic<ImExpPosix_FileCallHook> fileCallHook{nullptr};

// The kinds of call the hook is told about.
constexpr const char* kOpen = "open";
constexpr const char* kCreate = "create";
constexpr const char* kRead = "read";
constexpr const char* kWrite = "write";
constexpr const char* kSeek = "seek";
constexpr const char* kClose = "close";
constexpr const char* kFlush = "flush";
constexpr const char* kReplace = "replace";
constexpr const char* kMove = "move";
constexpr const char* kDelete = "delete";

// True when the test hook fails this call; errno and the last error are
// then set as the failing system call would have set them.
bool HookFails(const char* kind) {
  ImExpPosix_FileCallHook hook = fileCallHook.load(std::memory_order_acquire);
  if (hook == nullptr) return false;
  int error = hook(kind);
  if (error == 0) return false;
  errno = error;
  SetLastError(ErrorFromErrno(error));
  return true;
}

HANDLE HandleOrInvalid(int fd) {
  return fd < 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(static_cast<INT_PTR>(fd));
}

int AccessFlags(UINT mode) {
  switch (mode & 3u) {
    case OF_WRITE:
      return O_WRONLY;
    case OF_READWRITE:
      return O_RDWR;
    default:
      return O_RDONLY;
  }
}

// Opens with `flags` and refuses directories, as Windows does.
int OpenNotFolder(const char* path, int flags) {
  int fd = open(path, flags | O_CLOEXEC, 0666);
  if (fd < 0) return FailWithErrno();
  struct stat info {};
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    close(fd);
    SetLastError(ERROR_ACCESS_DENIED);
    return HFILE_ERROR;
  }
  return fd;
}

HFILE OpenExisting(const char* path, UINT mode) { return OpenNotFolder(path, AccessFlags(mode)); }

bool RemoveFile(const char* fileName) {
  struct stat info {};
  if (lstat(fileName, &info) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return false;
  }
  if (S_ISDIR(info.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  if (unlink(fileName) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return false;
  }
  return true;
}

// Makes a rename in the folder of `path` durable. A failure is not the
// caller's: the move itself has happened and cannot be taken back.
void FlushFolderOf(const char* path) {
  std::string folder = imexp::posix::FullPath(path);
  std::size_t slash = folder.rfind('/');
  folder = slash == 0 ? "/" : folder.substr(0, slash);
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

bool RenameNoReplace(const char* from, const char* to) {
#ifdef SYS_renameat2
  if (syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, 1u /* RENAME_NOREPLACE */) == 0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS) return false;
#endif
  // File systems without RENAME_NOREPLACE: a hard link fails on an existing
  // target just as atomically.
  if (link(from, to) != 0) return false;
  unlink(from);
  return true;
}

}  // namespace

HFILE _lopen(LPCSTR path, int mode) {
  if (path == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return HFILE_ERROR;
  }
  if (HookFails(kOpen)) return HFILE_ERROR;
  return OpenExisting(path, static_cast<UINT>(mode));
}

HFILE _lclose(HFILE file) {
  // A failed close still releases the descriptor, as close() does.
  bool failed = HookFails(kClose);
  if (close(file) != 0 || failed) return FailWithErrno();
  return 0;
}

UINT _lread(HFILE file, LPVOID buffer, UINT count) {
  if (HookFails(kRead)) return static_cast<UINT>(HFILE_ERROR);
  auto* out = static_cast<char*>(buffer);
  UINT done = 0;
  while (done < count) {
    ssize_t got = read(file, out + done, count - done);
    if (got < 0) {
      if (errno == EINTR) continue;
      FailWithErrno();
      return static_cast<UINT>(HFILE_ERROR);
    }
    if (got == 0) break;
    done += static_cast<UINT>(got);
  }
  return done;
}

UINT _lwrite(HFILE file, LPCCH buffer, UINT count) {
  if (HookFails(kWrite)) return static_cast<UINT>(HFILE_ERROR);
  if (count == 0) {
    // Win32 quirk kept on purpose: writing nothing sets the end of the file
    // at the current position.
    off_t here = lseek(file, 0, SEEK_CUR);
    if (here < 0 || ftruncate(file, here) != 0) {
      FailWithErrno();
      return static_cast<UINT>(HFILE_ERROR);
    }
    return 0;
  }
  UINT done = 0;
  while (done < count) {
    ssize_t put = write(file, buffer + done, count - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      FailWithErrno();
      return static_cast<UINT>(HFILE_ERROR);
    }
    done += static_cast<UINT>(put);
  }
  return done;
}

LONG _llseek(HFILE file, LONG offset, int origin) {
  if (HookFails(kSeek)) return HFILE_ERROR;
  int whence = origin == FILE_CURRENT ? SEEK_CUR : origin == FILE_END ? SEEK_END : SEEK_SET;
  off_t position = lseek(file, offset, whence);
  if (position < 0) return FailWithErrno();
  if (position > 0x7FFFFFFF) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return HFILE_ERROR;
  }
  return static_cast<LONG>(position);
}

HFILE OpenFile(LPCSTR fileName, LPOFSTRUCT ofs, UINT style) {
  if (ofs == nullptr) return HFILE_ERROR;
  ofs->cBytes = sizeof(OFSTRUCT);
  ofs->nErrCode = 0;
  if (style & OF_REOPEN) fileName = ofs->szPathName;
  if (fileName == nullptr || fileName[0] == '\0') {
    SetLastError(ERROR_FILE_NOT_FOUND);
    ofs->nErrCode = static_cast<WORD>(GetLastError());
    return HFILE_ERROR;
  }
  std::string full = imexp::posix::FullPath(fileName);
  if (full.size() >= sizeof ofs->szPathName) {
    SetLastError(ERROR_INVALID_DATA);
    ofs->nErrCode = ERROR_INVALID_DATA;
    return HFILE_ERROR;
  }
  // Copy through a temporary: with OF_REOPEN the name lives in szPathName.
  std::memcpy(ofs->szPathName, full.c_str(), full.size() + 1);
  ofs->fFixedDisk = 1;
  if (style & OF_PARSE) return 0;

  HFILE file;
  if (HookFails((style & OF_CREATE) ? kCreate : (style & OF_DELETE) ? kDelete : kOpen)) {
    file = HFILE_ERROR;
  } else if (style & OF_CREATE) {
    file = open(full.c_str(), AccessFlags(style) | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (file < 0) file = FailWithErrno();
  } else if (style & OF_DELETE) {
    if (!RemoveFile(full.c_str())) {
      ofs->nErrCode = static_cast<WORD>(GetLastError());
      return HFILE_ERROR;
    }
    return TRUE;
  } else {
    file = OpenExisting(full.c_str(), style);
  }
  if (file == HFILE_ERROR) {
    ofs->nErrCode = static_cast<WORD>(GetLastError());
    return HFILE_ERROR;
  }
  if (style & OF_EXIST) {
    close(file);
    return TRUE;
  }
  return file;
}

HANDLE CreateFileA(LPCSTR fileName, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD,
                   HANDLE) {
  int flags = (access & GENERIC_WRITE) ? ((access & GENERIC_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
  switch (disposition) {
    case CREATE_NEW:
      flags |= O_CREAT | O_EXCL;
      break;
    case CREATE_ALWAYS:
      flags |= O_CREAT | O_TRUNC;
      break;
    case OPEN_ALWAYS:
      flags |= O_CREAT;
      break;
    case TRUNCATE_EXISTING:
      flags |= O_TRUNC;
      break;
    case OPEN_EXISTING:
      break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return INVALID_HANDLE_VALUE;
  }
  if (fileName == nullptr || fileName[0] == '\0') {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (HookFails((flags & O_CREAT) ? kCreate : kOpen)) return INVALID_HANDLE_VALUE;
  int fd = OpenNotFolder(fileName, flags);
  // Win32 names an existing file that CREATE_NEW refuses differently from
  // the names it has already taken.
  if (fd < 0 && disposition == CREATE_NEW && errno == EEXIST) SetLastError(ERROR_FILE_EXISTS);
  return HandleOrInvalid(fd);
}

BOOL FlushFileBuffers(HANDLE file) {
  if (HookFails(kFlush)) return FALSE;
  if (fsync(static_cast<int>(reinterpret_cast<INT_PTR>(file))) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

BOOL MoveFileA(LPCSTR existing, LPCSTR target) { return MoveFileExA(existing, target, 0); }

BOOL MoveFileExA(LPCSTR existing, LPCSTR target, DWORD flags) {
  if (existing == nullptr || target == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (HookFails((flags & MOVEFILE_REPLACE_EXISTING) ? kReplace : kMove)) return FALSE;
  bool moved;
  if (flags & MOVEFILE_REPLACE_EXISTING) {
    // rename() replaces a file atomically; Windows refuses to replace a
    // directory, and so does rename() for a file onto one.
    moved = rename(existing, target) == 0;
  } else {
    moved = RenameNoReplace(existing, target);
  }
  if (!moved) {
    SetLastError(errno == EEXIST ? ERROR_ALREADY_EXISTS : ErrorFromErrno(errno));
    return FALSE;
  }
  if (flags & MOVEFILE_WRITE_THROUGH) FlushFolderOf(target);
  return TRUE;
}

BOOL DeleteFileA(LPCSTR fileName) {
  if (fileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (HookFails(kDelete)) return FALSE;
  return RemoveFile(fileName) ? TRUE : FALSE;
}

extern "C" void ImExpPosix_SetFileCallHook(ImExpPosix_FileCallHook hook) {
  fileCallHook.store(hook, std::memory_order_release);
}

namespace imexp::platform {

void ClearFileError() {
  errno = 0;
  SetLastError(ERROR_SUCCESS);
}

DWORD LastFileError() { return errno == 0 ? ERROR_SUCCESS : ErrorFromErrno(errno); }

void StartWriteBack(HFILE file) {
#ifdef SYNC_FILE_RANGE_WRITE
  // A length of 0 runs to the end of the file. The errno of a file system
  // that cannot do it must not be taken for the reason of a later failure.
  const int saved = errno;
  sync_file_range(file, 0, 0, SYNC_FILE_RANGE_WRITE);
  errno = saved;
#else
  (void)file;
#endif
}

}  // namespace imexp::platform

short GetFileTitleA(LPCSTR file, LPSTR title, WORD size) {
  // The common-dialog rules: no wildcards or brackets, no trailing separator;
  // the title is what follows the last '\', '/' or ':'. A buffer that is too
  // small gets nothing and the result is the size needed.
  if (file == nullptr || title == nullptr) return -1;
  std::size_t length = std::strlen(file);
  if (length == 0 || std::strpbrk(file, "*[]") != nullptr) return -1;
  char last = file[length - 1];
  if (last == '/' || last == '\\' || last == ':') return -1;
  std::size_t start = length;
  while (start > 0 && file[start - 1] != '/' && file[start - 1] != '\\' && file[start - 1] != ':') {
    --start;
  }
  std::size_t needed = length - start + 1;
  if (size < needed) return static_cast<short>(needed);
  std::memcpy(title, file + start, needed);
  return 0;
}
