// SM4 (GB/T 32907) with four 1 KiB lookup tables that fold the S-box and the linear transform L
// into one lookup per byte; the tables are built at compile time from the standard's S-box.
#include "sm4_cipher.h"

#include <array>
#include <cstring>

namespace tzv {
namespace sm4 {
namespace {

constexpr uint8_t kSbox[256] = {
    0xd6, 0x90, 0xe9, 0xfe, 0xcc, 0xe1, 0x3d, 0xb7, 0x16, 0xb6, 0x14, 0xc2, 0x28, 0xfb, 0x2c, 0x05,
    0x2b, 0x67, 0x9a, 0x76, 0x2a, 0xbe, 0x04, 0xc3, 0xaa, 0x44, 0x13, 0x26, 0x49, 0x86, 0x06, 0x99,
    0x9c, 0x42, 0x50, 0xf4, 0x91, 0xef, 0x98, 0x7a, 0x33, 0x54, 0x0b, 0x43, 0xed, 0xcf, 0xac, 0x62,
    0xe4, 0xb3, 0x1c, 0xa9, 0xc9, 0x08, 0xe8, 0x95, 0x80, 0xdf, 0x94, 0xfa, 0x75, 0x8f, 0x3f, 0xa6,
    0x47, 0x07, 0xa7, 0xfc, 0xf3, 0x73, 0x17, 0xba, 0x83, 0x59, 0x3c, 0x19, 0xe6, 0x85, 0x4f, 0xa8,
    0x68, 0x6b, 0x81, 0xb2, 0x71, 0x64, 0xda, 0x8b, 0xf8, 0xeb, 0x0f, 0x4b, 0x70, 0x56, 0x9d, 0x35,
    0x1e, 0x24, 0x0e, 0x5e, 0x63, 0x58, 0xd1, 0xa2, 0x25, 0x22, 0x7c, 0x3b, 0x01, 0x21, 0x78, 0x87,
    0xd4, 0x00, 0x46, 0x57, 0x9f, 0xd3, 0x27, 0x52, 0x4c, 0x36, 0x02, 0xe7, 0xa0, 0xc4, 0xc8, 0x9e,
    0xea, 0xbf, 0x8a, 0xd2, 0x40, 0xc7, 0x38, 0xb5, 0xa3, 0xf7, 0xf2, 0xce, 0xf9, 0x61, 0x15, 0xa1,
    0xe0, 0xae, 0x5d, 0xa4, 0x9b, 0x34, 0x1a, 0x55, 0xad, 0x93, 0x32, 0x30, 0xf5, 0x8c, 0xb1, 0xe3,
    0x1d, 0xf6, 0xe2, 0x2e, 0x82, 0x66, 0xca, 0x60, 0xc0, 0x29, 0x23, 0xab, 0x0d, 0x53, 0x4e, 0x6f,
    0xd5, 0xdb, 0x37, 0x45, 0xde, 0xfd, 0x8e, 0x2f, 0x03, 0xff, 0x6a, 0x72, 0x6d, 0x6c, 0x5b, 0x51,
    0x8d, 0x1b, 0xaf, 0x92, 0xbb, 0xdd, 0xbc, 0x7f, 0x11, 0xd9, 0x5c, 0x41, 0x1f, 0x10, 0x5a, 0xd8,
    0x0a, 0xc1, 0x31, 0x88, 0xa5, 0xcd, 0x7b, 0xbd, 0x2d, 0x74, 0xd0, 0x12, 0xb8, 0xe5, 0xb4, 0xb0,
    0x89, 0x69, 0x97, 0x4a, 0x0c, 0x96, 0x77, 0x7e, 0x65, 0xb9, 0xf1, 0x09, 0xc5, 0x6e, 0xc6, 0x84,
    0x18, 0xf0, 0x7d, 0xec, 0x3a, 0xdc, 0x4d, 0x20, 0x79, 0xee, 0x5f, 0x3e, 0xd7, 0xcb, 0x39, 0x48,
};

constexpr uint32_t kFk[4] = {0xa3b1bac6u, 0x56aa3350u, 0x677d9197u, 0xb27022dcu};

constexpr uint32_t rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

// The round transform's linear part L and the key schedule's L'.
constexpr uint32_t linear(uint32_t b) { return b ^ rotl(b, 2) ^ rotl(b, 10) ^ rotl(b, 18) ^ rotl(b, 24); }
constexpr uint32_t linearKey(uint32_t b) { return b ^ rotl(b, 13) ^ rotl(b, 23); }

using Table = std::array<uint32_t, 256>;

// Table k maps a byte at bit position 24 - 8k to L(S-box value at that position).
constexpr Table makeTable(int k)
{
    Table t{};
    for (int x = 0; x < 256; ++x) t[x] = linear((uint32_t)kSbox[x] << (24 - 8 * k));
    return t;
}

constexpr Table kT0 = makeTable(0);
constexpr Table kT1 = makeTable(1);
constexpr Table kT2 = makeTable(2);
constexpr Table kT3 = makeTable(3);

// CK_i: byte j of word i is (4i + j) * 7 mod 256.
constexpr std::array<uint32_t, kRounds> makeCk()
{
    std::array<uint32_t, kRounds> ck{};
    for (int i = 0; i < kRounds; ++i) {
        uint32_t w = 0;
        for (int j = 0; j < 4; ++j) w = (w << 8) | (uint32_t)(((4 * i + j) * 7) & 0xff);
        ck[i] = w;
    }
    return ck;
}
constexpr std::array<uint32_t, kRounds> kCk = makeCk();

inline uint32_t load32(const uint8_t* p)
{
    return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3];
}
inline void store32(uint8_t* p, uint32_t v)
{
    p[0] = (uint8_t)(v >> 24);
    p[1] = (uint8_t)(v >> 16);
    p[2] = (uint8_t)(v >> 8);
    p[3] = (uint8_t)v;
}

inline uint32_t roundT(uint32_t x)
{
    return kT0[x >> 24] ^ kT1[(x >> 16) & 0xff] ^ kT2[(x >> 8) & 0xff] ^ kT3[x & 0xff];
}

inline uint32_t keyT(uint32_t x)
{
    uint32_t b = ((uint32_t)kSbox[x >> 24] << 24) | ((uint32_t)kSbox[(x >> 16) & 0xff] << 16) |
                 ((uint32_t)kSbox[(x >> 8) & 0xff] << 8) | kSbox[x & 0xff];
    return linearKey(b);
}

inline void cryptOne(const uint32_t* rk, const uint8_t* in, uint8_t* out)
{
    uint32_t x0 = load32(in), x1 = load32(in + 4), x2 = load32(in + 8), x3 = load32(in + 12);
    for (int r = 0; r < kRounds; r += 4) {
        x0 ^= roundT(x1 ^ x2 ^ x3 ^ rk[r]);
        x1 ^= roundT(x2 ^ x3 ^ x0 ^ rk[r + 1]);
        x2 ^= roundT(x3 ^ x0 ^ x1 ^ rk[r + 2]);
        x3 ^= roundT(x0 ^ x1 ^ x2 ^ rk[r + 3]);
    }
    store32(out, x3);
    store32(out + 4, x2);
    store32(out + 8, x1);
    store32(out + 12, x0);
}

// Four independent blocks side by side: the rounds of one block depend on each other, so the
// interleaving is what keeps the load ports busy.
inline void cryptFour(const uint32_t* rk, const uint8_t* in, uint8_t* out)
{
    uint32_t a0 = load32(in), a1 = load32(in + 4), a2 = load32(in + 8), a3 = load32(in + 12);
    uint32_t b0 = load32(in + 16), b1 = load32(in + 20), b2 = load32(in + 24), b3 = load32(in + 28);
    uint32_t c0 = load32(in + 32), c1 = load32(in + 36), c2 = load32(in + 40), c3 = load32(in + 44);
    uint32_t d0 = load32(in + 48), d1 = load32(in + 52), d2 = load32(in + 56), d3 = load32(in + 60);
    for (int r = 0; r < kRounds; ++r) {
        uint32_t k = rk[r];
        uint32_t ta = a0 ^ roundT(a1 ^ a2 ^ a3 ^ k);
        uint32_t tb = b0 ^ roundT(b1 ^ b2 ^ b3 ^ k);
        uint32_t tc = c0 ^ roundT(c1 ^ c2 ^ c3 ^ k);
        uint32_t td = d0 ^ roundT(d1 ^ d2 ^ d3 ^ k);
        a0 = a1, a1 = a2, a2 = a3, a3 = ta;
        b0 = b1, b1 = b2, b2 = b3, b3 = tb;
        c0 = c1, c1 = c2, c2 = c3, c3 = tc;
        d0 = d1, d1 = d2, d2 = d3, d3 = td;
    }
    store32(out, a3), store32(out + 4, a2), store32(out + 8, a1), store32(out + 12, a0);
    store32(out + 16, b3), store32(out + 20, b2), store32(out + 24, b1), store32(out + 28, b0);
    store32(out + 32, c3), store32(out + 36, c2), store32(out + 40, c1), store32(out + 44, c0);
    store32(out + 48, d3), store32(out + 52, d2), store32(out + 56, d1), store32(out + 60, d0);
}

} // namespace

void expandKey(const uint8_t key[16], uint32_t rk[kRounds])
{
    uint32_t k0 = load32(key) ^ kFk[0], k1 = load32(key + 4) ^ kFk[1];
    uint32_t k2 = load32(key + 8) ^ kFk[2], k3 = load32(key + 12) ^ kFk[3];
    for (int i = 0; i < kRounds; ++i) {
        uint32_t k4 = k0 ^ keyT(k1 ^ k2 ^ k3 ^ kCk[i]);
        rk[i] = k4;
        k0 = k1, k1 = k2, k2 = k3, k3 = k4;
    }
}

void cryptBlocks(const uint32_t rk[kRounds], const uint8_t* in, uint8_t* out, std::size_t blocks)
{
    for (; blocks >= 4; blocks -= 4, in += 64, out += 64) cryptFour(rk, in, out);
    for (; blocks > 0; --blocks, in += 16, out += 16) cryptOne(rk, in, out);
}

void storeLane(tzv_sm4_key_schedule& schedule, int lane, const uint32_t rk[kRounds])
{
    for (int r = 0; r < kRounds; ++r) schedule.rk[r][lane] = rk[r];
}

void loadLane(const tzv_sm4_key_schedule& schedule, int lane, uint32_t rk[kRounds])
{
    for (int r = 0; r < kRounds; ++r) rk[r] = schedule.rk[r][lane];
}

void Cipher::setKey(const uint8_t key[16])
{
    uint32_t rk[kRounds];
    expandKey(key, rk);
    setRoundKeys(rk);
}

void Cipher::setRoundKeys(const uint32_t rk[kRounds])
{
    for (int r = 0; r < kRounds; ++r) {
        m_enc[r] = rk[r];
        m_dec[kRounds - 1 - r] = rk[r];
    }
}

void Cipher::loadLane(const tzv_sm4_key_schedule& schedule, int lane)
{
    for (int r = 0; r < kRounds; ++r) {
        uint32_t k = schedule.rk[r][lane];
        m_enc[r] = k;
        m_dec[kRounds - 1 - r] = k;
    }
}

} // namespace sm4
} // namespace tzv
