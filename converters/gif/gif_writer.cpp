// Writing GIF files: one image of 1, 4 or 8 bits with a global colour map
// of 2, 16 or 256 entries from the descriptor's palette, rows top to bottom,
// encoded by giflib into the manager's file handle.
#include <memory>
#include <vector>

#include "gif_format.h"

namespace gif {
namespace {

constexpr uint32_t kWriteBandRows = 16;

struct WriteState {
  GifFileType* gif = nullptr;
  FileOutput output;
  bool writeFailed = false;
  bool discard = false;  // closing after a failure: nothing more reaches the file
  uint32_t width = 0;
  uint32_t height = 0;
  int bits = 8;
  uint32_t nextRow = 0;
  GifColorType colors[256] = {};
  std::vector<GifPixelType> line;

  ~WriteState() {
    if (gif != nullptr) {
      discard = true;
      int ignored = 0;
      EGifCloseFile(gif, &ignored);
    }
  }
};

std::unique_ptr<WriteState> g_write;

int WriteOutput(GifFileType* gif, const GifByteType* bytes, int count) {
  auto* s = static_cast<WriteState*>(gif->UserData);
  if (s->discard || s->writeFailed || count <= 0) return s->writeFailed ? 0 : count;
  s->output.Append(bytes, static_cast<std::size_t>(count));
  if (s->output.Full() && s->output.Flush() != CONV_OK) {
    s->writeFailed = true;
    return 0;
  }
  return count;
}

// giflib's failure, or a full disk when our output function refused bytes.
int EncoderFailure(const WriteState& s, int gifError) {
  return s.writeFailed ? int{CONV_ERR_DISK_FULL} : LibraryError(gifError);
}

void BuildColors(const ConvImageDesc& desc, WriteState& s) {
  int count = 1 << s.bits;
  for (int i = 0; i < count; ++i) {
    GifColorType& c = s.colors[i];
    if (desc.colorType == CONV_COLOR_GRAY || desc.palette == nullptr) {
      // Grey without a palette: a ramp, white first when inverted.
      auto level = static_cast<GifByteType>(i * 255 / (count - 1));
      if (desc.invertedGray) level = static_cast<GifByteType>(255 - level);
      c = {level, level, level};
    } else {
      c = {desc.palette[i], desc.palette[256 + i], desc.palette[512 + i]};
    }
  }
}

[[nodiscard]] int SetupWriting(ConvImageDesc* desc) {
  g_write.reset();
  if (desc->width == 0 || desc->height == 0) return CONV_ERR_INVALID_FILE;
  if (desc->width > kMaxSide || desc->height > kMaxSide) return kErrImageTooLarge;
  int bits = desc->bitsPerPixel;
  if ((bits != 1 && bits != 4 && bits != 8) || desc->colorType > CONV_COLOR_PALETTE)
    return CONV_ERR_ILLEGAL_CONVERSION;
  auto state = std::make_unique<WriteState>();
  state->width = desc->width;
  state->height = desc->height;
  state->bits = bits;
  state->line.assign(desc->width, 0);
  BuildColors(*desc, *state);

  desc->planes = 1;
  desc->bytesPerLine = (desc->width * static_cast<uint32_t>(bits) + 7) / 8;
  desc->packedPixels = 1;
  desc->bgrOrder = 0;
  DescribeBands(*desc, CONV_ACCESS_TOP_DOWN, CONV_ACCESS_TOP_DOWN, kWriteBandRows);
  g_write = std::move(state);
  return CONV_OK;
}

[[nodiscard]] int WriteHeader(ConvImageDesc* desc) {
  if (!g_write) return CONV_ERR_GENERAL;
  WriteState& s = *g_write;
  s.output.Start(desc->hFile, 0);
  int error = 0;
  s.gif = EGifOpen(&s, WriteOutput, &error);
  if (s.gif == nullptr) return EncoderFailure(s, error);
  ColorMapObject* map = GifMakeMapObject(1 << s.bits, s.colors);
  if (map == nullptr) return CONV_ERR_NO_MEMORY;
  int width = static_cast<int>(s.width);
  int height = static_cast<int>(s.height);
  bool ok = EGifPutScreenDesc(s.gif, width, height, s.bits, 0, map) == GIF_OK &&
            EGifPutImageDesc(s.gif, 0, 0, width, height, false, nullptr) == GIF_OK;
  GifFreeMapObject(map);
  if (!ok) return EncoderFailure(s, s.gif->Error);
  s.nextRow = 0;
  return CONV_OK;
}

[[nodiscard]] int WriteBand(ConvImageDesc* desc, const uint8_t* band) {
  if (!g_write || g_write->gif == nullptr) return CONV_ERR_GENERAL;
  WriteState& s = *g_write;
  if (desc->bandRow != s.nextRow || !BandInsideImage(*desc, s.height, false)) return CONV_ERR_GENERAL;
  std::size_t stride = std::size_t{desc->planes} * desc->bytesPerLine;
  uint32_t perByte = 8u / static_cast<uint32_t>(s.bits);
  unsigned mask = (1u << s.bits) - 1;
  for (uint32_t k = 0; k < desc->bandCount; ++k) {
    const uint8_t* row = band + k * stride;
    for (uint32_t x = 0; x < s.width; ++x) {
      unsigned shift = 8u - static_cast<unsigned>(s.bits) * (x % perByte + 1);
      s.line[x] = static_cast<GifPixelType>(row[x / perByte] >> shift & mask);
    }
    if (EGifPutLine(s.gif, s.line.data(), static_cast<int>(s.width)) == GIF_ERROR)
      return EncoderFailure(s, s.gif->Error);
  }
  s.nextRow += desc->bandCount;
  return CONV_OK;
}

[[nodiscard]] int EndWriting() {
  if (!g_write || g_write->gif == nullptr) return CONV_ERR_GENERAL;
  WriteState& s = *g_write;
  if (s.nextRow != s.height) return CONV_ERR_GENERAL;
  int error = 0;
  int result = EGifCloseFile(s.gif, &error);
  s.gif = nullptr;
  if (result == GIF_ERROR || s.writeFailed) return EncoderFailure(s, error);
  return s.output.Flush();
}

}  // namespace
}  // namespace gif

CONV_ENTRY(int) WRSetupWriting(ConvImageDesc* desc, char** /*hostParam*/, int /*hostValue*/) {
  return gif::Guarded(gif::SetupWriting, desc);
}

CONV_ENTRY(int) WRWriteHeader(ConvImageDesc* desc) { return gif::Guarded(gif::WriteHeader, desc); }

CONV_ENTRY(int) WRWriteBand(ConvImageDesc* desc, unsigned char* band) {
  return gif::Guarded(gif::WriteBand, desc, band);
}

CONV_ENTRY(int) WREndWriting(ConvImageDesc* /*desc*/) { return gif::Guarded(gif::EndWriting); }

CONV_ENTRY(void) WRCleanUp(ConvImageDesc* /*desc*/) { gif::g_write.reset(); }
