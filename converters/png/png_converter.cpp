// The PNG converter's identity and its questions that need no pixels: the
// record, error texts, the content check and the image information.
#include <cstring>

#include <imexp/converter_dialogs.h>

#include "png_format.h"
#include "png_resources.h"
#include "png_settings.h"

namespace png {
namespace {

constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

uint16_t InfoColorType(uint8_t pngColorType) {
  switch (pngColorType) {
    case kPngRgb:
      return CONV_COLOR_RGB;
    case kPngPalette:
      return CONV_COLOR_PALETTE;
    case kPngGrayAlpha:
      return CONV_COLOR_GRAY_ALPHA;
    case kPngRgba:
      return CONV_COLOR_RGB_ALPHA;
    default:
      return CONV_COLOR_GRAY;
  }
}

}  // namespace
}  // namespace png

using namespace png;

CONV_ENTRY(uint32_t) ConvGetVersion(void) { return kConverterVersion; }

CONV_ENTRY(void) ConvGetDllInfo(ConvRecord* record, char* /*iniPath*/) {
  if (record == nullptr) return;
  record->flags =
      CONV_FLAG_READER | CONV_FLAG_WRITER | CONV_FLAG_CHECKS_CONTENT | CONV_FLAG_ABOUT | CONV_FLAG_SETUP;
  // Bilevel and 16-level grey keep their depth; palettes of 2, 16 and 256
  // entries keep theirs as well.
  record->writeFormats = WF_GRAY1 | WF_GRAY4 | WF_GRAY8 | WF_PAL_ANY | WF_RGB24_1;
  record->writeResUnits = CONV_RES_DPI;
  CopyField(record->name, "PNG");
  CopyField(record->description, "Portable Network Graphics");
  CopyField(record->extensions, "*.PNG");
}

CONV_ENTRY(void) ConvSetup(HWND owner, char* iniPath) {
  GuardedVoid([&] {
    RunSetupDialog(owner, iniPath, IDD_SETUP,
                   {NumberField(IDC_NUMBER, kCompressionLevel, IDS_NUMBER_REFUSED),
                    ColorField(IDC_BACKGROUND, kBackground)});
  });
}

CONV_ENTRY(void) ConvAbout(HWND owner) {
  GuardedVoid([&] {
    ShowAbout(owner, {"PNG", IDS_FORMATS, IMEXP_BUNDLED_VERSION, "libspng", spng_version_string()});
  });
}

CONV_ENTRY(void) ConvGetErrorString(int code, char* fileTitle, char* /*iniPath*/, char* text) {
  constexpr ErrorWording own[] = {
      {kErrImageTooLarge, "The image in %s is wider or higher than 32512 pixels"},
  };
  WordErrorWithReason(code, fileTitle, text, own, "PNG", kErrLibrary, LastReason());
}

CONV_ENTRY(int) RDCheckFile(HFILE file, char* /*iniPath*/) {
  unsigned char magic[sizeof kSignature] = {};
  if (!ReadExactlyAt(file, 0, magic, sizeof magic)) return 0;
  return std::memcmp(magic, kSignature, sizeof magic) == 0;
}

CONV_ENTRY(int) RDGetImageInfo(HFILE file, int image, char* /*iniPath*/, ConvImageInfo* info) {
  return Guarded([&] {
    if (image != 0) return static_cast<int>(CONV_ERR_WRONG_IMAGE_NUMBER);
    if (info == nullptr) return static_cast<int>(CONV_ERR_GENERAL);
    Decoder decoder;
    PngHeader h;
    if (int error = ReadPngHeader(decoder, file, &h)) return error;
    info->width = h.ihdr.width;
    info->height = h.ihdr.height;
    info->colorType = InfoColorType(h.ihdr.color_type);
    info->bitsPerPixel = static_cast<uint16_t>(h.FileBits());
    DescribeResolution(h, &info->resUnit, &info->resX, &info->resY);
    CopyField(info->formatName, h.ihdr.interlace_method ? "PNG, interlaced" : "PNG");
    CopyField(info->compression, "Deflate");
    return static_cast<int>(CONV_OK);
  });
}
