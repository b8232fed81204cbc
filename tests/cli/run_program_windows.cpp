// Running a program on Windows (and under wine): CreateProcess with stdout
// and stderr in inheritable file handles.
#include <windows.h>

#include "tests/cli/cli_support.h"

namespace imexp::test::cli {

std::string ImexpPath() { return NativePath(ExecutableDir() / "imexp.exe"); }

namespace {

// Quotes an argument the way the C runtime splits a command line.
std::string Quote(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

HANDLE CreateInheritable(const std::string& path) {
  SECURITY_ATTRIBUTES security{sizeof security, nullptr, TRUE};
  return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &security, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

RunResult RunOnce(const std::string& program, const std::vector<std::string>& args) {
  TempDir dir;
  std::string outPath = dir.File("out");
  std::string errPath = dir.File("err");
  std::string commandLine = Quote(program);
  for (const std::string& arg : args) commandLine += " " + Quote(arg);

  RunResult result;
  HANDLE out = CreateInheritable(outPath);
  HANDLE err = CreateInheritable(errPath);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  if (CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                     &process)) {
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    // Exception codes (0xC0000005 and the like) mean the program crashed.
    result.crashed = code >= 0xC0000000u;
    result.status = result.crashed ? -1 : static_cast<int>(code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(out);
  CloseHandle(err);
  // The program's text-mode output ends lines with CR LF.
  for (std::string* text : {&result.out, &result.err}) {
    *text = ReadFileBytes(text == &result.out ? outPath : errPath);
    std::erase(*text, '\r');
  }
  return result;
}

}  // namespace

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args) {
  // Now and then wine fails to start a process at all: it ends at once with
  // an exception code, having printed nothing. Such a start is tried once
  // more, as cmake/run_under_wine.sh does for the suites; a program that
  // printed anything keeps its result, and one that crashes twice is a crash.
  RunResult result = RunOnce(program, args);
  if (result.status == -1 && result.out.empty() && result.err.empty()) result = RunOnce(program, args);
  return result;
}

}  // namespace imexp::test::cli
