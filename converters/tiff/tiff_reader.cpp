// Reading one page of a TIFF file, the one the descriptor's imageIndex
// names. The layouts the manager takes are delivered from the decoded
// strips or tiles as they are (bilevel, grey, palette, RGB contiguous or in
// three planes), with 2-bit grey widened and 16-bit samples reduced to 8
// bits; grey or RGB with an alpha channel is laid over the background of
// the settings. Everything else libtiff can turn into RGBA (CMYK, YCbCr
// without JPEG, Lab, odd depths and planar alpha) is read through its RGBA
// interface and laid over the same background.
// Rows go top to bottom; each strip, row of tiles or RGBA chunk is decoded
// once and serves every band it overlaps.
#include <imexp/converter_settings.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "tiff_format.h"
#include "tiff_settings.h"

namespace tiffconv {
namespace {

constexpr uint32_t kBandRows = 256;
// The most one decoded chunk (a strip, a row of tiles, a piece of RGBA
// raster) may take per plane. Single strips larger than this are read
// scanline by scanline where libtiff can.
constexpr uint64_t kChunkLimit = uint64_t{64} << 20;
constexpr uint64_t kRgbaChunkLimit = uint64_t{16} << 20;

enum class Kind { kGray, kPalette, kRgb, kAlpha, kRgba };

struct ReadState {
  FileContext context;
  TIFF* tif = nullptr;
  Page page;
  Kind kind = Kind::kGray;
  uint32_t outPlaneBytes = 0;  // bytesPerLine of the descriptor
  // Decoded rows of the current chunk, one buffer per plane in the file.
  uint32_t filePlanes = 1;
  uint64_t rowBytes = 0;  // bytes one row of one plane needs
  uint64_t stride = 0;    // bytes between rows in a chunk buffer
  uint32_t chunkRows = 1;
  bool scanlines = false;
  std::vector<uint8_t> chunk[3];
  std::vector<uint8_t> tile;
  uint32_t chunkFirst = 0;
  uint32_t chunkCount = 0;  // 0: nothing decoded yet
  // The RGBA interface.
  TIFFRGBAImage rgba{};
  bool rgbaBegun = false;
  std::vector<uint32_t> raster;
  SettingColor background;

