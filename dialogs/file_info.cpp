// ImExp_GetFileInfo and ImExp_GetImageInfo: what an image of a file is,
// without reading pixels and without showing anything; and the steps they
// share with the Image Info dialog.
#include "dialogs/file_info.h"

#include <imexp/host.h>

#include "registry/converter_list.h"
#include "registry/entry_points.h"
#include "registry/image_count.h"
#include "registry/reader_detection.h"
#include "resource_ids.h"

namespace imexp {

void DescribedFile::Release() {
  if (library != nullptr) FreeLibrary(library);
  library = nullptr;
  if (file != HFILE_ERROR) _lclose(file);
  file = HFILE_ERROR;
}

DescribeFailure OpenForDescribing(const char* path, DescribedFile& f) {
  f.file = _lopen(path, OF_READ);
  if (f.file == HFILE_ERROR) return {CONV_ERR_CANNOT_OPEN, path};
  f.converter = ChooseReader(path, f.file, -1);
  if (f.converter < 0) return {CONV_ERR_UNKNOWN_FORMAT, path};
  f.library = LoadConverter(f.converter);
  if (f.library == nullptr) return {CONV_ERR_NO_MEMORY, nullptr};
  ImageCount images;
  bool fromConverter = false;
  int error = CountImages(f.converter, f.library, f.file, &images, &fromConverter);
  f.count = images.count;
  f.singleView = images.singleView;
  if (error == CONV_ERR_WRONG_DLL_VERSION && !fromConverter) return {error, ConverterAt(f.converter).path};
  if (error != CONV_OK) return {error, path, fromConverter};
  return {};
}

void FillManagerSide(const char* path, int count, ConvImageInfo* info) {
  if (GetFileTitleA(path, info->title, sizeof info->title) != 0) info->title[0] = '\0';
  info->formatName[0] = '\0';
  info->compression[0] = '\0';
  info->imageCount = static_cast<uint16_t>(count);
  info->imageIndex = 0;
  info->resUnit = 0;
  info->hasDetails = 0;
}

DescribeFailure AskForImageInfo(DescribedFile& f, const char* path, int image, ConvImageInfo* info) {
  auto getInfo = GetEntryPointAs<RDGetImageInfoFn>(f.library, IDS_RD_GET_IMAGE_INFO);
  if (getInfo == nullptr) return {CONV_ERR_WRONG_DLL_VERSION, ConverterAt(f.converter).path};
  int error = getInfo(f.file, image, IniPath(), info);
  // Whatever the converter put there, the texts end inside their fields.
  info->formatName[sizeof info->formatName - 1] = '\0';
  info->compression[sizeof info->compression - 1] = '\0';
  return {error, path, true};
}

}  // namespace imexp

namespace imexp {
namespace {

// Fills the caller's record for image `image` of `path`, without a word to
// the user: 1 when the converter described it. The manager's side is
// written before the number is checked and the converter is asked, so the
// count is there even when either then fails.
int DescribeImage(void* record, const char* path, int image) {
  if (record == nullptr || path == nullptr) return 0;
  auto* info = static_cast<ConvImageInfo*>(record);
  DescribedFile f;
  if (OpenForDescribing(path, f).failed()) return 0;
  FillManagerSide(path, f.count, info);
  if (image < 0 || image >= f.count) return 0;
  info->imageIndex = static_cast<uint16_t>(image);
  return AskForImageInfo(f, path, image, info).failed() ? 0 : 1;
}

}  // namespace
}  // namespace imexp

// Image 0, whatever was asked.
extern "C" IMEXP_API int IMEXP_CALL ImExp_GetFileInfo(void* record, char* path, int) {
  return imexp::DescribeImage(record, path, 0);
}

extern "C" IMEXP_API int IMEXP_CALL ImExp_GetImageInfo(void* record, char* path, int image) {
  return imexp::DescribeImage(record, path, image);
}
