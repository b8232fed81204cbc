// The decoder over the manager's file handle, the library's errors in our
// codes, and the header facts every entry point needs.
#include <cstdio>
#include <cstring>

#include "png_format.h"

namespace png {
namespace {

// Chunks other than the image data are held whole by the library; none we
// read needs more than this, and together they stay within the cache limit.
constexpr std::size_t kChunkLimit = std::size_t{8} << 20;
constexpr std::size_t kChunkCacheLimit = std::size_t{64} << 20;

// Deflate never packs more than 1032 bytes into one: a file shorter than
// its rows divided by that cannot hold them.
constexpr uint64_t kMostInflation = 1032;

char g_reason[128] = "";

}  // namespace

const char* LastReason() { return g_reason; }

int MapLibraryError(int error) {
  switch (error) {
    case SPNG_OK:
      return CONV_OK;
    case SPNG_IO_EOF:
    case SPNG_IO_ERROR:
      return CONV_ERR_END_OF_FILE;
    case SPNG_ESIGNATURE:
      return CONV_ERR_UNKNOWN_FORMAT;
    case SPNG_EMEM:
      return CONV_ERR_NO_MEMORY;
    case SPNG_EUSER_WIDTH:
    case SPNG_EUSER_HEIGHT:
      return kErrImageTooLarge;
    case SPNG_ECHUNK_LIMITS:
      return CONV_ERR_FILE_TOO_BIG;
    default:
      break;
  }
  // The wording takes the reason as text, never as a format.
  const char* reason = spng_strerror(error);
  std::snprintf(g_reason, sizeof g_reason, "%s", reason != nullptr ? reason : "unknown error");
  for (char* c = g_reason; *c != '\0'; ++c) {
    if (*c == '%') *c = ' ';
  }
  return kErrLibrary;
}

Decoder::~Decoder() { spng_ctx_free(ctx_); }

int Decoder::Open(HFILE file) {
  file_ = file;
  offset_ = 0;
  ctx_ = spng_ctx_new(0);
  if (ctx_ == nullptr) return CONV_ERR_NO_MEMORY;
  if (int error = spng_set_image_limits(ctx_, kMaxSide, kMaxSide)) return MapLibraryError(error);
  if (int error = spng_set_chunk_limits(ctx_, kChunkLimit, kChunkCacheLimit)) return MapLibraryError(error);
  if (int error = spng_set_png_stream(ctx_, &Decoder::Read, this)) return MapLibraryError(error);
  return CONV_OK;
}

int Decoder::Read(spng_ctx* /*ctx*/, void* user, void* dest, std::size_t length) {
  auto* self = static_cast<Decoder*>(user);
  long got = ReadAt(self->file_, self->offset_, dest, length);
  if (got < 0) return SPNG_IO_ERROR;
  if (static_cast<std::size_t>(got) != length) return SPNG_IO_EOF;
  self->offset_ += length;
  return 0;
}

uint32_t PngHeader::Channels() const {
  switch (ihdr.color_type) {
    case kPngRgb:
      return 3;
    case kPngGrayAlpha:
      return 2;
    case kPngRgba:
      return 4;
    default:
      return 1;
  }
}

int ReadPngHeader(Decoder& decoder, HFILE file, PngHeader* header) {
  if (int error = decoder.Open(file)) return error;
  if (int error = spng_get_ihdr(decoder.ctx(), &header->ihdr)) return MapLibraryError(error);
  int phys = spng_get_phys(decoder.ctx(), &header->phys);
  if (phys != SPNG_OK && phys != SPNG_ECHUNKAVAIL) return MapLibraryError(phys);
  header->hasPhys = phys == SPNG_OK;
  long size = ConvFileSize(file);
  if (size < 0) return CONV_ERR_END_OF_FILE;
  uint64_t rows = uint64_t{header->ihdr.height} * (header->FileRowBytes() + 1);
  if (rows > static_cast<uint64_t>(size) * kMostInflation) return CONV_ERR_END_OF_FILE;
  return CONV_OK;
}

void DescribeResolution(const PngHeader& header, uint16_t* unit, uint32_t* x, uint32_t* y) {
  *unit = CONV_UNIT_UNKNOWN;
  *x = *y = 0;
  if (!header.hasPhys || header.phys.ppu_x == 0 || header.phys.ppu_y == 0) return;
  if (header.phys.unit_specifier == 1) {
    // Pixels per metre to dots per inch, rounded: 0.0254 m to the inch.
    auto dpi = [](uint32_t perMetre) {
      return static_cast<uint32_t>((uint64_t{perMetre} * 254 + 5000) / 10000);
    };
    *unit = CONV_UNIT_DPI;
    *x = dpi(header.phys.ppu_x);
    *y = dpi(header.phys.ppu_y);
  } else if (header.phys.unit_specifier == 0) {
    *unit = CONV_UNIT_ASPECT;
    *x = header.phys.ppu_x;
    *y = header.phys.ppu_y;
  }
}

}  // namespace png
