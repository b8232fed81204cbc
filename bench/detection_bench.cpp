// Reader detection of a file that no reader claims by extension: FindReader
// of a manager copy with 1, 10 and 50 content-checking converters installed,
// each of which refuses the file, so that every one is loaded, asked and
// freed. The baseline is the raw cycle over the same library files: dlopen,
// dlsym RDCheckFile, call, dlclose.
//
//   detection/manager/N  one FindReader; items are probes
//   detection/raw/N      N raw cycles; items are probes
// Counters of the manager side:
//   vs_raw       median per-round ratio of FindReader time to the N raw
//                cycles (target: at most 1.2)
//   us_per_probe FindReader time / N from the paired rounds
//
// Each probe must leave its converter unloaded: before and after timing, one
// FindReader has to add and remove exactly N objects in the dynamic linker's
// list, and none of the copies may still be loaded afterwards.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <unistd.h>

#include <imexp/host.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/pipeline_paired_timing.h"
#include "tests/support/test_support.h"

namespace {

using namespace imexp::test;
using imexp::bench::Fail;
using imexp::bench::Require;

constexpr int kCopyCounts[] = {1, 10, 50};

struct DetectionSetup {
  explicit DetectionSetup(int count) : copies(count) {}
  ~DetectionSetup() {
    if (file >= 0) close(file);
  }

  // Apart from the constructor, so that a failing check finds the set-up
  // owned and its folder is removed on the way out.
  void Prepare() {
    std::string ini = "[Converters]\n";
    for (int i = 0; i < copies; ++i) {
      char copy[32];
      std::snprintf(copy, sizeof copy, "probe_%02d", i);
      const std::string library = setup.InstallConverter("detection_probe_converter", copy);
      ini += std::to_string(i) + "=" + library + "\n";
      paths.push_back(setup.dir().path() / library);
    }
    setup.WriteIni(ini);
    iniPath = setup.IniPath();
    path = setup.dir().File("unclaimed.xyz");
    WriteFileBytes(path, "no reader claims this file by its extension\n");
    const Library& manager = setup.Load();
    capture = std::make_unique<MessageBoxCapture>(&manager);
    findReader = manager.Get<FindReaderFn>("FindReader");
    Require(findReader != nullptr, "the manager copy exports no FindReader");
    file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    Require(file >= 0, "cannot open " + path);
  }

  int copies;
  ManagerSetup setup;
  std::vector<fs::path> paths;
  std::string iniPath;
  std::string path;
  HFILE file = -1;
  FindReaderFn findReader = nullptr;
  std::unique_ptr<MessageBoxCapture> capture;
};

// One set-up at a time: the copies of another would lengthen the dynamic
// linker's list for everybody.
DetectionSetup& SetupFor(int copies) {
  static std::unique_ptr<DetectionSetup> current;
  if (!current || current->copies != copies) {
    current.reset();
    current = std::make_unique<DetectionSetup>(copies);
    current->Prepare();
  }
  return *current;
}

void ManagerFind(DetectionSetup& s) {
  int found = s.findReader(s.path.data(), nullptr);
  benchmark::DoNotOptimize(found);
}

void RawProbes(DetectionSetup& s) {
  for (const fs::path& copy : s.paths) {
    void* library = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) Fail("cannot load " + copy.string());
    auto checkFile = reinterpret_cast<RDCheckFileFn>(dlsym(library, "RDCheckFile"));
    int accepted = checkFile(s.file, s.iniPath.data());
    benchmark::DoNotOptimize(accepted);
    dlclose(library);
  }
}

// Objects the dynamic linker has ever added to and removed from its list.
struct LinkerCounts {
  unsigned long long adds = 0;
  unsigned long long subs = 0;
};

LinkerCounts CurrentLinkerCounts() {
  LinkerCounts counts;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        auto* out = static_cast<LinkerCounts*>(data);
        out->adds = info->dlpi_adds;
        out->subs = info->dlpi_subs;
        return 1;  // the counters are the same for every object
      },
      &counts);
  return counts;
}

// One FindReader must load every copy once, refuse the file, and leave no
// copy loaded.
void CheckEveryProbeUnloads(DetectionSetup& s, const char* when) {
  const std::string where = std::string(" (") + when + ", " + std::to_string(s.copies) + " copies)";
  const LinkerCounts before = CurrentLinkerCounts();
  const int found = s.findReader(s.path.data(), nullptr);
  const LinkerCounts after = CurrentLinkerCounts();
  Require(found == 0, "FindReader found a reader for a file nobody accepts" + where);
  const auto loads = after.adds - before.adds;
  const auto unloads = after.subs - before.subs;
  Require(loads == static_cast<unsigned long long>(s.copies),
          "FindReader loaded " + std::to_string(loads) + " objects, not one per copy" + where);
  Require(unloads == loads, "FindReader unloaded " + std::to_string(unloads) + " of the " +
                                std::to_string(loads) + " objects it loaded" + where);
  for (const fs::path& copy : s.paths) {
    Require(!IsLibraryLoaded(copy), copy.filename().string() + " is still loaded after its probe" + where);
  }
  Require(s.capture->boxes().empty(), "FindReader showed a message box" + where);
}

void BM_ManagerDetection(benchmark::State& state, int copies) {
  DetectionSetup& s = SetupFor(copies);
  CheckEveryProbeUnloads(s, "before timing");
  for (auto _ : state) ManagerFind(s);
  state.SetItemsProcessed(state.iterations() * copies);
  CheckEveryProbeUnloads(s, "after timing");

  auto manager = [&s] { ManagerFind(s); };
  auto raw = [&s] { RawProbes(s); };
  const imexp::bench::PairedTiming paired = imexp::bench::MeasurePaired(manager, raw, 21);
  state.counters["vs_raw"] = paired.ratio;
  state.counters["us_per_probe"] = paired.seconds / copies * 1e6;
  state.counters["raw_us_per_probe"] = paired.baselineSeconds / copies * 1e6;
}

void BM_RawDetection(benchmark::State& state, int copies) {
  DetectionSetup& s = SetupFor(copies);
  for (auto _ : state) RawProbes(s);
  state.SetItemsProcessed(state.iterations() * copies);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  for (int copies : kCopyCounts) {
    const std::string suffix = "/" + std::to_string(copies);
    benchmark::RegisterBenchmark(("detection/manager" + suffix).c_str(), BM_ManagerDetection, copies);
    benchmark::RegisterBenchmark(("detection/raw" + suffix).c_str(), BM_RawDetection, copies);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
