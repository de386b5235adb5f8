// The in-cache / out-of-cache size iterator over a 1 MB cache: the windows, the rescaling of the
// wrapped parameter and when it gives up.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "ps_cache_iterator.h"
#include "ps_capture.h"
#include "ps_malloc.h"
#include "ps_registry.h"
#include "ps_services.h"

namespace {
int fakeMaxCacheSizeB(int* size) { return *size = 1048576, 0; }

class SizedObject : public psObject {
public:
    int objectSize() const override { return size; }
    int size = 0;
};

class CacheIter : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_saved = kyn_GetMaxCacheSizeB;
        kyn_GetMaxCacheSizeB = fakeMaxCacheSizeB;
        ASSERT_EQ(psCacheIterator::getTotalSize(), 0) << "another test left blocks behind";
        length.init("Length", 4096, 64);
    }
    void TearDown() override
    {
        psFree(m_block);
        kyn_GetMaxCacheSizeB = m_saved;
    }
    // The only tracked block: what the iterator sees as the total size.
    void allocate(int size)
    {
        psFree(m_block);
        m_block = psMalloc(size);
    }
    std::string adjustments(psCacheIterator& it) { return it.getAdjustments().c_str(); }

    psIterator<int> length;
    SizedObject data;
    StreamCapture quiet{g_ostrm, ERR};

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
        {7, 0, 943718, false, false, 7},             {7, -5, 100, true, false, 7},
        {7, 4194304, 100, false, false, 7},          // 7 >> 16 is 0
        {INT_MAX / 2 + 1, 10, 1000, true, false, INT_MAX / 2 + 1}}; // doubling past the int range
    for (const auto& c : cases) {
        int v = c.value;
        EXPECT_EQ(c.ok, psCacheIteratorInt::updateValue(v, c.size, c.target, c.halveOnly)) << c.value << " " << c.size;
        EXPECT_EQ(c.result, v) << c.value << " " << c.size;
    }
}

TEST_F(CacheIter, InCacheBelowNinetyPercentOutOfCacheAboveTheCache)
{
    psCacheIteratorInt it(length, nullptr, nullptr);
    ASSERT_TRUE(it.firstValue());
    allocate(4194304);
    EXPECT_FALSE(it.validateSize());
    EXPECT_EQ(adjustments(it), "      inCache try: cacheParm=4096 totalSize=4194304 > 943718\n");
    EXPECT_TRUE(it.repeatValue());
    EXPECT_EQ(length.value(), 512);
    allocate(524288);
    EXPECT_TRUE(it.validateSize());
    EXPECT_EQ(adjustments(it), "");

    // Out of cache the wrapped parameter starts again from its first value.
    ASSERT_TRUE(it.nextValue());
    EXPECT_EQ(length.value(), 4096);
    allocate(1101003);
    EXPECT_FALSE(it.validateSize());
    EXPECT_EQ(adjustments(it), "      outofCache try: cacheParm=4096 totalSize=1101003 < 1101004\n");
    allocate(1101004);
    EXPECT_TRUE(it.validateSize());
    EXPECT_FALSE(it.nextValue());
}

TEST_F(CacheIter, GivesUpAfterTwelveAttempts)
{
    data.size = 1000; // never grows, whatever the parameter says
    length.init("Length", 16, 16);
    psCacheIteratorInt it(length, &data, nullptr);
    ASSERT_TRUE(it.firstValue());
    allocate(1000);
    EXPECT_FALSE(it.validateSize());
    EXPECT_EQ(adjustments(it), "      inCache try: cacheParm=16 objectSize=1000 < 104857\n");
    EXPECT_TRUE(it.repeatValue());
    EXPECT_EQ(length.value(), 1024); // first by the power of two, 2^6, then doubling only
    for (int attempt = 2; attempt <= 11; ++attempt) {
        EXPECT_FALSE(it.validateSize());
        EXPECT_TRUE(it.repeatValue()) << attempt;
        EXPECT_EQ(length.value(), 1024 << (attempt - 1)) << attempt;
    }
    EXPECT_FALSE(it.validateSize());
    EXPECT_FALSE(it.repeatValue());
    EXPECT_EQ(length.value(), 1048576);
    ASSERT_TRUE(it.nextValue()); // the next mode starts afresh
    EXPECT_EQ(it.getAttempts(), 0);
    EXPECT_DOUBLE_EQ(it.getLowFactor(), 0.1);
}
