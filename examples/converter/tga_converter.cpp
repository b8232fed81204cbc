// A converter for uncompressed Truevision TGA files: 8-bit grey (image type
// 3) and 24-bit colour (image type 2), read and written. It is the template
// for a converter of your own: one file, the entry points a reader and a
// writer need, its own error codes, and the manager's bands honoured in
// either direction.
//
// The TGA layout used here: an 18-byte little-endian header, an image ID of
// header[0] bytes, then the rows, each width x (bits / 8) bytes, blue-green-
// red for colour. Bit 5 of the descriptor byte says the first row in the file
// is the top one; otherwise the file starts with the bottom row.
#include <imexp/converter.h>
#include <imexp/converter_dialogs.h>
#include <imexp/converter_settings.h>
#include <imexp/converter_support.h>

#include <algorithm>
#include <memory>

#include "tga_resources.h"

using namespace imexp::conv;

namespace {

constexpr std::size_t kHeaderBytes = 18;
constexpr uint8_t kTypeColour = 2;
constexpr uint8_t kTypeGrey = 3;
constexpr uint8_t kTopFirstBit = 0x20;  // descriptor bit: the file starts with the top row
constexpr uint8_t kRightToLeft = 0x10;

// The one setting, in the [TGA] section of CONVERT.INI: write the top row
// first (1) or the bottom row first (0, the default).
constexpr NumberSetting kTopFirst{"TGA", "TopFirst", 0, 0, 1};

// Own error codes start at kFirstOwnError; ConvGetErrorString words them.
constexpr int kErrNotSupported = kFirstOwnError;
constexpr int kErrTooLarge = kFirstOwnError + 1;
constexpr ErrorWording kOwnErrors[] = {
    {kErrNotSupported,
     "%s is a TGA file of a kind this converter does not read "
     "(it reads uncompressed 8-bit grey and 24-bit colour)"},
    {kErrTooLarge, "The image in %s is wider or higher than 32512 pixels"},
};

struct TgaHeader {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t bytesPerPixel = 0;
  bool topFirst = false;
  uint64_t dataOffset = 0;
};

// Reads and checks the header wherever the file's position is: CONV_OK or an
// error code.
int ReadTgaHeader(HFILE file, TgaHeader* h) {
  uint8_t b[kHeaderBytes];
  if (!ReadExactlyAt(file, 0, b, sizeof b)) return CONV_ERR_END_OF_FILE;
  const uint8_t type = b[2];
  const uint8_t bits = b[16];
  const bool known = b[1] == 0 && ((type == kTypeColour && bits == 24) || (type == kTypeGrey && bits == 8));
  if (!known || (b[17] & kRightToLeft) != 0) return kErrNotSupported;
  h->width = Le16(b + 12);
  h->height = Le16(b + 14);
  if (h->width == 0 || h->height == 0) return CONV_ERR_INVALID_FILE;
  if (h->width > kMaxSide || h->height > kMaxSide) return kErrTooLarge;
  h->bytesPerPixel = bits / 8u;
  h->topFirst = (b[17] & kTopFirstBit) != 0;
  h->dataOffset = kHeaderBytes + b[0];
  return CONV_OK;
}

// The most rows of `rowBytes` a band of the manager's may hold; one at least.
uint32_t BandRows(uint32_t rowBytes) { return std::max<uint32_t>(1, kMaxBandBytes / rowBytes); }

// What a read keeps between RDReadHeader and RDCleanUp.
// The manager runs one operation at a time, so one is enough.
struct Reading {
  TgaHeader header;
  HFILE file{};
};
std::unique_ptr<Reading> g_reading;

}  // namespace

// ------------------------------------------------------------ identity

CONV_ENTRY(uint32_t) ConvGetVersion(void) { return kConverterVersion; }

CONV_ENTRY(void) ConvGetDllInfo(ConvRecord* record, char* /*iniPath*/) {
  if (record == nullptr) return;
  record->flags =
      CONV_FLAG_READER | CONV_FLAG_WRITER | CONV_FLAG_CHECKS_CONTENT | CONV_FLAG_ABOUT | CONV_FLAG_SETUP;
  record->writeFormats = WF_GRAY8 | WF_RGB24_1;
  record->writeResUnits = CONV_RES_NONE;
  CopyField(record->name, "TGA");
  CopyField(record->description, "Truevision TGA (uncompressed)");
  CopyField(record->extensions, "*.TGA");
}

CONV_ENTRY(void) ConvGetErrorString(int code, char* fileTitle, char* /*iniPath*/, char* text) {
  WordError(code, fileTitle, text, kOwnErrors, "TGA");
}

// ------------------------------------------------------------ dialogs

// The setup dialog is the template IDD_TGA_SETUP of tga.rc with one check
// box over the setting kTopFirst: the dialog shows and writes the same
// definition the writer reads.
CONV_ENTRY(void) ConvSetup(HWND owner, char* iniPath) {
  GuardedVoid(
      [&] { RunSetupDialog(owner, iniPath, IDD_TGA_SETUP, {FlagField(IDC_TGA_TOP_FIRST, kTopFirst)}); });
}

CONV_ENTRY(void) ConvAbout(HWND owner) {
  GuardedVoid([&] { ShowAbout(owner, {"TGA", IDS_TGA_FORMATS, "1.0", nullptr, {}}); });
}

// ------------------------------------------------------------ reading

// TGA has no magic number: a header this converter reads, and a file long
// enough for its rows, is the test.
CONV_ENTRY(int) RDCheckFile(HFILE file, char* /*iniPath*/) {
  return Guarded([&] {
    TgaHeader h;
    if (ReadTgaHeader(file, &h) != CONV_OK) return 0;
    uint64_t rows = uint64_t{h.width} * h.bytesPerPixel * h.height;
    return ConvFileSize(file) >= static_cast<long>(h.dataOffset + rows) ? 1 : 0;
  });
}

