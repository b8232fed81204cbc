// What the fuzz targets share: the file each input is written to (the
// converters read files, not memory), a CONVERT.INI without settings, and
// a way out for a target that cannot start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace imexp::fuzz {

// Writes the input to this process's file in a RAM folder and gives its path.
const std::string& InputFile(const uint8_t* data, std::size_t size);
// An empty CONVERT.INI of this process: every converter at its defaults.
const std::string& EmptyIni();
// The folder of this program, where the manager and converters lie.
std::string ProgramFolder();
[[noreturn]] void Abort(const char* why);

}  // namespace imexp::fuzz
