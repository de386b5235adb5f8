// kycpTest: the base of every cryptography test. On top of kyTest it adds a statistic timing mode
// (the whole measurement repeated over samples, reported as a mean with its spread), reproducible
// 32-bit random words, helpers that build the crypto library's big-number, Montgomery, PRNG, prime
// and DLP contexts in memory the test tracks, and the csv cells that name the measured function.
#ifndef KY_CP_TEST_H
#define KY_CP_TEST_H

#include "kyncp.h"
#include "ky_test.h"
#include "ps_list.h"
#include "ps_parameter.h"

class psCStream;

// The number of statistic samples; 0 means one plain measurement.
class cpSample_Itr : public psIterator<int> {
public:
    ~cpSample_Itr() override {}
    // One empty cell while the parameter is nameless (the usual case); otherwise the count and
    // the list label, or the description alone for a count of 0.
    void toCStream(psCStream& cs) const override;
};

// A buffer handed out at an offset inside a larger block: the pair remembers where the block starts.
struct cpAddress {
    cpAddress(void* base, void* derived) : base(base), derived(derived) {}
    void* base;
    void* derived;
};

class cpAddressList : public psList<cpAddress> {
public:
    // Keeps the pair only when both addresses are real.
    void add(void* base, void* derived);
    // Unlinks the first pair with this derived address and returns its base; null when none matches.
    void* remove(void* derived);
};

// The relative standard deviation of count samples around mean, rounded to a whole percent: "8%".
// Throws psException for a mean of zero.
psString getDeviationStr(double mean, const double* samples, int count);

class kycpTest : public kyTest {
public:
    kycpTest(funcCall call, funcInit init, funcLoop loop, funcStat stat, psString name, psString file,
             psString info);
    ~kycpTest() override;

    void beginTest() override;
    psResult runTiming() override;
    void funcToCstrm() override;
    // A function of the multi-buffer library that the test or its class needs and the library in
    // use lacks (ky_tzv_symbols.h), or "".
    psString missingFunction() override;
    // Prepares the data of statistic sample index; false skips the whole statistic measurement.
    virtual bool setStatisticData(int index);

    // Repeats the measurement samples times and keeps the mean clocks per call as the result.
    psResult runStatisticTiming(unsigned samples);
    // The function's prefix and base, its type (or defaultType when the name has none), its descriptor.
    void funcToCstrmWithType(psString defaultType);

    // count words from the data generator started at seed; the same seed gives the same words.
    static unsigned* rand_32u(unsigned* out, int count, unsigned seed);
    // The same from the running seed, which then moves on by one.
    unsigned* rand_32u(unsigned* out, int count);
    unsigned rand_32u();

    // Big numbers (sizes in 32-bit words). Each create helper allocates the context through the
    // test's memory tracking and stops at the first library status that fails; the last int is
    // accepted for the callers' convenience and not used.
    bool createBN(int words, int randomWords, _cpBigNum*& bn, int unused = 0);
    bool createBN(int words, _cpBigNum*& bn, int unused = 0);
    // An odd number of exactly 31 * words bits (bit 30 of the top word set, bit 31 clear).
    bool createBN_1(int words, _cpBigNum*& bn, int unused = 0);
    // words random words with the top one's bit 31 and bit 0 set, zero above; -1 fills the capacity.
    bool setBN_Random(_cpBigNum* bn, int words);
    bool setBN(_cpBigNum* bn) { return setBN_Random(bn, -1); }
    bool setBN(_cpBigNum* bn, const unsigned* data, KynsBigNumSGN sign);
    bool setBN(_cpBigNum* bn, unsigned value, KynsBigNumSGN sign);
    // Copies the value when it fits the destination's capacity with room to spare.
    bool copyDataBN(const _cpBigNum* src, _cpBigNum* dst);
    static int getBNLength(int bits) { return (bits + 31) / 32; }
    bool createMont(KynsExpMethod method, int words, _cpMontgomery*& mont, int unused = 0);
    bool createPRNG(_cpPRNG*& prng, unsigned seed);
    bool createPrime(int bits, _cpPrime*& prime, int unused = 0);
    bool createDSA(int bits, _cpDLP*& dlp, int unused = 0);
    void deleteBN(_cpBigNum*& bn) { release(bn); }
    void deleteMont(_cpMontgomery*& mont) { release(mont); }
    void deletePRNG(_cpPRNG*& prng) { release(prng); }
    void deletePrime(_cpPrime*& prime) { release(prime); }
    void deleteDSA(_cpDLP*& dlp) { release(dlp); }

    // Rounds the four byte sizes up to multiples of 32 (in place), takes one tracked block of their
    // sum and points the four pointers at its consecutive parts. False when nothing was allocated.
    static bool allocDSA_RSA(int* sizes, unsigned** parts, int unused = 0);

    cpSample_Itr& getSamples() { return m_samples; }
    cpAddressList& getAddressList() { return m_addressList; }

    static unsigned m_seed;

protected:
    template <class T>
    static void release(T*& context)
    {
        psTest::deallocate(context);
        context = nullptr;
    }
    // A tracked buffer of bytes for a library context; null when the size is not positive.
    static void* allocContext(int bytes);

    cpSample_Itr m_samples;
    cpAddressList m_addressList;
};

#endif
