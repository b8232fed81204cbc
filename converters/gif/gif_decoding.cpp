// Opening a GIF over the manager's file handle, finding an image and
// turning giflib's failures into the converter's codes.
#include <limits>

#include "gif_format.h"

namespace gif {

namespace {

// The most pixels one byte of LZW data can unpack to: a 12-bit code names a
// string of at most 4096 pixels. A generous bound, only to tell a size no
// file of this length can hold.
constexpr uint64_t kMostPixelsPerByte = 4096;

int ReadInput(GifFileType* gif, GifByteType* bytes, int count) {
  auto* decoder = static_cast<Decoder*>(gif->UserData);
  int done = 0;
  for (; done < count; ++done) {
    int c = decoder->input.Get();
    if (c < 0) break;
    bytes[done] = static_cast<GifByteType>(c);
  }
  return done;
}

}  // namespace

std::string& LastReason() {
  static std::string reason;
  return reason;
}

int LibraryError(int gifError) {
  switch (gifError) {
    case D_GIF_ERR_READ_FAILED:
      return CONV_ERR_END_OF_FILE;
    // Not the file's end: the LZW stream's end code came too soon.
    case D_GIF_ERR_EOF_TOO_SOON:
      return kErrDataEndsEarly;
    case D_GIF_ERR_NOT_GIF_FILE:
      return CONV_ERR_UNKNOWN_FORMAT;
    case D_GIF_ERR_NOT_ENOUGH_MEM:
    case E_GIF_ERR_NOT_ENOUGH_MEM:
      return CONV_ERR_NO_MEMORY;
    case E_GIF_ERR_WRITE_FAILED:
      return CONV_ERR_DISK_FULL;
    default:
      break;
  }
  const char* text = GifErrorString(gifError);
  LastReason() = text != nullptr ? text : "error " + std::to_string(gifError);
  return kErrLibrary;
}

Decoder::~Decoder() {
  if (gif != nullptr) {
    int ignored = 0;
    DGifCloseFile(gif, &ignored);
  }
}

int Decoder::Open(HFILE file) {
  fileSize = ConvFileSize(file);
  if (fileSize < 0) return CONV_ERR_END_OF_FILE;
  input.Start(file, 0, fileSize);
  int error = 0;
  gif = DGifOpen(this, ReadInput, &error);
  return gif != nullptr ? int{CONV_OK} : LibraryError(error);
}

int Decoder::Failure() const {
  if (gif == nullptr || gif->Error == 0) return CONV_ERR_INVALID_FILE;
  return LibraryError(gif->Error);
}

int SkipImageData(Decoder& decoder) {
  int code = 0;
  GifByteType* block = nullptr;
  if (DGifGetCode(decoder.gif, &code, &block) == GIF_ERROR) return decoder.Failure();
  while (block != nullptr) {
    if (DGifGetCodeNext(decoder.gif, &block) == GIF_ERROR) return decoder.Failure();
  }
  return CONV_OK;
}

int FindImage(Decoder& decoder, int index, ImageRecord* image) {
  GifFileType* gif = decoder.gif;
  image->transparent = -1;
  for (int seen = 0;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) return decoder.Failure();
    if (type == TERMINATE_RECORD_TYPE) return seen == 0 ? CONV_ERR_NO_IMAGES : CONV_ERR_WRONG_IMAGE_NUMBER;
    if (type == IMAGE_DESC_RECORD_TYPE) {
      if (DGifGetImageDesc(gif) == GIF_ERROR) return decoder.Failure();
      if (seen == index) {
        image->desc = gif->Image;
        image->colors = gif->Image.ColorMap != nullptr ? gif->Image.ColorMap : gif->SColorMap;
        return CONV_OK;
      }
      if (int error = SkipImageData(decoder)) return error;
      // A graphics control block applies to the one image after it.
      image->transparent = -1;
      ++seen;
      continue;
    }
    if (type != EXTENSION_RECORD_TYPE) return CONV_ERR_INVALID_FILE;
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return decoder.Failure();
    // The last graphics control block before the image is the one for it.
    if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr) {
      GraphicsControlBlock control{};
      if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
        image->transparent = control.TransparentColor;
    }
    while (block != nullptr) {
      if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return decoder.Failure();
    }
  }
}

int CheckImageSize(const Decoder& decoder, uint32_t width, uint32_t height) {
  if (width == 0 || height == 0) return CONV_ERR_INVALID_FILE;
  if (width > kMaxSide || height > kMaxSide) return kErrImageTooLarge;
  long left = decoder.fileSize - decoder.input.Offset();
  if (left < 0) left = 0;
  if (uint64_t{width} * height > (static_cast<uint64_t>(left) + 1) * kMostPixelsPerByte)
    return CONV_ERR_END_OF_FILE;
  return CONV_OK;
}

Resolution PixelAspect(const GifFileType& gif) {
  // A byte n other than 0 makes pixels (n + 15) / 64 as wide as they are
  // high: 64 dots one way take as long as n + 15 the other.
  if (gif.AspectByte == 0) return {};
  return {CONV_UNIT_ASPECT, 64, static_cast<uint32_t>(gif.AspectByte + 15)};
}

std::string Signature(HFILE file) {
  char magic[6] = {};
  if (!ReadExactlyAt(file, 0, magic, sizeof magic)) return {};
  return std::string(magic, sizeof magic);
}

}  // namespace gif
