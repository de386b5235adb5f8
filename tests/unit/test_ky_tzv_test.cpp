// The multi-buffer test base: lane status folding, the unsupported-processor rule, the function
// cell, and the generated entry points driven through a fake library function and a virtual
// time-stamp counter, so that every figure they report is known in advance.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "ky_tzv_wrappers.h"
#include "ps_capture.h"
#include "ps_cstream.h"

namespace {

// ---- a fake 8-lane and a fake 16-lane library function ----

// The virtual counter: every reading advances it by g_readCost; a fake call by its programmed cost.
unsigned long long g_now = 0;
long long g_readCost = 0;
unsigned long long virtualClock()
{
    g_now += g_readCost;
    return g_now;
}

int g_calls = 0;
std::vector<long long> g_costs;      // per call; the last one repeats
std::vector<uint64_t> g_statuses;    // per call; the last one repeats
long long g_seenLane3 = 0;           // proves the arguments reach the function

template <class T>
T programmed(const std::vector<T>& values, int index, T otherwise)
{
    if (values.empty()) return otherwise;
    return index < (int)values.size() ? values[index] : values.back();
}

uint32_t fake_mb8(uint64_t* out[8], const uint64_t* const in[8])
{
    int index = g_calls++;
    g_now += programmed<long long>(g_costs, index, 0);
    *out[3] = *in[3];
    g_seenLane3 = (long long)*out[3];
    return (uint32_t)programmed<uint64_t>(g_statuses, index, 0);
}

uint64_t fake_mb16(const int* len)
{
    int index = g_calls++;
    g_now += programmed<long long>(g_costs, index, 0);
    (void)len;
    return programmed<uint64_t>(g_statuses, index, 0);
}

uint64_t g_input = 77;
uint64_t g_output = 0;
uint64_t* g_outLanes[8] = {&g_output, &g_output, &g_output, &g_output, &g_output, &g_output, &g_output, &g_output};
const uint64_t* const g_inLanes[8] = {&g_input, &g_input, &g_input, &g_input, &g_input, &g_input, &g_input, &g_input};
const int g_lengths[16] = {0};

} // namespace

KY_TZV_WRAPPERS_MB8(fake_mb8, (g_outLanes, g_inLanes))
KY_TZV_WRAPPERS_MB16(fake_mb16, (g_lengths))

namespace {

const char* statusText(int status) { return status == -2 ? "General error" : "Other"; }

class WrapperTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_start = kyn_StartCpuClocks;
        m_stop = kyn_StopCpuClocks;
        m_text = kyn_GetStatusString;
        psSetCpuClocks(virtualClock, virtualClock);
        kyn_GetStatusString = statusText;
        g_now = 1000;
        g_readCost = 0;
        g_calls = 0;
        g_costs.clear();
        g_statuses.clear();
        psTest::setCurrentResult(UNDEFINED);
    }
    void TearDown() override
    {
        psSetCpuClocks(m_start, m_stop);
        kyn_GetStatusString = m_text;
        psTest::setCurrentResult(UNDEFINED);
    }

private:
    psCpuClockFunc m_start = nullptr, m_stop = nullptr;
    const char* (*m_text)(int) = nullptr;
};

class NamedTest : public kytzvTest {
public:
    explicit NamedTest(const char* name)
        : kytzvTest(nullptr, nullptr, tim_fake_mb8_sts_wrapper_loop, nullptr, name, "p_fake.cpp", "TimFake//KY_REG")
    {
    }
};

} // namespace

