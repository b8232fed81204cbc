// `imexp convert` onto an existing file that fails at any step: the old
// file stays byte for byte, no temporary file is left, the status is not 0
// and stderr carries the manager's message.
#include <gtest/gtest.h>

#include "tests/cli/cli_support.h"

namespace imexp::test::cli {
namespace {

constexpr const char* kOldBytes = "the previous contents of the target";

struct FailureCase {
  const char* name;
  const char* input;    // file in the test folder made by `make`, or a sample
  const char* target;   // name of the existing target in the test folder
  const char* message;  // expected in stderr, after "Converter Error: "
};

std::string TruncatedSample(const char* sample, std::size_t keep) {
  return ReadFileBytes(SamplesDir() / sample).substr(0, keep);
}

// An RGB image one row high and too wide for a PCX scan line of three
// planes: the writer refuses it once it has started.
std::string TooWideForPcx() {
  Pixels wide;
  wide.width = 12000;
  wide.height = 1;
  wide.rgb.assign(std::size_t{wide.width} * 3, 0x80);
  return EncodePpm(wide);
}

TEST(CliConvertFailure, LeavesTheExistingTargetAlone) {
  const FailureCase cases[] = {
      {"missing input", "", "old.bmp", "Cannot open file "},
      {"unknown input", "text", "old.bmp", "Unknown image file format "},
      {"no writer for the extension", "good", "old.xyz", "No Suitable Formats for Save"},
      {"truncated input", "truncated", "old.pcx", "Unexpected end of file "},
      {"writer refuses the image", "wide", "old.pcx", "File too big "},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    std::string input = dir.File("input.bmp");
    std::string kind = c.input;
    if (kind == "text") WriteFileBytes(input, "this is not an image\n");
    if (kind == "good") input = Sample("bmp/pal16.bmp");
    if (kind == "truncated") WriteFileBytes(input, TruncatedSample("bmp/rgb24.bmp", 3000));
    if (kind == "wide") {
      input = dir.File("wide.ppm");
      WriteFileBytes(input, TooWideForPcx());
    }
    std::string target = dir.File(c.target);
    WriteFileBytes(target, kOldBytes);

    RunResult run = RunImexp({"convert", input, target});
    EXPECT_EQ(CleanExit(run), "");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(std::string("Converter Error: ") + c.message), std::string::npos) << run.err;
    EXPECT_EQ(ReadFileBytes(target), kOldBytes);
    EXPECT_EQ(LeftoverTemporaries(dir.path()), std::vector<std::string>{});
  }
}

// The manager's temporary file goes beside the target and its path must
// fit 128 bytes; a target deep enough fails at that step.
TEST(CliConvertFailure, TemporaryFileThatCannotBeMade) {
  TempDir dir;
  fs::path deep = dir.path();
  while (NativePath(deep).size() < 130) deep /= "deeper-folder";
  fs::create_directories(deep);
  std::string target = NativePath(deep / "old.bmp");
  WriteFileBytes(target, kOldBytes);
  RunResult run = RunImexp({"convert", Sample("bmp/pal16.bmp"), target});
  EXPECT_EQ(CleanExit(run), "");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Converter Error: "), std::string::npos) << run.err;
  EXPECT_EQ(ReadFileBytes(target), kOldBytes);
  EXPECT_EQ(LeftoverTemporaries(deep), std::vector<std::string>{});
}

}  // namespace
}  // namespace imexp::test::cli
