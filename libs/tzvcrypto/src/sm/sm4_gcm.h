// SM4-GCM (NIST SP 800-38D) on 16 lanes: the kernels behind the exported GCM functions, over a
// 32-bit lane vector (SM4, counters) and a 128-bit lane vector (GHASH). The callers have checked
// the phase and lengths of the lanes they pass; these move those lanes' state on.
#ifndef TZV_SM_SM4_GCM_H
#define TZV_SM_SM4_GCM_H

#include <cstring>

#include "sm/ghash.h"
#include "sm/sm4_modes.h"

namespace tzv {
namespace sm {
namespace {

template <class V>
void loadLaneBlocks(const uint8_t (*blocks)[16], LaneMask m, V x[4])
{
    const uint8_t* p[16];
    for (int i = 0; i < 16; ++i) p[i] = blocks[i];
    loadIv(p, m, x);
}
template <class V>
void storeLaneBlocks(uint8_t (*blocks)[16], LaneMask m, const V x[4])
{
    uint8_t* p[16];
    for (int i = 0; i < 16; ++i) p[i] = blocks[i];
    Span s;
    fixedSpan(p, m, s);
    storeSpan(s, x);
}

inline void storeBe64(uint8_t* p, uint64_t v)
{
    for (int i = 7; i >= 0; --i, v >>= 8) p[i] = (uint8_t)v;
}

// xi = (xi + (a || b as 64-bit big-endian bit counts)) * H, the closing block of IV and tag.
template <class W>
void ghashLengths(HashLanes<W>& xi, const HashLanes<W>& h, const uint64_t a[16], const uint64_t b[16],
                  LaneMask m)
{
    uint8_t lens[16][16];
    for (int i = 0; i < 16; ++i) storeBe64(lens[i], a[i] * 8), storeBe64(lens[i] + 8, b[i] * 8);
    HashLanes<W> l;
    l.load(lens, m);
    l.bitReverse();
    xi.xorWith(l);
    xi.multiply(h, m);
}

template <class V, class W>
void gcmInit(GcmLanes& g, const uint8_t* const key[16], const uint8_t* const iv[16], const int ivLen[16],
             LaneMask run)
{
    expandKeys<V>(g.rk, key, run);
    V x[4] = {V::zero(), V::zero(), V::zero(), V::zero()};
    cryptBlock<false>(g.rk, x);
    storeLaneBlocks(g.h, run, x);
    HashLanes<W> h;
    h.load(g.h, run);
    h.bitReverse();
    h.store(g.h, run);

    // J0: the IV and 0^31 || 1 for 96-bit IVs, else GHASH(IV padded || 0^64 || bit length).
    LaneMask hashed = 0;
    int len[16];
    uint64_t zero[16] = {0}, ivBytes[16];
    for (int i = 0; i < 16; ++i) {
        bool on = (run >> i) & 1;
        len[i] = on && ivLen[i] != 12 ? ivLen[i] : 0;
        ivBytes[i] = (uint64_t)len[i];
        if (len[i]) hashed |= (LaneMask)(1u << i);
        if (on && ivLen[i] == 12) {
            std::memcpy(g.j0[i], iv[i], 12);
            g.j0[i][12] = g.j0[i][13] = g.j0[i][14] = 0, g.j0[i][15] = 1;
        }
    }
    if (hashed) {
        HashLanes<W> j;
        for (auto& v : j.x) v = W::zero();
        LaneMask partial = 0;
        for (int i = 0; i < 16; ++i) partial |= (LaneMask)((len[i] % 16 != 0) << i);
        ghashAbsorb(j, h, StreamGrid{iv, zero, len});
        j.multiply(h, partial);
        ghashLengths(j, h, zero, ivBytes, hashed);
        j.bitReverse();
        j.store(g.j0, hashed);
    }
    loadLaneBlocks(g.j0, run, x);
    cryptBlock<false>(g.rk, x);
    storeLaneBlocks(g.ekJ0, run, x);
    for (int i = 0; i < 16; ++i) {
        if (!((run >> i) & 1)) continue;
        std::memset(g.xi[i], 0, 16);
        g.aadLen[i] = g.textLen[i] = 0;
        g.phase[i] = kPhaseReady;
    }
}

template <class V, class W>
void gcmAad(GcmLanes& g, const uint8_t* const aad[16], const int len[16], LaneMask run)
{
    HashLanes<W> xi, h;
    xi.load(g.xi, run);
    h.load(g.h, run);
    int n[16];
    for (int i = 0; i < 16; ++i) n[i] = ((run >> i) & 1) ? len[i] : 0;
    ghashAbsorb(xi, h, StreamGrid{aad, g.aadLen, n});
    xi.store(g.xi, run);
    for (int i = 0; i < 16; ++i) {
        if (!((run >> i) & 1)) continue;
        g.aadLen[i] += (uint64_t)n[i];
        g.phase[i] = kPhaseAad;
    }
}

// The key stream of the text: block k of a lane's text is encrypted under counter J0 + 1 + k
// (the last word counting modulo 2^32).
template <class V>
void gcmCtr(const GcmLanes& g, const LaneData& d, LaneMask run)
{
    constexpr int Ways = V::kWays;
    V j0[4];
    loadLaneBlocks(g.j0, run, j0);
    uint32_t j0Last[16];
    j0[3].store(j0Last);
    StreamGrid grid{d.in, g.textLen, d.len, d.out};
    long steps = grid.steps();
    for (long s = 0; s < steps; s += Ways) {
        Span sp[Ways];
        V ks[Ways][4], x[4];
        for (int k = 0; k < Ways; ++k) {
            uint64_t block[16];
            uint32_t c[16];
            grid.at(s + k, sp[k], block);
            for (int i = 0; i < 16; ++i) c[i] = j0Last[i] + 1 + (uint32_t)block[i];
            ks[k][0] = j0[0], ks[k][1] = j0[1], ks[k][2] = j0[2], ks[k][3] = V::load(c);
        }
        cryptBlocks<false, Ways>(g.rk, ks);
        for (int k = 0; k < Ways; ++k) {
            loadSpan(sp[k], x);
            xorInto(x, ks[k]);
            storeSpan(sp[k], x);
        }
    }
}

// Ends the additional data of the lanes in `m` that are still in it: pads its last block.
template <class W>
void gcmCloseAad(GcmLanes& g, HashLanes<W>& xi, const HashLanes<W>& h, LaneMask m)
{
    LaneMask partial = 0;
    for (int i = 0; i < 16; ++i)
        if (((m >> i) & 1) && g.phase[i] != kPhaseText && g.aadLen[i] % 16) partial |= (LaneMask)(1u << i);
    xi.multiply(h, partial);
}

template <bool Decrypt, class V, class W>
void gcmCrypt(GcmLanes& g, const LaneData& d, LaneMask run)
{
    HashLanes<W> xi, h;
    xi.load(g.xi, run);
    h.load(g.h, run);
    gcmCloseAad(g, xi, h, run);
    // The hash takes the cipher text: before decryption overwrites it, after encryption made it.
    if (Decrypt) ghashAbsorb(xi, h, StreamGrid{d.in, g.textLen, d.len});
    gcmCtr<V>(g, d, run);
    if (!Decrypt) ghashAbsorb(xi, h, StreamGrid{d.out, g.textLen, d.len});
    xi.store(g.xi, run);
    for (int i = 0; i < 16; ++i) {
        if (!((run >> i) & 1)) continue;
        g.textLen[i] += (uint64_t)d.len[i];
        g.phase[i] = kPhaseText;
    }
}

template <class V, class W>
void gcmTag(GcmLanes& g, uint8_t* const tag[16], const int tagLen[16], LaneMask run)
{
    HashLanes<W> xi, h, ek;
    xi.load(g.xi, run);
    h.load(g.h, run);
    gcmCloseAad(g, xi, h, run);
    LaneMask partial = 0;
    for (int i = 0; i < 16; ++i)
        if (((run >> i) & 1) && g.phase[i] == kPhaseText && g.textLen[i] % 16) partial |= (LaneMask)(1u << i);
    xi.multiply(h, partial);
    ghashLengths(xi, h, g.aadLen, g.textLen, run);
    xi.bitReverse();
    ek.load(g.ekJ0, run);
    xi.xorWith(ek);
    uint8_t* p[16];
    int start[16] = {0}, count[16];
    for (int i = 0; i < 16; ++i) {
        bool on = (run >> i) & 1;
        p[i] = on ? tag[i] : nullptr;
        count[i] = on ? tagLen[i] : 0;
        if (on) g.phase[i] = kPhaseDone;
    }
    W::storeBlocks(p, start, count, xi.x);
}

} // namespace
} // namespace sm
} // namespace tzv

#endif
