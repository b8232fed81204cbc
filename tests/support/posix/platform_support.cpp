// The POSIX side of the test helpers.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <stdexcept>

#include <imexp/presenter.h>

#include "platform/posix/host_exports.h"
#include "platform/win32.h"
#include "tests/support/converter_driver.h"
#include "tests/support/test_support.h"

namespace imexp::test {

fs::path ExecutableDir() {
  char path[4096];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n < 0) throw std::runtime_error("cannot find the test program");
  path[n] = '\0';
  return fs::path(path).parent_path();
}

std::string SharedLibraryName(std::string_view base) { return std::string(base) + ".so"; }

// The file the programs load, named by the manager's soname.
std::string ManagerLibraryName() { return IMEXP_MANAGER_FILE_NAME; }

void* ResourceInstance() { return nullptr; }

bool IsWine() { return false; }

HFILE OpenConverterFile(const std::string& path, bool create) {
  return create ? open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)
                : open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

void CloseConverterFile(HFILE file) { close(file); }

std::string PlatformText(std::string_view utf8) { return std::string(utf8); }

std::string CutToCharacters(const std::string& text, std::size_t bytes) {
  if (text.size() <= bytes) return text;
  std::size_t cut = bytes;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut);
}

Library::Library(const fs::path& file) { handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL); }

Library::~Library() { Unload(); }

void Library::Unload() {
  if (handle_ != nullptr) dlclose(handle_);
  handle_ = nullptr;
}

void* Library::Symbol(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }

bool IsLibraryLoaded(const fs::path& file) {
  void* handle = dlopen(file.c_str(), RTLD_LAZY | RTLD_NOLOAD);
  if (handle == nullptr) return false;
  dlclose(handle);
  return true;
}

bool FailNthAllocation(const Library* manager, int nth) {
  void* symbol = manager ? manager->Symbol("ImExpPosix_FailGlobalAlloc")
                         : dlsym(RTLD_DEFAULT, "ImExpPosix_FailGlobalAlloc");
  if (symbol == nullptr) return false;
  reinterpret_cast<ImExpPosix_FailGlobalAllocFn>(symbol)(nth);
  return true;
}

bool SetFileCallHook(const Library* manager, FileCallHook hook) {
  void* symbol = manager->Symbol("ImExpPosix_SetFileCallHook");
  if (symbol == nullptr) return false;
  reinterpret_cast<ImExpPosix_SetFileCallHookFn>(symbol)(hook);
  return true;
}

struct MessageBoxCapture::Impl final : Presenter {
  void RunDialog(DialogView&) override {}
  int ShowMessageBox(void*, const char* text, const char* caption, unsigned type) override {
    UINT icon = type & 0xF0u;
    boxes.push_back({caption ? caption : "", text ? text : "", icon == MB_ICONERROR, icon == MB_ICONWARNING});
    return IDOK;
  }
  std::vector<MessageBoxRecord> boxes;
  ImExpPosix_SetPresenterFn setPresenter = nullptr;
};

MessageBoxCapture::MessageBoxCapture(const Library* manager) : impl_(std::make_unique<Impl>()) {
  // Without a manager, the platform layer linked into the test program
  // itself (which exports its hooks for this purpose).
  void* symbol =
      manager ? manager->Symbol("ImExpPosix_SetPresenter") : dlsym(RTLD_DEFAULT, "ImExpPosix_SetPresenter");
  impl_->setPresenter = reinterpret_cast<ImExpPosix_SetPresenterFn>(symbol);
  if (impl_->setPresenter == nullptr) throw std::runtime_error("no presenter hook found");
  impl_->setPresenter(impl_.get());
}

MessageBoxCapture::~MessageBoxCapture() { impl_->setPresenter(nullptr); }

const std::vector<MessageBoxRecord>& MessageBoxCapture::boxes() const { return impl_->boxes; }

void MessageBoxCapture::Clear() { impl_->boxes.clear(); }

}  // namespace imexp::test
