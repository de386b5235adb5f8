// Tests of libtzvcrypto's 8-lane modular exponentiations. Raw RSA: the PKCS #1 v1.5 encryption
// vectors (the padded block is known, so raw RSA reproduces the ciphertext exactly) and the FIPS
// 186-2 key generation vectors of every size against BN_mod_exp in concurrent threads, wrong sizes
// and methods. tzv_exp_mb8: moduli of many sizes with different operands in every lane against
// BN_mod_exp, the harness's all-ones case and edge values, bit-length checks. Both: bad lanes next to
// good ones, and every call gets a work buffer of exactly the size asked for, with a guard behind.
#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <map>
#include <random>
#include <thread>

#include "ec_test_support.h"

using namespace ectest;

namespace {

// One per thread: the key generation test works in several.
BN_CTX* bnCtx()
{
    static thread_local std::unique_ptr<BN_CTX, decltype(&BN_CTX_free)> ctx(BN_CTX_new(), BN_CTX_free);
    return ctx.get();
}

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

struct RsaKey {
    Bn n, e, d, p, q, dp, dq, invq;
};

// The FIPS 186-2 (X9.31) key generation vectors with e = 65537 of one size, CRT values derived.
std::vector<RsaKey> keyGenVectors(int bits)
{
    std::vector<RsaKey> keys;
    for (const auto& r : vectors::readFile(vectors::path("asymmetric/RSA/FIPS_186-2/KeyGenRSA.rsp"))) {
        if (!r.underHeader("mod = " + std::to_string(bits)) || !r.has("d")) continue;
        RsaKey k{bnFromHex(r.text("n")), bnFromHex(r.text("e")), bnFromHex(r.text("d")), bnFromHex(r.text("p")),
                 bnFromHex(r.text("q")), newBn(), newBn(), newBn()};
        if (!BN_is_word(k.e.get(), 65537)) continue;
        if (BN_cmp(k.p.get(), k.q.get()) > 0) std::swap(k.p, k.q); // q > p: m2 may exceed p (below)
        BN_mod(k.dp.get(), k.d.get(), offset(k.p.get(), -1).get(), bnCtx());
        BN_mod(k.dq.get(), k.d.get(), offset(k.q.get(), -1).get(), bnCtx());
        BN_mod_inverse(k.invq.get(), k.q.get(), k.p.get(), bnCtx());
        keys.push_back(std::move(k));
    }
    return keys;
}

// A lane's key, a raw RSA input and its raw encryption.
struct Lane {
    const RsaKey* key;
    Bytes plain, cipher;
};
using Lanes = std::array<Lane, kLanes>;

// The file labels each value with a comment line ("# Modulus:") followed by lines of hex. Of the
// two "Exponent" labels the private one comes last; "Coefficient" ends a key, "Encryption" a case,
// whose input is the padded block 00 02 ‖ seed ‖ 00 ‖ message.
const std::vector<Lane>& pkcs1Cases()
{
    static std::deque<RsaKey> keys;
    static const std::vector<Lane> cases = [] {
        std::ifstream in(vectors::path("asymmetric/RSA/pkcs1v15crypt-vectors.txt"));
        std::vector<std::pair<std::string, std::string>> values;
        for (std::string line; std::getline(in, line);) {
            line = vectors::trimmed(line);
            if (line.size() > 2 && line[0] == '#' && line.back() == ':')
                values.push_back({vectors::trimmed(line.substr(1, line.size() - 2)), ""});
            else if (!line.empty() && line[0] != '#' && !values.empty())
                for (char c : line) values.back().second += c == ' ' ? "" : std::string(1, c);
        }
        std::vector<Lane> out;
        std::map<std::string, std::string> f;
        auto hex = [&](const char* name) { return bnFromHex(f[name]); };
        for (const auto& [label, value] : values) {
            f[label] = value;
            if (label == "Coefficient")
                keys.push_back({hex("Modulus"), hex("Public exponent"), hex("Exponent"), hex("Prime 1"),
                                hex("Prime 2"), hex("Prime exponent 1"), hex("Prime exponent 2"), hex("Coefficient")});
            if (label == "Encryption")
                out.push_back({&keys.back(), vectors::fromHex("0002" + f["Seed"] + "00" + f["Message"]),
                               vectors::fromHex(value)});
        }
        return out;
    }();
    return cases;
}

enum Kind { kPublic, kPrivate, kCrt };

const tzv_rsa_method* methodOf(Kind kind, int bits)
{
    static const tzv_rsa_method* (*const getters[3][4])(void) = {
        {tzv_RSA1K_pub65537_Method, tzv_RSA2K_pub65537_Method, tzv_RSA3K_pub65537_Method, tzv_RSA4K_pub65537_Method},
        {tzv_RSA1K_private_Method, tzv_RSA2K_private_Method, tzv_RSA3K_private_Method, tzv_RSA4K_private_Method},
        {tzv_RSA1K_private_crt_Method, tzv_RSA2K_private_crt_Method, tzv_RSA3K_private_crt_Method,
         tzv_RSA4K_private_crt_Method}};
    return getters[kind][bits / 1024 - 1]();
}

// One 8-lane call. The work buffer ends exactly where the method's size ends, with a guard behind.
struct RsaLanes {
    int bits;
    std::array<Bytes, kLanes> from, to;
    std::array<Words, kLanes> n, d, p, q, dp, dq, invq;
    Bytes work = Bytes(tzv_RSA_Method_BufSize(tzv_RSA4K_private_crt_Method()) + 64, 0x3C);

