// Scripts and the call log of the test converter.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/plugins/test_converter.h"

namespace tconv {

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Trim(const std::string& text) {
  std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  std::size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) {
    if (!Trim(part).empty()) parts.push_back(Trim(part));
  }
  return parts;
}

}  // namespace

void Script::Set(const std::string& key, const std::string& value) { values_[Lower(key)] = value; }

bool Script::Has(const std::string& key) const { return values_.count(Lower(key)) != 0; }

std::string Script::Text(const std::string& key, const std::string& fallback) const {
  auto it = values_.find(Lower(key));
  return it == values_.end() ? fallback : it->second;
}

long long Script::Number(const std::string& key, long long fallback) const {
  auto it = values_.find(Lower(key));
  if (it == values_.end() || it->second.empty()) return fallback;
  return std::strtoll(it->second.c_str(), nullptr, 0);
}

std::vector<long long> Script::Numbers(const std::string& key) const {
  std::vector<long long> numbers;
  for (const std::string& part : Split(Text(key), ','))
    numbers.push_back(std::strtoll(part.c_str(), nullptr, 0));
  return numbers;
}

std::vector<std::pair<long long, long long>> Script::Pairs(const std::string& key) const {
  std::vector<std::pair<long long, long long>> pairs;
  for (const std::string& part : Split(Text(key), ',')) {
    std::size_t colon = part.find(':');
    long long first = std::strtoll(part.substr(0, colon).c_str(), nullptr, 0);
    long long second =
        colon == std::string::npos ? 1 : std::strtoll(part.substr(colon + 1).c_str(), nullptr, 0);
    pairs.emplace_back(first, second);
  }
  return pairs;
}

std::string CopyName() {
  std::string path = SelfPath();
  std::size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string CopyFolder() {
  std::string path = SelfPath();
  std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

Script LoadScript(const char* iniPath) {
  Script script;
  std::string path = iniPath != nullptr && iniPath[0] != '\0' ? iniPath : CopyFolder() + "CONVERT.INI";
  std::istringstream in(ReadFile(path));
  std::string wanted = Lower(CopyName());
  bool inSection = false;
  std::string line;
  while (std::getline(in, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      std::size_t close = line.find(']');
      inSection =
          Lower(Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1))) == wanted;
      continue;
    }
    std::size_t equals = line.find('=');
    if (inSection && equals != std::string::npos) {
      script.Set(Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)));
    }
  }
  return script;
}

long ParseHeader(const std::string& file, Script& script) {
  std::size_t pos = file.find('\n');
  if (pos == std::string::npos) return -1;
  ++pos;
  while (pos < file.size()) {
    std::size_t end = file.find('\n', pos);
    if (end == std::string::npos) return -1;
    std::string line = Trim(file.substr(pos, end - pos));
    pos = end + 1;
    if (line == "DATA") return static_cast<long>(pos);
    std::size_t equals = line.find('=');
    if (equals != std::string::npos) script.Set(Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)));
  }
  return -1;
}

void Log(const std::string& text) {
  std::string path = CopyFolder() + "calls.log";
  if (FILE* file = std::fopen(path.c_str(), "ab")) {
    std::string line = CopyName() + " " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), file);
    std::fclose(file);
  }
}

int ScriptedError(const Script& script, const std::string& entryPoint, int call) {
  std::string value = script.Text("Error." + entryPoint);
  if (value.empty()) return 0;
  std::size_t at = value.find('@');
  int code = static_cast<int>(std::strtol(value.c_str(), nullptr, 0));
  if (at == std::string::npos) return code;
  return std::strtol(value.c_str() + at + 1, nullptr, 0) == call ? code : 0;
}

std::string Hex(const uint8_t* bytes, std::size_t count) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(count * 2);
  for (std::size_t i = 0; i < count; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text;
}

std::string DescriptorFields(const ConvImageDesc& d) {
  std::ostringstream out;
  out << "width=" << d.width << " height=" << d.height << " colorType=" << d.colorType
      << " bitsPerPixel=" << d.bitsPerPixel << " planes=" << d.planes << " bytesPerLine=" << d.bytesPerLine
      << " packedPixels=" << d.packedPixels << " invertedGray=" << d.invertedGray
      << " bgrOrder=" << d.bgrOrder << " outputBits=" << d.outputBits << " resUnit=" << d.resUnit
      << " resX=" << d.resX << " resY=" << d.resY << " accessMode=" << d.accessMode
      << " rowOrder=" << d.rowOrder << " fixedBand=" << d.fixedBand << " maxBandRows=" << d.maxBandRows
      << " chosenAccess=" << d.chosenAccess << " bandRows=" << d.bandRows << " bandRow=" << d.bandRow
      << " bandCount=" << d.bandCount << " reserved=" << d.reserved << " imageIndex=" << d.imageIndex
      << " imageCount=" << d.imageCount;
  return out.str();
}

}  // namespace tconv
