// ImExp_SelectFileAndRead: the host's one-call open, the open dialog and
// then the read of the chosen file.
#include <imexp/host.h>

extern "C" IMEXP_API int IMEXP_CALL ImExp_SelectFileAndRead(CAbstractReadWA* image, HWND owner, char* file,
                                                            int acceptedTypes, CProgress* progress,
                                                            char** hostParam, int hostValue) {
  // The reader is detected again from the chosen file: the one the dialog
  // found is not handed on.
  if (!ImExp_SelectFileToRead(owner, file)) return 0;
  return ImExp_ReadFile(image, owner, file, acceptedTypes, progress, hostParam, hostValue);
}
