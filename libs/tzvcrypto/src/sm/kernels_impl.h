// The kernel table of one backend: every lane algorithm instantiated over the backend's vector
// types (V: 16 x 32-bit lanes, W: 4 x 128-bit lanes). Included once by each backend's source,
// which the build compiles for its instruction set.
#ifndef TZV_SM_KERNELS_IMPL_H
#define TZV_SM_KERNELS_IMPL_H

#include "sm/kernels.h"
#include "sm/sm3_lanes.h"
#include "sm/sm4_ccm.h"
#include "sm/sm4_gcm.h"
#include "sm/sm4_modes.h"

namespace tzv {
namespace sm {
namespace {

template <class V, class W>
constexpr Kernels kernelTable()
{
    Kernels k{};
    k.sm4ExpandKeys = expandKeys<V>;
    k.sm4Ecb[0] = ecb<false, V>, k.sm4Ecb[1] = ecb<true, V>;
    k.sm4Cbc[0] = cbcEncrypt<V>, k.sm4Cbc[1] = cbcDecrypt<V>;
    k.sm4Cfb[0] = cfbEncrypt<V>, k.sm4Cfb[1] = cfbDecrypt<V>;
    k.sm4Ofb = ofb<V>;
    k.sm4Ctr = ctr<V>;
    k.sm4Xts[0] = xts<false, V>, k.sm4Xts[1] = xts<true, V>;
    k.gcmInit = gcmInit<V, W>;
    k.gcmAad = gcmAad<V, W>;
    k.gcmCrypt[0] = gcmCrypt<false, V, W>, k.gcmCrypt[1] = gcmCrypt<true, V, W>;
    k.gcmTag = gcmTag<V, W>;
    k.ccmSetKeys = ccmSetKeys<V>;
    k.ccmAad = ccmAad<V>;
    k.ccmCrypt[0] = ccmCrypt<false, V>, k.ccmCrypt[1] = ccmCrypt<true, V>;
    k.ccmTag = ccmTag<V>;
    k.sm3Blocks = sm3Blocks<V>;
    k.sm3Final = sm3Final<V>;
    return k;
}

} // namespace
} // namespace sm
} // namespace tzv

#endif
