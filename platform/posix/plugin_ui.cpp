// The user interface this layer offers to the libraries it loads: the table
// of its Win32 functions that a converter's dialogs call, and the resource
// tables of each such library, served for its module handle.
#include <imexp/posix_ui_table.h>

#include <mutex>
#include <vector>

#include "platform/posix/module_handles.h"
#include "platform/win32.h"

namespace {

const ImExpUiTable kUiTable = {
    sizeof(ImExpUiTable),
    DialogBoxParamA,
    EndDialog,
    SendMessageA,
    SendDlgItemMessageA,
    GetDlgItem,
    SetDlgItemTextA,
    GetDlgItemTextA,
    SetDlgItemInt,
    GetDlgItemInt,
    IsDlgButtonChecked,
    CheckDlgButton,
    EnableWindow,
    SetFocus,
    SetWindowTextA,
    GetWindowTextA,
    MessageBoxA,
    LoadStringA,
    GetPrivateProfileStringA,
    WritePrivateProfileStringA,
    GetWindowLongPtrA,
    SetWindowLongPtrA,
};

struct ModuleResources {
  HMODULE module;
  const imexp::posix::ResourceTables* tables;
  int loads;  // LoadLibrary calls not yet matched by FreeLibrary
};

// Loads and frees may come from the threads of a read, a write and a dialog
// at once.
std::mutex g_lock;
std::vector<ModuleResources> g_modules;

}  // namespace

namespace imexp::posix {

void AttachLoadedModule(HMODULE module) {
  DWORD lastError = GetLastError();
  auto attach = reinterpret_cast<ImExpPosix_AttachUiFn>(
      reinterpret_cast<void*>(GetProcAddress(module, kImExpPosixAttachUi)));
  SetLastError(lastError);
  if (attach == nullptr) return;
  const ResourceTables* tables = attach(&kUiTable, module);
  std::lock_guard<std::mutex> lock(g_lock);
  for (ModuleResources& m : g_modules) {
    if (m.module == module) {
      ++m.loads;
      return;
    }
  }
  g_modules.push_back({module, tables, 1});
}

void DetachFreedModule(HMODULE module) {
  std::lock_guard<std::mutex> lock(g_lock);
  for (auto it = g_modules.begin(); it != g_modules.end(); ++it) {
    if (it->module != module) continue;
    if (--it->loads == 0) g_modules.erase(it);
    return;
  }
}

const ResourceTables& ResourcesOf(HINSTANCE instance) {
  if (instance != nullptr) {
    std::lock_guard<std::mutex> lock(g_lock);
    for (const ModuleResources& m : g_modules) {
      if (m.module == instance && m.tables != nullptr) return *m.tables;
    }
  }
  return ImExpModuleResources();
}

}  // namespace imexp::posix
