// Tests of the 8-lane modular exponentiation of libtzvcrypto against OpenSSL's BN_mod_exp: moduli of
// many sizes with different operands in every lane, the harness's all-ones case and edge values,
// bad lanes next to good ones, and the whole-call checks of the bit lengths and the work buffer.
#include <gtest/gtest.h>

#include <random>

#include "ec_test_support.h"

using namespace ectest;

namespace {

constexpr unsigned kOk = TZV_STS_OK, kBad = TZV_STS_BAD_PARAM, kNull = TZV_STS_NULL_PARAM;
constexpr uint64_t kUntouched = 0x5a5a5a5a5a5a5a5aull;

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

// One call's operands, one set per lane, with BN_mod_exp's results, and the result buffers.
struct ExpCall {
    int modBits, pwrBits, words = (modBits + 63) / 64;
    std::array<Words, kLanes> base, pwr, mod, out, want;
    std::vector<uint8_t> work = std::vector<uint8_t>(tzv_exp_BufferSize(modBits) + 64, 0xC3); // then a guard

    ExpCall(int modBits_, int pwrBits_) : modBits(modBits_), pwrBits(pwrBits_)
    {
        for (auto& o : out) o.assign(words, kUntouched);
    }
    void set(int lane, const Bn& b, const Bn& e, const Bn& m)
    {
        base[lane] = toWords(b.get(), words), pwr[lane] = toWords(e.get(), (pwrBits + 63) / 64);
        mod[lane] = toWords(m.get(), words);
        Bn r;
        std::unique_ptr<BN_CTX, decltype(&BN_CTX_free)> ctx(BN_CTX_new(), BN_CTX_free);
        if (!BN_is_zero(m.get())) BN_mod_exp(r.get(), b.get(), e.get(), m.get(), ctx.get());
        want[lane] = toWords(r.get(), words);
    }
    tzv_status run(int64u* const* o, const int64u* const* b, const int64u* const* e, const int64u* const* m)
    {
        const int size = tzv_exp_BufferSize(modBits);
        const tzv_status sts = tzv_exp_mb8(o, b, e, pwrBits, m, modBits, work.data(), size);
        for (size_t i = size; i < work.size(); ++i) EXPECT_EQ(work[i], 0xC3) << "work buffer overrun at " << i - size;
        return sts;
    }
    // Every lane's result, which must be right.
    void runAndCheck(const std::string& what)
    {
        ASSERT_EQ(run(outLanes(out).data(), inLanes(base).data(), inLanes(pwr).data(), inLanes(mod).data()), 0u);
        for (int i = 0; i < kLanes; ++i) EXPECT_EQ(out[i], want[i]) << what << ", lane " << i;
    }
};

} // namespace

// Every lane gets its own modulus, base and exponent; the base may exceed the modulus. At the four
// RSA sizes lanes 0 and 1 take the harness's case, an all-ones exponent and modulus (base 0 and 2).
TEST(TzvExp, MatchesBnModExpInEveryLane)
{
    std::mt19937_64 rng(2024);
    const int sizes[][2] = {{1024, 1024}, {2048, 2048}, {3072, 3072}, {4096, 4096}, {4096, 17},
                            {1, 1},       {64, 64},     {65, 33},     {521, 521},   {1000, 999}};
    for (auto [modBits, pwrBits] : sizes) {
        ExpCall call(modBits, pwrBits);
        for (int i = 0; i < kLanes; ++i) {
            Bn m = randomBits(rng, modBits, i % 2 == 0 || modBits == 1, true);
            Bn b = randomBits(rng, modBits, false, false), e = randomBits(rng, pwrBits, i % 3 == 0, false);
            if (modBits == pwrBits && modBits % 1024 == 0 && i < 2)
                m = fromWords(Words(call.words, ~0ull)), e = m, b = bnWord(2 * i);
            call.set(i, b, e, m);
        }
        call.runAndCheck(std::to_string(modBits) + " bits");
    }
    // Modulus 1, exponent 0, (m-1)^2, base m, 0^0 (1, as BN_mod_exp has it), small powers.
    ExpCall call(128, 128);
    Bn m = bnFromHex("c5a9f1e3b2d47a6f0e8d9c1b2a3f4e5d"), e = bnFromHex("1234567890abcdef");
    call.set(0, bnWord(5), e, bnWord(1));
    call.set(1, bnWord(5), bnWord(0), m);
    call.set(2, offset(m.get(), -1), bnWord(2), m);
    call.set(3, m, e, m);
    call.set(4, bnWord(0), bnWord(0), m);
    for (int i = 5; i < kLanes; ++i) call.set(i, bnWord(3), bnWord(i), m);
    call.runAndCheck("edge values");
    // A zero-bit exponent, whose lane array is not read.
    ExpCall zero(64, 0);
    for (int i = 0; i < kLanes; ++i) zero.base[i] = {(uint64_t)i + 2}, zero.mod[i] = {1000003};
    ASSERT_EQ(zero.run(outLanes(zero.out).data(), inLanes(zero.base).data(), nullptr, inLanes(zero.mod).data()), 0u);
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(zero.out[i], Words{1}) << i;
}

