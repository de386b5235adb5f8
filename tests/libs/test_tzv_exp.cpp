// Tests of the 8-lane modular exponentiation of libtzvcrypto against OpenSSL's BN_mod_exp: moduli of
// many sizes, different operands in every lane, the harness's all-ones case, bad lanes next to good
// ones, and the whole-call checks of the bit lengths and the work buffer.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "ec_test_support.h"

using namespace ectest;

namespace {

constexpr unsigned kOk = TZV_STS_OK, kBad = TZV_STS_BAD_PARAM, kNull = TZV_STS_NULL_PARAM;

int wordsFor(int bits) { return (bits + 63) / 64; }

// Uniform below 2^bits; with `top`, exactly `bits` bits long; with `odd`, odd.
Bn randomBits(std::mt19937_64& rng, int bits, bool top, bool odd)
{
    Bytes raw((bits + 7) / 8);
    for (auto& c : raw) c = (uint8_t)rng();
    Bn v = bnFromBytes(raw);
    BN_mask_bits(v.get(), bits);
    if (top) BN_set_bit(v.get(), bits - 1);
    if (odd) BN_set_bit(v.get(), 0);
    return v;
}

Bn referenceExp(const BIGNUM* b, const BIGNUM* e, const BIGNUM* m)
{
    Bn r = newBn();
    std::unique_ptr<BN_CTX, decltype(&BN_CTX_free)> ctx(BN_CTX_new(), BN_CTX_free);
    if (!BN_mod_exp(r.get(), b, e, m, ctx.get())) throw std::runtime_error("BN_mod_exp failed");
    return r;
}

// One call's operands, one set per lane, and the result buffers.
struct ExpCall {
    int modBits, pwrBits;
    std::array<Words, kLanes> base, pwr, mod, out;
    std::vector<uint8_t> work;

    ExpCall(int modBits_, int pwrBits_) : modBits(modBits_), pwrBits(pwrBits_)
    {
        for (auto& o : out) o.assign(wordsFor(modBits), 0x5a5a5a5a5a5a5a5aull);
        work.assign(tzv_exp_BufferSize(modBits), 0);
    }
    void set(int lane, const BIGNUM* b, const BIGNUM* e, const BIGNUM* m)
    {
        base[lane] = toWords(b, wordsFor(modBits));
        pwr[lane] = toWords(e, wordsFor(pwrBits));
        mod[lane] = toWords(m, wordsFor(modBits));
    }
    tzv_status run()
    {
        auto o = outLanes(out);
        auto b = inLanes(base), e = inLanes(pwr), m = inLanes(mod);
        return run(o.data(), b.data(), e.data(), m.data());
    }
    tzv_status run(int64u* const* o, const int64u* const* b, const int64u* const* e, const int64u* const* m)
    {
        return tzv_exp_mb8(o, b, e, pwrBits, m, modBits, work.data(), (int)work.size());
    }
};

std::string hexStatus(tzv_status sts)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08x", sts);
    return buf;
}

} // namespace

TEST(TzvExp, BufferSizeLimits)
{
    EXPECT_EQ(tzv_exp_BufferSize(0), 0);
    EXPECT_EQ(tzv_exp_BufferSize(-1), 0);
    EXPECT_EQ(tzv_exp_BufferSize(4097), 0);
    EXPECT_EQ(tzv_exp_BufferSize(1 << 30), 0);
    int previous = 0;
    for (int bits = 1; bits <= 4096; ++bits) {
        int size = tzv_exp_BufferSize(bits);
        // Room at least for one result per lane, and never less for a larger modulus.
        ASSERT_GE(size, kLanes * 8 * wordsFor(bits)) << bits;
        ASSERT_GE(size, previous) << bits;
        previous = size;
    }
}

// Every lane gets its own modulus, base and exponent; the base may exceed the modulus.
TEST(TzvExp, MatchesBnModExpInEveryLane)
{
    std::mt19937_64 rng(2024);
    const int sizes[][2] = {{1024, 1024}, {2048, 2048}, {3072, 3072}, {4096, 4096}, {4096, 17},
                            {1, 1},       {64, 64},     {65, 33},     {521, 521},   {1000, 999}};
    for (auto [modBits, pwrBits] : sizes) {
        ExpCall call(modBits, pwrBits);
        std::array<Bn, kLanes> want;
        for (int i = 0; i < kLanes; ++i) {
            Bn m = randomBits(rng, modBits, i % 2 == 0 || modBits == 1, true);
            Bn b = randomBits(rng, modBits, false, false);
            Bn e = randomBits(rng, pwrBits, i % 3 == 0, false);
            want[i] = referenceExp(b.get(), e.get(), m.get());
            call.set(i, b.get(), e.get(), m.get());
        }
        ASSERT_EQ(call.run(), 0u) << modBits;
        for (int i = 0; i < kLanes; ++i)
            EXPECT_EQ(call.out[i], toWords(want[i].get(), wordsFor(modBits))) << modBits << " bits, lane " << i;
    }
}

