// What the subcommands share: exit statuses, help and usage errors, the
// --accept list, and error lines in the manager's words.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace imexp::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
// What a shell reports for a program ended by SIGINT; a cancelled
// conversion says the same, on every platform.
inline constexpr int kExitCancelled = 130;
// A dialog command where no dialog can be shown (no display, no presenter):
// like a usage error, nothing was tried.
inline constexpr int kExitNoDisplay = 2;

using Arguments = std::vector<std::string>;

struct Command {
  const char* name;
  const char* summary;  // one line for the general help
  const char* help;     // the full --help text
  int (*run)(const Arguments& args);
};

[[nodiscard]] int RunInfo(const Arguments& args);
[[nodiscard]] int RunConvert(const Arguments& args);
[[nodiscard]] int RunFormats(const Arguments& args);
[[nodiscard]] int RunDetect(const Arguments& args);
[[nodiscard]] int RunInstall(const Arguments& args);
[[nodiscard]] int RunRemove(const Arguments& args);
// Checks a converter library against the plug-in contract.
[[nodiscard]] int RunVerify(const Arguments& args);
// The commands that open the manager's dialogs.
[[nodiscard]] int RunSetup(const Arguments& args);
[[nodiscard]] int RunInfoDialog(const Arguments& args);
[[nodiscard]] int RunOpen(const Arguments& args);
[[nodiscard]] int RunSave(const Arguments& args);

// Every subcommand, in the order the general help lists them.
const std::vector<Command>& Commands();
[[nodiscard]] const Command* FindCommand(const std::string& name);

// True when the arguments ask for help.
[[nodiscard]] bool WantsHelp(const Arguments& args);
// Prints the command's help to stdout.
[[nodiscard]] int PrintHelp(const Command& command);
// Prints "imexp <name>: message" and the command's help to stderr.
[[nodiscard]] int UsageError(const Command& command, const std::string& message);
// The file arguments of a command that takes only files ("--" allowed).
// Returns 0 with `files` filled, or the usage error's exit status.
[[nodiscard]] int FileArguments(const Command& command, const Arguments& args,
                                std::vector<std::string>* files);

// The host image types of an --accept list ("bilevel,pal16,pal256,gray256,
// rgb24"), OR-ed; nullopt with the offending word in `bad`.
[[nodiscard]] std::optional<int> ParseAcceptedTypes(const std::string& list, std::string* bad);
// Every host image type the tool can hold.
int AllHostTypes();

// "--name VALUE" or "--name=VALUE" (and "-jN" for a two-letter name like
// -j): the value, moving `i` past it; nullopt when args[i] is not this
// option. `*missing` is set when the value is missing.
[[nodiscard]] std::optional<std::string> OptionValue(const Arguments& args, std::size_t& i,
                                                     const std::string& name, bool* missing);

// A number as typed for an index (counted from 0): decimal digits only,
// small enough for an int.
[[nodiscard]] std::optional<int> ParseIndex(const std::string& text);

// A path's last component, for short labels.
std::string FileTitle(const std::string& path);
// A writable NUL-terminated copy for the manager's char* parameters.
std::vector<char> CString(const std::string& text);
// True when `path` names a file that can be opened for reading.
[[nodiscard]] bool IsReadableFile(const std::string& path);

// Prints "<caption>: <message>" to stderr with the manager's error caption
// and string `messageId` filled with `name`, the way the manager's own
// reports look, for failures the manager does not report itself.
void ReportInManagerWords(unsigned messageId, const std::string& name);

}  // namespace imexp::cli
