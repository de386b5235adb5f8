// libkyncp's services and contexts: processor features against /proc/cpuinfo and XCR0, the leaf-2
// cache lookup, time-stamp readings, feature, thread and code-path selection, and the big-number,
// Montgomery, PRNG, prime and DLP contexts: arithmetic agrees with OpenSSL, the generator gives its
// documented hash, and one table of bad arguments.
#include <cpuid.h>
#include <openssl/bn.h>
#include <openssl/sha.h>
#include <x86intrin.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kyncp.h"

namespace {

using Words = std::vector<int32u>;

// A caller buffer for a context at an odd address, as the harness's misaligned allocations can be.
struct Buffer {
    explicit Buffer(int size, int misalign = 3) : store(size + 64, 0xA5), misalign(misalign) {}
    template <class T>
    T* as() { return reinterpret_cast<T*>(store.data() + misalign); }
    std::vector<unsigned char> store;
    int misalign;
};

int bigNumSize(int words)
{
    int s = 0;
    EXPECT_EQ(kynStsNoErr, kynsBigNumGetSize(words, &s));
    return s;
}

// A big number of `words` capacity in its own buffer, set to `value` unless that is empty.
struct Num {
    explicit Num(int words, const Words& value = {}, KynsBigNumSGN sign = kynsBigNumPOS) : buf(bigNumSize(words), 5)
    {
        EXPECT_EQ(kynStsNoErr, kynsBigNumInit(words, get()));
        EXPECT_EQ(kynStsNoErr, value.empty() ? kynStsNoErr : kynsSet_BN(sign, (int)value.size(), value.data(), get()));
    }
    _cpBigNum* get() { return buf.as<_cpBigNum>(); }
    // The significant words of the value.
    Words words()
    {
        KynsBigNumSGN sgn = kynsBigNumNEG;
        int bits = -1;
        int32u* data = nullptr;
        EXPECT_EQ(kynStsNoErr, kynsRef_BN(&sgn, &bits, &data, get()));
        EXPECT_EQ(0u, (uintptr_t)data % 4) << "words must be aligned whatever the buffer";
        return Words(data, data + (bits + 31) / 32);
    }
    Buffer buf;
};

using BnPtr = std::unique_ptr<BIGNUM, decltype(&BN_free)>;
BnPtr bnOf(const Words& w)
{
    return BnPtr(BN_lebin2bn(reinterpret_cast<const unsigned char*>(w.data()), (int)w.size() * 4, nullptr), BN_free);
}
Words wordsOf(const BIGNUM* b)
{
    Words w((BN_num_bytes(b) + 3) / 4, 0);
    if (!w.empty()) BN_bn2lebinpad(b, reinterpret_cast<unsigned char*>(w.data()), (int)w.size() * 4);
    return w;
}
// A random odd number of exactly n words.
Words randomOdd(int n)
{
    BnPtr b(BN_new(), BN_free);
    BN_rand(b.get(), 32 * n, BN_RAND_TOP_ONE, BN_RAND_BOTTOM_ODD);
    return wordsOf(b.get());
}

// A generator context; seeded unless `seed` is empty.
std::unique_ptr<Buffer> makePrng(int seedBits, const Words& seed)
{
    int size = 0;
    EXPECT_EQ(kynStsNoErr, kynsPRNGGetSize(&size));
    auto buf = std::make_unique<Buffer>(size, 9);
    EXPECT_EQ(kynStsNoErr, kynsPRNGInit(seedBits, buf->as<_cpPRNG>()));
    EXPECT_EQ(kynStsNoErr, seed.empty() ? kynStsNoErr : kynsPRNGSetSeed(Num(16, seed).get(), buf->as<_cpPRNG>()));
    return buf;
}

// Restores the process-wide feature selection and thread count after a test that changes them.
class KyncpSettings : public ::testing::Test {
protected:
    void TearDown() override { kyncpInit(), kyncpSetNumThreads(1); }
};

} // namespace

