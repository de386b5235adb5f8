// The SM4 and SM3 tests as a user runs them: 18 tests in registration order (unsorted list), two
// message lengths given with -d, the console block of each test, one csv row per length with its
// exact cells, and figures that are clocks per byte (a call's clocks over 16 x length, unit "e").
// One run, since each run estimates the processor frequency once.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "e2e_support.h"

using e2e::cells;

using e2e::lines;
using e2e::run;
using e2e::TempDir;

namespace {

struct SmTest {
    std::string function;
    std::string cls;
    std::string source;
};

// Each source's tests in the order they must be registered.
std::vector<SmTest> sm4Tests()
{
    std::vector<SmTest> tests;
    for (const char* mode : {"ecb", "cbc", "ctr128", "ofb", "cfb128"})
        for (const char* dir : {"encrypt", "decrypt"})
            tests.push_back({std::string("tzv_sm4_") + dir + "_" + mode + "_mb16", "TimSM4_TZV", "p_tzv_sm4"});
    const std::pair<const char*, const char*> aeads[] = {
        {"xts", "TimSM4_TZV"}, {"gcm", "TimSM4_GCM_ENC_DEC_TZV"}, {"ccm", "TimSM4_CCM_ENC_DEC_TZV"}};
    for (const auto& aead : aeads)
        for (const char* dir : {"encrypt", "decrypt"})
            tests.push_back({std::string("tzv_sm4_") + aead.first + "_" + dir + "_mb16", aead.second, "p_tzv_sm4"});
    return tests;
}

std::vector<SmTest> sm3Tests()
{
    return {{"tzv_sm3_update_mb16", "TimSM3_TZV", "p_tzv_sm3"},
            {"tzv_sm3_msg_digest_mb16", "TimSM3_TZV", "p_tzv_sm3"}};
}

std::string framed(const std::string& label, const std::string& text)
{
    std::string line = "| " + label + " : " + text;
    return line + std::string(78 - line.size(), ' ') + "|";
}

// Positions of the names of want in seen, in seen's order; checks that they come in want's order.
void expectOrder(const std::vector<std::string>& seen, const std::vector<SmTest>& want, const std::string& what)
{
    std::vector<std::string> got;
    for (const std::string& name : seen)
        for (const SmTest& t : want)
            if (t.function == name) got.push_back(name);
    std::vector<std::string> expected;
    for (const SmTest& t : want) expected.push_back(t.function);
    EXPECT_EQ(got, expected) << what;
}

// The lengths of the run, their divisors (16 x length) as the console prints them.
const std::pair<int, const char*> kLengths[] = {{32, "512"}, {1024, "1.64e+04"}};

} // namespace

