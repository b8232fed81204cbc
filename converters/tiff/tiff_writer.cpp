// Writing TIFF files: one page, bilevel (0 is black), grey of 4 or 8 bits,
// a palette of 4 or 8 bits or RGB, in strips of 128 rows, compressed as
// the [TIFF] key Compression says (None, PackBits, LZW, Deflate, or CCITT G4
// for bilevel images; LZW otherwise; LZW and Deflate with the horizontal
// predictor for 8-bit grey and RGB), with the descriptor's resolution.
#include <imexp/converter_settings.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "tiff_format.h"
#include "tiff_settings.h"

namespace tiffconv {
namespace {

constexpr uint32_t kWriteBandRows = 64;
// Rows a strip holds. LZW and Deflate start their dictionaries afresh with
// every strip: a photograph's strips of a row or two each come out a few
// per cent larger than strips of a hundred rows.
constexpr uint32_t kStripRows = 128;

struct WriteState {
  FileContext context;
  TIFF* tif = nullptr;
  uint32_t width = 0;
  uint32_t height = 0;
  uint16_t bits = 0;
  uint16_t photometric = PHOTOMETRIC_MINISBLACK;
  uint16_t samples = 1;
  uint16_t compression = COMPRESSION_LZW;
  uint32_t rowBytes = 0;
  uint32_t nextRow = 0;
  std::vector<uint8_t> scanline;
  std::vector<uint16_t> colormap;  // red, green, blue, 1 << bits entries each

  WriteState() = default;
  WriteState(const WriteState&) = delete;
  WriteState& operator=(const WriteState&) = delete;
  ~WriteState() {
    // An unfinished file is left as it is; the manager discards it.
    if (tif != nullptr) TIFFCleanup(tif);
  }
};

std::unique_ptr<WriteState> g_write;

// The compression the settings ask for; CCITT G4 for deeper images gives
// LZW. A codec the library lacks gives none.
uint16_t ChooseCompression(const char* iniPath, uint16_t bits) {
  uint16_t scheme = COMPRESSION_LZW;
  switch (SettingValue(iniPath, kCompression)) {
    case kNoCompression:
      scheme = COMPRESSION_NONE;
      break;
    case kPackBits:
      scheme = COMPRESSION_PACKBITS;
      break;
    case kDeflate:
      scheme = COMPRESSION_ADOBE_DEFLATE;
      break;
    case kCcittG4:
      if (bits == 1) scheme = COMPRESSION_CCITTFAX4;
      break;
    default:
      break;
  }
  return TIFFIsCODECConfigured(scheme) ? scheme : uint16_t{COMPRESSION_NONE};
}

[[nodiscard]] int SetupWriting(ConvImageDesc* desc) {
  g_write.reset();
  auto state = std::make_unique<WriteState>();
  WriteState& s = *state;
  if (desc->width == 0 || desc->height == 0) return CONV_ERR_INVALID_FILE;
  if (desc->width > kMaxSide || desc->height > kMaxSide) return kErrTooLarge;
  s.bits = desc->bitsPerPixel;
  bool palette = desc->colorType == CONV_COLOR_PALETTE || desc->colorType == CONV_COLOR_GRAY_PALETTE;
  if (s.bits == 24) {
    s.photometric = PHOTOMETRIC_RGB;
    s.samples = 3;
  } else if (s.bits == 1 || ((s.bits == 4 || s.bits == 8) && desc->colorType == CONV_COLOR_GRAY)) {
    // The manager's bilevel rows have white as the set bit.
    s.photometric = PHOTOMETRIC_MINISBLACK;
  } else if ((s.bits == 4 || s.bits == 8) && palette) {
    s.photometric = PHOTOMETRIC_PALETTE;
    uint32_t entries = 1u << s.bits;
    s.colormap.resize(3 * entries);
    for (uint32_t c = 0; c < 3; ++c) {
      for (uint32_t i = 0; i < entries; ++i) s.colormap[c * entries + i] = desc->palette[c * 256 + i] * 257u;
    }
  } else {
    return CONV_ERR_ILLEGAL_CONVERSION;
  }
  s.width = desc->width;
  s.height = desc->height;
  s.rowBytes = (desc->width * s.bits + 7) / 8;
  if (s.rowBytes > kMaxBandBytes) return kErrTooLarge;
  s.compression = ChooseCompression(desc->iniPath, s.bits);
  s.scanline.resize(s.rowBytes);

  desc->planes = 1;
  desc->bytesPerLine = s.rowBytes;
  desc->packedPixels = 1;
  desc->bgrOrder = 0;
  DescribeBands(*desc, CONV_ACCESS_TOP_DOWN, CONV_ACCESS_TOP_DOWN, kWriteBandRows);
  g_write = std::move(state);
  return CONV_OK;
}

// LZW and Deflate code each sample as its difference from the one to its
// left in 8-bit grey and RGB images, whose neighbours are alike, and so
// store them smaller; palette indices and packed pixels have no such order.
bool UsesPredictor(const WriteState& s) {
  const bool dictionary = s.compression == COMPRESSION_LZW || s.compression == COMPRESSION_ADOBE_DEFLATE;
  const bool samples = s.samples == 3 || (s.bits == 8 && s.photometric == PHOTOMETRIC_MINISBLACK);
  return dictionary && samples;
}

[[nodiscard]] int WriteHeader(ConvImageDesc* desc) {
  QuietLibrary quiet;
  ClearReason();
  if (!g_write) return CONV_ERR_GENERAL;
  WriteState& s = *g_write;
  s.context.file = desc->hFile;
  s.tif = OpenTiff(&s.context, "w");
  if (s.tif == nullptr) return s.context.writeFailed ? CONV_ERR_DISK_FULL : LibraryError(CONV_ERR_GENERAL);
  TIFF* tif = s.tif;
  uint32_t rowsPerStrip = std::min(kStripRows, s.height);
  bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, s.width) &&
            TIFFSetField(tif, TIFFTAG_IMAGELENGTH, s.height) &&
            TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, s.samples == 3 ? 8 : s.bits) &&
            TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, s.samples) &&
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, s.photometric) &&
            TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
            TIFFSetField(tif, TIFFTAG_COMPRESSION, s.compression) &&
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
  if (ok && UsesPredictor(s)) ok = TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
  if (ok && !s.colormap.empty()) {
    std::size_t entries = s.colormap.size() / 3;
    ok = TIFFSetField(tif, TIFFTAG_COLORMAP, s.colormap.data(), s.colormap.data() + entries,
                      s.colormap.data() + 2 * entries);
  }
  bool dpi = desc->resUnit == CONV_UNIT_DPI;
  if (ok && (dpi || desc->resUnit == CONV_UNIT_DPCM) && desc->resX > 0 && desc->resY > 0) {
    ok = TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, dpi ? RESUNIT_INCH : RESUNIT_CENTIMETER) &&
         TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<float>(desc->resX)) &&
         TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<float>(desc->resY));
  }
  if (!ok) return LibraryError(CONV_ERR_GENERAL);
  s.nextRow = 0;
  return CONV_OK;
}

