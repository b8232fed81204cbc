// What every C++ converter needs beyond the interface itself: the limits the
// manager enforces, the wording of the manager's error codes 16 to 20, a
// guard that keeps C++ exceptions from crossing the C entry points, bounded
// copies into the records' fixed-size fields, little-endian fields, the
// checks of a band the descriptor names, and buffered reading and writing at
// known file offsets.
//
// Header-only, so that a converter stays one shared library that needs
// nothing of the manager's at run time.
#pragma once

#include <imexp/converter.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <limits>
#include <new>
#include <span>
#include <utility>
#include <vector>

namespace imexp::conv {

// ConvGetVersion's answer: this interface, with both capability bits so that
// the setup dialog installs the converter too.
inline constexpr uint32_t kConverterVersion =
    CONV_VERSION_CAPABILITY_1 | CONV_VERSION_CAPABILITY_2 | CONV_INTERFACE_VERSION;

// The manager refuses an image wider or higher than this, and a row or a
// band of more bytes. Refusing such a file in the converter gives the user a
// message about the file instead of one about an inconsistent descriptor.
inline constexpr uint32_t kMaxSide = 32512;
inline constexpr uint32_t kMaxBandBytes = 32512;

// ------------------------------------------------------------ error texts

// Codes 16 to 20 carry the manager's meanings, and the manager asks the
// loaded converter to word every code from 16 up (code 19 comes from the
// host while a read is under way), so a converter's own codes start here.
inline constexpr int kFirstOwnError = CONV_ERR_NO_SAVE_FORMAT + 1;

// ConvGetErrorString's buffer: 255 characters and the terminating zero.
inline constexpr std::size_t kErrorTextSize = 256;

// The message for one code: at most one "%s", which takes the file title.
struct ErrorWording {
  int code;
  const char* format;
};

// Codes 16 to 20 in the manager's own words, so that a code reads the same
// whether the manager or the converter puts it into words.
inline constexpr ErrorWording kManagerErrorWordings[] = {
    {CONV_ERR_CUSTOM, "Custom Converter Error"},
    {CONV_ERR_NOT_CONFIGURED, "Converters configured inproperly"},
    {CONV_ERR_WRONG_DLL_VERSION, "Wrong custom DLL version %s"},
    {CONV_ERR_WA_FAILURE, "WA Failure"},
    {CONV_ERR_NO_SAVE_FORMAT, "No Suitable Formats for Save"},
};

// ConvGetErrorString's body: the converter's own wording of `code`, else the
// manager's, else "<converterName> converter error <code> in <title>".
// Writes at most kErrorTextSize bytes into `text`, always terminated.
inline void WordError(int code, const char* fileTitle, char* text, std::span<const ErrorWording> own,
                      const char* converterName) noexcept {
  if (text == nullptr) return;
  const char* title = fileTitle != nullptr ? fileTitle : "";
  for (std::span<const ErrorWording> table : {own, std::span<const ErrorWording>(kManagerErrorWordings)}) {
    for (const ErrorWording& wording : table) {
      if (wording.code == code) {
        std::snprintf(text, kErrorTextSize, wording.format, title);
        return;
      }
    }
  }
  std::snprintf(text, kErrorTextSize, "%s converter error %d in %s", converterName, code, title);
}

// ConvGetErrorString's body for a converter over a field library: the own
// code `reasonCode` reads "<converterName> error in <title>: <reason>",
// with the reason the library gave for its last failure taken as text,
// never as a format ("unknown cause" when it gave none); every other code is
// worded as WordError words it.
inline void WordErrorWithReason(int code, const char* fileTitle, char* text,
                                std::span<const ErrorWording> own, const char* converterName, int reasonCode,
                                const char* reason) noexcept {
  if (text == nullptr) return;
  if (code != reasonCode) {
    WordError(code, fileTitle, text, own, converterName);
    return;
  }
  std::snprintf(text, kErrorTextSize, "%s error in %s: %s", converterName,
                fileTitle != nullptr ? fileTitle : "",
                reason != nullptr && *reason != '\0' ? reason : "unknown cause");
}

// ------------------------------------------------------- exception guard

// Runs the body of an entry point that returns an error code, with the
// entry point's arguments if given. No exception may unwind into the
// manager: running out of memory becomes CONV_ERR_NO_MEMORY, anything else
// CONV_ERR_GENERAL.
template <typename Body, typename... Args>
[[nodiscard]] int Guarded(Body&& body, Args&&... args) noexcept {
  try {
    return std::invoke(body, std::forward<Args>(args)...);
  } catch (const std::bad_alloc&) {
    return CONV_ERR_NO_MEMORY;
  } catch (...) {
    return CONV_ERR_GENERAL;
  }
}

// The same for an entry point without a result: an exception ends the call,
// leaving whatever the body had filled in so far.
template <typename Body>
void GuardedVoid(Body&& body) noexcept {
  try {
    body();
  } catch (...) {
  }
}

// ------------------------------------------------------ record fields

// Copies `text` into a fixed-size field (ConvRecord's 128-, 40- and 42-byte
// strings, ConvImageInfo's names), cut to fit and always terminated. A null
// text leaves the field empty.
inline void CopyField(char* field, std::size_t size, const char* text) noexcept {
  if (field == nullptr || size == 0) return;
  std::size_t length = text == nullptr ? 0 : std::min(std::strlen(text), size - 1);
  if (length > 0) std::memcpy(field, text, length);
  field[length] = '\0';
}

template <std::size_t N>
void CopyField(char (&field)[N], const char* text) noexcept {
  CopyField(field, N, text);
}

// ----------------------------------------------------- little-endian fields

inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
inline void PutLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLe32(uint8_t* p, uint32_t v) {
  PutLe16(p, static_cast<uint16_t>(v));
  PutLe16(p + 2, static_cast<uint16_t>(v >> 16));
}

// ------------------------------------------------------- two-colour images

// The manager reads every 1-bit image as black and white. A 1-bit image
// whose two colours are anything else keeps them only when the converter
// describes it as a 4-bit palette image, each bit spread into a nibble.

// True when entries 0 and 1 of a palette (red, green and blue planes of 256
// bytes) are black and white, in either order.
inline bool IsBlackAndWhite(const unsigned char* palette) {
  auto level = [&](int entry) -> int {
    uint8_t r = palette[entry], g = palette[256 + entry], b = palette[512 + entry];
    if (r != g || g != b || (r != 0 && r != 255)) return -1;
    return r;
  };
  int first = level(0);
  int second = level(1);
  return first >= 0 && second >= 0 && first != second;
}

// Spreads `width` packed 1-bit pixels (first pixel in the top bit) into
// packed 4-bit pixels of value 0 or 1: (width + 1) / 2 bytes.
inline void SpreadBitsToNibbles(const uint8_t* bits, uint8_t* nibbles, uint32_t width) {
  for (uint32_t x = 0; x < width; x += 2) {
    unsigned high = (bits[x / 8] >> (7 - x % 8)) & 1u;
    unsigned low = x + 1 < width ? (bits[(x + 1) / 8] >> (7 - (x + 1) % 8)) & 1u : 0u;
    nibbles[x / 2] = static_cast<uint8_t>(high << 4 | low);
  }
}

// ------------------------------------------------------------------ bands

// Tells the manager how the bands go: who names them and how they travel
// (accessMode, CONV_ACCESS_*), the row order, and the most rows a band may
// hold. Bands are not fixed: the manager or the converter says each band's
// count.
inline void DescribeBands(ConvImageDesc& desc, uint16_t accessMode, uint16_t rowOrder, uint32_t maxBandRows) {
  desc.accessMode = accessMode;
  desc.rowOrder = rowOrder;
  desc.fixedBand = 0;
  desc.maxBandRows = maxBandRows;
}

// True when the band the descriptor names (bandCount rows from bandRow)
// holds at least one row, fits the band buffer (bandRows) and lies inside an
// image of `height` rows, travelling down from bandRow or, with `up`,
// towards row 0. A converter checks the manager's bands with it before it
// touches a byte.
inline bool BandInsideImage(const ConvImageDesc& desc, uint32_t height, bool up) {
  uint32_t first = desc.bandRow;
  uint32_t count = desc.bandCount;
  if (count == 0 || count > desc.bandRows || first >= height) return false;
  return up ? count <= first + 1 : count <= height - first;
}

// ------------------------------------------------------------------ files

// Reads up to `count` bytes from `offset`; the number read, or -1. The
// position is never trusted: the manager promises nothing about it between
// two calls, and content checks of several converters share one open file.
inline long ReadAt(HFILE file, uint64_t offset, void* buffer, uint64_t count) {
  if (offset > static_cast<uint64_t>(std::numeric_limits<long>::max()) || count > 0xFFFFFFFFu) return -1;
  long at = static_cast<long>(offset);
  if (ConvFileSeek(file, at, CONV_SEEK_SET) != at) return -1;
  return ConvFileRead(file, buffer, static_cast<unsigned long>(count));
}

// True when all `count` bytes from `offset` could be read.
[[nodiscard]] inline bool ReadExactlyAt(HFILE file, uint64_t offset, void* buffer, std::size_t count) {
  return ReadAt(file, offset, buffer, count) == static_cast<long>(count);
}

// Writes all `count` bytes at `offset`: CONV_OK, or CONV_ERR_DISK_FULL when
// the file takes fewer.
[[nodiscard]] inline int WriteAt(HFILE file, uint64_t offset, const void* bytes, std::size_t count) {
  if (offset > static_cast<uint64_t>(std::numeric_limits<long>::max())) return CONV_ERR_DISK_FULL;
  long at = static_cast<long>(offset);
  if (ConvFileSeek(file, at, CONV_SEEK_SET) != at) return CONV_ERR_DISK_FULL;
  return ConvFileWrite(file, bytes, static_cast<unsigned long>(count)) == 0 ? int{CONV_OK}
                                                                            : int{CONV_ERR_DISK_FULL};
}

// Reads the bytes between two file offsets through a buffer, seeking before
// every refill.
class FileInput {
 public:
  void Start(HFILE file, long offset, long end = std::numeric_limits<long>::max()) {
    file_ = file;
    next_ = offset;
    end_ = end;
    pos_ = len_ = 0;
  }
  // The next byte, or -1 at the end of the stretch or on a read error.
  int Get() {
    if (pos_ == len_ && !Refill()) return -1;
    return buffer_[pos_++];
  }
  // The byte Get would return, without taking it.
  int Peek() {
    if (pos_ == len_ && !Refill()) return -1;
    return buffer_[pos_];
  }
  // File offset of the byte Get would return next.
  long Offset() const { return next_ - static_cast<long>(len_ - pos_); }

