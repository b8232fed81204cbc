// What the two pipeline benchmarks share: the images they time, one set-up
// kept at a time, the paired counters and the registration of the manager
// against its baseline.
#pragma once

#include <benchmark/benchmark.h>
#include <imexp/converter.h>
#include <imexp/host.h>

#include <memory>
#include <string>

#include "bench/pipeline_paired_timing.h"

namespace imexp::bench {

struct Shape {
  const char* layout;
  uint32_t width;
  uint32_t height;
  int hostType;
  std::string Name() const {
    return std::string(layout) + "/" + std::to_string(width) + "x" + std::to_string(height);
  }
  int BitsPerPixel() const { return hostType == HIT_RGB24 ? 24 : 8; }
  int ColorType() const { return hostType == HIT_RGB24 ? CONV_COLOR_RGB : CONV_COLOR_GRAY; }
};

// Rows of 1000 to 10000 pixels, grey and true colour.
inline constexpr Shape kShapes[] = {
    {"gray8", 1000, 1, HIT_GRAY256},    {"gray8", 1000, 12000, HIT_GRAY256},
    {"gray8", 4000, 3000, HIT_GRAY256}, {"gray8", 10000, 2000, HIT_GRAY256},
    {"rgb24", 1000, 12000, HIT_RGB24},  {"rgb24", 4000, 3000, HIT_RGB24},
    {"rgb24", 10000, 2000, HIT_RGB24},
};

// One shape at a time: the images take up to 60 MB each.
template <typename Setup>
Setup& SetupFor(const Shape& shape) {
  static std::unique_ptr<Setup> current;
  if (!current || current->shape.Name() != shape.Name()) {
    current.reset();
    current = std::make_unique<Setup>(shape);
    current->Prepare();
  }
  return *current;
}

// Times `run` over the set-up's image for the state's iterations, with the
// converter's call log emptied first.
template <typename Setup, typename Run>
void TimeIterations(benchmark::State& state, Setup& s, Run run) {
  s.setup.ClearCallLog();
  for (auto _ : state) run(s);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * s.image.pixels.size()));
}

// The counters of one paired timing: `ratioName` the median ratio, and the
// overhead in percent and in microseconds under `prefix`.
inline void CountPaired(benchmark::State& state, const PairedTiming& paired, const std::string& ratioName,
                        const std::string& prefix) {
  state.counters[ratioName] = paired.ratio;
  state.counters[prefix + "overhead_pct"] = (paired.ratio - 1) * 100;
  state.counters[prefix + "extra_us"] = (paired.seconds - paired.baselineSeconds) * 1e6;
}

// Registers `manager` and `raw` for every shape as "<what>/manager/<shape>"
// and "<what>/raw/<shape>", runs what the command line selects.
template <typename Benchmark>
int RunPipelineBenchmarks(int argc, char** argv, const std::string& what, Benchmark manager, Benchmark raw) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  for (const Shape& shape : kShapes) {
    benchmark::RegisterBenchmark((what + "/manager/" + shape.Name()).c_str(), manager, shape)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((what + "/raw/" + shape.Name()).c_str(), raw, shape)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace imexp::bench
