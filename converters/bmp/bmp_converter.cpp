// The converter's identity: version, record and the wording of error codes.
#include <imexp/converter_dialogs.h>

#include "bmp_format.h"
#include "bmp_resources.h"
#include "bmp_settings.h"

namespace imexp::bmp {

namespace {

constexpr ErrorWording kOwnErrors[] = {
    {kErrBadHeader, "The bitmap header of %s is damaged or of an unknown kind"},
    {kErrBadDimensions, "The width or height recorded in %s is zero or negative"},
    {kErrUnsupportedDepth, "%s uses a number of bits per pixel the BMP converter does not read"},
    {kErrUnsupportedCompression, "%s uses a compression the BMP converter does not read"},
    {kErrPaletteTooLarge, "The palette of %s has more colours than its bits per pixel allow"},
    {kErrBadBitFields, "The colour masks of %s are empty, overlap or do not fit the pixel"},
    {kErrBadDataOffset, "The pixel data of %s is said to start inside its headers"},
};

}  // namespace

}  // namespace imexp::bmp

using namespace imexp::bmp;

CONV_ENTRY(uint32_t) ConvGetVersion(void) { return kConverterVersion; }

CONV_ENTRY(void) ConvGetDllInfo(ConvRecord* record, char* /*iniPath*/) {
  if (record == nullptr) return;
  record->flags =
      CONV_FLAG_READER | CONV_FLAG_WRITER | CONV_FLAG_CHECKS_CONTENT | CONV_FLAG_ABOUT | CONV_FLAG_SETUP;
  // Paletted files carry the palette the manager supplies, grey ramps
  // included, so every grey and palette layout is written the same way.
  record->writeFormats =
      WF_GRAY1 | WF_GRAY4 | WF_GRAY8 | WF_GRAY_ANY | WF_PAL4 | WF_PAL8 | WF_PAL_ANY | WF_RGB24_1;
  record->writeResUnits = CONV_RES_DPCM;
  CopyField(record->name, "BMP");
  CopyField(record->description, "Windows Bitmap");
  CopyField(record->extensions, "*.BMP;*.DIB;*.RLE");
}

CONV_ENTRY(void) ConvSetup(HWND owner, char* iniPath) {
  GuardedVoid([&] { RunSetupDialog(owner, iniPath, IDD_SETUP, {ColorField(IDC_BACKGROUND, kBackground)}); });
}

CONV_ENTRY(void) ConvAbout(HWND owner) {
  GuardedVoid([&] { ShowAbout(owner, {"BMP", IDS_FORMATS, IMEXP_BUNDLED_VERSION, nullptr, {}}); });
}

CONV_ENTRY(void) ConvGetErrorString(int code, char* fileTitle, char* /*iniPath*/, char* text) {
  WordError(code, fileTitle, text, kOwnErrors, "BMP");
}
