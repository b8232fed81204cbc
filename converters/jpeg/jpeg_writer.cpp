// Writing JPEG/JFIF files: grey images as one-component files, everything
// else as YCbCr (chroma halved both ways below quality 90, whole from 90
// up), at the quality of the [JPEG] section's Quality key, with
// the descriptor's resolution as the JFIF density. Rows go top to bottom.
#include <algorithm>
#include <memory>

#include "jpeg_format.h"
#include "jpeg_settings.h"

namespace jpeg {
namespace {

constexpr uint32_t kWriteBandRows = 16;
// From this quality up colour keeps its full resolution: halved chroma
// smears sharp coloured edges by more than the quantisation would.
constexpr int kFullChromaQuality = 90;

struct WriteState {
  jpeg_compress_struct cinfo{};
  ErrorManager err{};
  Destination destination{};
  bool created = false;
  bool grey = false;
  int quality = kQuality.fallback;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t nextRow = 0;
  uint16_t resUnit = 0;
  uint32_t resX = 0;
  uint32_t resY = 0;

  WriteState() = default;
  WriteState(const WriteState&) = delete;
  WriteState& operator=(const WriteState&) = delete;
  ~WriteState() {
    if (created) jpeg_destroy_compress(&cinfo);
  }
};

std::unique_ptr<WriteState> g_write;

// JFIF keeps densities in 16 bits; a resolution the descriptor does not
// give in a unit JFIF knows is written as square pixels.
void SetDensity(WriteState& s) {
  jpeg_compress_struct& c = s.cinfo;
  bool known = (s.resUnit == CONV_UNIT_DPI || s.resUnit == CONV_UNIT_DPCM) && s.resX != 0 && s.resY != 0;
  c.density_unit = known ? (s.resUnit == CONV_UNIT_DPI ? 1 : 2) : 0;
  c.X_density = known ? static_cast<UINT16>(std::min<uint32_t>(s.resX, 65535)) : 1;
  c.Y_density = known ? static_cast<UINT16>(std::min<uint32_t>(s.resY, 65535)) : 1;
}

[[nodiscard]] int SetupWriting(ConvImageDesc* desc) {
  g_write.reset();
  auto state = std::make_unique<WriteState>();
  if (desc->width == 0 || desc->height == 0) return CONV_ERR_INVALID_FILE;
  if (desc->width > kMaxSide || desc->height > kMaxSide) return kErrImageTooLarge;
  if (desc->bitsPerPixel == 8 && desc->colorType == CONV_COLOR_GRAY) {
    state->grey = true;
  } else if (desc->bitsPerPixel != 24) {
    return CONV_ERR_ILLEGAL_CONVERSION;
  }
  uint32_t rowBytes = desc->width * (state->grey ? 1 : 3);
  if (rowBytes > kMaxBandBytes) return CONV_ERR_FILE_TOO_BIG;
  state->width = desc->width;
  state->height = desc->height;
  state->quality = SettingValue(desc->iniPath, kQuality);
  state->resUnit = desc->resUnit;
  state->resX = desc->resX;
  state->resY = desc->resY;

  desc->planes = 1;
  desc->bytesPerLine = rowBytes;
  desc->packedPixels = 1;
  desc->bgrOrder = 0;
  DescribeBands(*desc, CONV_ACCESS_TOP_DOWN, CONV_ACCESS_TOP_DOWN, kWriteBandRows);
  g_write = std::move(state);
  return CONV_OK;
}

[[nodiscard]] int WriteHeader(ConvImageDesc* desc) {
  if (!g_write) return CONV_ERR_GENERAL;
  WriteState& s = *g_write;
  InstallErrorManager(reinterpret_cast<j_common_ptr>(&s.cinfo), &s.err);
  HFILE file = desc->hFile;
  return Protected(s.err, [&s, file] {
    s.created = true;
    jpeg_create_compress(&s.cinfo);
    s.cinfo.mem->max_memory_to_use = kMemoryLimit;
    InstallDestination(&s.cinfo, &s.destination, file);
    s.cinfo.image_width = s.width;
    s.cinfo.image_height = s.height;
    s.cinfo.input_components = s.grey ? 1 : 3;
    s.cinfo.in_color_space = s.grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&s.cinfo);
    jpeg_set_quality(&s.cinfo, s.quality, TRUE);
    if (!s.grey && s.quality >= kFullChromaQuality) {
      s.cinfo.comp_info[0].h_samp_factor = 1;
      s.cinfo.comp_info[0].v_samp_factor = 1;
    }
    SetDensity(s);
    jpeg_start_compress(&s.cinfo, TRUE);
  });
}

[[nodiscard]] int WriteBand(ConvImageDesc* desc, const uint8_t* band) {
  if (!g_write || !g_write->created) return CONV_ERR_GENERAL;
  WriteState& s = *g_write;
  // The library takes rows in order only.
  if (desc->bandRow != s.nextRow || !BandInsideImage(*desc, s.height, false)) return CONV_ERR_GENERAL;
  std::size_t stride = std::size_t{desc->planes} * desc->bytesPerLine;
  uint32_t count = desc->bandCount;
  int error = Protected(s.err, [&s, band, stride, count] {
    for (uint32_t k = 0; k < count; ++k) {
      auto row = const_cast<JSAMPROW>(band + k * stride);
      jpeg_write_scanlines(&s.cinfo, &row, 1);
    }
  });
  if (error) return error;
  s.nextRow += count;
  return CONV_OK;
}

[[nodiscard]] int EndWriting() {
  if (!g_write || !g_write->created) return CONV_ERR_GENERAL;
  WriteState& s = *g_write;
  if (s.nextRow != s.height) return CONV_ERR_GENERAL;
  return Protected(s.err, [&s] { jpeg_finish_compress(&s.cinfo); });
}

}  // namespace
}  // namespace jpeg

CONV_ENTRY(int) WRSetupWriting(ConvImageDesc* desc, char** /*hostParam*/, int /*hostValue*/) {
  return jpeg::Guarded(jpeg::SetupWriting, desc);
}

CONV_ENTRY(int) WRWriteHeader(ConvImageDesc* desc) { return jpeg::Guarded(jpeg::WriteHeader, desc); }

CONV_ENTRY(int) WRWriteBand(ConvImageDesc* desc, unsigned char* band) {
  return jpeg::Guarded(jpeg::WriteBand, desc, band);
}

CONV_ENTRY(int) WREndWriting(ConvImageDesc* /*desc*/) { return jpeg::Guarded(jpeg::EndWriting); }

CONV_ENTRY(void) WRCleanUp(ConvImageDesc* /*desc*/) { jpeg::g_write.reset(); }
