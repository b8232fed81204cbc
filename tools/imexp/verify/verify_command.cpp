// imexp verify: loads a converter library as the manager would and checks it
// against the plug-in contract, one line per check, for the converter's
// author to act on.
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "tools/imexp/command_line.h"
#include "tools/imexp/host_platform.h"
#include "tools/imexp/verify/conformance_checks.h"
#include "tools/imexp/verify/conformance_library.h"
#include "tools/imexp/verify/verify_platform.h"

namespace imexp::cli {

namespace {

struct VerifyOptions {
  std::string library;
  std::string ini;
  std::vector<std::string> files;
};

std::optional<int> ParseVerifyArguments(const Arguments& args, VerifyOptions* options) {
  const Command& command = *FindCommand("verify");
  std::vector<std::string> plain;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && arg == "--ini") {
      if (i + 1 >= args.size()) return UsageError(command, "--ini needs a file");
      options->ini = args[++i];
    } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
      return UsageError(command, "unknown option " + arg);
    } else {
      plain.push_back(arg);
    }
  }
  if (plain.empty()) return UsageError(command, "no library given");
  options->library = plain[0];
  options->files.assign(plain.begin() + 1, plain.end());
  return std::nullopt;
}

std::string Absolute(const std::string& path) {
  std::error_code error;
  std::filesystem::path full = std::filesystem::absolute(path, error);
  return NativePath(error ? path : full.lexically_normal().string());
}

// A folder of its own for the written and cut files, removed at the end.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::error_code error;
    std::filesystem::path base = std::filesystem::temp_directory_path(error);
    for (unsigned n = 0; n < kAttempts && path_.empty(); ++n) {
      std::filesystem::path candidate =
          base / ("imexp-verify-" + std::to_string(std::rand()) + std::to_string(n));
      if (std::filesystem::create_directory(candidate, error)) path_ = candidate.string();
    }
  }
  ~ScratchFolder() {
    std::error_code error;
    if (!path_.empty()) std::filesystem::remove_all(path_, error);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  static constexpr unsigned kAttempts = 100;
  std::string path_;
};

}  // namespace

int RunVerify(const Arguments& args) {
  VerifyOptions options;
  if (std::optional<int> status = ParseVerifyArguments(args, &options)) return *status;
  options.library = Absolute(options.library);
  if (options.ini.empty()) options.ini = verify::ManagerFolder() + "/CONVERT.INI";
  options.ini = Absolute(options.ini);
  for (std::string& file : options.files) {
    if (!IsReadableFile(file)) {
      std::fprintf(stderr, "imexp verify: cannot read %s\n", file.c_str());
      return kExitUsage;
    }
    file = Absolute(file);
  }
  std::string reason;
  verify::ModuleHandle probe = verify::OpenLibrary(options.library, &reason);
  if (probe == nullptr) {
    std::fprintf(stderr, "imexp verify: %s: %s\n", options.library.c_str(), reason.c_str());
    return kExitUsage;
  }
  verify::CloseLibrary(probe);
  ScratchFolder scratch;
  if (scratch.path().empty()) {
    std::fprintf(stderr, "imexp verify: no temporary folder for the files it writes\n");
    return kExitUsage;
  }

  verify::InstallCrashReport();
  verify::Report report;
  verify::Session session{options.library, CString(options.ini), report};
  std::printf("verifying %s\nwith iniPath %s\n", options.library.c_str(), options.ini.c_str());
  if (verify::CheckLibrary(session)) {
    std::vector<std::string> written = verify::CheckWrites(session, scratch.path());
    const std::vector<std::string>& claimed = options.files.empty() ? written : options.files;
    if (!session.Reads()) {
      report.Skip("read", "not a reader");
    } else if (claimed.empty()) {
      report.Skip("read", "no file to read: name files of the format after the library");
    } else {
      std::vector<verify::FileFacts> facts = verify::CheckContent(session, claimed, scratch.path());
      verify::CheckReads(session, facts, scratch.path());
    }
    verify::CheckErrorWording(session);
    verify::ReportUnloading(session);
  }
  std::printf("%s\n", report.Summary().c_str());
  return report.breaches() == 0 ? kExitOk : kExitFailed;
}

}  // namespace imexp::cli
