#include <imexp/host.h>

extern "C" IMEXP_API int IMEXP_CALL ImExp_SelectFileAndRead(CAbstractReadWA*, HWND, char*, int, CProgress*, char**, int)  { return 0; }
