// The extension a name saved without one gets from the chosen format, and
// that it never takes the path past the 256 bytes the caller has.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "dialogs/save_names.h"

namespace imexp::test {
namespace {

TEST(SaveNamesTest, TheLastPatternsExtensionAsItStands) {
  std::string longest(255 - 5, 'n');  // with ".TIFF", 255 characters: fits
  struct Case {
    std::string path;
    const char* masks;
    std::string result;
    bool fits;
  } cases[] = {
      {"NAME", "*.TIF;*.TIFF", "NAME.TIFF", true},
      {"NAME", "*.BMP", "NAME.BMP", true},
      {"NAME", "*.T;*X", "NAME.T", true},
      {"NAME", "*.*", "NAME.*", true},
      {"NAME", "*", "NAME", true},
      {"NAME.", "*.BMP", "NAME.", true},
      {"NAME.JPG", "*.BMP", "NAME.JPG", true},
      {"dir.d/NAME", "*.BMP", "dir.d/NAME.BMP", true},
      {longest, "*.TIFF", longest + ".TIFF", true},
      {longest + "n", "*.TIFF", longest + "n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.substr(0, 20) + " " + c.masks);
    char buffer[400];
    std::memset(buffer, '#', sizeof buffer);
    std::strcpy(buffer, c.path.c_str());
    EXPECT_EQ(AddFormatExtension(buffer, c.masks), c.fits);
    EXPECT_EQ(std::string(buffer), c.result);
    EXPECT_EQ(buffer[kSavePathSize], '#');
  }
}

}  // namespace
}  // namespace imexp::test
