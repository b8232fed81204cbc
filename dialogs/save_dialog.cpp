#include <imexp/host.h>

extern "C" IMEXP_API int IMEXP_CALL ImExp_SelectFileToWrite(HWND, int, char*)  { return 0; }
