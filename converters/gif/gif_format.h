// What the GIF converter's entry points share: the converter's own error
// codes, the last reason giflib gave, and a decoder that reads the manager's
// file handle from offset 0 on.
#pragma once

#include <imexp/converter_settings.h>
#include <imexp/converter_support.h>

#include <gif_lib.h>

#include <cstdint>
#include <memory>
#include <string>

namespace gif {

using namespace imexp::conv;

// Our own error codes, worded in gif_converter.cpp.
inline constexpr int kErrImageTooLarge = kFirstOwnError;
inline constexpr int kErrLibrary = kFirstOwnError + 1;  // giflib's reason in the text
// The compressed data gave its end code before the last pixel.
inline constexpr int kErrDataEndsEarly = kFirstOwnError + 2;

// giflib's text for the last failure, for ConvGetErrorString.
std::string& LastReason();

// Turns a giflib error code into ours, remembering giflib's reason.
[[nodiscard]] int LibraryError(int gifError);

// A decoder over an open file: giflib pulls bytes through a buffered input
// that starts at offset 0, whatever the handle's position.
struct Decoder {
  FileInput input;
  long fileSize = 0;
  GifFileType* gif = nullptr;

  Decoder() = default;
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;
  ~Decoder();
  // Opens the file and reads the screen descriptor.
  [[nodiscard]] int Open(HFILE file);
  // giflib's error of the last failed call, as our code.
  [[nodiscard]] int Failure() const;
};

// What the records before an image say about it.
struct ImageRecord {
  GifImageDesc desc{};           // position, size, interlacing, local map
  const ColorMapObject* colors;  // the map that applies: local, else global, else none
  int transparent = -1;          // transparent index from the graphics control extension
};

// Walks the records up to the descriptor of image `index` (from 0), skipping
// the pixel data of the images before it and keeping the graphics control
// extension that belongs to it. On success giflib stands at the image's
// pixel data. CONV_ERR_NO_IMAGES when the file holds no image,
// CONV_ERR_WRONG_IMAGE_NUMBER when it ends before image `index`.
[[nodiscard]] int FindImage(Decoder& decoder, int index, ImageRecord* image);

// Reads past the pixel data of the image whose descriptor was just read.
[[nodiscard]] int SkipImageData(Decoder& decoder);

// Refuses sizes the manager cannot take, and sizes the compressed data left
// in the file cannot possibly hold, before anything is allocated for them.
[[nodiscard]] int CheckImageSize(const Decoder& decoder, uint32_t width, uint32_t height);

// The screen's pixel aspect byte as a resolution: unit CONV_UNIT_ASPECT
// with resX:resY the pixels' height to width, or no resolution at all.
struct Resolution {
  uint16_t unit = CONV_UNIT_UNKNOWN;
  uint32_t x = 0;
  uint32_t y = 0;
};
Resolution PixelAspect(const GifFileType& gif);

// "GIF87a" or "GIF89a" as the file says.
std::string Signature(HFILE file);

}  // namespace gif
