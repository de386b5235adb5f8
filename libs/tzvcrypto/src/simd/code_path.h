// Which code path a call takes. The library follows the processor features that libkyncp has
// enabled (kyncpGetEnabledCpuFeatures), read at every call, so that a caller who narrows them with
// kyncpSetCpuFeatures (the harness's -T key) measures the portable path from the same build.
#ifndef TZV_SIMD_CODE_PATH_H
#define TZV_SIMD_CODE_PATH_H

#include "kyncp.h"

namespace tzv {

// True when every feature of `needed` is enabled in libkyncp.
inline bool featuresEnabled(Kyn64u needed)
{
    return (kyncpGetEnabledCpuFeatures() & needed) == needed;
}

// The AVX-512 foundation every 512-bit path needs: the instructions and the operating system's
// support of the ZMM and mask state.
constexpr Kyn64u kAvx512Base = kynCPUID_AVX512F | kynCPUID_AVX512BW | kynCPUID_AVX512VL |
                               kynCPUID_AVX512DQ | kynAVX512_ENABLEDBYOS;

// The 52-bit multiply-add the multi-lane big-number code is built on.
constexpr Kyn64u kAvx512Ifma = kAvx512Base | kynCPUID_AVX512IFMA;

} // namespace tzv

#endif
