// imexp convert --to FORMAT: many files, each written in FORMAT beside
// itself or into --out DIR, by this process (-j 1) or by N worker processes
// that each convert one file at a time.
#pragma once

#include <string>
#include <vector>

#include "tools/imexp/image_transfer.h"

namespace imexp::cli {

struct BatchOptions {
  std::string format;  // a writer's name (its first extension) or an extension
  std::string outDir;  // "" puts each output beside its input
  int jobs = 1;
  int accepted = 0;  // host image types, OR-ed
  ImageChoice images;
  Overlap overlap = Overlap::kAuto;
  std::vector<std::string> inputs;
};

// Converts every input, with a progress line over the batch on a terminal
// and a summary at the end naming each failed file with its messages. Exit
// status 0 when every file converted, 130 when cancelled, else 1.
[[nodiscard]] int RunBatch(const BatchOptions& options);

// True for the option that starts a worker ("convert --batch-worker TYPES
// IMAGES OVERLAP").
[[nodiscard]] bool IsBatchWorkerOption(const std::string& arg);

// A worker's side: converts the images `images` names (as the batch passed
// its choice) of each requested input into its output, holding them in the
// host types `accepted`, overlapped or not as `overlap` says, and answers
// each request with the status and the messages, until stdin ends.
[[nodiscard]] int RunBatchWorker(const std::string& accepted, const std::string& images,
                                 const std::string& overlap);

}  // namespace imexp::cli
