// The crypto test base: deviation text, random words against the generator's recurrence, the
// statistic timing mode over samples, the operand block, the address list, the function cells and
// the library environment.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ky_cp_environment.h"
#include "ky_cp_test.h"
#include "ky_vector.h"
#include "ps_capture.h"
#include "ps_cpu_ticker.h"
#include "ps_cstream.h"
#include "ps_exception.h"
#include "ps_malloc.h"
#include "ps_registry.h"

namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Puts a library table entry back at the end of the scope.
template <class T>
struct Restore {
    T& entry;
    T saved;
    ~Restore() { entry = saved; }
};
template <class T>
Restore<T> restored(T& entry) { return {entry, entry}; }

// The data generator's recurrence for one-element fills of [-2^31, 2^31 - 1], written out from
// its definition: the subtract-with-borrow step on the seed plus a congruential term that starts
// afresh at every fill.
std::vector<uint32_t> referenceWords(uint32_t seed, int count)
{
    std::vector<uint32_t> out;
    for (int i = 0; i < count; ++i) {
        uint32_t g = 69069u * 1131199209u + 1013904243u;
        uint32_t x2 = 69069u * seed + 1013904243u;
        uint32_t x3 = 69069u * x2 + 1013904243u;
        uint32_t t = x2 - x3 + 0xFFFFFFFFu;
        uint32_t c = (t & 0x80000000u) ? 0xFFFFFFFFu : 0u;
        uint32_t x = t - (c & 18u);
        seed = x;
        double mid = (2147483647.0 + -2147483648.0) * 0.5;
        double scale = (2147483647.0 - -2147483648.0) * 2.3283064365387e-10;
        double value = mid + scale * (double)(int32_t)(x + g);
        out.push_back((uint32_t)(int32_t)value);
    }
    return out;
}

// Sample figures handed out by the statistic function, one per measurement.
std::vector<long long> g_sampleClocks;
std::vector<psResult> g_sampleResults;
size_t g_sampleIndex = 0;

psResult sampleStat(int* calls, long long* clocks, int)
{
    size_t i = g_sampleIndex++;
    *calls = 4;
    *clocks = i < g_sampleClocks.size() ? g_sampleClocks[i] : 0;
    return i < g_sampleResults.size() ? g_sampleResults[i] : OK;
}

// Records the running seed at each sample and may refuse one.
class SampledTest : public kycpTest {
public:
    SampledTest(const char* name = "kynsAdd_32f_I")
        : kycpTest(nullptr, nullptr, nullptr, sampleStat, name, "src/p_sample.cpp", "TimSample//KY_REG")
    {
        getTool().setMethodStat(4, 0);
    }
    bool setStatisticData(int index) override
    {
        seeds.push_back(m_seed);
        return index != refuseAt;
    }
    std::vector<unsigned> seeds;
    int refuseAt = -1;
};

class StatisticTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        psCpuTicker::setFreq(1);
        g_sampleClocks.clear();
        g_sampleResults.clear();
        g_sampleIndex = 0;
        psTest::setCurrentResult(UNDEFINED);
    }
    void TearDown() override
    {
        psCpuTicker::setFreq(0);
        psTest::setCurrentResult(UNDEFINED);
    }
};

} // namespace

TEST(DeviationText, RelativeSpreadRoundedToAWholePercent)
{
    // sigma 8.16 of 100; none; 2.5 of 100 rounds up; 10 of 20; no samples.
    const std::vector<double> spread = {100, 110, 90};
    const struct { double mean; std::vector<double> samples; const char* text; } cases[] = {
        {100, spread, "8%"}, {250, {250, 250, 250, 250}, "0%"}, {100, {97.5, 102.5}, "3%"}, {20, {10, 30}, "50%"},
        {5, {}, "0%"}};
    for (const auto& c : cases)
        EXPECT_EQ(getDeviationStr(c.mean, c.samples.empty() ? nullptr : c.samples.data(), (int)c.samples.size()), c.text);

    try {
        getDeviationStr(0.0, spread.data(), 3);
        FAIL() << "no exception for a zero mean";
    } catch (const psException& e) {
        EXPECT_STREQ(e.info(), "getDeviationStr: Division by zero");
    }
}

