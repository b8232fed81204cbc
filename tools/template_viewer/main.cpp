// template_viewer WHAT LANGUAGE
//   WHAT: 100 (Image Info), 101 (Select Image), 102 (Converter Setup),
//         open (the Open dialog with child template 1536), error (a message box)
//   LANGUAGE: en or ru
// Shows it with sample texts until it is closed or the process is ended.
#include <windows.h>
#include <commdlg.h>

#include <cstring>
#include <string>

#include "resource_ids.h"

namespace {

WORD g_language = MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT);
bool g_russian = false;

// Texts are UTF-8 here; the ANSI functions take the Russian code page.
std::string Ansi(const char* utf8) {
  wchar_t wide[512];
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 512);
  char ansi[512];
  WideCharToMultiByte(g_russian ? 1251 : 1252, 0, wide, n, ansi, sizeof ansi, nullptr, nullptr);
  return ansi;
}

void Text(HWND dialog, int id, const char* english, const char* russian) {
  SetDlgItemTextA(dialog, id, Ansi(g_russian ? russian : english).c_str());
}

const DLGTEMPLATE* Template(int id) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC resource = FindResourceExA(module, RT_DIALOG, MAKEINTRESOURCEA(id), g_language);
  return resource ? static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(module, resource))) : nullptr;
}

INT_PTR CALLBACK SampleProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    switch (lParam) {
      case IDD_IMAGE_INFO:
        Text(dialog, IDC_INFO_TITLE, "PHOTO.PCX", "PHOTO.PCX");
        Text(dialog, IDC_INFO_FORMAT, "PCX", "PCX");
        Text(dialog, IDC_INFO_TYPE, "Color Paletted", "Цветной с палитрой");
        Text(dialog, IDC_INFO_DIMENSIONS, "640 X 480", "640 X 480");
        Text(dialog, IDC_INFO_POSITION, "2 of 3", "2 из 3");
        Text(dialog, IDC_INFO_COLORS, "256", "256");
        Text(dialog, IDC_INFO_RESOLUTION, "300 X 300 dot/inch", "300 X 300 точек/inch");
        Text(dialog, IDC_INFO_COMPRESSION, "RLE", "RLE");
        break;
      case IDD_SELECT_IMAGE:
        Text(dialog, IDC_SELECT_TITLE, "PAGES.DCX", "PAGES.DCX");
        Text(dialog, IDC_SELECT_COUNT, "3", "3");
        SetDlgItemInt(dialog, IDC_SELECT_NUMBER, 1, FALSE);
        break;
      case IDD_CONVERTER_SETUP: {
        const char* names[] = {"BMP", "PNM", "PCX", "DCX", ""};
        for (const char* name : names) SendDlgItemMessageA(dialog, IDC_SETUP_LIST, LB_ADDSTRING, 0, (LPARAM)name);
        SendDlgItemMessageA(dialog, IDC_SETUP_LIST, LB_SETCURSEL, 0, 0);
        Text(dialog, IDC_SETUP_PATH, "C:\\IMEXP\\imexp_bmp.dll", "C:\\IMEXP\\imexp_bmp.dll");
        Text(dialog, IDC_SETUP_TYPE, "Import/Export filter", "Импорт/Экспорт");
        break;
      }
    }
    return TRUE;
  }
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(dialog, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

UINT_PTR CALLBACK OpenHook(HWND, UINT, WPARAM, LPARAM) { return 0; }

int ShowOpen() {
  char file[256] = "";
  const char filters[] = "BMP Windows Bitmap\0*.BMP;*.DIB\0PCX PC Paintbrush\0*.PCX\0All Files (*.*)\0*.*\0";
  OPENFILENAMEA ofn{};
  ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  ofn.hInstance = reinterpret_cast<HINSTANCE>(const_cast<DLGTEMPLATE*>(Template(IDD_OPEN_CHILD)));
  ofn.lpstrFilter = filters;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file;
  ofn.lpstrInitialDir = "C:\\";
  ofn.Flags = OFN_EXPLORER | OFN_ENABLETEMPLATEHANDLE | OFN_ENABLEHOOK | OFN_HIDEREADONLY;
  ofn.lpfnHook = &OpenHook;
  return GetOpenFileNameA(&ofn) ? 0 : 1;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc < 3) return 2;
  std::string what = __argv[1];
  g_russian = std::strcmp(__argv[2], "ru") == 0;
  g_language = MAKELANGID(g_russian ? LANG_RUSSIAN : LANG_ENGLISH, SUBLANG_DEFAULT);
  if (what == "open") return ShowOpen();
  if (what == "error") {
    std::string caption = Ansi(g_russian ? "Ошибка конвертера" : "Converter Error");
    std::string text = Ansi(g_russian ? "Невозможно открыть файл PHOTO.PCX" : "Cannot open file PHOTO.PCX");
    MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
    return 0;
  }
  int id = std::atoi(what.c_str());
  const DLGTEMPLATE* t = Template(id);
  if (t == nullptr) return 3;
  return static_cast<int>(DialogBoxIndirectParamA(GetModuleHandleA(nullptr), t, nullptr, &SampleProc, id));
}
