// A host of the converter manager, the smallest useful one: it reads an
// image through whatever converter reads it, says what it got, and writes it
// again under another name, in the format that name's extension asks for.
//
//   image_copy INPUT OUTPUT
//
// A host implements CAbstractReadWA to receive an image and CAbstractWriteWA
// to hand one over; the manager calls them only during ImExp_ReadFile and
// ImExp_WriteFile. Failures have been reported to the user (here, without a
// presenter, on stderr) when those calls return 0.
#include <imexp/host.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// Bits per pixel of each host image type.
unsigned TypeBits(int type) {
  switch (type) {
    case HIT_BILEVEL:
      return 1;
    case HIT_PAL16:
      return 4;
    case HIT_PAL256:
    case HIT_GRAY256:
      return 8;
    case HIT_RGB24:
      return 24;
    default:
      return 0;
  }
}

// The image in memory: host row 0 is the bottom row.
struct Image {
  unsigned width = 0;
  unsigned height = 0;
  int type = 0;
  std::size_t rowBytes = 0;
  std::vector<unsigned char> pixels;
  std::array<ImExpPaletteEntry, 256> palette{};
  int resolutionX = 0;
  int resolutionY = 0;
};

class Receiver : public CAbstractReadWA {
 public:
  explicit Receiver(Image& image) : image_(image) {}
  int Reserved1(int, int) override { return 0; }
  int Reserved2(int, int) override { return 0; }
  int SetImageSize(int, int, unsigned width, unsigned height) override {
    image_.width = width;
    image_.height = height;
    return 0;
  }
  int SetImageType(int, int, int type) override {
    image_.type = type;
    image_.rowBytes = (std::size_t{image_.width} * TypeBits(type) + 7) / 8;
    image_.pixels.assign(image_.rowBytes * image_.height, 0);
    return 0;
  }
  int SetPalette(int, int, ImExpPaletteEntry* entries, int count) override {
    for (int i = 0; i < count && i < 256; ++i) image_.palette[static_cast<std::size_t>(i)] = entries[i];
    return 0;
  }
  int SetResolution(int, int, int x, int y) override {
    image_.resolutionX = x;
    image_.resolutionY = y;
    return 0;
  }
  int PutRow(int, int, int row, unsigned char* bytes) override {
    if (row >= 0 && static_cast<unsigned>(row) < image_.height) {
      std::memcpy(&image_.pixels[static_cast<std::size_t>(row) * image_.rowBytes], bytes, image_.rowBytes);
    }
    return 0;
  }

 private:
  Image& image_;
};

class Source : public CAbstractWriteWA {
 public:
  explicit Source(const Image& image) : image_(image) {}
  int Reserved1(int, int) override { return 0; }
  int Reserved2(int, int) override { return 0; }
  int GetImageSize(int, int, int* width, int* height) override {
    *width = static_cast<int>(image_.width);
    *height = static_cast<int>(image_.height);
    return 0;
  }
  int GetImageType(int, int, int* type) override {
    *type = image_.type;
    return 0;
  }
  int GetPalette(int, int, ImExpPaletteEntry* entries) override {
    std::memcpy(entries, image_.palette.data(), sizeof image_.palette);
    return 0;
  }
  int GetResolution(int, int, int* x, int* y) override {
    *x = image_.resolutionX;
    *y = image_.resolutionY;
    return 0;
  }
  int GetRow(int, int, int row, unsigned char* bytes) override {
    std::memcpy(bytes, &image_.pixels[static_cast<std::size_t>(row) * image_.rowBytes], image_.rowBytes);
    return 0;
  }

 private:
  const Image& image_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: image_copy INPUT OUTPUT\n");
    return 2;
  }
  Image image;
  Receiver receiver(image);
  const int anyType = HIT_BILEVEL | HIT_PAL16 | HIT_PAL256 | HIT_GRAY256 | HIT_RGB24;
  if (!ImExp_ReadFile(&receiver, nullptr, argv[1], anyType, nullptr, nullptr, 0)) return 1;
  std::printf("%s: %u x %u, %u bits per pixel\n", argv[1], image.width, image.height, TypeBits(image.type));

  Source source(image);
  int reserved = 0;
  if (!ImExp_WriteFile(&source, nullptr, argv[2], &reserved, nullptr, nullptr, 0)) return 1;
  std::printf("%s: written\n", argv[2]);
  return 0;
}
