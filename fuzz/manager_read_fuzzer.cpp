// Coverage-guided fuzzing of the manager's whole read and information path
// over every installed converter, as a host calls it: which converter reads
// the input (FindReader), its information (ImExp_GetFileInfo) and a read
// into a host image of the types the input's size picks (ImExp_ReadFile).
// The manager is linked in; the CONVERT.INI beside it lists the bundled
// converters. In the fuzzing build a library stays loaded once the manager
// has loaded it, so that its coverage counts for the whole run.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <imexp/host.h>
#include <imexp/presenter.h>

#include "fuzz/fuzz_files.h"

namespace {

// Answers every message box and leaves every dialog, silently.
class SilentUser final : public imexp::Presenter {
 public:
  int ShowMessageBox(void*, const char*, const char*, unsigned) override { return imexp::kAnswerOk; }
  void RunDialog(imexp::DialogView&) override {}
};

// A host image that keeps nothing but checks what the manager hands over:
// every row inside the image, each as long as its type makes it.
class CheckingImage final : public CAbstractReadWA {
 public:
  int Reserved1(int, int) override { return 0; }
  int Reserved2(int, int) override { return 0; }
  int SetImageSize(int, int, unsigned int width, unsigned int height) override {
    width_ = width;
    height_ = height;
    return 1;
  }
  int SetImageType(int, int, int imageType) override {
    type_ = imageType;
    return 1;
  }
  int SetPalette(int, int, ImExpPaletteEntry* entries, int count) override {
    if (count < 0 || count > 256) imexp::fuzz::Abort("a palette of more than 256 entries");
    for (int i = 0; i < count; ++i) sum_ += entries[i].red;
    return 1;
  }
  int SetResolution(int, int, int, int) override { return 1; }
  int PutRow(int, int, int hostRow, unsigned char* row) override {
    if (hostRow < 0 || static_cast<unsigned>(hostRow) >= height_)
      imexp::fuzz::Abort("a row outside the image");
    std::size_t bytes = RowBytes();
    // Reading both ends lets the address sanitizer catch a short row.
    if (bytes > 0) sum_ += row[0] + row[bytes - 1];
    return 1;
  }

 private:
  std::size_t RowBytes() const {
    std::size_t w = width_;
    switch (type_) {
      case HIT_BILEVEL:
        return (w + 7) / 8;
      case HIT_PAL16:
        return (w + 1) / 2;
      case HIT_RGB24:
        return 3 * w;
      default:
        return w;
    }
  }
  unsigned width_ = 0;
  unsigned height_ = 0;
  int type_ = 0;
  unsigned sum_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static SilentUser user;
  ImExpPosix_SetPresenter(&user);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string path = imexp::fuzz::InputFile(data, size);
  char name[128] = "";
  FindReader(path.data(), name);
  ConvImageInfo info{};
  ImExp_GetFileInfo(&info, path.data(), 0);
  // Every host type, or one of them, as the input's size says.
  constexpr int kTypes[] = {HIT_BILEVEL | HIT_PAL16 | HIT_PAL256 | HIT_GRAY256 | HIT_RGB24,
                            HIT_BILEVEL,
                            HIT_PAL16,
                            HIT_PAL256,
                            HIT_GRAY256,
                            HIT_RGB24};
  CheckingImage image;
  ImExp_ReadFile(&image, nullptr, path.data(), kTypes[size % std::size(kTypes)], nullptr, nullptr, 0);
  return 0;
}
