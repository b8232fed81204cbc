// The Windows side of the test helpers.
#include <windows.h>

#include <stdexcept>

#include "tests/support/converter_driver.h"
#include "tests/support/test_support.h"
#include "tests/support/windows/message_box_reader.h"

namespace imexp::test {

fs::path ExecutableDir() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  if (n == 0 || n >= sizeof path) throw std::runtime_error("cannot find the test program");
  return fs::path(path).parent_path();
}

std::string SharedLibraryName(std::string_view base) { return std::string(base) + ".dll"; }

std::string ManagerLibraryName() { return "imexp.dll"; }

void* ResourceInstance() { return GetModuleHandleA(nullptr); }

bool IsWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

HFILE OpenConverterFile(const std::string& path, bool create) {
  OFSTRUCT ofs{};
  return create ? OpenFile(path.c_str(), &ofs, OF_CREATE | OF_WRITE) : _lopen(path.c_str(), OF_READ);
}

void CloseConverterFile(HFILE file) { _lclose(file); }

std::string PlatformText(std::string_view utf8) {
  int wideLength = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), wideLength);
  int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, ansi.data(), length, nullptr, nullptr);
  return ansi;
}

std::string CutToCharacters(const std::string& text, std::size_t bytes) {
  // The code pages the tests run under have one byte a character.
  return text.substr(0, bytes);
}

Library::Library(const fs::path& file) {
  handle_ = reinterpret_cast<void*>(LoadLibraryA(NativePath(file).c_str()));
}

Library::~Library() { Unload(); }

void Library::Unload() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
  handle_ = nullptr;
}

void* Library::Symbol(const char* name) const {
  return handle_ ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name)) : nullptr;
}

bool IsLibraryLoaded(const fs::path& file) {
  HMODULE module = nullptr;
  return GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, NativePath(file).c_str(),
                            &module) != 0;
}

bool FailNthAllocation(const Library*, int) { return false; }

bool SetFileCallHook(const Library*, FileCallHook) { return false; }

// Message boxes are real windows here. A hook sees each one initialise,
// reads its caption, text and icon, and ends it with OK before it is shown.
struct MessageBoxCapture::Impl {
  std::vector<MessageBoxRecord> boxes;
  HHOOK hook = nullptr;
  static Impl* current;

  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && current != nullptr && message->message == WM_INITDIALOG) {
      HWND box = message->hwnd;
      if (IsMessageBox(box)) {
        MessageBoxContents contents = ReadMessageBox(box);
        MessageBoxRecord record{contents.caption, contents.text, contents.errorIcon, contents.warningIcon};
        current->boxes.push_back(record);
        EndDialog(box, IDOK);
      }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
};

MessageBoxCapture::Impl* MessageBoxCapture::Impl::current = nullptr;

MessageBoxCapture::MessageBoxCapture(const Library*) : impl_(std::make_unique<Impl>()) {
  Impl::current = impl_.get();
  impl_->hook = SetWindowsHookExA(WH_CALLWNDPROCRET, &Impl::Hook, nullptr, GetCurrentThreadId());
  if (impl_->hook == nullptr) throw std::runtime_error("cannot hook message boxes");
}

MessageBoxCapture::~MessageBoxCapture() {
  UnhookWindowsHookEx(impl_->hook);
  Impl::current = nullptr;
}

const std::vector<MessageBoxRecord>& MessageBoxCapture::boxes() const { return impl_->boxes; }

void MessageBoxCapture::Clear() { impl_->boxes.clear(); }

}  // namespace imexp::test
