// The implementation paths of the row kernels: which instruction set a
// kernel file runs its kernels on, chosen once per process.
#pragma once

namespace imexp::rowkernel {

// Which implementation of a kernel runs. Each level takes the kernels of the
// level below where it has nothing better of its own.
enum class KernelPath {
  kPortable,  // plain C++, every target
  kAvx2,      // the byte-moving kernels over AVX2
  kAvx512,    // and the byte lookups over AVX-512 VBMI
};

// The highest level this build has and this processor runs, found once.
[[nodiscard]] KernelPath FastestKernelPath();

}  // namespace imexp::rowkernel
