// Writing PNM files: P4 for bilevel, P5 for grey and P6 for everything else,
// chosen from the output layout the manager settled on, always with maxval
// 255 and rows top to bottom.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "pnm_format.h"

namespace pnm {
namespace {

constexpr uint32_t kWriteBandRows = 16;

struct WriteState {
  int kind = 0;  // 4, 5 or 6
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t rowBytes = 0;  // bytes of one row, in the band and in the file
  uint32_t nextRow = 0;
  FileOutput output;
};

std::unique_ptr<WriteState> g_write;

void AppendRow(WriteState& s, const uint8_t* row) {
  std::vector<uint8_t>& pending = s.output.pending();
  std::size_t start = pending.size();
  s.output.Append(row, s.rowBytes);
  if (s.kind != 4) return;
  // The manager's bilevel rows have white as the set bit; PBM has black.
  // The bits after the last pixel are written as 0, as PBM asks.
  uint8_t* out = pending.data() + start;
  for (uint32_t i = 0; i < s.rowBytes; ++i) out[i] = static_cast<uint8_t>(~out[i]);
  if (uint32_t tail = s.width % 8) out[s.rowBytes - 1] &= static_cast<uint8_t>(0xFF00u >> tail);
}

[[nodiscard]] int SetupWriting(ConvImageDesc* desc) {
  g_write.reset();
  auto state = std::make_unique<WriteState>();
  if (desc->width == 0 || desc->height == 0) return CONV_ERR_INVALID_FILE;
  if (desc->width > kMaxSide || desc->height > kMaxSide) return kErrImageTooLarge;
  // The host's file extension does not pick the variant: the layout does.
  if (desc->bitsPerPixel == 1) {
    state->kind = 4;
  } else if (desc->bitsPerPixel == 8 && desc->colorType == CONV_COLOR_GRAY) {
    state->kind = 5;
  } else if (desc->bitsPerPixel == 24) {
    state->kind = 6;
  } else {
    return CONV_ERR_ILLEGAL_CONVERSION;
  }
  state->width = desc->width;
  state->height = desc->height;
  state->rowBytes = (desc->width * desc->bitsPerPixel + 7) / 8;
  if (state->rowBytes > kMaxBandBytes) return CONV_ERR_FILE_TOO_BIG;

  desc->planes = 1;
  desc->bytesPerLine = state->rowBytes;
  desc->packedPixels = 1;
  desc->bgrOrder = 0;
  DescribeBands(*desc, CONV_ACCESS_TOP_DOWN, CONV_ACCESS_TOP_DOWN, kWriteBandRows);
  g_write = std::move(state);
  return CONV_OK;
}

[[nodiscard]] int WriteHeader(ConvImageDesc* desc) {
  if (!g_write) return CONV_ERR_GENERAL;
  WriteState& s = *g_write;
  char text[64];
  int length = s.kind == 4 ? std::snprintf(text, sizeof text, "P4\n%u %u\n", s.width, s.height)
                           : std::snprintf(text, sizeof text, "P%d\n%u %u\n255\n", s.kind, s.width, s.height);
  s.output.Start(desc->hFile, 0);
  s.output.Append(text, static_cast<std::size_t>(length));
  s.nextRow = 0;
  return s.output.Flush();
}

[[nodiscard]] int WriteBand(ConvImageDesc* desc, const uint8_t* band) {
  if (!g_write) return CONV_ERR_GENERAL;
  WriteState& s = *g_write;
  uint32_t count = desc->bandCount;
  // Rows are written as they come, so they must come in order.
  if (desc->bandRow != s.nextRow || !BandInsideImage(*desc, s.height, false)) return CONV_ERR_GENERAL;
  std::size_t stride = std::size_t{desc->planes} * desc->bytesPerLine;
  s.nextRow += count;
  // Grey and RGB rows lying back to back are the file's bytes already.
  if (s.kind != 4 && stride == s.rowBytes) return s.output.Put(band, std::size_t{count} * stride);
  for (uint32_t k = 0; k < count; ++k) AppendRow(s, band + k * stride);
  return s.output.Full() ? s.output.Flush() : CONV_OK;
}

[[nodiscard]] int EndWriting() {
  if (!g_write) return CONV_ERR_GENERAL;
  if (g_write->nextRow != g_write->height) return CONV_ERR_GENERAL;
  return g_write->output.Flush();
}

}  // namespace
}  // namespace pnm

CONV_ENTRY(int) WRSetupWriting(ConvImageDesc* desc, char** /*hostParam*/, int /*hostValue*/) {
  return pnm::Guarded(pnm::SetupWriting, desc);
}

CONV_ENTRY(int) WRWriteHeader(ConvImageDesc* desc) { return pnm::Guarded(pnm::WriteHeader, desc); }

CONV_ENTRY(int) WRWriteBand(ConvImageDesc* desc, unsigned char* band) {
  return pnm::Guarded(pnm::WriteBand, desc, band);
}

CONV_ENTRY(int) WREndWriting(ConvImageDesc* /*desc*/) { return pnm::Guarded(pnm::EndWriting); }

CONV_ENTRY(void) WRCleanUp(ConvImageDesc* /*desc*/) { pnm::g_write.reset(); }
