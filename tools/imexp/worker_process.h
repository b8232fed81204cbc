// A worker of a batch: this program started again, its standard input and
// output joined to the parent by pipes, one request and one answer per line.
// The manager runs one operation at a time in a process, so a batch runs
// its conversions side by side in workers, never in threads.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "tools/imexp/command_line.h"

namespace imexp::cli {

class WorkerProcess {
 public:
  WorkerProcess() = default;
  ~WorkerProcess() { Finish(); }
  WorkerProcess(const WorkerProcess&) = delete;
  WorkerProcess& operator=(const WorkerProcess&) = delete;

  // Starts this program with `args` (after the program name). False when it
  // cannot be started.
  [[nodiscard]] bool Start(const Arguments& args);
  // One line to the worker, and its answer (without the line end). False
  // once the worker is gone.
  [[nodiscard]] bool Send(const std::string& line);
  [[nodiscard]] bool Receive(std::string* line);
  // Closes the worker's input, which ends it, and waits: its exit status,
  // or -1 when it was not running.
  int Finish();

 private:
  std::FILE* toWorker_ = nullptr;
  std::FILE* fromWorker_ = nullptr;
  std::intptr_t process_ = 0;  // the platform's process id or handle
  bool running_ = false;
  int WaitForExit();  // platform-specific
};

}  // namespace imexp::cli
