// Several imexp processes saving different images into one folder at once,
// round after round, as a batch script run twice would: each target holds
// byte for byte what a lone save writes, and no temporary file is left.
#include <gtest/gtest.h>

#include <thread>

#include "tests/cli/cli_support.h"

namespace imexp::test::cli {
namespace {

// An image of its own for each process, large enough (3 MB) that the
// processes' saves overlap.
Pixels Noise(unsigned width, unsigned height, unsigned seed) {
  Pixels pixels{width, height, std::vector<uint8_t>(std::size_t{width} * height * 3)};
  uint32_t state = seed * 2654435761u + 1;
  for (uint8_t& byte : pixels.rgb) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<uint8_t>(state >> 24);
  }
  return pixels;
}

TEST(CliConcurrencyTest, ProcessesSavingIntoOneFolderAtOnce) {
  constexpr int kProcesses = 4;
  // Each process start costs wine a few hundred milliseconds.
  const int rounds = IsWine() ? 3 : 10;
  TempDir sources;
  TempDir folder;
  std::vector<std::string> inputs;
  std::vector<std::string> targets;
  std::vector<std::string> expected;
  for (int k = 0; k < kProcesses; ++k) {
    inputs.push_back(sources.File("source" + std::to_string(k) + ".ppm"));
    WriteFileBytes(inputs[k], EncodePpm(Noise(1000, 1000, static_cast<unsigned>(k))));
    // Both writers, each process a target of its own.
    targets.push_back(folder.File("target" + std::to_string(k) + (k % 2 ? ".bmp" : ".ppm")));
    RunResult lone = RunImexp({"convert", inputs[k], targets[k]});
    ASSERT_EQ(CleanExit(lone), "");
    ASSERT_EQ(lone.status, 0) << lone.err;
    expected.push_back(ReadFileBytes(targets[k]));
  }

  int mismatches = 0;
  for (int round = 0; round < rounds; ++round) {
    for (const std::string& target : targets) fs::remove(target);
    std::vector<RunResult> results(kProcesses);
    std::vector<std::thread> processes;
    for (int k = 0; k < kProcesses; ++k) {
      processes.emplace_back([&, k] { results[k] = RunImexp({"convert", inputs[k], targets[k]}); });
    }
    for (std::thread& process : processes) process.join();
    for (int k = 0; k < kProcesses; ++k) {
      SCOPED_TRACE("round " + std::to_string(round) + ", process " + std::to_string(k));
      EXPECT_EQ(CleanExit(results[k]), "");
      EXPECT_EQ(results[k].status, 0) << results[k].err;
      mismatches += ReadFileBytes(targets[k]) != expected[k];
    }
    ASSERT_EQ(mismatches, 0) << "round " << round;
    ASSERT_EQ(LeftoverTemporaries(folder.path()), std::vector<std::string>{}) << "round " << round;
  }
}

}  // namespace
}  // namespace imexp::test::cli