[[nodiscard]] int WriteFailure(const WriteState& s) {
  return s.context.writeFailed ? CONV_ERR_DISK_FULL : LibraryError(CONV_ERR_GENERAL);
}

[[nodiscard]] int WriteBand(ConvImageDesc* desc, const uint8_t* band) {
  QuietLibrary quiet;
  if (!g_write || g_write->tif == nullptr) return CONV_ERR_GENERAL;
  WriteState& s = *g_write;
  // Strips are encoded as rows come, so they must come in order.
  if (desc->bandRow != s.nextRow || !BandInsideImage(*desc, s.height, false)) return CONV_ERR_GENERAL;
  std::size_t stride = std::size_t{desc->planes} * desc->bytesPerLine;
  for (uint32_t k = 0; k < desc->bandCount; ++k) {
    // Codecs may scribble on the row they are given.
    std::copy_n(band + k * stride, s.rowBytes, s.scanline.begin());
    if (TIFFWriteScanline(s.tif, s.scanline.data(), s.nextRow, 0) != 1) return WriteFailure(s);
    ++s.nextRow;
  }
  return CONV_OK;
}

[[nodiscard]] int EndWriting() {
  QuietLibrary quiet;
  if (!g_write || g_write->tif == nullptr) return CONV_ERR_GENERAL;
  WriteState& s = *g_write;
  if (s.nextRow != s.height) return CONV_ERR_GENERAL;
  // Flushing writes the last strip and the directory.
  if (!TIFFFlush(s.tif) || s.context.writeFailed) return WriteFailure(s);
  TIFF* tif = s.tif;
  s.tif = nullptr;
  TIFFClose(tif);
  return s.context.writeFailed ? int{CONV_ERR_DISK_FULL} : int{CONV_OK};
}

void CleanUp() {
  QuietLibrary quiet;
  g_write.reset();
}

}  // namespace
}  // namespace tiffconv

CONV_ENTRY(int) WRSetupWriting(ConvImageDesc* desc, char** /*hostParam*/, int /*hostValue*/) {
  return tiffconv::Guarded(tiffconv::SetupWriting, desc);
}

CONV_ENTRY(int) WRWriteHeader(ConvImageDesc* desc) { return tiffconv::Guarded(tiffconv::WriteHeader, desc); }

CONV_ENTRY(int) WRWriteBand(ConvImageDesc* desc, unsigned char* band) {
  return tiffconv::Guarded(tiffconv::WriteBand, desc, band);
}

CONV_ENTRY(int) WREndWriting(ConvImageDesc* /*desc*/) { return tiffconv::Guarded(tiffconv::EndWriting); }

CONV_ENTRY(void) WRCleanUp(ConvImageDesc* /*desc*/) { tiffconv::GuardedVoid(tiffconv::CleanUp); }
