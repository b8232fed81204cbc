// The checks of imexp verify past the library's own record, each over the
// files the converter claims, in the order the command runs them.
#pragma once

#include <string>
#include <vector>

#include "tools/imexp/verify/conformance_library.h"

namespace imexp::cli::verify {

// What the information calls said about a file, for the reads to confirm.
struct ImageFacts {
  bool described = false;
  uint32_t width = 0;
  uint32_t height = 0;
};
struct FileFacts {
  std::string path;
  std::vector<ImageFacts> images{1};  // one per image RDGetImageCount counts
};

// Check 6: every layout of writeFormats written into `scratch` and read
// back. Returns the files written that the converter read back.
std::vector<std::string> CheckWrites(Session& session, const std::string& scratch);

// Check 4: RDCheckFile and the information calls on files whose position
// another converter moved, an empty file and a file of another kind.
std::vector<FileFacts> CheckContent(Session& session, const std::vector<std::string>& files,
                                    const std::string& scratch);

// Check 5: every band mode and height, cut files, cancellation and the heap
// over repeated reads.
void CheckReads(Session& session, const std::vector<FileFacts>& files, const std::string& scratch);

// Check 7: every code of 16 or more returned so far, in the converter's words.
void CheckErrorWording(Session& session);

}  // namespace imexp::cli::verify
