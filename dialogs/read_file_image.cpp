// ImExp_ReadFileImage: reading the image of a multi-image file that the host
// names, or the one the user picks in the Select Image dialog.
#include <imexp/host.h>

#include "dialogs/select_image.h"
#include "reading/read_file.h"

extern "C" IMEXP_API int IMEXP_CALL ImExp_ReadFileImage(CAbstractReadWA* image, HWND owner, char* file,
                                                        int acceptedTypes, CProgress* progress,
                                                        char** hostParam, int hostValue, int imageNumber) {
  imexp::ImageRequest request;
  request.requested = true;
  request.image = imageNumber;
  request.choose = &imexp::SelectImage;
  return imexp::ReadImage({image, owner, file, acceptedTypes, progress, hostParam, hostValue}, request);
}
