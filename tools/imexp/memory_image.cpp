#include "tools/imexp/memory_image.h"

#include <algorithm>
#include <cstring>

namespace imexp::cli {

int ImageReceiver::SetImageSize(int, int, unsigned int width, unsigned int height) {
  image_.width = width;
  image_.height = height;
  image_.pixels.reset();
  delivered_.assign(height, false);
  deliveredCount_ = 0;
  // The pixels are allocated when the type, and so the row size, is known.
  return width == 0 || height == 0 ? 1 : 0;
}

int ImageReceiver::SetImageType(int, int, int imageType) {
  image_.type = imageType;
  const uint32_t bits = HostTypeBits(imageType);
  image_.rowBytes = static_cast<std::size_t>(PackedRowBytes(image_.width, bits));
  if (bits == 0) {
    failed_ = true;
    return 0;
  }
  // Left uninitialised: every row is written by PutRow before it is read,
  // and Complete() checks that, so the pages are touched once, not twice.
  image_.pixels = AllocatePixels(image_.rowBytes * image_.height);
  if (!image_.pixels) failed_ = outOfMemory_ = true;
  return 0;
}

int ImageReceiver::SetPalette(int, int, ImExpPaletteEntry* entries, int count) {
  if (entries == nullptr || count < 0) return 0;
  std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(count), image_.palette.size());
  std::copy(entries, entries + n, image_.palette.begin());
  return 0;
}

int ImageReceiver::SetResolution(int, int, int horizontal, int vertical) {
  image_.resolutionX = horizontal;
  image_.resolutionY = vertical;
  return 0;
}

int ImageReceiver::PutRow(int, int, int hostRow, unsigned char* row) {
  if (failed_ || row == nullptr || hostRow < 0 || static_cast<unsigned>(hostRow) >= image_.height) {
    failed_ = true;
    return 0;
  }
  unsigned index = static_cast<unsigned>(hostRow);
  if (!delivered_[index]) {
    delivered_[index] = true;
    ++deliveredCount_;
  }
  std::memcpy(image_.Row(index), row, image_.rowBytes);
  return 0;
}

bool ImageReceiver::Complete() const {
  return !failed_ && image_.pixels != nullptr && deliveredCount_ == image_.height;
}

int ImageSource::GetImageSize(int, int, int* width, int* height) {
  if (width != nullptr) *width = static_cast<int>(image_.width);
  if (height != nullptr) *height = static_cast<int>(image_.height);
  return 0;
}

int ImageSource::GetImageType(int, int, int* imageType) {
  if (imageType != nullptr) *imageType = image_.type;
  return 0;
}

int ImageSource::GetPalette(int, int, ImExpPaletteEntry* entries) {
  if (entries != nullptr) std::copy(image_.palette.begin(), image_.palette.end(), entries);
  return 0;
}

int ImageSource::GetResolution(int, int, int* horizontal, int* vertical) {
  if (horizontal != nullptr) *horizontal = image_.resolutionX;
  if (vertical != nullptr) *vertical = image_.resolutionY;
  return 0;
}

int ImageSource::GetRow(int, int, int hostRow, unsigned char* row) {
  if (row == nullptr || hostRow < 0 || static_cast<unsigned>(hostRow) >= image_.height) return 0;
  std::memcpy(row, image_.Row(static_cast<unsigned>(hostRow)), image_.rowBytes);
  return 0;
}

}  // namespace imexp::cli
