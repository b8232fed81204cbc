// Pixel memory on POSIX: anonymous mappings, and for an image of at least
// one large page a mapping aligned to large pages and advised for them, so
// that Linux backs it with transparent huge pages (also when the system
// gives them only on request, as most distributions ship it).
#include <sys/mman.h>
#include <unistd.h>

#include <limits>

#include "tools/imexp/pixel_memory.h"

namespace imexp::cli {

namespace {

constexpr std::size_t kLargePageBytes = std::size_t{2} << 20;

std::size_t RoundUp(std::size_t bytes, std::size_t unit) { return (bytes + unit - 1) / unit * unit; }

// `bytes` of fresh anonymous memory at an address that is a multiple of
// `alignment`; null when the system refuses. The mapping is made larger by
// one alignment unit and trimmed to the aligned part.
uint8_t* MapAligned(std::size_t bytes, std::size_t alignment) {
  const std::size_t spanned = bytes + alignment;
  void* mapped = mmap(nullptr, spanned, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  auto* start = static_cast<uint8_t*>(mapped);
  auto* aligned = reinterpret_cast<uint8_t*>(RoundUp(reinterpret_cast<uintptr_t>(start), alignment));
  const std::size_t head = static_cast<std::size_t>(aligned - start);
  if (head != 0) munmap(start, head);
  const std::size_t tail = spanned - head - bytes;
  if (tail != 0) munmap(aligned + bytes, tail);
  return aligned;
}

}  // namespace

void PixelMemoryRelease::operator()(uint8_t* pixels) const {
  if (pixels != nullptr) munmap(pixels, reserved);
}

PixelMemory AllocatePixels(std::size_t bytes) {
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  const bool large = bytes >= kLargePageBytes;
  const std::size_t unit = large ? kLargePageBytes : page;
  PixelMemory memory;
  if (bytes != 0 && bytes <= std::numeric_limits<std::size_t>::max() - 2 * kLargePageBytes) {
    const std::size_t reserved = RoundUp(bytes, unit);
    uint8_t* pixels = MapAligned(reserved, unit);
#ifdef MADV_HUGEPAGE
    // Only advice: where large pages are off or none are free, the block
    // is simply made of ordinary pages.
    if (pixels != nullptr && large) madvise(pixels, reserved, MADV_HUGEPAGE);
#endif
    memory = PixelMemory(pixels, PixelMemoryRelease{reserved});
  }
  return memory;
}

}  // namespace imexp::cli
