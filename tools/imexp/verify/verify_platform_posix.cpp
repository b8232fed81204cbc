// imexp verify on POSIX: dlopen as the manager loads converters, file
// descriptors as handles, signals for the crash report, mallinfo2 for the
// heap.
#include <dlfcn.h>
#include <fcntl.h>
#include <malloc.h>
#include <signal.h>
#include <unistd.h>

#include <imexp/host.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "tools/imexp/verify/verify_platform.h"

namespace imexp::cli::verify {

namespace {

// Written by CrashStep, read by the signal handler: fixed storage only.
constexpr std::size_t kStepBytes = 512;
char g_step[kStepBytes] = "starting";
constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
struct sigaction g_previous[sizeof kCrashSignals / sizeof kCrashSignals[0]];

void WriteAll(const char* text) {
  std::size_t length = std::strlen(text);
  while (length > 0) {
    ssize_t put = write(STDERR_FILENO, text, length);
    if (put <= 0) return;
    text += put;
    length -= static_cast<std::size_t>(put);
  }
}

// Says what ran, then hands the signal to whoever had it before (the
// sanitizer's report, or the default end of the program).
extern "C" void OnCrash(int signal) {
  WriteAll("imexp verify: crashed during ");
  WriteAll(g_step);
  WriteAll("\n");
  for (std::size_t i = 0; i < sizeof kCrashSignals / sizeof kCrashSignals[0]; ++i) {
    if (kCrashSignals[i] == signal) sigaction(signal, &g_previous[i], nullptr);
  }
  raise(signal);
}

}  // namespace

ModuleHandle OpenLibrary(const std::string& path, std::string* reason) {
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr && reason != nullptr) {
    const char* error = dlerror();
    *reason = error != nullptr ? error : "cannot be loaded";
  }
  return module;
}

void* ModuleExport(ModuleHandle module, const char* name) { return dlsym(module, name); }

void CloseLibrary(ModuleHandle module) { dlclose(module); }

bool ModuleStillLoaded(const std::string& path) {
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (module == nullptr) return false;
  dlclose(module);
  return true;
}

std::string ManagerFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ImExp_ReadFile), &info) == 0 || info.dli_fname == nullptr) return "";
  std::string path = info.dli_fname;
  std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

HFILE OpenForReading(const std::string& path) { return open(path.c_str(), O_RDONLY); }

HFILE CreateForWriting(const std::string& path) {
  constexpr mode_t kFileMode = 0644;
  return open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, kFileMode);
}

void CloseFile(HFILE file) { close(file); }

void InstallCrashReport() {
  struct sigaction action {};
  action.sa_handler = &OnCrash;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < sizeof kCrashSignals / sizeof kCrashSignals[0]; ++i) {
    sigaction(kCrashSignals[i], &action, &g_previous[i]);
  }
}

void CrashStep(const std::string& step) {
  std::size_t length = std::min(step.size(), kStepBytes - 1);
  std::memcpy(g_step, step.data(), length);
  g_step[length] = '\0';
}

long long HeapInUse() {
#if defined(__SANITIZE_ADDRESS__) || !defined(__GLIBC__)
  return -1;
#else
  return static_cast<long long>(mallinfo2().uordblks);
#endif
}

}  // namespace imexp::cli::verify
