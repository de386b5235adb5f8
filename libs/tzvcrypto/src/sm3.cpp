// SM3 (GB/T 32905) over 16 lanes: the streaming init / update / final functions on a context and
// the one-call digest.
#include <cstring>

#include "tzv_lanes.h"

using namespace tzv;

namespace {

constexpr int kLanes = 16;
constexpr std::size_t kBlock = 64;
constexpr std::size_t kDigest = 32;
// SM3 hashes messages below 2^64 bits.
constexpr uint64_t kMaxBytes = (1ull << 61) - 1;

constexpr uint32_t kIv[8] = {0x7380166fu, 0x4914b2b9u, 0x172442d7u, 0xda8a0600u,
                             0xa96f30bcu, 0x163138aau, 0xe38dee4du, 0xb0fb0e4eu};

// Marks a context that tzv_sm3_init_mb16 has set up; any other content is "not initialised".
constexpr uint32_t kSm3Magic = 0x334d5334u; // "4SM3"

// Lanes side by side, field by field: one lane's fields would not pack into 1728 / 16 bytes.
struct Sm3Context {
    uint32_t v[kLanes][8];         // chaining value
    uint8_t buf[kLanes][kBlock];   // the bytes of an unfinished block
    uint64_t bytes[kLanes];        // message bytes so far; bytes % 64 of them wait in buf
    uint32_t magic;
    uint8_t ready[kLanes];         // 1 between init and final
};
static_assert(sizeof(Sm3Context) <= sizeof(tzv_sm3_ctx_mb16), "SM3 state fits the context");
static_assert(alignof(Sm3Context) <= alignof(tzv_sm3_ctx_mb16), "SM3 state alignment");

Sm3Context* stateOf(tzv_sm3_ctx_mb16* ctx) { return reinterpret_cast<Sm3Context*>(ctx->opaque); }

inline uint32_t rotl(uint32_t x, int n) { return (x << n) | (x >> ((32 - n) & 31)); }
inline uint32_t p0(uint32_t x) { return x ^ rotl(x, 9) ^ rotl(x, 17); }
inline uint32_t p1(uint32_t x) { return x ^ rotl(x, 15) ^ rotl(x, 23); }
inline uint32_t load32(const uint8_t* p)
{
    return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3];
}

// T_j rotated left by j mod 32, the per-round constant of the compression function.
struct RoundConstants {
    uint32_t t[64];
    constexpr RoundConstants() : t()
    {
        for (int j = 0; j < 64; ++j) {
            uint32_t base = j < 16 ? 0x79cc4519u : 0x7a879d8au;
            int n = j % 32;
            t[j] = n ? (base << n) | (base >> (32 - n)) : base;
        }
    }
};
constexpr RoundConstants kT;

// Compresses `blocks` consecutive 64-byte blocks into v.
void compress(uint32_t v[8], const uint8_t* data, std::size_t blocks)
{
    uint32_t w[68];
    for (; blocks > 0; --blocks, data += kBlock) {
        for (int j = 0; j < 16; ++j) w[j] = load32(data + 4 * j);
        for (int j = 16; j < 68; ++j)
            w[j] = p1(w[j - 16] ^ w[j - 9] ^ rotl(w[j - 3], 15)) ^ rotl(w[j - 13], 7) ^ w[j - 6];
        uint32_t a = v[0], b = v[1], c = v[2], d = v[3], e = v[4], f = v[5], g = v[6], h = v[7];
        for (int j = 0; j < 64; ++j) {
            uint32_t a12 = rotl(a, 12);
            uint32_t ss1 = rotl(a12 + e + kT.t[j], 7);
            uint32_t ss2 = ss1 ^ a12;
            uint32_t ff = j < 16 ? (a ^ b ^ c) : ((a & b) | (a & c) | (b & c));
            uint32_t gg = j < 16 ? (e ^ f ^ g) : ((e & f) | (~e & g));
            uint32_t tt1 = ff + d + ss2 + (w[j] ^ w[j + 4]);
            uint32_t tt2 = gg + h + ss1 + w[j];
            d = c, c = rotl(b, 9), b = a, a = tt1;
            h = g, g = rotl(f, 19), f = e, e = p0(tt2);
        }
        v[0] ^= a, v[1] ^= b, v[2] ^= c, v[3] ^= d, v[4] ^= e, v[5] ^= f, v[6] ^= g, v[7] ^= h;
    }
}

// One lane's running hash, over the lane's slices of the context.
struct LaneHash {
    uint32_t* v;
    uint8_t* buf;
    uint64_t* bytes;

    void init()
    {
        std::memcpy(v, kIv, sizeof kIv);
        *bytes = 0;
    }