  ReadState() = default;
  ReadState(const ReadState&) = delete;
  ReadState& operator=(const ReadState&) = delete;
  ~ReadState() {
    if (rgbaBegun) TIFFRGBAImageEnd(&rgba);
    if (tif != nullptr) TIFFClose(tif);
  }
};

std::unique_ptr<ReadState> g_read;

bool Uint(const Page& p) {
  return p.sampleFormat == SAMPLEFORMAT_UINT || p.sampleFormat == SAMPLEFORMAT_VOID;
}

// Which way the page goes; JPEG-compressed YCbCr is decoded to RGB by the
// codec itself.
Kind ChooseKind(TIFF* tif, Page& p) {
  uint16_t bits = p.bitsPerSample;
  if (Uint(p) && p.samplesPerPixel == 1 &&
      (p.photometric == PHOTOMETRIC_MINISWHITE || p.photometric == PHOTOMETRIC_MINISBLACK) &&
      (bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16)) {
    return Kind::kGray;
  }
  if (Uint(p) && p.samplesPerPixel == 1 && p.photometric == PHOTOMETRIC_PALETTE &&
      (bits == 1 || bits == 2 || bits == 4 || bits == 8)) {
    return Kind::kPalette;
  }
  if (Uint(p) && p.samplesPerPixel == 3 && p.photometric == PHOTOMETRIC_RGB && (bits == 8 || bits == 16))
    return Kind::kRgb;
  // The RGBA interface premultiplies some alpha layouts and not others;
  // the common ones are composed here, where the kind of alpha is known.
  uint32_t colours = p.samplesPerPixel - p.extraSamples;
  bool grey = p.photometric == PHOTOMETRIC_MINISWHITE || p.photometric == PHOTOMETRIC_MINISBLACK;
  if (Uint(p) && p.alphaKind != 0 && p.planar == PLANARCONFIG_CONTIG && (bits == 8 || bits == 16) &&
      ((colours == 1 && grey) || (colours == 3 && p.photometric == PHOTOMETRIC_RGB))) {
    return Kind::kAlpha;
  }
  if (p.samplesPerPixel == 3 && p.photometric == PHOTOMETRIC_YCBCR && p.compression == COMPRESSION_JPEG &&
      bits == 8 && p.planar == PLANARCONFIG_CONTIG &&
      TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB)) {
    return Kind::kRgb;
  }
  return Kind::kRgba;
}

void DescribeLayout(const ReadState& s, ConvImageDesc* desc) {
  const Page& p = s.page;
  desc->width = p.width;
  desc->height = p.height;
  desc->planes = 1;
  desc->packedPixels = 0;
  desc->invertedGray = 0;
  desc->bgrOrder = 0;
  desc->resUnit = p.resUnit;
  desc->resX = p.resX;
  desc->resY = p.resY;
  switch (s.kind) {
    case Kind::kGray:
      desc->colorType = CONV_COLOR_GRAY;
      // 1 and 4 bits stay packed as in the file, white first where the file
      // has it so; 2 bits are widened and 16 bits reduced to one byte a
      // pixel, turned black first as they are converted.
      desc->bitsPerPixel = p.bitsPerSample == 1 || p.bitsPerSample == 4 ? p.bitsPerSample : 8;
      desc->invertedGray = p.photometric == PHOTOMETRIC_MINISWHITE && desc->bitsPerPixel < 8 ? 1 : 0;
      desc->packedPixels = desc->bitsPerPixel < 8 ? 1 : 0;
      desc->bytesPerLine = (p.width * desc->bitsPerPixel + 7) / 8;
      break;
    case Kind::kPalette:
      // One index a byte, whatever the file's depth: the manager reads any
      // 1-bit image as black and white, which a palette need not be.
      desc->colorType = CONV_COLOR_PALETTE;
      desc->bitsPerPixel = 8;
      desc->bytesPerLine = p.width;
      break;
    case Kind::kRgb:
    case Kind::kAlpha:
    case Kind::kRgba:
      desc->colorType = CONV_COLOR_RGB;
      desc->bitsPerPixel = 24;
      if (s.kind == Kind::kRgb && p.planar == PLANARCONFIG_SEPARATE) {
        desc->planes = 3;
        desc->bytesPerLine = p.width;
      } else {
        desc->bytesPerLine = p.width * 3;
      }
      break;
  }
  DescribeBands(*desc, CONV_ACCESS_TOP_DOWN, CONV_ACCESS_TOP_DOWN, kBandRows);
}

// 16-bit colormap entries to 8 bits, rounded.
[[nodiscard]] int FillPalette(ReadState& s, uint8_t* palette) {
  uint16_t* red = nullptr;
  uint16_t* green = nullptr;
  uint16_t* blue = nullptr;
  if (!TIFFGetField(s.tif, TIFFTAG_COLORMAP, &red, &green, &blue) || red == nullptr)
    return CONV_ERR_INVALID_FILE;
  uint32_t entries = 1u << s.page.bitsPerSample;
  for (uint32_t i = 0; i < entries; ++i) {
    palette[i] = Reduce16(red[i]);
    palette[256 + i] = Reduce16(green[i]);
    palette[512 + i] = Reduce16(blue[i]);
  }
  return CONV_OK;
}

// Sizes the chunk buffers: strips (or scanlines) or rows of tiles.
[[nodiscard]] int PrepareDirect(ReadState& s) {
  TIFF* tif = s.tif;
  const Page& p = s.page;
  s.filePlanes = p.planar == PLANARCONFIG_SEPARATE ? p.samplesPerPixel : 1;
  s.rowBytes = static_cast<uint64_t>(TIFFScanlineSize64(tif));
  uint64_t needed =
      (uint64_t{p.width} * p.bitsPerSample * (s.filePlanes == 1 ? p.samplesPerPixel : 1) + 7) / 8;
  if (s.rowBytes == 0 || s.rowBytes < needed) return LibraryError(CONV_ERR_INVALID_FILE);
  uint64_t chunkBytes = 0;
  if (p.tiled) {
    uint32_t tileWidth = 0, tileLength = 0;
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileLength);
    uint64_t tileRowBytes = static_cast<uint64_t>(TIFFTileRowSize64(tif));
    uint64_t tileBytes = static_cast<uint64_t>(TIFFTileSize64(tif));
    if (tileWidth == 0 || tileLength == 0 || tileRowBytes == 0 || tileBytes < tileRowBytes * tileLength)
      return LibraryError(CONV_ERR_INVALID_FILE);
    uint64_t across = (uint64_t{p.width} + tileWidth - 1) / tileWidth;
    s.stride = across * tileRowBytes;
    s.chunkRows = std::min(tileLength, p.height);
    chunkBytes = s.stride * s.chunkRows;
    if (s.stride < s.rowBytes || tileBytes > kChunkLimit || chunkBytes * s.filePlanes > kChunkLimit)
      return CONV_ERR_FILE_TOO_BIG;
    s.tile.assign(static_cast<std::size_t>(tileBytes), 0);
  } else {
    uint32_t rowsPerStrip = p.height;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    s.chunkRows = std::clamp<uint32_t>(rowsPerStrip, 1, p.height);
    s.stride = s.rowBytes;
    uint64_t stripBytes =
        std::max<uint64_t>(static_cast<uint64_t>(TIFFStripSize64(tif)), s.stride * s.chunkRows);
    chunkBytes = stripBytes;
    if (stripBytes * s.filePlanes > kChunkLimit) {
      // One huge strip: contiguous samples can be decoded a row at a time.
      if (s.filePlanes != 1) return CONV_ERR_FILE_TOO_BIG;
      s.scanlines = true;
      s.chunkRows = 1;
      chunkBytes = s.rowBytes;
    }
  }
  for (uint32_t plane = 0; plane < s.filePlanes; ++plane)
    s.chunk[plane].assign(static_cast<std::size_t>(chunkBytes), 0);
  return CONV_OK;
}

