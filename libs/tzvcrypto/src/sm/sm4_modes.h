// The SM4 modes without a context (ECB, CBC, CFB128, OFB, CTR128, XTS) on 16 lanes, written once
// over the lane-vector type. Each step handles one block of every lane; lanes whose data has
// ended sit the step out through the byte counts of the loads and stores.
#ifndef TZV_SM_SM4_MODES_H
#define TZV_SM_SM4_MODES_H

#include "sm/lane_spans.h"
#include "sm/sm4_rounds.h"

namespace tzv {
namespace sm {
namespace {

template <class V>
void loadSpan(const Span& s, V x[4])
{
    V::loadBlocks(s.src, s.start, s.count, x);
}
template <class V>
void storeSpan(const Span& s, const V x[4])
{
    V::storeBlocks(s.dst, s.start, s.count, x);
}
template <class V>
void xorInto(V x[4], const V y[4])
{
    for (int j = 0; j < 4; ++j) x[j] = x[j] ^ y[j];
}

// The modes whose blocks are independent (ECB, CBC decryption, CFB decryption, CTR) take
// V::kWays blocks of every lane per step.
template <bool Decrypt, class V>
void ecb(const RoundKeys rk, const LaneData& d)
{
    constexpr int W = V::kWays;
    long blocks = maxBlocks(d.len);
    for (long b = 0; b < blocks; b += W) {
        Span s[W];
        V x[W][4];
        for (int k = 0; k < W; ++k) blockSpan(d, b + k, s[k]), loadSpan(s[k], x[k]);
        cryptBlocks<Decrypt, W>(rk, x);
        for (int k = 0; k < W; ++k) storeSpan(s[k], x[k]);
    }
}

// iv: one block per lane, read in the lanes of `run`.
template <class V>
void loadIv(const uint8_t* const iv[16], LaneMask run, V x[4])
{
    Span s;
    fixedSpan(iv, run, s);
    loadSpan(s, x);
}

template <class V>
void cbcEncrypt(const RoundKeys rk, const LaneData& d, const uint8_t* const iv[16], LaneMask run)
{
    V c[4];
    loadIv(iv, run, c);
    long blocks = maxBlocks(d.len);
    for (long b = 0; b < blocks; ++b) {
        Span s;
        V x[4];
        blockSpan(d, b, s);
        loadSpan(s, x);
        xorInto(c, x);
        cryptBlock<false>(rk, c);
        storeSpan(s, c);
    }
}

template <class V>
void cbcDecrypt(const RoundKeys rk, const LaneData& d, const uint8_t* const iv[16], LaneMask run)
{
    constexpr int W = V::kWays;
    V prev[4];
    loadIv(iv, run, prev);
    long blocks = maxBlocks(d.len);
    for (long b = 0; b < blocks; b += W) {
        Span s[W];
        V c[W][4], x[W][4];
        for (int k = 0; k < W; ++k) {
            blockSpan(d, b + k, s[k]);
            loadSpan(s[k], c[k]); // read before the store: in and out may be the same
            for (int j = 0; j < 4; ++j) x[k][j] = c[k][j];
        }
        cryptBlocks<true, W>(rk, x);
        for (int k = 0; k < W; ++k) {
            xorInto(x[k], k ? c[k - 1] : prev);
            storeSpan(s[k], x[k]);
        }
        for (int j = 0; j < 4; ++j) prev[j] = c[W - 1][j];
    }
}

// CFB with 128-bit feedback; a partial last block uses the head of its key stream block.
template <class V>
void cfbEncrypt(const RoundKeys rk, const LaneData& d, const uint8_t* const iv[16], LaneMask run)
{
    V f[4];
    loadIv(iv, run, f);
    long blocks = maxBlocks(d.len);
    for (long b = 0; b < blocks; ++b) {
        Span s;
        V x[4];
        blockSpan(d, b, s);
        loadSpan(s, x);
        cryptBlock<false>(rk, f);
        xorInto(f, x);
        storeSpan(s, f);
    }
}

template <class V>
void cfbDecrypt(const RoundKeys rk, const LaneData& d, const uint8_t* const iv[16], LaneMask run)
{
    constexpr int W = V::kWays;
    V prev[4];
    loadIv(iv, run, prev);
    long blocks = maxBlocks(d.len);
    for (long b = 0; b < blocks; b += W) {
        Span s[W];
        V c[W][4], ks[W][4];
        for (int k = 0; k < W; ++k) {
            blockSpan(d, b + k, s[k]);
            loadSpan(s[k], c[k]);
            for (int j = 0; j < 4; ++j) ks[k][j] = k ? c[k - 1][j] : prev[j];
        }
        cryptBlocks<false, W>(rk, ks);
        for (int k = 0; k < W; ++k) {
            xorInto(ks[k], c[k]);
            storeSpan(s[k], ks[k]);
        }
        for (int j = 0; j < 4; ++j) prev[j] = c[W - 1][j];
    }
}

// OFB: iv ends as the last output block of the cipher in each lane.
template <class V>
void ofb(const RoundKeys rk, const LaneData& d, uint8_t* const iv[16], LaneMask run)
{
    V o[4];
    loadIv(iv, run, o);
    long blocks = maxBlocks(d.len);
    for (long b = 0; b < blocks; ++b) {
        Span s;
        V x[4], e[4] = {o[0], o[1], o[2], o[3]};
        blockSpan(d, b, s);
        loadSpan(s, x);
        cryptBlock<false>(rk, e);
        LaneMask on = s.active();
        for (int j = 0; j < 4; ++j) o[j] = V::select(on, e[j], o[j]);
        xorInto(x, o);
        storeSpan(s, x);
    }
    Span s;
    fixedSpan(iv, run, s);
    storeSpan(s, o);
}

// c + n as 128-bit big-endian counters (c[0] the most significant word).
template <class V>
void addCounter(const V c[4], const V& n, V r[4])
{
    const V one = V::broadcast(1), zero = V::zero();
    r[3] = c[3] + n;
    LaneMask carry = V::lessThan(r[3], c[3]);
    for (int j = 2; j >= 0; --j) {
        r[j] = V::select(carry, c[j] + one, c[j]);
        carry &= V::equal(r[j], zero);
    }
}

// CTR with a 128-bit big-endian counter; iv ends as the first counter not used (a partial last
// block uses up its counter).
template <class V>
void ctr(const RoundKeys rk, const LaneData& d, uint8_t* const iv[16], LaneMask run)
{
    constexpr int W = V::kWays;
    V c[4];
    loadIv(iv, run, c);
    long blocks = maxBlocks(d.len);
    for (long b = 0; b < blocks; b += W) {
        Span s[W];
        V ks[W][4], x[4];
        for (int k = 0; k < W; ++k) addCounter(c, V::broadcast((uint32_t)(b + k)), ks[k]);
        cryptBlocks<false, W>(rk, ks);
        for (int k = 0; k < W; ++k) {
            blockSpan(d, b + k, s[k]);
            loadSpan(s[k], x);
            xorInto(x, ks[k]);
            storeSpan(s[k], x);
        }
    }
    uint32_t used[16];
    for (int i = 0; i < 16; ++i) used[i] = (uint32_t)((d.len[i] + 15) / 16);
    V next[4];
    addCounter(c, V::load(used), next);
    Span s;
    fixedSpan(iv, run, s);
    storeSpan(s, next);
}

// ---- XTS (IEEE 1619) ---------------------------------------------------------------------------

// The tweak is kept as little-endian words (u[0] least significant) for the doubling.
template <class V>
void xtsDouble(V u[4])
{
    V carry = u[3].template shr<31>();
    for (int j = 3; j > 0; --j) u[j] = u[j].template shl<1>() | u[j - 1].template shr<31>();
    u[0] = u[0].template shl<1>() ^ carry ^ carry.template shl<1>() ^ carry.template shl<2>() ^
           carry.template shl<7>();
}
template <class V>
void xtsTweakBlock(const V u[4], V t[4])
{
    for (int j = 0; j < 4; ++j) t[j] = u[j].bswap();
}

// Bytes [tail, 16) of every lane's block as a word mask: big-endian words, so a word's leading
// bytes are its high bits.
template <class V>
void tailKeepMask(const int tail[16], V m[4])
{
    for (int j = 0; j < 4; ++j) {
        uint32_t shift[16];
        for (int i = 0; i < 16; ++i) {
            int n = 8 * (tail[i] - 4 * j);
            shift[i] = (uint32_t)(n < 0 ? 0 : n > 32 ? 32 : n);
        }
        m[j] = V::shrv(V::broadcast(0xffffffffu), V::load(shift));
    }
}

// Encrypts or decrypts data units of 16 bytes or more (checked by the caller); a partial last block
// is handled by cipher text stealing. rk1 is the data key, rk2 the tweak key.
template <bool Decrypt, class V>
void xts(const RoundKeys rk1, const RoundKeys rk2, const LaneData& d, const uint8_t* const tweak[16],
         LaneMask run)
{
    V u[4], t0[4];
    loadIv(tweak, run, t0);
    cryptBlock<false>(rk2, t0);
    for (int j = 0; j < 4; ++j) u[j] = t0[j].bswap();

    // Lanes with a partial block leave their last full block to the stealing step.
    int regular[16], tail[16];
    long steps = 0;
    for (int i = 0; i < 16; ++i) {
        tail[i] = d.len[i] % 16;
        regular[i] = d.len[i] / 16 - (tail[i] ? 1 : 0);
        steps = regular[i] > steps ? regular[i] : steps;
    }
    LaneData body{d.out, d.in, nullptr};
    int bodyLen[16];
    for (int i = 0; i < 16; ++i) bodyLen[i] = 16 * regular[i];
    body.len = bodyLen;

    constexpr int W = V::kWays;
    const V regularV = V::load(reinterpret_cast<const uint32_t*>(regular));
    V last[4] = {u[0], u[1], u[2], u[3]}; // each lane's tweak after its regular blocks
    for (long b = 0; b < steps; b += W) {
        Span s[W];
        V x[W][4], t[W][4];
        for (int k = 0; k < W; ++k) {
            blockSpan(body, b + k, s[k]);
            loadSpan(s[k], x[k]);
            xtsTweakBlock(u, t[k]);
            xorInto(x[k], t[k]);
            xtsDouble(u);
            LaneMask here = V::equal(regularV, V::broadcast((uint32_t)(b + k + 1)));
            for (int j = 0; j < 4; ++j) last[j] = V::select(here, u[j], last[j]);
        }
        cryptBlocks<Decrypt, W>(rk1, x);
        for (int k = 0; k < W; ++k) {
            xorInto(x[k], t[k]);
            storeSpan(s[k], x[k]);
        }
    }

    // Stealing: the last full block and the partial one, tweaks in order when encrypting and the
    // other way round when decrypting.
    Span full, part;
    for (int i = 0; i < 16; ++i) {
        bool on = tail[i] != 0;
        full.src[i] = on ? d.in[i] + 16 * regular[i] : nullptr;
        full.dst[i] = on ? d.out[i] + 16 * regular[i] : nullptr;
        part.src[i] = on ? d.in[i] + 16 * (regular[i] + 1) : nullptr;
        part.dst[i] = on ? d.out[i] + 16 * (regular[i] + 1) : nullptr;
        full.start[i] = part.start[i] = 0;
        full.count[i] = on ? 16 : 0;
        part.count[i] = tail[i];
    }
    if (!full.active()) return;
    V next[4] = {last[0], last[1], last[2], last[3]};
    xtsDouble(next);
    V first[4], second[4], x[4], y[4], keep[4];
    xtsTweakBlock(Decrypt ? next : last, first);
    xtsTweakBlock(Decrypt ? last : next, second);
    loadSpan(part, y); // read before the partial output overwrites it
    loadSpan(full, x);
    xorInto(x, first);
    cryptBlock<Decrypt>(rk1, x);
    xorInto(x, first);
    storeSpan(part, x); // the partial output block is the head of x
    tailKeepMask(tail, keep);
    for (int j = 0; j < 4; ++j) y[j] = y[j] | (x[j] & keep[j]);
    xorInto(y, second);
    cryptBlock<Decrypt>(rk1, y);
    xorInto(y, second);
    storeSpan(full, y);
}

} // namespace
} // namespace sm
} // namespace tzv

#endif
