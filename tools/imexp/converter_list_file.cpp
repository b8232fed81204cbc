#include "tools/imexp/converter_list_file.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace imexp::cli {

namespace {

std::string Trim(const std::string& text) {
  std::size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return "";
  std::size_t end = text.find_last_not_of(" \t\r");
  return text.substr(begin, end - begin + 1);
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

std::vector<std::string> SectionValues(const std::string& iniText, const std::string& section) {
  std::vector<std::string> values;
  std::istringstream lines(iniText);
  std::string line;
  bool inSection = false;
  while (std::getline(lines, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      std::size_t close = line.find(']');
      inSection = close != std::string::npos && EqualNoCase(Trim(line.substr(1, close - 1)), section);
      continue;
    }
    std::size_t equals = line.find('=');
    if (!inSection || equals == std::string::npos) continue;
    std::string value = Trim(line.substr(equals + 1));
    if (!value.empty()) values.push_back(value);
  }
  return values;
}

}  // namespace imexp::cli