TEST(KyncpCpu, FeatureBitsAgreeWithProcCpuinfoAndXcr0)
{
    // Each kernel flag and the library bit that means the same instructions. The kernel shows a
    // flag only when the OS can run those instructions, as the library's bits do.
    const std::pair<const char*, Kyn64u> map[] = {
        {"mmx", kynCPUID_MMX}, {"sse", kynCPUID_SSE}, {"sse2", kynCPUID_SSE2}, {"pni", kynCPUID_SSE3},
        {"ssse3", kynCPUID_SSSE3}, {"movbe", kynCPUID_MOVBE}, {"sse4_1", kynCPUID_SSE41}, {"sse4_2", kynCPUID_SSE42},
        {"avx", kynCPUID_AVX}, {"aes", kynCPUID_AES}, {"pclmulqdq", kynCPUID_CLMUL}, {"rdrand", kynCPUID_RDRAND},
        {"f16c", kynCPUID_F16C}, {"avx2", kynCPUID_AVX2}, {"adx", kynCPUID_ADCOX}, {"rdseed", kynCPUID_RDSEED},
        {"sha_ni", kynCPUID_SHA}, {"avx512f", kynCPUID_AVX512F}, {"avx512cd", kynCPUID_AVX512CD},
        {"avx512bw", kynCPUID_AVX512BW}, {"avx512dq", kynCPUID_AVX512DQ}, {"avx512vl", kynCPUID_AVX512VL},
        {"avx512ifma", kynCPUID_AVX512IFMA}, {"avx512vbmi", kynCPUID_AVX512VBMI},
        {"avx512_vbmi2", kynCPUID_AVX512VBMI2}, {"gfni", kynCPUID_AVX512GFNI}, {"vaes", kynCPUID_AVX512VAES},
        {"vpclmulqdq", kynCPUID_AVX512VCLMUL},
    };
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line) && line.rfind("flags", 0) != 0) {}
    std::istringstream words(line.substr(line.find(':') + 1));
    const std::set<std::string> flags{std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()};
    ASSERT_FALSE(flags.empty()) << "/proc/cpuinfo has no flags";
    Kyn64u f = 0;
    ASSERT_EQ(kynStsNoErr, kyncpGetCpuFeatures(&f));
    for (auto& m : map) EXPECT_EQ(flags.count(m.first) == 1, (f & m.second) != 0) << "flag " << m.first;
    // Combined bits follow their parts; nothing outside the known table, never the co-processor.
    EXPECT_EQ((f & kynCPUID_AVX2) && flags.count("vaes"), (f & kynCPUID_AVX2VAES) != 0);
    EXPECT_EQ((f & kynCPUID_AVX2) && flags.count("vpclmulqdq"), (f & kynCPUID_AVX2VCLMUL) != 0);
    EXPECT_EQ(0u, f & (~kynCPUID_ALL_KNOWN | kynCPUID_COPROCESSOR | 0x1000u));

    // The OS bits: XCR0 (its low half holds them) read here, apart from the library.
    unsigned a, b, c, d, xcr0 = 0, high = 0;
    __cpuid(1, a, b, c, d);
    if (c & (1u << 27)) __asm__ volatile("xgetbv" : "=a"(xcr0), "=d"(high) : "c"(0));
    EXPECT_EQ((xcr0 & 0x6) == 0x6, (f & kynAVX_ENABLEDBYOS) != 0);
    EXPECT_EQ((xcr0 & 0xE6) == 0xE6, (f & kynAVX512_ENABLEDBYOS) != 0);
}