TEST(LaneStatus, AnyLaneThatSucceededMakesTheCallSucceedAndOnlyAllLanesSayUnsupported)
{
    // A zero lane between failed neighbours: no bit of a neighbour may count for it.
    const struct { uint32_t word; int folded; bool unsupported; } words8[] = {
        {0x00000000u, 0, false},  {0x10000000u, 0, false}, {0x11111111u, -2, false}, {0x84218421u, -2, false},
        {0x11111110u, 0, false},  {0x88888880u, 0, false}, {0x0FFFFFFFu, 0, false},  {0xAAAAAAAAu, -2, true},
        {0xBBBBBBBBu, -2, true},  {0xAAAAAAA0u, 0, false}, {0xA2AAAAAAu, -2, false}, {0x88888888u, -2, false}};
    for (const auto& w : words8) {
        EXPECT_EQ(kyFoldStatus8(w.word), w.folded) << std::hex << w.word;
        EXPECT_EQ(kyUnsupportedCpu8(w.word), w.unsupported) << std::hex << w.word;
    }
    for (int lane = 0; lane < 16; ++lane) {
        uint64_t mask = ~(0xFull << (4 * lane));
        EXPECT_EQ(kyFoldStatus16(0x8888888888888888ull & mask), 0) << lane;
        EXPECT_EQ(kyFoldStatus16(0x1111111111111111ull & mask), 0) << lane;
        if (lane < 8) EXPECT_EQ(kyFoldStatus8(0x22222222u & (uint32_t)mask), 0) << lane;
    }
    EXPECT_EQ(kyFoldStatus16(0x8421842184218421ull), -2);
    EXPECT_TRUE(kyUnsupportedCpu16(0xAAAAAAAAAAAAAAAAull));
    EXPECT_FALSE(kyUnsupportedCpu16(0xAAAAAAAAAAAAAAABull));

    // The result is set, not combined; a supported processor leaves it alone.
    psTest::setCurrentResult(FUNCFAIL);
    EXPECT_TRUE(kytzvTest::acceptCpu(false));
    EXPECT_EQ(psTest::getCurrentResult(), FUNCFAIL);
    EXPECT_FALSE(kytzvTest::acceptCpu(true));
    EXPECT_EQ(psTest::getCurrentResult(), resWRNG_NOT_SUPPORTED_CPU);
    psTest::setCurrentResult(UNDEFINED);
}

TEST(FunctionCell, TheLibraryNameWithoutTheWrapperTail)
{
    g_cstrm.tableFlush();
    NamedTest wrapped("tzv_sm3_update_mb16_sts_wrapper");
    wrapped.funcToCstrm();
    NamedTest plain("tzv_exp_mb8");
    plain.funcToCstrm();
    NamedTest middle("a_sts_wrapper_b");
    middle.funcToCstrm();
    psString cell;
    ASSERT_TRUE(g_cstrm.getColm(0, cell));
    EXPECT_EQ(cell, "tzv_sm3_update_mb16");
    ASSERT_TRUE(g_cstrm.getColm(1, cell));
    EXPECT_EQ(cell, "tzv_exp_mb8");
    ASSERT_TRUE(g_cstrm.getColm(2, cell));
    EXPECT_EQ(cell, "a");
    EXPECT_EQ(g_cstrm.getColmIndex(), 3);
    g_cstrm.tableFlush();
}

TEST_F(WrapperTest, SingleCallFoldsTheLaneWord)
{
    g_statuses = {0x11111110u, 0x11111111u};
    EXPECT_EQ(tcall_fake_mb8_sts_wrapper(), 0);
    EXPECT_EQ(tcall_fake_mb8_sts_wrapper(), -2);
    EXPECT_EQ(g_calls, 2);
    EXPECT_EQ(g_seenLane3, 77);

    g_calls = 0;
    g_statuses = {0x1111111111111101ull, 0x2222222222222222ull};
    EXPECT_EQ(fake_mb16_sts_wrapper(), 0);
    EXPECT_EQ(tcall_fake_mb16_sts_wrapper(), -2);
}

TEST_F(WrapperTest, LoopReportsTheFastestSingleCall)
{
    // The warm-up is not timed: its cost of 500 never shows.
    g_costs = {500, 30, 10, 20};
    long long clocks = -1;
    EXPECT_EQ(tim_fake_mb8_sts_wrapper_loop(3, &clocks), OK);
    EXPECT_EQ(g_calls, 4);
    EXPECT_EQ(clocks, 10);

    // No timed call: only the warm-up, and the figure is the empty start/stop pair.
    g_calls = 0;
    g_readCost = 7;
    EXPECT_EQ(tim_fake_mb8_sts_wrapper_loop(0, &clocks), OK);
    EXPECT_EQ(g_calls, 1);
    EXPECT_EQ(clocks, 7);
}

