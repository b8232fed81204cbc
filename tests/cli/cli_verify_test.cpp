// imexp verify: every bundled converter passes it, and each variant of the
// test converter that breaks one rule of the contract is refused with the
// reason named.
#include <gtest/gtest.h>

#include "tests/cli/cli_support.h"

namespace imexp::test::cli {
namespace {

// The libraries of a converters/ folder and the sample folders they read.
struct Bundled {
  const char* format;
  const char* library;
  const char* samples;
};
constexpr Bundled kBundled[] = {
    {"bmp", "imexp_bmp", "bmp"},    {"pnm", "imexp_pnm", "pnm"}, {"pcx", "imexp_pcx", "pcx"},
    {"pcx", "imexp_dcx", "dcx"},    {"png", "imexp_png", "png"}, {"jpeg", "imexp_jpeg", "jpeg"},
    {"tiff", "imexp_tiff", "tiff"}, {"gif", "imexp_gif", "gif"}, {"webp", "imexp_webp", "webp"}};

std::string Built(const std::string& base) { return NativePath(ExecutableDir() / SharedLibraryName(base)); }

TEST(CliVerify, EveryBundledConverterPasses) {
  int verified = 0;
  for (const Bundled& b : kBundled) {
    if (!FormatBuilt(b.format)) continue;
    std::vector<std::string> withSamples{"verify", Built(b.library)};
    for (const auto& entry : fs::directory_iterator(SamplesDir() / b.samples)) {
      withSamples.push_back(NativePath(entry.path()));
    }
    for (const auto& args : {std::vector<std::string>{"verify", Built(b.library)}, withSamples}) {
      SCOPED_TRACE(std::string(b.library) + " with " + std::to_string(args.size() - 2) + " files");
      RunResult run = RunImexp(args);
      ASSERT_EQ(CleanExit(run), "");
      EXPECT_EQ(run.status, 0) << run.out << run.err;
      EXPECT_NE(run.out.find(", 0 breaches"), std::string::npos) << run.out;
      EXPECT_EQ(run.out.find("FAIL "), std::string::npos) << run.out;
    }
    ++verified;
  }
  EXPECT_GE(verified, 4);  // the four of our own are built everywhere
}

// A copy of one test converter variant with its script, in a folder of its
// own with the CONVERT.INI the script lives in.
RunResult VerifyVariant(const TempDir& dir, const std::string& variant, const std::string& script) {
  const std::string copy = dir.File(SharedLibraryName(variant));
  fs::copy_file(ExecutableDir() / SharedLibraryName(variant), copy, fs::copy_options::overwrite_existing);
  WriteFileBytes(dir.path() / "CONVERT.INI", "[" + variant + "]\n" + script);
  return RunImexp({"verify", "--ini", dir.File("CONVERT.INI"), copy});
}

TEST(CliVerify, BrokenVariantsAreRefusedWithTheirReason) {
  // Writes that read back: the clean baseline every case breaks one rule of.
  const std::string base = "Write.header=1\n";
  struct Case {
    std::string variant;
    std::string script;
    int status;
    std::string reason;  // a fragment of the report
  } cases[] = {
    {"imexp_test_converter", base, 0, ", 0 breaches"},
    {"imexp_test_converter", base + "Version=0x0300\n", 1,
     "FAIL version: 0x00000300: neither capability bit"},
    {"imexp_test_converter", base + "Version=0x02FF\n", 1, "interface version below 0x0300"},
    {"imexp_test_converter", base + "Unterminated=1\n", 1,
     "FAIL record: name is not terminated inside its 128"},
    {"imexp_test_converter", base + "Extensions=TST\n", 1, "are not masks"},
    {"imexp_test_converter", base + "Flags=0x113\n", 1, "sets bits outside 0x3F"},
    {"imexp_test_converter", base + "WriteFormats=0\n", 1, "no layout in writeFormats"},
    {"imexp_test_converter_no_RDCleanUp", base, 1, "RDCleanUp is missing, promised by the reader (0x01)"},
    {"imexp_test_converter_no_ConvAbout", base + "Flags=0x17\n", 1,
     "ConvAbout is missing, promised by the about"},
    {"imexp_test_converter_no_RDCheckFile", base, 1, "RDCheckFile is missing, promised by the content check"},
    {"imexp_test_converter", base + "Check=current\n", 1, "must move to the start itself"},
    {"imexp_test_converter", base + "Check=accept\n", 1, "RDCheckFile accepts an empty file"},
    {"imexp_test_converter", base + "accessMode=3\nRead.ignoreBandRow=1\n", 1,
     "differ from those read top to bottom, bands of 1 row at row 0, column 0: RDReadBand must honour "
     "bandRow"},
    {"imexp_test_converter", base + "Read.overrun=1\n", 1,
     "RDReadBand wrote past the end of the band buffer"},
    {"imexp_test_converter", base + "accessMode=0\nbands=0:1,0:1\n", 1,
     "delivered 2 times; a converter-driven read delivers every row exactly once"},
    {"imexp_test_converter", base + "accessMode=0\nmaxBandRows=4\nbands=0:9\n", 1,
     "which do not fit the band"},
    {"imexp_test_converter", base + "Error.RDReadBand=1\n", 1,
     "returned 1 (no more bands) in a manager-driven"},
    {"imexp_test_converter", base + "Error.RDReadBand=-3@2\n", 1,
     "code -3 (from RDReadBand) is not an error code"},
    {"imexp_test_converter", "", 1, "FAIL round trip: grey 1 bits: written 37 x 23, read back 1 x 1"},
    {"imexp_test_converter", base + "Write.accessMode=0\nWrite.bands=0:1,0:1\n", 1,
     "asked for 2 times; a converter-driven write names every row exactly once"},
    {"imexp_test_converter", base + "Write.bitsPerPixel=8\nWrite.bytesPerLine=1\n", 1,
     "too short for 37 pixels"},
    {"imexp_test_converter", base + "Error.WREndWriting=14\n", 1, "WREndWriting fails with code 14"},
    {"imexp_test_converter", base + "Unterminated=1\nRead.cutError=22\n", 1,
     "code 22 (from RDReadHeader): ConvGetErrorString left the text unterminated"},
    {"imexp_test_converter_no_ConvGetErrorString", base + "Read.cutError=21\n", 1,
     "code 21 (from RDReadHeader) has no wording"},
    // The manager words its own codes 16 to 20: a note, no breach.
    {"imexp_test_converter_no_ConvGetErrorString", base + "Read.cutError=18\n", 0,
     "NOTE errors: code 18 (from RDReadHeader) is worded by the manager alone"},
#ifndef _WIN32
    {"imexp_test_converter_pinned", base, 1, "FAIL unload: the library stays loaded"},
#endif
#if !defined(__SANITIZE_ADDRESS__) && !defined(_WIN32)
    // The heap is measured on glibc builds without the sanitizer.
    {"imexp_test_converter", base + "LeakOnCleanUp=1\n", 1, "FAIL heap: RDCleanUp leaves"},
#endif
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.variant + " with " + c.script);
    TempDir dir;
    RunResult run = VerifyVariant(dir, c.variant, c.script);
    ASSERT_EQ(CleanExit(run), "");
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    EXPECT_NE(run.out.find(c.reason), std::string::npos) << run.out;
  }
}

#ifdef __SANITIZE_ADDRESS__
// Under the sanitizer build the leak is LeakSanitizer's to report, at exit.
TEST(CliVerify, LeakSanitizerReportsWhatRDCleanUpLeaves) {
  TempDir dir;
  RunResult run = VerifyVariant(dir, "imexp_test_converter", "Write.header=1\nLeakOnCleanUp=1\n");
  EXPECT_NE(run.err.find("LeakSanitizer: detected memory leaks"), std::string::npos) << run.err;
}
#endif

TEST(CliVerify, UsageErrors) {
  struct Case {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"verify"}, "no library given"},
      {{"verify", "--ini"}, "--ini needs a file"},
      {{"verify", "--bogus", Built("imexp_bmp")}, "unknown option --bogus"},
      {{"verify", NativePath(ExecutableDir() / "no-such-library")}, "no-such-library"},
      {{"verify", Built("imexp_bmp"), NativePath(ExecutableDir() / "no-such-file.bmp")}, "cannot read"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.err);
    RunResult run = RunImexp(c.args);
    ASSERT_EQ(CleanExit(run), "");
    EXPECT_EQ(run.status, 2) << run.out << run.err;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
  }
}

}  // namespace
}  // namespace imexp::test::cli
