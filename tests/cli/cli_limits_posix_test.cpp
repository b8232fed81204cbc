// Saves that the system itself refuses part way: a file-size limit (ulimit
// -f; imexp ignores SIGXFSZ and so sees the failed write) and a file system
// that fills up (a small tmpfs, mounted in a mount namespace of the test's
// own where it may). The message says which, the old target stays, and no
// temporary file is left. And an image the program has no memory for. POSIX
// only: ulimit and mount.
#include <gtest/gtest.h>

#include "tests/cli/cli_support.h"

namespace imexp::test::cli {
namespace {

// $1 the folder, $2 imexp, $3 the source. The last lines report what is left.
constexpr const char* kSave = R"sh(
printf 'the old image' > "$1/out.bmp"
"$2" convert "$3" "$1/out.bmp"
echo "status $?"
echo "target $(cat "$1/out.bmp")"
echo "files $(ls -A "$1" | tr '\n' ' ')")sh";

constexpr int kCannotLimit = 77;

TEST(CliLimitsTest, SavesRefusedByTheSystemSaySoAndKeepTheOldTarget) {
  struct Case {
    const char* what;
    std::vector<std::string> runner;  // what runs the shell
    std::string prelude;
    std::string message;
  } cases[] = {
      {"file-size limit",
       {},
       "ulimit -f 64 || exit 77",
       "Converter Error: File size limit reached writing out.bmp"},
      {"full file system",
       {"/usr/bin/unshare", "--mount", "--propagation", "private"},
       "mount -t tmpfs -o size=64k imexp-full \"$1\" 2>/dev/null || exit 77",
       "Converter Error: Disk full writing out.bmp"},
  };
  TempDir dir;
  std::string source = dir.File("source.ppm");
  Pixels pixels{400, 400, std::vector<uint8_t>(400 * 400 * 3, 0x5a)};
  WriteFileBytes(source, EncodePpm(pixels));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir folder;
    std::vector<std::string> words = c.runner;
    for (std::string word : {std::string("/bin/sh"), std::string("-c"), c.prelude + kSave, std::string("sh"),
                             NativePath(folder.path()), ImexpPath(), source}) {
      words.push_back(word);
    }
    RunResult run = RunProgram(words[0], std::vector<std::string>(words.begin() + 1, words.end()));
    if (run.status == kCannotLimit || (!c.runner.empty() && run.out.empty())) {
      std::cout << "skipped: " << c.what << " cannot be set up here (" << run.err << ")\n";
      continue;
    }
    EXPECT_EQ(CleanExit(run), "");
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("status 1\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("target the old image\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("files out.bmp \n"), std::string::npos) << run.out;
  }
}

// The image is read into memory as a whole (--sequential: written while it
// is read, this pair would stream in a window of rows); under an
// address-space limit below its size that memory cannot be had, and the
// convert must say so rather than crash or write anything. $1 the folder, $2 imexp. The source
// is a 32000 x 32000 PGM of 1 GB, sparse, so that it takes no room.
constexpr const char* kConvertTooLarge = R"sh(
printf 'P5\n32000 32000\n255\n' > "$1/huge.pgm"
truncate -s 1024000019 "$1/huge.pgm" || exit 77
printf 'the old image' > "$1/out.bmp"
ulimit -v 524288 || exit 77
# A program built with AddressSanitizer cannot start under such a limit.
"$2" formats >/dev/null 2>&1 || exit 77
"$2" convert --sequential "$1/huge.pgm" "$1/out.bmp"
echo "status $?"
echo "target $(cat "$1/out.bmp")"
echo "files $(ls -A "$1" | tr '\n' ' ')")sh";

TEST(CliLimitsTest, AnImageBeyondTheMemoryLimitFailsCleanly) {
  TempDir folder;
  RunResult run =
      RunProgram("/bin/sh", {"-c", kConvertTooLarge, "sh", NativePath(folder.path()), ImexpPath()});
  if (run.status == kCannotLimit) GTEST_SKIP() << "no address-space limit here: " << run.err;
  EXPECT_EQ(CleanExit(run), "");
  EXPECT_NE(run.err.find("No enough memory"), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("status 1\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("target the old image\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("files huge.pgm out.bmp \n"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace imexp::test::cli
