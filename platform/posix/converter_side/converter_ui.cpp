// The converter's side of the user interface on POSIX: the Win32 functions
// of <imexp/converter_ui.h>, forwarding to the table that the manager hands
// over when it loads the converter. Linked into each converter that shows
// dialogs (the imexp_converter_ui library); everything but the attach
// export stays hidden inside the converter.
#include <imexp/converter_ui.h>
#include <imexp/posix_ui_table.h>

#include <cstddef>
#include <cstring>

namespace {

const ImExpUiTable* g_ui = nullptr;
HMODULE g_self = nullptr;

// The manager's function, when its table reaches that far.
template <typename Fn>
Fn Offered(Fn ImExpUiTable::*member) {
  if (g_ui == nullptr) return nullptr;
  // The offset just past the member: a table of an older, shorter layout
  // lacks the functions added after it.
  const ImExpUiTable probe{};
  auto end = static_cast<std::size_t>(reinterpret_cast<const char*>(&(probe.*member)) -
                                      reinterpret_cast<const char*>(&probe)) +
             sizeof(Fn);
  return g_ui->size >= end ? g_ui->*member : nullptr;
}

const imexp::posix::ResourceTables kNoResources = {nullptr, 0, nullptr, 0};

}  // namespace

// A converter without a resource script has no tables of its own.
__attribute__((weak)) const imexp::posix::ResourceTables& ImExpModuleResources() { return kNoResources; }

extern "C" __attribute__((visibility("default"))) const imexp::posix::ResourceTables* ImExpPosix_AttachUi(
    const ImExpUiTable* ui, HMODULE self) {
  g_ui = ui;
  g_self = self;
  return &ImExpModuleResources();
}

HINSTANCE ImExpConverterModule() { return g_self; }

// Each function: the manager's, or what Win32 answers when a call fails.
#define IMEXP_FORWARD(name, failed, params, args) \
  auto name params->decltype(failed) {            \
    auto fn = Offered(&ImExpUiTable::name);       \
    return fn != nullptr ? fn args : failed;      \
  }

IMEXP_FORWARD(DialogBoxParamA, INT_PTR{-1},
              (HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param),
              (instance, name, owner, proc, param))
IMEXP_FORWARD(EndDialog, BOOL{FALSE}, (HWND dialog, INT_PTR result), (dialog, result))
IMEXP_FORWARD(SendMessageA, LRESULT{0}, (HWND window, UINT message, WPARAM wParam, LPARAM lParam),
              (window, message, wParam, lParam))
IMEXP_FORWARD(SendDlgItemMessageA, LRESULT{0},
              (HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam),
              (dialog, id, message, wParam, lParam))
IMEXP_FORWARD(GetDlgItem, HWND{nullptr}, (HWND dialog, int id), (dialog, id))
IMEXP_FORWARD(SetDlgItemTextA, BOOL{FALSE}, (HWND dialog, int id, LPCSTR text), (dialog, id, text))
IMEXP_FORWARD(GetDlgItemTextA, UINT{0}, (HWND dialog, int id, LPSTR buffer, int size),
              (dialog, id, buffer, size))
IMEXP_FORWARD(SetDlgItemInt, BOOL{FALSE}, (HWND dialog, int id, UINT value, BOOL isSigned),
              (dialog, id, value, isSigned))
IMEXP_FORWARD(GetDlgItemInt, UINT{0}, (HWND dialog, int id, BOOL* translated, BOOL isSigned),
              (dialog, id, translated, isSigned))
IMEXP_FORWARD(IsDlgButtonChecked, UINT{0}, (HWND dialog, int id), (dialog, id))
IMEXP_FORWARD(CheckDlgButton, BOOL{FALSE}, (HWND dialog, int id, UINT check), (dialog, id, check))
IMEXP_FORWARD(EnableWindow, BOOL{FALSE}, (HWND window, BOOL enable), (window, enable))
IMEXP_FORWARD(SetFocus, HWND{nullptr}, (HWND window), (window))
IMEXP_FORWARD(SetWindowTextA, BOOL{FALSE}, (HWND window, LPCSTR text), (window, text))
IMEXP_FORWARD(GetWindowTextA, int{0}, (HWND window, LPSTR buffer, int size), (window, buffer, size))
IMEXP_FORWARD(MessageBoxA, int{0}, (HWND owner, LPCSTR text, LPCSTR caption, UINT type),
              (owner, text, caption, type))
IMEXP_FORWARD(WritePrivateProfileStringA, BOOL{FALSE},
              (LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName), (section, key, value, fileName))
IMEXP_FORWARD(GetWindowLongPtrA, LONG_PTR{0}, (HWND window, int index), (window, index))
IMEXP_FORWARD(SetWindowLongPtrA, LONG_PTR{0}, (HWND window, int index, LONG_PTR value),
              (window, index, value))

#undef IMEXP_FORWARD

// Without a manager these still answer as a failed call does: an empty
// string, the default value.
int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size) {
  if (auto fn = Offered(&ImExpUiTable::LoadStringA)) return fn(instance, id, buffer, size);
  if (buffer != nullptr && size > 0) buffer[0] = '\0';
  return 0;
}

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size,
                               LPCSTR fileName) {
  if (auto fn = Offered(&ImExpUiTable::GetPrivateProfileStringA))
    return fn(section, key, defaultValue, buffer, size, fileName);
  if (buffer == nullptr || size == 0) return 0;
  std::size_t n = defaultValue != nullptr ? std::strlen(defaultValue) : 0;
  if (n >= size) n = size - 1;
  if (n > 0) std::memcpy(buffer, defaultValue, n);
  buffer[n] = '\0';
  return static_cast<DWORD>(n);
}
