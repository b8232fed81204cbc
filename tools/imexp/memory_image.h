// The image the command-line host holds between a read and a write: one
// contiguous buffer of host rows, row 0 (the BOTTOM row, as the manager
// numbers them) first, each exactly (width x bits + 7) / 8 bytes.
#pragma once

#include <imexp/host.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

// The host row sizes the manager computes, so that both agree.
#include "pipeline/row_sizes.h"
#include "tools/imexp/pixel_memory.h"

namespace imexp::cli {

struct MemoryImage {
  unsigned width = 0;
  unsigned height = 0;
  int type = 0;  // one HIT_* value
  std::size_t rowBytes = 0;
  PixelMemory pixels;
  std::array<ImExpPaletteEntry, 256> palette{};
  int resolutionX = 0;  // dots per inch, 0 when unknown
  int resolutionY = 0;

  uint8_t* Row(unsigned hostRow) { return pixels.get() + std::size_t{hostRow} * rowBytes; }
  const uint8_t* Row(unsigned hostRow) const { return pixels.get() + std::size_t{hostRow} * rowBytes; }
};

// Takes an image from ImExp_ReadFile into a MemoryImage.
class ImageReceiver : public CAbstractReadWA {
 public:
  explicit ImageReceiver(MemoryImage& image) : image_(image) {}

  int Reserved1(int, int) override { return 0; }
  int Reserved2(int, int) override { return 0; }
  int SetImageSize(int, int, unsigned int width, unsigned int height) override;
  int SetImageType(int, int, int imageType) override;
  int SetPalette(int, int, ImExpPaletteEntry* entries, int count) override;
  int SetResolution(int, int, int horizontal, int vertical) override;
  int PutRow(int, int, int hostRow, unsigned char* row) override;

  // Set when the pixels could not be stored; the progress object then
  // cancels the read, since only SetImageSize can refuse.
  const std::atomic<bool>& failed() const { return failed_; }
  bool outOfMemory() const { return outOfMemory_; }
  // True when every row arrived.
  bool Complete() const;
  unsigned rowsDelivered() const { return deliveredCount_; }
  unsigned height() const { return image_.height; }

 private:
  MemoryImage& image_;
  std::atomic<bool> failed_{false};
  bool outOfMemory_ = false;
  std::vector<bool> delivered_;
  unsigned deliveredCount_ = 0;
};

// Hands a MemoryImage to ImExp_WriteFile.
class ImageSource : public CAbstractWriteWA {
 public:
  explicit ImageSource(const MemoryImage& image) : image_(image) {}

  int Reserved1(int, int) override { return 0; }
  int Reserved2(int, int) override { return 0; }
  int GetImageSize(int, int, int* width, int* height) override;
  int GetImageType(int, int, int* imageType) override;
  int GetPalette(int, int, ImExpPaletteEntry* entries) override;
  int GetResolution(int, int, int* horizontal, int* vertical) override;
  int GetRow(int, int, int hostRow, unsigned char* row) override;

 private:
  const MemoryImage& image_;
};

}  // namespace imexp::cli
