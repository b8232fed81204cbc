// ImExp_GetFileInfo: what a file's first image is, without reading pixels
// and without showing anything; and the steps it shares with the Image
// Info dialog.
#include "dialogs/file_info.h"

#include <imexp/host.h>

#include "registry/converter_list.h"
#include "registry/entry_points.h"
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
  f.count = 1;
  f.singleView = 0;
  const ConvRecord& record = ConverterAt(f.converter);
  if ((record.flags & CONV_FLAG_MULTI_IMAGE) == 0) return {};
  auto getCount = GetEntryPointAs<RDGetImageCountFn>(f.library, IDS_RD_GET_IMAGE_COUNT);
  if (getCount == nullptr) return {CONV_ERR_WRONG_DLL_VERSION, record.path};
  if (int error = getCount(f.file, IniPath(), &f.count, &f.singleView)) return {error, path, true};
  if (f.count < 1) return {CONV_ERR_NO_IMAGES, path};
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

extern "C" IMEXP_API int IMEXP_CALL ImExp_GetFileInfo(void* record, char* path, int) {
  using namespace imexp;
  if (record == nullptr || path == nullptr) return 0;
  auto* info = static_cast<ConvImageInfo*>(record);
  DescribedFile f;
  if (OpenForDescribing(path, f).failed()) return 0;
  // The manager's side is written before the converter is asked, so it
  // stays even when the converter then fails; image 0 whatever was asked.
  FillManagerSide(path, f.count, info);
  return AskForImageInfo(f, path, 0, info).failed() ? 0 : 1;
}
