// How a Windows host meets the manager: imexp.dll loaded by full path from
// a folder of its own, with a DLL named like every DLL of that folder planted
// in the user's current folder and on PATH; and converters loaded thousands
// of times without using up thread-local storage. Windows only: the search
// order and the storage slots are Windows'.
//
// The host is full_path_host.exe, a C program without a C++ runtime of its
// own, run from a third folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/cli/cli_support.h"
#include "tests/support/test_image.h"
#include "tests/support/test_support.h"

namespace imexp::test {
namespace {

// The DLLs of a folder, by file name.
std::vector<std::string> DllsIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (FoldCase(entry.path().extension().string()) == FoldCase(".dll"))
      names.push_back(entry.path().filename().string());
  }
  return names;
}

void CopyInto(const fs::path& file, const fs::path& folder, const std::string& name = {}) {
  fs::copy_file(file, folder / (name.empty() ? file.filename().string() : name),
                fs::copy_options::overwrite_existing);
}

// The manager installed as an installer lays it out, in a folder of its own:
// the manager, the C++ runtime its converters share, the BMP converter and
// the test converter, and CONVERT.INI naming them by file name. The host
// program lies in another folder.
class ManagerLoadingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CopyInto(ExecutableDir() / ManagerLibraryName(), setup_.dir().path());
    for (const std::string& dll : DllsIn(ExecutableDir())) {
      if (dll.rfind("lib", 0) == 0) CopyInto(ExecutableDir() / dll, setup_.dir().path());
    }
    std::string bmp = setup_.InstallConverter("imexp_bmp", "imexp_bmp");
    std::string test = setup_.InstallConverter("imexp_test_converter", "imexp_test_converter");
    setup_.WriteIni("[Converters]\n0=" + bmp + "\n1=" + test + "\n[" + test +
                    "]\nName=TI\nExtensions=*.TI\nquiet=1\n");
    CopyInto(ExecutableDir() / "full_path_host.exe", hostDir_.path());
  }

  cli::RunResult RunHost(const std::vector<std::string>& args) {
    std::vector<std::string> all{NativePath(setup_.dir().path() / ManagerLibraryName())};
    all.insert(all.end(), args.begin(), args.end());
    return cli::RunProgram(hostDir_.File("full_path_host.exe"), all);
  }

  ManagerSetup setup_;
  TempDir hostDir_;
};

// The current folder and a folder put first on PATH, for the programs this
// process starts; both restored at the end of the scope.
class SearchPlaces {
 public:
  SearchPlaces(const fs::path& current, const fs::path& onPath) {
    GetCurrentDirectoryA(sizeof previousCurrent_, previousCurrent_);
    DWORD length = GetEnvironmentVariableA("PATH", nullptr, 0);
    previousPath_.resize(length);
    GetEnvironmentVariableA("PATH", previousPath_.data(), length);
    previousPath_.resize(length > 0 ? length - 1 : 0);
    SetCurrentDirectoryA(NativePath(current).c_str());
    SetEnvironmentVariableA("PATH", (NativePath(onPath) + ";" + previousPath_).c_str());
  }
  ~SearchPlaces() {
    SetCurrentDirectoryA(previousCurrent_);
    SetEnvironmentVariableA("PATH", previousPath_.c_str());
  }
  SearchPlaces(const SearchPlaces&) = delete;
  SearchPlaces& operator=(const SearchPlaces&) = delete;

 private:
  char previousCurrent_[MAX_PATH] = {};
  std::string previousPath_;
};

TEST_F(ManagerLoadingTest, LoadedByFullPathItLoadsNoPlantedDll) {
  TempDir documents;
  TempDir onPath;
  fs::path planted = ExecutableDir() / "planted_library.dll";
  std::vector<std::string> names = DllsIn(setup_.dir().path());
  ASSERT_GE(names.size(), 4u);  // the manager, two converters, the runtime
  for (const std::string& name : names) {
    CopyInto(planted, documents.path(), name);
    CopyInto(planted, onPath.path(), name);
  }
  // A planted DLL leaves its evidence when loaded by name from there.
  CopyInto(planted, documents.path(), "imexp_probe.dll");
  {
    SearchPlaces places(documents.path(), onPath.path());
    UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    EXPECT_EQ(LoadLibraryA("imexp_probe.dll"), nullptr);
    SetErrorMode(previous);
    EXPECT_TRUE(fs::exists(documents.path() / "imexp_probe.dll.loaded"));

    CopyInto(fs::path(IMEXP_SAMPLES_DIR) / "bmp" / "pal256.bmp", documents.path(), "photo.bmp");
    cli::RunResult result = RunHost({"copy", documents.File("photo.bmp"), documents.File("copy.bmp")});
    EXPECT_EQ(result.status, 0) << result.out << result.err;
  }
  for (const std::string& name : names) {
    EXPECT_FALSE(fs::exists(documents.path() / (name + ".loaded")))
        << name << " loaded from the current folder";
    EXPECT_FALSE(fs::exists(onPath.path() / (name + ".loaded"))) << name << " loaded from PATH";
  }
}

// Every operation loads its converter and frees it again. The converters
// share one C++ runtime, kept loaded by the manager: a runtime loaded and
// freed with each converter would take a storage slot each time (the test
// converter's caught exception makes the runtime take one), and the process
// would run out of them after about a thousand operations.
TEST_F(ManagerLoadingTest, ThousandsOfConverterLoadsKeepThreadLocalStorageFlat) {
  TestImage image;
  image.Set("infoCatches", 1);
  std::string file = setup_.dir().File("photo.ti");
  WriteFileBytes(file, image.Bytes());
  cli::RunResult result = RunHost({"info-loop", file, "1200"});
  EXPECT_EQ(result.status, 0) << result.out << result.err;
}

}  // namespace
}  // namespace imexp::test
