// What the reader, the writer and the entry points of the BMP converter share:
// our error codes, the parsed file header and small byte helpers.
#pragma once

#include <imexp/converter.h>

#include <cstddef>
#include <cstdint>
#include <new>

namespace imexp::bmp {

// Codes 16 to 20 already carry the manager's meanings, and the manager asks
// this library to word any code from 16 up while it is loaded (code 19 comes
// from the host while a read is under way), so our own codes start above them.
constexpr int kErrBadHeader = 21;
constexpr int kErrBadDimensions = 22;
constexpr int kErrUnsupportedDepth = 23;
constexpr int kErrUnsupportedCompression = 24;
constexpr int kErrPaletteTooLarge = 25;
constexpr int kErrBadBitFields = 26;
constexpr int kErrBadDataOffset = 27;

// The manager refuses wider, taller or longer rows; refusing them here gives
// the user a clearer message than an inconsistent descriptor would.
constexpr uint32_t kMaxSide = 32512;

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kWindowsInfoHeaderSize = 40;
constexpr uint32_t kLargestInfoHeader = 124;

enum class Variant { kOs2V1, kOs2V2, kWindowsV3, kWindowsV4, kWindowsV5 };
enum class Compression { kNone, kRle8, kRle4, kBitFields };

// A BMP header after every field has been checked against the others and
// against the file's size; pixel data may still turn out to be short.
struct BmpHeader {
  long fileSize = 0;
  Variant variant = Variant::kWindowsV3;
  uint32_t width = 0;
  uint32_t height = 0;
  bool topDown = false;
  uint16_t bits = 0;
  Compression compression = Compression::kNone;
  int32_t ppmX = 0;  // pixels per metre; 0 when unknown
  int32_t ppmY = 0;
  uint32_t paletteOffset = 0;
  uint32_t paletteCount = 0;  // entries present in the file, never above 2^bits
  uint32_t paletteEntrySize = 4;
  uint32_t masks[3] = {};  // red, green, blue for 16 and 32 bits
  uint32_t dataOffset = 0;
  uint64_t stride = 0;    // stored row, padded to 4 bytes
  uint64_t rowBytes = 0;  // bytes of a stored row that hold pixels
};

// Reads and checks the headers at the start of `file` (position not trusted).
[[nodiscard]] int ParseBmpHeader(HFILE file, BmpHeader& header);
// The cheap test of RDCheckFile: signature and a header size we know.
[[nodiscard]] bool LooksLikeBmp(HFILE file);

const char* VariantName(Variant variant);
const char* CompressionName(Compression compression);

// Reads up to `count` bytes from `offset`; the number read, or -1.
long ReadAt(HFILE file, uint64_t offset, void* buffer, uint64_t count);

inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t Le32(const uint8_t* p) {
  return p[0] | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
inline void PutLe16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLe32(uint8_t* p, uint32_t v) {
  PutLe16(p, v);
  PutLe16(p + 2, v >> 16);
}

// Copies into a fixed-size record field, always terminated.
void CopyField(char* field, std::size_t size, const char* text);

// No exception may cross the C boundary into the manager.
template <typename Fn>
int Guarded(Fn&& fn) noexcept {
  try {
    return fn();
  } catch (const std::bad_alloc&) {
    return CONV_ERR_NO_MEMORY;
  } catch (...) {
    return CONV_ERR_GENERAL;
  }
}

}  // namespace imexp::bmp