[[nodiscard]] int PrepareRgba(ReadState& s) {
  char message[1024] = "";
  if (!TIFFRGBAImageOK(s.tif, message)) return CONV_ERR_UNSUPPORTED_SUBFORMAT;
  if (!TIFFRGBAImageBegin(&s.rgba, s.tif, 1, message)) return CONV_ERR_UNSUPPORTED_SUBFORMAT;
  s.rgbaBegun = true;
  s.rgba.req_orientation = ORIENTATION_TOPLEFT;
  const Page& p = s.page;
  uint32_t base = p.height;
  if (p.tiled) {
    TIFFGetField(s.tif, TIFFTAG_TILELENGTH, &base);
  } else {
    TIFFGetFieldDefaulted(s.tif, TIFFTAG_ROWSPERSTRIP, &base);
  }
  base = std::clamp<uint32_t>(base, 1, p.height);
  auto fits = static_cast<uint32_t>(std::max<uint64_t>(1, kRgbaChunkLimit / 4 / p.width));
  // A piece smaller than a strip starts on a multiple of 16 rows, which
  // keeps it aligned with any chroma subsampling.
  s.chunkRows = base <= fits ? base : std::max<uint32_t>(16, fits / 16 * 16);
  s.raster.assign(std::size_t{p.width} * s.chunkRows, 0);
  return CONV_OK;
}

