// The global heap: fixed and movable blocks with lock counts.
//
// A fixed block's handle is its address; a movable block's handle is a
// separate token that stays the same when the block is reallocated. Every
// live block is registered so that handles from elsewhere are rejected
// instead of corrupting the heap.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/posix/host_exports.h"
#include "platform/win32.h"

namespace {

struct Block {
  void* data = nullptr;
  SIZE_T size = 0;
  bool movable = false;
  int locks = 0;
};

// Built on first use: the library's attach code allocates before the
// library's other static objects would be constructed.
struct Heap {
  std::mutex mutex;
  std::unordered_map<HGLOBAL, Block*> blocksByHandle;
  std::unordered_map<const void*, HGLOBAL> handlesByAddress;
  // 0: no failure planned; n: the n-th allocation or reallocation from now fails.
  int allocationsUntilFailure = 0;
};

Heap& TheHeap() {
  static Heap heap;
  return heap;
}

bool PlannedFailure() {
  int& left = TheHeap().allocationsUntilFailure;
  if (left <= 0) return false;
  return --left == 0;
}

// The block of `handle`; null, with the last error set as Win32 sets it
// for a handle it never gave out, when there is none.
Block* Find(HGLOBAL handle) {
  auto& blocks = TheHeap().blocksByHandle;
  auto it = blocks.find(handle);
  if (it != blocks.end()) return it->second;
  SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}

}  // namespace

extern "C" void ImExpPosix_FailGlobalAlloc(int nth) {
  std::lock_guard<std::mutex> lock(TheHeap().mutex);
  TheHeap().allocationsUntilFailure = nth;
}

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
  std::lock_guard<std::mutex> lock(TheHeap().mutex);
  if (PlannedFailure()) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  SIZE_T size = bytes == 0 ? 1 : bytes;
  void* data = (flags & GMEM_ZEROINIT) ? std::calloc(1, size) : std::malloc(size);
  if (data == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto* block = new Block{data, bytes, (flags & GMEM_MOVEABLE) != 0, 0};
  HGLOBAL handle = block->movable ? reinterpret_cast<HGLOBAL>(block) : static_cast<HGLOBAL>(data);
  TheHeap().blocksByHandle[handle] = block;
  TheHeap().handlesByAddress[data] = handle;
  return handle;
}

HGLOBAL GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags) {
  std::lock_guard<std::mutex> lock(TheHeap().mutex);
  Block* block = Find(mem);
  if (block == nullptr) return nullptr;
  if (PlannedFailure()) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  // A fixed or locked block may only move when the caller allows it.
  bool mayMove = (block->movable && block->locks == 0) || (flags & GMEM_MOVEABLE);
  if (bytes <= block->size || mayMove) {
    SIZE_T size = bytes == 0 ? 1 : bytes;
    void* data = block->data;
    if (bytes > block->size) {
      data = std::malloc(size);
      if (data == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
      }
      std::memcpy(data, block->data, block->size);
      if (flags & GMEM_ZEROINIT) std::memset(static_cast<char*>(data) + block->size, 0, bytes - block->size);
      std::free(block->data);
    }
    TheHeap().handlesByAddress.erase(block->data);
    block->data = data;
    block->size = bytes;
    HGLOBAL handle = mem;
    if (!block->movable) {
      TheHeap().blocksByHandle.erase(mem);
      handle = static_cast<HGLOBAL>(data);
      TheHeap().blocksByHandle[handle] = block;
    }
    TheHeap().handlesByAddress[data] = handle;
    return handle;
  }
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return nullptr;
}

LPVOID GlobalLock(HGLOBAL mem) {
  std::lock_guard<std::mutex> lock(TheHeap().mutex);
  Block* block = Find(mem);
  if (block == nullptr) return nullptr;
  if (block->movable) ++block->locks;
  return block->data;
}

BOOL GlobalUnlock(HGLOBAL mem) {
  std::lock_guard<std::mutex> lock(TheHeap().mutex);
  Block* block = Find(mem);
  if (block == nullptr) return FALSE;
  if (!block->movable) return TRUE;
  if (block->locks > 0) --block->locks;
  SetLastError(ERROR_SUCCESS);
  return block->locks > 0 ? TRUE : FALSE;
}

HGLOBAL GlobalHandle(LPCVOID mem) {
  std::lock_guard<std::mutex> lock(TheHeap().mutex);
  auto it = TheHeap().handlesByAddress.find(mem);
  if (it == TheHeap().handlesByAddress.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return it->second;
}

HGLOBAL GlobalFree(HGLOBAL mem) {
  std::lock_guard<std::mutex> lock(TheHeap().mutex);
  Block* block = Find(mem);
  if (block == nullptr) return mem;
  TheHeap().blocksByHandle.erase(mem);
  TheHeap().handlesByAddress.erase(block->data);
  std::free(block->data);
  delete block;
  return nullptr;
}

SIZE_T GlobalSize(HGLOBAL mem) {
  std::lock_guard<std::mutex> lock(TheHeap().mutex);
  Block* block = Find(mem);
  return block == nullptr ? 0 : block->size;
}
