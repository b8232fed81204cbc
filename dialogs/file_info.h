// Describing one image of a file through the converter that reads it: the
// steps that ImExp_GetFileInfo and the Image Info dialog share.
#pragma once

#include <imexp/converter.h>

#include "platform/win32.h"

namespace imexp {

// The file being described and the converter that describes it, open and
// loaded from the first step to the end of the call; Release frees the
// library and then closes the file.
struct DescribedFile {
  HFILE file = HFILE_ERROR;
  int converter = -1;
  HMODULE library = nullptr;
  int count = 1;       // images in the file
  int singleView = 0;  // the converter shows its files as one image

  DescribedFile() = default;
  DescribedFile(const DescribedFile&) = delete;
  DescribedFile& operator=(const DescribedFile&) = delete;
  ~DescribedFile() { Release(); }
  void Release();
};

// A failed step: its error code, the path its message names (null for
// none), and whether the code came from the converter, which is still
// loaded then and words its own codes.
struct DescribeFailure {
  int code = CONV_OK;
  const char* path = nullptr;
  bool fromConverter = false;
  bool failed() const { return code != CONV_OK; }
};

// Opens `path`, finds its reader, loads it and asks a multi-image converter
// how many images the file holds.
[[nodiscard]] DescribeFailure OpenForDescribing(const char* path, DescribedFile& f);
// The manager's side of the record: the file's title, no format or
// compression, `count` images, image 0, no resolution unit, no details.
void FillManagerSide(const char* path, int count, ConvImageInfo* info);
// Asks the converter to describe image `image` into `info`; the texts it
// writes end inside their fields.
[[nodiscard]] DescribeFailure AskForImageInfo(DescribedFile& f, const char* path, int image,
                                              ConvImageInfo* info);

}  // namespace imexp
