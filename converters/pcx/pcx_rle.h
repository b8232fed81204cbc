// The run-length code of PCX scan lines. A run is a count byte (two top bits
// set, count in the low six) followed by the byte to repeat; any byte below
// 0xC0 stands for itself.
#pragma once

#include <imexp/converter_support.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pcx {

// Decodes one scan line of `count` bytes (all planes of the line; a run
// may carry on from one plane into the next). A run that reaches past the
// end of the line is an error: the line has no room for it.
[[nodiscard]] int DecodeLine(imexp::conv::FileInput& input, bool compressed, uint8_t* line,
                             std::size_t count);

// Appends the run-length code of `count` bytes. Callers encode each plane
// on its own, so that decoders that expect runs to stop at plane
// boundaries read our files too.
void EncodeRuns(const uint8_t* bytes, std::size_t count, std::vector<uint8_t>& out);

}  // namespace pcx
