// The host side the fuzz targets over the manager share: a user who
// answers everything silently, and a host image that keeps nothing but
// checks what the manager hands over.
#pragma once

#include <cstddef>
#include <string>

#include <imexp/host.h>
#include <imexp/presenter.h>

#include "fuzz/fuzz_files.h"

namespace imexp::fuzz {

// Bytes of a host row of `type` (a HIT_* value) and `width` pixels.
inline std::size_t HostRowBytes(int type, unsigned width) {
  std::size_t w = width;
  switch (type) {
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

// Answers every message box and leaves every dialog, silently; keeps the
// last message, for a target's report.
class SilentUser final : public Presenter {
 public:
  int ShowMessageBox(void*, const char* text, const char*, unsigned) override {
    last = text != nullptr ? text : "";
    return kAnswerOk;
  }
  void RunDialog(DialogView&) override {}
  std::string last;
};

// A host image that keeps nothing but checks what the manager hands over:
// every row inside the image, each as long as its type makes it.
class CheckingImage final : public CAbstractReadWA {
 public:
  int Reserved1(int, int) override { return 0; }
  int Reserved2(int, int) override { return 0; }
  // 0: the image is prepared, and the read goes on.
  int SetImageSize(int, int, unsigned int width, unsigned int height) override {
    width_ = width;
    height_ = height;
    return 0;
  }
  int SetImageType(int, int, int imageType) override {
    type_ = imageType;
    return 0;
  }
  int SetPalette(int, int, ImExpPaletteEntry* entries, int count) override {
    if (count < 0 || count > 256) Abort("a palette of more than 256 entries");
    for (int i = 0; i < count; ++i) sum_ += entries[i].red;
    return 0;
  }
  int SetResolution(int, int, int, int) override { return 0; }
  int PutRow(int, int, int hostRow, unsigned char* row) override {
    if (hostRow < 0 || static_cast<unsigned>(hostRow) >= height_) Abort("a row outside the image");
    std::size_t bytes = HostRowBytes(type_, width_);
    // Reading both ends lets the address sanitizer catch a short row.
    if (bytes > 0) sum_ += row[0] + row[bytes - 1];
    return 0;
  }

  unsigned width() const { return width_; }
  unsigned height() const { return height_; }

 private:
  unsigned width_ = 0;
  unsigned height_ = 0;
  int type_ = 0;
  unsigned sum_ = 0;
};

}  // namespace imexp::fuzz
