// Coverage-guided fuzzing of the writers through the manager, under a host
// that hands over any image: the input chooses the host type (any value,
// the five known ones most often), the size (up to 300 x 300), the
// resolution, the palette and the pixels. The image is saved in every
// format an installed converter writes, then read back through the
// manager: a save that succeeded must give back a file of the same size.
// The CONVERT.INI beside the manager lists the bundled converters.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <imexp/host.h>

#include "fuzz/fuzz_files.h"
#include "fuzz/fuzz_host.h"

namespace {

// The bytes of the input as a stream that repeats when it runs out.
class Bytes {
 public:
  Bytes(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  uint8_t Next() { return size_ == 0 ? 0 : data_[at_++ % size_]; }
  unsigned Number(unsigned limit) { return (Next() << 8 | Next()) % limit; }

 private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

constexpr int kKnownTypes[] = {HIT_BILEVEL, HIT_PAL16, HIT_PAL256, HIT_GRAY256, HIT_RGB24};
constexpr unsigned kLargestSide = 300;

// A host image made from the input; GetRow copies rows of the stated
// length, as a host must.
class FuzzedImage final : public CAbstractWriteWA {
 public:
  explicit FuzzedImage(Bytes& in) {
    uint8_t choice = in.Next();
    type_ = choice < 250 ? kKnownTypes[choice % 5] : choice - 250;  // now and then no known type
    width_ = 1 + in.Number(kLargestSide);
    height_ = 1 + in.Number(kLargestSide);
    resolution_[0] = static_cast<int>(in.Number(1200));
    resolution_[1] = static_cast<int>(in.Number(1200));
    for (ImExpPaletteEntry& e : palette_) e = {in.Next(), in.Next(), in.Next(), 0};
    rows_.resize(std::size_t{height_} * imexp::fuzz::HostRowBytes(type_, width_));
    for (uint8_t& b : rows_) b = in.Next();
  }
  unsigned width() const { return width_; }
  unsigned height() const { return height_; }
  int type() const { return type_; }

  int Reserved1(int, int) override { return 0; }
  int Reserved2(int, int) override { return 0; }
  int GetImageSize(int, int, int* width, int* height) override {
    *width = static_cast<int>(width_);
    *height = static_cast<int>(height_);
    return 1;
  }
  int GetImageType(int, int, int* imageType) override {
    *imageType = type_;
    return 1;
  }
  int GetPalette(int, int, ImExpPaletteEntry* entries) override {
    std::memcpy(entries, palette_, sizeof palette_);
    return 1;
  }
  int GetResolution(int, int, int* horizontal, int* vertical) override {
    *horizontal = resolution_[0];
    *vertical = resolution_[1];
    return 1;
  }
  int GetRow(int, int, int hostRow, unsigned char* row) override {
    if (hostRow < 0 || static_cast<unsigned>(hostRow) >= height_)
      imexp::fuzz::Abort("a row outside the image");
    std::size_t bytes = imexp::fuzz::HostRowBytes(type_, width_);
    std::memcpy(row, rows_.data() + static_cast<std::size_t>(hostRow) * bytes, bytes);
    return 1;
  }

 private:
  int type_ = HIT_RGB24;
  unsigned width_ = 1;
  unsigned height_ = 1;
  int resolution_[2] = {};
  ImExpPaletteEntry palette_[256] = {};
  std::vector<uint8_t> rows_;
};

imexp::fuzz::SilentUser g_user;

// One file name for each extension a writer takes.
std::vector<std::string> g_targets;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ImExpPosix_SetPresenter(&g_user);
  const std::string base = imexp::fuzz::InputFile(nullptr, 0) + "-saved.";
  for (const char* extension : {"bmp", "pnm", "pcx", "dcx", "png", "jpg", "tif", "gif", "webp"}) {
    std::string name = base + extension;
    if (FindWriter(nullptr, name.data())) g_targets.push_back(name);
  }
  if (g_targets.empty()) imexp::fuzz::Abort("no writer is installed");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  Bytes in(data, size);
  FuzzedImage image(in);
  std::string& target = g_targets[in.Next() % g_targets.size()];
  int reserved = 0;
  if (ImExp_WriteFile(&image, nullptr, target.data(), &reserved, nullptr, nullptr, 0) == 0) return 0;
  imexp::fuzz::CheckingImage back;
  int read =
      ImExp_ReadFile(&back, nullptr, target.data(),
                     HIT_RGB24 | HIT_GRAY256 | HIT_PAL256 | HIT_PAL16 | HIT_BILEVEL, nullptr, nullptr, 0);
  if (read == 0 || back.width() != image.width() || back.height() != image.height()) {
    std::string why = target + " saved from a " + std::to_string(image.width()) + " x " +
                      std::to_string(image.height()) + " image of type " + std::to_string(image.type()) +
                      (read == 0 ? " does not read back"
                                 : " reads back as " + std::to_string(back.width()) + " x " +
                                       std::to_string(back.height())) +
                      ": " + g_user.last;
    imexp::fuzz::Abort(why.c_str());
  }
  return 0;
}
