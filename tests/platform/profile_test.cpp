// Private-profile conformance: the same cases run against our POSIX layer and
// against Win32 (under wine). Expected bytes are what Win32 writes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/win32.h"
#include "tests/support/test_support.h"

namespace imexp::test {
namespace {

class ProfileTest : public ::testing::Test {
 protected:
  TempDir dir_;
  std::string ini_ = dir_.File("test.ini");
  std::string Bytes() const { return ReadFileBytes(ini_); }
  void Write(const char* section, const char* key, const char* value) {
    ASSERT_TRUE(WritePrivateProfileStringA(section, key, value, ini_.c_str()));
  }
  std::string Read(const char* section, const char* key, const char* fallback = "") {
    char buffer[256];
    GetPrivateProfileStringA(section, key, fallback, buffer, sizeof buffer, ini_.c_str());
    return buffer;
  }
};

TEST_F(ProfileTest, WritesSectionsAndKeysInOrderWithCrLf) {
  Write("Converters", "0", "a.dll");
  Write("Converters", "1", "b.dll");
  Write("Settings", "OpenDir", "C:\\x");
  Write("converters", "1", "B2.dll");  // another case finds the same key
  EXPECT_EQ(Bytes(), "[Converters]\r\n0=a.dll\r\n1=B2.dll\r\n[Settings]\r\nOpenDir=C:\\x\r\n");
}

TEST_F(ProfileTest, RemovesKeysBySectionAndNullValue) {
  Write("Converters", "0", "a.dll");
  Write("Settings", "OpenDir", "x");
  Write("Settings", "OpenFormat", "BMP");
  Write("SETTINGS", "opendir", nullptr);
  EXPECT_EQ(Bytes(), "[Converters]\r\n0=a.dll\r\n[Settings]\r\nOpenFormat=BMP\r\n");
  Write("converters", nullptr, nullptr);
  EXPECT_EQ(Bytes(), "[Settings]\r\nOpenFormat=BMP\r\n");
  // Removing what is not there succeeds and changes nothing.
  Write("Missing", nullptr, nullptr);
  Write("Settings", "Missing", nullptr);
  EXPECT_EQ(Bytes(), "[Settings]\r\nOpenFormat=BMP\r\n");
}

TEST_F(ProfileTest, RewritingConvertersSectionWithNumberedKeys) {
  // What the setup dialog does: remove the section, write keys 0, 1, ...
  WriteFileBytes(ini_, "[Settings]\r\nOpenDir=D\r\n[Converters]\r\nbmp=bmp.dll\r\npcx=pcx.dll\r\n");
  Write("Converters", nullptr, nullptr);
  Write("Converters", "0", "/full/pcx.dll");
  Write("Converters", "1", "/full/bmp.dll");
  EXPECT_EQ(Bytes(), "[Settings]\r\nOpenDir=D\r\n[Converters]\r\n0=/full/pcx.dll\r\n1=/full/bmp.dll\r\n");
}

TEST_F(ProfileTest, ReadsHandWrittenFiles) {
  WriteFileBytes(ini_,
                 "top=1\n; comment line\n[ Sec ]\n  key1 =  value one  \nnoequals\n;c2\n"
                 "quoted=\"q v\"\nsq='x'\nhalf=\"abc\nempty=\n\n[Sec2]\nk=v\n[Sec]\nk2=dup\n");
  struct Case {
    const char* section;
    const char* key;
    const char* expected;
  } cases[] = {
      {"sec", "KEY1", "value one"},  // names without case, blanks trimmed
      {"Sec", "noequals", "dflt"},   // a line without '=' is no key
      {"Sec", ";c2", "dflt"},        // nor is a comment
      {"Sec", "quoted", "q v"},      // matching quotes are removed
      {"Sec", "sq", "x"},           {"Sec", "half", "\"abc"},
      {"Sec", "empty", ""},         {"Sec", "k2", "dflt"},  // only the first section of a name counts
      {"Sec2", "k", "v"},           {"", "top", "1"},       // lines before the first section
      {"Nope", "k", "dflt"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Read(c.section, c.key, "dflt  "), c.expected) << c.section << "/" << c.key;
  }
  char keys[256];
  DWORD n = GetPrivateProfileStringA("Sec", nullptr, "", keys, sizeof keys, ini_.c_str());
  EXPECT_EQ(std::string(keys, n + 1), std::string("key1\0quoted\0sq\0half\0empty\0", 27));
}

TEST_F(ProfileTest, MissingFileOrSectionReadsAsEmpty) {
  EXPECT_EQ(Read("Settings", "OpenDir", "def"), "def");
  char keys[16] = "xxxxxxxxxxxxxxx";
  EXPECT_EQ(GetPrivateProfileStringA("Converters", nullptr, "", keys, sizeof keys, ini_.c_str()), 0u);
  EXPECT_EQ(keys[0], '\0');
  Write("Settings", "OpenDir", "D");
  EXPECT_EQ(GetPrivateProfileStringA("Converters", nullptr, "", keys, sizeof keys, ini_.c_str()), 0u);
  EXPECT_EQ(keys[0], '\0');
  EXPECT_EQ(Read("Settings", "OpenFormat", nullptr), "");
}

TEST_F(ProfileTest, ValueTruncationKeepsTerminator) {
  Write("S", "long", "hello");
  struct Case {
    DWORD size;
    DWORD result;
    const char* text;
  } cases[] = {{1, 0, ""}, {2, 1, "h"}, {5, 4, "hell"}, {6, 5, "hello"}, {7, 5, "hello"}};
  for (const Case& c : cases) {
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(GetPrivateProfileStringA("S", "long", "", buffer, c.size, ini_.c_str()), c.result) << c.size;
    EXPECT_STREQ(buffer, c.text) << c.size;
    EXPECT_EQ(buffer[c.size], '#') << "wrote past the buffer of " << c.size;
  }
  // The default value is cut the same way, after its trailing blanks go.
  char buffer[8];
  EXPECT_EQ(GetPrivateProfileStringA("S", "none", "deflt  ", buffer, 4, ini_.c_str()), 3u);
  EXPECT_STREQ(buffer, "def");
}

TEST_F(ProfileTest, KeyListEndsInTwoZerosAndIsCutToTheBuffer) {
  Write("S", "ab", "1");
  Write("S", "cd", "2");
  // The whole list "ab\0cd\0\0" needs 7 bytes.
  char buffer[16];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(GetPrivateProfileStringA("S", nullptr, "", buffer, 8, ini_.c_str()), 6u);
  EXPECT_EQ(std::string(buffer, 8), std::string("ab\0cd\0\0#", 8));

  // Too small: the last name is cut and the result is size - 2. Windows
  // documents (and does) two zeros at the end of the buffer; wine writes one
  // zero and leaves the last byte alone.
  struct Case {
    DWORD size;
    const char* prefix;
    std::size_t prefixLength;
  } cases[] = {{6, "ab\0c\0", 5}, {5, "ab\0\0", 4}, {3, "a\0", 2}};
  for (const Case& c : cases) {
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(GetPrivateProfileStringA("S", nullptr, "", buffer, c.size, ini_.c_str()), c.size - 2) << c.size;
    EXPECT_EQ(std::string(buffer, c.prefixLength), std::string(c.prefix, c.prefixLength)) << c.size;
    if (!IsWine()) {
      EXPECT_EQ(buffer[c.size - 1], '\0') << c.size;
    }
    EXPECT_EQ(buffer[c.size], '#') << "wrote past the buffer of " << c.size;
  }
}

TEST_F(ProfileTest, ValuesLoseLeadingBlanksWhenWritten) {
  Write("S", "sp", "  lead and trail  ");
  EXPECT_EQ(Bytes(), "[S]\r\nsp=lead and trail  \r\n");
  EXPECT_EQ(Read("S", "sp"), "lead and trail");
}

TEST_F(ProfileTest, RewriteKeepsCommentsAndNormalisesLayout) {
  WriteFileBytes(ini_, "top=1\n; comment line\n\n[ Sec ]\n  key1 =  value one  \nnoequals\n\n[Sec2]\nk=v\n");
  Write("Sec2", "new", "x");
  Write("SEC", "key1", "v1");
  Write("New Sec", "z", "9");
  EXPECT_EQ(Bytes(),
            "top=1\r\n; comment line\r\n[Sec]\r\nkey1=v1\r\nnoequals\r\n[Sec2]\r\nk=v\r\nnew=x\r\n"
            "[New Sec]\r\nz=9\r\n");
}

}  // namespace
}  // namespace imexp::test
