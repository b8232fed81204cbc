// The converter's identity and its error texts. The name, file types and
// multi-image flag come from the container the library is built with.
#include <cstdio>

#include "pcx_container.h"
#include "pcx_format.h"

namespace pcx {
namespace {

constexpr uint32_t kVersion = 0x00030300u;

// The message for a code of 16 or more; "%s" takes the file title.
const char* ErrorFormat(int code) {
  switch (code) {
    case kErrImageTooLarge:
      return "The image in %s is wider or higher than 32512 pixels";
    case kErrBadPageTable:
      return "The page table of %s points outside the file";
    // The manager's own codes reach us too while we are loaded.
    case CONV_ERR_CUSTOM:
      return "Custom Converter Error";
    case CONV_ERR_NOT_CONFIGURED:
      return "Converters configured inproperly";
    case CONV_ERR_WRONG_DLL_VERSION:
      return "Wrong custom DLL version %s";
    case CONV_ERR_WA_FAILURE:
      return "WA Failure";
    case CONV_ERR_NO_SAVE_FORMAT:
      return "No Suitable Formats for Save";
    default:
      return nullptr;
  }
}

}  // namespace
}  // namespace pcx

CONV_ENTRY(uint32_t) ConvGetVersion(void) { return pcx::kVersion; }

CONV_ENTRY(void) ConvGetDllInfo(ConvRecord* record, char* /*iniPath*/) {
  record->flags = CONV_FLAG_READER | CONV_FLAG_WRITER | CONV_FLAG_CHECKS_CONTENT | pcx::kContainer.flags;
  // Bilevel images become 1-bit pages, 16-colour ones four bit planes,
  // 256-colour and grey ones 8-bit pages with their palette at the end, and
  // true colour three byte planes. No grey-only layout beyond 1 bit: the
  // manager hands grey outputs a straight ramp, which would lose the
  // palette of a 16-level image whose greys are not in ramp order.
  record->writeFormats = WF_GRAY1 | WF_PAL4 | WF_PAL8 | WF_PAL_ANY | WF_RGB24_1;
  record->writeResUnits = CONV_RES_DPI;
  pcx::CopyField(record->name, sizeof record->name, pcx::kContainer.name);
  pcx::CopyField(record->description, sizeof record->description, pcx::kContainer.description);
  pcx::CopyField(record->extensions, sizeof record->extensions, pcx::kContainer.extensions);
}

CONV_ENTRY(void) ConvGetErrorString(int code, char* fileTitle, char* /*iniPath*/, char* text) {
  const char* title = fileTitle ? fileTitle : "";
  if (const char* format = pcx::ErrorFormat(code)) {
    std::snprintf(text, 256, format, title);
  } else {
    std::snprintf(text, 256, "%s converter error %d in %s", pcx::kContainer.name, code, title);
  }
}
