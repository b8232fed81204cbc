// A BMP-to-PPM converter without the manager: the baseline that
// bench/convert_bench.sh measures `imexp convert` against. It streams the
// file band by band (bands of about 32 KB of the file), the least any
// converter and manager must do when the image never has to be held whole:
// an uncompressed bottom-up BMP of 24 bits, or of 8 bits through a palette,
// becomes a 24-bit PPM (P6), top row first.
//
//   band_streamer INPUT.bmp OUTPUT.ppm
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kBandBytes = 32768;
constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::size_t kInfoHeaderBytes = 40;

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24; }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

bool ReadAt(int fd, void* buffer, std::size_t count, off_t offset) {
  auto* bytes = static_cast<uint8_t*>(buffer);
  while (count > 0) {
    ssize_t got = pread(fd, bytes, count, offset);
    if (got <= 0) return false;
    bytes += got;
    count -= static_cast<std::size_t>(got);
    offset += got;
  }
  return true;
}

bool WriteAll(int fd, const void* buffer, std::size_t count) {
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  while (count > 0) {
    ssize_t put = write(fd, bytes, count);
    if (put <= 0) return false;
    bytes += put;
    count -= static_cast<std::size_t>(put);
  }
  return true;
}

int Fail(const char* what) {
  std::fprintf(stderr, "band_streamer: %s\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Fail("usage: band_streamer INPUT.bmp OUTPUT.ppm");
  int in = open(argv[1], O_RDONLY);
  if (in < 0) return Fail("cannot open the input");
  uint8_t header[kFileHeaderBytes + kInfoHeaderBytes];
  if (!ReadAt(in, header, sizeof header, 0) || header[0] != 'B' || header[1] != 'M') return Fail("not a BMP");
  const uint8_t* info = header + kFileHeaderBytes;
  const uint32_t dataOffset = Le32(header + 10);
  const uint32_t width = Le32(info + 4);
  const auto signedHeight = static_cast<int32_t>(Le32(info + 8));
  const uint16_t bits = Le16(info + 14);
  if (signedHeight <= 0 || Le32(info + 16) != 0 || (bits != 24 && bits != 8)) {
    return Fail("only uncompressed bottom-up BMPs of 8 or 24 bits");
  }
  const auto height = static_cast<uint32_t>(signedHeight);
  const std::size_t stride = (std::size_t{width} * bits + 31) / 32 * 4;

  // The palette as RGB triples, for 8-bit files.
  uint8_t palette[256][3] = {};
  if (bits == 8) {
    uint32_t colours = Le32(info + 32);
    colours = colours == 0 || colours > 256 ? 256 : colours;
    uint8_t quads[256 * 4];
    if (!ReadAt(in, quads, colours * 4, static_cast<off_t>(kFileHeaderBytes + Le32(info)))) {
      return Fail("cut short");
    }
    for (uint32_t i = 0; i < colours; ++i) {
      palette[i][0] = quads[i * 4 + 2];
      palette[i][1] = quads[i * 4 + 1];
      palette[i][2] = quads[i * 4];
    }
  }

  int out = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (out < 0) return Fail("cannot create the output");
  std::string ppmHeader = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  if (!WriteAll(out, ppmHeader.data(), ppmHeader.size())) return Fail("write failed");

  const uint32_t bandRows = static_cast<uint32_t>(std::max<std::size_t>(1, kBandBytes / stride));
  const std::size_t outRow = std::size_t{width} * 3;
  std::vector<uint8_t> band(bandRows * stride);
  std::vector<uint8_t> rgb(bandRows * outRow);
  // Bands from the top of the image down; the file holds the bottom row first.
  for (uint32_t top = 0; top < height; top += bandRows) {
    const uint32_t rows = std::min(bandRows, height - top);
    const uint32_t firstStored = height - top - rows;
    if (!ReadAt(in, band.data(), rows * stride, static_cast<off_t>(dataOffset + firstStored * stride))) {
      return Fail("cut short");
    }
    for (uint32_t k = 0; k < rows; ++k) {
      const uint8_t* src = band.data() + (rows - 1 - k) * stride;
      uint8_t* dst = rgb.data() + k * outRow;
      if (bits == 24) {
        for (uint32_t x = 0; x < width; ++x, src += 3, dst += 3) {
          dst[0] = src[2];
          dst[1] = src[1];
          dst[2] = src[0];
        }
      } else {
        for (uint32_t x = 0; x < width; ++x, dst += 3) std::memcpy(dst, palette[src[x]], 3);
      }
    }
    if (!WriteAll(out, rgb.data(), rows * outRow)) return Fail("write failed");
  }
  close(in);
  return close(out) == 0 ? 0 : Fail("write failed");
}
