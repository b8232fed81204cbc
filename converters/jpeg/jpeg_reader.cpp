// Reading JPEG files: the library decodes top to bottom, so the manager
// takes the bands in that order. Grey stays grey; YCbCr and RGB arrive as
// RGB; CMYK and YCCK are decoded to CMYK and laid over white paper as RGB.
#include <memory>
#include <vector>

#include "jpeg_format.h"

namespace jpeg {
namespace {

constexpr uint32_t kBandRows = 64;

struct ReadState {
  Decoder decoder;
  bool cmyk = false;   // four samples a pixel, delivered as RGB
  bool adobe = false;  // CMYK samples stored inverted (255 is no ink)
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t rowBytes = 0;         // bytes of one row in the band buffer
  std::vector<uint8_t> samples;  // one decoded CMYK row
};

std::unique_ptr<ReadState> g_read;

// A Huffman code is at least one bit, and every block of the component
// with the most of them is coded at least once, so the file must hold a
// bit per such block. A header that claims more pixels lies about its size,
// and is refused before anything is allocated for it. Arithmetic coding can
// go below a bit a block; there only the memory limit holds.
bool DataCanHold(const jpeg_decompress_struct& c, long fileSize) {
  if (c.arith_code) return true;
  uint64_t blocks = (uint64_t{c.image_width} + 7) / 8 * ((uint64_t{c.image_height} + 7) / 8);
  return static_cast<uint64_t>(fileSize) * 8 >= blocks;
}

// Ink on white paper: each colour is what its ink and the black leave.
void CmykToRgb(const uint8_t* in, uint8_t* out, uint32_t width, bool adobe) {
  for (uint32_t x = 0; x < width; ++x, in += 4, out += 3) {
    unsigned k = adobe ? in[3] : 255u - in[3];
    for (int i = 0; i < 3; ++i) {
      unsigned c = adobe ? in[i] : 255u - in[i];
      out[i] = static_cast<uint8_t>((c * k + 127u) / 255u);
    }
  }
}

[[nodiscard]] int ReadHeader(ConvImageDesc* desc) {
  g_read.reset();
  auto state = std::make_unique<ReadState>();
  jpeg_decompress_struct& c = state->decoder.cinfo;
  if (int error = ReadJpegHeader(state->decoder, desc->hFile)) return error;
  if (c.image_width > kMaxSide || c.image_height > kMaxSide) return kErrImageTooLarge;
  bool grey = c.jpeg_color_space == JCS_GRAYSCALE;
  uint32_t channels = grey ? 1 : 3;
  if (uint64_t{c.image_width} * channels > kMaxBandBytes) return CONV_ERR_FILE_TOO_BIG;
  long size = ConvFileSize(desc->hFile);
  if (size < 0 || !DataCanHold(c, size)) return CONV_ERR_END_OF_FILE;

  state->cmyk = c.jpeg_color_space == JCS_CMYK || c.jpeg_color_space == JCS_YCCK;
  state->adobe = c.saw_Adobe_marker != 0;
  c.out_color_space = grey ? JCS_GRAYSCALE : state->cmyk ? JCS_CMYK : JCS_RGB;
  state->width = c.image_width;
  state->height = c.image_height;
  state->rowBytes = c.image_width * channels;

  desc->width = c.image_width;
  desc->height = c.image_height;
  desc->colorType = grey ? CONV_COLOR_GRAY : CONV_COLOR_RGB;
  desc->bitsPerPixel = static_cast<uint16_t>(8 * channels);
  desc->planes = 1;
  desc->bytesPerLine = state->rowBytes;
  desc->packedPixels = 0;
  desc->invertedGray = 0;
  desc->bgrOrder = 0;
  JfifResolution(c, &desc->resUnit, &desc->resX, &desc->resY);
  DescribeBands(*desc, CONV_ACCESS_TOP_DOWN, CONV_ACCESS_TOP_DOWN, kBandRows);
  g_read = std::move(state);
  return CONV_OK;
}

[[nodiscard]] int SetupReading(ConvImageDesc* desc) {
  if (!g_read || desc->bandRows == 0) return CONV_ERR_GENERAL;
  ReadState& s = *g_read;
  Decoder& d = s.decoder;
  // A progressive image is read whole here, every scan of it.
  if (int error = Protected(d.err, [&d] { jpeg_start_decompress(&d.cinfo); })) return error;
  if (ImageIncomplete(d)) return CONV_ERR_END_OF_FILE;
  int components = s.cmyk ? 4 : static_cast<int>(s.rowBytes / s.width);
  if (d.cinfo.output_width != s.width || d.cinfo.output_height != s.height ||
      d.cinfo.output_components != components)
    return CONV_ERR_GENERAL;
  if (s.cmyk) s.samples.assign(std::size_t{s.width} * 4, 0);
  return CONV_OK;
}

[[nodiscard]] int ReadBand(ConvImageDesc* desc, uint8_t* band) {
  if (!g_read) return CONV_ERR_GENERAL;
  ReadState& s = *g_read;
  Decoder& d = s.decoder;
  // Rows come in the file's order only.
  if (!BandInsideImage(*desc, s.height, false) || desc->bandRow != d.cinfo.output_scanline)
    return CONV_ERR_GENERAL;
  uint32_t count = desc->bandCount;
  int error = Protected(d.err, [&s, &d, band, count] {
    for (uint32_t k = 0; k < count; ++k) {
      uint8_t* out = band + std::size_t{k} * s.rowBytes;
      JSAMPROW row = s.cmyk ? s.samples.data() : out;
      if (jpeg_read_scanlines(&d.cinfo, &row, 1) != 1) return;
      if (s.cmyk) CmykToRgb(s.samples.data(), out, s.width, s.adobe);
    }
  });
  if (error) return error;
  // The library fills what a short file lacks with grey; that is no image.
  if (ImageIncomplete(d)) return CONV_ERR_END_OF_FILE;
  if (d.cinfo.output_scanline != desc->bandRow + count) return CONV_ERR_GENERAL;
  return CONV_OK;
}

}  // namespace

int ReadJpegHeader(Decoder& d, HFILE file) {
  InstallErrorManager(reinterpret_cast<j_common_ptr>(&d.cinfo), &d.err);
  int error = Protected(d.err, [&d, file] {
    d.created = true;
    jpeg_create_decompress(&d.cinfo);
    d.cinfo.mem->max_memory_to_use = kMemoryLimit;
    InstallSource(&d.cinfo, &d.source, file);
    jpeg_read_header(&d.cinfo, TRUE);
  });
  if (error) return error;
  if (d.source.hitEnd) return CONV_ERR_END_OF_FILE;
  switch (d.cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
    case JCS_YCbCr:
    case JCS_RGB:
    case JCS_CMYK:
    case JCS_YCCK:
      return CONV_OK;
    default:
      return CONV_ERR_UNSUPPORTED_SUBFORMAT;
  }
}

bool ImageIncomplete(const Decoder& d) {
  const jpeg_decompress_struct& c = d.cinfo;
  if (!d.source.hitEnd) return false;
  // The arithmetic decoder makes up missing data without a word.
  if (d.err.dataMissing || c.arith_code) return true;
  if (!jpeg_has_multiple_scans(const_cast<j_decompress_ptr>(&c))) return false;
  // Without the end marker there is no telling whether a sequential
  // file's last scans came; a progressive one has every coefficient of
  // every component refined to its last bit once all its scans are in.
  if (!c.progressive_mode || c.coef_bits == nullptr) return true;
  for (int component = 0; component < c.num_components; ++component) {
    for (int k = 0; k < DCTSIZE2; ++k) {
      if (c.coef_bits[component][k] != 0) return true;
    }
  }
  return false;
}

void JfifResolution(const jpeg_decompress_struct& c, uint16_t* unit, uint32_t* x, uint32_t* y) {
  *unit = CONV_UNIT_UNKNOWN;
  *x = *y = 0;
  if (!c.saw_JFIF_marker || c.X_density == 0 || c.Y_density == 0) return;
  switch (c.density_unit) {
    case 0:
      *unit = CONV_UNIT_ASPECT;
      break;
    case 1:
      *unit = CONV_UNIT_DPI;
      break;
    case 2:
      *unit = CONV_UNIT_DPCM;
      break;
    default:
      return;
  }
  *x = c.X_density;
  *y = c.Y_density;
}

}  // namespace jpeg

CONV_ENTRY(int) RDReadHeader(ConvImageDesc* desc, char** /*hostParam*/, int /*hostValue*/) {
  return jpeg::Guarded(jpeg::ReadHeader, desc);
}

CONV_ENTRY(int) RDSetupReading(ConvImageDesc* desc) { return jpeg::Guarded(jpeg::SetupReading, desc); }

CONV_ENTRY(int) RDReadBand(ConvImageDesc* desc, unsigned char* band) {
  return jpeg::Guarded(jpeg::ReadBand, desc, band);
}

CONV_ENTRY(void) RDCleanUp(ConvImageDesc* /*desc*/) { jpeg::g_read.reset(); }