// Every strip or tile must lie inside the file: a cut file is refused
// before the host sets up an image for it. Old-style JPEG is left to
// libtiff, which repairs the byte counts such files often get wrong.
[[nodiscard]] int CheckStriles(const ReadState& s) {
  if (s.page.compression == COMPRESSION_OJPEG) return CONV_OK;
  long size = ConvFileSize(s.context.file);
  if (size < 0) return CONV_ERR_END_OF_FILE;
  auto fileBytes = static_cast<uint64_t>(size);
  uint32_t count = s.page.tiled ? TIFFNumberOfTiles(s.tif) : TIFFNumberOfStrips(s.tif);
  for (uint32_t i = 0; i < count; ++i) {
    uint64_t bytes = TIFFGetStrileByteCount(s.tif, i);
    uint64_t offset = TIFFGetStrileOffset(s.tif, i);
    // Empty strips and tiles of sparse files read as zeros.
    if (bytes != 0 && (offset > fileBytes || bytes > fileBytes - offset)) return CONV_ERR_END_OF_FILE;
  }
  return CONV_OK;
}

[[nodiscard]] int LoadChunk(ReadState& s, uint32_t row) {
  TIFF* tif = s.tif;
  const Page& p = s.page;
  uint32_t first = row / s.chunkRows * s.chunkRows;
  uint32_t count = std::min(s.chunkRows, p.height - first);
  s.chunkCount = 0;
  if (s.kind == Kind::kRgba) {
    s.rgba.row_offset = static_cast<int>(first);
    s.rgba.col_offset = 0;
    if (!TIFFRGBAImageGet(&s.rgba, s.raster.data(), p.width, count))
      return LibraryError(CONV_ERR_DECOMPRESSOR);
  } else if (s.scanlines) {
    if (TIFFReadScanline(tif, s.chunk[0].data(), first, 0) < 0) return LibraryError(CONV_ERR_DECOMPRESSOR);
  } else if (!p.tiled) {
    for (uint32_t plane = 0; plane < s.filePlanes; ++plane) {
      uint32_t strip = TIFFComputeStrip(tif, first, static_cast<uint16_t>(plane));
      std::vector<uint8_t>& buffer = s.chunk[plane];
      if (TIFFReadEncodedStrip(tif, strip, buffer.data(), static_cast<tmsize_t>(buffer.size())) < 0)
        return LibraryError(CONV_ERR_DECOMPRESSOR);
    }
  } else {
    uint32_t tileWidth = 0;
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
    auto tileRowBytes = static_cast<std::size_t>(TIFFTileRowSize64(tif));
    for (uint32_t plane = 0; plane < s.filePlanes; ++plane) {
      for (uint32_t x = 0, column = 0; x < p.width; x += tileWidth, ++column) {
        uint32_t index = TIFFComputeTile(tif, x, first, 0, static_cast<uint16_t>(plane));
        if (TIFFReadEncodedTile(tif, index, s.tile.data(), static_cast<tmsize_t>(s.tile.size())) < 0)
          return LibraryError(CONV_ERR_DECOMPRESSOR);
        for (uint32_t r = 0; r < count; ++r) {
          std::memcpy(s.chunk[plane].data() + r * s.stride + column * tileRowBytes,
                      s.tile.data() + r * tileRowBytes, tileRowBytes);
        }
      }
    }
  }
  s.chunkFirst = first;
  s.chunkCount = count;
  return CONV_OK;
}

uint16_t Sample16(const uint8_t* in, std::size_t i) {
  uint16_t value;
  std::memcpy(&value, in + 2 * i, 2);  // libtiff hands samples over in host order
  return value;
}