TEST(KyncpCpu, CacheLookupTakesTheLargestDescriptorOfTheRegisters)
{
    const int KB = 1024, MB = 1024 * 1024;
    const int table[] = {0xEC, 24 * MB, 0x49, 4 * MB, 0x43, 512 * KB, 0x2C, 32 * KB, 0x30, 32 * KB, 0, 0};
    const int unordered[] = {0x2C, 32 * KB, 0x43, 512 * KB, 0x49, 4 * MB, 0, 0};
    const int countByte[] = {0x01, 64 * MB, 0x2C, 32 * KB, 0, 0};
    const int empty[] = {0, 0};
    const struct {
        int32u regs[4];
        const int* table;
        int want; // -1: an error (any negative status), never 0
    } cases[] = {
        {{0x05B0B101u, 0x005657F0u, 0, 0x2C304900u}, table, 4 * MB}, // a Core 2 style leaf 2
        {{0x00000001u, 0, 0x00EC0000u, 0}, table, 24 * MB},           // any byte of EBX, ECX or EDX
        {{0x00002C01u, 0, 0, 0}, countByte, 32 * KB},                 // AL is the count, not a descriptor
        {{0x00000001u, 0x800000ECu, 0, 0x00000030u}, table, 32 * KB}, // bit 31: no descriptors
        {{0x00000001u, 0x0049432Cu, 0, 0}, unordered, 4 * MB},        // whatever the table order
        {{0x00FF0001u, 0, 0, 0}, table, -1},                          // 0xFF: "use leaf 4"
        {{0x05B0B101u, 0x005657F0u, 0, 0x2C304900u}, empty, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.want, std::max(cpGetCacheSizeOfRegs(c.regs, c.table), -1)) << std::hex << c.regs[0] << c.regs[1];

    // This processor, with a table giving every descriptor its own size: the largest it reports, or
    // an error when it reports none.
    std::vector<int> all;
    for (int desc = 1; desc < 256; ++desc) all.insert(all.end(), {desc, 1000 + 16 * desc});
    all.insert(all.end(), {0, 0});
    unsigned r[4] = {};
    if (__get_cpuid_max(0, nullptr) >= 2) __cpuid(2, r[0], r[1], r[2], r[3]);
    int want = -1;
    for (int i = 0; i < 4; ++i)
        for (int byte = (i == 0 ? 1 : 0); byte < 4 && !(r[i] & 0x80000000u); ++byte)
            if (const int desc = (r[i] >> (8 * byte)) & 0xFF) want = std::max(want, 1000 + 16 * desc);
    EXPECT_EQ(want, std::max(cpGetCacheSize(all.data()), -1)) << "leaf 2: " << std::hex << r[0] << " " << r[1];
}

TEST(KyncpClock, ReadingsAreTheTimeStampCounterAndIncrease)
{
    const std::pair<const char*, Kyn64u (*)()> clocks[] = {{"cpStartTsc", cpStartTsc}, {"cpStopTsc", cpStopTsc},
        {"cpStartTscp", cpStartTscp}, {"cpStopTscp", cpStopTscp}, {"kyncpGetCpuClocks", kyncpGetCpuClocks}};
    for (const auto& clock : clocks) {
        // Between two fenced counter readings taken here, and increasing from call to call.
        _mm_lfence();
        Kyn64u last = __rdtsc(), value = (_mm_lfence(), clock.second());
        _mm_lfence();
        EXPECT_LE(last, value) << clock.first;
        EXPECT_LE(value, __rdtsc()) << clock.first;
        for (int i = 0; i < 1000; ++i, last = value)
            ASSERT_GT(value = clock.second(), last) << clock.first << " reading " << i;
    }
}

// Feature selection, the code path it gives, and the thread count.
TEST_F(KyncpSettings, FeatureCodePathAndThreadSelection)
{
    Kyn64u supported = 0;
    ASSERT_EQ(kynStsNoErr, kyncpGetCpuFeatures(&supported));
    const Kyn64u os = supported & kynCPUID_OS_BITS, sse = kynCPUID_SSE | kynCPUID_SSE2;
    ASSERT_EQ(kynStsNoErr, kyncpInit());
    EXPECT_EQ(supported, kyncpGetEnabledCpuFeatures());
    // A supported subset gives exactly that, the OS bits kept; mask 0 is an error and changes
    // nothing; unsupported bits are a note and the supported rest is enabled.
    const struct {
        Kyn64u mask;
        KynStatus sts;
        Kyn64u enabled;
    } cases[] = {{sse, kynStsNoErr, sse | os},
                 {0, kynStsBadArgErr, sse | os},
                 {supported | kynCPUID_COPROCESSOR | 0x1000u, kynStsFeatureNotSupported, supported},
                 {kynCPUID_COPROCESSOR, kynStsFeatureNotSupported, os},
                 {kynCPUID_SSE2, kynStsNoErr, kynCPUID_SSE2 | os}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.sts, kyncpSetCpuFeatures(c.mask)) << std::hex << c.mask;
        EXPECT_EQ(c.enabled, kyncpGetEnabledCpuFeatures()) << std::hex << c.mask;
    }
    // Each known code path, best last, with what it needs.
    const Kyn64u sse42 = sse | kynCPUID_SSE3 | kynCPUID_SSSE3 | kynCPUID_SSE41 | kynCPUID_SSE42;
    const Kyn64u avx2 = sse42 | kynCPUID_AVX | kynCPUID_AVX2;
    const Kyn64u avx512 = avx2 | kynCPUID_AVX512F | kynCPUID_AVX512CD | kynCPUID_AVX512BW | kynCPUID_AVX512DQ |
                          kynCPUID_AVX512VL;
    const std::pair<Kyn64u, const char*> paths[] = {{sse, "mx"}, {sse42, "y8"}, {avx2, "l9"}, {avx512, "k0"},
        {avx512 | kynCPUID_AVX512IFMA | kynCPUID_AVX512VBMI, "k1"}};
    for (const auto& path : paths) {
        if ((supported & path.first) != path.first) continue;
        kyncpSetCpuFeatures(path.first);
        EXPECT_EQ("13.0.0 (" + std::string(path.second) + ")", cryptoGetLibVersion()->Version);
    }
    EXPECT_EQ(kynStsNoErr, kyncpInit());
    EXPECT_EQ(supported, kyncpGetEnabledCpuFeatures());

    int n = 0;
    ASSERT_EQ(kynStsNoErr, kyncpGetNumThreads(&n));
    EXPECT_EQ(1, n);
    EXPECT_EQ(kynStsNoErr, kyncpSetNumThreads(4));
    for (int bad : {0, -1, INT_MIN}) EXPECT_EQ(kynStsOutOfRangeErr, kyncpSetNumThreads(bad)) << bad;
    ASSERT_EQ(kynStsNoErr, kyncpGetNumThreads(&n));
    EXPECT_EQ(4, n);
}

