// The block the command-line host keeps an image's pixels in. An image of
// a hundred megabytes or more is written once, row by row, as it is read;
// in ordinary pages every 4 KB of it costs the program a page fault, which
// takes longer than the read itself. Where the system can, the block is
// therefore laid out for large pages (aligned to them and advised as such);
// elsewhere it is plain memory. One implementation file per platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace imexp::cli {

// Gives a block of AllocatePixels back to the system.
struct PixelMemoryRelease {
  std::size_t reserved = 0;  // bytes the block spans, as the platform needs them to free it
  void operator()(uint8_t* pixels) const;
};

using PixelMemory = std::unique_ptr<uint8_t[], PixelMemoryRelease>;

// At least `bytes` bytes, left uninitialised; null when the system has no
// room for them (or `bytes` is 0).
[[nodiscard]] PixelMemory AllocatePixels(std::size_t bytes);

}  // namespace imexp::cli
