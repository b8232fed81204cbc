// The converter's identity: version, record and the wording of error codes.
#include <cstdio>

#include "bmp_format.h"

namespace imexp::bmp {

namespace {

struct ErrorText {
  int code;
  const char* format;  // one %s for the file title, or none
};

// 16 to 20 keep the manager's meanings: the manager asks us to word them too
// while this library is loaded.
constexpr ErrorText kErrorTexts[] = {
    {CONV_ERR_CUSTOM, "Custom Converter Error"},
    {CONV_ERR_NOT_CONFIGURED, "Converters configured improperly"},
    {CONV_ERR_WRONG_DLL_VERSION, "Wrong custom DLL version %s"},
    {CONV_ERR_WA_FAILURE, "WA Failure"},
    {CONV_ERR_NO_SAVE_FORMAT, "No Suitable Formats for Save"},
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

CONV_ENTRY(uint32_t) ConvGetVersion(void) {
  return CONV_VERSION_CAPABILITY_1 | CONV_VERSION_CAPABILITY_2 | CONV_INTERFACE_VERSION;
}

CONV_ENTRY(void) ConvGetDllInfo(ConvRecord* record, char* /*iniPath*/) {
  if (record == nullptr) return;
  record->flags = CONV_FLAG_READER | CONV_FLAG_WRITER | CONV_FLAG_CHECKS_CONTENT;
  // Paletted files carry the palette the manager supplies, grey ramps
  // included, so every grey and palette layout is written the same way.
  record->writeFormats =
      WF_GRAY1 | WF_GRAY4 | WF_GRAY8 | WF_GRAY_ANY | WF_PAL4 | WF_PAL8 | WF_PAL_ANY | WF_RGB24_1;
  record->writeResUnits = CONV_RES_DPCM;
  CopyField(record->name, sizeof record->name, "BMP");
  CopyField(record->description, sizeof record->description, "Windows Bitmap");
  CopyField(record->extensions, sizeof record->extensions, "*.BMP;*.DIB;*.RLE");
}

CONV_ENTRY(void) ConvGetErrorString(int code, char* fileTitle, char* /*iniPath*/, char* text) {
  if (text == nullptr) return;
  const char* title = fileTitle != nullptr ? fileTitle : "";
  constexpr std::size_t kTextSize = 256;
  for (const ErrorText& entry : kErrorTexts) {
    if (entry.code == code) {
      std::snprintf(text, kTextSize, entry.format, title);
      return;
    }
  }
  std::snprintf(text, kTextSize, "BMP conversion error %d in %s", code, title);
}
