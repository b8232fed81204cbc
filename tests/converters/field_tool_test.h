// What the suites of converters over field libraries share: a folder for the
// files other programs make at test time, the converter with a CONVERT.INI
// of the test's own, and damaged copies of good files.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/converter_driver.h"
#include "tests/support/reference_tools.h"

namespace imexp::test {

class FieldToolTest : public testing::Test {
 protected:
  explicit FieldToolTest(const char* target) : converter_(target) {}

  // Runs `command` through the shell, every {d} in it naming the folder. A
  // missing tool fails the test.
  void Run(std::string command) const {
    const std::string folder = ShellPath(dir_.path());
    for (std::size_t at = command.find("{d}"); at != std::string::npos; at = command.find("{d}", at))
      command.replace(at, 3, folder);
    ASSERT_EQ(RunCommand("(" + command + ") 2>/dev/null"), 0) << command;
  }
  std::string File(const std::string& name) const { return dir_.File(name); }
  // The converter, with `ini` as its CONVERT.INI.
  ConverterDriver& With(const std::string& ini) {
    WriteFileBytes(File("CONVERT.INI"), ini);
    converter_.UseIni(File("CONVERT.INI"));
    return converter_;
  }
  // `count` damaged copies of `good`: every other one cut short, the rest
  // with one to four bytes changed.
  static std::vector<std::string> Damaged(const std::string& good, int count, unsigned seed) {
    auto next = [&seed](unsigned range) { return (seed = seed * 1103515245u + 12345u) / 65536 % range; };
    std::vector<std::string> copies;
    for (int i = 0; i < count; ++i) {
      std::string bad = i % 2 ? good : good.substr(0, next(unsigned(good.size()) + 1));
      for (unsigned flips = i % 2 ? next(4) + 1 : 0; flips > 0 && !bad.empty(); --flips)
        bad[next(unsigned(bad.size()))] = static_cast<char>(next(256));
      copies.push_back(bad);
    }
    return copies;
  }

  TempDir dir_;
  ConverterDriver converter_;
};

}  // namespace imexp::test
