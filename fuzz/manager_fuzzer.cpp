// Coverage-guided fuzzing of the manager's whole read and information path
// over every installed converter, as a host calls it: which converter reads
// the input (FindReader), its information (ImExp_GetFileInfo, and
// ImExp_GetImageInfo of its last image) and a read into a host image of the
// types the input's size picks (ImExp_ReadFile, or ImExp_ReadFileImage of
// the last image for every other input).
// The manager is linked in; the CONVERT.INI beside it lists the bundled
// converters. In the fuzzing build a library stays loaded once the manager
// has loaded it, so that its coverage counts for the whole run.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>

#include "fuzz/fuzz_files.h"
#include "fuzz/fuzz_host.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static imexp::fuzz::SilentUser user;
  ImExpPosix_SetPresenter(&user);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string path = imexp::fuzz::InputFile(data, size);
  char name[128] = "";
  FindReader(path.data(), name);
  ConvImageInfo info{};
  ImExp_GetFileInfo(&info, path.data(), 0);
  const int last = info.imageCount > 1 ? info.imageCount - 1 : 0;
  if (last > 0) ImExp_GetImageInfo(&info, path.data(), last);
  // Every host type, or one of them, as the input's size says.
  constexpr int kTypes[] = {HIT_BILEVEL | HIT_PAL16 | HIT_PAL256 | HIT_GRAY256 | HIT_RGB24,
                            HIT_BILEVEL,
                            HIT_PAL16,
                            HIT_PAL256,
                            HIT_GRAY256,
                            HIT_RGB24};
  imexp::fuzz::CheckingImage image;
  const int types = kTypes[size % std::size(kTypes)];
  if (size % 2 == 0) {
    ImExp_ReadFile(&image, nullptr, path.data(), types, nullptr, nullptr, 0);
  } else {
    ImExp_ReadFileImage(&image, nullptr, path.data(), types, nullptr, nullptr, 0, last);
  }
  return 0;
}
