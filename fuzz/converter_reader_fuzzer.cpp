// Coverage-guided fuzzing of one converter's reader, as the manager drives
// it: the content check, the image count of a multi-image converter, the
// information of its first and last image, and a whole read (of the last
// image, for some inputs of several) through the band protocol (RDReadHeader, RDSetupReading, the bands,
// RDCleanUp), on every input the fuzzer makes. IMEXP_FUZZ_CONVERTER names the library, which lies beside this
// program; it stays loaded for the whole run, so that its coverage counts from the first input to the last.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_files.h"
#include "tests/support/converter_driver.h"

namespace {

imexp::test::ConverterDriver* g_converter = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_converter = new imexp::test::ConverterDriver(IMEXP_FUZZ_CONVERTER);
  if (!g_converter->loaded()) imexp::fuzz::Abort("cannot load " IMEXP_FUZZ_CONVERTER);
  g_converter->UseIni(imexp::fuzz::EmptyIni());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string& path = imexp::fuzz::InputFile(data, size);
  g_converter->Check(path);
  int count = 1;
  int singleView = 0;
  if ((g_converter->Record().flags & CONV_FLAG_MULTI_IMAGE) != 0 &&
      g_converter->ImageCount(path, &count, &singleView) != CONV_OK) {
    count = 1;
  }
  ConvImageInfo info{};
  g_converter->Info(path, 0, &info);
  if (count > 1) g_converter->Info(path, count - 1, &info);
  imexp::test::ConverterImage image;
  // Small bands as well as the manager's, so that band edges are fuzzed
  // too; every third input of several images reads its last.
  const auto last = static_cast<uint16_t>(size % 3 == 0 && count > 1 ? count - 1 : 0);
  g_converter->Read(path, image, size % 2 == 0 ? 0 : 1 + static_cast<uint32_t>(size % 7), last,
                    static_cast<uint16_t>(count));
  return 0;
}
