// Parsing and checking the file header, the info header in all its sizes,
// the colour masks and the palette's place. Everything that later code uses
// to size buffers or seek is checked here once.
#include <algorithm>
#include <climits>
#include <cstring>

#include "bmp_bitfields.h"
#include "bmp_format.h"

namespace imexp::bmp {

namespace {

constexpr uint32_t kOs2V1HeaderSize = 12;

// Compression values as stored in the file.
constexpr uint32_t kStoredRgb = 0;
constexpr uint32_t kStoredRle8 = 1;
constexpr uint32_t kStoredRle4 = 2;
constexpr uint32_t kStoredBitFields = 3;  // OS/2 2.x: Huffman 1D, which we do not read
constexpr uint32_t kStoredAlphaBitFields = 6;

// 12: OS/2 1.x core header. 16 to 64: OS/2 2.x, which may be cut short after
// any field, except the Windows sizes 40, 52 and 56. 108 and 124: Windows 4
// and 5.
bool IsKnownHeaderSize(uint32_t size) {
  return size == kOs2V1HeaderSize || size == 108 || size == 124 ||
         (size >= 16 && size <= 64 && size % 4 == 0);
}

Variant VariantOf(uint32_t headerSize) {
  switch (headerSize) {
    case kOs2V1HeaderSize:
      return Variant::kOs2V1;
    case 40:
    case 52:
    case 56:
      return Variant::kWindowsV3;
    case 108:
      return Variant::kWindowsV4;
    case 124:
      return Variant::kWindowsV5;
    default:
      return Variant::kOs2V2;
  }
}

bool IsWindows(Variant variant) { return variant != Variant::kOs2V1 && variant != Variant::kOs2V2; }

[[nodiscard]] int MapCompression(uint32_t stored, Variant variant, uint16_t bits, Compression& out) {
  switch (stored) {
    case kStoredRgb:
      out = Compression::kNone;
      return CONV_OK;
    case kStoredRle8:
      out = Compression::kRle8;
      return bits == 8 ? CONV_OK : kErrUnsupportedCompression;
    case kStoredRle4:
      out = Compression::kRle4;
      return bits == 4 ? CONV_OK : kErrUnsupportedCompression;
    case kStoredBitFields:
    case kStoredAlphaBitFields:
      out = Compression::kBitFields;
      return IsWindows(variant) && (bits == 16 || bits == 32) ? CONV_OK : kErrUnsupportedCompression;
    default:
      return kErrUnsupportedCompression;
  }
}

}  // namespace

bool LooksLikeBmp(HFILE file) {
  uint8_t bytes[kFileHeaderSize + 4] = {};
  if (ReadAt(file, 0, bytes, sizeof bytes) != static_cast<long>(sizeof bytes)) return false;
  return bytes[0] == 'B' && bytes[1] == 'M' && IsKnownHeaderSize(Le32(bytes + kFileHeaderSize));
}

int ParseBmpHeader(HFILE file, BmpHeader& h) {
  h = BmpHeader{};
  h.fileSize = ConvFileSize(file);
  if (h.fileSize < 0) return CONV_ERR_END_OF_FILE;

  // Room for the largest info header and for the masks a 40-byte header
  // keeps behind itself.
  uint8_t bytes[kFileHeaderSize + kLargestInfoHeader + 16] = {};
  long got = ReadAt(file, 0, bytes, sizeof bytes);
  if (got < 0) return CONV_ERR_END_OF_FILE;
  if (got < 2 || bytes[0] != 'B' || bytes[1] != 'M') return CONV_ERR_UNKNOWN_FORMAT;
  if (got < static_cast<long>(kFileHeaderSize + 4)) return CONV_ERR_END_OF_FILE;
  uint32_t headerSize = Le32(bytes + kFileHeaderSize);
  if (!IsKnownHeaderSize(headerSize)) return kErrBadHeader;
  if (got < static_cast<long>(kFileHeaderSize + headerSize)) return CONV_ERR_END_OF_FILE;

  // Fields that a short OS/2 2.x header leaves out read as 0.
  uint8_t info[kLargestInfoHeader] = {};
  std::memcpy(info, bytes + kFileHeaderSize, headerSize);
  h.variant = VariantOf(headerSize);

  int64_t width, height;
  uint32_t storedCompression = kStoredRgb;
  uint32_t colorsUsed = 0;
  if (h.variant == Variant::kOs2V1) {
    width = Le16(info + 4);
    height = Le16(info + 6);
    h.bits = Le16(info + 10);
    h.paletteEntrySize = 3;
  } else {
    width = static_cast<int32_t>(Le32(info + 4));
    height = static_cast<int32_t>(Le32(info + 8));
    h.bits = Le16(info + 14);
    storedCompression = Le32(info + 16);
    h.ppmX = static_cast<int32_t>(Le32(info + 24));
    h.ppmY = static_cast<int32_t>(Le32(info + 28));
    colorsUsed = Le32(info + 32);
  }
  if (width <= 0 || height == 0 || height == INT32_MIN) return kErrBadDimensions;
  h.width = static_cast<uint32_t>(width);
  h.topDown = height < 0;
  h.height = static_cast<uint32_t>(height < 0 ? -height : height);

  switch (h.bits) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      break;
    default:
      return kErrUnsupportedDepth;
  }
  if (int error = MapCompression(storedCompression, h.variant, h.bits, h.compression)) return error;

