// All 22 elliptic-curve functions on eight lanes of different random data, affine and Jacobian keys,
// against OpenSSL's arithmetic (SM2's signatures exactly, from the nonce); then one table of bad lanes
// over all of them: the bad lane gets its status and the other seven still give their results.
#include <gtest/gtest.h>

#include <thread>

#include "ec_lanes.h"

using namespace ectest;

namespace {

class EcLanes : public ::testing::TestWithParam<Api> {
protected:
    const Api& api = GetParam();
    TestCurve c{GetParam().nid};
    std::mt19937_64 rng{0xec000000u + (unsigned)GetParam().nid};
    Lanes lanes = [this] {
        Lanes L;
        for (int i = 0; i < kLanes; ++i) L[i] = c.randomLane(rng, i);
        return L;
    }();

    // Runs `op` and expects `status` in lane `bad` (in every lane when bad < 0), OK in the others, and
    // every lane that succeeded to give its results.
    void check(Op op, const Lanes& L, bool affine, int bad, unsigned status, const std::string& what, Nulls nl = {})
    {
        std::array<unsigned, kLanes> want;
        for (int i = 0; i < kLanes; ++i) want[i] = bad < 0 || i == bad ? status : kOk;
        EXPECT_EQ(compare(api, c, op, L, affine, want, nl), "") << kOpNames[op] << (affine ? ", affine: " : ", Jacobian: ") << what;
    }
};

TEST_P(EcLanes, EveryFunctionAgreesWithOpenSslInEveryLane)
{
    for (int op = 0; op < kOpCount; ++op)
        for (bool affine : {false, true})
            if (api.has((Op)op)) check((Op)op, lanes, affine, -1, kOk, "all lanes good");
}

// A null lane of any argument fails that lane only; a null argument fails every lane, but a null Z
// argument means affine keys (above).
TEST_P(EcLanes, NullPointers)
{
    for (int op = 0; op < kOpCount; ++op) {
        if (!api.has((Op)op)) continue;
        for (int arg = 0; kArgKinds[op][arg]; ++arg) {
            const char kind = kArgKinds[op][arg];
            const int lane = (arg + op) % kLanes;
            const std::string what = "argument " + std::to_string(arg);
            if (kind != 'n') check((Op)op, lanes, false, lane, kNull, what + " null in one lane", {arg, lane});
            if (kind != 'z') check((Op)op, lanes, false, -1, kNull, what + " null", {arg, -1});
        }
    }
}

TEST_P(EcLanes, BadLaneTable)
{
    for (int row = 0; row < (int)std::size(kFaults); ++row) {
        const Fault& f = kFaults[row];
        for (int op = 0; op < kOpCount; ++op) {
            if (!(f.ops & bit((Op)op)) || !api.has((Op)op)) continue;
            for (bool affine : {false, true}) {
                if (affine && f.jacobianOnly) continue;
                const int lane = (row + op) % kLanes;
                Lanes L = lanes;
                f.apply(c, L[lane]);
                check((Op)op, L, affine, lane, f.status, f.what);
            }
        }
    }
}

// Calls from several threads at once, each with its own keys, all come out right.
TEST_P(EcLanes, ConcurrentCallsFromSeveralThreads)
{
    std::array<std::string, 4> wrong;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            const TestCurve own(api.nid); // OpenSSL's number context is the thread's own
            Lanes L;
            for (int i = 0; i < kLanes; ++i) L[i] = lanes[(i + t) % kLanes];
            for (int round = 0; round < 3; ++round) wrong[t] += compare(api, own, kPubKey, L, false, {});
        });
    for (auto& th : threads) th.join();
    for (int t = 0; t < 4; ++t) EXPECT_EQ(wrong[t], "") << "thread " << t;
}

INSTANTIATE_TEST_SUITE_P(Curves, EcLanes, ::testing::ValuesIn(kApis), [](const ::testing::TestParamInfo<Api>& info) {
    std::string n = info.param.name;
    n.erase(std::remove(n.begin(), n.end(), '-'), n.end());
    return n;
});

} // namespace
