// Reading an image of a file into the host: what ImExp_ReadFile and
// ImExp_ReadFileImage share.
#pragma once

#include <imexp/host.h>

#include "platform/win32.h"

namespace imexp {

// The arguments both exports receive, in their order.
struct ReadArguments {
  CAbstractReadWA* image = nullptr;
  HWND owner = nullptr;
  char* fileName = nullptr;
  int acceptedTypes = 0;
  CProgress* progress = nullptr;
  char** hostParam = nullptr;
  int hostValue = 0;
};

// Lets the user pick one of `count` images of the file titled `title`:
// the image's number from 0, or -1 when the user cancelled.
using ImageChooser = int (*)(HWND owner, const char* title, int count);

// Which image to read. Without a request the first image is read and the
// converter is not asked how many the file holds.
struct ImageRequest {
  bool requested = false;
  int image = 0;                  // from 0; negative: `choose` asks the user
  ImageChooser choose = nullptr;  // when the file holds several images to offer
};

// Reads the image into the host, reporting any failure but a cancel.
// Returns 1 when every band arrived and everything was given back, else 0.
[[nodiscard]] int ReadImage(const ReadArguments& arguments, const ImageRequest& request);

}  // namespace imexp
