// The in-cache / out-of-cache size iterator and the largest-cache lookup.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ps_cache_iterator.h"
#include "ps_capture.h"
#include "ps_cpuinfo.h"
#include "ps_malloc.h"
#include "ps_registry.h"

namespace {

std::string str(const psString& text) { return text.c_str(); }

int fakeCache = 0;
int fakeStatus = 0;
int fakeMaxCacheSizeB(int* size)
{
    *size = fakeCache;
    return fakeStatus;
}

// Test data whose size the test sets directly.
class SizedObject : public psObject {
public:
    int objectSize() const override { return size; }
    int size = 0;
};

// Cache of the given size through the library table; the blocks allocated in a test are freed
// at its end.
class CacheIter : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_saved = kyn_GetMaxCacheSizeB;
        kyn_GetMaxCacheSizeB = fakeMaxCacheSizeB;
        fakeCache = 1048576;
        fakeStatus = 0;
        ASSERT_EQ(psCacheIterator::getTotalSize(), 0) << "another test left blocks behind";
        length.init("Length");
        length.add(4096);
        length.add(64);
    }
    void TearDown() override
    {
        freeAll();
        kyn_GetMaxCacheSizeB = m_saved;
    }
    void allocate(int size)
    {
        freeAll();
        m_block = psMalloc(size);
    }
    void freeAll()
    {
        psFree(m_block);
        m_block = nullptr;
    }

    psIterator<int> length;

private:
    int (*m_saved)(int*) = nullptr;
    void* m_block = nullptr;
};

} // namespace

TEST(CacheIterUpdate, PowerOfTwoRescaling)
{
    // From the third attempt on (halveOnly) only halving or doubling; failures leave the value alone.
    const struct { int value, size, target; bool halveOnly, ok; int result; } cases[] = {
        {4096, 4194304, 943718, false, true, 512},   // 4 MB is 2^3 too big for 0.9 MB
        {16, 1000, 104857, false, true, 1024},       // 1000 * 2^6 is the last doubling below 104857
        {100, 4096, 4096, false, true, 50},          // a size equal to its target is brought just below it
        {100, 3000, 4096, false, true, 100},         // already just below the target
        {100, 4194304, 943718, true, true, 50},      {100, 1000, 104857, true, true, 200},
        {7, 0, 943718, false, false, 7},             {7, 1000, 0, false, false, 7},
        {7, -5, 100, true, false, 7},                {7, 4194304, 100, false, false, 7}, // 7 >> 16 is 0
        {1, 10, 5, true, false, 1},                  {INT_MAX / 2 + 1, 1, INT_MAX, false, false, INT_MAX / 2 + 1},
        {INT_MAX / 2 + 1, 10, 1000, true, false, INT_MAX / 2 + 1}}; // doubling past the int range
    for (const auto& c : cases) {
        int v = c.value;
        EXPECT_EQ(c.ok, psCacheIteratorInt::updateValue(v, c.size, c.target, c.halveOnly))
            << c.value << " " << c.size << " " << c.target;
        EXPECT_EQ(c.result, v) << c.value << " " << c.size << " " << c.target;
    }
}

TEST_F(CacheIter, WindowsOfBothModes)
{
    psCacheIteratorInt it(length, nullptr, nullptr);
    ASSERT_TRUE(it.firstValue());
    EXPECT_EQ(str(it.getComment()), "inCache");
    EXPECT_EQ(it.lowSize(), 104857);
    EXPECT_EQ(it.highSize(), 943718);
    ASSERT_TRUE(it.nextValue());
    EXPECT_EQ(str(it.getComment()), "outofCache");
    EXPECT_EQ(it.lowSize(), 1101004);
    EXPECT_EQ(it.highSize(), INT_MAX);
    EXPECT_FALSE(it.nextValue());

    // No known cache: in-cache has no room at all, out-of-cache takes anything.
    fakeStatus = 36;
    ASSERT_TRUE(it.firstValue());
    EXPECT_EQ(psCacheIterator::cacheSize(), 0);
    EXPECT_EQ(it.highSize(), 0);
    allocate(64);
    EXPECT_FALSE(it.validateSize());
    EXPECT_FALSE(it.repeatValue()) << "nothing to aim at";
    ASSERT_TRUE(it.nextValue());
    EXPECT_TRUE(it.validateSize());
}

