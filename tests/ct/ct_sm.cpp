// SM4 (every mode both ways, key schedules, XTS keys, GCM and CCM from init to tag, so GHASH too)
// and SM3 with the keys, nonces, additional data, plain texts and hash inputs marked undefined for
// valgrind memcheck: a branch or a memory address that depends on them shows up as a use of an
// uninitialised value, and valgrind --error-exitcode fails the run. Outputs are marked defined before
// they are checked. Built twice from this file: over the plain C++ kernels compiled in (ct_sm_plain),
// and over the library on its portable path (ct_sm_portable).
#include <valgrind/memcheck.h>

#include <algorithm>
#include <cstdio>

#include "../libs/tzv_sm_lanes.h"
#include "kyncp.h"

namespace {

using smlanes::Bytes;
using smlanes::kLanes;
using smlanes::Lane;
using smlanes::LaneResult;
using smlanes::Mode;

// Lengths of every kind: empty, short, partial blocks and several blocks (whole blocks for ECB and
// CBC, 16 bytes more for XTS). Half the GCM lanes take a 12-byte IV, the others a hashed 16-byte one;
// CCM takes every nonce length. GCM, CCM and streamed SM3 take each text in three pieces.
std::vector<Lane> makeLanes(Mode m)
{
    static const int kLens[kLanes] = {0, 1, 15, 16, 17, 31, 32, 33, 47, 48, 63, 64, 65, 80, 95, 96};
    uint32_t x = 0x12345678u;
    auto bytes = [&x](int n) {
        Bytes b((std::size_t)n);
        for (auto& v : b) x = x * 1103515245u + 12345u, v = (uint8_t)(x >> 16);
        return b;
    };
    const bool aead = smlanes::isAead(m);
    std::vector<Lane> lanes(kLanes);
    for (int i = 0; i < kLanes; ++i) {
        Lane& l = lanes[i];
        int n = kLens[i] - (m == Mode::Ecb || m == Mode::Cbc ? kLens[i] % 16 : 0) + (m == Mode::Xts ? 16 : 0);
        l.key = bytes(m == Mode::Xts ? 32 : 16);
        l.iv = bytes(m == Mode::Gcm ? 12 + 4 * (i % 2) : m == Mode::Ccm ? 7 + i % 7 : 16);
        l.aad = bytes(aead ? kLens[(i + 5) % kLanes] : 0);
        l.in = bytes(n);
        l.tagLen = m == Mode::Sm3 ? 32 : aead ? 16 : 0;
        l.piece = (std::size_t)n / 3 + 1;
    }
    return lanes;
}

// One pass of the library with the lanes' inputs undefined; the outputs are defined again.
std::vector<LaneResult> runHidden(Mode m, bool encrypt, std::vector<Lane> lanes)
{
    for (Lane& l : lanes)
        for (Bytes* b : {&l.key, &l.iv, &l.aad, &l.in}) VALGRIND_MAKE_MEM_UNDEFINED(b->data(), b->size());
    smlanes::Calls c(lanes);
    smlanes::run(c, m, encrypt, lanes);
    for (int i = 0; i < kLanes; ++i)
        for (Bytes* b : {&c.out[i], &c.tag[i]}) VALGRIND_MAKE_MEM_DEFINED(b->data(), b->size());
    return c.results(lanes);
}

// Encrypts, decrypts the result (a secret too) and expects the texts back and, for GCM and CCM, the
// same tag both ways.
bool roundTrip(Mode m, const char* name)
{
    std::vector<Lane> lanes = makeLanes(m), back = lanes;
    std::vector<LaneResult> enc = runHidden(m, true, lanes);
    for (int i = 0; i < kLanes; ++i) back[i].in = enc[i].out;
    std::vector<LaneResult> dec = runHidden(m, false, back);
    bool ok = true;
    for (int i = 0; i < kLanes; ++i)
        ok = ok && (enc[i].status | dec[i].status) == 0 && dec[i].out == lanes[i].in && dec[i].tag == enc[i].tag;
    if (!ok) std::printf("sm4 %s: wrong round trip or tag\n", name);
    return ok;
}

// SM3 in one call against the streaming functions, and the standard's example "abc" in lane 0.
bool sm3()
{
    static const uint8_t abc[16] = {0x66, 0xc7, 0xf0, 0xf4, 0x62, 0xee, 0xed, 0xd9,
                                    0xd1, 0xf2, 0xd4, 0x6b, 0xdc, 0x10, 0xe4, 0xe2};
    std::vector<Lane> lanes = makeLanes(Mode::Sm3);
    lanes[0].in = {'a', 'b', 'c'};
    std::vector<LaneResult> one = runHidden(Mode::Sm3, false, lanes), streamed = runHidden(Mode::Sm3, true, lanes);
    bool ok = std::equal(abc, abc + 16, one[0].tag.begin());
    for (int i = 0; i < kLanes; ++i)
        ok = ok && (one[i].status | streamed[i].status) == 0 && one[i].tag == streamed[i].tag;
    if (!ok) std::printf("sm3: wrong digest\n");
    return ok;
}

} // namespace

int main()
{
    // The portable path: every AVX-512 feature off (valgrind's processor has none anyway).
    const Kyn64u avx512 = kynCPUID_AVX512F | kynCPUID_AVX512CD | kynCPUID_AVX512BW | kynCPUID_AVX512DQ |
                          kynCPUID_AVX512VL | kynCPUID_AVX512VBMI | kynCPUID_AVX512IFMA | kynAVX512_ENABLEDBYOS |
                          kynCPUID_AVX512GFNI | kynCPUID_AVX512VAES | kynCPUID_AVX512VCLMUL | kynCPUID_AVX512VBMI2;
    kyncpSetCpuFeatures(kyncpGetEnabledCpuFeatures() & ~avx512);
    if (!RUNNING_ON_VALGRIND) std::printf("not under valgrind: only the results are checked\n");
    static const char* const kNames[] = {"ecb", "cbc", "cfb128", "ofb", "ctr128", "xts", "gcm", "ccm"};
    bool ok = sm3();
    for (int m = 0; m < 8; ++m) ok &= roundTrip((Mode)m, kNames[m]);
    return ok ? 0 : 1;
}
