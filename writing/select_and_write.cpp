// ImExp_SelectFileAndWrite: the host's one-call save, the save dialog for
// the image's type and then the write under the chosen name.
#include <imexp/host.h>

extern "C" IMEXP_API int IMEXP_CALL ImExp_SelectFileAndWrite(const CAbstractWriteWA* image, HWND owner,
                                                             char* file, int* reserved, CProgress* progress,
                                                             char** hostParam, int hostValue) {
  if (image == nullptr) return 0;
  // The writer is chosen again from the name and the image: the format
  // picked in the dialog counts only through the name's extension.
  int type = 0;
  const_cast<CAbstractWriteWA*>(image)->GetImageType(0, 0, &type);
  if (!ImExp_SelectFileToWrite(owner, type, file)) return 0;
  return ImExp_WriteFile(image, owner, file, reserved, progress, hostParam, hostValue);
}
