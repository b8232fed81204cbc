// Module loading conformance with a real tiny library.
#include <gtest/gtest.h>

#include <string>

#include <imexp/converter.h>

#include "platform/win32.h"
#include "tests/support/test_support.h"

namespace imexp::test {
namespace {

using TinyAnswerFn = int(CONV_API*)();

TEST(ModuleTest, LoadsByFullPathAndReportsIt) {
  std::string path = NativePath(ExecutableDir() / SharedLibraryName("imexp_tiny_library"));
  HMODULE module = LoadLibraryA(path.c_str());
  ASSERT_TRUE(platform::IsLoadedModule(module));
  auto answer = reinterpret_cast<TinyAnswerFn>(reinterpret_cast<void*>(GetProcAddress(module, "TinyAnswer")));
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 42);
  EXPECT_EQ(GetProcAddress(module, "ConvGetVersion"), nullptr);

  char name[512];
  DWORD length = GetModuleFileNameA(module, name, sizeof name);
  EXPECT_EQ(length, path.size());
  EXPECT_EQ(FoldCase(name), FoldCase(path));

  // Too small a buffer: the name is cut and the result is the buffer size.
  char small[6];
  EXPECT_EQ(GetModuleFileNameA(module, small, sizeof small), sizeof small);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(std::string(small, 5), path.substr(0, 5));
  // Windows since Vista terminates the cut name; wine leaves it unterminated.
  if (!IsWine()) {
    EXPECT_EQ(small[5], '\0');
  }
  EXPECT_TRUE(FreeLibrary(module));
}

TEST(ModuleTest, RelativePathsBecomeFullPaths) {
  fs::path previous = fs::current_path();
  fs::current_path(ExecutableDir());
  std::string relative = "." + std::string(1, static_cast<char>(fs::path::preferred_separator)) +
                         SharedLibraryName("imexp_tiny_library");
  HMODULE module = LoadLibraryA(relative.c_str());
  fs::current_path(previous);
  ASSERT_TRUE(platform::IsLoadedModule(module));
  char name[512];
  GetModuleFileNameA(module, name, sizeof name);
  EXPECT_EQ(FoldCase(name), FoldCase(NativePath(ExecutableDir() / SharedLibraryName("imexp_tiny_library"))));
  FreeLibrary(module);
}

// Converters are loaded with the search limited to the library's own folder
// and the system's: the library itself must then be named by its full path.
TEST(ModuleTest, RestrictedSearchTakesFullPathsOnly) {
  constexpr DWORD kSearch = LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;
  std::string name = SharedLibraryName("imexp_tiny_library");
  HMODULE module = LoadLibraryExA(NativePath(ExecutableDir() / name).c_str(), nullptr, kSearch);
  ASSERT_TRUE(platform::IsLoadedModule(module));
  auto answer = reinterpret_cast<TinyAnswerFn>(reinterpret_cast<void*>(GetProcAddress(module, "TinyAnswer")));
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 42);
  EXPECT_TRUE(FreeLibrary(module));

  fs::path previous = fs::current_path();
  fs::current_path(ExecutableDir());
  std::string dotted = "." + std::string(1, static_cast<char>(fs::path::preferred_separator)) + name;
  for (const std::string& relative : {name, dotted}) {
    SetLastError(0);
    EXPECT_EQ(LoadLibraryExA(relative.c_str(), nullptr, kSearch), nullptr) << relative;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << relative;
  }
  fs::current_path(previous);
}

TEST(ModuleTest, MissingLibraryGivesHandleBelow32) {
  UINT previous = SetErrorMode(SEM_NOOPENFILEERRORBOX);
  TempDir dir;
  HMODULE module = LoadLibraryA(dir.File(SharedLibraryName("absent")).c_str());
  EXPECT_FALSE(platform::IsLoadedModule(module));
  WriteFileBytes(dir.path() / SharedLibraryName("garbage"), "this is not a library");
  module = LoadLibraryA(dir.File(SharedLibraryName("garbage")).c_str());
  EXPECT_FALSE(platform::IsLoadedModule(module));
  EXPECT_EQ(SetErrorMode(previous), static_cast<UINT>(SEM_NOOPENFILEERRORBOX));
}

TEST(ModuleTest, OwnProgramName) {
  char name[512];
  DWORD length = GetModuleFileNameA(nullptr, name, sizeof name);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(FoldCase(fs::path(name).parent_path().string()), FoldCase(NativePath(ExecutableDir())));
}

}  // namespace
}  // namespace imexp::test
