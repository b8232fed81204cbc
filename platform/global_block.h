// A block of the platform's global heap that stays locked while it is owned
// and is unlocked and freed when the owner lets go of it, on every path.
#pragma once

#include <utility>

#include "platform/win32.h"

namespace imexp {

class GlobalBlock {
 public:
  GlobalBlock() = default;
  GlobalBlock(const GlobalBlock&) = delete;
  GlobalBlock& operator=(const GlobalBlock&) = delete;
  GlobalBlock(GlobalBlock&& other) noexcept
      : handle_(std::exchange(other.handle_, nullptr)), data_(std::exchange(other.data_, nullptr)) {}
  GlobalBlock& operator=(GlobalBlock&& other) noexcept {
    if (this != &other) {
      Free();
      handle_ = std::exchange(other.handle_, nullptr);
      data_ = std::exchange(other.data_, nullptr);
    }
    return *this;
  }
  ~GlobalBlock() { Free(); }

  // Allocates a zero-filled block (movable unless told otherwise) and locks
  // it. Returns false, holding nothing, when either step fails.
  [[nodiscard]] bool Allocate(SIZE_T bytes, UINT flags = GHND) {
    Free();
    handle_ = GlobalAlloc(flags | GMEM_ZEROINIT, bytes);
    if (handle_ == nullptr) return false;
    data_ = GlobalLock(handle_);
    if (data_ == nullptr) {
      GlobalFree(handle_);
      handle_ = nullptr;
      return false;
    }
    return true;
  }

  // Unlocks, reallocates and locks again. On failure the old block stays,
  // locked, with its contents.
  [[nodiscard]] bool Resize(SIZE_T bytes) {
    if (handle_ == nullptr) return false;
    GlobalUnlock(handle_);
    HGLOBAL resized = GlobalReAlloc(handle_, bytes, GMEM_MOVEABLE | GMEM_ZEROINIT);
    if (resized != nullptr) handle_ = resized;
    data_ = GlobalLock(handle_);
    return resized != nullptr && data_ != nullptr;
  }

  void Free() {
    if (handle_ != nullptr) {
      if (data_ != nullptr) GlobalUnlock(handle_);
      GlobalFree(handle_);
    }
    handle_ = nullptr;
    data_ = nullptr;
  }

  bool empty() const { return data_ == nullptr; }
  void* data() const { return data_; }
  template <typename T>
  T* as() const {
    return static_cast<T*>(data_);
  }

 private:
  HGLOBAL handle_ = nullptr;
  void* data_ = nullptr;
};

}  // namespace imexp
