// The choice of kernel table by the features enabled in libkyncp.
#include "sm/kernels.h"

#include "simd/code_path.h"

namespace tzv {
namespace sm {

// The 512-bit units are compiled with every extension the build names; the byte permutes of VBMI
// and VBMI2 are the ones a compiler may pick on its own, so they are required too.
constexpr Kyn64u kAvx512Path = kAvx512Base | kynCPUID_AVX512GFNI | kynCPUID_AVX512VCLMUL | kynCPUID_AVX512VBMI |
                               kynCPUID_AVX512VBMI2;

const Kernels& kernels()
{
    if (featuresEnabled(kAvx512Path)) return kAvx512Kernels;
    if (featuresEnabled(kynCPUID_AVX2 | kynCPUID_AES | kynCPUID_CLMUL | kynCPUID_SSSE3 | kynAVX_ENABLEDBYOS))
        return kAvx2Kernels;
    return kPlainKernels;
}

} // namespace sm
} // namespace tzv
