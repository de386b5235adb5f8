// The context helpers of kycpTest: big numbers, Montgomery, PRNG, prime and DLP contexts of the
// general crypto library, placed in memory the test tracks and filled from the reproducible words.
#include <vector>

#include "ky_cp_test.h"

namespace {
// A library status that fails stops the helper; notes let it go on.
bool passed(int status, const char* function) { return kyTest::checkStatus(status, function) < ACCURFAIL; }
} // namespace

void* kycpTest::allocContext(int bytes) { return bytes > 0 ? psTest::allocate(bytes, -1) : nullptr; }

bool kycpTest::createBN(int words, int randomWords, _cpBigNum*& bn, int)
{
    int bytes = 0;
    if (!passed(kynsBigNumGetSize(words, &bytes), "kynsBigNumGetSize")) return false;
    bn = static_cast<_cpBigNum*>(allocContext(bytes));
    if (!passed(kynsBigNumInit(words, bn), "kynsBigNumInit")) return false;
    return setBN_Random(bn, randomWords);
}

bool kycpTest::createBN(int words, _cpBigNum*& bn, int unused) { return createBN(words, words, bn, unused); }

bool kycpTest::createBN_1(int words, _cpBigNum*& bn, int unused)
{
    if (!createBN(words, bn, unused)) return false;
    std::vector<unsigned> data(words > 0 ? words : 1);
    rand_32u(data.data(), words);
    data[words - 1] = (data[words - 1] & 0x3FFFFFFFu) | 0x40000000u;
    data[0] |= 1u;
    return passed(kynsSet_BN(kynsBigNumPOS, words, data.data(), bn), "kynsSet_BN");
}

bool kycpTest::setBN_Random(_cpBigNum* bn, int words)
{
    int capacity = 0;
    if (!passed(kynsGetSize_BN(bn, &capacity), "kynsGetSize_BN")) return false;
    if (words < 0 || words > capacity) words = capacity;
    std::vector<unsigned> data(capacity > 0 ? capacity : 1, 0u);
    if (words > 0) {
        rand_32u(data.data(), words);
        data[words - 1] |= 0x80000000u;
        data[0] |= 1u;
    }
    return passed(kynsSet_BN(kynsBigNumPOS, capacity, data.data(), bn), "kynsSet_BN");
}

bool kycpTest::setBN(_cpBigNum* bn, const unsigned* data, KynsBigNumSGN sign)
{
    int capacity = 0;
    if (!passed(kynsGetSize_BN(bn, &capacity), "kynsGetSize_BN")) return false;
    return passed(kynsSet_BN(sign, capacity, data, bn), "kynsSet_BN");
}

bool kycpTest::setBN(_cpBigNum* bn, unsigned value, KynsBigNumSGN sign)
{
    int capacity = 0;
    if (kynsGetSize_BN(bn, &capacity) != 0 || capacity < 1) return false;
    std::vector<unsigned> data(capacity, value);
    return kynsSet_BN(sign, capacity, data.data(), bn) == 0;
}

bool kycpTest::copyDataBN(const _cpBigNum* src, _cpBigNum* dst)
{
    KynsBigNumSGN sign = kynsBigNumPOS;
    int bits = 0;
    int32u* data = nullptr;
    if (!passed(kynsRef_BN(&sign, &bits, &data, src), "kynsRef_BN")) return false;
    int length = getBNLength(bits);
    int capacity = 0;
    if (!passed(kynsGetSize_BN(dst, &capacity), "kynsGetSize_BN")) return false;
    if (capacity <= length) return false;
    return passed(kynsSet_BN(sign, length, data, dst), "kynsSet_BN");
}

bool kycpTest::createMont(KynsExpMethod method, int words, _cpMontgomery*& mont, int)
{
    int bytes = 0;
    if (!passed(kynsMontGetSize(method, words, &bytes), "kynsMontGetSize")) return false;
    mont = static_cast<_cpMontgomery*>(allocContext(bytes));
    if (!passed(kynsMontInit(method, words, mont), "kynsMontInit")) return false;
    std::vector<unsigned> modulus(words > 0 ? words : 1);
    rand_32u(modulus.data(), words);
    modulus[0] |= 1u;
    modulus[modulus.size() - 1] |= 0x80000000u;
    return passed(kynsMontSet(modulus.data(), words, mont), "kynsMontSet");
}

bool kycpTest::createPRNG(_cpPRNG*& prng, unsigned seed)
{
    int bytes = 0;
    if (!passed(kynsPRNGGetSize(&bytes), "kynsPRNGGetSize")) return false;
    prng = static_cast<_cpPRNG*>(allocContext(bytes));
    if (!passed(kynsPRNGInit(512, prng), "kynsPRNGInit")) return false;

    // A 160-bit seed from the given seed, so that a generator is the same whatever ran before.
    unsigned words[5];
    rand_32u(words, 5, seed);
    words[0] |= 1u;
    words[4] |= 0x80000000u;
    int numberBytes = 0;
    kynsBigNumGetSize(5, &numberBytes);
    std::vector<unsigned char> numberBuffer(numberBytes > 0 ? numberBytes : 1);
    _cpBigNum* number = reinterpret_cast<_cpBigNum*>(numberBuffer.data());
    kynsBigNumInit(5, number);
    kynsSet_BN(kynsBigNumPOS, 5, words, number);
    return passed(kynsPRNGSetSeed(number, prng), "kynsPRNGSetSeed");
}

bool kycpTest::createPrime(int bits, _cpPrime*& prime, int)
{
    int bytes = 0;
    if (!passed(kynsPrimeGetSize(bits, &bytes), "kynsPrimeGetSize")) return false;
    prime = static_cast<_cpPrime*>(allocContext(bytes));
    return passed(kynsPrimeInit(bits, prime), "kynsPrimeInit");
}

bool kycpTest::createDSA(int bits, _cpDLP*& dlp, int)
{
    const int orderBits = 160;
    int bytes = 0;
    if (!passed(kynsDLPGetSize(bits, orderBits, &bytes), "kynsDLPGetSize")) return false;
    dlp = static_cast<_cpDLP*>(allocContext(bytes));
    return passed(kynsDLPInit(bits, orderBits, dlp), "kynsDLPInit");
}
