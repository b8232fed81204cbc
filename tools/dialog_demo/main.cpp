// dialog_demo WHAT [FILE]
//   WHAT: info FILE (Image Info, with Select Image first for a file of
//         several images), open, save, setup, error FILE (the message for a
//         file that cannot be opened); converter-setup NAME and
//         converter-about NAME (the Setup dialog and About box of the
//         converter library NAME beside this program, as Converter Setup
//         opens them)
// Calls the manager beside this program the way a host does and leaves the
// dialog up until it is closed or the process is ended, for
// scripts/screenshots.sh to photograph under wine.
#include <windows.h>

#include <cstring>
#include <string>

#include <imexp/converter.h>
#include <imexp/host.h>

namespace {

template <typename Fn>
Fn Function(HMODULE manager, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(manager, name)));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  char folder[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, folder, sizeof folder);
  while (length > 0 && folder[length - 1] != '\\') --length;
  folder[length] = '\0';
  HMODULE manager = LoadLibraryA((std::string(folder) + "imexp.dll").c_str());
  if (manager == nullptr) return 1;
  std::string what = argv[1];
  char path[512] = "";
  if (argc > 2) lstrcpynA(path, argv[2], 256);
  int result = 0;
  if (what == "info" || what == "error") {
    result = Function<ImExp_ShowFileInfoFn>(manager, "ImExp_ShowFileInfo")(nullptr, path, -1);
  } else if (what == "open") {
    result = Function<ImExp_SelectFileToReadFn>(manager, "ImExp_SelectFileToRead")(nullptr, path);
  } else if (what == "save") {
    std::strcpy(path, "picture.bmp");
    result =
        Function<ImExp_SelectFileToWriteFn>(manager, "ImExp_SelectFileToWrite")(nullptr, HIT_RGB24, path);
  } else if (what == "setup") {
    result = Function<ImExp_ConfigureConvertersFn>(manager, "ImExp_ConfigureConverters")(nullptr);
  } else if (what == "converter-setup" || what == "converter-about") {
    HMODULE converter = LoadLibraryA((std::string(folder) + path + ".dll").c_str());
    if (converter == nullptr) return 1;
    char ini[MAX_PATH];
    lstrcpynA(ini, (std::string(folder) + "CONVERT.INI").c_str(), sizeof ini);
    if (what == "converter-setup") {
      auto setup = Function<ConvSetupFn>(converter, "ConvSetup");
      if (setup != nullptr) setup(nullptr, ini);
    } else if (auto about = Function<ConvAboutFn>(converter, "ConvAbout")) {
      about(nullptr);
    }
    FreeLibrary(converter);
    result = 1;
  }
  FreeLibrary(manager);
  return result ? 0 : 1;
}
