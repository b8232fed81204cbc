#include "registry/image_count.h"

#include <imexp/converter.h>

#include <algorithm>

#include "registry/converter_list.h"
#include "registry/entry_points.h"
#include "resource_ids.h"

namespace imexp {

int CountImages(int converter, HMODULE library, HFILE file, ImageCount* result, bool* fromConverter) {
  *result = ImageCount{};
  *fromConverter = false;
  if ((ConverterAt(converter).flags & CONV_FLAG_MULTI_IMAGE) == 0) return CONV_OK;
  auto getCount = GetEntryPointAs<RDGetImageCountFn>(library, IDS_RD_GET_IMAGE_COUNT);
  if (getCount == nullptr) return CONV_ERR_WRONG_DLL_VERSION;
  if (int error = getCount(file, IniPath(), &result->count, &result->singleView)) {
    *fromConverter = true;
    return error;
  }
  if (result->count < 1) return CONV_ERR_NO_IMAGES;
  result->count = std::min(result->count, kMostImages);
  return CONV_OK;
}

}  // namespace imexp