 private:
  bool Refill() {
    if (next_ >= end_) return false;
    std::size_t want = std::min<std::size_t>(buffer_.size(), static_cast<std::size_t>(end_ - next_));
    long got = ReadAt(file_, static_cast<uint64_t>(next_), buffer_.data(), want);
    if (got <= 0) return false;
    pos_ = 0;
    len_ = static_cast<std::size_t>(got);
    next_ += got;
    return true;
  }

  HFILE file_ = -1;
  long next_ = 0;
  long end_ = 0;
  std::size_t pos_ = 0;
  std::size_t len_ = 0;
  std::array<uint8_t, 16384> buffer_{};
};

// Collects encoded bytes and writes them at a known file offset, the next
// batch right behind the last one.
class FileOutput {
 public:
  void Start(HFILE file, long offset) {
    file_ = file;
    offset_ = offset;
    pending_.clear();
  }
  // Inserted rather than resized into place: a resize would zero the new
  // bytes only for the copy to overwrite them. (The room is made first, in
  // doublings, because GCC 12 warns of an overflow in an insert that has to
  // grow the vector itself.)
  void Append(const void* bytes, std::size_t count) {
    if (count == 0) return;
    const std::size_t size = pending_.size();
    if (pending_.capacity() - size < count) pending_.reserve(std::max(pending_.capacity() * 2, size + count));
    const auto* first = static_cast<const uint8_t*>(bytes);
    pending_.insert(pending_.end(), first, first + count);
  }
  // Writes `count` bytes behind those collected. A run of a batch's worth
  // or more goes to the file straight from `bytes`, the collected ones
  // first, rather than being copied into the batch; a shorter one is
  // collected. CONV_OK, or CONV_ERR_DISK_FULL as for Flush.
  [[nodiscard]] int Put(const void* bytes, std::size_t count) {
    if (count < kDirectBytes) {
      Append(bytes, count);
      return Full() ? Flush() : int{CONV_OK};
    }
    if (int error = Flush()) return error;
    if (int error = WriteAt(file_, static_cast<uint64_t>(offset_), bytes, count)) return error;
    offset_ += static_cast<long>(count);
    return CONV_OK;
  }
  // The bytes not yet written, for encoders that append to them directly.
  std::vector<uint8_t>& pending() { return pending_; }
  // Enough collected to be worth a write.
  bool Full() const { return pending_.size() >= kBatchBytes; }
  // CONV_OK, or CONV_ERR_DISK_FULL when the file takes fewer bytes than it
  // was given.
  [[nodiscard]] int Flush() {
    if (pending_.empty()) return CONV_OK;
    if (int error = WriteAt(file_, static_cast<uint64_t>(offset_), pending_.data(), pending_.size())) {
      return error;
    }
    offset_ += static_cast<long>(pending_.size());
    pending_.clear();
    return CONV_OK;
  }

 private:
  static constexpr std::size_t kBatchBytes = 32768;
  // A run this long costs more to copy than its own write call does.
  static constexpr std::size_t kDirectBytes = 16384;

  HFILE file_ = -1;
  long offset_ = 0;
  std::vector<uint8_t> pending_;
};

}  // namespace imexp::conv