// What the harness computes: 0 to an all-ones exponent modulo an all-ones modulus is 0; with other
// bases the all-ones operands must still agree with the reference.
TEST(TzvExp, AllOnesOperandsAndEdgeValues)
{
    for (int bits : {1024, 2048, 3072, 4096}) {
        ExpCall call(bits, bits);
        Words ones(wordsFor(bits), ~0ull);
        Bn m = fromWords(ones);
        for (int i = 0; i < kLanes; ++i) {
            call.base[i] = Words(wordsFor(bits), 0);
            call.base[i][0] = (uint64_t)i; // 0, 1, 2, ...: lane 0 is the harness's case
            call.pwr[i] = ones;
            call.mod[i] = ones;
        }
        ASSERT_EQ(call.run(), 0u);
        EXPECT_EQ(call.out[0], Words(wordsFor(bits), 0));
        EXPECT_EQ(call.out[1], toWords(bnWord(1).get(), wordsFor(bits)));
        for (int i = 2; i < kLanes; ++i)
            EXPECT_EQ(call.out[i], toWords(referenceExp(bnWord(i).get(), m.get(), m.get()).get(), wordsFor(bits))) << i;
    }

    // Modulus 1 gives 0; exponent 0 gives 1; (m-1)^2 = 1; base m reduces to 0.
    ExpCall call(128, 128);
    Bn m = bnFromHex("c5a9f1e3b2d47a6f0e8d9c1b2a3f4e5d");
    Bn mMinus1 = bnCopy(m.get());
    BN_sub_word(mMinus1.get(), 1);
    Bn e = bnFromHex("1234567890abcdef");
    call.set(0, bnWord(5).get(), e.get(), bnWord(1).get());
    call.set(1, bnWord(5).get(), bnWord(0).get(), m.get());
    call.set(2, mMinus1.get(), bnWord(2).get(), m.get());
    call.set(3, m.get(), e.get(), m.get());
    call.set(4, bnWord(0).get(), bnWord(0).get(), m.get()); // 0^0 = 1 as BN_mod_exp has it
    for (int i = 5; i < kLanes; ++i) call.set(i, bnWord(3).get(), bnWord(i).get(), m.get());
    ASSERT_EQ(call.run(), 0u);
    const uint64_t want[kLanes] = {0, 1, 1, 0, 1, 243, 729, 2187};
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(call.out[i], toWords(bnWord(want[i]).get(), 2)) << i;

    // A zero-bit exponent is 0: every power is 1, and the exponent lanes are not read.
    ExpCall zero(64, 0);
    for (int i = 0; i < kLanes; ++i) {
        zero.base[i] = {(uint64_t)i + 2};
        zero.mod[i] = {1000003};
    }
    auto o = outLanes(zero.out);
    auto b = inLanes(zero.base), md = inLanes(zero.mod);
    ASSERT_EQ(zero.run(o.data(), b.data(), nullptr, md.data()), 0u);
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(zero.out[i], Words{1}) << i;
}

