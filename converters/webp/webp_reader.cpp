// Reading still WebP images, lossy or lossless: the file is read into memory,
// decoded once before the first band, and handed out as RGB rows, with any
// alpha laid over the configured background.
#include <memory>
#include <vector>

#include "webp_format.h"
#include "webp_settings.h"

namespace webp {
namespace {

constexpr uint32_t kBandRows = 64;

struct ReadState {
  std::vector<uint8_t> bytes;  // the container, until it is decoded
  WebPBitstreamFeatures features{};
  WebPDecoderConfig config{};
  bool decoded = false;
  SettingColor background;

  ReadState() { WebPInitDecoderConfig(&config); }
  ReadState(const ReadState&) = delete;
  ReadState& operator=(const ReadState&) = delete;
  ~ReadState() {
    if (decoded) WebPFreeDecBuffer(&config.output);
  }
};

std::unique_ptr<ReadState> g_read;

[[nodiscard]] int ReadHeader(ConvImageDesc* desc) {
  g_read.reset();
  auto state = std::make_unique<ReadState>();
  ReadState& s = *state;
  if (int error = ReadFeatures(desc->hFile, &s.bytes, &s.features)) return error;
  if (s.features.has_animation) return kErrAnimated;
  auto width = static_cast<uint32_t>(s.features.width);
  auto height = static_cast<uint32_t>(s.features.height);
  if (width > kMaxSide || height > kMaxSide || width * 3 > kMaxBandBytes) return kErrImageTooLarge;
  s.background = SettingValue(desc->iniPath, kBackground);

  desc->width = width;
  desc->height = height;
  desc->colorType = CONV_COLOR_RGB;
  desc->bitsPerPixel = 24;
  desc->planes = 1;
  desc->bytesPerLine = width * 3;
  desc->packedPixels = 0;
  desc->invertedGray = 0;
  desc->bgrOrder = 0;
  desc->resUnit = CONV_UNIT_UNKNOWN;
  desc->resX = desc->resY = 0;
  DescribeBands(*desc, CONV_ACCESS_TOP_DOWN, CONV_ACCESS_TOP_DOWN, kBandRows);
  g_read = std::move(state);
  return CONV_OK;
}

[[nodiscard]] int SetupReading(ConvImageDesc* /*desc*/) {
  if (!g_read) return CONV_ERR_GENERAL;
  ReadState& s = *g_read;
  if (s.decoded) return CONV_OK;
  // libwebp checks the headers before it allocates the picture.
  s.config.output.colorspace = s.features.has_alpha ? MODE_RGBA : MODE_RGB;
  VP8StatusCode status = WebPDecode(s.bytes.data(), s.bytes.size(), &s.config);
  s.decoded = status == VP8_STATUS_OK;
  if (!s.decoded) {
    WebPFreeDecBuffer(&s.config.output);
    return DecoderError(status);
  }
  const WebPRGBABuffer& out = s.config.output.u.RGBA;
  if (s.config.output.width != s.features.width || s.config.output.height != s.features.height ||
      out.rgba == nullptr)
    return CONV_ERR_INVALID_FILE;
  std::vector<uint8_t>().swap(s.bytes);
  return CONV_OK;
}

[[nodiscard]] int ReadBand(ConvImageDesc* desc, uint8_t* band) {
  if (!g_read || !g_read->decoded) return CONV_ERR_GENERAL;
  ReadState& s = *g_read;
  auto width = static_cast<uint32_t>(s.features.width);
  if (!BandInsideImage(*desc, static_cast<uint32_t>(s.features.height), false)) return CONV_ERR_GENERAL;
  const WebPRGBABuffer& out = s.config.output.u.RGBA;
  std::size_t stride = std::size_t{desc->planes} * desc->bytesPerLine;
  const uint8_t background[3] = {s.background.red, s.background.green, s.background.blue};
  for (uint32_t k = 0; k < desc->bandCount; ++k) {
    const uint8_t* in =
        out.rgba + static_cast<std::size_t>(desc->bandRow + k) * static_cast<std::size_t>(out.stride);
    uint8_t* row = band + k * stride;
    if (!s.features.has_alpha) {
      std::copy(in, in + std::size_t{width} * 3, row);
      continue;
    }
    for (uint32_t x = 0; x < width; ++x, in += 4) {
      for (int c = 0; c < 3; ++c) row[x * 3 + c] = OverBackground(in[c], in[3], background[c]);
    }
  }
  return CONV_OK;
}

}  // namespace
}  // namespace webp

CONV_ENTRY(int) RDReadHeader(ConvImageDesc* desc, char** /*hostParam*/, int /*hostValue*/) {
  return webp::Guarded(webp::ReadHeader, desc);
}

CONV_ENTRY(int) RDSetupReading(ConvImageDesc* desc) { return webp::Guarded(webp::SetupReading, desc); }

CONV_ENTRY(int) RDReadBand(ConvImageDesc* desc, unsigned char* band) {
  return webp::Guarded(webp::ReadBand, desc, band);
}

CONV_ENTRY(void) RDCleanUp(ConvImageDesc* /*desc*/) { webp::g_read.reset(); }
