// Differential fuzzing of tzv_exp_mb8 and raw RSA by the CRT, on the code path of all enabled
// features (the lanes together on IFMA) and on the portable one (OpenSSL per lane): the same
// statuses and words, and the outputs of failing lanes left alone. Moduli of 1 to 4096 bits (odd or
// not, maybe 1 or all ones), bases and exponents from the input or edge values (0, 1, m − 1, m, all
// ones); the CRT's lanes take their primes and exponents from the input, so most of them fail its
// checks unless its coefficient is q⁻¹ mod p, which most lanes get (p and q need not be prime for
// the two paths to have to agree), or q⁻¹ mod p + p, which both must refuse.
#include <algorithm>
#include <cstring>

#include "ec_test_support.h"
#include "kyncp.h"

namespace {

using namespace ectest;
constexpr Kyn64u kPortableFeatures = 0x7C2900FEFFFull; // every AVX-512 feature masked off
using LaneWords = std::array<Words, kLanes>;

// Runs call() on both paths over copies of `out` (filled with a pattern) and aborts on a difference.
template <class Call>
void bothPaths(const LaneWords& out, Call call)
{
    static const Kyn64u allFeatures = kyncpGetEnabledCpuFeatures();
    LaneWords results[2] = {out, out};
    tzv_status sts[2];
    for (int path = 0; path < 2; ++path) {
        kyncpSetCpuFeatures(path ? kPortableFeatures : allFeatures);
        sts[path] = call(outLanes(results[path]));
    }
    kyncpSetCpuFeatures(allFeatures);
    if (sts[0] != sts[1] || results[0] != results[1]) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto byte = [&]() -> uint8_t { return size ? (--size, *data++) : 0; };
    // A number from the generator, which the input seeds, or an edge value; cut to `bits`.
    std::mt19937_64 rng;
    auto number = [&](Words& w, int bits, uint8_t edge, const Words& m) {
        if (w.empty()) return;
        for (auto& x : w) x = rng();
        if (edge < 5) w.assign(w.size(), edge == 4 ? ~0ull : 0), w[0] = edge & 1; // 0, 1, all ones
        if (edge == 5 || edge == 6) w = m, w[0] -= edge == 5; // m − 1, m
        if (bits % 64) w.back() &= ~0ull >> (64 - bits % 64);
    };
    // Exponents up to 1024 bits keep the runs short; the lengths of the moduli are what vary the limbs.
    const int modBits = 1 + ((byte() << 8 | byte()) % 4096);
    const int pwrBits = (byte() << 8 | byte()) % (std::min(modBits, 1024) + 1);
    const int words = (modBits + 63) / 64;
    LaneWords base, pwr, mod, out;
    for (int i = 0; i < kLanes; ++i) {
        const uint8_t edges = byte();
        rng.seed(byte() << 8 | byte());
        mod[i].resize(words), base[i].resize(words), pwr[i].resize((pwrBits + 63) / 64);
        number(mod[i], modBits, edges % 16 == 4 ? 4 : 16, mod[i]);
        mod[i][0] |= (edges & 0xE0) != 0xE0; // mostly odd
        number(base[i], modBits, (edges >> 4) % 8, mod[i]);
        number(pwr[i], pwrBits, edges % 8 + 16 * (edges % 3 != 0), mod[i]);
        out[i].assign(words, 0x5A5A5A5A5A5A5A5Aull);
    }
    std::vector<uint8_t> work(tzv_exp_BufferSize(modBits));
    bothPaths(out, [&](const std::array<int64u*, kLanes>& o) {
        return tzv_exp_mb8(o.data(), inLanes(base).data(), inLanes(pwr).data(), pwrBits, inLanes(mod).data(),
                           modBits, work.data(), (int)work.size());
    });

    // RSA by the CRT at 1024 bits: p, q, dp, dq, invq and the text from the lanes' numbers above.
    const int bits = 1024, half = bits / 128;
    const tzv_rsa_method* method = tzv_RSA1K_private_crt_Method();
    std::vector<uint8_t> rsaWork(tzv_RSA_Method_BufSize(method));
    LaneWords key[5], text;
    std::array<Bytes, kLanes> from;
    for (int i = 0; i < kLanes; ++i) {
        for (LaneWords& k : key) k[i].resize(half), number(k[i], 64 * half, 16, k[i]);
        for (int k = 0; k < 2; ++k) key[k][i][half - 1] |= 3ull << 62, key[k][i][0] |= 1; // n of 1024 bits
        for (int k = 2; k < 4; ++k) key[k][i][half - 1] >>= 1;                         // dp < p, dq < q
        const Bn p = fromWords(key[0][i]), q = fromWords(key[1][i]), inverse;
        const uint8_t coefficient = byte() % 4; // 3: random; 2: q⁻¹ mod p + p, out of range where it fits
        if (coefficient != 3 && BN_mod_inverse(inverse.get(), q.get(), p.get(), nullptr)) {
            if (coefficient == 2) BN_add(inverse.get(), inverse.get(), p.get());
            if (BN_num_bits(inverse.get()) <= 64 * half) key[4][i] = toWords(inverse.get(), half);
        }
        from[i].assign(bits / 8, 0);
        for (auto& b : from[i]) b = (uint8_t)(rng() & (&b == &from[i][0] ? 0x3F : 0xFF)); // below n
        text[i].assign(bits / 64, 0x5A5A5A5A5A5A5A5Aull);
    }
    bothPaths(text, [&](const std::array<int64u*, kLanes>& o) {
        std::array<int8u*, kLanes> to;
        for (int i = 0; i < kLanes; ++i) to[i] = reinterpret_cast<int8u*>(o[i]);
        return tzv_rsa_private_crt_mb8(inLanes(from).data(), to.data(), inLanes(key[0]).data(), inLanes(key[1]).data(),
                                       inLanes(key[2]).data(), inLanes(key[3]).data(), inLanes(key[4]).data(), bits,
                                       method, rsaWork.data());
    });
    return 0;
}
