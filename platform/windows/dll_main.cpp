// Process attach and detach of the manager DLL.
#include "platform/library_attach.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      imexp::OnLibraryAttach(instance);
      break;
    case DLL_PROCESS_DETACH:
      imexp::OnLibraryDetach();
      break;
    default:  // thread notifications need nothing
      break;
  }
  return TRUE;
}