TEST(KyncpMontgomery, ProductsMatchOpenSsl)
{
    BnPtr expected(BN_new(), BN_free);
    std::unique_ptr<BN_CTX, decltype(&BN_CTX_free)> ctx(BN_CTX_new(), BN_CTX_free);
    for (int k : {1, 3, 33})
        for (KynsExpMethod method : {kynsBinaryMethod, kynsSlidingWindows}) {
            int size = 0, got = 0;
            ASSERT_EQ(kynStsNoErr, kynsMontGetSize(method, k + 1, &size));
            Buffer buf(size, 7);
            _cpMontgomery* mont = buf.as<_cpMontgomery>();
            ASSERT_EQ(kynStsNoErr, kynsMontInit(method, k + 1, mont));
            // As the harness sets it: a random odd modulus, top bit set, with a leading zero word.
            Words m = randomOdd(k), padded = m, back(k + 1, 0xFFFFFFFFu);
            padded.push_back(0);
            ASSERT_EQ(kynStsNoErr, kynsMontSet(padded.data(), k + 1, mont));
            ASSERT_EQ(kynStsNoErr, kynsMontGet(back.data(), &got, mont));
            EXPECT_EQ(m, Words(back.begin(), back.begin() + got));

            BnPtr mBn = bnOf(m), aBn(BN_new(), BN_free), bBn(BN_new(), BN_free);
            BN_rand_range(aBn.get(), mBn.get());
            BN_rand_range(bBn.get(), mBn.get());
            Num a(k, wordsOf(aBn.get())), b(k, wordsOf(bBn.get())), aR(k), r(k);
            // a R mod m with R = 2^(32k); then (a R) b / R = a b mod m, also over an operand.
            ASSERT_EQ(kynStsNoErr, kynsMontForm(a.get(), mont, aR.get()));
            BN_lshift(expected.get(), aBn.get(), 32 * k);
            BN_mod(expected.get(), expected.get(), mBn.get(), ctx.get());
            EXPECT_EQ(wordsOf(expected.get()), aR.words()) << "k=" << k;
            ASSERT_EQ(kynStsNoErr, kynsMontMul(aR.get(), b.get(), mont, r.get()));
            BN_mod_mul(expected.get(), aBn.get(), bBn.get(), mBn.get(), ctx.get());
            EXPECT_EQ(wordsOf(expected.get()), r.words()) << "k=" << k;
            ASSERT_EQ(kynStsNoErr, kynsMontMul(aR.get(), b.get(), mont, aR.get()));
            EXPECT_EQ(wordsOf(expected.get()), aR.words());
            // a b = m exactly (m = 3 * 0x2AAAAAAAAAAAAAAB) ends the reduction on m itself: 0.
            const int32u m3[2] = {1, 0x80000000u};
            ASSERT_EQ(kynStsNoErr, kynsMontSet(m3, 2, mont));
            Num three(2, {3}), third(2, {0xAAAAAAABu, 0x2AAAAAAAu}), zero(2, {5});
            ASSERT_EQ(kynStsNoErr, kynsMontMul(three.get(), third.get(), mont, zero.get()));
            EXPECT_TRUE(zero.words().empty()) << "k=" << k;
        }
}

