// String and arithmetic conformance.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "platform/win32.h"
#include "tests/support/test_support.h"

namespace {

TEST(StringsTest, MulDivRoundsHalfAwayFromZero) {
  struct Case {
    int a, b, c, expected;
  } cases[] = {
      {28, 254, 100, 71},       {118, 254, 100, 300}, {300, 100, 254, 118}, {3, 1, 2, 2},
      {-3, 1, 2, -2},           {5, 1, 2, 3},         {-5, 1, 2, -3},       {5, -1, 2, -3},
      {-5, -1, 2, 3},           {5, 1, -2, -3},       {1, 1, 3, 0},         {2, 1, 3, 1},
      {-2, 1, 3, -1},           {5, 1, 0, -1},        {0, 7, 0, -1},        {INT_MAX, 2, 1, -1},
      {INT_MAX, 2, 2, INT_MAX}, {1, 72, 1, 72},       {2, 72, 1, 144},      {0, 5, 7, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.expected) << c.a << " x " << c.b << " / " << c.c;
  }
}

TEST(StringsTest, WsprintfConversions) {
  char buffer[64];
  EXPECT_EQ(wsprintfA(buffer, "Cannot open file %s", "A.BMP"), 22);
  EXPECT_STREQ(buffer, "Cannot open file A.BMP");
  EXPECT_EQ(wsprintfA(buffer, "%d", -42), 3);
  EXPECT_STREQ(buffer, "-42");
  EXPECT_EQ(wsprintfA(buffer, "%u X %u", 640u, 480u), 9);
  EXPECT_STREQ(buffer, "640 X 480");
  EXPECT_EQ(wsprintfA(buffer, "~cv%05u.tmp", 7u), 12);
  EXPECT_STREQ(buffer, "~cv00007.tmp");
  EXPECT_EQ(wsprintfA(buffer, "~cv%05u.tmp", 123456u), 13);
  EXPECT_STREQ(buffer, "~cv123456.tmp");
  EXPECT_EQ(wsprintfA(buffer, "%s", ""), 0);
}

TEST(StringsTest, LstrFunctions) {
  EXPECT_EQ(lstrcmpiA("converter", "CONVERTER"), 0);
  EXPECT_LT(lstrcmpiA("abc", "ABD"), 0);
  EXPECT_GT(lstrcmpiA("b", "A"), 0);
  EXPECT_NE(lstrcmpiA("abc", "abcd"), 0);
  EXPECT_EQ(lstrlenA("12345"), 5);

  char buffer[8];
  std::memset(buffer, '#', sizeof buffer);
  lstrcpynA(buffer, "hello", 3);
  EXPECT_STREQ(buffer, "he");
  EXPECT_EQ(buffer[3], '#');
  lstrcpyA(buffer, "ab");
  lstrcatA(buffer, "cd");
  EXPECT_STREQ(buffer, "abcd");
}

// Wine finds the length of a null string by catching the fault.
TEST(StringsTest, LengthOfNullIsZero) {
  if (imexp::test::UnderCpuEmulation())
    GTEST_SKIP() << "an emulated CPU's faults cannot be caught inside Win32 functions";
  EXPECT_EQ(lstrlenA(nullptr), 0);
}

TEST(StringsTest, CharUpperInPlaceAndByValue) {
  char text[] = "c:\\images\\photo.jpg";
  EXPECT_EQ(CharUpperA(text), text);
  EXPECT_STREQ(text, "C:\\IMAGES\\PHOTO.JPG");
  auto byValue = [](char c) {
    return static_cast<char>(reinterpret_cast<std::uintptr_t>(
        CharUpperA(reinterpret_cast<LPSTR>(static_cast<std::uintptr_t>(static_cast<unsigned char>(c))))));
  };
  EXPECT_EQ(byValue('j'), 'J');
  EXPECT_EQ(byValue('J'), 'J');
  EXPECT_EQ(byValue('?'), '?');
  EXPECT_EQ(byValue('.'), '.');
}

}  // namespace