// One row of the chunk in the descriptor's layout.
void ConvertRow(const ReadState& s, uint32_t r, uint8_t* out) {
  const Page& p = s.page;
  uint32_t w = p.width;
  if (s.kind == Kind::kRgba) {
    const uint32_t* in = s.raster.data() + std::size_t{r} * w;
    const uint8_t background[3] = {s.background.red, s.background.green, s.background.blue};
    for (uint32_t x = 0; x < w; ++x) {
      // The RGBA interface delivers colour already multiplied by alpha.
      uint32_t pixel = in[x];
      uint32_t alpha = TIFFGetA(pixel);
      uint32_t channel[3] = {TIFFGetR(pixel), TIFFGetG(pixel), TIFFGetB(pixel)};
      for (int c = 0; c < 3; ++c) {
        uint32_t mixed = channel[c] + (background[c] * (255u - alpha) + 127u) / 255u;
        out[3 * x + c] = static_cast<uint8_t>(std::min<uint32_t>(mixed, 255));
      }
    }
    return;
  }
  std::size_t offset = s.scanlines ? 0 : std::size_t{r} * s.stride;
  const uint8_t* in = s.chunk[0].data() + offset;
  uint16_t bits = p.bitsPerSample;
  switch (s.kind) {
    case Kind::kAlpha: {
      const uint8_t background[3] = {s.background.red, s.background.green, s.background.blue};
      uint32_t spp = p.samplesPerPixel;
      uint32_t colours = spp - p.extraSamples;
      auto sample = [&](std::size_t i) { return bits == 8 ? in[i] : Reduce16(Sample16(in, i)); };
      for (uint32_t x = 0; x < w; ++x) {
        std::size_t first = std::size_t{x} * spp;
        uint8_t alpha = sample(first + colours);
        for (uint32_t c = 0; c < 3; ++c) {
          uint8_t value = sample(first + (colours == 3 ? c : 0));
          if (p.photometric == PHOTOMETRIC_MINISWHITE) value = static_cast<uint8_t>(255 - value);
          if (p.alphaKind == EXTRASAMPLE_UNASSALPHA) {
            out[3 * x + c] = OverBackground(value, alpha, background[c]);
          } else {
            uint32_t mixed = value + (background[c] * (255u - alpha) + 127u) / 255u;
            out[3 * x + c] = static_cast<uint8_t>(std::min<uint32_t>(mixed, 255));
          }
        }
      }
      break;
    }
    case Kind::kGray:
      if (bits == 2) {
        for (uint32_t x = 0; x < w; ++x)
          out[x] = static_cast<uint8_t>(85 * ((in[x / 4] >> (6 - 2 * (x % 4))) & 3));
      } else if (bits == 16) {
        for (uint32_t x = 0; x < w; ++x) out[x] = Reduce16(Sample16(in, x));
      } else {
        std::memcpy(out, in, s.outPlaneBytes);
      }
      // Rows of a byte a pixel go to the manager black first: its 8-bit
      // grey rows are taken as they stand.
      if (bits != 1 && bits != 4 && p.photometric == PHOTOMETRIC_MINISWHITE) {
        for (uint32_t x = 0; x < w; ++x) out[x] = static_cast<uint8_t>(255 - out[x]);
      }
      break;
    case Kind::kPalette:
      if (bits == 8) {
        std::memcpy(out, in, w);
      } else {
        uint32_t perByte = 8 / bits;
        uint32_t mask = (1u << bits) - 1;
        for (uint32_t x = 0; x < w; ++x) {
          uint32_t shift = 8 - bits * (x % perByte + 1);
          out[x] = static_cast<uint8_t>((in[x / perByte] >> shift) & mask);
        }
      }
      break;
    default:
      if (s.filePlanes == 3) {
        for (uint32_t plane = 0; plane < 3; ++plane) {
          const uint8_t* samples = s.chunk[plane].data() + offset;
          uint8_t* target = out + std::size_t{plane} * w;
          if (bits == 8) {
            std::memcpy(target, samples, w);
          } else {
            for (uint32_t x = 0; x < w; ++x) target[x] = Reduce16(Sample16(samples, x));
          }
        }
      } else if (bits == 8) {
        std::memcpy(out, in, std::size_t{w} * 3);
      } else {
        for (std::size_t i = 0; i < std::size_t{w} * 3; ++i) out[i] = Reduce16(Sample16(in, i));
      }
      break;
  }
}

