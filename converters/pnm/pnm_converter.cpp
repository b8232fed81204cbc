// The PNM converter's identity and its questions that need no pixels: the
// record, error texts, the content check and the image information.
#include <imexp/converter_dialogs.h>

#include "pnm_format.h"
#include "pnm_resources.h"

namespace pnm {
namespace {

constexpr ErrorWording kOwnErrors[] = {
    {kErrImageTooLarge, "The image in %s is wider or higher than 32512 pixels"},
    {kErrBadMaxval, "The sample maximum of %s is not between 1 and 65535"},
    {kErrBadSample, "Unreadable pixel value in the text raster of %s"},
};

}  // namespace
}  // namespace pnm

using namespace pnm;

CONV_ENTRY(uint32_t) ConvGetVersion(void) { return kConverterVersion; }

CONV_ENTRY(void) ConvGetDllInfo(ConvRecord* record, char* /*iniPath*/) {
  if (record == nullptr) return;
  record->flags = CONV_FLAG_READER | CONV_FLAG_WRITER | CONV_FLAG_CHECKS_CONTENT | CONV_FLAG_ABOUT;
  // Grey images become PGM, bilevel ones PBM, and everything else PPM.
  record->writeFormats = WF_GRAY1 | WF_GRAY8 | WF_RGB24_1;
  record->writeResUnits = CONV_RES_NONE;
  CopyField(record->name, "PNM");
  CopyField(record->description, "Portable Bitmap/Graymap/Pixmap");
  CopyField(record->extensions, "*.PBM;*.PGM;*.PPM;*.PNM");
}

CONV_ENTRY(void) ConvAbout(HWND owner) {
  GuardedVoid([&] { ShowAbout(owner, {"PNM", IDS_FORMATS, IMEXP_BUNDLED_VERSION, nullptr, {}}); });
}

CONV_ENTRY(void) ConvGetErrorString(int code, char* fileTitle, char* /*iniPath*/, char* text) {
  WordError(code, fileTitle, text, kOwnErrors, "PNM");
}

CONV_ENTRY(int) RDCheckFile(HFILE file, char* /*iniPath*/) {
  unsigned char magic[3] = {};
  if (!ReadExactlyAt(file, 0, magic, sizeof magic)) return 0;
  bool separator = magic[2] == ' ' || magic[2] == '\t' || magic[2] == '\n' || magic[2] == '\r' ||
                   magic[2] == '\v' || magic[2] == '\f' || magic[2] == '#';
  return magic[0] == 'P' && magic[1] >= '1' && magic[1] <= '6' && separator;
}

CONV_ENTRY(int) RDGetImageInfo(HFILE file, int image, char* /*iniPath*/, ConvImageInfo* info) {
  return Guarded([&] {
    if (image != 0) return static_cast<int>(CONV_ERR_WRONG_IMAGE_NUMBER);
    FileInput input;
    PnmHeader h;
    if (int error = ParseHeader(file, input, &h)) return error;
    info->width = h.width;
    info->height = h.height;
    info->colorType = h.Channels() == 3 ? CONV_COLOR_RGB : CONV_COLOR_GRAY;
    info->bitsPerPixel = h.FileBitsPerPixel();
    info->resUnit = CONV_UNIT_UNKNOWN;
    info->resX = info->resY = 0;
    CopyField(info->formatName, FormatName(h.kind));
    CopyField(info->compression, "");
    return static_cast<int>(CONV_OK);
  });
}
