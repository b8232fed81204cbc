// imexp convert --to: many files in one run, in this process or in worker
// processes, with the failures named at the end.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "tests/cli/cli_support.h"

namespace imexp::test::cli {
namespace {

std::string ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every sample into PPM files in one folder: the first sample of each name
// is converted, a later one of the same name would overwrite it and is
// refused; one worker and three give the same files, and a batch the same
// bytes as one conversion.
TEST(CliBatch, EverySampleWithOneWorkerAndWithThree) {
  std::vector<std::string> args{"convert", "--to", "PNM"};
  std::vector<fs::path> samples = ReadableSamples();
  for (const fs::path& sample : samples) args.push_back(NativePath(sample));
  std::map<std::string, RunResult> runs;
  for (const char* jobs : {"1", "3"}) {
    TempDir out;
    std::vector<std::string> withJobs = args;
    withJobs.insert(withJobs.begin() + 3, {"--out", NativePath(out.path()), "-j", jobs});
    RunResult run = RunImexp(withJobs);
    ASSERT_EQ(CleanExit(run), "");
    std::set<std::string> stems;
    std::size_t refused = 0;
    for (const fs::path& sample : samples) {
      std::string stem = sample.stem().string();
      if (!stems.insert(stem).second) {
        ++refused;
        EXPECT_NE(run.err.find(NativePath(sample) + ": imexp: "), std::string::npos) << run.err;
        continue;
      }
      run.out += ReadBytes(out.path() / (stem + ".pnm"));
    }
    ASSERT_GT(refused, 0u);  // the samples share some names across formats
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(std::to_string(samples.size() - refused) + " of " +
                           std::to_string(samples.size()) + " files converted to .pnm"),
              std::string::npos)
        << run.err;
    runs[jobs] = run;
  }
  EXPECT_TRUE(runs["1"].out == runs["3"].out) << "one worker and three wrote different files";

