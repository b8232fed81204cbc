// The reference tools from a Windows test program under wine. The tools are
// the Linux ones, run by the Unix shell: wine starts a Unix program that a
// Windows program names (it executes it itself), and every path the shell
// is given is the Unix name wine maps the Windows one to.
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <stdexcept>

#include "tests/support/reference_tools.h"
#include "tests/support/test_support.h"

namespace imexp::test {
namespace {

// How long a command may run: longer than any tool takes, shorter than the
// test's own time limit, so that a hung tool fails the case that ran it.
constexpr DWORD kCommandTimeLimitMs = 300 * 1000;
constexpr DWORD kStatusPollMs = 2;

// The Unix name of a Windows path, from wine's kernel32; empty when not
// under wine or when the path has none.
std::string UnixFileName(const fs::path& path) {
  using ToUnix = char*(CDECL*)(LPCWSTR);
  static const auto toUnix = reinterpret_cast<ToUnix>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (toUnix == nullptr) return {};
  char* unixName = toUnix(fs::absolute(path).wstring().c_str());
  if (unixName == nullptr) return {};
  std::string name = unixName;
  HeapFree(GetProcessHeap(), 0, unixName);
  return name;
}

}  // namespace

std::string ShellPath(const fs::path& path) {
  std::string unixName = UnixFileName(path);
  if (unixName.empty()) throw std::runtime_error("no Unix name for " + path.string());
  return ShellQuote(unixName);
}

std::string ProgramCommand(std::string_view program) {
  // The test runner names the wine loader of this build's architecture.
  const char* loader = std::getenv("IMEXP_WINE_LOADER");
  if (loader == nullptr) throw std::runtime_error("IMEXP_WINE_LOADER is not set");
  return ShellQuote(loader) + " " + ShellPath(ExecutableDir() / (std::string(program) + ".exe"));
}

// Wine gives back no handles for a Unix program: what it leaves in the
// process information is whatever was there (values that may name handles
// of ours, so they are never closed). So the command runs from a script
// that writes its status to a file when it ends (a rename, so the file is
// never seen half written), and we wait for that file.
int RunCommand(const std::string& command) {
  static std::atomic<unsigned> counter{0};
  const fs::path base = fs::temp_directory_path() / ("imexp-shell-" + std::to_string(GetCurrentProcessId()) +
                                                     "-" + std::to_string(counter++));
  const fs::path script = base.string() + ".sh";
  const fs::path status = base.string() + ".status";
  const std::string unixStatus = ShellPath(status);
  WriteFileBytes(script, "( " + command + "\n) </dev/null\necho $? >" + unixStatus + ".part && mv " +
                             unixStatus + ".part " + unixStatus + "\n");
  std::string commandLine = "/bin/sh \"" + UnixFileName(script) + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  int result = -1;
  if (CreateProcessA("/bin/sh", commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                     &process)) {
    for (DWORD waited = 0; waited < kCommandTimeLimitMs; waited += kStatusPollMs) {
      std::error_code error;
      if (fs::exists(status, error)) {
        result = std::atoi(ReadFileBytes(status).c_str());
        break;
      }
      Sleep(kStatusPollMs);
    }
  }
  std::error_code ignored;
  fs::remove(script, ignored);
  fs::remove(status, ignored);
  return result;
}

}  // namespace imexp::test
