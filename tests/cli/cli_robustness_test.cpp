// Damaged files through the whole program: truncated files, headers that
// lie, run-length data that overruns. Each must end in a clear error (the
// manager's message, status 1, no output file) or in a sound image; never
// in a crash or a sanitizer report.
#include <gtest/gtest.h>

#include "tests/cli/cli_support.h"

namespace imexp::test::cli {
namespace {

void Set16(std::string& bytes, std::size_t at, unsigned value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

void Set32(std::string& bytes, std::size_t at, uint32_t value) {
  Set16(bytes, at, value & 0xFFFF);
  Set16(bytes, at + 2, value >> 16);
}

std::string SampleBytes(const char* sample) { return ReadFileBytes(SamplesDir() / sample); }

// A BMP with a 16-entry grey palette and the given run-length data.
std::string RleBmp(unsigned bits, uint32_t width, uint32_t height, const std::string& data) {
  unsigned colours = 1u << bits;
  uint32_t offset = 14 + 40 + colours * 4;
  std::string out(offset, '\0');
  out[0] = 'B';
  out[1] = 'M';
  Set32(out, 2, offset + static_cast<uint32_t>(data.size()));
  Set32(out, 10, offset);
  Set32(out, 14, 40);
  Set32(out, 18, width);
  Set32(out, 22, height);
  Set16(out, 26, 1);
  Set16(out, 28, bits);
  Set32(out, 30, bits == 8 ? 1 : 2);
  Set32(out, 34, static_cast<uint32_t>(data.size()));
  for (unsigned i = 0; i < colours; ++i)
    out[54 + i * 4] = out[55 + i * 4] = out[56 + i * 4] = static_cast<char>(i);
  return out + data;
}

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

struct DamagedFile {
  const char* name;
  const char* extension;
  std::string bytes;
  bool mustFail;  // no sound image can come out of it
};

std::vector<DamagedFile> DamagedFiles() {
  std::vector<DamagedFile> files;
  auto bmp = [&](const char* name, std::size_t at, uint32_t value, int size, bool mustFail) {
    std::string bytes = SampleBytes("bmp/pal256.bmp");
    if (size == 4) Set32(bytes, at, value);
    if (size == 2) Set16(bytes, at, value);
    files.push_back({name, "bmp", bytes, mustFail});
  };
  bmp("BMP width 2^31-1", 18, 0x7FFFFFFF, 4, true);
  bmp("BMP height 2^31-1", 22, 0x7FFFFFFF, 4, true);
  bmp("BMP height -2^31", 22, 0x80000000u, 4, true);
  bmp("BMP width 0", 18, 0, 4, true);
  bmp("BMP 7 bits per pixel", 28, 7, 2, true);
  bmp("BMP palette of 2^28 entries", 46, 0x10000000, 4, false);
  bmp("BMP pixels beyond the end", 10, 0x7FFFFFF0, 4, true);
  bmp("BMP header size 2^32-1", 14, 0xFFFFFFFF, 4, true);
  bmp("BMP RLE8 declared on 24 bits", 30, 1, 4, false);
  files.push_back({"BMP header only", "bmp", SampleBytes("bmp/rgb24.bmp").substr(0, 30), true});

  // Run-length data that points outside the image or the file.
  files.push_back(
      {"RLE8 run past the row end", "bmp", RleBmp(8, 5, 2, Bytes({200, 1, 0, 0, 5, 2, 0, 1})), false});
  files.push_back({"RLE8 more rows than the height", "bmp",
                   RleBmp(8, 4, 2, Bytes({4, 1, 0, 0, 4, 2, 0, 0, 4, 3, 0, 0, 4, 4, 0, 1})), false});
  files.push_back(
      {"RLE8 delta beyond the image", "bmp", RleBmp(8, 4, 2, Bytes({0, 2, 250, 250, 4, 1, 0, 1})), false});
  files.push_back(
      {"RLE8 absolute run past the data", "bmp", RleBmp(8, 64, 2, Bytes({0, 60, 1, 2, 3})), false});
  files.push_back({"RLE8 absolute run past the row", "bmp",
                   RleBmp(8, 3, 1, Bytes({0, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 1})), false});
  files.push_back(
      {"RLE4 run past the row end", "bmp", RleBmp(4, 3, 2, Bytes({255, 0x12, 0, 0, 0, 1})), false});
  files.push_back({"RLE4 absolute run past the data", "bmp", RleBmp(4, 40, 1, Bytes({0, 40, 0x12})), false});
  files.push_back({"RLE data cut off", "bmp", RleBmp(8, 8, 8, Bytes({8})), false});

  auto pcx = [&](const char* name, const char* sample, std::size_t at, unsigned value, int size,
                 bool mustFail) {
    std::string bytes = SampleBytes(sample);
    if (size == 2) Set16(bytes, at, value);
    if (size == 1) bytes[at] = static_cast<char>(value);
    files.push_back({name, "pcx", bytes, mustFail});
  };
  pcx("PCX xmax below xmin", "pcx/rgb24-planar.pcx", 8, 0, 2, false);
  pcx("PCX xmax 65535", "pcx/rgb24-planar.pcx", 8, 65535, 2, true);
  pcx("PCX ymax 65535", "pcx/rgb24-planar.pcx", 10, 65535, 2, true);
  pcx("PCX bytes per line too short", "pcx/rgb24-planar.pcx", 66, 2, 2, true);
  pcx("PCX bytes per line 0", "pcx/pal256.pcx", 66, 0, 2, true);
  pcx("PCX 5 planes", "pcx/pal16-planar.pcx", 65, 5, 1, true);
  pcx("PCX 3 bits per pixel", "pcx/pal16-planar.pcx", 3, 3, 1, true);
  files.push_back({"PCX header cut", "pcx", SampleBytes("pcx/pal256.pcx").substr(0, 100), true});
  files.push_back({"PCX pixels cut", "pcx", SampleBytes("pcx/rgb24-planar.pcx").substr(0, 140), true});
  {
    std::string bytes = SampleBytes("pcx/pal256.pcx");
    files.push_back(
        {"PCX 256 colours without the palette", "pcx", bytes.substr(0, bytes.size() - 769), false});
    files.push_back({"PCX run count as the last byte", "pcx", bytes.substr(0, 128) + Bytes({0xFF}), true});
  }

  files.push_back({"PNM zero size", "ppm", "P6\n0 0\n255\n", true});
  files.push_back({"PNM huge size", "ppm", "P6\n100000 100000\n255\n\x01\x02\x03", true});
  files.push_back({"PNM size beyond 32 bits", "pgm", "P5\n99999999999999999999 1\n255\n\x01", true});
  files.push_back({"PNM maxval 0", "pgm", "P5\n2 2\n0\n\x01\x02\x03\x04", true});
  files.push_back({"PNM maxval 70000", "pgm", "P5\n2 2\n70000\n\x01\x02\x03\x04\x05\x06\x07\x08", true});
  files.push_back({"PNM pixels cut", "ppm", SampleBytes("pnm/p6.ppm").substr(0, 200), true});
  files.push_back({"PNM plain sample above maxval", "ppm", "P3\n1 1\n255\n300 0 0\n", false});
  files.push_back({"PNM plain garbage", "pbm", "P1\n3 1\n1 x 0\n", false});
  files.push_back({"PNM magic only", "ppm", "P6\n", true});

  std::string page = SampleBytes("pcx/bilevel.pcx");
  auto dcx = [](std::initializer_list<uint32_t> offsets, const std::string& tail) {
    std::string out(4 + 4 * offsets.size(), '\0');
    Set32(out, 0, 987654321u);
    std::size_t at = 4;
    for (uint32_t offset : offsets) {
      Set32(out, at, offset);
      at += 4;
    }
    return out + tail;
  };
  files.push_back({"DCX magic only", "dcx", dcx({}, ""), true});
  files.push_back({"DCX empty page table", "dcx", dcx({0}, ""), true});
  files.push_back({"DCX page beyond the end", "dcx", dcx({0x7FFFFFF0, 0}, page), true});
  files.push_back({"DCX page inside the table", "dcx", dcx({4, 0}, page), false});
  files.push_back({"DCX page cut", "dcx", dcx({12, 0}, page.substr(0, 130)), true});
  std::string unterminated(4 + 4 * 1024, '\0');
  Set32(unterminated, 0, 987654321u);
  for (int i = 1; i <= 1024; ++i) Set32(unterminated, static_cast<std::size_t>(i) * 4, 4 + 4 * 1024);
  files.push_back({"DCX table without its end", "dcx", unterminated + page, false});
  return files;
}

// Files converted to PPM in one batch, and described and detected by one
// run each (a program start costs more under wine than any of these files).
class DamagedBatch {
 public:
  // Adds a file of these bytes; returns its name in the batch.
  std::string Add(const std::string& extension, const std::string& bytes) {
    std::string name = std::to_string(names_.size()) + "." + extension;
    WriteFileBytes(dir_.path() / name, bytes);
    names_.push_back(name);
    return name;
  }
  // Runs the three commands; each must end by itself and clean.
  void Run() {
    std::vector<std::string> files;
    for (const std::string& name : names_) files.push_back(dir_.File(name));
    auto run = [&](std::vector<std::string> args) {
      args.insert(args.end(), files.begin(), files.end());
      RunResult result = RunImexp(args);
      EXPECT_EQ(CleanExit(result), "") << args[0];
      return result;
    };
    convert_ = run({"convert", "--to", "ppm", "--out", dir_.File("out")});
    run({"info"});
    run({"detect"});
  }
  // The pixels converted from file `name` (a sound image); an image of size
  // 0 x 0 when it was refused, which the batch must report with the
  // manager's message.
  Pixels Converted(const std::string& name) const {
    fs::path out = dir_.path() / "out" / fs::path(name).replace_extension(".ppm");
    if (fs::exists(out)) {
      Pixels image = ReadPnmAsRgb(out);
      EXPECT_GT(image.width, 0u) << name;
      return image;
    }
    EXPECT_NE(convert_.err.find(name + ": Converter Error: "), std::string::npos) << convert_.err;
    return {};
  }

 private:
  TempDir dir_;
  std::vector<std::string> names_;
  RunResult convert_;
};

TEST(CliRobustness, DamagedFilesGiveAClearErrorNeverACrash) {
  DamagedBatch batch;
  std::vector<std::pair<DamagedFile, std::string>> files;
  for (DamagedFile& file : DamagedFiles()) {
    std::string name = batch.Add(file.extension, file.bytes);
    files.emplace_back(std::move(file), name);
  }
  batch.Run();
  for (const auto& [file, name] : files) {
    SCOPED_TRACE(file.name);
    Pixels converted = batch.Converted(name);
    if (file.mustFail) EXPECT_EQ(converted.width, 0u);
  }
}

TEST(CliRobustness, EverySampleCutShortFailsCleanly) {
  DamagedBatch batch;
  std::vector<std::pair<std::string, std::string>> cuts;
  for (const fs::path& sample : ReadableSamples()) {
    std::string bytes = ReadFileBytes(sample);
    for (std::size_t keep : {std::size_t{16}, bytes.size() / 2, bytes.size() - 1}) {
      std::string name = batch.Add(sample.extension().string().substr(1), bytes.substr(0, keep));
      cuts.emplace_back(sample.filename().string() + " cut to " + std::to_string(keep), name);
    }
  }
  batch.Run();
  for (const auto& [cut, name] : cuts) {
    SCOPED_TRACE(cut);
    batch.Converted(name);
  }
}

}  // namespace
}  // namespace imexp::test::cli