TEST_F(WrapperTest, LoopStatusIsThatOfTheLastCall)
{
    MessageLevel level = g_ostrm.getMsgLevel();
    StreamCapture capture(g_ostrm, ERR);
    long long clocks = 0;
    g_statuses = {0x11111111u, 0u};
    EXPECT_EQ(tim_fake_mb8_sts_wrapper_loop(1, &clocks), OK);
    EXPECT_EQ(capture.text(), "");

    g_calls = 0;
    g_statuses = {0u, 0u, 0x22222222u};
    g_costs = {1, 40, 15};
    EXPECT_EQ(tim_fake_mb8_sts_wrapper_loop(2, &clocks), FUNCFAIL);
    EXPECT_EQ(clocks, 15); // the clocks are kept even so
    EXPECT_EQ(capture.text(), "--KYN FAIL. status = -2 in fake_mb8_sts_wrapper: General error\n");
    EXPECT_EQ(psTest::getCurrentResult(), FUNCFAIL);

    EXPECT_EQ(g_ostrm.getMsgLevel(), level);
}

TEST_F(WrapperTest, StatisticTakesTheBestBatchPerCall)
{
    // Batches of 4 calls of 25 clocks: two batches reach 8 calls and 200 clocks.
    g_costs = {25};
    int count = 8;
    long long clocks = 200;
    EXPECT_EQ(tim_fake_mb8_sts_wrapper_stat(&count, &clocks, 4), OK);
    EXPECT_EQ(count, 8);
    EXPECT_EQ(g_calls, 8);
    EXPECT_EQ(clocks, 25);

    // A slower first batch does not count: the best one does.
    g_calls = 0;
    g_costs = {90, 90, 10, 10};
    count = 4;
    clocks = 0;
    EXPECT_EQ(tim_fake_mb8_sts_wrapper_stat(&count, &clocks, 2), OK);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(clocks, 10);

    // Batch sizes 0 and 1 both mean one call per batch.
    g_calls = 0;
    g_costs = {12};
    count = 3;
    clocks = 0;
    EXPECT_EQ(tim_fake_mb16_sts_wrapper_stat(&count, &clocks, 0), OK);
    EXPECT_EQ(g_calls, 3);
    EXPECT_EQ(clocks, 12);

    // The minimum time keeps the batches coming after the minimum count is reached.
    g_calls = 0;
    g_costs = {10};
    count = 1;
    clocks = 100;
    EXPECT_EQ(tim_fake_mb8_sts_wrapper_stat(&count, &clocks, 1), OK);
    EXPECT_EQ(count, 10);
}

TEST_F(WrapperTest, StatisticSubtractsTheLoopStepUnlessTheFigureIsSmaller)
{
    // Each reading costs 500: an empty 100-step loop measures 500, so one step costs 5.
    g_readCost = 500;
    g_costs = {10};
    int count = 200;
    long long clocks = 0;
    EXPECT_EQ(tim_fake_mb8_sts_wrapper_stat(&count, &clocks, 200), OK);
    // (500 + 200 * 10) / 200 = 12, less 5.
    EXPECT_EQ(clocks, 7);

    // (500 + 200 * 1) / 200 = 3 is below the step and stays as it is.
    g_calls = 0;
    g_costs = {1};
    count = 200;
    clocks = 0;
    EXPECT_EQ(tim_fake_mb8_sts_wrapper_stat(&count, &clocks, 200), OK);
    EXPECT_EQ(clocks, 3);
}

TEST_F(WrapperTest, StatisticStopsAtTheFirstFailingBatch)
{
    StreamCapture capture(g_ostrm, ERR);
    // Calls 1-2 succeed, call 4 (the last of the second batch) fails in every lane.
    g_statuses = {0u, 0u, 0u, 0x11111111u, 0u};
    g_costs = {50, 50, 5, 5};
    int count = 100;
    long long clocks = 0;
    EXPECT_EQ(tim_fake_mb8_sts_wrapper_stat(&count, &clocks, 2), FUNCFAIL);
    EXPECT_EQ(g_calls, 4);
    EXPECT_EQ(count, 2);   // the failing batch is not counted
    EXPECT_EQ(clocks, 5);  // but its span is the best
    EXPECT_EQ(capture.text(), "--KYN FAIL. status = -2 in fake_mb8_sts_wrapper: General error\n");
}
