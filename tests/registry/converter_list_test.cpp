// Loading the converter list from a real CONVERT.INI with real libraries.

#include "registry/entry_points.h"
#include "resource_ids.h"
#include "tests/registry/registry_fixture.h"

namespace imexp::test {
namespace {

TEST_F(RegistryTest, IniPathLiesBesideTheManager) {
  setup_.WriteIni("");
  EXPECT_EQ(LoadList(), CONV_ERR_NOT_CONFIGURED);
  EXPECT_EQ(FoldCase(IniPath()), FoldCase(setup_.IniPath()));
}

TEST_F(RegistryTest, AbsoluteAndRelativePathsInListOrder) {
  std::string absolute = setup_.InstallConverter("imexp_test_converter", "far", "elsewhere");
  std::string absolutePath = NativePath(setup_.dir().path() / "elsewhere" / absolute);
  std::string relative = Install("near");
  std::string inSub = setup_.InstallConverter("imexp_test_converter", "deep", "sub");
  std::string subValue = "sub" + std::string(1, static_cast<char>(fs::path::preferred_separator)) + inSub;
  setup_.WriteIni("[Converters]\n0=" + absolutePath + "\nsecond=" + relative + "\nthird=" + subValue + "\n");
  ASSERT_EQ(LoadList(), 0);
  ASSERT_EQ(ConverterCount(), 3);
  EXPECT_EQ(FoldCase(ConverterAt(0).path), FoldCase(absolutePath));
  EXPECT_EQ(FoldCase(ConverterAt(1).path), FoldCase(setup_.dir().File(relative)));
  EXPECT_EQ(FoldCase(ConverterAt(2).path), FoldCase(NativePath(setup_.dir().path() / "sub" / inSub)));
  EXPECT_EQ(NameAt(0), "far");
  EXPECT_EQ(NameAt(1), "near");
  EXPECT_EQ(NameAt(2), "deep");
  // Each converter was asked for its record with the path already written
  // and the full path of CONVERT.INI.
  auto infos = LinesWith(setup_.CallLog(), "ConvGetDllInfo");
  ASSERT_EQ(infos.size(), 1u);  // the other copies log in their own folders
  EXPECT_NE(FoldCase(infos[0]).find(FoldCase(setup_.dir().File(relative))), std::string::npos) << infos[0];
  EXPECT_NE(FoldCase(infos[0]).find("INIPATH='" + FoldCase(setup_.IniPath()) + "'"), std::string::npos)
      << infos[0];
}

TEST_F(RegistryTest, UnusableEntriesLeaveNoGap) {
  std::string good1 = Install("good1");
  std::string old = Install("old");
  std::string good2 = Install("good2");
  std::string noVersion = Install("nover", "imexp_test_converter_no_ConvGetVersion");
  std::string noInfo = Install("noinfo", "imexp_test_converter_no_ConvGetDllInfo");
  WriteFileBytes(setup_.dir().path() / SharedLibraryName("garbage"), "not a library");
  setup_.WriteIni("[Converters]\na=" + good1 + "\nempty=\nb=" + old + "\nmissing=" +
                  SharedLibraryName("absent") + "\nc=" + noVersion + "\nd=" + SharedLibraryName("garbage") +
                  "\ne=" + noInfo + "\nf=" + good2 + "\n[old]\nVersion=0x000202FF\n");
  ASSERT_EQ(LoadList(), 0);
  ASSERT_EQ(ConverterCount(), 2);
  EXPECT_EQ(NameAt(0), "good1");
  EXPECT_EQ(NameAt(1), "good2");
  // The block holds exactly the usable records.
  HGLOBAL block = GlobalHandle(ConverterRecords());
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(GlobalSize(block), 2 * sizeof(ConvRecord));
  EXPECT_EQ(sizeof(ConvRecord), 348u);
}

TEST_F(RegistryTest, ThreeKeysSecondFailingShrinksTo696Bytes) {
  std::string a = Install("a");
  std::string b = Install("b");
  std::string c = Install("c");
  setup_.WriteIni("[Converters]\n0=" + a + "\n1=" + b + "\n2=" + c + "\n[b]\nVersion=0x00000200\n");
  ASSERT_EQ(LoadList(), 0);
  ASSERT_EQ(ConverterCount(), 2);
  EXPECT_EQ(NameAt(0), "a");
  EXPECT_EQ(NameAt(1), "c");
  EXPECT_EQ(GlobalSize(GlobalHandle(ConverterRecords())), 696u);
}

TEST_F(RegistryTest, VersionWordsAtListLoad) {
  struct Case {
    const char* version;
    bool accepted;
  } cases[] = {{"0x000202FF", false}, {"0x00010300", true}, {"0x00000300", true},
               {"0x000002FF", false}, {"0xFFFF0300", true}, {"0x00000400", true}};
  std::string list = "[Converters]\n";
  std::string sections;
  int i = 0;
  for (const Case& c : cases) {
    std::string copy = "v" + std::to_string(i);
    list += std::to_string(i) + "=" + Install(copy) + "\n";
    sections += "[" + copy + "]\nVersion=" + c.version + "\n";
    ++i;
  }
  std::string ini = list + sections;
  setup_.WriteIni(ini);
  ASSERT_EQ(LoadList(), 0);
  std::vector<std::string> expected;
  for (std::size_t k = 0; k < std::size(cases); ++k) {
    if (cases[k].accepted) expected.push_back("v" + std::to_string(k));
  }
  ASSERT_EQ(ConverterCount(), static_cast<int>(expected.size()));
  for (std::size_t k = 0; k < expected.size(); ++k) EXPECT_EQ(NameAt(static_cast<int>(k)), expected[k]);
}

TEST_F(RegistryTest, NoUsableConverterMeansNotConfigured) {
  struct Case {
    const char* name;
    std::string ini;
  } cases[] = {
      {"no file", ""},
      {"no section", "[Settings]\nOpenDir=x\n"},
      {"empty section", "[Converters]\n"},
      {"only empty values", "[Converters]\n0=\n1=\n"},
      {"only missing libraries", "[Converters]\n0=" + SharedLibraryName("none") + "\n"},
  };
  for (const Case& c : cases) {
    if (!c.ini.empty()) setup_.WriteIni(c.ini);
    EXPECT_EQ(LoadList(), CONV_ERR_NOT_CONFIGURED) << c.name;
    EXPECT_EQ(ConverterCount(), 0) << c.name;
    EXPECT_EQ(ConverterRecords(), nullptr) << c.name;
    setup_.Unload();
  }
}

TEST_F(RegistryTest, PathsThatDoNotFitTheRecordAreSkipped) {
  std::string good = Install("good");
  // A relative value that fits 128 bytes alone but not after the manager's
  // folder, and one that is longer than the record's field itself.
  std::size_t folder = setup_.dir().File("").size();
  std::string longName(128 - folder, 'l');
  std::string longCopy = Install(longName);
  std::string huge(140, 'h');
  setup_.WriteIni("[Converters]\n0=" + longCopy + "\n1=" + huge + SharedLibraryName("") + "\n2=" + good +
                  "\n");
  ASSERT_EQ(LoadList(), 0);
  ASSERT_EQ(ConverterCount(), 1);
  EXPECT_EQ(NameAt(0), "good");
  for (const std::string& line : setup_.CallLog()) EXPECT_EQ(line.find(longName), std::string::npos) << line;
}

TEST_F(RegistryTest, RecordStringsWithoutTerminatorStayInTheirFields) {
  std::string loud = Install("loud");
  std::string tail(200, 'N');
  setup_.WriteIni("[Converters]\n0=" + loud + "\n[loud]\nUnterminated=1\nName=" + tail +
                  "\nDescription=" + tail + "\nExtensions=*.TST;" + tail + "\n");
  ASSERT_EQ(LoadList(), 0);
  const ConvRecord& record = ConverterAt(0);
  EXPECT_EQ(std::string(record.name), std::string(127, 'N'));
  EXPECT_EQ(std::string(record.description), std::string(39, 'N'));
  EXPECT_EQ(std::string(record.extensions).size(), 41u);
  EXPECT_EQ(FindConverterByName(std::string(127, 'n').c_str()), 0);
}

TEST_F(RegistryTest, FindConverterByNameAndLoadConverter) {
  std::string a = Install("a");
  std::string b = Install("b");
  setup_.WriteIni("[Converters]\n0=" + a + "\n1=" + b + "\n[a]\nName=TIFF\n[b]\nName=Bitmap\n");
  ASSERT_EQ(LoadList(), 0);
  EXPECT_EQ(FindConverterByName("tiff"), 0);
  EXPECT_EQ(FindConverterByName("BITMAP"), 1);
  EXPECT_EQ(FindConverterByName("bitma"), -1);
  EXPECT_EQ(FindConverterByName(nullptr), -1);

  EXPECT_EQ(LoadConverter(2), nullptr);
  EXPECT_EQ(LoadConverter(-1), nullptr);
  HMODULE library = LoadConverter(1);
  ASSERT_NE(library, nullptr);
  EXPECT_NE(GetEntryPoint(library, IDS_RD_READ_BAND), nullptr);
  EXPECT_EQ(GetEntryPoint(library, IDS_ERROR_CAPTION), nullptr);  // "Converter Error" is no export
  FreeLibrary(library);
  EXPECT_FALSE(IsLibraryLoaded(setup_.dir().path() / b));
}

TEST_F(RegistryTest, ConvertersAreUnloadedAfterTheListIsBuilt) {
  std::string a = Install("a");
  setup_.WriteIni("[Converters]\n0=" + a + "\n");
  ASSERT_EQ(LoadList(), 0);
  EXPECT_FALSE(IsLibraryLoaded(setup_.dir().path() / a));
}

TEST_F(RegistryTest, AllocationFailuresLeaveTheListEmpty) {
  std::string a = Install("a");
  std::string b = Install("b");
  setup_.WriteIni("[Converters]\n0=" + a + "\n1=" + b + "\n[b]\nVersion=0\n");
  setup_.Load();
  AttachRegistry(static_cast<HINSTANCE>(setup_.manager().handle()));
  if (!FailNthAllocation(nullptr, 1)) GTEST_SKIP() << "the Windows heap cannot be told to fail";
  EXPECT_EQ(LoadConverterList(), CONV_ERR_NO_MEMORY);  // the key buffer
  EXPECT_EQ(ConverterRecords(), nullptr);
  FailNthAllocation(nullptr, 2);
  EXPECT_EQ(LoadConverterList(), CONV_ERR_NO_MEMORY);  // the list block
  EXPECT_EQ(ConverterCount(), 0);
  FailNthAllocation(nullptr, 3);
  EXPECT_EQ(LoadConverterList(), 0);  // the shrink: the larger block stays
  EXPECT_EQ(ConverterCount(), 1);
  EXPECT_EQ(GlobalSize(GlobalHandle(ConverterRecords())), 2 * sizeof(ConvRecord));
  EXPECT_EQ(NameAt(0), "a");
  FailNthAllocation(nullptr, 0);
}

}  // namespace
}  // namespace imexp::test
