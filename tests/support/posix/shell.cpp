// The reference tools run by the shell, on POSIX.
#include <sys/wait.h>

#include <cstdlib>

#include "tests/support/reference_tools.h"
#include "tests/support/test_support.h"

namespace imexp::test {

int RunCommand(const std::string& command) {
  int status = std::system(command.c_str());
  if (status == -1 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

std::string ShellPath(const fs::path& path) { return ShellQuote(path.string()); }

std::string ProgramCommand(std::string_view program) { return ShellPath(ExecutableDir() / program); }

}  // namespace imexp::test
