// Writing PNG files: bilevel, 16- and 256-level grey, palettes of 2, 16 and
// 256 entries, and RGB, each at the depth the manager settled on, rows top
// to bottom and encoded as they come. The compression level comes from our
// settings; the resolution goes into pHYs.
//
// A palette image keeps its encoded bytes until the last row, so that PLTE
// can end with the highest entry the pixels use: the PLTE chunk comes
// before the image data, and which entries are used is known only at the
// end.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <imexp/converter_settings.h>

#include "png_format.h"
#include "png_settings.h"

namespace png {
namespace {

constexpr uint32_t kWriteBandRows = 64;

struct WriteState {
  spng_ctx* ctx = nullptr;
  uint32_t height = 0;
  uint32_t rowBytes = 0;
  uint32_t nextRow = 0;
  bool fileFailed = false;  // the file took fewer bytes than it was given
  FileOutput output;
  spng_ihdr ihdr{};
  spng_plte plte{};
  bool palette = false;
  uint32_t highestIndex = 0;  // palette images: the highest entry used so far
  spng_phys phys{};
  bool hasPhys = false;
  int compressionLevel = kCompressionLevel.fallback;

  WriteState() = default;
  WriteState(const WriteState&) = delete;
  WriteState& operator=(const WriteState&) = delete;
  ~WriteState() { spng_ctx_free(ctx); }
};

std::unique_ptr<WriteState> g_write;

int WriteToFile(spng_ctx* /*ctx*/, void* user, void* bytes, std::size_t length) {
  auto* s = static_cast<WriteState*>(user);
  s->output.Append(bytes, length);
  if (!s->palette && s->output.Full() && s->output.Flush() != CONV_OK) {
    s->fileFailed = true;
    return SPNG_IO_ERROR;
  }
  return 0;
}

// Our code for an encoder result: a file that took too little is a full
// disk, whatever the library makes of it.
int EncoderError(const WriteState& s, int error) {
  if (s.fileFailed) return CONV_ERR_DISK_FULL;
  return MapLibraryError(error);
}

uint32_t Crc32(const uint8_t* bytes, std::size_t count) {
  uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < count; ++i) {
    crc ^= bytes[i];
    for (int k = 0; k < 8; ++k) crc = crc & 1 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
  }
  return ~crc;
}

uint32_t Be32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

void PutBe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// The highest palette entry the pixels of one packed row use.
uint32_t HighestIndex(const uint8_t* row, uint32_t width, uint32_t bits) {
  uint32_t highest = 0;
  for (uint32_t x = 0; x < width; ++x) {
    uint32_t bit = x * bits;
    uint32_t value = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
    highest = std::max(highest, value);
  }
  return highest;
}

// Cuts the PLTE chunk of the encoded file in `png` to `entries` entries.
[[nodiscard]] int ShortenPalette(std::vector<uint8_t>& png, uint32_t entries) {
  std::size_t at = 8;  // after the signature
  while (at + 12 <= png.size()) {
    uint32_t length = Be32(&png[at]);
    if (length > png.size() - at - 12) break;
    if (std::memcmp(&png[at + 4], "PLTE", 4) != 0) {
      at += std::size_t{length} + 12;
      continue;
    }
    uint32_t keep = entries * 3;
    if (keep >= length) return CONV_OK;
    png.erase(png.begin() + static_cast<std::ptrdiff_t>(at + 8 + keep),
              png.begin() + static_cast<std::ptrdiff_t>(at + 8 + length));
    PutBe32(&png[at], keep);
    PutBe32(&png[at + 8 + keep], Crc32(&png[at + 4], std::size_t{keep} + 4));
    return CONV_OK;
  }
  return CONV_ERR_GENERAL;
}

// Pixels per metre for dots per inch, rounded.
uint32_t PerMetre(uint32_t dpi) { return static_cast<uint32_t>((uint64_t{dpi} * 10000 + 127) / 254); }

[[nodiscard]] int SetupWriting(ConvImageDesc* desc) {
  g_write.reset();
  auto state = std::make_unique<WriteState>();
  if (desc->width == 0 || desc->height == 0) return CONV_ERR_INVALID_FILE;
  if (desc->width > kMaxSide || desc->height > kMaxSide) return kErrImageTooLarge;
  const uint16_t bits = desc->bitsPerPixel;
  spng_ihdr& ihdr = state->ihdr;
  ihdr.width = desc->width;
  ihdr.height = desc->height;
  if (desc->colorType == CONV_COLOR_RGB && bits == 24) {
    ihdr.color_type = kPngRgb;
    ihdr.bit_depth = 8;
  } else if (bits != 1 && bits != 4 && bits != 8) {
    return CONV_ERR_ILLEGAL_CONVERSION;
  } else if (desc->colorType == CONV_COLOR_GRAY) {
    // The manager's grey levels run from black, as PNG's do.
    ihdr.color_type = kPngGray;
    ihdr.bit_depth = static_cast<uint8_t>(bits);
  } else if (desc->colorType == CONV_COLOR_PALETTE || desc->colorType == CONV_COLOR_GRAY_PALETTE) {
    if (desc->palette == nullptr) return CONV_ERR_GENERAL;
    ihdr.color_type = kPngPalette;
    ihdr.bit_depth = static_cast<uint8_t>(bits);
    state->palette = true;
    state->plte.n_entries = 1u << bits;
    for (uint32_t i = 0; i < state->plte.n_entries; ++i) {
      state->plte.entries[i] = {desc->palette[i], desc->palette[256 + i], desc->palette[512 + i], 255};
    }
  } else {
    return CONV_ERR_ILLEGAL_CONVERSION;
  }
  uint64_t rowBytes = (uint64_t{desc->width} * bits + 7) / 8;
  if (rowBytes > kMaxBandBytes) return CONV_ERR_FILE_TOO_BIG;
  state->rowBytes = static_cast<uint32_t>(rowBytes);
  state->height = desc->height;
  if (desc->resUnit == CONV_UNIT_DPI && desc->resX != 0 && desc->resY != 0) {
    state->hasPhys = true;
    state->phys = {PerMetre(desc->resX), PerMetre(desc->resY), 1};
  }
  state->compressionLevel = SettingValue(desc->iniPath, kCompressionLevel);

  desc->planes = 1;
  desc->bytesPerLine = state->rowBytes;
  desc->packedPixels = 1;
  desc->bgrOrder = 0;
  DescribeBands(*desc, CONV_ACCESS_TOP_DOWN, CONV_ACCESS_TOP_DOWN, kWriteBandRows);
  g_write = std::move(state);
  return CONV_OK;
}

[[nodiscard]] int WriteHeader(ConvImageDesc* desc) {
  if (!g_write || g_write->ctx != nullptr) return CONV_ERR_GENERAL;
  WriteState& s = *g_write;
  s.output.Start(desc->hFile, 0);
  s.ctx = spng_ctx_new(SPNG_CTX_ENCODER);
  if (s.ctx == nullptr) return CONV_ERR_NO_MEMORY;
  if (int error = spng_set_png_stream(s.ctx, &WriteToFile, &s)) return EncoderError(s, error);
  if (int error = spng_set_ihdr(s.ctx, &s.ihdr)) return EncoderError(s, error);
  if (s.palette) {
    if (int error = spng_set_plte(s.ctx, &s.plte)) return EncoderError(s, error);
  }
  if (s.hasPhys) {
    if (int error = spng_set_phys(s.ctx, &s.phys)) return EncoderError(s, error);
  }
  if (int error = spng_set_option(s.ctx, SPNG_IMG_COMPRESSION_LEVEL, s.compressionLevel))
    return EncoderError(s, error);
  int flags = SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE;
  if (int error = spng_encode_image(s.ctx, nullptr, 0, SPNG_FMT_PNG, flags)) return EncoderError(s, error);
  s.nextRow = 0;
  return CONV_OK;
}

[[nodiscard]] int WriteBand(ConvImageDesc* desc, const uint8_t* band) {
  if (!g_write || g_write->ctx == nullptr) return CONV_ERR_GENERAL;
  WriteState& s = *g_write;
  // Rows are encoded as they come, so they must come in order.
  if (desc->bandRow != s.nextRow || !BandInsideImage(*desc, s.height, false)) return CONV_ERR_GENERAL;
  std::size_t stride = std::size_t{desc->planes} * desc->bytesPerLine;
  for (uint32_t k = 0; k < desc->bandCount; ++k) {
    const uint8_t* row = band + k * stride;
    if (s.palette)
      s.highestIndex = std::max(s.highestIndex, HighestIndex(row, s.ihdr.width, s.ihdr.bit_depth));
    int error = spng_encode_row(s.ctx, row, s.rowBytes);
    ++s.nextRow;
    if (error == SPNG_EOI && s.nextRow == s.height) break;
    if (error) return EncoderError(s, error);
  }
  return CONV_OK;
}

[[nodiscard]] int EndWriting() {
  if (!g_write || g_write->ctx == nullptr) return CONV_ERR_GENERAL;
  WriteState& s = *g_write;
  if (s.nextRow != s.height) return CONV_ERR_GENERAL;
  if (s.fileFailed) return CONV_ERR_DISK_FULL;
  if (s.palette) {
    if (int error = ShortenPalette(s.output.pending(), s.highestIndex + 1)) return error;
  }
  return s.output.Flush();
}

}  // namespace
}  // namespace png

CONV_ENTRY(int) WRSetupWriting(ConvImageDesc* desc, char** /*hostParam*/, int /*hostValue*/) {
  return png::Guarded(png::SetupWriting, desc);
}

CONV_ENTRY(int) WRWriteHeader(ConvImageDesc* desc) { return png::Guarded(png::WriteHeader, desc); }

CONV_ENTRY(int) WRWriteBand(ConvImageDesc* desc, unsigned char* band) {
  return png::Guarded(png::WriteBand, desc, band);
}

CONV_ENTRY(int) WREndWriting(ConvImageDesc* /*desc*/) { return png::Guarded(png::EndWriting); }

CONV_ENTRY(void) WRCleanUp(ConvImageDesc* /*desc*/) { png::g_write.reset(); }
