// ImExp_GetFileInfo: what a file's first image is, without reading pixels
// and without showing anything.
#include <imexp/host.h>

#include "registry/converter_list.h"
#include "registry/entry_points.h"
#include "registry/reader_detection.h"
#include "resource_ids.h"

namespace imexp {

namespace {

// Fills `info` for image 0 of the open file through converter `index`;
// true when the converter described it.
bool DescribeImage(HFILE file, int index, const char* path, ConvImageInfo* info) {
  HMODULE library = LoadConverter(index);
  if (library == nullptr) return false;
  bool described = false;
  int count = 1;
  bool counted = true;
  if (ConverterAt(index).flags & CONV_FLAG_MULTI_IMAGE) {
    auto getCount = GetEntryPointAs<RDGetImageCountFn>(library, IDS_RD_GET_IMAGE_COUNT);
    int singleView = 0;
    counted = getCount != nullptr && getCount(file, IniPath(), &count, &singleView) == 0 && count >= 1;
  }
  if (counted) {
    // The manager's side of the record is written before the converter is
    // asked, so it stays even when the converter then fails.
    if (GetFileTitleA(path, info->title, sizeof info->title) != 0) info->title[0] = '\0';
    info->formatName[0] = '\0';
    info->compression[0] = '\0';
    info->imageCount = static_cast<uint16_t>(count);
    info->imageIndex = 0;
    info->resUnit = 0;
    info->hasDetails = 0;
    auto getInfo = GetEntryPointAs<RDGetImageInfoFn>(library, IDS_RD_GET_IMAGE_INFO);
    described = getInfo != nullptr && getInfo(file, 0, IniPath(), info) == 0;
    // Whatever the converter put there, the texts end inside their fields.
    info->formatName[sizeof info->formatName - 1] = '\0';
    info->compression[sizeof info->compression - 1] = '\0';
  }
  FreeLibrary(library);
  return described;
}

}  // namespace

}  // namespace imexp

extern "C" IMEXP_API int IMEXP_CALL ImExp_GetFileInfo(void* record, char* path, int) {
  using namespace imexp;
  if (record == nullptr || path == nullptr) return 0;
  HFILE file = _lopen(path, OF_READ);
  if (file == HFILE_ERROR) return 0;
  int index = ChooseReader(path, file, -1);
  bool described = index >= 0 && DescribeImage(file, index, path, static_cast<ConvImageInfo*>(record));
  _lclose(file);
  return described ? 1 : 0;
}