TEST(KyncpPRNG, OutputIsTheDocumentedHash)
{
    // As the harness creates a generator: 512-bit seed length, a 160-bit seed with bits 0 and 159 set.
    const Words seed = {0x11111111u, 0x22222222u, 0x33333333u, 0x44444444u, 0x85555555u};
    auto rnd = makePrng(512, seed);
    _cpPRNG* ctx = rnd->as<_cpPRNG>();
    Num back(5);
    ASSERT_EQ(kynStsNoErr, kynsPRNGGetSeed(ctx, back.get()));
    EXPECT_EQ(seed, back.words());

    // Block n = SHA-256("kyncp-prng" || seedBits || 16 seed words || n as 64 bits), little-endian;
    // each call starts a new block, and setting the seed again restarts the stream.
    auto block = [&](int32u n) {
        Words fields = seed;
        fields.resize(16);
        fields.insert(fields.begin(), 512), fields.insert(fields.end(), {n, 0});
        const std::string msg = "kyncp-prng" + std::string(reinterpret_cast<char*>(fields.data()), 4 * fields.size());
        Words digest(8);
        SHA256((const unsigned char*)msg.data(), msg.size(), (unsigned char*)digest.data());
        return digest;
    };
    int32u out[3] = {0, 0, 0xFFFFFFFFu};
    ASSERT_EQ(kynStsNoErr, kynsPRNGen(out, 40, ctx));
    // 40 bits: the top word keeps only 40 - 32 = 8 bits, nothing is written past it.
    EXPECT_EQ((Words{block(0)[0], block(0)[1] & 0xFF, 0xFFFFFFFFu}), Words(out, out + 3));
    Words stream(16);
    ASSERT_EQ(kynStsNoErr, kynsPRNGen(stream.data(), 512, ctx));
    Words want = block(1), second = block(2);
    want.insert(want.end(), second.begin(), second.end());
    EXPECT_EQ(want, stream);
    Num reseed(5, seed);
    ASSERT_EQ(kynStsNoErr, kynsPRNGSetSeed(reseed.get(), ctx));
    ASSERT_EQ(kynStsNoErr, kynsPRNGen(out, 32, ctx));
    EXPECT_EQ(block(0)[0], out[0]);
}

TEST(KyncpPrime, AgreesWithOpenSsl)
{
    int size = 0;
    ASSERT_EQ(kynStsNoErr, kynsPrimeGetSize(512, &size));
    Buffer primeBuf(size, 1);
    _cpPrime* prime = primeBuf.as<_cpPrime>();
    ASSERT_EQ(kynStsNoErr, kynsPrimeInit(512, prime));
    auto rnd = makePrng(512, {7, 11, 13});
    std::unique_ptr<BN_CTX, decltype(&BN_CTX_free)> ctx(BN_CTX_new(), BN_CTX_free);
    // Small primes and composites (561 and 41041 are Carmichael numbers), 2^127 - 1, the P-256
    // prime, 2^128 + 1, a generated prime and its product with 2^127 - 1, random odd 96-bit numbers.
    std::vector<BnPtr> numbers;
    for (const char* n : {"2", "3", "5", "251", "257", "65521", "65537", "4294967291", "0", "1", "4", "561", "41041",
                          "66049", "825265", "4294967295", "0x7FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF",
                          "0xFFFFFFFF00000001000000000000000000000000FFFFFFFFFFFFFFFFFFFFFFFF",
                          "0x100000000000000000000000000000001"}) {
        BIGNUM* b = nullptr;
        BN_asc2bn(&b, n);
        numbers.emplace_back(b, BN_free);
    }
    numbers.emplace_back(BN_new(), BN_free);
    ASSERT_EQ(1, BN_generate_prime_ex(numbers.back().get(), 256, 0, nullptr, nullptr, nullptr));
    numbers.emplace_back(BN_new(), BN_free);
    BN_mul(numbers.back().get(), numbers[19].get(), numbers[16].get(), ctx.get());
    for (int i = 0; i < 200; ++i) numbers.push_back(bnOf(randomOdd(3)));
    int primes = 0;
    for (const BnPtr& n : numbers) {
        const int expected = BN_check_prime(n.get(), ctx.get(), nullptr);
        primes += expected;
        Num value(17, BN_is_zero(n.get()) ? Words{0} : wordsOf(n.get()));
        int32u result = 99;
        EXPECT_EQ(kynStsNoErr, kynsPrimeTest_BN(value.get(), 20, &result, prime, rnd->as<_cpPRNG>()));
        EXPECT_EQ(expected ? (int32u)kynsProbablyPrime : (int32u)kynsComposite, result) << BN_bn2hex(n.get());
    }
    EXPECT_GT(primes, 10);
    int32u result = 99;
    EXPECT_EQ(kynStsNoErr, kynsPrimeTest_BN(Num(1, {7}, kynsBigNumNEG).get(), 20, &result, prime, rnd->as<_cpPRNG>()));
    EXPECT_EQ((int32u)kynsComposite, result);
}

