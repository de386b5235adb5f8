// The plain C++ kernels: any x86-64 processor; slow, but constant-time like the others.
#include "sm/kernels_impl.h"

namespace tzv {
namespace sm {

const Kernels kPlainKernels = kernelTable<simd::Vec32x16Plain, simd::Vec128x4Plain>();

} // namespace sm
} // namespace tzv