TEST(RandomWords, FollowTheDataGeneratorAndAdvanceTheSeed)
{
    unsigned words[6];
    kycpTest::rand_32u(words, 6, 7);
    std::vector<uint32_t> expected = referenceWords(7, 6);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(words[i], expected[i]) << "word " << i;

    // The same seed gives the same words; a shorter request is a prefix.
    unsigned again[3];
    kycpTest::rand_32u(again, 3, 7);
    EXPECT_EQ(std::vector<unsigned>(again, again + 3), std::vector<unsigned>(words, words + 3));

    // Nothing is written for a count of 0.
    unsigned untouched[2] = {0xDEADBEEFu, 0xDEADBEEFu};
    kyVector::m_seed = 99;
    EXPECT_EQ(kycpTest::rand_32u(untouched, 0, 7), untouched);
    EXPECT_EQ(untouched[0], 0xDEADBEEFu);
    EXPECT_EQ(kyVector::m_seed, 7u) << "the seed is shared even without words";

    // The running seed: each request starts from it and moves it on by one.
    kycpTest::m_seed = 20;
    unsigned fromSeed[2];
    SampledTest test;
    test.rand_32u(fromSeed, 2);
    EXPECT_EQ(kycpTest::m_seed, 21u);
    EXPECT_EQ(std::vector<uint32_t>(fromSeed, fromSeed + 2), referenceWords(20, 2));
    EXPECT_EQ(test.rand_32u(), referenceWords(21, 1)[0]);
    EXPECT_EQ(kycpTest::m_seed, 22u);
}

TEST_F(StatisticTest, BeginTestStartsWithOnePlainMeasurement)
{
    SampledTest test;
    test.getSamples().init("samples");
    test.getSamples().add(3);
    kycpTest::m_seed = 99;
    test.beginTest();
    EXPECT_EQ(kycpTest::m_seed, 7u);
    EXPECT_EQ(test.getSamples().getName(), "");
    EXPECT_EQ(test.getSamples().size(), 1u);
    EXPECT_EQ(test.getSamples().front(), 0);

    // With no samples runTiming is one measurement by the tool: one call of the statistic function.
    g_sampleClocks = {321};
    EXPECT_EQ(test.runTiming(), OK);
    EXPECT_EQ(g_sampleIndex, 1u);
    EXPECT_DOUBLE_EQ(test.getTool().getFuncTicks(), 321.0);
    EXPECT_TRUE(test.seeds.empty());
}

TEST_F(StatisticTest, SamplesGiveTheMeanAndTheirSpread)
{
    SampledTest test;
    g_sampleClocks = {100, 110, 90};
    StreamCapture capture(g_ostrm, ERR | WARN | PERF);
    EXPECT_EQ(test.runStatisticTiming(3), OK);
    EXPECT_EQ(g_sampleIndex, 3u);
    EXPECT_EQ(test.seeds, (std::vector<unsigned>{11, 12, 13}));
    EXPECT_DOUBLE_EQ(test.getTool().getFuncTicks(), 100.0);
    EXPECT_EQ(test.getTool().getComment(), "nLps=4 dev=8%");
    EXPECT_TRUE(contains(capture.text(), "\t\tDeviation of 3 samples = 8%\n")) << capture.text();
}

TEST_F(StatisticTest, SampleLinesCarryTheAccuracyTakenBeforeTheFirstSample)
{
    SampledTest test;
    g_sampleClocks = {1000, 1000};
    StreamCapture capture(g_ostrm, ERR | WARN | PERF | INFO);
    EXPECT_EQ(test.runStatisticTiming(2), OK);
    std::string text = capture.text();
    // A fresh tool stands at 100%; each statistic measurement then reaches 0%, which the lines
    // do not show.
    EXPECT_TRUE(contains(text, "\t\tacc=100.0%  nLps=  4  perf= 1000 clocks per call\n")) << text;
    EXPECT_FALSE(contains(text, "acc=0.00%")) << text;
    EXPECT_TRUE(contains(text, "\t\tDeviation of 2 samples = 0%\n")) << text;
    EXPECT_EQ(test.getTool().getComment(), "nLps=4 dev=0%");
}

