// Timing and checks shared by the detection and pipeline benchmarks.
//
// The machine these run on is shared, so an overhead ratio is never two rates
// taken at different moments: the manager's operation and its raw baseline run
// in alternating batches, in A-B then B-A order so that neither side always
// follows the other into warm caches, and the median of the per-round ratios
// is reported. Batches are timed in CPU time of the process, as Google
// Benchmark times each side for the rates: time spent descheduled while
// other work runs on the machine counts for neither side.
//
// A benchmark that measured something other than what it claims is worse than
// none, so each one checks its set-up first and exits non-zero with a message
// when a check fails.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace imexp::bench {

inline double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

[[noreturn]] inline void Fail(const std::string& what) {
  std::fflush(stdout);
  std::fprintf(stderr, "\nBENCHMARK CHECK FAILED: %s\n", what.c_str());
  std::fflush(stderr);
  // exit, not abort: the static set-ups remove their temporary folders.
  std::exit(EXIT_FAILURE);
}

inline void Require(bool condition, const std::string& what) {
  if (!condition) Fail(what);
}

template <typename Fn>
double SecondsFor(Fn& fn, int calls) {
  const double start = CpuSeconds();
  for (int i = 0; i < calls; ++i) fn();
  return CpuSeconds() - start;
}

// Enough calls of `fn` to take `seconds`, so that a batch of short calls is
// not dominated by the clock's resolution.
template <typename Fn>
int BatchFor(Fn& fn, double seconds) {
  int calls = 1;
  while (calls < (1 << 20) && SecondsFor(fn, calls) < seconds) calls *= 2;
  return calls;
}

inline double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

struct PairedTiming {
  double ratio = 0;            // median of (operation time / baseline time)
  double seconds = 0;          // median time of one operation call
  double baselineSeconds = 0;  // median time of one baseline call
};

template <typename Operation, typename Baseline>
PairedTiming MeasurePaired(Operation& operation, Baseline& baseline, int rounds = 15,
                           double batchSeconds = 0.005) {
  const int operationCalls = BatchFor(operation, batchSeconds);
  const int baselineCalls = BatchFor(baseline, batchSeconds);
  std::vector<double> ratios, operationTimes, baselineTimes;
  for (int round = 0; round < rounds; ++round) {
    double a, b;
    if (round % 2 == 0) {
      a = SecondsFor(operation, operationCalls);
      b = SecondsFor(baseline, baselineCalls);
    } else {
      b = SecondsFor(baseline, baselineCalls);
      a = SecondsFor(operation, operationCalls);
    }
    a /= operationCalls;
    b /= baselineCalls;
    ratios.push_back(a / b);
    operationTimes.push_back(a);
    baselineTimes.push_back(b);
  }
  return {Median(ratios), Median(operationTimes), Median(baselineTimes)};
}

// The value of " key=" in a line of the test converter's call log, or "".
inline std::string LogField(const std::string& line, const std::string& key) {
  const std::size_t at = line.find(" " + key + "=");
  if (at == std::string::npos) return "";
  const std::size_t start = at + key.size() + 2;
  return line.substr(start, line.find(' ', start) - start);
}

// The number after " key=" in a call-log line; fails with `context` when the
// line has none.
inline uint32_t LogNumber(const std::string& line, const std::string& key, const std::string& context) {
  const std::string value = LogField(line, key);
  Require(!value.empty() && value.find_first_not_of("0123456789") == std::string::npos,
          "no number " + key + " in the call log of " + context);
  return static_cast<uint32_t>(std::stoul(value));
}

}  // namespace imexp::bench
