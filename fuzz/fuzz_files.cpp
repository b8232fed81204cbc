#include "fuzz/fuzz_files.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace imexp::fuzz {
namespace {

std::string ProcessFile(const char* name) {
  const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return std::string(folder) + "/imexp-fuzz-" + std::to_string(getpid()) + "-" + name;
}

struct Removed {
  std::string path;
  ~Removed() { unlink(path.c_str()); }
};

}  // namespace

const std::string& InputFile(const uint8_t* data, std::size_t size) {
  static const Removed file{ProcessFile("input")};
  std::FILE* out = std::fopen(file.path.c_str(), "wb");
  if (out == nullptr) Abort("cannot write the input file");
  if (size > 0 && std::fwrite(data, 1, size, out) != size) Abort("cannot write the input file");
  std::fclose(out);
  return file.path;
}

const std::string& EmptyIni() {
  static const Removed ini{ProcessFile("CONVERT.INI")};
  static const bool written = static_cast<bool>(std::ofstream(ini.path) << "");
  (void)written;
  return ini.path;
}

std::string ProgramFolder() {
  char self[PATH_MAX] = "";
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) Abort("cannot find this program");
  std::string path(self, static_cast<std::size_t>(n));
  return path.substr(0, path.find_last_of('/'));
}

void Abort(const char* why) {
  std::fprintf(stderr, "fuzz target: %s\n", why);
  std::abort();
}

}  // namespace imexp::fuzz