    RsaLanes(int bits_, const Lanes& lanes) : bits(bits_)
    {
        const int w = bits / 64;
        for (int i = 0; i < kLanes; ++i) {
            const RsaKey& k = *lanes[i].key;
            n[i] = toWords(k.n.get(), w), d[i] = toWords(k.d.get(), w), p[i] = toWords(k.p.get(), w / 2);
            q[i] = toWords(k.q.get(), w / 2), dp[i] = toWords(k.dp.get(), w / 2);
            dq[i] = toWords(k.dq.get(), w / 2), invq[i] = toWords(k.invq.get(), w / 2);
            from[i] = lanes[i].plain, to[i].assign(bits / 8, 0xA5);
        }
    }

    // The lane arrays, open to edits (null lanes, other values) before the call.
    struct Args {
        std::array<const int8u*, kLanes> from;
        std::array<int8u*, kLanes> to;
        std::array<const int64u*, kLanes> n, d, p, q, dp, dq, invq;
    };
    Args args() { return {inLanes(from), outLanes(to), inLanes(n), inLanes(d), inLanes(p), inLanes(q),
                          inLanes(dp), inLanes(dq), inLanes(invq)}; }

    // With no method, the call's own size and method.
    tzv_status call(Kind kind, const Args& a, int size = 0, const tzv_rsa_method* m = nullptr, bool withWork = true)
    {
        if (!m) size = bits, m = methodOf(kind, bits);
        const size_t end = work.size() - 64;
        uint8_t* w = withWork ? work.data() + end - tzv_RSA_Method_BufSize(m) : nullptr;
        tzv_status sts = kind == kPublic ? tzv_rsa_public_mb8(a.from.data(), a.to.data(), a.n.data(), size, m, w)
                         : kind == kPrivate
                             ? tzv_rsa_private_mb8(a.from.data(), a.to.data(), a.d.data(), a.n.data(), size, m, w)
                             : tzv_rsa_private_crt_mb8(a.from.data(), a.to.data(), a.p.data(), a.q.data(), a.dp.data(),
                                                       a.dq.data(), a.invq.data(), size, m, w);
        for (size_t i = end; i < work.size(); ++i) EXPECT_EQ(work[i], 0x3C) << "work buffer overrun at " << i - end;
        return sts;
    }
};

// The three functions over 8 lanes of (key, plaintext, ciphertext); the private call decrypts in
// place, every lane's output over its input.
void checkThreeWays(int bits, const Lanes& lanes, const std::string& what)
{
    RsaLanes call(bits, lanes);
    for (Kind kind : {kPublic, kPrivate, kCrt}) {
        for (int i = 0; i < kLanes; ++i) call.from[i] = kind == kPublic ? lanes[i].plain : lanes[i].cipher;
        auto a = call.args();
        if (kind == kPrivate) a.to = outLanes(call.from);
        ASSERT_EQ(call.call(kind, a), 0u) << what << ", kind " << kind;
        for (int i = 0; i < kLanes; ++i)
            EXPECT_EQ(kind == kPrivate ? call.from[i] : call.to[i], kind == kPublic ? lanes[i].cipher : lanes[i].plain)
                << what << ", kind " << kind << ", lane " << i;
    }
}

// Uniform in [1, n-1], as a byte string of the modulus length.
Bytes randomBelow(std::mt19937_64& rng, const BIGNUM* n)
{
    Bn v = randomBits(rng, BN_num_bits(n) + 64, false, false);
    BN_mod(v.get(), v.get(), offset(n, -1).get(), bnCtx());
    BN_add_word(v.get(), 1);
    return toBytes(v.get(), BN_num_bytes(n));
}

// A lane of key k with input m, encrypted by OpenSSL.
Lane referenceLane(const RsaKey& k, const Bytes& m)
{
    Bn c;
    BN_mod_exp(c.get(), bnFromBytes(m).get(), k.e.get(), k.n.get(), bnCtx());
    return {&k, m, toBytes(c.get(), BN_num_bytes(k.n.get()))};
}

// Eight lanes of key k with random inputs.
Lanes randomLanes(const RsaKey& k, std::mt19937_64& rng)
{
    Lanes lanes;
    for (Lane& l : lanes) l = referenceLane(k, randomBelow(rng, k.n.get()));
    return lanes;
}

// tzv_exp_mb8
constexpr uint64_t kUntouched = 0x5a5a5a5a5a5a5a5aull;

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
        if (!BN_is_zero(m.get())) BN_mod_exp(r.get(), b.get(), e.get(), m.get(), bnCtx());
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

TEST(TzvRsa, Pkcs1EncryptionVectors)
{
    const auto& all = pkcs1Cases();
    ASSERT_EQ(all.size(), 300u);
    for (int bits : {1024, 2048}) {
        std::vector<Lane> cases;
        std::copy_if(all.begin(), all.end(), std::back_inserter(cases),
                     [&](const Lane& c) { return BN_num_bits(c.key->n.get()) == bits; });
        ASSERT_EQ(cases.size(), bits == 1024 ? 120u : 20u);
        // Lane i takes case start + 7i: neighbouring lanes get different keys (20 cases per key).
        for (size_t start = 0; start < cases.size(); start += 3) {
            Lanes lanes;
            for (int i = 0; i < kLanes; ++i) lanes[i] = cases[(start + 7 * i) % cases.size()];
            for (const Lane& l : lanes) ASSERT_TRUE(BN_is_word(l.key->e.get(), 65537));
            checkThreeWays(bits, lanes, std::to_string(bits) + " bits, case " + std::to_string(start));
        }
    }
}

// One thread per size, all at once (no state may be shared between calls): both keys alternating
// over the lanes, random messages, and in lanes 0 to 2 the largest input n - 1, the input 1 and the
// input that is 0 mod p and q - 1 mod q (the CRT's m2 - m1 beyond p).
TEST(TzvRsa, KeyGenVectorsOfEverySizeInConcurrentThreads)
{
    std::vector<std::thread> threads;
    for (int bits : {1024, 2048, 3072, 4096})
        threads.emplace_back([bits] {
            const std::vector<RsaKey> keys = keyGenVectors(bits);
            ASSERT_EQ(keys.size(), 2u) << bits;
            std::mt19937_64 rng(bits);
            Lanes lanes;
            for (int i = 0; i < kLanes; ++i) {
                const RsaKey& k = keys[i % 2];
                ASSERT_EQ(BN_num_bits(k.n.get()), bits);
                Bn m;
                BN_mod_inverse(m.get(), k.p.get(), k.q.get(), bnCtx());
                BN_mod_mul(m.get(), m.get(), offset(k.q.get(), -1).get(), k.q.get(), bnCtx());
                BN_mul(m.get(), m.get(), k.p.get(), bnCtx());
                lanes[i] = referenceLane(k, i == 0   ? toBytes(offset(k.n.get(), -1).get(), bits / 8)
                                            : i == 1 ? toBytes(bnWord(1).get(), bits / 8)
                                            : i == 2 ? toBytes(m.get(), bits / 8)
                                                     : randomBelow(rng, k.n.get()));
            }
            ASSERT_EQ(lanes[1].cipher, lanes[1].plain);
            for (int round = 0; round < 3; ++round) checkThreeWays(bits, lanes, "KeyGen " + std::to_string(bits));
        });
    for (auto& t : threads) t.join();
}

// A size or method that does not fit the call fails every lane with 1, a missing lane array or work
// buffer every lane with 2, and nothing is written then. Each kind of bad lane next to good ones:
// the status is the lane's own, the good lanes are right and the failed lanes' outputs untouched.
TEST(TzvRsa, WholeCallChecksAndBadLanes)
{
    const int bits = 2048;
    const RsaKey k = std::move(keyGenVectors(bits)[0]);
    std::mt19937_64 rng(3);
    const Lanes lanes = randomLanes(k, rng);
    RsaLanes call(bits, lanes);
    uint64_t fake[8] = {3, 2048, 1, 1, 0, 0, 0, 0}; // not one of the library's descriptors
    const auto* fakeMethod = reinterpret_cast<const tzv_rsa_method*>(fake);
    EXPECT_EQ(tzv_RSA_Method_BufSize(fakeMethod), 0);
    EXPECT_EQ(tzv_RSA_Method_BufSize(nullptr), 0);
    for (Kind kind : {kPublic, kPrivate, kCrt}) {
        std::vector<std::pair<int, const tzv_rsa_method*>> wrong = {
            {bits, methodOf(kind, 1024)}, {bits, methodOf(Kind((kind + 1) % 3), bits)}, {bits, fakeMethod}};
        for (int size : {0, 512, 1024, 1536, 4096, 8192, -2048}) wrong.push_back({size, methodOf(kind, bits)});
        for (auto [size, method] : wrong)
            EXPECT_EQ(call.call(kind, call.args(), size, method), 0x11111111u) << "kind " << kind << " size " << size;
        EXPECT_EQ(call.call(kind, call.args(), bits, methodOf(kind, bits), false), 0x22222222u) << "kind " << kind;
    }
    auto a = call.args();
    uint8_t* w = call.work.data();
    EXPECT_EQ(tzv_rsa_public_mb8(nullptr, a.to.data(), a.n.data(), bits, methodOf(kPublic, bits), w), 0x22222222u);
    EXPECT_EQ(tzv_rsa_private_crt_mb8(a.from.data(), a.to.data(), a.p.data(), a.q.data(), nullptr, a.dq.data(),
                                      a.invq.data(), bits, methodOf(kCrt, bits), w),
              0x22222222u);
    for (int i = 0; i < kLanes; ++i) EXPECT_EQ(call.to[i], Bytes(bits / 8, 0xA5)) << i;

    Bytes nBytes = toBytes(k.n.get(), bits / 8), ones(bits / 8, 0xFF);
    Words evenN = call.n[0], shortN = call.n[0], zeroD(bits / 64, 0), bigD = call.n[0]; // d = n: too large
    Words badInvq = call.invq[0], bigDp = call.p[0], evenP = call.p[0];
    evenN[0] ^= 1, evenP[0] ^= 1, badInvq[0] ^= 4;
    shortN[bits / 64 - 1] >>= 1, shortN[0] |= 1; // one bit short of the size, odd
    auto check = [&](Kind kind, auto damage, std::array<unsigned, kLanes> want) {
        RsaLanes one(bits, lanes);
        for (int i = 0; i < kLanes; ++i) one.from[i] = kind == kPublic ? lanes[i].plain : lanes[i].cipher;
        auto a = one.args();
        damage(a);
        tzv_status sts = one.call(kind, a);
        for (int i = 0; i < kLanes; ++i) {
            const Bytes& good = kind == kPublic ? lanes[i].cipher : lanes[i].plain;
            EXPECT_EQ(tzv_get_lane_sts(sts, i), want[i]) << "kind " << kind << " lane " << i;
            EXPECT_EQ(one.to[i], want[i] == kOk ? good : Bytes(bits / 8, 0xA5)) << "kind " << kind << " lane " << i;
        }
    };
    // null from, null to, null n, input = n, input all ones, even n, short n
    check(kPublic, [&](RsaLanes::Args& a) {
        a.from[0] = nullptr, a.to[1] = nullptr, a.n[2] = nullptr, a.from[3] = nBytes.data();
        a.from[4] = ones.data(), a.n[5] = evenN.data(), a.n[6] = shortN.data();
    }, {kNull, kNull, kNull, kBad, kBad, kBad, kBad, kOk});
    // null d, d = 0, d >= n, input = n, even n
    check(kPrivate, [&](RsaLanes::Args& a) {
        a.d[0] = nullptr, a.d[1] = zeroD.data(), a.d[2] = bigD.data(), a.from[3] = nBytes.data();
        a.n[4] = evenN.data();
    }, {kNull, kBad, kBad, kBad, kBad, kOk, kOk, kOk});
    // null invq, input = n, wrong coefficient, dp >= p, even p, p and q swapped (then invq is no
    // longer q^-1 mod p), dq = q
    check(kCrt, [&](RsaLanes::Args& a) {
        a.invq[0] = nullptr, a.from[1] = nBytes.data(), a.invq[2] = badInvq.data(), a.dp[3] = bigDp.data();
        a.p[4] = evenP.data(), a.p[5] = call.q[5].data(), a.q[5] = call.p[5].data(), a.dq[6] = call.q[6].data();
    }, {kNull, kBad, kBad, kBad, kBad, kBad, kBad, kOk});
}

// No private exponent, prime, CRT value or plaintext of the lanes stays on the stack after a private
// operation, nor a secret exponent after tzv_exp_mb8.
TEST(TzvRsa, NoSecretLeftOnTheStack)
{
    const int bits = 1024;
    const RsaKey k = std::move(keyGenVectors(bits)[0]);
    std::mt19937_64 rng(5);
    const Lanes lanes = randomLanes(k, rng);
    RsaLanes call(bits, lanes);
    Secrets secrets;
    for (int i = 0; i < kLanes; ++i) {
        for (const Words* w : {&call.d[i], &call.p[i], &call.q[i], &call.dp[i], &call.dq[i], &call.invq[i]})
            secrets.add(*w);
        secrets.add(toWords(bnFromBytes(lanes[i].plain).get(), bits / 64));
        call.from[i] = lanes[i].cipher;
    }
    for (Kind kind : {kPrivate, kCrt}) {
        tzv_status sts = 1;
        EXPECT_EQ(leftOnStack([&] { sts = call.call(kind, call.args()); }, secrets) + sts, 0u) << "kind " << kind;
    }
    ExpCall exp(2048, 2048);
    for (int i = 0; i < kLanes; ++i) {
        exp.set(i, randomBits(rng, 2048, false, false), randomBits(rng, 2048, false, false),
                randomBits(rng, 2048, true, true));
        secrets.add(exp.pwr[i]);
    }
    EXPECT_EQ(leftOnStack([&] { exp.runAndCheck("secret exponents"); }, secrets), 0);
}

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
