#include <imexp/host.h>

extern "C" IMEXP_API int IMEXP_CALL ImExp_ShowFileInfo(HWND, char*, int)  { return 0; }