// Every bad argument of the context functions, null pointers included: the status says why, and
// the contexts and outputs keep what they held (a DLP domain set once reads back whole).
TEST(KyncpArguments, BadArgumentsAreRefused)
{
    Num bn(4, {3}), num(4, {9}), big(6, {1, 0, 0, 0, 0, 1}), negative(2, {3}, kynsBigNumNEG), tiny(1), tooSmall(2);
    Num fine(2, {0x12345678u, 1}), seedOut(5), tooLong(17, randomOdd(17)), m(2, {0xFFFFFFFBu});
    _cpBigNum* b = bn.get();
    int size = 0, bits = 0, k = 0;
    int32u words[4] = {1, 2, 3, 4}, result = 99, out[4], *ptr = nullptr;
    KynsBigNumSGN sgn;
    const int table[] = {0x2C, 32768, 0, 0};
    const int32u even[2] = {10, 1}, zero[2] = {0, 0}, one[1] = {1}, longer[3] = {1, 1, 1}, good[2] = {0xFFFFFFFBu, 7};
    Num atM(2, {good[0], good[1]});
    kynsMontGetSize(kynsBinaryMethod, 2, &size);
    Buffer montBuf(size), unsetBuf(size), rawMont(size);
    auto *mont = montBuf.as<_cpMontgomery>(), *unset = unsetBuf.as<_cpMontgomery>(), *raw = rawMont.as<_cpMontgomery>();
    kynsMontInit(kynsBinaryMethod, 2, mont), kynsMontInit(kynsBinaryMethod, 2, unset);
    ASSERT_EQ(kynStsNoErr, kynsMontSet(good, 2, mont));
    auto rndBuf = makePrng(160, {1, 2}), unseededBuf = makePrng(160, {});
    _cpPRNG *rnd = rndBuf->as<_cpPRNG>(), *unseeded = unseededBuf->as<_cpPRNG>();
    kynsPrimeGetSize(512, &size);
    Buffer primeBuf(size), rawPrime(size);
    _cpPrime* prime = primeBuf.as<_cpPrime>();
    kynsPrimeInit(512, prime);
    // As the harness creates a DLP context: a 1024-bit prime and a 160-bit subgroup order.
    kynsDLPGetSize(1024, 160, &size);
    Buffer dlpBuf(size), emptyDlp(size);
    _cpDLP *dl = dlpBuf.as<_cpDLP>(), *unsetDl = emptyDlp.as<_cpDLP>();
    kynsDLPInit(1024, 160, dl), kynsDLPInit(1024, 160, unsetDl);
    const Words p = randomOdd(32), r = randomOdd(5);
    Words shortP = p, pe = p, re = r;
    shortP[31] = 1, pe[0] &= ~1u, re[0] &= ~1u; // shortP: 993 bits
    Num P(32, p), R(5, r), G(32, {2}), Pshort(32, shortP), R161(6, {r[0], r[1], r[2], r[3], r[4], 1}), Peven(32, pe);
    Num Reven(5, re), G1(32, {1}), G0(32, {0}), GP(32, p), Gneg(32, {5}, kynsBigNumNEG), pOut(32), rOut(5), gOut(32);
    ASSERT_EQ(kynStsNoErr, kynsDLPSet(P.get(), R.get(), G.get(), dl));
    std::vector<unsigned char> moved(64 + 256);
    memcpy(moved.data() + 32, b, bigNumSize(4));

    // Per status: sizes out of range; values that do not fit (too long, outside [0, m), G out of
    // (1, P), outputs too small); buffers that are no context of the kind (never initialised,
    // another kind, moved); contexts without their value; unknown methods and signs; moduli that
    // cannot be (even, zero, one); an even subgroup order; and every pointer argument null.
#define CALL(expr) {#expr, [&]() -> KynStatus { return expr; }}
    using Call = std::pair<const char*, std::function<KynStatus()>>;
    const std::pair<KynStatus, std::vector<Call>> groups[] = {
        {kynStsLengthErr,
         {CALL(kynsBigNumGetSize(0, &size)), CALL(kynsBigNumGetSize(-1, &size)),
          CALL(kynsBigNumGetSize(KYNS_BN_MAXWORDS + 1, &size)), CALL(kynsBigNumGetSize(INT_MIN, &size)),
          CALL(kynsBigNumInit(0, tiny.get())), CALL(kynsBigNumInit(INT_MAX, tiny.get())),
          CALL(kynsSet_BN(kynsBigNumPOS, 0, words, num.get())), CALL(kynsSet_BN(kynsBigNumPOS, -3, words, num.get())),
          CALL(kynsMontGetSize(kynsBinaryMethod, 0, &size)),
          CALL(kynsMontGetSize(kynsBinaryMethod, KYNS_MONT_MAXWORDS + 1, &size)),
          CALL(kynsMontInit(kynsBinaryMethod, 0, raw)), CALL(kynsMontSet(good, 0, unset)),
          CALL(kynsPRNGInit(0, unseeded)), CALL(kynsPRNGInit(KYNS_PRNG_MIN_SEEDBITS - 1, unseeded)),
          CALL(kynsPRNGInit(KYNS_PRNG_MAX_SEEDBITS + 1, unseeded)), CALL(kynsPRNGen(out, 0, rnd)),
          CALL(kynsPRNGen(out, -5, rnd)), CALL(kynsPrimeGetSize(1, &size)), CALL(kynsPrimeGetSize(-64, &size)),
          CALL(kynsPrimeGetSize(KYNS_PRIME_MAXBITS + 1, &size)), CALL(kynsPrimeInit(0, rawPrime.as<_cpPrime>())),
          CALL(kynsDLPGetSize(63, 10, &size)), CALL(kynsDLPGetSize(8193, 160, &size)),
          CALL(kynsDLPGetSize(512, 512, &size)), CALL(kynsDLPGetSize(512, 1, &size)),
          CALL(kynsDLPInit(512, 600, unsetDl))}},
        {kynStsOutOfRangeErr,
         {CALL(kynsSet_BN(kynsBigNumPOS, 3, longer, tiny.get())), CALL(kynsMontSet(longer, 3, unset)),
          CALL(kynsMontForm(atM.get(), mont, tooSmall.get())), CALL(kynsMontForm(negative.get(), mont, tooSmall.get())),
          CALL(kynsMontMul(num.get(), atM.get(), mont, tooSmall.get())),
          CALL(kynsMontForm(fine.get(), mont, tiny.get())), CALL(kynsPRNGSetSeed(big.get(), rnd)),
          CALL(kynsPRNGSetSeed(negative.get(), rnd)), CALL(kynsPRNGGetSeed(rnd, tiny.get())),
          CALL(kynsPrimeTest_BN(tooLong.get(), 10, &result, prime, rnd)),
          CALL(kynsPrimeTest_BN(m.get(), 0, &result, prime, rnd)),
          CALL(kynsPrimeTest_BN(m.get(), 1001, &result, prime, rnd)),
          CALL(kynsDLPSet(Pshort.get(), R.get(), G.get(), dl)), CALL(kynsDLPSet(P.get(), R161.get(), G.get(), dl)),
          CALL(kynsDLPSet(P.get(), R.get(), G1.get(), dl)), CALL(kynsDLPSet(P.get(), R.get(), G0.get(), dl)),
          CALL(kynsDLPSet(P.get(), R.get(), GP.get(), dl)), CALL(kynsDLPSet(P.get(), R.get(), Gneg.get(), dl)),
          CALL(kynsDLPGet(num.get(), rOut.get(), gOut.get(), dl))}},
        {kynStsNotSupportedModeErr,
         {CALL(kynsSet_BN((KynsBigNumSGN)2, 2, words, num.get())), CALL(kynsMontGetSize((KynsExpMethod)7, 4, &size)),
          CALL(kynsMontInit((KynsExpMethod)-1, 2, raw))}},
        {kynStsContextMatchErr,
         {CALL(kynsRef_BN(&sgn, &bits, &ptr, reinterpret_cast<_cpBigNum*>(words))),
          CALL(kynsSet_BN(kynsBigNumPOS, 1, one, reinterpret_cast<_cpBigNum*>(rnd))),
          CALL(kynsGetSize_BN(reinterpret_cast<_cpBigNum*>(moved.data() + 32), &bits)), CALL(kynsMontSet(good, 2, raw)),
          CALL(kynsPrimeTest_BN(m.get(), 10, &result, rawPrime.as<_cpPrime>(), rnd))}},
        {kynStsIncompleteContextErr,
         {CALL(kynsMontGet(out, &k, unset)), CALL(kynsMontForm(num.get(), unset, tooSmall.get())),
          CALL(kynsPRNGen(out, 32, unseeded)), CALL(kynsPRNGGetSeed(unseeded, seedOut.get())),
          CALL(kynsPrimeTest_BN(m.get(), 10, &result, prime, unseeded)),
          CALL(kynsDLPGet(pOut.get(), rOut.get(), gOut.get(), unsetDl))}},
        {kynStsBadModulusErr,
         {CALL(kynsMontSet(even, 2, unset)), CALL(kynsMontSet(zero, 2, unset)), CALL(kynsMontSet(one, 1, unset)),
          CALL(kynsMontSet(even, 2, mont)), CALL(kynsDLPSet(Peven.get(), R.get(), G.get(), dl))}},
        {kynStsBadArgErr,
         {CALL(kynsDLPSet(P.get(), Reven.get(), G.get(), dl))}},
        {kynStsNullPtrErr,
         {CALL(cpGetReg(nullptr, 0, 0)), CALL(kyncpGetCpuFeatures(nullptr)), CALL(kyncpGetNumThreads(nullptr)),
          CALL(cpGetCacheSize(nullptr)), CALL(cpGetCacheSizeOfRegs(nullptr, table)),
          CALL(cpGetCacheSizeOfRegs(words, nullptr)), CALL(kynsBigNumGetSize(4, nullptr)),
          CALL(kynsBigNumInit(4, nullptr)), CALL(kynsSet_BN(kynsBigNumPOS, 1, nullptr, b)),
          CALL(kynsSet_BN(kynsBigNumPOS, 1, words, nullptr)), CALL(kynsRef_BN(nullptr, &bits, &ptr, b)),
          CALL(kynsRef_BN(&sgn, nullptr, &ptr, b)), CALL(kynsRef_BN(&sgn, &bits, nullptr, b)),
          CALL(kynsRef_BN(&sgn, &bits, &ptr, nullptr)), CALL(kynsGetSize_BN(nullptr, &bits)),
          CALL(kynsGetSize_BN(b, nullptr)), CALL(kynsMontGetSize(kynsBinaryMethod, 4, nullptr)),
          CALL(kynsMontInit(kynsBinaryMethod, 4, nullptr)), CALL(kynsMontSet(nullptr, 1, mont)),
          CALL(kynsMontSet(good, 1, nullptr)), CALL(kynsMontGet(nullptr, &bits, mont)),
          CALL(kynsMontGet(words, nullptr, mont)), CALL(kynsMontGet(words, &bits, nullptr)),
          CALL(kynsMontForm(nullptr, mont, b)), CALL(kynsMontForm(b, nullptr, b)), CALL(kynsMontForm(b, mont, nullptr)),
          CALL(kynsMontMul(nullptr, b, mont, b)), CALL(kynsMontMul(b, nullptr, mont, b)),
          CALL(kynsMontMul(b, b, nullptr, b)), CALL(kynsMontMul(b, b, mont, nullptr)), CALL(kynsPRNGGetSize(nullptr)),
          CALL(kynsPRNGInit(256, nullptr)), CALL(kynsPRNGSetSeed(nullptr, rnd)), CALL(kynsPRNGSetSeed(b, nullptr)),
          CALL(kynsPRNGGetSeed(nullptr, b)), CALL(kynsPRNGGetSeed(rnd, nullptr)), CALL(kynsPRNGen(nullptr, 32, rnd)),
          CALL(kynsPRNGen(words, 32, nullptr)), CALL(kynsPrimeGetSize(128, nullptr)), CALL(kynsPrimeInit(128, nullptr)),
          CALL(kynsPrimeTest_BN(nullptr, 4, &result, prime, rnd)), CALL(kynsPrimeTest_BN(b, 4, nullptr, prime, rnd)),
          CALL(kynsPrimeTest_BN(b, 4, &result, nullptr, rnd)), CALL(kynsPrimeTest_BN(b, 4, &result, prime, nullptr)),
          CALL(kynsDLPGetSize(128, 32, nullptr)), CALL(kynsDLPInit(128, 32, nullptr)),
          CALL(kynsDLPSet(nullptr, b, b, dl)), CALL(kynsDLPSet(b, nullptr, b, dl)), CALL(kynsDLPSet(b, b, nullptr, dl)),
          CALL(kynsDLPSet(b, b, b, nullptr)), CALL(kynsDLPGet(nullptr, b, b, dl)), CALL(kynsDLPGet(b, nullptr, b, dl)),
          CALL(kynsDLPGet(b, b, nullptr, dl)), CALL(kynsDLPGet(b, b, b, nullptr))}},
    };
#undef CALL
    for (const auto& group : groups)
        for (const Call& c : group.second) EXPECT_EQ(group.first, c.second()) << c.first;
    // What was refused changed nothing.
    EXPECT_EQ((std::vector<Words>{{3}, {9}, {}, {}}), (std::vector<Words>{bn.words(), num.words(), tiny.words(),
                                                                          tooSmall.words()}));
    EXPECT_EQ(99u, result);
    ASSERT_EQ(kynStsNoErr, kynsMontGet(out, &k, mont));
    EXPECT_EQ((Words{good[0], good[1]}), Words(out, out + k)) << "a failed set keeps the modulus";
    EXPECT_EQ(kynStsIncompleteContextErr, kynsMontGet(out, &k, unset));
    ASSERT_EQ(kynStsNoErr, kynsDLPGet(pOut.get(), rOut.get(), gOut.get(), dl));
    EXPECT_EQ((std::vector<Words>{p, r, {2}}), (std::vector<Words>{pOut.words(), rOut.words(), gOut.words()}));
}
