#include <imexp/host.h>

extern "C" IMEXP_API int IMEXP_CALL ImExp_InstallConverter(HWND, char*, int) { return -1; }
extern "C" IMEXP_API int IMEXP_CALL ImExp_RemoveConverter(HWND, char*, int) { return 0; }
