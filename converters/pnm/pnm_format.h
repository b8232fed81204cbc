// What the PNM converter's entry points share: the header as parsed, the
// buffered input that headers and text rasters are read through, the
// converter's own error codes and a guard that keeps C++ exceptions from
// crossing the C boundary.
#pragma once

#include <imexp/converter.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <new>

namespace pnm {

// The manager asks us to word every code from 16 up while we are loaded,
// including its own 17 to 20, so our codes start above those.
inline constexpr int kErrImageTooLarge = 21;
inline constexpr int kErrBadMaxval = 22;
inline constexpr int kErrBadSample = 23;

// The manager's limit for width, height and row bytes.
inline constexpr uint32_t kMaxDimension = 32512;

struct PnmHeader {
  int kind = 0;  // the digit after 'P': 1 to 3 text, 4 to 6 binary
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t maxval = 1;
  long dataOffset = 0;  // first raster byte

  bool Binary() const { return kind >= 4; }
  bool Bilevel() const { return kind == 1 || kind == 4; }
  uint32_t Channels() const { return kind == 3 || kind == 6 ? 3 : 1; }
  uint32_t BytesPerSample() const { return maxval > 255 ? 2 : 1; }
  // Bytes of one row in a binary file.
  uint64_t FileRowBytes() const {
    return Bilevel() ? (uint64_t{width} + 7) / 8 : uint64_t{width} * Channels() * BytesPerSample();
  }
  // Bits per pixel as stored in the file, for the information dialog.
  uint16_t FileBitsPerPixel() const {
    return Bilevel() ? 1 : static_cast<uint16_t>(8 * BytesPerSample() * Channels());
  }
};

// Reads a file through a buffer. It seeks before every refill: the manager
// promises nothing about the file position between two of our calls.
class FileInput {
 public:
  void Start(HFILE file, long offset) {
    file_ = file;
    next_ = offset;
    pos_ = len_ = 0;
  }
  // The next byte, or -1 at the end of the file or on a read error.
  int Get() {
    if (pos_ == len_ && !Refill()) return -1;
    return buffer_[pos_++];
  }
  int Peek() {
    if (pos_ == len_ && !Refill()) return -1;
    return buffer_[pos_];
  }
  // File offset of the byte Get would return next.
  long Offset() const { return next_ - static_cast<long>(len_ - pos_); }

 private:
  bool Refill() {
    if (ConvFileSeek(file_, next_, CONV_SEEK_SET) != next_) return false;
    long got = ConvFileRead(file_, buffer_.data(), buffer_.size());
    if (got <= 0) return false;
    pos_ = 0;
    len_ = static_cast<std::size_t>(got);
    next_ += got;
    return true;
  }

  HFILE file_ = -1;
  long next_ = 0;
  std::size_t pos_ = 0;
  std::size_t len_ = 0;
  std::array<uint8_t, 8192> buffer_{};
};

// Parses the header at the start of the file. On success the input stands
// at the first raster byte (header->dataOffset).
[[nodiscard]] int ParseHeader(HFILE file, FileInput& input, PnmHeader* header);

// One text sample: a decimal number, or for P1 a single '0' or '1' (plain
// PBM needs no separators between pixels). Values beyond 65535 saturate.
[[nodiscard]] int ReadTextSample(FileInput& input, bool bilevel, uint32_t* value);

// "PPM binary (P6)" and its kin.
const char* FormatName(int kind);

// Copies a string into a fixed-size record field, always terminated.
void CopyField(char* field, std::size_t size, const char* text);

// Runs an entry point's body; an allocation failure becomes
// CONV_ERR_NO_MEMORY instead of unwinding into the manager.
template <typename Body>
[[nodiscard]] int Guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return CONV_ERR_NO_MEMORY;
  } catch (...) {
    return CONV_ERR_GENERAL;
  }
}

}  // namespace pnm
