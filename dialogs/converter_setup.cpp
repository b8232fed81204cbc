#include <imexp/host.h>

extern "C" IMEXP_API int IMEXP_CALL ImExp_ConfigureConverters(HWND)  { return 0; }