  uint32_t headersEnd = kFileHeaderSize + headerSize;
  if (h.compression == Compression::kBitFields) {
    const uint8_t* maskBytes = info + 40;
    if (headerSize == kWindowsInfoHeaderSize) {
      // The masks follow the 40-byte header; with alpha there is a fourth.
      uint32_t maskCount = storedCompression == kStoredAlphaBitFields ? 4 : 3;
      headersEnd += 4 * maskCount;
      if (got < static_cast<long>(headersEnd)) return CONV_ERR_END_OF_FILE;
      maskBytes = bytes + kFileHeaderSize + kWindowsInfoHeaderSize;
    }
    for (int c = 0; c < 3; ++c) h.masks[c] = Le32(maskBytes + 4 * c);
    // The alpha mask: a fourth mask after a 40-byte header (alpha bit
    // fields), or the header's own field in headers of 56 bytes and more.
    if (headerSize == kWindowsInfoHeaderSize) {
      if (storedCompression == kStoredAlphaBitFields) h.masks[3] = Le32(maskBytes + 12);
    } else if (headerSize >= kAlphaMaskHeaderSize) {
      h.masks[3] = Le32(info + 52);
    }
    if (int error = CheckMasks(h.masks, h.bits)) return error;
  } else if (h.bits == 16) {
    h.masks[0] = 0x7C00;
    h.masks[1] = 0x03E0;
    h.masks[2] = 0x001F;
  } else if (h.bits == 32) {
    h.masks[0] = 0xFF0000;
    h.masks[1] = 0x00FF00;
    h.masks[2] = 0x0000FF;
  }

  h.dataOffset = Le32(bytes + 10);
  if (h.dataOffset < headersEnd) return kErrBadDataOffset;
  // Past the end is far more often a cut-off file than a lying offset.
  if (h.dataOffset > static_cast<uint64_t>(h.fileSize)) return CONV_ERR_END_OF_FILE;
  h.paletteOffset = headersEnd;
  if (h.bits <= 8) {
    uint32_t maxEntries = 1u << h.bits;
    if (colorsUsed > maxEntries) return kErrPaletteTooLarge;
    uint32_t declared = colorsUsed == 0 ? maxEntries : colorsUsed;
    // Older OS/2 files store fewer entries and say so only through the data
    // offset; the pixel data is where the offset says, so the palette ends there.
    h.paletteCount = std::min(declared, (h.dataOffset - h.paletteOffset) / h.paletteEntrySize);
  }

  h.stride = (uint64_t{h.width} * h.bits + 31) / 32 * 4;
  h.rowBytes = (uint64_t{h.width} * h.bits + 7) / 8;
  return CONV_OK;
}

const char* VariantName(Variant variant) {
  switch (variant) {
    case Variant::kOs2V1:
      return "OS/2 BMP v1";
    case Variant::kOs2V2:
      return "OS/2 BMP v2";
    case Variant::kWindowsV3:
      return "Windows BMP v3";
    case Variant::kWindowsV4:
      return "Windows BMP v4";
    case Variant::kWindowsV5:
      return "Windows BMP v5";
  }
  return "BMP";
}

const char* CompressionName(Compression compression) {
  switch (compression) {
    case Compression::kNone:
      return "";
    case Compression::kRle8:
      return "RLE8";
    case Compression::kRle4:
      return "RLE4";
    case Compression::kBitFields:
      return "Bit fields";
  }
  return "";
}

}  // namespace imexp::bmp