TEST_F(StatisticTest, FailuresStopTheSamplesAndZeroOrRefusedSamplesAreDataFailures)
{
    // A failure ends the loop, a warning stays a warning; no samples, a refused sample or samples
    // of zero clocks (no figure can be formed) are data failures.
    const struct { std::vector<long long> clocks; std::vector<psResult> results; int refuseAt, samples;
                   psResult result; size_t seeds; } cases[] = {
        {{300, 600, 900}, {OK, FUNCFAIL, OK}, -1, 3, FUNCFAIL, 2}, {{50, 50}, {FUNCWRN, OK}, -1, 2, FUNCWRN, 2},
        {{}, {}, -1, 0, DATAFAIL, 0}, {{10, 10, 10}, {}, 1, 3, DATAFAIL, 2}, {{0, 0}, {}, -1, 2, DATAFAIL, 2}};
    for (const auto& c : cases) {
        SampledTest test;
        test.refuseAt = c.refuseAt;
        g_sampleIndex = 0;
        g_sampleClocks = c.clocks;
        g_sampleResults = c.results;
        StreamCapture capture(g_ostrm, ERR | WARN | PERF | INFO);
        EXPECT_EQ(test.runStatisticTiming(c.samples), c.result) << c.samples;
        EXPECT_EQ(test.seeds.size(), c.seeds) << c.samples;
        if (c.samples == 0) {
            EXPECT_EQ(capture.text(), "");
        }
        if (c.result == FUNCFAIL) {
            // The mean still divides by the count asked for.
            EXPECT_EQ(g_sampleIndex, 2u);
            EXPECT_DOUBLE_EQ(test.getTool().getFuncTicks(), 100.0);
        }
    }
}

TEST(OperandBlock, SizesRoundUpToWholeChunksOfOneBlock)
{
    int sizes[4] = {1, 32, 33, 0};
    unsigned* parts[4] = {nullptr, nullptr, nullptr, nullptr};
    ASSERT_TRUE(kycpTest::allocDSA_RSA(sizes, parts));
    EXPECT_EQ(sizes[0], 32);
    EXPECT_EQ(sizes[1], 32);
    EXPECT_EQ(sizes[2], 64);
    EXPECT_EQ(sizes[3], 0);
    unsigned char* base = reinterpret_cast<unsigned char*>(parts[0]);
    EXPECT_EQ(reinterpret_cast<unsigned char*>(parts[1]) - base, 32);
    EXPECT_EQ(reinterpret_cast<unsigned char*>(parts[2]) - base, 64);
    EXPECT_EQ(reinterpret_cast<unsigned char*>(parts[3]) - base, 128);

    // One tracked block of the summed size.
    int blockSize = -1;
    int size;
    void* pointer;
    for (bool more = psMallocFirst(&size, &pointer); more; more = psMallocNext(&size, &pointer))
        if (pointer == base) blockSize = size;
    EXPECT_EQ(blockSize, 128);
    psTest::deallocate(base);

    int none[4] = {0, 0, 0, 0};
    EXPECT_FALSE(kycpTest::allocDSA_RSA(none, parts));
    EXPECT_EQ(parts[0], nullptr);
}

TEST(AddressList, KeepsRealPairsAndGivesBackTheBaseOfTheFirstMatch)
{
    int a[4], b[4], c[4];
    cpAddressList list;
    list.add(a, a + 1);
    list.add(nullptr, b);
    list.add(b, nullptr);
    list.add(b, b + 2);
    list.add(c, a + 1); // the same derived address again
    EXPECT_EQ(list.size(), 3u);

    EXPECT_EQ(list.remove(c + 3), nullptr);
    EXPECT_EQ(list.remove(nullptr), nullptr);
    EXPECT_EQ(list.size(), 3u);

    EXPECT_EQ(list.remove(a + 1), a);
    EXPECT_EQ(list.size(), 2u);
    EXPECT_EQ(list.remove(a + 1), c);
    EXPECT_EQ(list.remove(b + 2), b);
    EXPECT_TRUE(list.empty());
}

