// The WebP converter's identity and its questions that need no pixels: the
// record, error texts, the content check, the container and the image
// information.
#include <cstring>

#include <imexp/converter_dialogs.h>

#include "webp_format.h"
#include "webp_resources.h"
#include "webp_settings.h"

namespace webp {
namespace {

// The container's longest plausible stretch. Its size field allows 4 GB,
// far beyond any image the manager takes.
constexpr uint64_t kMaxContainerBytes = uint64_t{1} << 30;

// Enough of a file for its features, unless chunks such as a colour
// profile stand before the image's own.
constexpr uint64_t kHeadBytes = 4096;

const char* StatusText(VP8StatusCode status) {
  switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY:
      return "out of memory";
    case VP8_STATUS_INVALID_PARAM:
      return "invalid parameter";
    case VP8_STATUS_BITSTREAM_ERROR:
      return "bitstream error";
    case VP8_STATUS_UNSUPPORTED_FEATURE:
      return "unsupported feature";
    case VP8_STATUS_SUSPENDED:
      return "decoding suspended";
    case VP8_STATUS_USER_ABORT:
      return "decoding aborted";
    case VP8_STATUS_NOT_ENOUGH_DATA:
      return "not enough data";
    default:
      return "unknown decoder status";
  }
}

}  // namespace

std::string& LastReason() {
  static std::string reason;
  return reason;
}

int DecoderError(VP8StatusCode status) {
  if (status == VP8_STATUS_OK) return CONV_OK;
  if (status == VP8_STATUS_OUT_OF_MEMORY) return CONV_ERR_NO_MEMORY;
  if (status == VP8_STATUS_NOT_ENOUGH_DATA) return CONV_ERR_END_OF_FILE;
  LastReason() = StatusText(status);
  return kErrLibrary;
}

int ReadContainer(HFILE file, std::vector<uint8_t>* bytes, uint64_t limit) {
  uint8_t head[12] = {};
  if (!ReadExactlyAt(file, 0, head, sizeof head)) return CONV_ERR_END_OF_FILE;
  if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WEBP", 4) != 0)
    return CONV_ERR_UNKNOWN_FORMAT;
  long fileSize = ConvFileSize(file);
  if (fileSize < 0) return CONV_ERR_END_OF_FILE;
  // Bytes after the container are not ours; a container longer than the
  // file is read as far as the file goes, and the decoder says what lacks.
  uint64_t size = std::min<uint64_t>(uint64_t{Le32(head + 4)} + 8, static_cast<uint64_t>(fileSize));
  if (size > kMaxContainerBytes) return CONV_ERR_FILE_TOO_BIG;
  size = std::min(size, limit);
  bytes->assign(static_cast<std::size_t>(size), 0);
  if (!ReadExactlyAt(file, 0, bytes->data(), bytes->size())) return CONV_ERR_END_OF_FILE;
  return CONV_OK;
}

int ReadFeatures(HFILE file, std::vector<uint8_t>* bytes, WebPBitstreamFeatures* features, bool headOnly) {
  if (int error = ReadContainer(file, bytes, headOnly ? kHeadBytes : UINT64_MAX)) return error;
  VP8StatusCode status = WebPGetFeatures(bytes->data(), bytes->size(), features);
  if (headOnly && status == VP8_STATUS_NOT_ENOUGH_DATA && bytes->size() == kHeadBytes) {
    if (int error = ReadContainer(file, bytes)) return error;
    status = WebPGetFeatures(bytes->data(), bytes->size(), features);
  }
  if (int error = DecoderError(status)) return error;
  if (features->width <= 0 || features->height <= 0) return CONV_ERR_INVALID_FILE;
  return CONV_OK;
}

}  // namespace webp

using namespace webp;

CONV_ENTRY(uint32_t) ConvGetVersion(void) { return kConverterVersion; }

CONV_ENTRY(void) ConvGetDllInfo(ConvRecord* record, char* /*iniPath*/) {
  if (record == nullptr) return;
  record->flags =
      CONV_FLAG_READER | CONV_FLAG_WRITER | CONV_FLAG_CHECKS_CONTENT | CONV_FLAG_ABOUT | CONV_FLAG_SETUP;
  record->writeFormats = WF_RGB24_1;
  record->writeResUnits = CONV_RES_NONE;
  CopyField(record->name, "WebP");
  CopyField(record->description, "WebP");
  CopyField(record->extensions, "*.WEBP");
}

namespace {

// The loaded decoder's version, packed as major << 16 | minor << 8 | revision.
std::string LibraryVersion() {
  int v = WebPGetDecoderVersion();
  return std::to_string(v >> 16) + "." + std::to_string((v >> 8) & 0xFF) + "." + std::to_string(v & 0xFF);
}

}  // namespace

CONV_ENTRY(void) ConvSetup(HWND owner, char* iniPath) {
  GuardedVoid([&] {
    RunSetupDialog(owner, iniPath, IDD_SETUP,
                   {NumberField(IDC_NUMBER, kQuality, IDS_NUMBER_REFUSED), FlagField(IDC_LOSSLESS, kLossless),
                    ColorField(IDC_BACKGROUND, kBackground)});
  });
}

CONV_ENTRY(void) ConvAbout(HWND owner) {
  GuardedVoid([&] {
    ShowAbout(owner, {"WebP", IDS_FORMATS, IMEXP_BUNDLED_VERSION, "libwebp", LibraryVersion()});
  });
}

CONV_ENTRY(void) ConvGetErrorString(int code, char* fileTitle, char* /*iniPath*/, char* text) {
  constexpr ErrorWording own[] = {
      {kErrImageTooLarge, "The image in %s is too large: at most 32512 rows of 10837 pixels can be read"},
      {kErrAnimated, "%s is an animated WebP file; only still images can be read"},
      {kErrTooLargeForWebP, "WebP images are at most 16383 pixels wide and high, too small for %s"},
  };
  WordErrorWithReason(code, fileTitle, text, own, "WebP", kErrLibrary, LastReason().c_str());
}

CONV_ENTRY(int) RDCheckFile(HFILE file, char* /*iniPath*/) {
  uint8_t head[12] = {};
  if (!ReadExactlyAt(file, 0, head, sizeof head)) return 0;
  return std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WEBP", 4) == 0;
}

CONV_ENTRY(int) RDGetImageInfo(HFILE file, int image, char* /*iniPath*/, ConvImageInfo* info) {
  return Guarded([&] {
    if (image != 0) return int{CONV_ERR_WRONG_IMAGE_NUMBER};
    std::vector<uint8_t> bytes;
    WebPBitstreamFeatures features{};
    if (int error = ReadFeatures(file, &bytes, &features, true)) return error;
    info->width = static_cast<uint32_t>(features.width);
    info->height = static_cast<uint32_t>(features.height);
    info->colorType = features.has_alpha ? CONV_COLOR_RGB_ALPHA : CONV_COLOR_RGB;
    info->bitsPerPixel = features.has_alpha ? 32 : 24;
    info->resUnit = CONV_UNIT_UNKNOWN;
    info->resX = info->resY = 0;
    bool lossless = features.format == 2;
    CopyField(info->formatName, features.has_animation ? "WebP animation"
                                : lossless             ? "WebP lossless"
                                                       : "WebP lossy");
    CopyField(info->compression, features.has_animation ? "" : lossless ? "VP8L" : "VP8");
    return int{CONV_OK};
  });
}
