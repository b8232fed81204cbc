// The JPEG converter's identity and its questions that need no pixels: the
// record, error texts, the content check and the image information.
#include <imexp/converter_dialogs.h>

#include <string>

#include "jpeg_format.h"
#include "jpeg_resources.h"
#include "jpeg_settings.h"

namespace jpeg {
namespace {

constexpr ErrorWording kFixedErrors[] = {
    {kErrImageTooLarge, "The image in %s is wider or higher than 32512 pixels"},
};

const char* FormatName(const jpeg_decompress_struct& c) {
  if (c.progressive_mode) return "JPEG progressive";
  return c.arith_code ? "JPEG sequential, arithmetic" : "JPEG baseline";
}

uint16_t InfoColorType(J_COLOR_SPACE space) {
  switch (space) {
    case JCS_GRAYSCALE:
      return CONV_COLOR_GRAY;
    case JCS_RGB:
      return CONV_COLOR_RGB;
    case JCS_YCbCr:
      return CONV_COLOR_YCBCR;
    default:
      return CONV_COLOR_CMYK;
  }
}

}  // namespace
}  // namespace jpeg

using namespace jpeg;

CONV_ENTRY(uint32_t) ConvGetVersion(void) { return kConverterVersion; }

CONV_ENTRY(void) ConvGetDllInfo(ConvRecord* record, char* /*iniPath*/) {
  if (record == nullptr) return;
  record->flags =
      CONV_FLAG_READER | CONV_FLAG_WRITER | CONV_FLAG_CHECKS_CONTENT | CONV_FLAG_ABOUT | CONV_FLAG_SETUP;
  record->writeFormats = WF_GRAY8 | WF_RGB24_1;
  record->writeResUnits = CONV_RES_DPI | CONV_RES_DPCM;
  CopyField(record->name, "JPEG");
  CopyField(record->description, "JPEG/JFIF");
  CopyField(record->extensions, "*.JPG;*.JPEG;*.JPE;*.JFIF");
}

CONV_ENTRY(void) ConvSetup(HWND owner, char* iniPath) {
  GuardedVoid([&] {
    RunSetupDialog(owner, iniPath, IDD_SETUP, {NumberField(IDC_NUMBER, kQuality, IDS_NUMBER_REFUSED)});
  });
}

CONV_ENTRY(void) ConvAbout(HWND owner) {
  GuardedVoid([&] {
    ShowAbout(owner, {"JPEG", IDS_FORMATS, IMEXP_BUNDLED_VERSION, "libjpeg-turbo", LibraryVersion()});
  });
}

CONV_ENTRY(void) ConvGetErrorString(int code, char* fileTitle, char* /*iniPath*/, char* text) {
  WordErrorWithReason(code, fileTitle, text, kFixedErrors, "JPEG", kErrLibrary, LastReason());
}

CONV_ENTRY(int) RDCheckFile(HFILE file, char* /*iniPath*/) {
  unsigned char magic[3] = {};
  if (!ReadExactlyAt(file, 0, magic, sizeof magic)) return 0;
  return magic[0] == 0xFF && magic[1] == 0xD8 && magic[2] == 0xFF;
}

CONV_ENTRY(int) RDGetImageInfo(HFILE file, int image, char* /*iniPath*/, ConvImageInfo* info) {
  return Guarded([&] {
    if (image != 0) return static_cast<int>(CONV_ERR_WRONG_IMAGE_NUMBER);
    Decoder decoder;
    if (int error = ReadJpegHeader(decoder, file)) return error;
    const jpeg_decompress_struct& c = decoder.cinfo;
    info->width = c.image_width;
    info->height = c.image_height;
    info->colorType = InfoColorType(c.jpeg_color_space);
    info->bitsPerPixel = static_cast<uint16_t>(8 * c.num_components);
    JfifResolution(c, &info->resUnit, &info->resX, &info->resY);
    CopyField(info->formatName, FormatName(c));
    CopyField(info->compression, "JPEG");
    return static_cast<int>(CONV_OK);
  });
}