// Null pointers, even, zero and over-long moduli, and over-long exponents fail their own lanes; the
// other lanes are still right and failed lanes leave their outputs alone.
TEST(TzvExp, BadLanesNextToGoodOnes)
{
    std::mt19937_64 rng(77);
    const int bits = 1024;
    ExpCall call(bits, 500);
    std::array<Bn, kLanes> want;
    for (int i = 0; i < kLanes; ++i) {
        Bn m = randomBits(rng, bits, true, true);
        Bn b = randomBits(rng, bits, false, false);
        Bn e = randomBits(rng, 500, true, false);
        want[i] = referenceExp(b.get(), e.get(), m.get());
        call.set(i, b.get(), e.get(), m.get());
    }
    auto o = outLanes(call.out);
    auto b = inLanes(call.base), e = inLanes(call.pwr), m = inLanes(call.mod);
    o[0] = nullptr;
    b[1] = nullptr;
    e[2] = nullptr;
    m[3] = nullptr;
    Words even = call.mod[4];
    even[0] &= ~1ull;
    m[4] = even.data();
    Words zero(wordsFor(bits), 0);
    m[5] = zero.data();
    Words longPwr = call.pwr[6];
    longPwr[7] |= 1ull << 60; // bit 508: beyond the announced 500 bits
    e[6] = longPwr.data();

    tzv_status sts = call.run(o.data(), b.data(), e.data(), m.data());
    const unsigned expected[kLanes] = {kNull, kNull, kNull, kNull, kBad, kBad, kBad, kOk};
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(tzv_get_lane_sts(sts, i), expected[i]) << "lane " << i << " " << hexStatus(sts);
    EXPECT_EQ(call.out[7], toWords(want[7].get(), wordsFor(bits)));
    for (int i = 1; i < 7; ++i) EXPECT_EQ(call.out[i], Words(wordsFor(bits), 0x5a5a5a5a5a5a5a5aull)) << i;

    // A modulus wider than mod_bits is refused too (1000 bits announced, 1001 given).
    ExpCall wide(1000, 1000);
    for (int i = 0; i < kLanes; ++i)
        wide.set(i, bnWord(2).get(), bnWord(3).get(), randomBits(rng, i == 0 ? 1001 : 1000, true, true).get());
    sts = wide.run();
    EXPECT_EQ(tzv_get_lane_sts(sts, 0), kBad);
    for (int i = 1; i < kLanes; ++i) EXPECT_EQ(tzv_get_lane_sts(sts, i), kOk) << i;

    // Null lane arrays as a whole.
    EXPECT_EQ(call.run(nullptr, b.data(), e.data(), m.data()), 0x22222222u);
    EXPECT_EQ(tzv_exp_mb8(o.data(), b.data(), e.data(), 500, nullptr, bits, call.work.data(), (int)call.work.size()),
              0x22222222u);
}

TEST(TzvExp, WholeCallChecks)
{
    std::mt19937_64 rng(5);
    ExpCall call(2048, 2048);
    for (int i = 0; i < kLanes; ++i)
        call.set(i, bnWord(7).get(), bnWord(65537).get(), randomBits(rng, 2048, true, true).get());
    auto o = outLanes(call.out);
    auto b = inLanes(call.base), e = inLanes(call.pwr), m = inLanes(call.mod);
    const int need = tzv_exp_BufferSize(2048);
    uint8_t* w = call.work.data();

    EXPECT_EQ(tzv_exp_mb8(o.data(), b.data(), e.data(), 2048, m.data(), 2048, w, need - 1), 0x11111111u);
    EXPECT_EQ(tzv_exp_mb8(o.data(), b.data(), e.data(), 2048, m.data(), 2048, w, 0), 0x11111111u);
    EXPECT_EQ(tzv_exp_mb8(o.data(), b.data(), e.data(), 2048, m.data(), 2048, nullptr, need), 0x22222222u);
    EXPECT_EQ(tzv_exp_mb8(o.data(), b.data(), e.data(), 2049, m.data(), 2048, w, need), 0x11111111u);
    EXPECT_EQ(tzv_exp_mb8(o.data(), b.data(), e.data(), -1, m.data(), 2048, w, need), 0x11111111u);
    EXPECT_EQ(tzv_exp_mb8(o.data(), b.data(), e.data(), 0, m.data(), 0, w, need), 0x11111111u);
    EXPECT_EQ(tzv_exp_mb8(o.data(), b.data(), e.data(), 2048, m.data(), 4097, w, 1 << 20), 0x11111111u);
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(call.out[i], Words(32, 0x5a5a5a5a5a5a5a5aull)) << i;

    // Exactly the size asked for is enough, and the call stays inside it.
    std::vector<uint8_t> guarded(need + 64, 0xC3);
    ASSERT_EQ(tzv_exp_mb8(o.data(), b.data(), e.data(), 2048, m.data(), 2048, guarded.data(), need), 0u);
    for (int k = need; k < need + 64; ++k) ASSERT_EQ(guarded[k], 0xC3) << k;
    Bn want = referenceExp(bnWord(7).get(), bnWord(65537).get(), fromWords(call.mod[3]).get());
    EXPECT_EQ(call.out[3], toWords(want.get(), 32));
}
