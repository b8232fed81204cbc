// The converter's identity and its error texts. The name, file types and
// multi-image flag come from the container the library is built with.
#include <imexp/converter_dialogs.h>

#include "pcx_container.h"
#include "pcx_format.h"
#include "pcx_resources.h"

namespace pcx {
namespace {

constexpr ErrorWording kOwnErrors[] = {
    {kErrImageTooLarge, "The image in %s is wider or higher than 32512 pixels"},
    {kErrBadPageTable, "The page table of %s points outside the file"},
};

}  // namespace
}  // namespace pcx

CONV_ENTRY(uint32_t) ConvGetVersion(void) { return imexp::conv::kConverterVersion; }

CONV_ENTRY(void) ConvGetDllInfo(ConvRecord* record, char* /*iniPath*/) {
  if (record == nullptr) return;
  record->flags = CONV_FLAG_READER | CONV_FLAG_WRITER | CONV_FLAG_CHECKS_CONTENT | CONV_FLAG_ABOUT |
                  pcx::kContainer.flags;
  // Bilevel images become 1-bit pages, 16-colour ones four bit planes,
  // 256-colour and grey ones 8-bit pages with their palette at the end, and
  // true colour three byte planes. No grey-only layout beyond 1 bit: the
  // manager hands grey outputs a straight ramp, which would lose the
  // palette of a 16-level image whose greys are not in ramp order.
  record->writeFormats = WF_GRAY1 | WF_PAL4 | WF_PAL8 | WF_PAL_ANY | WF_RGB24_1;
  record->writeResUnits = CONV_RES_DPI;
  pcx::CopyField(record->name, pcx::kContainer.name);
  pcx::CopyField(record->description, pcx::kContainer.description);
  pcx::CopyField(record->extensions, pcx::kContainer.extensions);
}

CONV_ENTRY(void) ConvAbout(HWND owner) {
  imexp::conv::GuardedVoid([&] {
    imexp::conv::ShowAbout(
        owner, {pcx::kContainer.name, pcx::kContainer.aboutText, IMEXP_BUNDLED_VERSION, nullptr, {}});
  });
}

CONV_ENTRY(void) ConvGetErrorString(int code, char* fileTitle, char* /*iniPath*/, char* text) {
  pcx::WordError(code, fileTitle, text, pcx::kOwnErrors, pcx::kContainer.name);
}
