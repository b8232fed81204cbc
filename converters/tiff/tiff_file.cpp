// libtiff over the manager's file handles: the client procedures, quiet
// message handlers and what the converter reads from a directory.
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>

#include "tiff_format.h"

namespace tiffconv {
namespace {

char g_reason[200] = "";

void KeepReason(const char* module, const char* format, va_list args) {
  char message[160] = "";
  std::vsnprintf(message, sizeof message, format, args);
  if (module != nullptr && *module != '\0') {
    std::snprintf(g_reason, sizeof g_reason, "%s: %s", module, message);
  } else {
    std::snprintf(g_reason, sizeof g_reason, "%s", message);
  }
}

void GlobalError(const char* module, const char* format, va_list args) { KeepReason(module, format, args); }

int HandleError(TIFF*, void*, const char* module, const char* format, va_list args) {
  KeepReason(module, format, args);
  return 1;  // handled: the process-wide handler is not called
}

int HandleWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

FileContext& Context(thandle_t handle) { return *static_cast<FileContext*>(handle); }

tmsize_t ReadProc(thandle_t handle, void* buffer, tmsize_t size) {
  if (size < 0) return -1;
  return ConvFileRead(Context(handle).file, buffer, static_cast<unsigned long>(size));
}

tmsize_t WriteProc(thandle_t handle, void* buffer, tmsize_t size) {
  FileContext& context = Context(handle);
  if (size < 0 || ConvFileWrite(context.file, buffer, static_cast<unsigned long>(size)) != 0) {
    context.writeFailed = true;
    return -1;
  }
  return size;
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
  // libtiff passes offsets as unsigned; a relative move may be negative.
  auto signedOffset = static_cast<int64_t>(offset);
  if (signedOffset > std::numeric_limits<long>::max() || signedOffset < std::numeric_limits<long>::min())
    return static_cast<toff_t>(-1);
  long at = ConvFileSeek(Context(handle).file, static_cast<long>(signedOffset), whence);
  return at < 0 ? static_cast<toff_t>(-1) : static_cast<toff_t>(at);
}

// The manager owns the handle and closes it.
int CloseProc(thandle_t) { return 0; }

toff_t SizeProc(thandle_t handle) {
  HFILE file = Context(handle).file;
  long here = ConvFileSeek(file, 0, CONV_SEEK_CUR);
  long end = ConvFileSeek(file, 0, CONV_SEEK_END);
  if (here >= 0) ConvFileSeek(file, here, CONV_SEEK_SET);
  return end < 0 ? 0 : static_cast<toff_t>(end);
}

int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

uint32_t RoundResolution(float value) {
  if (!(value > 0) || value > 1e9f) return 0;
  return static_cast<uint32_t>(std::lround(value));
}

}  // namespace

const char* LastReason() { return g_reason; }
void ClearReason() { g_reason[0] = '\0'; }
int LibraryError(int fallback) { return g_reason[0] != '\0' ? kErrLibrary : fallback; }

QuietLibrary::QuietLibrary()
    : oldError_(TIFFSetErrorHandler(GlobalError)), oldWarning_(TIFFSetWarningHandler(nullptr)) {}

QuietLibrary::~QuietLibrary() {
  TIFFSetErrorHandler(oldError_);
  TIFFSetWarningHandler(oldWarning_);
}

bool HasTiffMagic(HFILE file) {
  unsigned char magic[4] = {};
  if (!ReadExactlyAt(file, 0, magic, sizeof magic)) return false;
  bool little = magic[0] == 'I' && magic[1] == 'I' && magic[3] == 0 && (magic[2] == 42 || magic[2] == 43);
  bool big = magic[0] == 'M' && magic[1] == 'M' && magic[2] == 0 && (magic[3] == 42 || magic[3] == 43);
  return little || big;
}

TIFF* OpenTiff(FileContext* context, const char* mode) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (options == nullptr) return nullptr;
  TIFFOpenOptionsSetErrorHandlerExtR(options, HandleError, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options, HandleWarning, nullptr);
  // No single allocation of libtiff's may exceed what a real page needs; a
  // lying directory cannot make it reserve gigabytes.
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t{256} << 20);
  if (ConvFileSeek(context->file, 0, CONV_SEEK_SET) != 0) {
    TIFFOpenOptionsFree(options);
    return nullptr;
  }
  TIFF* tif = TIFFClientOpenExt("image", mode, static_cast<thandle_t>(context), ReadProc, WriteProc, SeekProc,
                                CloseProc, SizeProc, MapProc, UnmapProc, options);
  TIFFOpenOptionsFree(options);
  return tif;
}