TEST_F(CacheIter, ValidateAndRescale)
{
    psCacheIteratorInt it(length, nullptr, nullptr);
    ASSERT_TRUE(it.firstValue());
    EXPECT_EQ(length.value(), 4096);
    EXPECT_EQ(str(it.valueString()), "4096") << "the wrapped parameter's text";
    EXPECT_EQ(str(it.description()), "Length = 4096; 64");

    allocate(4194304);
    {
        StreamCapture out(g_ostrm, PERF);
        EXPECT_FALSE(it.validateSize());
        EXPECT_EQ(out.text(), "      inCache try: cacheParm=4096 totalSize=4194304 > 943718\n");
    }
    EXPECT_EQ(str(it.getAdjustments()), "      inCache try: cacheParm=4096 totalSize=4194304 > 943718\n");
    EXPECT_TRUE(it.repeatValue());
    EXPECT_EQ(length.value(), 512);

    allocate(524288);
    EXPECT_TRUE(it.validateSize());
    EXPECT_EQ(it.getAttempts(), 0);
    EXPECT_TRUE(it.getAdjustments().empty());

    // Out of cache the wrapped parameter starts again from its first value.
    ASSERT_TRUE(it.nextValue());
    EXPECT_EQ(length.value(), 4096);
    allocate(1101003);
    EXPECT_FALSE(it.validateSize());
    EXPECT_EQ(str(it.getAdjustments()),
              "      outofCache try: cacheParm=4096 totalSize=1101003 < 1101004\n");
    allocate(1101004);
    EXPECT_TRUE(it.validateSize());

    // The comment reaches the console at ERR only when PERF lines were not shown already.
    allocate(10);
    EXPECT_FALSE(it.validateSize());
    {
        StreamCapture out(g_ostrm, ERR | PERF);
        it.outputInfo();
        EXPECT_EQ(out.text(), "");
    }
    {
        StreamCapture out(g_ostrm, ERR | WARN);
        it.outputInfo();
        EXPECT_EQ(out.text(), "      outofCache try: cacheParm=4096 totalSize=10 < 1101004\n");
    }
}

TEST_F(CacheIter, GivesUpAfterTwelveAttempts)
{
    SizedObject data;
    data.size = 1000; // never grows, whatever the parameter says
    length.reset();
    length.add(16);
    psCacheIteratorInt it(length, &data, nullptr);
    ASSERT_TRUE(it.firstValue());
    allocate(1000);

    StreamCapture out(g_ostrm, ERR);
    EXPECT_FALSE(it.validateSize());
    EXPECT_EQ(str(it.getAdjustments()), "      inCache try: cacheParm=16 objectSize=1000 < 104857\n");
    EXPECT_TRUE(it.repeatValue());
    EXPECT_EQ(length.value(), 1024); // first rescale by the power of two, 2^6
    int expected = 1024;
    for (int attempt = 2; attempt <= 11; ++attempt) {
        EXPECT_FALSE(it.validateSize());
        EXPECT_TRUE(it.repeatValue()) << "attempt " << attempt;
        expected *= 2; // from the second repetition only doubling
        EXPECT_EQ(length.value(), expected) << "attempt " << attempt;
    }
    EXPECT_FALSE(it.validateSize());
    EXPECT_FALSE(it.repeatValue());
    EXPECT_EQ(length.value(), 1048576) << "the twelfth attempt changes nothing";

    // The next mode starts afresh.
    ASSERT_TRUE(it.nextValue());
    EXPECT_EQ(it.getAttempts(), 0);
    EXPECT_DOUBLE_EQ(it.getLowFactor(), 0.1);
    EXPECT_TRUE(it.getAdjustments().empty());
}

