// imexp formats: the manager's converter list, in list order, with what
// each converter says of itself, and the save formats the manager offers.
#include <imexp/host.h>

#include <cstdio>
#include <cstring>

#include "resource_ids.h"
#include "tools/imexp/command_line.h"
#include "tools/imexp/host_platform.h"
#include "tools/imexp/info_text.h"

namespace imexp::cli {

namespace {

struct Bit {
  uint32_t bit;
  const char* text;
};

constexpr Bit kCapabilities[] = {
    {CONV_FLAG_READER, "read"},
    {CONV_FLAG_WRITER, "write"},
    {CONV_FLAG_CHECKS_CONTENT, "recognises its files by content"},
    {CONV_FLAG_MULTI_IMAGE, "several images per file"},
    {CONV_FLAG_SETUP, "setup dialog"},
    {CONV_FLAG_ABOUT, "about box"},
};

constexpr Bit kWriteLayouts[] = {
    {WF_GRAY1, "grey 1-bit"},
    {WF_GRAY4, "grey 4-bit"},
    {WF_GRAY8, "grey 8-bit"},
    {WF_GRAY_ANY, "grey 1/4/8-bit"},
    {WF_PAL4, "palette 4-bit"},
    {WF_PAL8, "palette 8-bit"},
    {WF_PAL_ANY, "palette 1/4/8-bit"},
    // The three RGB bits all lead to the same output.
    {WF_RGB24_1 | WF_RGB24_2 | WF_RGB24_3, "RGB 24-bit"},
};

constexpr Bit kResolutionUnits[] = {
    {CONV_RES_DPI, "dots per inch"},
    {CONV_RES_DPCM, "dots per cm"},
    {CONV_RES_SCREEN, "screen size"},
    {CONV_RES_NONE, "none"},
};

template <std::size_t N>
std::string BitNames(uint32_t value, const Bit (&table)[N]) {
  std::string text;
  for (const Bit& entry : table) {
    if ((value & entry.bit) == 0) continue;
    if (!text.empty()) text += ", ";
    text += entry.text;
  }
  return text.empty() ? "-" : text;
}

// One converter of the manager's list: name, the library it was loaded
// from, and what its record says it can do.
void DescribeConverter(const ConvRecord& record) {
  std::printf("  %s (%s)\n", FieldText(record.name, sizeof record.name).c_str(),
              FieldText(record.path, sizeof record.path).c_str());
  std::printf("    description : %s\n", FieldText(record.description, sizeof record.description).c_str());
  std::printf("    extensions  : %s\n", FieldText(record.extensions, sizeof record.extensions).c_str());
  std::printf("    can         : %s\n", BitNames(record.flags, kCapabilities).c_str());
  if (record.flags & CONV_FLAG_WRITER) {
    std::printf("    writes      : %s\n", BitNames(record.writeFormats, kWriteLayouts).c_str());
    std::printf("    resolution  : %s\n", BitNames(record.writeResUnits, kResolutionUnits).c_str());
  }
}

// FillSaveFormatsInfo's list: pairs of description and extensions.
void PrintSaveFormats() {
  unsigned size = static_cast<unsigned>(Manager().fillSaveFormatsInfo(nullptr, 0));
  std::vector<char> buffer(size + 1, '\0');
  int count = size > 0 ? Manager().fillSaveFormatsInfo(buffer.data(), size) : 0;
  std::printf("\nSave formats the manager offers:\n");
  if (count <= 0) std::printf("  none\n");
  const char* at = buffer.data();
  for (int i = 0; i < count && *at != '\0'; ++i) {
    const char* description = at;
    at += std::strlen(at) + 1;
    const char* extensions = at;
    at += std::strlen(at) + 1;
    std::printf("  %-32s %s\n", description, extensions);
  }
}

}  // namespace

int RunFormats(const Arguments& args) {
  const Command& command = *FindCommand("formats");
  if (!args.empty()) return UsageError(command, "unexpected argument " + args[0]);

  int count = Manager().getConverterRecord(-1, nullptr);
  std::printf("Converters the manager loaded:\n");
  if (count <= 0) std::printf("  none\n");
  for (int i = 0; i < count; ++i) {
    ConvRecord record{};
    Manager().getConverterRecord(i, &record);
    DescribeConverter(record);
  }
  PrintSaveFormats();
  std::fflush(stdout);
  if (count <= 0) {
    ReportInManagerWords(IDS_ERR_NOT_CONFIGURED, "");
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace imexp::cli
