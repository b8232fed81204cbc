// imexp detect: the converter that reads each file, as FindReader picks it.
#include <imexp/host.h>

#include <cstdio>

#include "tools/imexp/command_line.h"
#include "tools/imexp/host_platform.h"

namespace imexp::cli {

int RunDetect(const Arguments& args) {
  const Command& command = *FindCommand("detect");
  std::vector<std::string> files;
  if (int usage = FileArguments(command, args, &files)) return usage;

  int status = kExitOk;
  for (const std::string& path : files) {
    std::vector<char> file = CString(NativePath(path));
    // An empty name asks for no preferred converter; the reader's name
    // comes back in the same 128 bytes.
    char name[128] = "";
    if (Manager().findReader(file.data(), name)) {
      name[sizeof name - 1] = '\0';
      std::printf("%s: %s\n", path.c_str(), name);
    } else {
      std::printf("%s: no reader\n", path.c_str());
      status = kExitFailed;
    }
  }
  std::fflush(stdout);
  return status;
}

}  // namespace imexp::cli
