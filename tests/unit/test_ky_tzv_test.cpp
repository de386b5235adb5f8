// The multi-buffer test base: lane status folding, the unsupported-processor rule, and the
// generated entry points driven through a fake library function and a virtual
// time-stamp counter, so that every figure they report is known in advance.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "ky_tzv_wrappers.h"
#include "ps_capture.h"

namespace {

// A fake 8-lane and a fake 16-lane library function on a virtual counter: every reading advances
// it by g_readCost, a call by its programmed cost; costs and statuses per call, the last repeating.
unsigned long long g_now = 0;
long long g_readCost = 0;
unsigned long long virtualClock() { return g_now += g_readCost; }

int g_calls = 0;
std::vector<long long> g_costs;
std::vector<uint64_t> g_statuses;
long long g_seenLane3 = 0; // proves the arguments reach the function

template <class T>
T programmed(const std::vector<T>& values, int index)
{
    return values.empty() ? 0 : values[index < (int)values.size() ? index : values.size() - 1];
}

// A fresh call count and the fake's costs, statuses and reading cost.
void program(const std::vector<long long>& costs, const std::vector<uint64_t>& statuses, long long readCost)
{
    g_calls = 0, g_costs = costs, g_statuses = statuses, g_readCost = readCost;
}

uint64_t fakeCall()
{
    int index = g_calls++;
    g_now += programmed(g_costs, index);
    return programmed(g_statuses, index);
}
uint32_t fake_mb8(uint64_t* out[8], const uint64_t* const in[8])
{
    g_seenLane3 = (long long)(*out[3] = *in[3]);
    return (uint32_t)fakeCall();
}
uint64_t fake_mb16(const int*) { return fakeCall(); }

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
        psSetCpuClocks(virtualClock, virtualClock);
        kyn_GetStatusString = statusText;
        program({}, {}, 0);
    }
    void TearDown() override
    {
        psSetCpuClocks(m_start, m_stop);
        kyn_GetStatusString = m_text;
        psTest::setCurrentResult(UNDEFINED);
    }

private:
    psCpuClockFunc m_start = kyn_StartCpuClocks, m_stop = kyn_StopCpuClocks;
    const char* (*m_text)(int) = kyn_GetStatusString;
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
        EXPECT_TRUE(lane >= 8 || kyFoldStatus8(0x22222222u & (uint32_t)mask) == 0) << lane;
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

TEST_F(WrapperTest, SingleCallFoldsTheLaneWord)
{
    program({}, {0x11111110u, 0x11111111u}, 0);
    EXPECT_EQ(tcall_fake_mb8_sts_wrapper(), 0);
    EXPECT_EQ(tcall_fake_mb8_sts_wrapper(), -2);
    EXPECT_EQ(g_seenLane3, 77);
    program({}, {0x1111111111111101ull, 0x2222222222222222ull}, 0);
    EXPECT_EQ(tcall_fake_mb16_sts_wrapper(), 0);
    EXPECT_EQ(tcall_fake_mb16_sts_wrapper(), -2);
}

TEST_F(WrapperTest, LoopReportsTheFastestSingleCallAndTheLastStatus)
{
    // The warm-up is never timed; with no timed call the figure is the empty start/stop pair.
    const struct { std::vector<long long> costs; std::vector<uint64_t> statuses; long long readCost; int loops;
                   psResult result; int calls; long long clocks; } cases[] = {
        {{500, 30, 10, 20}, {}, 0, 3, OK, 4, 10},
        {{}, {}, 7, 0, OK, 1, 7},
        {{}, {0x11111111u, 0u}, 0, 1, OK, 2, 0},
        {{1, 40, 15}, {0u, 0u, 0x22222222u}, 0, 2, FUNCFAIL, 3, 15}};
    for (const auto& c : cases) {
        program(c.costs, c.statuses, c.readCost);
        StreamCapture capture(g_ostrm, ERR);
        long long clocks = -1;
        auto loop = c.loops == 0 ? tim_fake_mb16_sts_wrapper_loop : tim_fake_mb8_sts_wrapper_loop;
        EXPECT_EQ(loop(c.loops, &clocks), c.result);
        EXPECT_EQ(g_calls, c.calls);
        EXPECT_EQ(clocks, c.clocks);
        EXPECT_EQ(capture.text(), c.result == OK ? "" : "--KYN FAIL. status = -2 in fake_mb8_sts_wrapper: General error\n");
    }
}

TEST_F(WrapperTest, StatisticTakesTheBestBatchPerCallLessTheLoopStep)
{
    const struct { std::vector<long long> costs; std::vector<uint64_t> statuses; long long readCost; int count;
                   long long clocks; int batch; psResult result; int counted, calls; long long figure; } cases[] = {
        // Two batches of 4 calls of 25 clocks reach 8 calls and 200 clocks.
        {{25}, {}, 0, 8, 200, 4, OK, 8, 8, 25},
        // A slower first batch does not count; batch size 0 means 1; the minimum time keeps the
        // batches coming after the minimum count.
        {{90, 90, 10, 10}, {}, 0, 4, 0, 2, OK, 4, 4, 10},
        {{12}, {}, 0, 3, 0, 0, OK, 3, 3, 12},
        {{10}, {}, 0, 1, 100, 1, OK, 10, 10, 10},
        // Readings of 500: an empty 100-step loop measures 500, one step 5. (500 + 200 * 10) / 200
        // = 12, less 5; (500 + 200 * 1) / 200 = 3 is below the step and stays.
        {{10}, {}, 500, 200, 0, 200, OK, 200, 200, 7},
        {{1}, {}, 500, 200, 0, 200, OK, 200, 200, 3},
        // Call 4, the last of the second batch, fails: the batch is not counted, its span is the best.
        {{50, 50, 5, 5}, {0u, 0u, 0u, 0x11111111u, 0u}, 0, 100, 0, 2, FUNCFAIL, 2, 4, 5}};
    for (const auto& c : cases) {
        program(c.costs, c.statuses, c.readCost);
        StreamCapture capture(g_ostrm, ERR);
        int count = c.count;
        long long clocks = c.clocks;
        auto stat = c.batch == 0 ? tim_fake_mb16_sts_wrapper_stat : tim_fake_mb8_sts_wrapper_stat;
        EXPECT_EQ(stat(&count, &clocks, c.batch), c.result);
        EXPECT_EQ(count, c.counted);
        EXPECT_EQ(g_calls, c.calls);
        EXPECT_EQ(clocks, c.figure) << c.costs[0] << " " << c.readCost;
    }
}
