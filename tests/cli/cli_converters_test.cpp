// imexp install and imexp remove, run on a copy of the built program with
// its manager and converters: what each step prints, how it exits and what
// CONVERT.INI beside the copy holds afterwards.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/cli/cli_support.h"

namespace imexp::test::cli {
namespace {

TEST(CliConverters, InstallAndRemoveRewriteTheList) {
  ToolCopy tool;
  // A second copy of the test converter that reports the bare old interface.
  fs::copy_file(tool.Path(SharedLibraryName("imexp_test_converter")), tool.Path(SharedLibraryName("bare")));
  tool.AppendIni("[bare]\nVersion=0x300\n");
  std::string test = tool.Path(SharedLibraryName("imexp_test_converter"));
  // Spelled with a detour: stored as the full path the manager loaded.
  std::string detour =
      NativePath(fs::path(tool.Path("sub")) / ".." / SharedLibraryName("imexp_test_converter"));
  fs::create_directory(tool.Path("sub"));
  std::string noInfo = tool.Path(SharedLibraryName("imexp_test_converter_no_ConvGetDllInfo"));
  std::string bare = tool.Path(SharedLibraryName("bare"));
  const std::vector<std::string> base{"imexp_bmp", "imexp_pnm", "imexp_pcx", "imexp_dcx"};
  struct Step {
    std::vector<std::string> args;
    int status;
    std::string out, err;  // fragments
    std::vector<std::string> listed;
  } steps[] = {
      {{"install", detour, "--before", "1"},
       0,
       "as converter 1",
       "",
       {"imexp_bmp", "imexp_test_converter", "imexp_pnm", "imexp_pcx", "imexp_dcx"}},
      {{"install", test}, 1, "", "Converter already installed", {}},
      {{"install", noInfo}, 1, "", "Unable to install " + noInfo, {}},
      {{"install", bare}, 1, "", "Unable to install " + bare, {}},
      {{"install", tool.Path("missing")}, 1, "", "Unable to install " + tool.Path("missing"), {}},
      {{"remove", "pnm"}, 0, "removed", "", {"imexp_bmp", "imexp_test_converter", "imexp_pcx", "imexp_dcx"}},
      {{"remove", "0"}, 0, "removed", "", {"imexp_test_converter", "imexp_pcx", "imexp_dcx"}},
      {{"remove", "3"}, 1, "", "no converter number 3", {}},
      {{"remove", "PNM"}, 1, "", "no converter named PNM", {}},
      {{"install", bare, "--before", "x"}, 2, "", "--before needs a converter index", {}},
      {{"remove"}, 2, "", "no converter given", {}},
      {{"install", tool.Path(SharedLibraryName("imexp_bmp")), "--before", "99"},
       0,
       "as converter 3",
       "",
       {"imexp_test_converter", "imexp_pcx", "imexp_dcx", "imexp_bmp"}},
  };
  std::vector<std::string> expected = base;
  std::vector<std::string> before = tool.Section();  // relative names as built
  for (const Step& s : steps) {
    std::string what;
    for (const std::string& arg : s.args) what += arg + " ";
    SCOPED_TRACE(what);
    RunResult run = tool.Run(s.args);
    ASSERT_EQ(CleanExit(run), "");
    EXPECT_EQ(run.status, s.status) << run.err;
    EXPECT_NE(FoldCase(run.out).find(FoldCase(s.out)), std::string::npos) << run.out;
    EXPECT_NE(FoldCase(run.err).find(FoldCase(s.err)), std::string::npos) << run.err;
    if (!s.listed.empty()) expected = s.listed;
    EXPECT_EQ(tool.Section(), expected == base ? before : tool.Listed(expected));
  }
  // The list the other commands see is the rewritten one.
  RunResult formats = tool.Run({"formats"});
  EXPECT_EQ(formats.status, 0) << formats.err;
  std::size_t testAt = formats.out.find("  imexp_test_converter (");
  std::size_t bmpAt = formats.out.find("  BMP (");
  EXPECT_NE(testAt, std::string::npos) << formats.out;
  EXPECT_GT(bmpAt, testAt) << formats.out;
  EXPECT_EQ(formats.out.find("  PNM ("), std::string::npos) << formats.out;
}

}  // namespace
}  // namespace imexp::test::cli