CONV_ENTRY(int) RDGetImageInfo(HFILE file, int image, char* /*iniPath*/, ConvImageInfo* info) {
  return Guarded([&] {
    if (image != 0) return int{CONV_ERR_WRONG_IMAGE_NUMBER};
    TgaHeader h;
    if (int error = ReadTgaHeader(file, &h)) return error;
    info->width = h.width;
    info->height = h.height;
    info->colorType = h.bytesPerPixel == 3 ? CONV_COLOR_RGB : CONV_COLOR_GRAY;
    info->bitsPerPixel = static_cast<uint16_t>(h.bytesPerPixel * 8);
    CopyField(info->formatName, h.topFirst ? "TGA, top row first" : "TGA");
    CopyField(info->compression, "");
    return int{CONV_OK};
  });
}

CONV_ENTRY(int) RDReadHeader(ConvImageDesc* desc, char** /*hostParam*/, int /*hostValue*/) {
  return Guarded([&] {
    auto reading = std::make_unique<Reading>();
    if (int error = ReadTgaHeader(desc->hFile, &reading->header)) return error;
    const TgaHeader& h = reading->header;
    desc->width = h.width;
    desc->height = h.height;
    desc->colorType = h.bytesPerPixel == 3 ? CONV_COLOR_RGB : CONV_COLOR_GRAY;
    desc->bitsPerPixel = static_cast<uint16_t>(h.bytesPerPixel * 8);
    desc->planes = 1;
    desc->bytesPerLine = h.width * h.bytesPerPixel;
    desc->packedPixels = 1;
    desc->invertedGray = 0;
    desc->bgrOrder = 1;  // TGA keeps blue, green, red
    // Every row lies at a known offset, so the manager may walk either way;
    // the file's own order is the cheaper one.
    DescribeBands(*desc, CONV_ACCESS_EITHER, h.topFirst ? CONV_ACCESS_TOP_DOWN : CONV_ACCESS_BOTTOM_UP,
                  BandRows(desc->bytesPerLine));
    reading->file = desc->hFile;
    g_reading = std::move(reading);
    return int{CONV_OK};
  });
}

CONV_ENTRY(int) RDSetupReading(ConvImageDesc* /*desc*/) { return g_reading ? CONV_OK : CONV_ERR_GENERAL; }

// Delivers the rows the manager names: bandCount rows from bandRow (0 = top),
// travelling down, or up when rowOrder says bottom to top.
CONV_ENTRY(int) RDReadBand(ConvImageDesc* desc, unsigned char* band) {
  return Guarded([&] {
    if (!g_reading) return int{CONV_ERR_GENERAL};
    const TgaHeader& h = g_reading->header;
    const bool up = desc->rowOrder == CONV_ACCESS_BOTTOM_UP;
    if (!BandInsideImage(*desc, h.height, up)) return int{CONV_ERR_INVALID_FILE};
    const std::size_t rowBytes = desc->bytesPerLine;
    for (uint32_t k = 0; k < desc->bandCount; ++k) {
      uint32_t row = up ? desc->bandRow - k : desc->bandRow + k;
      uint32_t stored = h.topFirst ? row : h.height - 1 - row;
      if (!ReadExactlyAt(g_reading->file, h.dataOffset + uint64_t{stored} * rowBytes, band + k * rowBytes,
                         rowBytes)) {
        return int{CONV_ERR_END_OF_FILE};
      }
    }
    return int{CONV_OK};
  });
}

CONV_ENTRY(void) RDCleanUp(ConvImageDesc* /*desc*/) { g_reading.reset(); }

// ------------------------------------------------------------ writing

// Files are written bottom row first, as most TGA readers expect, unless the
// settings ask for the top row first: the manager hands the bands over in
// that order, and each is appended.
CONV_ENTRY(int) WRSetupWriting(ConvImageDesc* desc, char** /*hostParam*/, int /*hostValue*/) {
  return Guarded([&] {
    if (desc->width > 0xFFFF || desc->height > 0xFFFF) return kErrTooLarge;
    desc->bgrOrder = 1;
    int order = SettingValue(desc->iniPath, kTopFirst) != 0 ? CONV_ACCESS_TOP_DOWN : CONV_ACCESS_BOTTOM_UP;
    DescribeBands(*desc, order, order, BandRows(desc->bytesPerLine));
    return int{CONV_OK};
  });
}

CONV_ENTRY(int) WRWriteHeader(ConvImageDesc* desc) {
  uint8_t b[kHeaderBytes] = {};
  b[2] = desc->colorType == CONV_COLOR_RGB ? kTypeColour : kTypeGrey;
  PutLe16(b + 12, static_cast<uint16_t>(desc->width));
  PutLe16(b + 14, static_cast<uint16_t>(desc->height));
  b[16] = static_cast<uint8_t>(desc->bitsPerPixel);
  if (SettingValue(desc->iniPath, kTopFirst) != 0) b[17] = kTopFirstBit;
  return WriteAt(desc->hFile, 0, b, sizeof b);
}

CONV_ENTRY(int) WRWriteBand(ConvImageDesc* desc, unsigned char* band) {
  const std::size_t bytes = std::size_t{desc->bandCount} * desc->bytesPerLine;
  return ConvFileWrite(desc->hFile, band, static_cast<unsigned long>(bytes)) == 0 ? CONV_OK
                                                                                  : CONV_ERR_DISK_FULL;
}

CONV_ENTRY(int) WREndWriting(ConvImageDesc* /*desc*/) { return CONV_OK; }

CONV_ENTRY(void) WRCleanUp(ConvImageDesc* /*desc*/) {}
