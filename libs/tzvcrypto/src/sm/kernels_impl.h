// The kernel table of one backend: every lane algorithm instantiated over the backend's vector
// types. Included once by each backend's source, which the build compiles for its instruction set.
#ifndef TZV_SM_KERNELS_IMPL_H
#define TZV_SM_KERNELS_IMPL_H

#include "sm/kernels.h"
#include "sm/sm4_ccm.h"
#include "sm/sm4_gcm.h"
#include "sm/sm4_modes.h"
#include "sm/sm3_lanes.h"

namespace tzv {
namespace sm {
namespace {

template <class V, class W>
struct Backend {
    static void expandKeysK(RoundKeyArray rk, const uint8_t* const key[16], LaneBits run)
    {
        expandKeys<V>(rk, key, run);
    }
    template <bool Decrypt>
    static void ecbK(const RoundKeyArray rk, const LaneData& d)
    {
        ecb<Decrypt, V>(rk, d);
    }
    static void cbcEncK(const RoundKeyArray rk, const LaneData& d, const uint8_t* const iv[16], LaneBits run)
    {
        cbcEncrypt<V>(rk, d, iv, run);
    }
    static void cbcDecK(const RoundKeyArray rk, const LaneData& d, const uint8_t* const iv[16], LaneBits run)
    {
        cbcDecrypt<V>(rk, d, iv, run);
    }
    static void cfbEncK(const RoundKeyArray rk, const LaneData& d, const uint8_t* const iv[16], LaneBits run)
    {
        cfbEncrypt<V>(rk, d, iv, run);
    }
    static void cfbDecK(const RoundKeyArray rk, const LaneData& d, const uint8_t* const iv[16], LaneBits run)
    {
        cfbDecrypt<V>(rk, d, iv, run);
    }
    static void ofbK(const RoundKeyArray rk, const LaneData& d, uint8_t* const iv[16], LaneBits run)
    {
        ofb<V>(rk, d, iv, run);
    }
    static void ctrK(const RoundKeyArray rk, const LaneData& d, uint8_t* const iv[16], LaneBits run)
    {
        ctr<V>(rk, d, iv, run);
    }
    template <bool Decrypt>
    static void xtsK(const RoundKeyArray rk1, const RoundKeyArray rk2, const LaneData& d,
                     const uint8_t* const tweak[16], LaneBits run)
    {
        xts<Decrypt, V>(rk1, rk2, d, tweak, run);
    }

    static void gcmInitK(GcmLanes& g, const uint8_t* const key[16], const uint8_t* const iv[16],
                         const int ivLen[16], LaneBits run)
    {
        gcmInit<V, W>(g, key, iv, ivLen, run);
    }
    static void gcmAadK(GcmLanes& g, const uint8_t* const aad[16], const int len[16], LaneBits run)
    {
        gcmAad<V, W>(g, aad, len, run);
    }
    template <bool Decrypt>
    static void gcmCryptK(GcmLanes& g, const LaneData& d, LaneBits run)
    {
        gcmCrypt<Decrypt, V, W>(g, d, run);
    }
    static void gcmTagK(GcmLanes& g, uint8_t* const tag[16], const int tagLen[16], LaneBits run)
    {
        gcmTag<V, W>(g, tag, tagLen, run);
    }

    static void ccmSetKeysK(CcmLanes& c, const uint8_t* const key[16], LaneBits run)
    {
        ccmSetKeys<V>(c, key, run);
    }
    static void ccmAadK(CcmLanes& c, const uint8_t* const aad[16], const int len[16], LaneBits run)
    {
        ccmAad<V>(c, aad, len, run);
    }
    template <bool Decrypt>
    static void ccmCryptK(CcmLanes& c, const LaneData& d, LaneBits run)
    {
        ccmCrypt<Decrypt, V>(c, d, run);
    }
    static void ccmTagK(CcmLanes& c, uint8_t* const tag[16], LaneBits run) { ccmTag<V>(c, tag, run); }

    static void sm3BlocksK(uint32_t v[8][16], const uint8_t* const p[16], const long blocks[16])
    {
        sm3Blocks<V>(v, p, blocks);
    }
    static void sm3FinalK(uint32_t v[8][16], const uint8_t* const tail[16], const int tailLen[16],
                          const uint64_t totalBytes[16], LaneBits run, uint8_t* const hash[16])
    {
        sm3Final<V>(v, tail, tailLen, totalBytes, run, hash);
    }

    static constexpr Kernels table()
    {
        Kernels k{};
        k.sm4ExpandKeys = expandKeysK;
        k.sm4Ecb[0] = ecbK<false>, k.sm4Ecb[1] = ecbK<true>;
        k.sm4Cbc[0] = cbcEncK, k.sm4Cbc[1] = cbcDecK;
        k.sm4Cfb[0] = cfbEncK, k.sm4Cfb[1] = cfbDecK;
        k.sm4Ofb = ofbK;
        k.sm4Ctr = ctrK;
        k.sm4Xts[0] = xtsK<false>, k.sm4Xts[1] = xtsK<true>;
        k.gcmInit = gcmInitK;
        k.gcmAad = gcmAadK;
        k.gcmCrypt[0] = gcmCryptK<false>, k.gcmCrypt[1] = gcmCryptK<true>;
        k.gcmTag = gcmTagK;
        k.ccmSetKeys = ccmSetKeysK;
        k.ccmAad = ccmAadK;
        k.ccmCrypt[0] = ccmCryptK<false>, k.ccmCrypt[1] = ccmCryptK<true>;
        k.ccmTag = ccmTagK;
        k.sm3Blocks = sm3BlocksK;
        k.sm3Final = sm3FinalK;
        return k;
    }
};

} // namespace
} // namespace sm
} // namespace tzv

#endif
