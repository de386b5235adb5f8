// libkyncp's services and contexts: time-stamp readings against the counter and CLOCK_MONOTONIC,
// feature and thread selection, status texts, the version record, and the big-number,
// Montgomery, PRNG, prime and DLP contexts (values round-trip; arithmetic checked with OpenSSL).
#include <openssl/bn.h>
#include <openssl/sha.h>
#include <sched.h>
#include <time.h>
#include <x86intrin.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kyncp.h"

namespace {

// ---- Helpers ----------------------------------------------------------------------------------

// Keeps the thread on one processor while counters are compared.
class PinnedThread {
public:
    PinnedThread()
    {
        sched_getaffinity(0, sizeof(m_saved), &m_saved);
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(sched_getcpu(), &one);
        sched_setaffinity(0, sizeof(one), &one);
    }
    ~PinnedThread() { sched_setaffinity(0, sizeof(m_saved), &m_saved); }

private:
    cpu_set_t m_saved;
};

long long monoNs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

// One counter reading and the CLOCK_MONOTONIC time it was taken at, known to within the
// narrowest of several brackets (a VM can stop the processor between any two instructions).
struct TimedReading {
    Kyn64u ticks;
    double ns;
};

TimedReading timedReading(Kyn64u (*read)())
{
    TimedReading best{0, 0};
    long long bestWidth = LLONG_MAX;
    for (int i = 0; i < 64; ++i) {
        const long long before = monoNs();
        const Kyn64u t = read();
        const long long after = monoNs();
        if (after - before < bestWidth) {
            bestWidth = after - before;
            best = {t, (before + after) / 2.0};
        }
    }
    return best;
}

// Counter ticks per nanosecond over a span of about spanMs of CLOCK_MONOTONIC, busy-waiting.
double tickRate(Kyn64u (*read)(), int spanMs)
{
    const TimedReading a = timedReading(read);
    while (monoNs() - a.ns < spanMs * 1e6) {
    }
    const TimedReading b = timedReading(read);
    return (double)(b.ticks - a.ticks) / (b.ns - a.ns);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The median of three rates over spanMs each (the median stands against a VM pause).
double medianRate(Kyn64u (*read)(), int spanMs)
{
    return median({tickRate(read, spanMs), tickRate(read, spanMs), tickRate(read, spanMs)});
}

struct ClockFunction {
    const char* name;
    Kyn64u (*read)();
};
const ClockFunction CLOCKS[] = {{"cpStartTsc", cpStartTsc},
                                {"cpStopTsc", cpStopTsc},
                                {"cpStartTscp", cpStartTscp},
                                {"cpStopTscp", cpStopTscp},
                                {"kyncpGetCpuClocks", kyncpGetCpuClocks}};

// A caller buffer for a context, deliberately placed at an odd address as the harness's
// misaligned allocations can be.
struct Buffer {
    explicit Buffer(int size, int misalign = 3) : store(size + 64, 0xA5), misalign(misalign) {}
    template <class T>
    T* as() { return reinterpret_cast<T*>(store.data() + misalign); }
    std::vector<unsigned char> store;
    int misalign;
};

// A big number of `words` capacity in its own buffer.
class Num {
public:
    explicit Num(int words) : m_buf(size(words), 5) { EXPECT_EQ(kynStsNoErr, kynsBigNumInit(words, get())); }
    Num(int words, const std::vector<int32u>& value, KynsBigNumSGN sign = kynsBigNumPOS) : Num(words)
    {
        EXPECT_EQ(kynStsNoErr, kynsSet_BN(sign, (int)value.size(), value.data(), get()));
    }
    _cpBigNum* get() { return m_buf.as<_cpBigNum>(); }
    // The significant words of the value, and its sign.
    std::vector<int32u> words() { return ref(nullptr); }
    KynsBigNumSGN sign()
    {
        KynsBigNumSGN sgn = kynsBigNumNEG;
        ref(&sgn);
        return sgn;
    }

private:
    std::vector<int32u> ref(KynsBigNumSGN* sgnOut)
    {
        KynsBigNumSGN sgn = kynsBigNumNEG;
        int bits = -1;
        int32u* data = nullptr;
        EXPECT_EQ(kynStsNoErr, kynsRef_BN(&sgn, &bits, &data, get()));
        if (sgnOut) *sgnOut = sgn;
        return std::vector<int32u>(data, data + (bits + 31) / 32);
    }
    static int size(int words)
    {
        int s = 0;
        EXPECT_EQ(kynStsNoErr, kynsBigNumGetSize(words, &s));
        return s;
    }
    Buffer m_buf;
};

// OpenSSL numbers for the expected values.
using BnPtr = std::unique_ptr<BIGNUM, decltype(&BN_free)>;
BnPtr bnOf(const std::vector<int32u>& w)
{
    BnPtr b(BN_new(), BN_free);
    BN_zero(b.get());
    for (size_t i = w.size(); i-- > 0;) {
        BN_lshift(b.get(), b.get(), 32);
        BN_add_word(b.get(), w[i]);
    }
    return b;
}
std::vector<int32u> wordsOf(const BIGNUM* b)
{
    std::vector<int32u> w((BN_num_bytes(b) + 3) / 4, 0);
    std::vector<unsigned char> le(w.size() * 4, 0);
    if (!le.empty()) BN_bn2lebinpad(b, le.data(), (int)le.size());
    for (size_t i = 0; i < w.size(); ++i) memcpy(&w[i], &le[4 * i], 4);
    while (!w.empty() && w.back() == 0) w.pop_back();
    return w;
}
std::vector<int32u> randomWords(int n, bool odd, bool topBit)
{
    BnPtr b(BN_new(), BN_free);
    BN_rand(b.get(), 32 * n, topBit ? BN_RAND_TOP_ONE : BN_RAND_TOP_ANY, odd ? BN_RAND_BOTTOM_ODD : BN_RAND_BOTTOM_ANY);
    std::vector<int32u> w = wordsOf(b.get());
    w.resize(n, 0);
    return w;
}

// Restores the process-wide feature selection and thread count after a test that changes them.
class KyncpSettings : public ::testing::Test {
protected:
    void TearDown() override
    {
        kyncpInit();
        kyncpSetNumThreads(1);
    }
};

} // namespace

// ---- Time-stamp counter ------------------------------------------------------------------------

TEST(KyncpClock, ReadingsAreTheTimeStampCounterAndIncrease)
{
    PinnedThread pin;
    for (const auto& clock : CLOCKS) {
        // Between two counter readings taken here, fenced so that neither moves past the call.
        _mm_lfence();
        const Kyn64u before = __rdtsc();
        _mm_lfence();
        const Kyn64u value = clock.read();
        _mm_lfence();
        const Kyn64u after = __rdtsc();
        EXPECT_LE(before, value) << clock.name;
        EXPECT_LE(value, after) << clock.name;

        Kyn64u last = clock.read();
        for (int i = 0; i < 1000; ++i) {
            const Kyn64u now = clock.read();
            ASSERT_GT(now, last) << clock.name << " reading " << i;
            last = now;
        }
    }
}

TEST(KyncpClock, EveryReadingTicksAtOneRateAgainstClockMonotonic)
{
    // Each function over about 200 ms of CLOCK_MONOTONIC; all agree within 1%, and a 100 ms span
    // gives the same rate, so the counter is proportional to time.
    PinnedThread pin;
    std::vector<double> rates;
    for (const auto& clock : CLOCKS) {
        const double r = medianRate(clock.read, 200);
        EXPECT_GT(r, 0.1) << clock.name << ": below 100 MHz";
        EXPECT_LT(r, 10.0) << clock.name << ": above 10 GHz";
        rates.push_back(r);
    }
    const double reference = median(rates);
    for (size_t i = 0; i < rates.size(); ++i)
        EXPECT_NEAR(1.0, rates[i] / reference, 0.01) << CLOCKS[i].name << " ticks at " << rates[i] * 1000 << " MHz";
    EXPECT_NEAR(1.0, medianRate(cpStartTsc, 100) / reference, 0.01);
}

TEST(KyncpClock, RateEqualsTheKernelsTscFrequency)
{
    // Without frequency scaling reports (no aperfmperf flag, no cpufreq driver) and with a
    // constant TSC, /proc/cpuinfo's "cpu MHz" is the kernel's TSC calibration.
    std::ifstream in("/proc/cpuinfo");
    std::string line, flags;
    double mhz = 0;
    while (std::getline(in, line) && !line.empty()) {
        if (line.rfind("cpu MHz", 0) == 0) mhz = std::stod(line.substr(line.find(':') + 1));
        if (line.rfind("flags", 0) == 0) flags = " " + line.substr(line.find(':') + 1) + " ";
    }
    const bool cpufreq = (bool)std::ifstream("/sys/devices/system/cpu/cpu0/cpufreq/scaling_driver");
    if (mhz <= 0 || flags.find(" constant_tsc ") == std::string::npos || flags.find(" aperfmperf ") != std::string::npos ||
        cpufreq)
        GTEST_SKIP() << "/proc/cpuinfo's cpu MHz is not the TSC frequency on this machine";
    PinnedThread pin;
    const double rate = medianRate(kyncpGetCpuClocks, 200);
    EXPECT_NEAR(1.0, rate * 1000 / mhz, 0.01) << "measured " << rate * 1000 << " MHz, kernel " << mhz << " MHz";
}

// ---- Features, threads, status texts, version -------------------------------------------------

TEST_F(KyncpSettings, FeatureSelectionIsLimitedToTheSupportedFeatures)
{
    Kyn64u supported = 0;
    ASSERT_EQ(kynStsNoErr, kyncpGetCpuFeatures(&supported));
    ASSERT_NE(0u, supported & kynCPUID_SSE2);
    const Kyn64u os = supported & kynCPUID_OS_BITS;

    ASSERT_EQ(kynStsNoErr, kyncpInit());
    EXPECT_EQ(supported, kyncpGetEnabledCpuFeatures());

    // A supported subset: exactly that, with the OS bits as detected.
    EXPECT_EQ(kynStsNoErr, kyncpSetCpuFeatures(kynCPUID_SSE | kynCPUID_SSE2));
    EXPECT_EQ(kynCPUID_SSE | kynCPUID_SSE2 | os, kyncpGetEnabledCpuFeatures());

    // Mask 0: an error, nothing changes.
    EXPECT_EQ(kynStsBadArgErr, kyncpSetCpuFeatures(0));
    EXPECT_EQ(kynCPUID_SSE | kynCPUID_SSE2 | os, kyncpGetEnabledCpuFeatures());

    // An unsupported bit: a note, and the supported rest is enabled.
    const KynStatus note = kyncpSetCpuFeatures(supported | kynCPUID_COPROCESSOR | 0x1000u);
    EXPECT_EQ(kynStsFeatureNotSupported, note);
    EXPECT_GT(note, 0);
    EXPECT_EQ(supported, kyncpGetEnabledCpuFeatures());

    // Only unsupported bits: a note, and only the OS facts remain.
    EXPECT_EQ(kynStsFeatureNotSupported, kyncpSetCpuFeatures(kynCPUID_COPROCESSOR));
    EXPECT_EQ(os, kyncpGetEnabledCpuFeatures());

    // The OS bits are not selected away.
    EXPECT_EQ(kynStsNoErr, kyncpSetCpuFeatures(kynCPUID_SSE2));
    EXPECT_EQ(kynCPUID_SSE2 | os, kyncpGetEnabledCpuFeatures());
    if (!(supported & kynAVX512_ENABLEDBYOS)) {
        EXPECT_EQ(kynStsFeatureNotSupported, kyncpSetCpuFeatures(kynCPUID_SSE2 | kynAVX512_ENABLEDBYOS));
    }

    // kyncpInit enables everything again.
    EXPECT_EQ(kynStsNoErr, kyncpInit());
    EXPECT_EQ(supported, kyncpGetEnabledCpuFeatures());
}

TEST_F(KyncpSettings, ThreadCountIsOneOrMore)
{
    int n = 0;
    ASSERT_EQ(kynStsNoErr, kyncpGetNumThreads(&n));
    EXPECT_EQ(1, n);  // the library's own setting
    EXPECT_EQ(kynStsNoErr, kyncpSetNumThreads(4));
    ASSERT_EQ(kynStsNoErr, kyncpGetNumThreads(&n));
    EXPECT_EQ(4, n);
    for (int bad : {0, -1, INT_MIN}) {
        EXPECT_EQ(kynStsOutOfRangeErr, kyncpSetNumThreads(bad)) << bad;
        ASSERT_EQ(kynStsNoErr, kyncpGetNumThreads(&n));
        EXPECT_EQ(4, n) << "after asking for " << bad;
    }
}

TEST(KyncpStatus, EveryStatusCodeHasItsOwnText)
{
#define NAMED(c) {c, #c}
    const std::pair<KynStatus, const char*> codes[] = {
        NAMED(kynStsNoErr), NAMED(kynStsErr), NAMED(kynStsBadArgErr), NAMED(kynStsNullPtrErr),
        NAMED(kynStsOutOfRangeErr), NAMED(kynStsContextMatchErr), NAMED(kynStsNotSupportedModeErr),
        NAMED(kynStsLengthErr), NAMED(kynStsBadModulusErr), NAMED(kynStsIncompleteContextErr),
        NAMED(kynStsFeatureNotSupported),
    };
#undef NAMED
    std::set<std::string> texts;
    for (auto& c : codes) {
        const char* text = kyncpGetStatusString(c.first);
        ASSERT_NE(nullptr, text);
        EXPECT_EQ(0, std::string(text).rfind(std::string(c.second) + ": ", 0)) << text;
        EXPECT_GT(strlen(text), strlen(c.second) + 4) << "no description: " << text;
        texts.insert(text);
    }
    EXPECT_EQ(sizeof(codes) / sizeof(codes[0]), texts.size());
    for (KynStatus unknown : {-1, 1, 12345, INT_MIN, INT_MAX}) {
        const char* text = kyncpGetStatusString(unknown);
        ASSERT_NE(nullptr, text);
        EXPECT_EQ(0, std::string(text).rfind("kynStsUnknown", 0)) << unknown;
    }
}

TEST_F(KyncpSettings, VersionRecordNamesTheCodePathOfTheEnabledFeatures)
{
    kyncpInit();
    const CryptoLibraryVersion* v = cryptoGetLibVersion();
    ASSERT_NE(nullptr, v);
    EXPECT_EQ(13, v->major);
    EXPECT_EQ(0, v->minor);
    ASSERT_NE(nullptr, v->Name);
    ASSERT_NE(nullptr, v->Version);
    ASSERT_NE(nullptr, v->BuildDate);
    EXPECT_EQ(0, std::string(v->Version).rfind("13.0.0 (", 0)) << v->Version;
    EXPECT_NE(std::string::npos, std::string(v->Version).find(v->targetCpu));
    EXPECT_NE(std::string::npos, std::string(v->Name).find(v->targetCpu));
    // The compiler's date format, e.g. "Mar 26 2026".
    EXPECT_EQ(11u, strlen(v->BuildDate)) << v->BuildDate;

    Kyn64u supported = 0;
    kyncpGetCpuFeatures(&supported);
    // Known paths, best first, each with what it needs beyond SSE2.
    const Kyn64u sse42 = kynCPUID_SSE | kynCPUID_SSE2 | kynCPUID_SSE3 | kynCPUID_SSSE3 | kynCPUID_SSE41 | kynCPUID_SSE42;
    kyncpSetCpuFeatures(kynCPUID_SSE | kynCPUID_SSE2);
    EXPECT_STREQ("mx", cryptoGetLibVersion()->targetCpu);
    if ((supported & sse42) == sse42) {
        kyncpSetCpuFeatures(sse42);
        EXPECT_STREQ("y8", cryptoGetLibVersion()->targetCpu);
        EXPECT_STREQ("13.0.0 (y8)", cryptoGetLibVersion()->Version);
    }
    const Kyn64u avx2 = sse42 | kynCPUID_AVX | kynCPUID_AVX2;
    if ((supported & avx2) == avx2) {
        kyncpSetCpuFeatures(avx2);
        EXPECT_STREQ("l9", cryptoGetLibVersion()->targetCpu);
    }
    const Kyn64u avx512 = avx2 | kynCPUID_AVX512F | kynCPUID_AVX512CD | kynCPUID_AVX512BW | kynCPUID_AVX512DQ |
                          kynCPUID_AVX512VL;
    if ((supported & (avx512 | kynCPUID_AVX512IFMA | kynCPUID_AVX512VBMI)) ==
        (avx512 | kynCPUID_AVX512IFMA | kynCPUID_AVX512VBMI)) {
        kyncpSetCpuFeatures(avx512);
        EXPECT_STREQ("k0", cryptoGetLibVersion()->targetCpu);
        kyncpSetCpuFeatures(avx512 | kynCPUID_AVX512IFMA | kynCPUID_AVX512VBMI);
        EXPECT_STREQ("k1", cryptoGetLibVersion()->targetCpu);
    }
}

// ---- Big numbers ---------------------------------------------------------------------------------

TEST(KyncpBigNum, ValuesRoundTripThroughSetAndRef)
{
    int size = 0;
    ASSERT_EQ(kynStsNoErr, kynsBigNumGetSize(8, &size));
    EXPECT_GE(size, 8 * 4);
    for (int misalign = 0; misalign < 16; ++misalign) {
        Buffer buf(size, misalign);
        _cpBigNum* bn = buf.as<_cpBigNum>();
        ASSERT_EQ(kynStsNoErr, kynsBigNumInit(8, bn));
        int capacity = 0;
        ASSERT_EQ(kynStsNoErr, kynsGetSize_BN(bn, &capacity));
        EXPECT_EQ(8, capacity);

        // As the harness's random big-number fill stores 4 random words into 8: bits 127 and 0 set.
        const int32u value[8] = {0x12345679u, 0xDEADBEEFu, 0x0BADF00Du, 0x80000001u, 0, 0, 0, 0};
        ASSERT_EQ(kynStsNoErr, kynsSet_BN(kynsBigNumPOS, 8, value, bn));
        KynsBigNumSGN sgn = kynsBigNumNEG;
        int bits = 0;
        int32u* data = nullptr;
        ASSERT_EQ(kynStsNoErr, kynsRef_BN(&sgn, &bits, &data, bn));
        EXPECT_EQ(kynsBigNumPOS, sgn);
        EXPECT_EQ(128, bits);
        ASSERT_NE(nullptr, data);
        EXPECT_EQ(0u, (uintptr_t)data % 4) << "words must be aligned whatever the buffer";
        for (int i = 0; i < 8; ++i) EXPECT_EQ(value[i], data[i]) << i;
    }

    // Negative values keep their sign; minus zero is zero.
    Num neg(4, {5, 7}, kynsBigNumNEG);
    EXPECT_EQ(kynsBigNumNEG, neg.sign());
    EXPECT_EQ((std::vector<int32u>{5, 7}), neg.words());
    Num zero(4, {0, 0, 0}, kynsBigNumNEG);
    EXPECT_EQ(kynsBigNumPOS, zero.sign());
    EXPECT_TRUE(zero.words().empty());

    // Leading zero words beyond the capacity are fine; significant ones are not, and leave the
    // number as it was.
    Num small(2, {1, 2});
    const int32u padded[5] = {3, 4, 0, 0, 0};
    EXPECT_EQ(kynStsNoErr, kynsSet_BN(kynsBigNumPOS, 5, padded, small.get()));
    EXPECT_EQ((std::vector<int32u>{3, 4}), small.words());
    const int32u tooBig[3] = {5, 6, 7};
    EXPECT_EQ(kynStsOutOfRangeErr, kynsSet_BN(kynsBigNumPOS, 3, tooBig, small.get()));
    EXPECT_EQ((std::vector<int32u>{3, 4}), small.words());
    // A shorter value clears the old high words.
    const int32u one = 1;
    EXPECT_EQ(kynStsNoErr, kynsSet_BN(kynsBigNumPOS, 1, &one, small.get()));
    EXPECT_EQ((std::vector<int32u>{1}), small.words());
}

TEST(KyncpBigNum, BadArgumentsGiveErrorsNotCrashes)
{
    int size = 0;
    for (int bad : {0, -1, KYNS_BN_MAXWORDS + 1, INT_MIN, INT_MAX}) {
        EXPECT_EQ(kynStsLengthErr, kynsBigNumGetSize(bad, &size)) << bad;
        Buffer buf(64);
        EXPECT_EQ(kynStsLengthErr, kynsBigNumInit(bad, buf.as<_cpBigNum>())) << bad;
    }
    EXPECT_EQ(kynStsNoErr, kynsBigNumGetSize(KYNS_BN_MAXWORDS, &size));

    Num bn(4, {9});
    const int32u data[2] = {1, 2};
    EXPECT_EQ(kynStsLengthErr, kynsSet_BN(kynsBigNumPOS, 0, data, bn.get()));
    EXPECT_EQ(kynStsLengthErr, kynsSet_BN(kynsBigNumPOS, -3, data, bn.get()));
    EXPECT_EQ(kynStsNotSupportedModeErr, kynsSet_BN((KynsBigNumSGN)2, 2, data, bn.get()));
    EXPECT_EQ((std::vector<int32u>{9}), bn.words());

    // Buffers that are not big-number contexts: never initialised, another kind, moved.
    Buffer raw(128, 0);
    KynsBigNumSGN sgn;
    int bits;
    int32u* ptr;
    EXPECT_EQ(kynStsContextMatchErr, kynsRef_BN(&sgn, &bits, &ptr, raw.as<_cpBigNum>()));
    EXPECT_EQ(kynStsContextMatchErr, kynsGetSize_BN(raw.as<_cpBigNum>(), &size));
    int prngSize = 0;
    kynsPRNGGetSize(&prngSize);
    Buffer prng(prngSize);
    ASSERT_EQ(kynStsNoErr, kynsPRNGInit(160, prng.as<_cpPRNG>()));
    EXPECT_EQ(kynStsContextMatchErr, kynsSet_BN(kynsBigNumPOS, 2, data, prng.as<_cpBigNum>()));
    int bnSize = 0;
    kynsBigNumGetSize(4, &bnSize);
    std::vector<unsigned char> moved(bnSize + 64);
    memcpy(moved.data() + 32, bn.get(), bnSize);
    EXPECT_EQ(kynStsContextMatchErr, kynsGetSize_BN(reinterpret_cast<_cpBigNum*>(moved.data() + 32), &size));
}

// ---- Montgomery ----------------------------------------------------------------------------------

TEST(KyncpMontgomery, ModulusRoundTripsAndProductsMatchOpenSsl)
{
    BnPtr expected(BN_new(), BN_free);
    std::unique_ptr<BN_CTX, decltype(&BN_CTX_free)> ctx(BN_CTX_new(), BN_CTX_free);
    for (int k : {1, 2, 3, 8, 33}) {
        for (KynsExpMethod method : {kynsBinaryMethod, kynsSlidingWindows}) {
            int size = 0;
            ASSERT_EQ(kynStsNoErr, kynsMontGetSize(method, k + 1, &size));
            Buffer buf(size, 7);
            _cpMontgomery* mont = buf.as<_cpMontgomery>();
            ASSERT_EQ(kynStsNoErr, kynsMontInit(method, k + 1, mont));

            // As the harness creates a Montgomery context: a random odd modulus with bit 31 of the top word set,
            // given with a leading zero word.
            std::vector<int32u> m = randomWords(k, true, true);
            m.push_back(0);
            ASSERT_EQ(kynStsNoErr, kynsMontSet(m.data(), (int)m.size(), mont));
            std::vector<int32u> back(k + 1, 0xFFFFFFFFu);
            int got = 0;
            ASSERT_EQ(kynStsNoErr, kynsMontGet(back.data(), &got, mont));
            ASSERT_EQ(k, got);
            back.resize(k);
            m.pop_back();
            EXPECT_EQ(m, back);

            BnPtr mBn = bnOf(m);
            for (int trial = 0; trial < 4; ++trial) {
                BnPtr aBn(BN_new(), BN_free), bBn(BN_new(), BN_free);
                BN_rand_range(aBn.get(), mBn.get());
                BN_rand_range(bBn.get(), mBn.get());
                Num a(k, wordsOf(aBn.get()).empty() ? std::vector<int32u>{0} : wordsOf(aBn.get()));
                Num b(k, wordsOf(bBn.get()).empty() ? std::vector<int32u>{0} : wordsOf(bBn.get()));
                Num aR(k), r(k);

                // a R mod m with R = 2^(32k).
                ASSERT_EQ(kynStsNoErr, kynsMontForm(a.get(), mont, aR.get()));
                BN_lshift(expected.get(), aBn.get(), 32 * k);
                BN_mod(expected.get(), expected.get(), mBn.get(), ctx.get());
                EXPECT_EQ(wordsOf(expected.get()), aR.words()) << "k=" << k;

                // (a R) b / R = a b mod m.
                ASSERT_EQ(kynStsNoErr, kynsMontMul(aR.get(), b.get(), mont, r.get()));
                BN_mod_mul(expected.get(), aBn.get(), bBn.get(), mBn.get(), ctx.get());
                EXPECT_EQ(wordsOf(expected.get()), r.words()) << "k=" << k;

                // The result may be stored over an operand.
                ASSERT_EQ(kynStsNoErr, kynsMontMul(aR.get(), b.get(), mont, aR.get()));
                EXPECT_EQ(wordsOf(expected.get()), aR.words());
            }
        }
    }
}

TEST(KyncpMontgomery, BadArgumentsGiveErrorsNotCrashes)
{
    int size = 0;
    EXPECT_EQ(kynStsNotSupportedModeErr, kynsMontGetSize((KynsExpMethod)7, 4, &size));
    for (int bad : {0, -1, KYNS_MONT_MAXWORDS + 1})
        EXPECT_EQ(kynStsLengthErr, kynsMontGetSize(kynsBinaryMethod, bad, &size)) << bad;
    ASSERT_EQ(kynStsNoErr, kynsMontGetSize(kynsBinaryMethod, 2, &size));
    Buffer buf(size);
    _cpMontgomery* mont = buf.as<_cpMontgomery>();
    EXPECT_EQ(kynStsNotSupportedModeErr, kynsMontInit((KynsExpMethod)-1, 2, mont));
    EXPECT_EQ(kynStsLengthErr, kynsMontInit(kynsBinaryMethod, 0, mont));
    const int32u seven = 7;
    EXPECT_EQ(kynStsContextMatchErr, kynsMontSet(&seven, 1, mont)) << "not initialised yet";
    ASSERT_EQ(kynStsNoErr, kynsMontInit(kynsBinaryMethod, 2, mont));

    // Nothing set yet.
    int32u out[4];
    int k = 0;
    EXPECT_EQ(kynStsIncompleteContextErr, kynsMontGet(out, &k, mont));
    Num a(2, {3}), r(2);
    EXPECT_EQ(kynStsIncompleteContextErr, kynsMontForm(a.get(), mont, r.get()));

    // Moduli that cannot be: even, zero, one, too long; bad sizes.
    const int32u even[2] = {10, 1}, zero[2] = {0, 0}, one[1] = {1}, longer[3] = {1, 1, 1}, good[2] = {0xFFFFFFFBu, 7};
    EXPECT_EQ(kynStsBadModulusErr, kynsMontSet(even, 2, mont));
    EXPECT_EQ(kynStsBadModulusErr, kynsMontSet(zero, 2, mont));
    EXPECT_EQ(kynStsBadModulusErr, kynsMontSet(one, 1, mont));
    EXPECT_EQ(kynStsOutOfRangeErr, kynsMontSet(longer, 3, mont));
    EXPECT_EQ(kynStsLengthErr, kynsMontSet(good, 0, mont));
    EXPECT_EQ(kynStsIncompleteContextErr, kynsMontGet(out, &k, mont));
    ASSERT_EQ(kynStsNoErr, kynsMontSet(good, 2, mont));
    // A failed set keeps the modulus.
    EXPECT_EQ(kynStsBadModulusErr, kynsMontSet(even, 2, mont));
    ASSERT_EQ(kynStsNoErr, kynsMontGet(out, &k, mont));
    EXPECT_EQ(2, k);
    EXPECT_EQ(good[0], out[0]);
    EXPECT_EQ(good[1], out[1]);

    // Operands must lie in [0, m); the result must fit its number.
    Num atM(2, {good[0], good[1]}), negative(2, {3}, kynsBigNumNEG), tiny(1), fine(2, {0x12345678u, 1});
    EXPECT_EQ(kynStsOutOfRangeErr, kynsMontForm(atM.get(), mont, r.get()));
    EXPECT_EQ(kynStsOutOfRangeErr, kynsMontForm(negative.get(), mont, r.get()));
    EXPECT_EQ(kynStsOutOfRangeErr, kynsMontMul(a.get(), atM.get(), mont, r.get()));
    EXPECT_EQ(kynStsOutOfRangeErr, kynsMontForm(fine.get(), mont, tiny.get()));
    EXPECT_TRUE(tiny.words().empty());
}

// ---- PRNG ------------------------------------------------------------------------------------------

namespace {

std::unique_ptr<Buffer> makePrng(int seedBits, const std::vector<int32u>& seed)
{
    int size = 0;
    EXPECT_EQ(kynStsNoErr, kynsPRNGGetSize(&size));
    auto buf = std::make_unique<Buffer>(size, 9);
    EXPECT_EQ(kynStsNoErr, kynsPRNGInit(seedBits, buf->as<_cpPRNG>()));
    Num s(16, seed);
    EXPECT_EQ(kynStsNoErr, kynsPRNGSetSeed(s.get(), buf->as<_cpPRNG>()));
    return buf;
}

} // namespace

TEST(KyncpPRNG, SeedRoundTripsAndOutputIsTheDocumentedHash)
{
    // As the harness creates a generator: 512-bit seed length, a 160-bit seed with bits 0 and 159 set.
    const std::vector<int32u> seed = {0x11111111u, 0x22222222u, 0x33333333u, 0x44444444u, 0x85555555u};
    auto rnd = makePrng(512, seed);
    _cpPRNG* ctx = rnd->as<_cpPRNG>();
    Num back(5);
    ASSERT_EQ(kynStsNoErr, kynsPRNGGetSeed(ctx, back.get()));
    EXPECT_EQ(seed, back.words());

    // Block 0 = SHA-256("kyncp-prng" || seedBits || 16 seed words || counter 0), little-endian.
    std::vector<unsigned char> msg(std::begin("kyncp-prng"), std::end("kyncp-prng") - 1);
    auto put32 = [&msg](int32u v) {
        for (int i = 0; i < 4; ++i) msg.push_back((unsigned char)(v >> (8 * i)));
    };
    put32(512);
    for (int i = 0; i < 16; ++i) put32(i < (int)seed.size() ? seed[i] : 0);
    put32(0);
    put32(0);
    unsigned char digest[32];
    SHA256(msg.data(), msg.size(), digest);

    int32u out[3] = {0, 0, 0xFFFFFFFFu};
    ASSERT_EQ(kynStsNoErr, kynsPRNGen(out, 40, ctx));
    int32u first;
    memcpy(&first, digest, 4);
    EXPECT_EQ(first, out[0]);
    EXPECT_EQ((int32u)digest[4], out[1]) << "the top word keeps only 40 - 32 = 8 bits";
    EXPECT_EQ(0xFFFFFFFFu, out[2]) << "nothing written past (nBits + 31) / 32 words";

    // The same seed gives the same stream, another seed another stream; setting the seed again
    // restarts it.
    auto same = makePrng(512, seed);
    auto other = makePrng(512, {0x11111111u, 0x22222222u, 0x33333333u, 0x44444444u, 0x85555557u});
    std::vector<int32u> s1(20), s2(20), s3(20);
    kynsPRNGen(s1.data(), 640, ctx);  // block 0 went to the 40 bits above
    kynsPRNGen(s2.data(), 32, same->as<_cpPRNG>());  // block 0
    kynsPRNGen(s2.data(), 640, same->as<_cpPRNG>());  // blocks 1 to 3
    kynsPRNGen(s3.data(), 640, other->as<_cpPRNG>());
    EXPECT_NE(s1, s3);
    EXPECT_EQ(s1, s2) << "each call starts a new block: both streams are at blocks 1 to 3";
    Num reseed(5, seed);
    ASSERT_EQ(kynStsNoErr, kynsPRNGSetSeed(reseed.get(), ctx));
    int32u again = 0;
    kynsPRNGen(&again, 32, ctx);
    EXPECT_EQ(first, again);
}

TEST(KyncpPRNG, BadArgumentsGiveErrorsNotCrashes)
{
    int size = 0;
    ASSERT_EQ(kynStsNoErr, kynsPRNGGetSize(&size));
    Buffer buf(size);
    _cpPRNG* rnd = buf.as<_cpPRNG>();
    for (int bad : {0, KYNS_PRNG_MIN_SEEDBITS - 1, KYNS_PRNG_MAX_SEEDBITS + 1, -160})
        EXPECT_EQ(kynStsLengthErr, kynsPRNGInit(bad, rnd)) << bad;
    ASSERT_EQ(kynStsNoErr, kynsPRNGInit(160, rnd));

    int32u out[2];
    EXPECT_EQ(kynStsIncompleteContextErr, kynsPRNGen(out, 32, rnd));
    Num seedOut(5);
    EXPECT_EQ(kynStsIncompleteContextErr, kynsPRNGGetSeed(rnd, seedOut.get()));

    // Seeds longer than the seed length, or negative.
    Num big(6, {1, 0, 0, 0, 0, 1}), negative(2, {1}, kynsBigNumNEG), ok(5, {1, 2, 3, 4, 5});
    EXPECT_EQ(kynStsOutOfRangeErr, kynsPRNGSetSeed(big.get(), rnd));
    EXPECT_EQ(kynStsOutOfRangeErr, kynsPRNGSetSeed(negative.get(), rnd));
    ASSERT_EQ(kynStsNoErr, kynsPRNGSetSeed(ok.get(), rnd));
    EXPECT_EQ(kynStsLengthErr, kynsPRNGen(out, 0, rnd));
    EXPECT_EQ(kynStsLengthErr, kynsPRNGen(out, -5, rnd));
    Num tooSmall(2);
    EXPECT_EQ(kynStsOutOfRangeErr, kynsPRNGGetSeed(rnd, tooSmall.get()));
    EXPECT_TRUE(tooSmall.words().empty());
}

// ---- Prime ---------------------------------------------------------------------------------------

namespace {

class PrimeTester {
public:
    explicit PrimeTester(int maxBits) : m_rnd(makePrng(512, {7, 11, 13}))
    {
        int size = 0;
        EXPECT_EQ(kynStsNoErr, kynsPrimeGetSize(maxBits, &size));
        m_buf = std::make_unique<Buffer>(size, 1);
        EXPECT_EQ(kynStsNoErr, kynsPrimeInit(maxBits, prime()));
    }
    _cpPrime* prime() { return m_buf->as<_cpPrime>(); }
    _cpPRNG* rnd() { return m_rnd->as<_cpPRNG>(); }
    int32u test(const std::vector<int32u>& value, KynsBigNumSGN sign = kynsBigNumPOS)
    {
        Num n((int)std::max<size_t>(value.size(), 1), value.empty() ? std::vector<int32u>{0} : value, sign);
        int32u result = 99;
        EXPECT_EQ(kynStsNoErr, kynsPrimeTest_BN(n.get(), 20, &result, prime(), rnd()));
        return result;
    }

private:
    std::unique_ptr<Buffer> m_rnd;
    std::unique_ptr<Buffer> m_buf;
};

std::vector<int32u> hexWords(const char* hex)
{
    BIGNUM* b = nullptr;
    BN_hex2bn(&b, hex);
    std::vector<int32u> w = wordsOf(b);
    BN_free(b);
    return w;
}

} // namespace

TEST(KyncpPrime, KnownPrimesAndCompositesAndAgreementWithOpenSsl)
{
    PrimeTester t(512);
    for (int32u p : {2u, 3u, 5u, 251u, 257u, 65521u, 65537u, 4294967291u})
        EXPECT_EQ((int32u)kynsProbablyPrime, t.test({p})) << p;
    for (int32u c : {0u, 1u, 4u, 561u, 41041u, 66049u, 825265u, 4294967295u})
        EXPECT_EQ((int32u)kynsComposite, t.test({c})) << c;
    EXPECT_EQ((int32u)kynsComposite, t.test({7}, kynsBigNumNEG));
    // 2^127 - 1 and the P-256 prime; 2^128 + 1 and (2^61 - 1)(2^89 - 1) are composite.
    EXPECT_EQ((int32u)kynsProbablyPrime, t.test(hexWords("7FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF")));
    EXPECT_EQ((int32u)kynsProbablyPrime,
              t.test(hexWords("FFFFFFFF00000001000000000000000000000000FFFFFFFFFFFFFFFFFFFFFFFF")));
    EXPECT_EQ((int32u)kynsComposite, t.test(hexWords("100000000000000000000000000000001")));
    BnPtr a = bnOf(hexWords("1FFFFFFFFFFFFFFF")), b = bnOf(hexWords("1FFFFFFFFFFFFFFFFFFFFFF"));
    std::unique_ptr<BN_CTX, decltype(&BN_CTX_free)> ctx(BN_CTX_new(), BN_CTX_free);
    BnPtr ab(BN_new(), BN_free);
    BN_mul(ab.get(), a.get(), b.get(), ctx.get());
    EXPECT_EQ((int32u)kynsComposite, t.test(wordsOf(ab.get())));

    // Random odd 96-bit numbers (about one in 33 is prime) and generated primes.
    int primes = 0;
    for (int i = 0; i < 200; ++i) {
        const std::vector<int32u> n = randomWords(3, true, true);
        const int expected = BN_check_prime(bnOf(n).get(), ctx.get(), nullptr);
        primes += expected;
        EXPECT_EQ(expected ? (int32u)kynsProbablyPrime : (int32u)kynsComposite, t.test(n)) << i;
    }
    EXPECT_GT(primes, 0);
    BnPtr p(BN_new(), BN_free);
    ASSERT_EQ(1, BN_generate_prime_ex(p.get(), 256, 0, nullptr, nullptr, nullptr));
    EXPECT_EQ((int32u)kynsProbablyPrime, t.test(wordsOf(p.get())));
    BN_mul(ab.get(), p.get(), p.get(), ctx.get());
    EXPECT_EQ((int32u)kynsComposite, t.test(wordsOf(ab.get())));
}

TEST(KyncpPrime, BadArgumentsGiveErrorsNotCrashes)
{
    int size = 0;
    for (int bad : {0, 1, -64, KYNS_PRIME_MAXBITS + 1})
        EXPECT_EQ(kynStsLengthErr, kynsPrimeGetSize(bad, &size)) << bad;
    Buffer raw(256);
    EXPECT_EQ(kynStsLengthErr, kynsPrimeInit(0, raw.as<_cpPrime>()));

    PrimeTester t(64);
    Num n(4, {0xFFFFFFFBu, 0xFFFFFFFFu, 1});  // 65 bits
    int32u result = 99;
    EXPECT_EQ(kynStsOutOfRangeErr, kynsPrimeTest_BN(n.get(), 10, &result, t.prime(), t.rnd()));
    Num m(2, {0xFFFFFFFBu});
    EXPECT_EQ(kynStsOutOfRangeErr, kynsPrimeTest_BN(m.get(), 0, &result, t.prime(), t.rnd()));
    EXPECT_EQ(kynStsOutOfRangeErr, kynsPrimeTest_BN(m.get(), 1001, &result, t.prime(), t.rnd()));
    EXPECT_EQ(99u, result);

    // The generator must be seeded.
    int prngSize = 0;
    kynsPRNGGetSize(&prngSize);
    Buffer unseeded(prngSize);
    ASSERT_EQ(kynStsNoErr, kynsPRNGInit(256, unseeded.as<_cpPRNG>()));
    EXPECT_EQ(kynStsIncompleteContextErr, kynsPrimeTest_BN(m.get(), 10, &result, t.prime(), unseeded.as<_cpPRNG>()));
    EXPECT_EQ(kynStsContextMatchErr, kynsPrimeTest_BN(m.get(), 10, &result, raw.as<_cpPrime>(), t.rnd()));
}

// ---- DLP -----------------------------------------------------------------------------------------

TEST(KyncpDLP, DomainRoundTripsAndIsChecked)
{
    // As the harness creates a DLP context: a 1024-bit prime and a 160-bit subgroup order.
    int size = 0;
    ASSERT_EQ(kynStsNoErr, kynsDLPGetSize(1024, 160, &size));
    Buffer buf(size, 11);
    _cpDLP* dl = buf.as<_cpDLP>();
    ASSERT_EQ(kynStsNoErr, kynsDLPInit(1024, 160, dl));

    Num pOut(32), rOut(5), gOut(32);
    EXPECT_EQ(kynStsIncompleteContextErr, kynsDLPGet(pOut.get(), rOut.get(), gOut.get(), dl));

    const std::vector<int32u> p = randomWords(32, true, true), r = randomWords(5, true, true);
    Num P(32, p), R(5, r), G(32, {2});
    ASSERT_EQ(kynStsNoErr, kynsDLPSet(P.get(), R.get(), G.get(), dl));
    ASSERT_EQ(kynStsNoErr, kynsDLPGet(pOut.get(), rOut.get(), gOut.get(), dl));
    EXPECT_EQ(p, pOut.words());
    EXPECT_EQ(r, rOut.words());
    EXPECT_EQ((std::vector<int32u>{2}), gOut.words());

    // Wrong sizes, even P or R, G out of (1, P): refused, the domain stays.
    std::vector<int32u> shortP = p, pe = p, re = r;
    shortP[31] = 1;  // 993 bits
    pe[0] &= ~1u;
    re[0] &= ~1u;
    Num Pshort(32, shortP), R161(6, {r[0], r[1], r[2], r[3], r[4], 1});
    Num Peven(32, pe), Reven(5, re), G1(32, {1}), G0(32, {0}), GP(32, p), Gneg(32, {5}, kynsBigNumNEG);
    EXPECT_EQ(kynStsOutOfRangeErr, kynsDLPSet(Pshort.get(), R.get(), G.get(), dl));
    EXPECT_EQ(kynStsOutOfRangeErr, kynsDLPSet(P.get(), R161.get(), G.get(), dl));
    EXPECT_EQ(kynStsBadModulusErr, kynsDLPSet(Peven.get(), R.get(), G.get(), dl));
    EXPECT_EQ(kynStsBadArgErr, kynsDLPSet(P.get(), Reven.get(), G.get(), dl));
    for (Num* g : {&G1, &G0, &GP, &Gneg}) EXPECT_EQ(kynStsOutOfRangeErr, kynsDLPSet(P.get(), R.get(), g->get(), dl));
    ASSERT_EQ(kynStsNoErr, kynsDLPGet(pOut.get(), rOut.get(), gOut.get(), dl));
    EXPECT_EQ(p, pOut.words());
    EXPECT_EQ((std::vector<int32u>{2}), gOut.words());

    // Outputs too small: nothing is written.
    Num small(4, {42});
    EXPECT_EQ(kynStsOutOfRangeErr, kynsDLPGet(small.get(), rOut.get(), gOut.get(), dl));
    EXPECT_EQ((std::vector<int32u>{42}), small.words());

    for (auto bits : std::vector<std::pair<int, int>>{{63, 10}, {8193, 160}, {512, 512}, {512, 1}, {512, -1}})
        EXPECT_EQ(kynStsLengthErr, kynsDLPGetSize(bits.first, bits.second, &size)) << bits.first << "/" << bits.second;
    EXPECT_EQ(kynStsLengthErr, kynsDLPInit(512, 600, dl));
}

// ---- Null pointers to every function ------------------------------------------------------------

TEST(KyncpArguments, EveryPointerArgumentMayBeNull)
{
    // Valid contexts to pair with each null.
    Num bn(4, {3});
    int size = 0;
    kynsMontGetSize(kynsBinaryMethod, 4, &size);
    Buffer montBuf(size);
    _cpMontgomery* mont = montBuf.as<_cpMontgomery>();
    kynsMontInit(kynsBinaryMethod, 4, mont);
    const int32u mod = 0xFFFFFFFBu;
    kynsMontSet(&mod, 1, mont);
    auto rndBuf = makePrng(256, {1, 2});
    _cpPRNG* rnd = rndBuf->as<_cpPRNG>();
    kynsPrimeGetSize(128, &size);
    Buffer primeBuf(size);
    _cpPrime* prime = primeBuf.as<_cpPrime>();
    kynsPrimeInit(128, prime);
    kynsDLPGetSize(128, 32, &size);
    Buffer dlpBuf(size);
    _cpDLP* dl = dlpBuf.as<_cpDLP>();
    kynsDLPInit(128, 32, dl);

    int32u words[4] = {1, 2, 3, 4};
    int32u* ptr = nullptr;
    KynsBigNumSGN sgn;
    int bits = 0;
    int32u result = 0;
    const int table[] = {0x2C, 32768, 0, 0};

#define CALL(expr) {#expr, [&]() -> KynStatus { return expr; }}
    const std::vector<std::pair<const char*, std::function<KynStatus()>>> calls = {
        CALL(cpGetReg(nullptr, 0, 0)), CALL(kyncpGetCpuFeatures(nullptr)), CALL(kyncpGetNumThreads(nullptr)),
        CALL(cpGetCacheSize(nullptr)), CALL(cpGetCacheSizeOfRegs(nullptr, table)),
        CALL(cpGetCacheSizeOfRegs(words, nullptr)), CALL(kynsBigNumGetSize(4, nullptr)),
        CALL(kynsBigNumInit(4, nullptr)), CALL(kynsSet_BN(kynsBigNumPOS, 1, nullptr, bn.get())),
        CALL(kynsSet_BN(kynsBigNumPOS, 1, words, nullptr)), CALL(kynsRef_BN(nullptr, &bits, &ptr, bn.get())),
        CALL(kynsRef_BN(&sgn, nullptr, &ptr, bn.get())), CALL(kynsRef_BN(&sgn, &bits, nullptr, bn.get())),
        CALL(kynsRef_BN(&sgn, &bits, &ptr, nullptr)), CALL(kynsGetSize_BN(nullptr, &bits)),
        CALL(kynsGetSize_BN(bn.get(), nullptr)), CALL(kynsMontGetSize(kynsBinaryMethod, 4, nullptr)),
        CALL(kynsMontInit(kynsBinaryMethod, 4, nullptr)), CALL(kynsMontSet(nullptr, 1, mont)),
        CALL(kynsMontSet(&mod, 1, nullptr)), CALL(kynsMontGet(nullptr, &bits, mont)),
        CALL(kynsMontGet(words, nullptr, mont)), CALL(kynsMontGet(words, &bits, nullptr)),
        CALL(kynsMontForm(nullptr, mont, bn.get())), CALL(kynsMontForm(bn.get(), nullptr, bn.get())),
        CALL(kynsMontForm(bn.get(), mont, nullptr)), CALL(kynsMontMul(nullptr, bn.get(), mont, bn.get())),
        CALL(kynsMontMul(bn.get(), nullptr, mont, bn.get())),
        CALL(kynsMontMul(bn.get(), bn.get(), nullptr, bn.get())),
        CALL(kynsMontMul(bn.get(), bn.get(), mont, nullptr)), CALL(kynsPRNGGetSize(nullptr)),
        CALL(kynsPRNGInit(256, nullptr)), CALL(kynsPRNGSetSeed(nullptr, rnd)),
        CALL(kynsPRNGSetSeed(bn.get(), nullptr)), CALL(kynsPRNGGetSeed(nullptr, bn.get())),
        CALL(kynsPRNGGetSeed(rnd, nullptr)), CALL(kynsPRNGen(nullptr, 32, rnd)), CALL(kynsPRNGen(words, 32, nullptr)),
        CALL(kynsPrimeGetSize(128, nullptr)), CALL(kynsPrimeInit(128, nullptr)),
        CALL(kynsPrimeTest_BN(nullptr, 4, &result, prime, rnd)),
        CALL(kynsPrimeTest_BN(bn.get(), 4, nullptr, prime, rnd)),
        CALL(kynsPrimeTest_BN(bn.get(), 4, &result, nullptr, rnd)),
        CALL(kynsPrimeTest_BN(bn.get(), 4, &result, prime, nullptr)), CALL(kynsDLPGetSize(128, 32, nullptr)),
        CALL(kynsDLPInit(128, 32, nullptr)), CALL(kynsDLPSet(nullptr, bn.get(), bn.get(), dl)),
        CALL(kynsDLPSet(bn.get(), nullptr, bn.get(), dl)), CALL(kynsDLPSet(bn.get(), bn.get(), nullptr, dl)),
        CALL(kynsDLPSet(bn.get(), bn.get(), bn.get(), nullptr)), CALL(kynsDLPGet(nullptr, bn.get(), bn.get(), dl)),
        CALL(kynsDLPGet(bn.get(), nullptr, bn.get(), dl)), CALL(kynsDLPGet(bn.get(), bn.get(), nullptr, dl)),
        CALL(kynsDLPGet(bn.get(), bn.get(), bn.get(), nullptr)),
    };
#undef CALL
    for (auto& c : calls) EXPECT_EQ(kynStsNullPtrErr, c.second()) << c.first;
    // The valid arguments above were valid: the number is unchanged.
    EXPECT_EQ((std::vector<int32u>{3}), bn.words());
}