    void update(const uint8_t* msg, std::size_t len)
    {
        std::size_t used = *bytes % kBlock;
        *bytes += len;
        if (used) {
            std::size_t n = kBlock - used < len ? kBlock - used : len;
            std::memcpy(buf + used, msg, n);
            msg += n, len -= n;
            if (used + n < kBlock) return;
            compress(v, buf, 1);
        }
        compress(v, msg, len / kBlock);
        std::memcpy(buf, msg + len - len % kBlock, len % kBlock);
    }

    void final(uint8_t digest[kDigest])
    {
        std::size_t used = *bytes % kBlock;
        uint64_t bits = *bytes * 8;
        buf[used++] = 0x80;
        if (used > kBlock - 8) {
            std::memset(buf + used, 0, kBlock - used);
            compress(v, buf, 1);
            used = 0;
        }
        std::memset(buf + used, 0, kBlock - 8 - used);
        for (int i = 0; i < 8; ++i) buf[kBlock - 1 - i] = (uint8_t)(bits >> (8 * i));
        compress(v, buf, 1);
        for (int i = 0; i < 8; ++i) {
            digest[4 * i] = (uint8_t)(v[i] >> 24);
            digest[4 * i + 1] = (uint8_t)(v[i] >> 16);
            digest[4 * i + 2] = (uint8_t)(v[i] >> 8);
            digest[4 * i + 3] = (uint8_t)v[i];
        }
    }
};

LaneHash laneOf(Sm3Context* s, int i) { return LaneHash{s->v[i], s->buf[i], &s->bytes[i]}; }

tzv_status16 allLanes(unsigned value)
{
    Status16 sts;
    sts.setAll(value);
    return sts.word();
}

} // namespace

TZV_EXPORT tzv_status16 tzv_sm3_init_mb16(tzv_sm3_ctx_mb16* ctx)
{
    if (!ctx) return allLanes(TZV_STS_NULL_PARAM);
    Sm3Context* s = stateOf(ctx);
    s->magic = kSm3Magic;
    for (int i = 0; i < kLanes; ++i) {
        laneOf(s, i).init();
        s->ready[i] = 1;
    }
    return TZV_STS_OK;
}

TZV_EXPORT tzv_status16 tzv_sm3_update_mb16(const int8u* const msg[16], int len[16], tzv_sm3_ctx_mb16* ctx)
{
    if (!ctx || !msg || !len) return allLanes(TZV_STS_NULL_PARAM);
    Sm3Context* s = stateOf(ctx);
    if (s->magic != kSm3Magic) return allLanes(TZV_STS_BAD_PARAM);
    Status16 sts;
    for (int i = 0; i < kLanes; ++i) {
        unsigned st = 0;
        if (!msg[i]) st |= TZV_STS_NULL_PARAM;
        if (len[i] < 0 || !s->ready[i] || (uint64_t)len[i] > kMaxBytes - s->bytes[i]) st |= TZV_STS_BAD_PARAM;
        if (st)
            sts.set(i, st);
        else
            laneOf(s, i).update(msg[i], (std::size_t)len[i]);
    }
    return sts.word();
}

TZV_EXPORT tzv_status16 tzv_sm3_final_mb16(int8u* hash[16], tzv_sm3_ctx_mb16* ctx)
{
    if (!ctx || !hash) return allLanes(TZV_STS_NULL_PARAM);
    Sm3Context* s = stateOf(ctx);
    if (s->magic != kSm3Magic) return allLanes(TZV_STS_BAD_PARAM);
    Status16 sts;
    for (int i = 0; i < kLanes; ++i) {
        unsigned st = 0;
        if (!hash[i]) st |= TZV_STS_NULL_PARAM;
        if (!s->ready[i]) st |= TZV_STS_BAD_PARAM;
        if (st) {
            sts.set(i, st);
            continue;
        }
        laneOf(s, i).final(hash[i]);
        s->ready[i] = 0;
    }
    return sts.word();
}

TZV_EXPORT tzv_status16 tzv_sm3_msg_digest_mb16(const int8u* const msg[16], int len[16], int8u* hash[16])
{
    if (!msg || !len || !hash) return allLanes(TZV_STS_NULL_PARAM);
    Status16 sts;
    for (int i = 0; i < kLanes; ++i) {
        unsigned st = 0;
        if (!msg[i] || !hash[i]) st |= TZV_STS_NULL_PARAM;
        if (len[i] < 0) st |= TZV_STS_BAD_PARAM;
        if (st) {
            sts.set(i, st);
            continue;
        }
        uint32_t v[8];
        uint8_t buf[kBlock];
        uint64_t bytes;
        LaneHash h{v, buf, &bytes};
        h.init();
        h.update(msg[i], (std::size_t)len[i]);
        h.final(hash[i]);
    }
    return sts.word();
}
