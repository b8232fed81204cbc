// Writing WebP files from RGB rows: the rows are kept until the last one
// has come, then encoded in one go, lossy at the configured quality or
// lossless, straight into the manager's file handle.
#include <webp/encode.h>

#include <memory>
#include <vector>

#include "webp_format.h"
#include "webp_settings.h"

namespace webp {
namespace {

constexpr uint32_t kWriteBandRows = 16;

struct WriteState {
  uint32_t width = 0;
  uint32_t height = 0;
  int quality = 90;
  bool lossless = false;
  std::vector<uint8_t> rgb;  // every row, top first
  uint32_t nextRow = 0;
  FileOutput output;
  bool writeFailed = false;
};

std::unique_ptr<WriteState> g_write;

const char* EncoderText(WebPEncodingError error) {
  switch (error) {
    case VP8_ENC_ERROR_NULL_PARAMETER:
      return "missing parameter";
    case VP8_ENC_ERROR_INVALID_CONFIGURATION:
      return "invalid configuration";
    case VP8_ENC_ERROR_BAD_DIMENSION:
      return "invalid picture size";
    case VP8_ENC_ERROR_PARTITION0_OVERFLOW:
      return "first partition larger than 512 KB";
    case VP8_ENC_ERROR_PARTITION_OVERFLOW:
      return "partition larger than 16 MB";
    case VP8_ENC_ERROR_FILE_TOO_BIG:
      return "file larger than 4 GB";
    case VP8_ENC_ERROR_USER_ABORT:
      return "encoding aborted";
    default:
      return "encoder failure";
  }
}

int WriteEncoded(const uint8_t* data, size_t size, const WebPPicture* picture) {
  auto* s = static_cast<WriteState*>(picture->custom_ptr);
  if (s->writeFailed) return 0;
  s->output.Append(data, size);
  if (s->output.Full() && s->output.Flush() != CONV_OK) s->writeFailed = true;
  return s->writeFailed ? 0 : 1;
}

[[nodiscard]] int SetupWriting(ConvImageDesc* desc) {
  g_write.reset();
  if (desc->width == 0 || desc->height == 0) return CONV_ERR_INVALID_FILE;
  if (desc->bitsPerPixel != 24 || desc->colorType != CONV_COLOR_RGB) return CONV_ERR_ILLEGAL_CONVERSION;
  if (desc->width > WEBP_MAX_DIMENSION || desc->height > WEBP_MAX_DIMENSION) return kErrTooLargeForWebP;
  if (desc->width * 3 > kMaxBandBytes) return CONV_ERR_FILE_TOO_BIG;
  auto state = std::make_unique<WriteState>();
  state->width = desc->width;
  state->height = desc->height;
  state->quality = SettingValue(desc->iniPath, kQuality);
  state->lossless = SettingValue(desc->iniPath, kLossless) == 1;
  state->rgb.assign(std::size_t{desc->width} * 3 * desc->height, 0);

  desc->planes = 1;
  desc->bytesPerLine = desc->width * 3;
  desc->packedPixels = 1;
  desc->bgrOrder = 0;
  DescribeBands(*desc, CONV_ACCESS_TOP_DOWN, CONV_ACCESS_TOP_DOWN, kWriteBandRows);
  g_write = std::move(state);
  return CONV_OK;
}

[[nodiscard]] int WriteHeader(ConvImageDesc* desc) {
  if (!g_write) return CONV_ERR_GENERAL;
  g_write->output.Start(desc->hFile, 0);
  g_write->nextRow = 0;
  return CONV_OK;
}

[[nodiscard]] int WriteBand(ConvImageDesc* desc, const uint8_t* band) {
  if (!g_write) return CONV_ERR_GENERAL;
  WriteState& s = *g_write;
  if (desc->bandRow != s.nextRow || !BandInsideImage(*desc, s.height, false)) return CONV_ERR_GENERAL;
  std::size_t rowBytes = std::size_t{s.width} * 3;
  std::size_t stride = std::size_t{desc->planes} * desc->bytesPerLine;
  for (uint32_t k = 0; k < desc->bandCount; ++k)
    std::copy(band + k * stride, band + k * stride + rowBytes, s.rgb.data() + (s.nextRow + k) * rowBytes);
  s.nextRow += desc->bandCount;
  return CONV_OK;
}

[[nodiscard]] int EndWriting() {
  if (!g_write) return CONV_ERR_GENERAL;
  WriteState& s = *g_write;
  if (s.nextRow != s.height) return CONV_ERR_GENERAL;
  WebPConfig config;
  WebPPicture picture;
  if (!WebPConfigInit(&config) || !WebPPictureInit(&picture)) {
    LastReason() = "library version mismatch";
    return kErrLibrary;
  }
  config.lossless = s.lossless ? 1 : 0;
  if (!s.lossless) config.quality = static_cast<float>(s.quality);
  picture.width = static_cast<int>(s.width);
  picture.height = static_cast<int>(s.height);
  // Lossless pictures stay in ARGB; lossy ones go to YUV on import.
  picture.use_argb = s.lossless ? 1 : 0;
  if (!WebPPictureImportRGB(&picture, s.rgb.data(), static_cast<int>(s.width * 3))) {
    WebPPictureFree(&picture);
    return CONV_ERR_NO_MEMORY;
  }
  std::vector<uint8_t>().swap(s.rgb);
  picture.writer = WriteEncoded;
  picture.custom_ptr = &s;
  int encoded = WebPEncode(&config, &picture);
  WebPEncodingError error = picture.error_code;
  WebPPictureFree(&picture);
  if (s.writeFailed) return CONV_ERR_DISK_FULL;
  if (!encoded) {
    if (error == VP8_ENC_ERROR_OUT_OF_MEMORY || error == VP8_ENC_ERROR_BITSTREAM_OUT_OF_MEMORY)
      return CONV_ERR_NO_MEMORY;
    if (error == VP8_ENC_ERROR_BAD_WRITE) return CONV_ERR_DISK_FULL;
    LastReason() = EncoderText(error);
    return kErrLibrary;
  }
  return s.output.Flush();
}

}  // namespace
}  // namespace webp

CONV_ENTRY(int) WRSetupWriting(ConvImageDesc* desc, char** /*hostParam*/, int /*hostValue*/) {
  return webp::Guarded(webp::SetupWriting, desc);
}

CONV_ENTRY(int) WRWriteHeader(ConvImageDesc* desc) { return webp::Guarded(webp::WriteHeader, desc); }

CONV_ENTRY(int) WRWriteBand(ConvImageDesc* desc, unsigned char* band) {
  return webp::Guarded(webp::WriteBand, desc, band);
}

CONV_ENTRY(int) WREndWriting(ConvImageDesc* /*desc*/) { return webp::Guarded(webp::EndWriting); }

CONV_ENTRY(void) WRCleanUp(ConvImageDesc* /*desc*/) { webp::g_write.reset(); }
