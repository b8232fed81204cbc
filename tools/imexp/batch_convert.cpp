#include "tools/imexp/batch_convert.h"

#include <imexp/host.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "tools/imexp/command_line.h"
#include "tools/imexp/console_progress.h"
#include "tools/imexp/host_platform.h"
#include "tools/imexp/image_transfer.h"
#include "tools/imexp/user_messages.h"
#include "tools/imexp/worker_process.h"

namespace imexp::cli {

namespace {

namespace fs = std::filesystem;

// The hidden option that makes a worker of a started copy.
constexpr const char* kWorkerOption = "--batch-worker";

// How each file is converted, in a worker's arguments.
constexpr std::pair<Overlap, const char*> kOverlapWords[] = {
    {Overlap::kAuto, "auto"}, {Overlap::kSequential, "sequential"}, {Overlap::kOverlapped, "overlapped"}};

const char* OverlapWord(Overlap overlap) {
  for (const auto& [value, word] : kOverlapWords) {
    if (value == overlap) return word;
  }
  return "auto";
}

std::optional<Overlap> OverlapOf(const std::string& word) {
  for (const auto& [value, known] : kOverlapWords) {
    if (word == known) return value;
  }
  return std::nullopt;
}

struct Job {
  std::string input;
  std::string output;
  int status = -1;  // -1: not converted (yet)
  std::string messages;
};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::vector<ConvRecord> Writers() {
  std::vector<ConvRecord> writers;
  int count = Manager().getConverterRecord(-1, nullptr);
  for (int i = 0; i < count; ++i) {
    ConvRecord record{};
    Manager().getConverterRecord(i, &record);
    if ((record.flags & CONV_FLAG_WRITER) != 0) writers.push_back(record);
  }
  return writers;
}

std::vector<std::string> Masks(const ConvRecord& record) {
  std::string list(record.extensions, strnlen(record.extensions, sizeof record.extensions));
  std::vector<std::string> masks;
  for (std::size_t start = 0; start <= list.size();) {
    std::size_t end = std::min(list.find(';', start), list.size());
    if (end > start) masks.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return masks;
}

// The extension the outputs get. When FORMAT names a writer: the one of
// its plain masks ("*.ext") that spells its name, else its first plain mask.
// Otherwise FORMAT is the extension. Empty when no writer takes it.
std::string OutputExtension(const std::string& format) {
  std::vector<ConvRecord> writers = Writers();
  for (const ConvRecord& writer : writers) {
    const std::string name = Lower(std::string(writer.name, strnlen(writer.name, sizeof writer.name)));
    if (name != Lower(format)) continue;
    std::vector<std::string> plain;
    for (const std::string& mask : Masks(writer)) {
      if (mask.rfind("*.", 0) == 0 && mask.find_first_of("*?", 2) == std::string::npos) {
        plain.push_back(Lower(mask.substr(2)));
      }
    }
    if (std::find(plain.begin(), plain.end(), name) != plain.end()) return name;
    if (!plain.empty()) return plain.front();
  }
  // An extension: taken when the manager would choose a writer for a file
  // of that name, by its own matching of the writers' masks.
  std::string extension = Lower(format[0] == '.' ? format.substr(1) : format);
  std::string probe = "x." + extension;
  return Manager().findWriter(nullptr, probe.data()) != 0 ? extension : "";
}

// The spelling two paths share when they name the same file.
std::string Identity(const std::string& path) {
  std::error_code error;
  fs::path full = fs::weakly_canonical(fs::absolute(path), error);
  std::string text = (error ? fs::path(path) : full).string();
#ifdef _WIN32
  text = Lower(text);
#endif
  return text;
}

// The input of the batch that one of the numbered outputs of `output`
// (NAME-1.EXT, NAME-2.EXT, ...) would replace, if any.
std::optional<std::string> NumberedInput(const std::map<std::string, std::size_t>& inputs,
                                         const std::vector<std::string>& typed, const std::string& output) {
  const fs::path path(output);
  const std::string prefix = (path.parent_path() / path.stem()).string() + "-";
  const std::string suffix = path.extension().string();
  for (const auto& [identity, index] : inputs) {
    if (identity.size() <= prefix.size() + suffix.size() || identity.rfind(prefix, 0) != 0 ||
        identity.compare(identity.size() - suffix.size(), suffix.size(), suffix) != 0) {
      continue;
    }
    const std::string number =
        identity.substr(prefix.size(), identity.size() - prefix.size() - suffix.size());
    if (ParseIndex(number) && number[0] != '0') return typed[index];
  }
  return std::nullopt;
}

// Every job with its output; those whose output is an input of the batch
// or another job's output fail at once.
std::vector<Job> PlanJobs(const BatchOptions& options, const std::string& extension) {
  std::vector<Job> jobs;
  std::map<std::string, std::size_t> inputs;
  for (std::size_t i = 0; i < options.inputs.size(); ++i) inputs.emplace(Identity(options.inputs[i]), i);
  std::map<std::string, std::size_t> outputs;
  for (const std::string& input : options.inputs) {
    Job job;
    job.input = input;
    fs::path folder = options.outDir.empty() ? fs::path(input).parent_path() : fs::path(options.outDir);
    job.output = (folder / fs::path(input).stem()).string() + "." + extension;
    std::string identity = Identity(job.output);
    std::optional<std::string> replaced = options.images.all ? NumberedInput(inputs, options.inputs, identity)
                                          : inputs.count(identity) != 0 ? std::optional(job.output)
                                                                        : std::nullopt;
    if (replaced) {
      job.status = kExitFailed;
      job.messages = "imexp: " + *replaced + " would replace an input of the batch";
    } else if (auto [at, added] = outputs.emplace(identity, jobs.size()); !added) {
      job.status = kExitFailed;
      job.messages = "imexp: " + job.output + " is also the output of " + jobs[at->second].input;
    }
    jobs.push_back(std::move(job));
  }
  return jobs;
}

// The progress line over the batch and the tally behind it; the workers'
// threads report through it.
class BatchProgress {
 public:
  BatchProgress(std::size_t total, bool shown) : total_(total), shown_(shown) {}
  void Done(const Job& job) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++done_;
    if (job.status != kExitOk) ++failed_;
    if (shown_) {
      DrawProgressLine("Converting " + std::to_string(done_) + " of " + std::to_string(total_) + " files" +
                       (failed_ > 0 ? ", " + std::to_string(failed_) + " failed" : ""));
    }
  }

 private:
  std::mutex mutex_;
  std::size_t total_;
  bool shown_;
  std::size_t done_ = 0;
  std::size_t failed_ = 0;
};

void ConvertHere(Job& job, int accepted, const ImageChoice& images, Overlap overlap) {
  MessageCapture capture;
  job.status = ConvertImages(job.input, job.output, accepted, images, false, overlap);
  job.messages = capture.text();
}

// The image choice on a worker's command line: "first", "all" or N.
std::string EncodeImages(const ImageChoice& images) {
  if (images.all) return "all";
  return images.image ? std::to_string(*images.image) : "first";
}

std::optional<ImageChoice> DecodeImages(const std::string& text) {
  ImageChoice images;
  if (text == "all") {
    images.all = true;
  } else if (text != "first") {
    images.image = ParseIndex(text);
    if (!images.image) return std::nullopt;
  }
  return images;
}

// A request: the file to convert and the file to write. An answer: the
// exit status of that conversion and its messages.
constexpr std::size_t kRequestFields = 2;
constexpr std::size_t kAnswerFields = 2;

// Requests a worker holds at once: with the next one already in its pipe it
// never waits for the parent between two files.
constexpr std::size_t kRequestsAhead = 2;

// One worker's share: it takes the next job until none is left or the user
// cancelled, keeping kRequestsAhead requests with the worker. The worker
// answers in order, so the oldest request is the file it converts. A worker
// that ends unexpectedly (a converter crashed it) fails that file; a new one
// is started and given the requests the old one never answered.
void Drain(std::vector<Job>& jobs, std::atomic<std::size_t>& next, const Arguments& workerArgs,
           BatchProgress& progress) {
  auto worker = std::make_unique<WorkerProcess>();
  bool running = worker->Start(workerArgs);
  std::deque<std::size_t> sent;
  auto send = [&](std::size_t i) { return running && worker->Send({jobs[i].input, jobs[i].output}); };
  for (;;) {
    while (sent.size() < kRequestsAhead && !CancelRequested()) {
      std::size_t i = next++;
      if (i >= jobs.size()) break;
      if (jobs[i].status != -1) continue;  // failed when planned, counted already
      if (!running) {
        jobs[i].status = kExitFailed;
        jobs[i].messages = "imexp: no worker process could be started";
        progress.Done(jobs[i]);
        continue;
      }
      sent.push_back(i);
      if (!send(i)) break;
    }
    if (sent.empty()) break;
    Job& job = jobs[sent.front()];
    sent.pop_front();
    std::vector<std::string> answer;
    if (running && worker->Receive(kAnswerFields, &answer)) {
      job.status = std::atoi(answer[0].c_str());
      job.messages = answer[1];
    } else {
      job.status = kExitFailed;
      job.messages = "imexp: the worker converting it ended unexpectedly";
      worker = std::make_unique<WorkerProcess>();
      running = worker->Start(workerArgs);
      for (std::size_t i : sent) {
        if (!send(i)) break;
      }
    }
    progress.Done(job);
  }
  worker->Finish();
}

int Summarise(const std::vector<Job>& jobs, const std::string& extension) {
  ClearProgressLine();
  std::size_t converted = 0;
  std::size_t cancelled = 0;
  for (const Job& job : jobs) {
    if (job.status == kExitOk) ++converted;
    if (job.status == kExitCancelled || job.status == -1) ++cancelled;
  }
  std::fprintf(stderr, "imexp: %zu of %zu files converted to .%s\n", converted, jobs.size(),
               extension.c_str());
  if (converted + cancelled < jobs.size()) {
    std::fprintf(stderr, "imexp: %zu failed:\n", jobs.size() - converted - cancelled);
    for (const Job& job : jobs) {
      if (job.status == kExitOk || job.status == kExitCancelled || job.status == -1) continue;
      std::fprintf(stderr, "  %s: %s\n", job.input.c_str(),
                   job.messages.empty() ? "failed" : job.messages.c_str());
    }
  }
  if (cancelled > 0 || CancelRequested()) {
    std::fprintf(stderr, "imexp: cancelled, %zu files not converted\n", cancelled);
    return kExitCancelled;
  }
  return converted == jobs.size() ? kExitOk : kExitFailed;
}

}  // namespace

int RunBatch(const BatchOptions& options) {
  const std::string extension = OutputExtension(options.format);
  if (extension.empty()) {
    std::fprintf(stderr, "imexp convert: no installed converter writes %s\n", options.format.c_str());
    return kExitUsage;
  }
  if (!options.outDir.empty()) {
    std::error_code error;
    fs::create_directories(options.outDir, error);
    if (!fs::is_directory(options.outDir)) {
      std::fprintf(stderr, "imexp convert: cannot make the folder %s\n", options.outDir.c_str());
      return kExitFailed;
    }
  }
  InstallCancelHandler();
  std::vector<Job> jobs = PlanJobs(options, extension);
  BatchProgress progress(jobs.size(), IsStderrTerminal());
  for (const Job& job : jobs) {
    if (job.status != -1) progress.Done(job);
  }

  const auto workers = static_cast<std::size_t>(std::max(1, options.jobs));
  if (workers == 1) {
    for (Job& job : jobs) {
      if (CancelRequested()) break;
      if (job.status != -1) continue;
      ConvertHere(job, options.accepted, options.images, options.overlap);
      progress.Done(job);
    }
  } else {
    const Arguments workerArgs{"convert", kWorkerOption, std::to_string(options.accepted),
                               EncodeImages(options.images), OverlapWord(options.overlap)};
    std::atomic<std::size_t> next{0};
    std::vector<std::thread> threads;
    for (std::size_t w = 0; w < std::min(workers, jobs.size()); ++w) {
      threads.emplace_back([&] { Drain(jobs, next, workerArgs, progress); });
    }
    for (std::thread& thread : threads) thread.join();
  }
  return Summarise(jobs, extension);
}

int RunBatchWorker(const std::string& acceptedText, const std::string& imagesText,
                   const std::string& overlapText) {
  std::optional<int> accepted = ParseIndex(acceptedText);
  std::optional<ImageChoice> images = DecodeImages(imagesText);
  std::optional<Overlap> overlap = OverlapOf(overlapText);
  if (!accepted || !images || !overlap) return kExitUsage;
  InstallCancelHandler();
  for (std::vector<std::string> request; ReadMessage(stdin, kRequestFields, &request);) {
    Job job;
    job.input = request[0];
    job.output = request[1];
    ConvertHere(job, *accepted, *images, *overlap);
    // One line in the parent's summary.
    std::replace(job.messages.begin(), job.messages.end(), '\n', ' ');
    if (!WriteMessage(stdout, {std::to_string(job.status), job.messages})) break;
  }
  return kExitOk;
}

bool IsBatchWorkerOption(const std::string& arg) { return arg == kWorkerOption; }

}  // namespace imexp::cli