TEST_F(CacheIter, ObjectThatCanNeverFit)
{
    SizedObject data;
    data.size = 5000; // below even the lowered bound of 10485
    psCacheIteratorInt it(length, &data, nullptr);
    ASSERT_TRUE(it.firstValue());
    allocate(2097152);

    StreamCapture out(g_ostrm, ERR);
    EXPECT_FALSE(it.validateSize());
    EXPECT_EQ(str(it.getAdjustments()),
              "      inCache try: cacheParm=4096 objectSize=5000 < 104857\n"
              "      inCache try: cacheParm=4096 totalSize=2097152 > 943718\n");
    EXPECT_DOUBLE_EQ(it.getLowFactor(), 0.01);
    EXPECT_EQ(it.lowSize(), 10485);
    EXPECT_TRUE(it.repeatValue());

    EXPECT_FALSE(it.validateSize());
    EXPECT_FALSE(it.repeatValue()) << "the low bound is as low as it goes";
}

TEST_F(CacheIter, SwingingBetweenTooBigAndTooSmallWidensTheWindow)
{
    SizedObject data;
    psCacheIteratorInt it(length, &data, nullptr);
    ASSERT_TRUE(it.firstValue());

    // Two attempts too big.
    data.size = 1000000;
    allocate(1000000);
    for (int attempt = 1; attempt <= 2; ++attempt) {
        EXPECT_FALSE(it.validateSize());
        EXPECT_TRUE(it.repeatValue());
    }
    // Now too small after too big: the low bound drops to 1% and the same data fit.
    data.size = 50000;
    allocate(50000);
    EXPECT_TRUE(it.validateSize());
    EXPECT_DOUBLE_EQ(it.getLowFactor(), 0.01);
}

TEST_F(CacheIter, CallbackTakesOverTheRescaling)
{
    static int calls, seen[4];
    calls = 0;
    auto adjust = [](psParameter* parm, int current, int target, bool halve) {
        ++calls;
        seen[0] = parm ? 1 : 0, seen[1] = current, seen[2] = target, seen[3] = halve;
        return false;
    };
    psCacheIterator it(length, nullptr, adjust);
    ASSERT_TRUE(it.firstValue());
    allocate(4194304);
    EXPECT_FALSE(it.validateSize());
    EXPECT_FALSE(it.repeatValue());
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(std::vector<int>(seen, seen + 4), (std::vector<int>{1, 4194304, 943718, 0}));
    EXPECT_EQ(length.value(), 4096);

    // Without a callback the plain iterator cannot rescale anything.
    psCacheIterator plain(length, nullptr, nullptr);
    ASSERT_TRUE(plain.firstValue());
    EXPECT_FALSE(plain.validateSize());
    EXPECT_FALSE(plain.repeatValue());
    EXPECT_EQ(length.value(), 4096);
}

// ---- The largest cache ----------------------------------------------------------------------

namespace {

// A described processor: registers by (leaf, subleaf).
std::map<std::pair<unsigned, unsigned>, std::array<unsigned, 4>> cpu;

void tableReader(unsigned leaf, unsigned subleaf, unsigned regs[4])
{
    auto it = cpu.find({leaf, subleaf});
    for (int i = 0; i < 4; ++i) regs[i] = it == cpu.end() ? 0 : it->second[i];
}

void setVendor(const char* vendor, unsigned maxLeaf)
{
    unsigned r[3];
    std::memcpy(r, vendor, 12);
    cpu[{0, 0}] = {maxLeaf, r[0], r[2], r[1]}; // EBX, EDX, ECX hold the text in that order
}

// Leaf 4 EAX/EBX/ECX for a cache of type, sets, line size and ways.
std::array<unsigned, 4> cache(unsigned type, unsigned level, unsigned sets, unsigned line, unsigned ways)
{
    return {type | (level << 5), (line - 1) | ((ways - 1) << 22), sets - 1, 0};
}

class MaxCache : public ::testing::Test {
protected:
    void SetUp() override
    {
        cpu.clear();
        m_old = psSetCpuidReader(tableReader);
        psResetMaxCacheSizeB();
    }
    void TearDown() override
    {
        psSetCpuidReader(m_old);
        psResetMaxCacheSizeB();
    }
    psCpuidReader m_old = nullptr;
};

} // namespace