  TempDir single;
  const std::string sample = Sample("bmp/rle8.bmp");
  ASSERT_EQ(RunImexp({"convert", sample, single.File("one.pnm")}).status, 0);
  ASSERT_EQ(RunImexp({"convert", "--to", "pnm", "--out", single.File("batch"), sample}).status, 0);
  EXPECT_EQ(ReadBytes(single.path() / "one.pnm"), ReadBytes(single.path() / "batch" / "rle8.pnm"));
}

// What fails is named with its reason, the rest is converted, and the exit
// status says that not everything was.
TEST(CliBatch, FailuresAreNamedAtTheEnd) {
  for (const char* jobs : {"1", "2"}) {
    SCOPED_TRACE(std::string("-j ") + jobs);
    TempDir dir;
    fs::create_directories(dir.path() / "a");
    fs::create_directories(dir.path() / "b");
    for (const char* copy : {"good.bmp", "a/same.bmp", "b/same.bmp"}) {
      fs::copy_file(SamplesDir() / "bmp" / "pal16.bmp", dir.path() / copy);
    }
    WriteFileBytes(dir.path() / "text.bmp", "not an image\n");
    fs::copy_file(SamplesDir() / "pcx" / "pal16-planar.pcx", dir.path() / "self.pcx");
    const std::string out = NativePath(dir.path() / "out");
    RunResult run = RunImexp({"convert", "--to", "pcx", "--out", out, "-j", jobs, dir.File("good.bmp"),
                              dir.File("a/same.bmp"), dir.File("b/same.bmp"), dir.File("text.bmp")});
    ASSERT_EQ(CleanExit(run), "");
    EXPECT_EQ(run.status, 1);
    for (const std::string& expected :
         {std::string("2 of 4 files converted to .pcx"), std::string("2 failed:"),
          dir.File("b/same.bmp") + ": imexp: " + NativePath(dir.path() / "out" / "same.pcx") +
              " is also the output of " + dir.File("a/same.bmp"),
          dir.File("text.bmp") + ": Converter Error: Unknown image file format"}) {
      EXPECT_NE(run.err.find(expected), std::string::npos) << expected << "\n" << run.err;
    }
    EXPECT_TRUE(fs::exists(dir.path() / "out" / "good.pcx"));
    EXPECT_TRUE(fs::exists(dir.path() / "out" / "same.pcx"));

    RunResult self = RunImexp({"convert", "--to", "PCX", "-j", jobs, dir.File("self.pcx")});
    EXPECT_EQ(self.status, 1);
    EXPECT_NE(self.err.find("would replace an input of the batch"), std::string::npos) << self.err;
  }
}

// A converter that ends its worker fails that one file; a new worker takes
// the rest.
TEST(CliBatch, AWorkerThatDiesFailsOnlyItsFile) {
  ToolCopy tool;
  ASSERT_EQ(tool.Run({"install", tool.Path(SharedLibraryName("imexp_test_converter"))}).status, 0);
  TempDir dir;
  WriteFileBytes(dir.path() / "crash.tst", "IMEXPTEST\nRead.crash=1\nDATA\n\x01");
  std::vector<std::string> args{"convert", "--to", "bmp", "--out", dir.File("out"), "-j", "2"};
  for (const char* name : {"a.bmp", "crash.tst", "b.bmp", "c.bmp"}) {
    if (std::string(name) != "crash.tst")
      fs::copy_file(SamplesDir() / "bmp" / "pal16.bmp", dir.path() / name);
    args.push_back(dir.File(name));
  }
  RunResult run = tool.Run(args);
  ASSERT_EQ(CleanExit(run), "");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("3 of 4 files converted"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(dir.File("crash.tst") + ": imexp: the worker converting it ended unexpectedly"),
            std::string::npos)
      << run.err;
  for (const char* output : {"a.bmp", "b.bmp", "c.bmp"}) EXPECT_TRUE(fs::exists(dir.path() / "out" / output));
}

#ifndef _WIN32
// Names a POSIX file system allows, tabs and line ends included, reach the
// workers and come back whole, with each answer paired with its file.
TEST(CliBatch, AnyFileNameGoesToAWorkerAndBack) {
  TempDir dir;
  const std::vector<std::string> names = {"tab\there.bmp", "line\nend.bmp", "cr\rlf\r\n.bmp", "10:colon,.bmp",
                                          "plain.bmp"};
  std::vector<std::string> args{"convert", "--to", "pcx", "--out", dir.File("out"), "-j", "2"};
  for (const std::string& name : names) {
    fs::copy_file(SamplesDir() / "bmp" / "pal16.bmp", dir.path() / name);
    args.push_back(dir.File(name));
  }
  // One that fails, so that an answer with messages comes back too.
  WriteFileBytes(dir.path() / "bad\tname.bmp", "BM not a bitmap");
  args.push_back(dir.File("bad\tname.bmp"));
  RunResult run = RunImexp(args);
  ASSERT_EQ(CleanExit(run), "");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("5 of 6 files converted"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("  " + dir.File("bad\tname.bmp") + ": "), std::string::npos) << run.err;
  for (const std::string& name : names) {
    std::string output = name.substr(0, name.size() - 4) + ".pcx";
    EXPECT_TRUE(fs::exists(dir.path() / "out" / output)) << output;
  }
}
#endif

// FORMAT given as an extension is taken when the manager would choose a
// writer for a file of that name, matching the writers' masks its own way
// (a mask's "*" after the dot takes any rest of the extension).
TEST(CliBatch, AnExtensionIsMatchedAsTheManagerMatchesIt) {
  ToolCopy tool;
  ASSERT_EQ(tool.Run({"install", tool.Path(SharedLibraryName("imexp_test_converter"))}).status, 0);
  tool.AppendIni("[imexp_test_converter]\nExtensions=*.T*Z\n");
  TempDir dir;
  std::string sample = Sample("bmp/pal16.bmp");
  RunResult run = tool.Run({"convert", "--to", "tab", "--out", dir.File("out"), sample});
  ASSERT_EQ(CleanExit(run), "");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::exists(dir.path() / "out" / "pal16.tab"));
  EXPECT_EQ(tool.Run({"convert", "--to", "xtz", sample}).status, 2);
}

TEST(CliBatch, UsageMistakes) {
  const std::string sample = Sample("bmp/pal16.bmp");
  struct Case {
    std::vector<std::string> args;
    const char* err;
  } cases[] = {
      {{"convert", "--to", "bmp"}, "expected the files to convert"},
      {{"convert", "--to"}, "--to needs a format"},
      {{"convert", "-j", "2", sample, "x.png"}, "--out and -j go with --to FORMAT"},
      {{"convert", "--to", "bmp", "-j", "0", sample}, "-j takes a number of workers from 1 to 64"},
      {{"convert", "--to", "bmp", "-j65", sample}, "-j takes a number of workers from 1 to 64"},
      {{"convert", "--to", "xyz", sample}, "no installed converter writes xyz"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.err);
    RunResult run = RunImexp(c.args);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
  }
}

}  // namespace
}  // namespace imexp::test::cli