TEST(SmSuites, EighteenTestsPerByteOverTwoLengths)
{
    TempDir dir;
    std::string csv = dir.file("sm.csv");
    e2e::Run r = run({"-B", "-s-", "-fsm4", "-fsm3", "-dlength=32;1024", "-LPERF", "-r" + csv}, dir.path());
    EXPECT_EQ(r.status, 0);
    std::vector<SmTest> all = sm4Tests();
    for (const SmTest& t : sm3Tests()) all.push_back(t);
    ASSERT_EQ(all.size(), 18u);
    std::map<std::string, SmTest> byName;
    for (const SmTest& t : all) byName[t.function] = t;

    // Console: one block per test with the length list, then per length its line and its figure.
    const std::regex titleLine(R"(\| Function  : (tzv_\w+)_sts_wrapper +.*)");
    const std::regex perfLine(
        R"(  acc=\d+\.\d+% +nLps=\d+( acc=\S+)? +perf= *([0-9.e+]+)/ *([0-9.e+]+)= *([0-9.e+-]+) clocks)");
    std::vector<std::string> out = lines(r.out);
    std::vector<std::string> consoleOrder;
    std::map<std::string, std::vector<std::string>> consolePerByte;
    std::map<std::string, std::vector<double>> perCall;
    for (size_t i = 0; i < out.size(); ++i) {
        std::smatch m;
        if (!std::regex_match(out[i], m, titleLine)) continue;
        std::string function = m[1];
        ASSERT_EQ(byName.count(function), 1u) << "unexpected test " << function;
        const SmTest& t = byName[function];
        consoleOrder.push_back(function);
        ASSERT_LT(i + 12, out.size());
        EXPECT_EQ(out[i + 1], framed("Test     ", t.cls));
        EXPECT_EQ(out[i + 2], framed("Source   ", t.source));
        EXPECT_EQ(out[i + 4], " length = 32; 1024");
        EXPECT_EQ(out[i + 6], "   loopMethod is called for measuring.");
        for (size_t k = 0; k < 2; ++k) {
            EXPECT_EQ(out[i + 7 + 2 * k], "length=" + std::to_string(kLengths[k].first) + " ");
            std::smatch p;
            ASSERT_TRUE(std::regex_match(out[i + 8 + 2 * k], p, perfLine)) << out[i + 8 + 2 * k];
            EXPECT_EQ(p[3].str(), kLengths[k].second) << function;
            // The figure is the call's clocks over every byte of the 16 lanes.
            double call = std::stod(p[2]);
            double perByte = std::stod(p[4]);
            double bytes = 16.0 * kLengths[k].first;
            EXPECT_NEAR(perByte, call / bytes, call / bytes * 0.02 + 0.01) << out[i + 8 + 2 * k];
            consolePerByte[function].push_back(p[4]);
            perCall[function].push_back(call);
        }
        EXPECT_EQ(out[i + 12].rfind("| -OK         " + function + "_sts_wrapper ", 0), 0u) << out[i + 12];
    }
    ASSERT_EQ(consoleOrder.size(), 18u) << r.out;
    // Unsorted, each source's tests come as registered.
    expectOrder(consoleOrder, sm4Tests(), "SM4 registration order");
    expectOrder(consoleOrder, sm3Tests(), "SM3 registration order");
    EXPECT_NE(r.out.find("| .Number of tests : 18 "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("| .Successes       : 18 "), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("--KYN FAIL."), std::string::npos) << r.out;

    // A call over 32 times the data cannot be cheap: the lanes really get the length.
    for (const auto& f : perCall) EXPECT_GT(f.second[1], 2 * f.second[0]) << f.first;

    // Csv: one row of 14 cells per test and length, in the console's order.
    std::vector<std::string> rows;
    bool afterTitle = false;
    for (const std::string& line : lines(e2e::readFile(csv))) {
        if (afterTitle) rows.push_back(line);
        if (line == "function,Parm1,Parm2,Parm3,Parm4,Parm5,Parm6,Parm7,Parm8,Comment,Clocks,per,Time (usec),MFlops")
            afterTitle = true;
    }
    ASSERT_TRUE(afterTitle);
    ASSERT_EQ(rows.size(), 36u) << e2e::readFile(csv);
    for (size_t n = 0; n < rows.size(); ++n) {
        const std::string& function = consoleOrder[n / 2];
        const std::vector<std::string> c = cells(rows[n]);
        ASSERT_EQ(c.size(), 14u) << rows[n];
        EXPECT_EQ(c[0], function) << rows[n];
        EXPECT_EQ(c[1], std::to_string(kLengths[n % 2].first)) << rows[n];
        for (int i = 2; i <= 8; ++i) EXPECT_EQ(c[i], "-") << rows[n];
        EXPECT_TRUE(std::regex_match(c[9], std::regex(R"(nLps=\d+( acc=.*)?)"))) << rows[n];
        ASSERT_TRUE(std::regex_match(c[10], std::regex(R"(\d+(\.\d+)?(e[+-]\d+)?)"))) << rows[n];
        EXPECT_EQ(c[10], consolePerByte[function][n % 2]) << rows[n];
        // Broad sanity: no byte is free, none costs a hundred thousand clocks.
        EXPECT_GT(std::stod(c[10]), 0.0) << rows[n];
        EXPECT_LT(std::stod(c[10]), 1e5) << rows[n];
        EXPECT_EQ(c[11], "e") << rows[n];
        EXPECT_GT(std::stod(c[12]), 0.0) << rows[n];
        EXPECT_EQ(c[13], "-") << rows[n];
    }
}
