#include "tests/support/test_support.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace imexp::test {

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::mt19937 random(static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count() ^
                                            (counter++ * 7919u)));
  fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = base / ("imexp-" + std::to_string(random() % 1000000000u));
    std::error_code error;
    if (fs::create_directory(candidate, error)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code error;
  fs::remove_all(path_, error);
}

std::string TempDir::File(std::string_view name) const { return NativePath(path_ / fs::path(name)); }

std::string ReadFileBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool UnderCpuEmulation() {
  const char* emulated = std::getenv("IMEXP_CPU_EMULATED");
  return emulated != nullptr && std::string_view(emulated) == "1";
}

std::string FoldCase(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

void WriteFileBytes(const fs::path& file, std::string_view bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::string NativePath(const fs::path& path) {
  fs::path native = path;
  native.make_preferred();
  return native.string();
}

ManagerSetup::ManagerSetup() = default;

std::string ManagerSetup::InstallConverter(std::string_view target, std::string_view copyName,
                                           std::string_view subFolder) {
  fs::path folder = dir_.path();
  if (!subFolder.empty()) {
    folder /= fs::path(subFolder);
    fs::create_directories(folder);
  }
  std::string fileName = SharedLibraryName(copyName);
  fs::copy_file(ExecutableDir() / SharedLibraryName(target), folder / fileName,
                fs::copy_options::overwrite_existing);
  return fileName;
}

void ManagerSetup::AppendIni(std::string_view text) {
  std::ofstream out(dir_.path() / "CONVERT.INI", std::ios::binary | std::ios::app);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void ManagerSetup::WriteIni(std::string_view text) { WriteFileBytes(dir_.path() / "CONVERT.INI", text); }

std::string ManagerSetup::IniPath() const { return NativePath(dir_.path() / "CONVERT.INI"); }

const Library& ManagerSetup::Load() {
  fs::path copy = dir_.path() / ManagerLibraryName();
  fs::copy_file(ExecutableDir() / ManagerLibraryName(), copy, fs::copy_options::overwrite_existing);
  manager_ = std::make_unique<Library>(copy);
  if (!manager_->loaded()) throw std::runtime_error("cannot load the manager copy");
  return *manager_;
}

void ManagerSetup::Unload() { manager_.reset(); }

std::vector<std::string> ManagerSetup::CallLog() const {
  std::vector<std::string> lines;
  std::istringstream in(ReadFileBytes(dir_.path() / "calls.log"));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

void ManagerSetup::ClearCallLog() const {
  std::error_code error;
  fs::remove(dir_.path() / "calls.log", error);
}

std::vector<std::string> LinesWith(const std::vector<std::string>& log, std::string_view fragment) {
  std::vector<std::string> found;
  for (const std::string& line : log) {
    if (line.find(fragment) != std::string::npos) found.push_back(line);
  }
  return found;
}

std::vector<std::string> IniSectionLines(const fs::path& ini, const std::string& section) {
  std::istringstream in(ReadFileBytes(ini));
  std::vector<std::string> lines;
  bool inside = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '[') {
      inside = line == "[" + section + "]";
    } else if (inside && !line.empty()) {
      lines.push_back(FoldCase(line));
    }
  }
  return lines;
}

}  // namespace imexp::test