[[nodiscard]] int ReadHeader(ConvImageDesc* desc) {
  QuietLibrary quiet;
  g_read.reset();
  ClearReason();
  if (!HasTiffMagic(desc->hFile)) return CONV_ERR_UNKNOWN_FORMAT;
  auto state = std::make_unique<ReadState>();
  ReadState& s = *state;
  s.context.file = desc->hFile;
  s.tif = OpenTiff(&s.context, "rm");
  if (s.tif == nullptr) return LibraryError(CONV_ERR_INVALID_FILE);
  if (desc->imageIndex != 0 && !TIFFSetDirectory(s.tif, desc->imageIndex)) return CONV_ERR_WRONG_IMAGE_NUMBER;
  if (int error = DescribePage(s.tif, &s.page)) return error;
  Page& p = s.page;
  if (p.width == 0 || p.height == 0) return CONV_ERR_INVALID_FILE;
  if (p.width > kMaxSide || p.height > kMaxSide) return kErrTooLarge;
  if (!TIFFIsCODECConfigured(p.compression)) return CONV_ERR_UNSUPPORTED_SUBFORMAT;
  s.kind = ChooseKind(s.tif, p);
  DescribeLayout(s, desc);
  s.outPlaneBytes = desc->bytesPerLine;
  if (uint64_t{desc->planes} * desc->bytesPerLine > kMaxBandBytes) return kErrTooLarge;
  if (s.kind == Kind::kPalette) {
    if (int error = FillPalette(s, desc->palette)) return error;
  }
  s.background = SettingValue(desc->iniPath, kBackground);
  if (int error = CheckStriles(s)) return error;
  int error = s.kind == Kind::kRgba ? PrepareRgba(s) : PrepareDirect(s);
  if (error != CONV_OK) return error;
  g_read = std::move(state);
  return CONV_OK;
}

[[nodiscard]] int SetupReading(ConvImageDesc* desc) {
  if (!g_read || desc->bandRows == 0) return CONV_ERR_GENERAL;
  return CONV_OK;
}

[[nodiscard]] int ReadBand(ConvImageDesc* desc, uint8_t* band) {
  QuietLibrary quiet;
  if (!g_read) return CONV_ERR_GENERAL;
  ReadState& s = *g_read;
  if (!BandInsideImage(*desc, s.page.height, false)) return CONV_ERR_GENERAL;
  std::size_t rowBytes = std::size_t{desc->planes} * desc->bytesPerLine;
  for (uint32_t k = 0; k < desc->bandCount; ++k) {
    uint32_t row = desc->bandRow + k;
    if (s.chunkCount == 0 || row < s.chunkFirst || row >= s.chunkFirst + s.chunkCount) {
      if (int error = LoadChunk(s, row)) return error;
    }
    ConvertRow(s, row - s.chunkFirst, band + k * rowBytes);
  }
  return CONV_OK;
}

void CleanUp() {
  QuietLibrary quiet;
  g_read.reset();
}

}  // namespace
}  // namespace tiffconv

CONV_ENTRY(int) RDReadHeader(ConvImageDesc* desc, char** /*hostParam*/, int /*hostValue*/) {
  return tiffconv::Guarded(tiffconv::ReadHeader, desc);
}

CONV_ENTRY(int) RDSetupReading(ConvImageDesc* desc) {
  return tiffconv::Guarded(tiffconv::SetupReading, desc);
}

CONV_ENTRY(int) RDReadBand(ConvImageDesc* desc, unsigned char* band) {
  return tiffconv::Guarded(tiffconv::ReadBand, desc, band);
}

CONV_ENTRY(void) RDCleanUp(ConvImageDesc* /*desc*/) { tiffconv::GuardedVoid(tiffconv::CleanUp); }
