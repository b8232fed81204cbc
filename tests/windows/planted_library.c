/*
 * A DLL that someone has put where it does not belong, under the name of a
 * DLL the manager or a converter imports: in the user's documents folder
 * (the current folder) or in a folder on PATH. When Windows loads it, it
 * leaves "<its own file>.loaded" beside itself as evidence and refuses to
 * load.
 */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  char path[MAX_PATH + 8];
  DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    lstrcpyA(path + length, ".loaded");
    HANDLE evidence = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (evidence != INVALID_HANDLE_VALUE) CloseHandle(evidence);
  }
  return FALSE;
}
