// Reading PNM files. Text rasters (P1 to P3) can only be walked from the
// start, so they go top to bottom, one tokenised band after the other.
// Binary rasters (P4 to P6) have fixed-size rows, so the manager may take
// them in either order and each band is fetched with one seek and one read.
#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "pnm_format.h"

namespace pnm {
namespace {

// Rows a binary band may hold; the manager still caps the band at 8 KB.
constexpr uint32_t kBinaryBandRows = 256;
constexpr uint32_t kTextBandRows = 64;

struct ReadState {
  PnmHeader header;
  FileInput input;
  std::vector<uint8_t> scale;  // sample value -> 0..255, maxval + 1 entries
  std::vector<uint8_t> raw;    // file bytes of one binary band
  uint32_t rowBytes = 0;       // bytes of one row in the band buffer
  uint32_t nextRow = 0;        // text rasters: first row not yet decoded
};

std::unique_ptr<ReadState> g_read;

// Rounds to the nearest 8-bit level; maxval 255 maps every value to itself.
std::vector<uint8_t> ScaleTable(uint32_t maxval) {
  std::vector<uint8_t> table(maxval + 1);
  for (uint32_t v = 0; v <= maxval; ++v) table[v] = static_cast<uint8_t>((v * 255u + maxval / 2) / maxval);
  return table;
}

// Samples above maxval are a broken file rather than a reason to give up on
// it; they read as the brightest level.
uint8_t Scale(const ReadState& s, uint32_t value) { return s.scale[std::min(value, s.header.maxval)]; }

void DescribeLayout(const PnmHeader& h, ConvImageDesc* desc) {
  desc->width = h.width;
  desc->height = h.height;
  desc->planes = 1;
  desc->bgrOrder = 0;
  desc->resUnit = CONV_UNIT_UNKNOWN;
  desc->resX = desc->resY = 0;
  if (h.Bilevel()) {
    desc->colorType = CONV_COLOR_GRAY;
    desc->bitsPerPixel = 1;
    // In PBM a 1 is black.
    desc->invertedGray = 1;
    // P4 rows are already packed; P1 pixels arrive one per byte.
    desc->packedPixels = h.Binary() ? 1 : 0;
    desc->bytesPerLine = h.Binary() ? (h.width + 7) / 8 : h.width;
  } else {
    desc->colorType = h.Channels() == 3 ? CONV_COLOR_RGB : CONV_COLOR_GRAY;
    desc->bitsPerPixel = static_cast<uint16_t>(8 * h.Channels());
    desc->invertedGray = 0;
    desc->packedPixels = 0;
    desc->bytesPerLine = h.width * h.Channels();
  }
  if (h.Binary()) {
    // Raw rows can be read in either order; top to bottom, the file's own,
    // lets the rows stream to a writer that takes them in that order.
    DescribeBands(*desc, CONV_ACCESS_EITHER, CONV_ACCESS_TOP_DOWN, kBinaryBandRows);
  } else {
    DescribeBands(*desc, CONV_ACCESS_TOP_DOWN, CONV_ACCESS_TOP_DOWN, kTextBandRows);
  }
}

[[nodiscard]] int ReadTextRow(ReadState& s, uint8_t* row) {
  const PnmHeader& h = s.header;
  uint32_t samples = h.width * h.Channels();
  for (uint32_t i = 0; i < samples; ++i) {
    uint32_t value = 0;
    if (int error = ReadTextSample(s.input, h.Bilevel(), &value)) return error;
    row[i] = h.Bilevel() ? static_cast<uint8_t>(value) : Scale(s, value);
  }
  return CONV_OK;
}

void ConvertBinaryRow(const ReadState& s, const uint8_t* in, uint8_t* out) {
  const PnmHeader& h = s.header;
  if (h.Bilevel()) {
    std::memcpy(out, in, (h.width + 7) / 8);
    return;
  }
  uint32_t samples = h.width * h.Channels();
  if (h.BytesPerSample() == 1) {
    for (uint32_t i = 0; i < samples; ++i) out[i] = Scale(s, in[i]);
  } else {
    // 16-bit samples are big-endian.
    for (uint32_t i = 0; i < samples; ++i) out[i] = Scale(s, uint32_t{in[2 * i]} << 8 | in[2 * i + 1]);
  }
}

[[nodiscard]] int ReadBinaryBand(ReadState& s, HFILE file, uint32_t first, uint32_t count, bool up,
                                 uint8_t* band) {
  uint64_t fileRowBytes = s.header.FileRowBytes();
  // The band is one contiguous stretch of the file, whichever way it travels.
  uint32_t top = up ? first - (count - 1) : first;
  uint64_t offset = static_cast<uint64_t>(s.header.dataOffset) + top * fileRowBytes;
  uint64_t bytes = count * fileRowBytes;
  if (bytes > s.raw.size()) return CONV_ERR_GENERAL;
  if (!ReadExactlyAt(file, offset, s.raw.data(), static_cast<std::size_t>(bytes)))
    return CONV_ERR_END_OF_FILE;
  for (uint32_t k = 0; k < count; ++k) {
    uint32_t fileRow = up ? count - 1 - k : k;
    ConvertBinaryRow(s, s.raw.data() + fileRow * fileRowBytes, band + std::size_t{k} * s.rowBytes);
  }
  return CONV_OK;
}

[[nodiscard]] int ReadHeader(ConvImageDesc* desc) {
  g_read.reset();
  auto state = std::make_unique<ReadState>();
  PnmHeader& h = state->header;
  if (int error = ParseHeader(desc->hFile, state->input, &h)) return error;
  DescribeLayout(h, desc);
  if (desc->bytesPerLine > kMaxBandBytes) return CONV_ERR_FILE_TOO_BIG;
  if (h.Binary()) {
    // A raster shorter than its header promises is refused before the host
    // sets up an image for it.
    uint64_t end = static_cast<uint64_t>(h.dataOffset) + uint64_t{h.height} * h.FileRowBytes();
    if (end > static_cast<uint64_t>(std::numeric_limits<long>::max())) return CONV_ERR_FILE_TOO_BIG;
    long size = ConvFileSize(desc->hFile);
    if (size < 0 || static_cast<uint64_t>(size) < end) return CONV_ERR_END_OF_FILE;
  }
  if (!h.Bilevel()) state->scale = ScaleTable(h.maxval);
  state->rowBytes = desc->planes * desc->bytesPerLine;
  g_read = std::move(state);
  return CONV_OK;
}

[[nodiscard]] int SetupReading(ConvImageDesc* desc) {
  if (!g_read || desc->bandRows == 0) return CONV_ERR_GENERAL;
  ReadState& s = *g_read;
  if (s.header.Binary()) {
    s.raw.assign(desc->bandRows * s.header.FileRowBytes(), 0);
  } else {
    s.input.Start(desc->hFile, s.header.dataOffset);
    s.nextRow = 0;
  }
  return CONV_OK;
}

[[nodiscard]] int ReadBand(ConvImageDesc* desc, uint8_t* band) {
  if (!g_read) return CONV_ERR_GENERAL;
  ReadState& s = *g_read;
  uint32_t height = s.header.height;
  uint32_t first = desc->bandRow;
  uint32_t count = desc->bandCount;
  bool up = desc->chosenAccess == CONV_ACCESS_BOTTOM_UP;
  // Only rows inside the image, and no more than the band buffer holds.
  if (!BandInsideImage(*desc, height, up)) return CONV_ERR_GENERAL;

  if (s.header.Binary()) return ReadBinaryBand(s, desc->hFile, first, count, up, band);

  if (up || first != s.nextRow) return CONV_ERR_GENERAL;
  for (uint32_t k = 0; k < count; ++k) {
    if (int error = ReadTextRow(s, band + std::size_t{k} * s.rowBytes)) return error;
  }
  s.nextRow += count;
  return CONV_OK;
}

}  // namespace
}  // namespace pnm

CONV_ENTRY(int) RDReadHeader(ConvImageDesc* desc, char** /*hostParam*/, int /*hostValue*/) {
  return pnm::Guarded(pnm::ReadHeader, desc);
}

CONV_ENTRY(int) RDSetupReading(ConvImageDesc* desc) { return pnm::Guarded(pnm::SetupReading, desc); }

CONV_ENTRY(int) RDReadBand(ConvImageDesc* desc, unsigned char* band) {
  return pnm::Guarded(pnm::ReadBand, desc, band);
}

CONV_ENTRY(void) RDCleanUp(ConvImageDesc* /*desc*/) { pnm::g_read.reset(); }