TEST(FunctionCells, PrefixAndBaseThenTypeOrTheDefaultThenDescriptor)
{
    g_cstrm.tableFlush();
    SampledTest typed("kynsAdd_32f_I");
    typed.funcToCstrm();
    SampledTest plain("tzv_rsa_public_mb8");
    plain.funcToCstrmWithType("64u");
    psString cell;
    const char* expected[] = {"kynsAdd", "32f", "I", "tzv_rsa_public_mb8", "64u", ""};
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(g_cstrm.getColm(i, cell));
        EXPECT_EQ(cell, expected[i]) << "cell " << i;
    }
    EXPECT_EQ(g_cstrm.getColmIndex(), 6);
    g_cstrm.tableFlush();
}

TEST(SampleParameter, CsvCellsFollowNameAndValue)
{
    g_cstrm.tableFlush();
    cpSample_Itr nameless;
    nameless.init(psString());
    nameless.toCStream(g_cstrm);
    EXPECT_EQ(g_cstrm.getColmIndex(), 1);

    cpSample_Itr named;
    named.init("nSamples");
    named.setPrompt("samples");
    named.setValue(5);
    named.toCStream(g_cstrm);
    psString cell;
    ASSERT_TRUE(g_cstrm.getColm(1, cell));
    EXPECT_EQ(cell, "5");
    ASSERT_TRUE(g_cstrm.getColm(2, cell));
    EXPECT_EQ(cell, "samples");
    EXPECT_EQ(g_cstrm.getColmIndex(), 3);
    g_cstrm.tableFlush();
}

