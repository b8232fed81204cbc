#include <imexp/host.h>

extern "C" IMEXP_API int IMEXP_CALL ImExp_SelectFileToRead(HWND, char*)  { return 0; }
