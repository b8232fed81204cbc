// The converter list as CONVERT.INI beside the manager states it: section
// Converters, its values in file order.
#pragma once

#include <string>
#include <vector>

namespace imexp::cli {

// Values of section `section` (matched without case) of the INI text, in
// the order the file gives them; keys without a value are left out.
std::vector<std::string> SectionValues(const std::string& iniText, const std::string& section);

}  // namespace imexp::cli