// Null pointers, even, zero, over-wide moduli and over-long exponents fail their own lanes; the
// good lane is still right and failed lanes leave their outputs alone. Lengths outside 1..4096 or
// an exponent longer than the modulus, and a work buffer one byte short, fail every lane with 1; a
// missing array or buffer every lane with 2, and nothing is written then.
TEST(TzvExp, BadLanesAndWholeCallChecks)
{
    for (int bits : {0, -1, 4097, 1 << 30}) EXPECT_EQ(tzv_exp_BufferSize(bits), 0) << bits;
    std::mt19937_64 rng(77);
    const int bits = 1000, need = tzv_exp_BufferSize(bits);
    ExpCall call(bits, 500);
    for (int i = 0; i < kLanes; ++i)
        call.set(i, randomBits(rng, bits, false, false), randomBits(rng, 500, true, false),
                 randomBits(rng, bits, true, true));
    auto o = outLanes(call.out);
    auto b = inLanes(call.base), e = inLanes(call.pwr), m = inLanes(call.mod);
    uint8_t* w = call.work.data();
    const struct {
        int pwrBits, modBits, size;
        uint8_t* work;
        tzv_status want;
    } cases[] = {{500, bits, need - 1, w, 0x11111111u},    {500, bits, 0, w, 0x11111111u},
                 {500, bits, need, nullptr, 0x22222222u}, {bits + 1, bits, need, w, 0x11111111u},
                 {-1, bits, need, w, 0x11111111u},        {0, 0, need, w, 0x11111111u},
                 {500, 4097, 1 << 20, w, 0x11111111u}};
    for (const auto& c : cases)
        EXPECT_EQ(tzv_exp_mb8(o.data(), b.data(), e.data(), c.pwrBits, m.data(), c.modBits, c.work, c.size), c.want)
            << c.pwrBits << "/" << c.modBits << "/" << c.size;
    EXPECT_EQ(call.run(nullptr, b.data(), e.data(), m.data()), 0x22222222u);
    EXPECT_EQ(call.run(o.data(), b.data(), e.data(), nullptr), 0x22222222u);
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(call.out[i], Words(call.words, kUntouched)) << i;

    Words even = call.mod[4], zero(call.words, 0), longPwr = call.pwr[6], wide = call.mod[3];
    even[0] &= ~1ull;
    longPwr[7] |= 1ull << 60; // bit 508: beyond the announced 500 bits
    wide[15] |= 1ull << 40;   // bit 1000: beyond the announced 1000 bits
    o[0] = nullptr, b[1] = nullptr, e[2] = nullptr, m[3] = wide.data(), m[4] = even.data(), m[5] = zero.data();
    e[6] = longPwr.data();
    tzv_status sts = call.run(o.data(), b.data(), e.data(), m.data());
    const unsigned expected[kLanes] = {kNull, kNull, kNull, kBad, kBad, kBad, kBad, kOk};
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(tzv_get_lane_sts(sts, i), expected[i]) << "lane " << i;
    EXPECT_EQ(call.out[7], call.want[7]);
    for (int i = 1; i < 7; ++i) EXPECT_EQ(call.out[i], Words(call.words, kUntouched)) << i;
}