TEST_F(MaxCache, LeafFourWalk)
{
    setVendor("GenuineOrvel", 4);
    cpu[{4, 0}] = cache(1, 1, 64, 64, 12);     // 48 KB data
    cpu[{4, 1}] = cache(2, 1, 64, 64, 8);      // 32 KB instructions
    cpu[{4, 2}] = cache(3, 2, 1024, 64, 20);   // 1.25 MB unified
    cpu[{4, 3}] = cache(2, 3, 16384, 128, 16); // a huge instruction cache does not count
    int size = -1, line = -1;
    EXPECT_EQ(psFindMaxCacheSizeB(&size, &line), 0);
    EXPECT_EQ(size, 1310720);
    EXPECT_EQ(line, 64);

    // The first answer is kept for the process.
    EXPECT_EQ(psGetMaxCacheSizeB(&size), 0);
    EXPECT_EQ(size, 1310720);
    cpu[{4, 2}] = cache(3, 2, 2048, 64, 16);
    EXPECT_EQ(psGetMaxCacheSizeB(&size), 0);
    EXPECT_EQ(size, 1310720);
    EXPECT_EQ(psGetMaxCacheSizeB(nullptr), 0);
    psResetMaxCacheSizeB();
    EXPECT_EQ(psGetMaxCacheSizeB(&size), 0);
    EXPECT_EQ(size, 2097152);

    // Only instruction caches: no data cache.
    cpu.erase({4, 0});
    cpu.erase({4, 2});
    cpu[{4, 0}] = cache(2, 1, 64, 64, 8);
    cpu.erase({4, 1});
    EXPECT_EQ(psFindMaxCacheSizeB(&size, &line), -2);
    EXPECT_EQ(size, 0);
}

TEST_F(MaxCache, UnsupportedProcessorsAndLeafTwo)
{
    int size = -1;
    setVendor("OtherVendor!", 4);
    cpu[{4, 0}] = cache(3, 2, 1024, 64, 16); // 1 MB
    cpu[{4, 1}] = cache(2, 1, 1024, 64, 32); // 2 MB instruction cache
    EXPECT_EQ(psFindMaxCacheSizeB(&size, nullptr), 36);
    // The size-only form falls back to the report's walk, which takes every cache.
    EXPECT_EQ(psGetMaxCacheSizeB(), 2097152);

    setVendor("GenuineOrvel", 1);
    EXPECT_EQ(psFindMaxCacheSizeB(&size, nullptr), 36);

    // Below leaf 4 the leaf-2 descriptors name the caches: 0x2C is a first-level cache, not in
    // the table; 0x49 is 4 MB, 0x4D 16 MB.
    setVendor("GenuineOrvel", 2);
    cpu[{2, 0}] = {0x2C4901u, 0, 0, 0x4D};
    EXPECT_EQ(psFindMaxCacheSizeB(&size, nullptr), 0);
    EXPECT_EQ(size, 16777216);
    cpu[{2, 0}] = {0x2C0001u, 0, 0, 0};
    EXPECT_EQ(psFindMaxCacheSizeB(&size, nullptr), -2);
    EXPECT_EQ(size, 0);
}

TEST(CacheDescriptors, TableLayout)
{
    int count = 0;
    const int* table = psCacheDescriptors(count);
    ASSERT_EQ(count, 55);
    EXPECT_EQ(std::vector<int>(table, table + 6), (std::vector<int>{236, 24 << 20, 235, 18 << 20, 77, 16 << 20}));
    EXPECT_EQ((std::vector<int>{table[102], table[104], table[106], table[107], table[108], table[109]}),
              (std::vector<int>{57, 59, 65, 131072, 0, 0}));
    for (int i = 1; i < 54; ++i) {
        EXPECT_LE(table[2 * i + 1], table[2 * i - 1]) << "largest first, pair " << i;
        EXPECT_GT(table[2 * i], 0);
        for (int j = 0; j < i; ++j) EXPECT_NE(table[2 * i], table[2 * j]) << "descriptor listed twice";
    }
}
