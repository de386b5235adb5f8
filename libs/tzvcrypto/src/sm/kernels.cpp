// The choice of kernel table by the features enabled in libkyncp.
#include "sm/kernels.h"

#include "simd/code_path.h"

namespace tzv {
namespace sm {

const Kernels& kernels()
{
    if (featuresEnabled(kAvx512Base | kynCPUID_AVX512GFNI | kynCPUID_AVX512VCLMUL)) return kAvx512Kernels;
    if (featuresEnabled(kynCPUID_AVX2 | kynCPUID_AES | kynCPUID_CLMUL | kynCPUID_SSSE3 | kynAVX_ENABLEDBYOS))
        return kAvx2Kernels;
    return kPlainKernels;
}

} // namespace sm
} // namespace tzv
