// The command-line host on Windows: the console, Ctrl-C through a console
// control handler, the manager's real message boxes caught by a hook (let
// through to the user by the dialog commands), and the manager's strings
// through LoadStringA.
#include <io.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "tools/imexp/console_progress.h"
#include "tools/imexp/host_platform.h"
#include "tools/imexp/user_messages.h"

namespace imexp::cli {

namespace {

volatile LONG g_cancel = 0;
std::atomic<int> g_messages{0};
// The message printer's hook, one per thread that runs an operation (a
// window hook sees its own thread's windows); while a DialogSession runs it
// only counts.
thread_local HHOOK g_printerHook = nullptr;
bool g_letThrough = false;

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
    InterlockedExchange(&g_cancel, 1);
    return TRUE;
  }
  return FALSE;
}

HMODULE ManagerModule() { return GetModuleHandleA("imexp.dll"); }

// A message box is a "#32770" dialog with its text in a static of ID
// 0xFFFF and a place for its icon (ID 20 on Windows, 1088 in wine), which
// tells it from the manager's dialogs, whose labels have ID 0xFFFF too.
constexpr int kBoxTextId = 0xFFFF;
constexpr int kBoxIconIds[] = {20, 1088};

bool IsMessageBox(HWND window) {
  char className[32] = "";
  GetClassNameA(window, className, sizeof className);
  if (lstrcmpA(className, "#32770") != 0 || GetDlgItem(window, kBoxTextId) == nullptr) return false;
  for (int icon : kBoxIconIds) {
    if (GetDlgItem(window, icon) != nullptr) return true;
  }
  return false;
}

// The hook sees a message box initialise on this thread, prints what it says
// and destroys it before it is ever shown or waits for a click (the manager
// only shows OK boxes). EndDialog here would not do: the dialog is still
// shown once its WM_INITDIALOG returns, and under wine without a window
// manager taking a shown window down again waits 2 s. In a dialog command
// the hook counts the box and lets it wait for the user.
LRESULT CALLBACK MessageBoxHook(int code, WPARAM wParam, LPARAM lParam) {
  const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
  if (code == HC_ACTION && message->message == WM_INITDIALOG) {
    HWND box = message->hwnd;
    if (IsMessageBox(box)) {
      ++g_messages;
      if (!g_letThrough) {
        char caption[256] = "";
        char text[1024] = "";
        GetWindowTextA(box, caption, sizeof caption);
        GetDlgItemTextA(box, kBoxTextId, text, sizeof text);
        TellUser(std::string(caption) + ": " + text);
        DestroyWindow(box);
      }
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

bool IsStderrTerminal() { return _isatty(_fileno(stderr)) != 0; }

void InstallCancelHandler() { SetConsoleCtrlHandler(&OnConsoleControl, TRUE); }

// Windows has no signal for it: the write itself fails.
void ReportFileSizeLimitAsError() {}

bool CancelRequested() { return InterlockedCompareExchange(&g_cancel, 0, 0) != 0; }

void PrepareOperationThread() { InstallMessagePrinter(); }

void InstallMessagePrinter() {
  // Lives as long as the process; the system removes it at exit.
  if (g_printerHook == nullptr) {
    g_printerHook = SetWindowsHookExA(WH_CALLWNDPROCRET, &MessageBoxHook, nullptr, GetCurrentThreadId());
  }
}

// Win32 shows the dialogs itself; the session only lets the message boxes
// wait for the user.
DialogSession::DialogSession(const char*) {
  g_letThrough = true;
  ready_ = true;
}

DialogSession::~DialogSession() { g_letThrough = false; }

int MessagesShown() { return g_messages; }

std::string ManagerString(unsigned id) {
  char buffer[512];
  int length = LoadStringA(ManagerModule(), id, buffer, sizeof buffer);
  return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

template <typename Fn>
Fn Lookup(const char* name) {
  auto function = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(ManagerModule(), name)));
  if (function == nullptr) {
    std::fprintf(stderr, "imexp: the manager library does not export %s\n", name);
    std::exit(1);
  }
  return function;
}

const ManagerFunctions& Manager() {
  static const ManagerFunctions functions{Lookup<ImExp_ReadFileFn>("ImExp_ReadFile"),
                                          Lookup<ImExp_ReadFileImageFn>("ImExp_ReadFileImage"),
                                          Lookup<ImExp_WriteFileFn>("ImExp_WriteFile"),
                                          Lookup<ImExp_GetFileInfoFn>("ImExp_GetFileInfo"),
                                          Lookup<ImExp_GetImageInfoFn>("ImExp_GetImageInfo"),
                                          Lookup<FindReaderFn>("FindReader"),
                                          Lookup<FindWriterFn>("FindWriter"),
                                          Lookup<FillSaveFormatsInfoFn>("FillSaveFormatsInfo"),
                                          Lookup<ImExp_InstallConverterFn>("ImExp_InstallConverter"),
                                          Lookup<ImExp_RemoveConverterFn>("ImExp_RemoveConverter"),
                                          Lookup<ImExp_GetConverterRecordFn>("ImExp_GetConverterRecord"),
                                          Lookup<ImExp_ShowFileInfoFn>("ImExp_ShowFileInfo"),
                                          Lookup<ImExp_ConfigureConvertersFn>("ImExp_ConfigureConverters"),
                                          Lookup<ImExp_SelectFileAndReadFn>("ImExp_SelectFileAndRead"),
                                          Lookup<ImExp_SelectFileToReadFn>("ImExp_SelectFileToRead"),
                                          Lookup<ImExp_SelectFileAndWriteFn>("ImExp_SelectFileAndWrite")};
  return functions;
}

std::string NativePath(const std::string& path) {
  std::string native = path;
  for (char& c : native) {
    if (c == '/') c = '\\';
  }
  return native;
}

}  // namespace imexp::cli
