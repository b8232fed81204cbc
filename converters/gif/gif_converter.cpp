// The GIF converter's identity and its questions that need no pixels: the
// record, error texts, the content check, the image count and the image
// information.
#include <string>
#include <tuple>

#include <imexp/converter_dialogs.h>

#include "gif_format.h"
#include "gif_resources.h"
#include "gif_settings.h"

namespace gif {
namespace {

bool AllGrey(const ColorMapObject& map) {
  for (int i = 0; i < map.ColorCount; ++i) {
    const GifColorType& c = map.Colors[i];
    if (c.Red != c.Green || c.Green != c.Blue) return false;
  }
  return true;
}

}  // namespace
}  // namespace gif

using namespace gif;

CONV_ENTRY(uint32_t) ConvGetVersion(void) { return kConverterVersion; }

CONV_ENTRY(void) ConvGetDllInfo(ConvRecord* record, char* /*iniPath*/) {
  if (record == nullptr) return;
  record->flags = CONV_FLAG_READER | CONV_FLAG_WRITER | CONV_FLAG_CHECKS_CONTENT | CONV_FLAG_MULTI_IMAGE |
                  CONV_FLAG_ABOUT | CONV_FLAG_SETUP;
  record->writeFormats = WF_PAL_ANY;
  record->writeResUnits = CONV_RES_NONE;
  CopyField(record->name, "GIF");
  CopyField(record->description, "Graphics Interchange Format");
  CopyField(record->extensions, "*.GIF");
}

CONV_ENTRY(void) ConvSetup(HWND owner, char* iniPath) {
  GuardedVoid([&] { RunSetupDialog(owner, iniPath, IDD_SETUP, {ColorField(IDC_BACKGROUND, kBackground)}); });
}

// giflib names its version only to the compiler.
CONV_ENTRY(void) ConvAbout(HWND owner) {
  GuardedVoid([&] {
    std::string version = std::to_string(GIFLIB_MAJOR) + "." + std::to_string(GIFLIB_MINOR) + "." +
                          std::to_string(GIFLIB_RELEASE);
    ShowAbout(owner, {"GIF", IDS_FORMATS, IMEXP_BUNDLED_VERSION, "giflib", version});
  });
}

CONV_ENTRY(void) ConvGetErrorString(int code, char* fileTitle, char* /*iniPath*/, char* text) {
  constexpr ErrorWording own[] = {
      {kErrImageTooLarge, "The image in %s is wider or higher than 32512 pixels"},
      {kErrDataEndsEarly, "The image data in %s ends before the last pixel of the image"},
  };
  WordErrorWithReason(code, fileTitle, text, own, "GIF", kErrLibrary, LastReason().c_str());
}

CONV_ENTRY(int) RDCheckFile(HFILE file, char* /*iniPath*/) {
  std::string magic = Signature(file);
  return magic == "GIF87a" || magic == "GIF89a";
}

CONV_ENTRY(int) RDGetImageCount(HFILE file, char* /*iniPath*/, int* count, int* singleView) {
  return Guarded([&] {
    // Every image descriptor counts; the pixel data is skipped block by
    // block, never decoded.
    Decoder decoder;
    if (int error = decoder.Open(file)) return error;
    int images = 0;
    int error = CONV_OK;
    for (bool done = false; !done && error == CONV_OK;) {
      GifRecordType type = UNDEFINED_RECORD_TYPE;
      if (DGifGetRecordType(decoder.gif, &type) == GIF_ERROR) {
        error = decoder.Failure();
        break;
      }
      int code = 0;
      GifByteType* block = nullptr;
      switch (type) {
        case IMAGE_DESC_RECORD_TYPE:
          if (DGifGetImageDesc(decoder.gif) == GIF_ERROR) {
            error = decoder.Failure();
            break;
          }
          ++images;
          error = SkipImageData(decoder);
          break;
        case EXTENSION_RECORD_TYPE:
          if (DGifGetExtension(decoder.gif, &code, &block) == GIF_ERROR) error = decoder.Failure();
          while (error == CONV_OK && block != nullptr) {
            if (DGifGetExtensionNext(decoder.gif, &block) == GIF_ERROR) error = decoder.Failure();
          }
          break;
        case TERMINATE_RECORD_TYPE:
          done = true;
          break;
        default:
          error = CONV_ERR_INVALID_FILE;
          break;
      }
    }
    // A damaged tail still leaves the images before it readable.
    if (images == 0) return error != CONV_OK ? error : int{CONV_ERR_NO_IMAGES};
    if (count != nullptr) *count = images;
    // Each image can be read on its own, so the user may choose one.
    if (singleView != nullptr) *singleView = 0;
    return int{CONV_OK};
  });
}

CONV_ENTRY(int) RDGetImageInfo(HFILE file, int image, char* /*iniPath*/, ConvImageInfo* info) {
  return Guarded([&] {
    if (image < 0) return int{CONV_ERR_WRONG_IMAGE_NUMBER};
    Decoder decoder;
    if (int error = decoder.Open(file)) return error;
    ImageRecord found;
    if (int error = FindImage(decoder, image, &found)) return error;
    if (found.desc.Width <= 0 || found.desc.Height <= 0) return int{CONV_ERR_INVALID_FILE};
    info->width = static_cast<uint32_t>(found.desc.Width);
    info->height = static_cast<uint32_t>(found.desc.Height);
    const ColorMapObject* map = found.colors;
    info->colorType = map != nullptr && !AllGrey(*map) ? CONV_COLOR_PALETTE : CONV_COLOR_GRAY_PALETTE;
    info->bitsPerPixel = static_cast<uint16_t>(map != nullptr ? map->BitsPerPixel : 8);
    Resolution resolution = PixelAspect(*decoder.gif);
    std::tie(info->resUnit, info->resX, info->resY) = std::tuple(resolution.unit, resolution.x, resolution.y);
    CopyField(info->formatName, Signature(file).c_str());
    CopyField(info->compression, "LZW");
    return int{CONV_OK};
  });
}
