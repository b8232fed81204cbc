#include <imexp/host.h>

extern "C" IMEXP_API int IMEXP_CALL ImExp_SelectFileAndWrite(const CAbstractWriteWA*, HWND, char*, int*, CProgress*, char**, int)  { return 0; }
