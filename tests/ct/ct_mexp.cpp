// Constant time of the eight-lane exponentiation: the plain C++ backend of the IFMA engine under
// valgrind memcheck, with the exponents, the CRT's primes and its coefficients marked undefined, so
// that a branch or a memory index that depends on them fails the run, in the exponentiations and
// in the range checks (the engine's and the portable path's word comparison). The results, made
// defined again, must equal OpenSSL's, and a lane with a wrong coefficient must be reported and not
// written.
#include <openssl/bn.h>
#include <valgrind/memcheck.h>

#include <cstdio>

#include "../libs/ec_test_support.h"
#include "bn_lanes.h"
#include "mexp/mexp_engine.h"

using namespace ectest;
namespace mexp = tzv::mexp;

namespace {

using LaneWords = std::array<Words, kLanes>;

void markUndefined(LaneWords& v, bool undefined)
{
    for (auto& w : v)
        undefined ? VALGRIND_MAKE_MEM_UNDEFINED(w.data(), 8 * w.size())
                  : VALGRIND_MAKE_MEM_DEFINED(w.data(), 8 * w.size());
}

int compare(const char* what, LaneWords& got, const LaneWords& want)
{
    markUndefined(got, false);
    int failures = 0;
    for (int i = 0; i < kLanes; ++i)
        if (got[i] != want[i]) failures += std::printf("FAIL %s, lane %d\n", what, i) > 0;
    return failures;
}

} // namespace

int main()
{
    const mexp::ModExpEngine& engine = mexp::modExpEnginePlain();
    BN_CTX* ctx = BN_CTX_new();
    std::mt19937_64 rng(65537);
    auto random = [&](int bits) {
        Bytes b(bits / 8);
        for (auto& c : b) c = (uint8_t)rng();
        return bnFromBytes(b);
    };
    const int bits = 1024, words = bits / 64, half = words / 2;
    std::vector<uint8_t> scratch(mexp::scratchBytes(words));

    // base^pwr mod m: public moduli of full length, secret exponents.
    LaneWords base, pwr, mod, out, want;
    for (int i = 0; i < kLanes; ++i) {
        Bn m = random(bits), b = random(bits), e = random(bits), r;
        BN_set_bit(m.get(), bits - 1), BN_set_bit(m.get(), 0);
        BN_mod_exp(r.get(), b.get(), e.get(), m.get(), ctx);
        base[i] = toWords(b.get(), words), pwr[i] = toWords(e.get(), words), mod[i] = toWords(m.get(), words);
        want[i] = toWords(r.get(), words), out[i].assign(words, 0);
    }
    markUndefined(pwr, true);
    engine.power(outLanes(out).data(), inLanes(base).data(), inLanes(pwr).data(), bits, inLanes(mod).data(), words,
                 bits, 0xFF, scratch.data());
    int failures = compare("power", out, want);

    // c^d mod p·q by the CRT, two keys over the lanes; lane 5's coefficient is wrong.
    LaneWords c, p, q, dp, dq, invq;
    Bn primes[2][2];
    for (auto& key : primes) {
        Bn n;
        do {
            for (Bn& prime : key) BN_generate_prime_ex(prime.get(), bits / 2, 0, nullptr, nullptr, nullptr);
            BN_mul(n.get(), key[0].get(), key[1].get(), ctx);
        } while (BN_num_bits(n.get()) != bits);
    }
    for (int i = 0; i < kLanes; ++i) {
        const Bn& P = primes[i % 2][0];
        const Bn& Q = primes[i % 2][1];
        Bn n, d = random(bits), x = random(bits), e1, e2, iq, r;
        BN_mul(n.get(), P.get(), Q.get(), ctx);
        BN_mod(d.get(), d.get(), n.get(), ctx), BN_mod(x.get(), x.get(), n.get(), ctx);
        BN_mod(e1.get(), d.get(), offset(P.get(), -1).get(), ctx);
        BN_mod(e2.get(), d.get(), offset(Q.get(), -1).get(), ctx);
        BN_mod_inverse(iq.get(), Q.get(), P.get(), ctx);
        BN_mod_exp(r.get(), x.get(), d.get(), n.get(), ctx);
        c[i] = toWords(x.get(), words), p[i] = toWords(P.get(), half), q[i] = toWords(Q.get(), half);
        dp[i] = toWords(e1.get(), half), dq[i] = toWords(e2.get(), half), invq[i] = toWords(iq.get(), half);
        want[i] = toWords(r.get(), words), out[i].assign(words, 0);
    }
    invq[5][0] ^= 4;
    want[5].assign(words, 0);
    for (LaneWords* secret : {&p, &q, &dp, &dq, &invq}) markUndefined(*secret, true);
    unsigned wrong = engine.crt(outLanes(out).data(), inLanes(c).data(), inLanes(p).data(), inLanes(q).data(),
                                inLanes(dp).data(), inLanes(dq).data(), inLanes(invq).data(), half, 0xFF,
                                scratch.data());
    VALGRIND_MAKE_MEM_DEFINED(&wrong, sizeof wrong);
    if (wrong != 1u << 5) failures += std::printf("FAIL crt: lanes 0x%x reported wrong, not 0x20\n", wrong) > 0;
    // The range checks of the secrets: dp < p in every lane; p < dp nowhere.
    unsigned range[2] = {engine.outOfRange(inLanes(dp).data(), inLanes(p).data(), half, 0xFF),
                         engine.outOfRange(inLanes(p).data(), inLanes(dp).data(), half, 0xFF)};
    VALGRIND_MAKE_MEM_DEFINED(range, sizeof range);
    if (range[0] != 0 || range[1] != 0xFF) failures += std::printf("FAIL range: 0x%x, 0x%x\n", range[0], range[1]) > 0;
    failures += compare("crt", out, want);

    // The portable path's word comparison of secrets, 1 <= v < upper, on the same undefined words;
    // p − 1 < p takes a borrow through every word but the lowest.
    for (int i = 0; i < kLanes; ++i) {
        Words below = p[i], zero(half, 0);
        below[0] -= 1;
        bool got[5] = {tzv::bn::wordsInRange(dp[i].data(), p[i].data(), half),
                       tzv::bn::wordsInRange(p[i].data(), dp[i].data(), half),
                       tzv::bn::wordsInRange(p[i].data(), p[i].data(), half),
                       tzv::bn::wordsInRange(below.data(), p[i].data(), half),
                       tzv::bn::wordsInRange(zero.data(), p[i].data(), half)};
        VALGRIND_MAKE_MEM_DEFINED(got, sizeof got);
        if (!got[0] || got[1] || got[2] || !got[3] || got[4])
            failures += std::printf("FAIL words in range, lane %d\n", i) > 0;
    }
    BN_CTX_free(ctx);
    std::printf("constant-time run: %s\n", failures ? "results wrong" : "results agree with OpenSSL");
    return failures ? 1 : 0;
}
