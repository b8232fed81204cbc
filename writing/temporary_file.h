// The file a write goes into: "~cv%05u.tmp" beside the target, created
// exclusively (two writers never share one), flushed to stable storage and
// moved into the target's place in one step only when everything has
// succeeded, and deleted when it never was.
#pragma once

#include "platform/win32.h"

namespace imexp {

class TemporaryFile {
 public:
  TemporaryFile() = default;
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() { Discard(); }

  // Creates the first "~cv%05u.tmp" in the target's folder that nobody else
  // has: the create itself fails on a name that exists, and the next number
  // is tried. False when none can be created, also when its path would not
  // fit 127 characters.
  [[nodiscard]] bool Create(const char* target);
  HFILE handle() const { return file_; }
  const char* path() const { return ofs_.szPathName; }
  // Sets the system writing what the file holds so far, without waiting:
  // called as the file grows, it leaves FlushAndClose little to wait for.
  void StartWriteBack() const;
  // Writes what the system still holds of the file to stable storage and
  // closes it. False when either fails: the file's contents are then not
  // known to be whole.
  [[nodiscard]] bool FlushAndClose();
  // Moves the (closed) file onto the target, replacing an existing target
  // in one step that is itself made durable; the target is never deleted
  // first. False when the move fails: the old target is then untouched.
  [[nodiscard]] bool Commit(const char* target);
  // Closes and deletes the file unless it was committed.
  void Discard();

 private:
  void Close();

  OFSTRUCT ofs_{};
  HFILE file_ = HFILE_ERROR;
  bool exists_ = false;
};

}  // namespace imexp
