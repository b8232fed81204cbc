// What the JPEG converter's entry points share: the converter's own error
// codes, and the glue between the JPEG library and the manager's files: an
// error manager that jumps back instead of ending the program and keeps the
// library's reason, a source that reads through the file handle at offsets
// of its own, and a destination that writes the same way.
//
// The library reports a fatal error by longjmp. Every call into it runs
// inside Protected, whose frame holds nothing with a destructor, and the
// library's records live in plain structures owned from outside that frame.
#pragma once

#include <imexp/converter_support.h>

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

namespace jpeg {

using namespace imexp::conv;

// Our own error codes, worded in jpeg_converter.cpp.
inline constexpr int kErrImageTooLarge = kFirstOwnError;
// The library refused the file or the image; LastReason() says why.
inline constexpr int kErrLibrary = kFirstOwnError + 1;

// The most the library may allocate for one image. Progressive files keep
// every coefficient of the image in memory; a header may claim any size.
inline constexpr long kMemoryLimit = 1024L * 1024 * 1024;

// The library's text for the last error it reported (kErrLibrary), kept
// after the read or write state is gone: the manager asks for the wording
// after the clean-up call.
const char* LastReason();

// The library's version, for the about box.
std::string LibraryVersion();

struct ErrorManager {
  jpeg_error_mgr pub;  // first: the library hands back a pointer to it
  std::jmp_buf jump;
  int code;  // what the failed call returns; set just before the jump
  // The entropy decoder ran out of data and went on with zeros.
  bool dataMissing;
};

// Points `cinfo->err` at `err`, with handlers that print nothing.
void InstallErrorManager(jpeg_common_struct* cinfo, ErrorManager* err);

// Runs `step`, which calls into the library. CONV_OK, or the code of the
// error the library reported; after an error the library's record can only
// be destroyed. `step` must own nothing with a destructor.
template <typename Step>
int Protected(ErrorManager& err, Step&& step) {
  err.code = CONV_OK;
  if (setjmp(err.jump) != 0) return err.code;
  step();
  return CONV_OK;
}

inline constexpr std::size_t kIoBufferBytes = 16384;

struct Source {
  jpeg_source_mgr pub;  // first: the library hands back a pointer to it
  HFILE file;
  uint64_t offset;  // file offset of the next refill
  bool started;     // something was read
  bool hitEnd;      // the library wanted bytes past the end of the file
  JOCTET buffer[kIoBufferBytes];
};

// Reads the file from its first byte.
void InstallSource(jpeg_decompress_struct* cinfo, Source* source, HFILE file);

struct Destination {
  jpeg_destination_mgr pub;  // first: the library hands back a pointer to it
  HFILE file;
  uint64_t offset;  // file offset of the next write
  JOCTET buffer[kIoBufferBytes];
};

// Writes the file from its first byte; a short write ends the compression
// with CONV_ERR_DISK_FULL.
void InstallDestination(jpeg_compress_struct* cinfo, Destination* destination, HFILE file);

// A decompressor over one file. Its records are plain structures, so that
// the library may jump out of any call on them.
struct Decoder {
  jpeg_decompress_struct cinfo{};
  ErrorManager err{};
  Source source{};
  bool created = false;

  Decoder() = default;
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;
  ~Decoder() {
    if (created) jpeg_destroy_decompress(&cinfo);
  }
};

// True when the file ended before the image did: the library ran out of
// data within a scan, or scans the image needs never came. A file that
// lacks no more than its end marker is whole.
bool ImageIncomplete(const Decoder& decoder);

// Reads the file's markers up to its first scan into `decoder` and checks
// that its colour space is one the reader delivers (grey, YCbCr, RGB, CMYK,
// YCCK).
[[nodiscard]] int ReadJpegHeader(Decoder& decoder, HFILE file);

// The JFIF density as a resolution: dots per inch or per centimetre, an
// aspect ratio alone (unit 0 with both values set), or none.
void JfifResolution(const jpeg_decompress_struct& cinfo, uint16_t* unit, uint32_t* x, uint32_t* y);

}  // namespace jpeg
