// What the TIFF converter's entry points share: libtiff opened over the
// manager's file handles, quiet message handlers that keep the last reason,
// the analysis of one directory (page) and the converter's own error codes.
#pragma once

#include <imexp/converter_support.h>
#include <tiffio.h>

#include <cstdint>

namespace tiffconv {

using namespace imexp::conv;

// Our own error codes, worded in tiff_converter.cpp. kErrLibrary carries the
// last reason libtiff gave.
inline constexpr int kErrLibrary = kFirstOwnError;
inline constexpr int kErrTooLarge = kFirstOwnError + 1;

// The last error text libtiff reported during this operation ("" if none).
const char* LastReason();
void ClearReason();
// kErrLibrary when libtiff gave a reason, else `fallback`.
int LibraryError(int fallback);

// While one exists, libtiff's process-wide handlers are silent (messages
// without a handle still end up as the last reason); the previous handlers
// come back at destruction, so no pointer into this library outlives the
// entry point that set it.
class QuietLibrary {
 public:
  QuietLibrary();
  ~QuietLibrary();
  QuietLibrary(const QuietLibrary&) = delete;
  QuietLibrary& operator=(const QuietLibrary&) = delete;

 private:
  TIFFErrorHandler oldError_;
  TIFFErrorHandler oldWarning_;
};

// The manager's handle as libtiff's client data. A failed write is noted so
// that it can be reported as a full disk rather than as a library error.
struct FileContext {
  HFILE file = -1;
  bool writeFailed = false;
};

// True when the first bytes are a classic or BigTIFF header, either order.
bool HasTiffMagic(HFILE file);

// Opens the file for reading ("r") or writing ("w") through libtiff with
// per-handle quiet handlers; null on failure (the reason is kept).
TIFF* OpenTiff(FileContext* context, const char* mode);

// One directory as far as the converter cares.
struct Page {
  uint32_t width = 0;
  uint32_t height = 0;
  uint16_t photometric = PHOTOMETRIC_MINISBLACK;
  uint16_t bitsPerSample = 1;
  uint16_t samplesPerPixel = 1;
  uint16_t planar = PLANARCONFIG_CONTIG;
  uint16_t compression = COMPRESSION_NONE;
  uint16_t sampleFormat = SAMPLEFORMAT_UINT;
  uint16_t extraSamples = 0;
  uint16_t alphaKind = 0;  // EXTRASAMPLE_ASSOCALPHA or _UNASSALPHA when the first extra sample is alpha
  uint16_t inkSet = INKSET_CMYK;
  bool tiled = false;
  // For the information record and the descriptor.
  uint16_t colorType = CONV_COLOR_GRAY;
  uint16_t bitsPerPixel = 1;
  uint16_t resUnit = CONV_UNIT_UNKNOWN;
  uint32_t resX = 0;
  uint32_t resY = 0;
};

// Reads the current directory's fields. Fails (CONV_ERR_INVALID_FILE) only
// when width or height are missing.
[[nodiscard]] int DescribePage(TIFF* tif, Page* page);

// "None", "LZW", ... or libtiff's own name of the codec.
void CompressionName(uint16_t compression, char* field, std::size_t size);

// The number of directories, at most 65535; 0 when there is none.
uint32_t CountPages(TIFF* tif);

}  // namespace tiffconv
