// Pixel memory on Windows: committed pages of their own, given back to the
// system as soon as the image is. Large pages need a privilege that an
// ordinary user lacks, so they are not asked for.
#include <windows.h>

#include "tools/imexp/pixel_memory.h"

namespace imexp::cli {

void PixelMemoryRelease::operator()(uint8_t* pixels) const {
  if (pixels != nullptr) VirtualFree(pixels, 0, MEM_RELEASE);
}

PixelMemory AllocatePixels(std::size_t bytes) {
  void* pixels =
      bytes != 0 ? VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE) : nullptr;
  return PixelMemory(static_cast<uint8_t*>(pixels), PixelMemoryRelease{bytes});
}

}  // namespace imexp::cli
