// The implementation paths of the row kernels that this processor runs, so
// that the kernel suites check each of them against the same references.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "pipeline/kernel_path.h"

namespace imexp {

// Lowest first; the portable path is always there.
inline std::vector<std::pair<std::string, rowkernel::KernelPath>> RunnablePaths() {
  using rowkernel::KernelPath;
  const std::pair<std::string, KernelPath> all[] = {
      {"portable", KernelPath::kPortable}, {"avx2", KernelPath::kAvx2}, {"avx512", KernelPath::kAvx512}};
  std::vector<std::pair<std::string, KernelPath>> runnable;
  for (const auto& path : all) {
    if (path.second <= rowkernel::FastestKernelPath()) runnable.push_back(path);
  }
  return runnable;
}

}  // namespace imexp
