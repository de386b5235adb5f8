// SM4-CCM (NIST SP 800-38C) on 16 lanes: the kernels behind the exported CCM functions. The
// CBC-MAC of each lane is serial, so its block and the lane's next counter block go through the
// rounds together. The callers have checked the lanes they pass.
#ifndef TZV_SM_SM4_CCM_H
#define TZV_SM_SM4_CCM_H

#include <cstring>

#include "sm/sm4_gcm.h"

namespace tzv {
namespace sm {
namespace {

constexpr uint64_t kCcmUnbounded = ~0ull;

inline uint64_t ccmFieldMax(unsigned q) { return q >= 8 ? ~0ull : (1ull << (8 * q)) - 1; }

// The first MAC step, once it is known whether there is additional data: mac = E(B0).
template <class V>
void ccmStartMac(CcmLanes& c, LaneMask m, LaneMask withAad)
{
    if (!m) return;
    uint8_t b0[16][16];
    for (int i = 0; i < 16; ++i) {
        if (!((m >> i) & 1)) continue;
        unsigned q = c.q[i];
        b0[i][0] = (uint8_t)((((withAad >> i) & 1) ? 0x40 : 0) | (((c.tagLen[i] - 2) / 2) << 3) | (q - 1));
        std::memcpy(b0[i] + 1, c.a0[i] + 1, 15 - q);
        uint64_t field = c.total[i] == kCcmUnbounded ? ccmFieldMax(q) : c.total[i];
        for (unsigned k = 0; k < q; ++k, field >>= 8) b0[i][15 - k] = (uint8_t)field;
    }
    V x[4];
    loadLaneBlocks(b0, m, x);
    cryptBlock<false>(c.rk, x);
    storeLaneBlocks(c.mac, m, x);
}

// Runs a stream through the MAC and, when `counter` is set, through the counter mode (grid.out
// receives the result). At each step the counter block of this step and the MAC block of the step
// before (encrypted only when complete) go through the rounds together. The MAC takes the plain
// text: the input when encrypting, the output when decrypting.
template <class V>
void ccmStream(CcmLanes& c, V mac[4], const StreamGrid& grid, bool counter, bool decrypt)
{
    long steps = grid.steps();
    V pending[4] = {V::zero(), V::zero(), V::zero(), V::zero()}, a0[4];
    LaneMask pendingComplete = 0;
    uint32_t a0Hi[16], a0Lo[16];
    loadLaneBlocks(c.a0, simd::kAllLanes, a0);
    a0[2].store(a0Hi), a0[3].store(a0Lo);
    for (long s = 0; s <= steps; ++s) {
        Span sp;
        uint64_t block[16];
        LaneMask complete = s < steps ? grid.at(s, sp, block) : 0;
        V x[2][4];
        for (int j = 0; j < 4; ++j) x[1][j] = mac[j] ^ pending[j];
        if (counter && s < steps) {
            uint32_t hi[16], lo[16];
            for (int i = 0; i < 16; ++i) {
                uint64_t k = block[i] + 1; // A_1 goes with block 0
                hi[i] = a0Hi[i] | (uint32_t)(k >> 32), lo[i] = a0Lo[i] | (uint32_t)k;
            }
            x[0][0] = a0[0], x[0][1] = a0[1], x[0][2] = V::load(hi), x[0][3] = V::load(lo);
            cryptBlocks<false, 2>(c.rk, x);
        } else {
            cryptBlock<false>(c.rk, x[1]);
        }
        for (int j = 0; j < 4; ++j) mac[j] = V::select(pendingComplete, x[1][j], mac[j] ^ pending[j]);
        if (s == steps) break;
        loadSpan(sp, pending);
        if (counter) {
            V o[4] = {pending[0] ^ x[0][0], pending[1] ^ x[0][1], pending[2] ^ x[0][2], pending[3] ^ x[0][3]};
            storeSpan(sp, o);
            if (decrypt) {
                // Read back what was written: the bytes outside the span must stay zero.
                Span back = sp;
                for (int i = 0; i < 16; ++i) back.src[i] = sp.dst[i];
                loadSpan(back, pending);
            }
        }
        pendingComplete = complete;
    }
}

template <class V>
void ccmSetKeys(CcmLanes& c, const uint8_t* const key[16], LaneMask run)
{
    expandKeys<V>(c.rk, key, run);
}

// The whole additional data, its length encoded in front of it, then the padding of its last block.
template <class V>
void ccmAad(CcmLanes& c, const uint8_t* const aad[16], const int len[16], LaneMask run)
{
    LaneMask withAad = 0;
    uint8_t head[16][16];
    uint64_t pos[16];
    int n[16];
    for (int i = 0; i < 16; ++i) {
        bool on = ((run >> i) & 1) && len[i] > 0;
        n[i] = on ? len[i] : 0;
        pos[i] = 0;
        std::memset(head[i], 0, 16);
        if (!on) continue;
        withAad |= (LaneMask)(1u << i);
        uint32_t l = (uint32_t)len[i];
        if (l < 0xff00) {
            head[i][0] = (uint8_t)(l >> 8), head[i][1] = (uint8_t)l;
            pos[i] = 2;
        } else {
            head[i][0] = 0xff, head[i][1] = 0xfe;
            for (int k = 0; k < 4; ++k) head[i][2 + k] = (uint8_t)(l >> (24 - 8 * k));
            pos[i] = 6;
        }
    }
    ccmStartMac<V>(c, run, withAad);
    if (withAad) {
        V mac[4], h[4];
        loadLaneBlocks(c.mac, withAad, mac);
        loadLaneBlocks(head, withAad, h);
        xorInto(mac, h);
        ccmStream(c, mac, StreamGrid{aad, pos, n}, false, false);
        LaneMask partial = 0;
        for (int i = 0; i < 16; ++i) partial |= (LaneMask)(((withAad >> i) & 1 && (pos[i] + (uint64_t)n[i]) % 16) << i);
        V e[4] = {mac[0], mac[1], mac[2], mac[3]};
        cryptBlock<false>(c.rk, e);
        for (int j = 0; j < 4; ++j) mac[j] = V::select(partial, e[j], mac[j]);
        storeLaneBlocks(c.mac, withAad, mac);
    }
    for (int i = 0; i < 16; ++i)
        if ((run >> i) & 1) c.phase[i] = kPhaseAad;
}

template <class V>
LaneMask ccmLanesIn(const CcmLanes& c, LaneMask run, uint8_t phase)
{
    LaneMask m = 0;
    for (int i = 0; i < 16; ++i) m |= (LaneMask)((((run >> i) & 1) && c.phase[i] == phase) << i);
    return m;
}

template <bool Decrypt, class V>
void ccmCrypt(CcmLanes& c, const LaneData& d, LaneMask run)
{
    ccmStartMac<V>(c, ccmLanesIn<V>(c, run, kPhaseReady), 0);
    V mac[4];
    loadLaneBlocks(c.mac, run, mac);
    ccmStream(c, mac, StreamGrid{d.in, c.done, d.len, d.out}, true, Decrypt);
    storeLaneBlocks(c.mac, run, mac);
    for (int i = 0; i < 16; ++i) {
        if (!((run >> i) & 1)) continue;
        c.done[i] += (uint64_t)d.len[i];
        c.phase[i] = kPhaseText;
    }
}

template <class V>
void ccmTag(CcmLanes& c, uint8_t* const tag[16], LaneMask run)
{
    ccmStartMac<V>(c, ccmLanesIn<V>(c, run, kPhaseReady), 0);
    LaneMask partial = 0;
    for (int i = 0; i < 16; ++i) partial |= (LaneMask)((((run >> i) & 1) && c.done[i] % 16) << i);
    V x[2][4];
    loadLaneBlocks(c.mac, run, x[0]);
    loadLaneBlocks(c.a0, run, x[1]);
    V mac[4] = {x[0][0], x[0][1], x[0][2], x[0][3]};
    cryptBlocks<false, 2>(c.rk, x);
    Span s;
    for (int i = 0; i < 16; ++i) {
        bool on = (run >> i) & 1;
        s.dst[i] = on ? tag[i] : nullptr;
        s.start[i] = 0;
        s.count[i] = on ? c.tagLen[i] : 0;
        if (on) c.phase[i] = kPhaseDone;
    }
    // The MAC's last block is encrypted only when partial (a complete one was at its step).
    for (int j = 0; j < 4; ++j) mac[j] = V::select(partial, x[0][j], mac[j]) ^ x[1][j];
    storeSpan(s, mac);
}

} // namespace
} // namespace sm
} // namespace tzv

#endif
