// Reader detection: extension masks, content checks and the exported
// FindReader of a manager loaded like a host loads it.
#include <imexp/host.h>

#include "registry/reader_detection.h"
#include "tests/registry/registry_fixture.h"

namespace imexp::test {
namespace {

TEST(MatchExtensionTest, Masks) {
  struct Case {
    const char* path;
    const char* masks;
    int expected;
  } cases[] = {
      {"a.tiff", "*.TIF;*.TIFF", 1},  // the first mask ends early, the second matches
      {"a.tif", "*.TIF;*.TIFF", 1},
      {"a.tifff", "*.TIF;*.TIFF", 0},
      {"photo.bmp", "*.*", 1},
      {"noextension", "*.*", 0},
      {"photo.bmp", "*", 0},  // no dot in the masks: nothing matches
      {"x.jpg", "*.JP?", 1},
      {"x.JPE", "*.JP?", 1},
      {"x.jp", "*.JP?", 0},  // '?' does not match the end
      {"x.jpeg", "*.JP?", 0},
      {"a.bmp", "*.PCX;*.BMP;*.DIB", 1},
      {"a.dib", "*.PCX;*.BMP;*.DIB", 1},
      {"a.pc", "*.PCX", 0},
      {"a.pcxx", "*.PCX", 0},
      {"archive.tar.gz", "*.GZ", 1},  // the last dot starts the extension
      {"archive.tar.gz", "*.TAR", 0},
      {".bmp", "*.BMP", 1},  // a leading dot counts as found
      {"a.", "*.", 1},
      {"a.b", "", 0},
      {"a.b", "*.B*", 1},  // '*' ends the comparison
      {"a.bcd", "*.B*", 1},
      {"a.bmp", "BMP.*", 1},  // every dot starts an attempt
      {"a.xbmp", "*.X.BMP", 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MatchExtension(c.path, c.masks), c.expected) << c.path << " " << c.masks;

  // Only the file name can carry the extension.
  std::string sep(1, platform::kPathSeparator);
  EXPECT_EQ(MatchExtension(("DIR.X" + sep + "FILE").c_str(), "*.X"), 0);
  EXPECT_EQ(MatchExtension(("DIR.X" + sep + "FILE.BMP").c_str(), "*.BMP"), 1);
  EXPECT_EQ(MatchExtension(nullptr, "*.BMP"), 0);
  EXPECT_EQ(MatchExtension("a.bmp", nullptr), 0);
}

// FindReader of a manager copy with test converter copies in their order.
class FindReaderTest : public ::testing::Test {
 protected:
  // Each entry: copy name and its script lines.
  void Configure(const std::vector<std::pair<std::string, std::string>>& converters) {
    std::string list = "[Converters]\n";
    std::string sections;
    int i = 0;
    for (const auto& [copy, script] : converters) {
      list += std::to_string(i++) + "=" + setup_.InstallConverter("imexp_test_converter", copy) + "\n";
      sections += "[" + copy + "]\n" + script + "\n";
    }
    setup_.WriteIni(list + sections);
    findReader_ = setup_.Load().Get<FindReaderFn>("FindReader");
    ASSERT_NE(findReader_, nullptr);
    setup_.ClearCallLog();
  }

  std::string File(const std::string& name, const std::string& content = "IMEXPTEST\nDATA\n") {
    std::string path = setup_.dir().File(name);
    WriteFileBytes(path, content);
    return path;
  }

  // The detected reader's name, or "" when none.
  std::string Find(const std::string& path, const char* preferred = "") {
    char name[128];
    std::snprintf(name, sizeof name, "%s", preferred);
    return findReader_(const_cast<char*>(path.c_str()), name) ? std::string(name) : std::string();
  }

  std::vector<std::string> Probes() { return LinesWith(setup_.CallLog(), "RDCheckFile"); }

  ManagerSetup setup_;
  FindReaderFn findReader_ = nullptr;
};

TEST_F(FindReaderTest, SecondBmpReaderAcceptsWhatTheFirstRefuses) {
  Configure({{"first", "Name=FIRST\nExtensions=*.BMP\nCheck=refuse"},
             {"second", "Name=SECOND\nExtensions=*.BMP;*.DIB\nCheck=accept"},
             {"third", "Name=THIRD\nExtensions=*.PCX\nCheck=accept"}});
  EXPECT_EQ(Find(File("a.bmp")), "SECOND");
  auto probes = Probes();
  ASSERT_EQ(probes.size(), 2u);
  EXPECT_EQ(probes[0].rfind("first ", 0), 0u);
  EXPECT_EQ(probes[1].rfind("second ", 0), 0u);
}

TEST_F(FindReaderTest, ClaimedExtensionIsNeverDecidedByContentAlone) {
  Configure({{"first", "Name=FIRST\nExtensions=*.BMP\nCheck=refuse"},
             {"second", "Name=SECOND\nExtensions=*.BMP\nCheck=refuse"},
             {"third", "Name=THIRD\nExtensions=*.PCX\nCheck=accept"}});
  EXPECT_EQ(Find(File("a.bmp")), "");
  EXPECT_TRUE(LinesWith(setup_.CallLog(), "third").empty());
}

TEST_F(FindReaderTest, ContentDecidesWhenNoReaderClaimsTheExtension) {
  Configure({{"writer", "Name=WRITER\nFlags=0x12\nExtensions=*.XYZ\nCheck=accept"},
             {"blind", "Name=BLIND\nFlags=0x01\nExtensions=*.PCX"},
             {"picky", "Name=PICKY\nExtensions=*.PCX\nCheck=refuse"},
             {"magic", "Name=MAGIC\nExtensions=*.TST"},
             {"magic2", "Name=MAGIC2\nExtensions=*.TS2"}});
  EXPECT_EQ(Find(File("image.xyz")), "MAGIC");
  auto probes = Probes();
  ASSERT_EQ(probes.size(), 2u);  // only readers that check content, in list order
  EXPECT_EQ(probes[0].rfind("picky ", 0), 0u);
  EXPECT_EQ(probes[1].rfind("magic ", 0), 0u);
  // The open file is shared and not rewound: each probe finds it where the
  // one before left it.
  setup_.ClearCallLog();
  EXPECT_EQ(Find(File("plain.xyz", "no magic here")), "");
  probes = Probes();
  ASSERT_EQ(probes.size(), 3u);
  EXPECT_NE(probes[1].find("position=0"), std::string::npos) << probes[1];  // picky read nothing
  EXPECT_NE(probes[2].find("position=9"), std::string::npos) << probes[2];  // magic read 9 bytes
}

TEST_F(FindReaderTest, ReaderWithoutContentCheckIsChosenWithoutLoading) {
  Configure({{"trusting", "Name=TRUSTING\nFlags=0x01\nExtensions=*.BMP"},
             {"checking", "Name=CHECKING\nExtensions=*.BMP\nCheck=accept"}});
  EXPECT_EQ(Find(File("really_a_pcx.bmp", "PCX data")), "TRUSTING");
  EXPECT_TRUE(setup_.CallLog().empty());
}

TEST_F(FindReaderTest, PreferredConverterComesFirst) {
  Configure({{"bmp", "Name=BMP\nExtensions=*.BMP\nCheck=accept"},
             {"anything", "Name=ANYTHING\nFlags=0x02\nExtensions=*.ANY"},
             {"magic", "Name=MAGIC\nExtensions=*.TST"}});
  std::string file = File("x.bmp");
  EXPECT_EQ(Find(file, "magic"), "MAGIC");  // by content, before the extension's reader
  // Without the content-check flag the preferred converter takes any file,
  // and its reader flag is not consulted.
  EXPECT_EQ(Find(file, "Anything"), "ANYTHING");
  EXPECT_EQ(Find(file, "unknown"), "BMP");
  // A preferred converter that refuses is not asked a second time.
  setup_.ClearCallLog();
  EXPECT_EQ(Find(File("y.txt", "nothing"), "magic"), "BMP");
  auto probes = Probes();
  ASSERT_EQ(probes.size(), 2u);
  EXPECT_EQ(probes[0].rfind("magic ", 0), 0u);
  EXPECT_EQ(probes[1].rfind("bmp ", 0), 0u);
}

TEST_F(FindReaderTest, NullNameMissingFileAndMissingCheckEntry) {
  Configure({{"magic", "Name=MAGIC\nExtensions=*.TST"}});
  std::string file = File("a.tst");
  EXPECT_EQ(findReader_(const_cast<char*>(file.c_str()), nullptr), 1);
  std::string missing = setup_.dir().File("missing.tst");
  EXPECT_EQ(findReader_(const_cast<char*>(missing.c_str()), nullptr), 0);
  EXPECT_EQ(findReader_(nullptr, nullptr), 0);
}

TEST_F(FindReaderTest, ContentCheckerWithoutRDCheckFileRefuses) {
  std::string list =
      "[Converters]\n0=" + setup_.InstallConverter("imexp_test_converter_no_RDCheckFile", "nocheck") +
      "\n1=" + setup_.InstallConverter("imexp_test_converter", "magic") + "\n";
  setup_.WriteIni(list +
                  "[nocheck]\nName=NOCHECK\nExtensions=*.TST\n[magic]\nName=MAGIC\nExtensions=*.TST\n");
  findReader_ = setup_.Load().Get<FindReaderFn>("FindReader");
  EXPECT_EQ(Find(File("a.tst")), "MAGIC");
}

TEST_F(FindReaderTest, EveryProbeUnloadsItsConverter) {
  Configure({{"first", "Name=FIRST\nExtensions=*.BMP\nCheck=refuse"},
             {"second", "Name=SECOND\nExtensions=*.BMP\nCheck=accept"}});
  EXPECT_EQ(Find(File("a.bmp")), "SECOND");
  EXPECT_FALSE(IsLibraryLoaded(setup_.dir().path() / SharedLibraryName("first")));
  EXPECT_FALSE(IsLibraryLoaded(setup_.dir().path() / SharedLibraryName("second")));
}

}  // namespace
}  // namespace imexp::test