TEST(KynEnvironment, FillsTheServiceTableAndPicksTheClockReaders)
{
    psCpuClockFunc start = kyn_StartCpuClocks, stop = kyn_StopCpuClocks;
    auto r1 = restored(kyn_GetCpuFeatures);
    auto r2 = restored(kyn_GetEnabledCpuFeatures);
    auto r3 = restored(kyn_Init);
    auto r4 = restored(kyn_SetCpuFeatures);
    auto r5 = restored(kyn_GetStatusString);
    auto r6 = restored(kyn_GetMaxCacheSizeB);
    auto r7 = restored(kyn_SetNumThreads);
    auto r8 = restored(kyn_GetNumThreads);
    kySetKynEnvironment();
    EXPECT_EQ(kyn_GetCpuFeatures, &kyncpGetCpuFeatures);
    EXPECT_EQ(kyn_GetEnabledCpuFeatures, &kyncpGetEnabledCpuFeatures);
    EXPECT_EQ(kyn_Init, &kyncpInit);
    EXPECT_EQ(kyn_SetCpuFeatures, &kyncpSetCpuFeatures);
    EXPECT_EQ(kyn_GetStatusString, &kyncpGetStatusString);
    EXPECT_EQ(kyn_SetNumThreads, &kyncpSetNumThreads);
    EXPECT_EQ(kyn_GetNumThreads, &kyncpGetNumThreads);
    EXPECT_NE(kyn_GetMaxCacheSizeB, nullptr);

    // RDTSCP as /proc/cpuinfo lists it.
    std::ifstream in("/proc/cpuinfo");
    std::string cpuinfo((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_TRUE(contains(cpuinfo, "flags"));
    bool rdtscp = contains(cpuinfo, " rdtscp");
    EXPECT_EQ(kyHasRdtscp(), rdtscp);
    EXPECT_EQ(kyn_StartCpuClocks, rdtscp ? &cpStartTscp : &cpStartTsc);
    EXPECT_EQ(kyn_StopCpuClocks, rdtscp ? &cpStopTscp : &cpStopTsc);
    EXPECT_EQ(kyGetKynVersion_kyncp(), cryptoGetLibVersion());

    psSetCpuClocks(start, stop);
}

TEST(HotFunctions, TheElevenNamesInOrder)
{
    psStringList* hot = psGetHotList();
    ASSERT_NE(hot, nullptr);
    const char* names[] = {"kynsDESDecryptCBC",         "kynsDESEncryptCBC",   "kynsDLPSharedSecretDH",
                           "kynsDLPVerifyDSA",          "kynsECCPVerifyDSA",   "kynsRijndael128DecryptCBC",
                           "kynsRijndael128EncryptCBC", "kynsAESDecryptCBC",   "kynsAESEncryptCBC",
                           "kynsRSA_Decrypt",           "kynsRSA_Encrypt"};
    psStringList::iterator it = hot->find(names[0]);
    ASSERT_NE(it, hot->end());
    for (const char* name : names) {
        ASSERT_NE(it, hot->end());
        EXPECT_EQ(*it, name);
        ++it;
    }
}

TEST(ContextHelpers, NumbersAndContextsOfTheGeneralLibrary)
{
    SampledTest test;
    kycpTest::m_seed = 7;

    // Four random words into a number of eight: bit 127 and bit 0 set, words 4 to 7 zero.
    _cpBigNum* bn = nullptr;
    ASSERT_TRUE(test.createBN(8, 4, bn));
    KynsBigNumSGN sign = kynsBigNumNEG;
    int bits = 0;
    int32u* words = nullptr;
    ASSERT_EQ(kynsRef_BN(&sign, &bits, &words, bn), 0);
    EXPECT_EQ(sign, kynsBigNumPOS);
    EXPECT_EQ(bits, 128);
    EXPECT_EQ(words[0] & 1u, 1u);
    int capacity = 0;
    ASSERT_EQ(kynsGetSize_BN(bn, &capacity), 0);
    EXPECT_EQ(capacity, 8);
    EXPECT_EQ(kycpTest::m_seed, 8u); // one draw of four words

    // Exactly 31 bits per word, odd.
    _cpBigNum* odd = nullptr;
    ASSERT_TRUE(test.createBN_1(4, odd));
    ASSERT_EQ(kynsRef_BN(&sign, &bits, &words, odd), 0);
    EXPECT_EQ(bits, 127);
    EXPECT_EQ(words[0] & 1u, 1u);

    // A copy needs a capacity above the source's length in words.
    _cpBigNum* wide = nullptr;
    _cpBigNum* narrow = nullptr;
    ASSERT_TRUE(test.createBN(5, 1, wide));
    ASSERT_TRUE(test.createBN(4, 1, narrow));
    EXPECT_TRUE(test.copyDataBN(bn, wide));
    ASSERT_EQ(kynsRef_BN(&sign, &bits, &words, wide), 0);
    EXPECT_EQ(bits, 128);
    EXPECT_FALSE(test.copyDataBN(bn, narrow));
    EXPECT_EQ(kycpTest::getBNLength(128), 4);
    EXPECT_EQ(kycpTest::getBNLength(129), 5);

    // setBN with one value everywhere; a null number is a plain false, not a crash.
    EXPECT_TRUE(test.setBN(narrow, 0x5u, kynsBigNumPOS));
    ASSERT_EQ(kynsRef_BN(&sign, &bits, &words, narrow), 0);
    EXPECT_EQ(words[3], 0x5u);
    EXPECT_FALSE(test.setBN(nullptr, 0x5u, kynsBigNumPOS));

    _cpMontgomery* mont = nullptr;
    _cpPRNG* prng = nullptr;
    _cpPrime* prime = nullptr;
    _cpDLP* dlp = nullptr;
    EXPECT_TRUE(test.createMont(kynsBinaryMethod, 8, mont));
    EXPECT_TRUE(test.createPRNG(prng, 3));
    EXPECT_TRUE(test.createPrime(256, prime));
    EXPECT_TRUE(test.createDSA(1024, dlp));
    // A size the library refuses stops the helper with a library failure.
    _cpBigNum* refused = nullptr;
    {
        StreamCapture capture(g_ostrm, ERR);
        EXPECT_FALSE(test.createBN(0, refused));
        EXPECT_TRUE(contains(capture.text(), "--KYN FAIL. status = -15 in kynsBigNumGetSize")) << capture.text();
    }
    EXPECT_EQ(refused, nullptr);
    psTest::setCurrentResult(UNDEFINED);

    test.deleteBN(bn);
    test.deleteBN(odd);
    test.deleteBN(wide);
    test.deleteBN(narrow);
    test.deleteMont(mont);
    test.deletePRNG(prng);
    test.deletePrime(prime);
    test.deleteDSA(dlp);
    EXPECT_EQ(bn, nullptr);
    EXPECT_EQ(mont, nullptr);
    EXPECT_EQ(dlp, nullptr);
}
