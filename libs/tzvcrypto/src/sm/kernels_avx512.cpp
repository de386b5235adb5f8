// The AVX-512 kernels: GFNI S-box, VPCLMULQDQ GHASH; run only after the code-path check.
#include "sm/kernels_impl.h"

namespace tzv {
namespace sm {

const Kernels kAvx512Kernels = kernelTable<simd::Vec32x16Avx512, simd::Vec128x4Avx512>();

} // namespace sm
} // namespace tzv
