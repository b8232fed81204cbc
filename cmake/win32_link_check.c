/* Links the manager's functions by name as a 32-bit C host does. Built, not run. */
#include <imexp/host.h>

int main(void) {
  char path[] = "x.bmp";
  return FindReader(path, 0) + FindWriter(0, path) + FillSaveFormatsInfo(0, 0) +
         ImExp_GetFileInfo(0, path, 0) + ImExp_ReadFile(0, 0, path, 0, 0, 0, 0) +
         ImExp_WriteFile(0, 0, path, 0, 0, 0, 0);
}
