// imexp: converts and describes image files through the converter manager
// and whatever converters its CONVERT.INI lists.
#include <cstdio>
#include <string>

#include "tools/imexp/command_line.h"
#include "tools/imexp/host_platform.h"

namespace {

int PrintGeneralHelp(std::FILE* out) {
  std::fputs("usage: imexp COMMAND [ARGUMENTS]\n\ncommands:\n", out);
  for (const imexp::cli::Command& command : imexp::cli::Commands()) {
    std::fprintf(out, "  %-8s  %s\n", command.name, command.summary);
  }
  std::fputs("\n'imexp COMMAND --help' tells more about a command.\n", out);
  return out == stdout ? imexp::cli::kExitOk : imexp::cli::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace imexp::cli;
  if (argc < 2) return PrintGeneralHelp(stderr);
  std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") return PrintGeneralHelp(stdout);
  const Command* command = FindCommand(name);
  if (command == nullptr) {
    std::fprintf(stderr, "imexp: unknown command '%s'\n\n", name.c_str());
    return PrintGeneralHelp(stderr);
  }
  Arguments args(argv + 2, argv + argc);
  if (WantsHelp(args)) return PrintHelp(*command);
  // The manager's message boxes must not wait for a click that never comes;
  // the dialog commands hand them back to the user (DialogSession).
  InstallMessagePrinter();
  ReportFileSizeLimitAsError();
  return command->run(args);
}
