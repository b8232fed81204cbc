// imexp install and imexp remove: the Converter Setup dialog's Install and
// Remove through the manager's own exports, so that the checks, the
// messages and the rewritten CONVERT.INI are the dialog's.
#include <imexp/host.h>

#include <cstdio>
#include <filesystem>
#include <optional>

#include "tools/imexp/command_line.h"
#include "tools/imexp/host_platform.h"

namespace imexp::cli {

namespace {

// The library as the manager will report it once loaded: absolute, without
// "." and "..", so that "already installed" compares like with like. A bare
// file name would otherwise be searched for on the system's library path.
std::string FullLibraryPath(const std::string& typed) {
  std::error_code error;
  std::filesystem::path full = std::filesystem::absolute(typed, error);
  if (error) return typed;
  return NativePath(full.lexically_normal().string());
}

}  // namespace

int RunInstall(const Arguments& args) {
  const Command& command = *FindCommand("install");
  std::vector<std::string> libraries;
  int position = -1;  // after the last
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--before") {
      std::optional<int> index = i + 1 < args.size() ? ParseIndex(args[i + 1]) : std::nullopt;
      if (!index) return UsageError(command, "--before needs a converter index");
      position = *index;
      ++i;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return UsageError(command, "unknown option " + arg);
    } else {
      libraries.push_back(arg);
    }
  }
  if (libraries.size() != 1)
    return UsageError(command, libraries.empty() ? "no library given" : "one library at a time");

  std::vector<char> library = CString(FullLibraryPath(libraries[0]));
  int index = Manager().installConverter(nullptr, library.data(), position);
  if (index < 0) {
    // The manager has said why.
    if (MessagesShown() == 0) std::fprintf(stderr, "imexp install: %s was not installed\n", library.data());
    return kExitFailed;
  }
  std::printf("installed %s as converter %d\n", library.data(), index);
  return kExitOk;
}

int RunRemove(const Arguments& args) {
  const Command& command = *FindCommand("remove");
  if (args.size() != 1)
    return UsageError(command, args.empty() ? "no converter given" : "one converter at a time");
  // A number names a position; converters are not named by digits alone.
  std::optional<int> index = ParseIndex(args[0]);
  std::vector<char> name = CString(args[0]);
  if (Manager().removeConverter(nullptr, index ? nullptr : name.data(), index.value_or(-1)) == 0) {
    std::fprintf(stderr, "imexp remove: no converter %s%s is installed\n", index ? "number " : "named ",
                 args[0].c_str());
    return kExitFailed;
  }
  std::printf("removed converter %s\n", args[0].c_str());
  return kExitOk;
}

}  // namespace imexp::cli
