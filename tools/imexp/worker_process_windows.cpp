#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "tools/imexp/worker_process.h"

namespace imexp::cli {

namespace {

// One argument as the C runtime's command-line parser reads it back.
std::string Quoted(const std::string& arg) {
  std::string out = "\"";
  std::size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    out.push_back(c);
  }
  out.append(backslashes * 2, '\\');
  return out + "\"";
}

// A pipe whose `inherited` end the worker gets; the other end stays here.
bool MakePipe(HANDLE* read, HANDLE* write, bool workerReads) {
  SECURITY_ATTRIBUTES security{sizeof security, nullptr, TRUE};
  if (!CreatePipe(read, write, &security, 0)) return false;
  SetHandleInformation(workerReads ? *write : *read, HANDLE_FLAG_INHERIT, 0);
  return true;
}

}  // namespace

bool WorkerProcess::Start(const Arguments& args) {
  char program[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
  if (length == 0 || length == sizeof program) return false;
  std::string commandLine = Quoted(program);
  for (const std::string& arg : args) commandLine += " " + Quoted(arg);

  HANDLE requestRead, requestWrite, answerRead, answerWrite;
  if (!MakePipe(&requestRead, &requestWrite, true)) return false;
  if (!MakePipe(&answerRead, &answerWrite, false)) {
    CloseHandle(requestRead);
    CloseHandle(requestWrite);
    return false;
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = requestRead;
  startup.hStdOutput = answerWrite;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION info{};
  BOOL started = CreateProcessA(program, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                &startup, &info);
  CloseHandle(requestRead);
  CloseHandle(answerWrite);
  if (!started) {
    CloseHandle(requestWrite);
    CloseHandle(answerRead);
    return false;
  }
  CloseHandle(info.hThread);
  process_ = reinterpret_cast<std::intptr_t>(info.hProcess);
  running_ = true;
  toWorker_ = _fdopen(_open_osfhandle(reinterpret_cast<intptr_t>(requestWrite), _O_WRONLY | _O_BINARY), "wb");
  fromWorker_ = _fdopen(_open_osfhandle(reinterpret_cast<intptr_t>(answerRead), _O_RDONLY | _O_BINARY), "rb");
  return toWorker_ != nullptr && fromWorker_ != nullptr;
}

int WorkerProcess::WaitForExit() {
  auto process = reinterpret_cast<HANDLE>(process_);
  WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  BOOL known = GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return known ? static_cast<int>(code) : -1;
}

}  // namespace imexp::cli
