// The AVX2 kernels: AES-NI S-box, PCLMULQDQ GHASH; the portable path of current processors.
#include "sm/kernels_impl.h"

namespace tzv {
namespace sm {

const Kernels kAvx2Kernels = kernelTable<simd::Vec32x16Avx2, simd::Vec128x4Sse>();

} // namespace sm
} // namespace tzv