int DescribePage(TIFF* tif, Page* page) {
  Page p;
  if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &p.width) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &p.height))
    return CONV_ERR_INVALID_FILE;
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &p.bitsPerSample);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &p.samplesPerPixel);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &p.planar);
  TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &p.compression);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &p.sampleFormat);
  TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &p.inkSet);
  uint16_t* extraKinds = nullptr;
  TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &p.extraSamples, &extraKinds);
  p.tiled = TIFFIsTiled(tif) != 0;
  if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &p.photometric)) {
    // Without the tag, what the samples suggest.
    p.photometric = p.samplesPerPixel - p.extraSamples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISWHITE;
  }

  bool alpha = false;
  for (uint16_t i = 0; extraKinds != nullptr && i < p.extraSamples; ++i) {
    if (extraKinds[i] == EXTRASAMPLE_ASSOCALPHA || extraKinds[i] == EXTRASAMPLE_UNASSALPHA) alpha = true;
  }
  if (p.extraSamples > 0 && extraKinds != nullptr && p.extraSamples < p.samplesPerPixel &&
      (extraKinds[0] == EXTRASAMPLE_ASSOCALPHA || extraKinds[0] == EXTRASAMPLE_UNASSALPHA)) {
    p.alphaKind = extraKinds[0];
  }
  switch (p.photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
      p.colorType = alpha ? CONV_COLOR_GRAY_ALPHA : CONV_COLOR_GRAY;
      break;
    case PHOTOMETRIC_PALETTE:
      p.colorType = CONV_COLOR_PALETTE;
      break;
    case PHOTOMETRIC_YCBCR:
      p.colorType = CONV_COLOR_YCBCR;
      break;
    case PHOTOMETRIC_SEPARATED:
      p.colorType = p.inkSet == INKSET_CMYK ? CONV_COLOR_CMYK : CONV_COLOR_RGB;
      break;
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB:
    case PHOTOMETRIC_ITULAB:
      p.colorType = CONV_COLOR_LAB;
      break;
    default:
      p.colorType = alpha ? CONV_COLOR_RGB_ALPHA : CONV_COLOR_RGB;
      break;
  }
  uint32_t bits = uint32_t{p.bitsPerSample} * p.samplesPerPixel;
  p.bitsPerPixel = static_cast<uint16_t>(std::min<uint32_t>(bits, 0xFFFF));

  float resX = 0, resY = 0;
  uint16_t unit = RESUNIT_INCH;
  if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &resX) && TIFFGetField(tif, TIFFTAG_YRESOLUTION, &resY)) {
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    p.resX = RoundResolution(resX);
    p.resY = RoundResolution(resY);
    p.resUnit = unit == RESUNIT_CENTIMETER ? CONV_UNIT_DPCM
                : unit == RESUNIT_NONE     ? CONV_UNIT_ASPECT
                                           : CONV_UNIT_DPI;
    if (p.resX == 0 || p.resY == 0) p.resUnit = CONV_UNIT_UNKNOWN, p.resX = p.resY = 0;
  }
  *page = p;
  return CONV_OK;
}

void CompressionName(uint16_t compression, char* field, std::size_t size) {
  const char* name = nullptr;
  switch (compression) {
    case COMPRESSION_NONE:
      name = "None";
      break;
    case COMPRESSION_PACKBITS:
      name = "PackBits";
      break;
    case COMPRESSION_LZW:
      name = "LZW";
      break;
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:
      name = "Deflate";
      break;
    case COMPRESSION_CCITTFAX3:
      name = "CCITT G3";
      break;
    case COMPRESSION_CCITTFAX4:
      name = "CCITT G4";
      break;
    case COMPRESSION_JPEG:
      name = "JPEG";
      break;
    default:
      if (const TIFFCodec* codec = TIFFFindCODEC(compression)) name = codec->name;
      break;
  }
  if (name != nullptr) {
    CopyField(field, size, name);
  } else {
    char text[32];
    std::snprintf(text, sizeof text, "Compression %u", unsigned{compression});
    CopyField(field, size, text);
  }
}

uint32_t CountPages(TIFF* tif) {
  tdir_t count = TIFFNumberOfDirectories(tif);
  return std::min<uint32_t>(count, 0xFFFF);
}

}  // namespace tiffconv
