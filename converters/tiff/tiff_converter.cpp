// The TIFF converter's identity and its questions that need no pixels: the
// record, error texts, the content check, the page count and the image
// information of any page.
#include <cstdio>

#include <imexp/converter_dialogs.h>

#include "tiff_format.h"
#include "tiff_resources.h"
#include "tiff_settings.h"

namespace tiffconv {
namespace {

constexpr ErrorWording kOwnErrors[] = {
    {kErrTooLarge, "The image in %s is wider or higher than 32512 pixels, or its rows are too long"},
};

// An open file for the information calls, closed on every path.
class ReadHandle {
 public:
  explicit ReadHandle(HFILE file) {
    context_.file = file;
    ClearReason();
    if (HasTiffMagic(file)) tif_ = OpenTiff(&context_, "rm");
  }
  ~ReadHandle() {
    if (tif_ != nullptr) TIFFClose(tif_);
  }
  ReadHandle(const ReadHandle&) = delete;
  ReadHandle& operator=(const ReadHandle&) = delete;
  TIFF* get() const { return tif_; }
  // Why there is no handle: not a TIFF file at all, or what libtiff said.
  int OpenError() const {
    return HasTiffMagic(context_.file) ? LibraryError(CONV_ERR_INVALID_FILE) : int{CONV_ERR_UNKNOWN_FORMAT};
  }

 private:
  FileContext context_;
  TIFF* tif_ = nullptr;
};

[[nodiscard]] int ImageCount(HFILE file, int* count, int* singleView) {
  QuietLibrary quiet;
  ReadHandle handle(file);
  if (handle.get() == nullptr) return handle.OpenError();
  uint32_t pages = CountPages(handle.get());
  if (pages == 0) return CONV_ERR_NO_IMAGES;
  if (count != nullptr) *count = static_cast<int>(pages);
  if (singleView != nullptr) *singleView = 0;
  return CONV_OK;
}

[[nodiscard]] int ImageInfo(HFILE file, int image, ConvImageInfo* info) {
  QuietLibrary quiet;
  if (info == nullptr) return CONV_ERR_GENERAL;
  ReadHandle handle(file);
  TIFF* tif = handle.get();
  if (tif == nullptr) return handle.OpenError();
  if (image < 0 || static_cast<uint32_t>(image) >= CountPages(tif)) return CONV_ERR_WRONG_IMAGE_NUMBER;
  if (image != 0 && !TIFFSetDirectory(tif, static_cast<tdir_t>(image)))
    return LibraryError(CONV_ERR_INVALID_FILE);
  Page page;
  if (int error = DescribePage(tif, &page)) return error;
  info->width = page.width;
  info->height = page.height;
  info->colorType = page.colorType;
  info->bitsPerPixel = page.bitsPerPixel;
  info->resUnit = page.resUnit;
  info->resX = page.resX;
  info->resY = page.resY;
  CopyField(info->formatName, "TIFF");
  CompressionName(page.compression, info->compression, sizeof info->compression);
  return CONV_OK;
}

}  // namespace
}  // namespace tiffconv

using namespace tiffconv;

CONV_ENTRY(uint32_t) ConvGetVersion(void) { return kConverterVersion; }

CONV_ENTRY(void) ConvGetDllInfo(ConvRecord* record, char* /*iniPath*/) {
  if (record == nullptr) return;
  record->flags = CONV_FLAG_READER | CONV_FLAG_WRITER | CONV_FLAG_CHECKS_CONTENT | CONV_FLAG_MULTI_IMAGE |
                  CONV_FLAG_ABOUT | CONV_FLAG_SETUP;
  record->writeFormats = WF_GRAY1 | WF_GRAY4 | WF_GRAY8 | WF_PAL4 | WF_PAL8 | WF_RGB24_1;
  record->writeResUnits = CONV_RES_DPI | CONV_RES_DPCM;
  CopyField(record->name, "TIFF");
  CopyField(record->description, "Tagged Image File Format");
  CopyField(record->extensions, "*.TIF;*.TIFF");
}

namespace {

// The loaded library's own words: "LIBTIFF, Version 4.5.0" and its
// copyright lines.
std::string LibraryVersion() {
  std::string text = TIFFGetVersion();
  text = text.substr(0, text.find('\n'));
  std::size_t at = text.find("Version ");
  return at == std::string::npos ? text : text.substr(at + 8);
}

}  // namespace

CONV_ENTRY(void) ConvSetup(HWND owner, char* iniPath) {
  GuardedVoid([&] {
    RunSetupDialog(owner, iniPath, IDD_SETUP,
                   {ChoiceField(IDC_COMPRESSION, kCompression, IDS_COMPRESSION_NONE),
                    ColorField(IDC_BACKGROUND, kBackground)});
  });
}

CONV_ENTRY(void) ConvAbout(HWND owner) {
  GuardedVoid([&] {
    ShowAbout(owner, {"TIFF", IDS_FORMATS, IMEXP_BUNDLED_VERSION, "libtiff", LibraryVersion()});
  });
}

CONV_ENTRY(void) ConvGetErrorString(int code, char* fileTitle, char* /*iniPath*/, char* text) {
  WordErrorWithReason(code, fileTitle, text, kOwnErrors, "TIFF", kErrLibrary, LastReason());
}

CONV_ENTRY(int) RDCheckFile(HFILE file, char* /*iniPath*/) { return HasTiffMagic(file) ? 1 : 0; }

CONV_ENTRY(int) RDGetImageCount(HFILE file, char* /*iniPath*/, int* count, int* singleView) {
  return Guarded(ImageCount, file, count, singleView);
}

CONV_ENTRY(int) RDGetImageInfo(HFILE file, int image, char* /*iniPath*/, ConvImageInfo* info) {
  return Guarded(ImageInfo, file, image, info);
}
