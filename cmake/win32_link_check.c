/* Links the manager's functions by name as a 32-bit C host does. Built, not run. */
#include <imexp/host.h>

int main(void) {
  char path[] = "x.bmp";
  return FindReader(path, 0) + FindWriter(0, path) + FillSaveFormatsInfo(0, 0) +
         ImExp_GetFileInfo(0, path, 0) + ImExp_GetImageInfo(0, path, 0) +
         ImExp_ReadFile(0, 0, path, 0, 0, 0, 0) + ImExp_ReadFileImage(0, 0, path, 0, 0, 0, 0, 0) +
         ImExp_WriteFile(0, 0, path, 0, 0, 0, 0) + ImExp_SelectFileAndRead(0, 0, path, 0, 0, 0, 0) +
         ImExp_SelectFileAndWrite(0, 0, path, 0, 0, 0, 0) + ImExp_SelectFileToRead(0, path) +
         ImExp_SelectFileToWrite(0, 0, path) + ImExp_ShowFileInfo(0, path, 0) + ImExp_ConfigureConverters(0) +
         ImExp_InstallConverter(0, path, 0) + ImExp_RemoveConverter(0, path, 0) +
         ImExp_GetConverterRecord(0, 0);
}
