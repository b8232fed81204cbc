// Throughput of the row kernels of reading and writing, cache-hot, on rows of
// 4000 and 10000 pixels. Every kernel reports bytes per second of its OUTPUT
// and two ratios measured in the same run:
//   vs_memcpy     kernel output rate / memcpy rate for the same byte count;
//   vs_freeimage  kernel output rate / the rate of FreeImage's equivalent
//                 line converter on the same row (when FreeImage is linked).
// The machine these run on is shared, so a ratio is not two rates taken at
// different moments: kernel and baseline run in alternating ~1 ms batches and
// the median of the per-pair ratios is reported.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "reading/row_converters.h"
#include "writing/write_row_steps.h"

#ifdef IMEXP_BENCH_FREEIMAGE
#include <FreeImage.h>
#endif

namespace {

using namespace imexp;

constexpr uint32_t kWidths[] = {4000, 10000};
constexpr uint32_t kMaxWidth = 10000;

// Buffers for any kernel at the widest row: four planes of one byte per
// pixel, or one true-colour row.
struct Buffers {
  std::vector<uint8_t> source, intermediate, host, band, palette, grey;
  Buffers() {
    std::mt19937 engine(12345);
    auto random = [&engine](size_t n) {
      std::vector<uint8_t> bytes(n);
      for (auto& b : bytes) b = static_cast<uint8_t>(engine());
      return bytes;
    };
    source = random(4 * kMaxWidth + 64);
    intermediate = random(3 * kMaxWidth + 64);
    host = random(3 * kMaxWidth + 64);
    band = random(4 * kMaxWidth + 64);
    palette = random(768);
    grey = random(256);
  }
};

Buffers& Data() {
  static Buffers buffers;
  return buffers;
}

// One row's work, called the way the pipelines call it: through a function
// pointer. `other` serves the baselines (memcpy, FreeImage) with the width.
struct RowCall {
  ReadRowConverter stage1 = nullptr;
  ReadRowConverter stage2 = nullptr;
  ReadRowState read;
  WriteRowStep write = nullptr;
  WriteRowState writeState;
  void (*other)(uint32_t) = nullptr;
  uint32_t argument = 0;
  void operator()() {
    if (other) {
      other(argument);
    } else if (write) {
      write(writeState);
    } else {
      if (stage1) stage1(read);
      if (stage2) stage2(read);
    }
  }
};

// ---------------------------------------------------------------- baselines

void CopyBytes(uint32_t bytes) {
  benchmark::DoNotOptimize(Data().source.data());
  std::memcpy(Data().band.data(), Data().source.data(), bytes);
}

RowCall MemcpyCall(size_t bytes) {
  RowCall call;
  call.other = CopyBytes;
  call.argument = static_cast<uint32_t>(bytes);
  return call;
}

#ifdef IMEXP_BENCH_FREEIMAGE
RGBQUAD* FreeImagePalette() {
  static RGBQUAD palette[256];
  for (int i = 0; i < 256; ++i) {
    palette[i].rgbRed = Data().palette[i];
    palette[i].rgbGreen = Data().palette[256 + i];
    palette[i].rgbBlue = Data().palette[512 + i];
    palette[i].rgbReserved = 0;
  }
  return palette;
}

uint8_t* Target() { return Data().band.data(); }
uint8_t* Source() { return Data().source.data(); }

struct FreeImageLine {
  const char* name;
  size_t outputBitsPerPixel;
  void (*run)(uint32_t width);
};

const FreeImageLine kFreeImageLines[] = {
    {"ConvertLine1To4", 4, [](uint32_t w) { FreeImage_ConvertLine1To4(Target(), Source(), int(w)); }},
    {"ConvertLine1To8", 8, [](uint32_t w) { FreeImage_ConvertLine1To8(Target(), Source(), int(w)); }},
    {"ConvertLine4To8", 8, [](uint32_t w) { FreeImage_ConvertLine4To8(Target(), Source(), int(w)); }},
    {"ConvertLine1To24", 24,
     [](uint32_t w) { FreeImage_ConvertLine1To24(Target(), Source(), int(w), FreeImagePalette()); }},
    {"ConvertLine4To24", 24,
     [](uint32_t w) { FreeImage_ConvertLine4To24(Target(), Source(), int(w), FreeImagePalette()); }},
    {"ConvertLine8To24", 24,
     [](uint32_t w) { FreeImage_ConvertLine8To24(Target(), Source(), int(w), FreeImagePalette()); }},
};

const FreeImageLine& FindFreeImageLine(const std::string& name) {
  for (const FreeImageLine& line : kFreeImageLines)
    if (name == line.name) return line;
  std::abort();
}
#endif

// ---------------------------------------------------------------- timing

using Clock = std::chrono::steady_clock;

double SecondsFor(RowCall& call, size_t iterations) {
  const auto start = Clock::now();
  for (size_t i = 0; i < iterations; ++i) {
    call();
    benchmark::ClobberMemory();
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Calls that take about a millisecond.
size_t BatchSize(RowCall& call) {
  size_t iterations = 16;
  while (SecondsFor(call, iterations) < 1e-3 && iterations < (size_t{1} << 30)) iterations *= 2;
  return iterations;
}

// Median over alternating batches of (a's output rate / b's output rate).
double PairedRatio(RowCall a, size_t aBytes, RowCall b, size_t bBytes) {
  const size_t aBatch = BatchSize(a), bBatch = BatchSize(b);
  std::vector<double> ratios;
  for (int round = 0; round < 25; ++round) {
    const double aRate = static_cast<double>(aBytes * aBatch) / SecondsFor(a, aBatch);
    const double bRate = static_cast<double>(bBytes * bBatch) / SecondsFor(b, bBatch);
    ratios.push_back(aRate / bRate);
  }
  std::nth_element(ratios.begin(), ratios.begin() + ratios.size() / 2, ratios.end());
  return ratios[ratios.size() / 2];
}

// ---------------------------------------------------------------- kernels

struct Kernel {
  std::string name;
  size_t (*outputBytes)(const Kernel&, uint32_t width);
  RowCall (*prepare)(const Kernel&, uint32_t width);
  // Read pairs.
  ReadRowConverter stage1 = nullptr, stage2 = nullptr;
  uint32_t hostBits = 0;
  size_t stage1BitsPerPixel = 0;  // output of a stage-1 converter timed alone
  // Write steps.
  int sourceBits = 0, outputBits = 0, bgrOrder = 0;
  bool planar = false;
  // Baselines.
  const char* freeImage = nullptr;
  void (*other)(uint32_t) = nullptr;
  size_t otherBitsPerPixel = 0;
};

size_t BitsToBytes(size_t width, size_t bits) { return (width * bits + 7) / 8; }

Kernel ReadKernel(std::string name, ReadRowConverter stage1, ReadRowConverter stage2, uint32_t hostBits,
                  size_t stage1BitsPerPixel = 0, const char* freeImage = nullptr) {
  Kernel kernel;
  kernel.name = std::move(name);
  kernel.stage1 = stage1;
  kernel.stage2 = stage2;
  kernel.hostBits = hostBits;
  kernel.stage1BitsPerPixel = stage1BitsPerPixel;
  kernel.freeImage = freeImage;
  kernel.outputBytes = [](const Kernel& k, uint32_t w) {
    return BitsToBytes(w, k.stage2 ? k.hostBits : k.stage1BitsPerPixel);
  };
  kernel.prepare = [](const Kernel& k, uint32_t w) {
    Buffers& d = Data();
    RowCall call;
    call.stage1 = k.stage1;
    call.stage2 = k.stage2;
    call.read.source = d.source.data();
    call.read.intermediate = d.intermediate.data();
    call.read.stage2Input = k.stage1 ? d.intermediate.data() : d.source.data();
    call.read.host = d.host.data();
    call.read.palette = d.palette.data();
    call.read.width = w;
    call.read.hostBytes = static_cast<uint32_t>(BitsToBytes(w, k.hostBits));
    call.read.planeStride = w;
    return call;
  };
  return kernel;
}

Kernel WriteKernel(std::string name, int sourceBits, int outputBits, bool planar, int bgrOrder,
                   const char* freeImage = nullptr) {
  Kernel kernel;
  kernel.name = std::move(name);
  kernel.sourceBits = sourceBits;
  kernel.outputBits = outputBits;
  kernel.planar = planar;
  kernel.bgrOrder = bgrOrder;
  kernel.freeImage = freeImage;
  kernel.outputBytes = [](const Kernel& k, uint32_t w) {
    const WriteStepChoice choice = ChooseWriteStep(k.sourceBits, k.outputBits, k.planar, k.bgrOrder, w);
    return static_cast<size_t>(choice.planesWritten * choice.bytesPerPlane);
  };
  kernel.prepare = [](const Kernel& k, uint32_t w) {
    const WriteStepChoice choice = ChooseWriteStep(k.sourceBits, k.outputBits, k.planar, k.bgrOrder, w);
    Buffers& d = Data();
    RowCall call;
    call.write = choice.convert;
    call.writeState.source = d.source.data();
    call.writeState.destination = d.band.data();
    call.writeState.width = w;
    call.writeState.stride = static_cast<uint32_t>(choice.bytesPerPlane);
    call.writeState.greyLookup = d.grey.data();
    call.writeState.palette = d.palette.data();
    return call;
  };
  return kernel;
}

// Used only where a peer library was found to compare with.
[[maybe_unused]] Kernel OtherKernel(std::string name, void (*run)(uint32_t), size_t outputBitsPerPixel) {
  Kernel kernel;
  kernel.name = std::move(name);
  kernel.other = run;
  kernel.otherBitsPerPixel = outputBitsPerPixel;
  kernel.outputBytes = [](const Kernel& k, uint32_t w) { return BitsToBytes(w, k.otherBitsPerPixel); };
  kernel.prepare = [](const Kernel& k, uint32_t w) {
    RowCall call;
    call.other = k.other;
    call.argument = w;
    return call;
  };
  return kernel;
}

std::vector<Kernel> Kernels() {
  std::vector<Kernel> kernels = {
      ReadKernel("read/PackBytesToBits", PackBytesToBits, nullptr, 0, 1),
      ReadKernel("read/UnpackBitsToBytes", UnpackBitsToBytes, nullptr, 0, 8, "ConvertLine1To8"),
      ReadKernel("read/PackBytesToNibbles", PackBytesToNibbles, nullptr, 0, 4),
      ReadKernel("read/UnpackNibblesToBytes", UnpackNibblesToBytes, nullptr, 0, 8, "ConvertLine4To8"),
      ReadKernel("read/PlanesToNibbles", PlanesToNibbles, nullptr, 0, 4),
      ReadKernel("read/PlanesToBytes", PlanesToBytes, nullptr, 0, 8),
      ReadKernel("read/BitsToNibbles", BitsToNibbles, nullptr, 0, 4),
      ReadKernel("read/PlanesToBGR", PlanesToBGR, nullptr, 0, 24),
      ReadKernel("read/CopyRow", nullptr, CopyRow, 8),
      ReadKernel("read/InvertRow", nullptr, InvertRow, 1),
      ReadKernel("read/GreyLookup", nullptr, GreyLookup, 8),
      ReadKernel("read/PaletteToBGR", nullptr, PaletteToBGR, 24, 0, "ConvertLine8To24"),
      ReadKernel("read/SwapRGB", nullptr, SwapRGB, 24),
      ReadKernel("chain/D_to_PAL256", UnpackNibblesToBytes, CopyRow, 8, 0, "ConvertLine4To8"),
      ReadKernel("chain/G_to_RGB24", nullptr, PaletteToBGR, 24, 0, "ConvertLine8To24"),
      ReadKernel("chain/I_to_RGB24", PlanesToBGR, CopyRow, 24),
      ReadKernel("chain/H_to_RGB24_bgr0", nullptr, SwapRGB, 24),
      ReadKernel("chain/A_to_RGB24", UnpackBitsToBytes, PaletteToBGR, 24, 0, "ConvertLine1To24"),
      ReadKernel("chain/D_to_RGB24", UnpackNibblesToBytes, PaletteToBGR, 24, 0, "ConvertLine4To24"),
      WriteKernel("write/WriteCopy", 8, 8, false, 0),
      WriteKernel("write/Write1To4", 1, 4, false, 0, "ConvertLine1To4"),
      WriteKernel("write/Write1To4Planar", 1, 4, true, 0),
      WriteKernel("write/Write1To8", 1, 8, false, 0, "ConvertLine1To8"),
      WriteKernel("write/Write1To24", 1, 24, false, 0, "ConvertLine1To24"),
      WriteKernel("write/Write1To24Planar", 1, 24, true, 0),
      WriteKernel("write/Write4To4Planar", 4, 4, true, 0),
      WriteKernel("write/Write4To8", 4, 8, false, 0, "ConvertLine4To8"),
      WriteKernel("write/Write4To24", 4, 24, false, 0, "ConvertLine4To24"),
      WriteKernel("write/Write4To24Planar", 4, 24, true, 0),
      WriteKernel("write/Write8To24", 8, 24, false, 0, "ConvertLine8To24"),
      WriteKernel("write/Write8To24Planar", 8, 24, true, 0),
      WriteKernel("write/WriteSwapRGB", 24, 24, false, 0),
      WriteKernel("write/WriteRGBPlanar", 24, 24, true, 0),
  };
#ifdef IMEXP_BENCH_FREEIMAGE
  // FreeImage's own lines, reported like ours: their vs_memcpy puts the
  // kernels' figures in perspective.
  for (const FreeImageLine& line : kFreeImageLines) {
    kernels.push_back(OtherKernel(std::string("freeimage/") + line.name, line.run, line.outputBitsPerPixel));
  }
#endif
  return kernels;
}

void RunKernel(benchmark::State& state, const Kernel& kernel, uint32_t width) {
  RowCall call = kernel.prepare(kernel, width);
  const size_t bytes = kernel.outputBytes(kernel, width);
  for (auto _ : state) {
    call();
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes * state.iterations()));
  // The ratios are measured once per benchmark, after the timed loop, so
  // that they do not disturb it.
  static std::map<std::string, std::pair<double, double>> ratios;
  const std::string key = kernel.name + "/" + std::to_string(width);
  if (!ratios.count(key)) {
    double freeImageRatio = 0;
#ifdef IMEXP_BENCH_FREEIMAGE
    if (kernel.freeImage) {
      const FreeImageLine& line = FindFreeImageLine(kernel.freeImage);
      RowCall baseline;
      baseline.other = line.run;
      baseline.argument = width;
      freeImageRatio = PairedRatio(call, bytes, baseline, BitsToBytes(width, line.outputBitsPerPixel));
    }
#endif
    ratios[key] = {PairedRatio(call, bytes, MemcpyCall(bytes), bytes), freeImageRatio};
  }
  state.counters["vs_memcpy"] = ratios[key].first;
  if (kernel.freeImage) state.counters["vs_freeimage"] = ratios[key].second;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  static const std::vector<Kernel> kernels = Kernels();
  for (uint32_t width : kWidths) {
    for (const Kernel& kernel : kernels) {
      benchmark::RegisterBenchmark(
          (kernel.name + "/" + std::to_string(width)).c_str(),
          [&kernel, width](benchmark::State& state) { RunKernel(state, kernel, width); });
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
