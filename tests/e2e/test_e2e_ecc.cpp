// The elliptic-curve tests as a user runs them: selection by function name, the console block of
// each test, the csv rows with their exact cells, and figures that are per operation (divisor 8).
// Each run estimates the processor frequency once, so the checks share two runs.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "e2e_support.h"

using e2e::cells;

using e2e::lines;
using e2e::run;
using e2e::TempDir;

namespace {

const char* const kNistOps[] = {"ecpublic_key", "ecdh", "ecdsa_sign_setup", "ecdsa_sign_complete", "ecdsa_sign",
                                "ecdsa_verify"};
const char* const kSm2Ops[] = {"ecpublic_key", "ecdh", "ecdsa_sign", "ecdsa_verify"};

// Library function -> test class, for all 22 tests.
std::map<std::string, std::string> allEcTests()
{
    std::map<std::string, std::string> tests;
    const std::pair<const char*, const char*> curves[] = {
        {"nistp256", "TimECC256_TZV"}, {"nistp384", "TimECC384_TZV"}, {"nistp521", "TimECC521_TZV"}};
    for (const auto& curve : curves)
        for (const char* op : kNistOps)
            tests[std::string("tzv_") + curve.first + "_" + op + "_mb8"] = curve.second;
    for (const char* op : kSm2Ops) tests[std::string("tzv_sm2_") + op + "_mb8"] = "TimECCSM2_TZV";
    return tests;
}

bool takesPublicKey(const std::string& function)
{
    return function.find("ecpublic_key") != std::string::npos || function.find("ecdh") != std::string::npos ||
           function.find("ecdsa_verify") != std::string::npos;
}

// The result rows of the csv table: every line after the table title.
std::map<std::string, std::vector<std::string>> resultRows(const std::string& csv)
{
    std::map<std::string, std::vector<std::string>> rows;
    bool afterTitle = false;
    for (const std::string& line : lines(csv)) {
        if (afterTitle) {
            std::vector<std::string> c = cells(line);
            EXPECT_EQ(rows.count(c[0]), 0u) << "two rows for " << c[0];
            rows[c[0]] = c;
        }
        if (line == "function,Parm1,Parm2,Parm3,Parm4,Parm5,Parm6,Parm7,Parm8,Comment,Clocks,per,Time (usec),MFlops")
            afterTitle = true;
    }
    EXPECT_TRUE(afterTitle) << csv;
    return rows;
}

} // namespace

TEST(EccSuite, AllTwentyTwoTestsRunAndWriteTheirRows)
{
    TempDir dir;
    std::string csv = dir.file("ecc.csv");
    e2e::Run r = run({"-B", "-fnistp", "-fsm2", "-LPERF", "-r" + csv}, dir.path());
    EXPECT_EQ(r.status, 0);
    const std::map<std::string, std::string> tests = allEcTests();
    ASSERT_EQ(tests.size(), 22u);

    // Console: one block per test, each ending OK, with its class, source and registration text.
    std::vector<std::string> out = lines(r.out);
    const std::regex titleLine(R"(\| Function  : (tzv_\w+)_sts_wrapper +.*)");
    const std::regex perfLine(R"(  acc=\d+\.\d+%  nLps=\d+ +perf= *([0-9.e+]+)/        8= +(\d+) clocks)");
    std::map<std::string, long long> consoleClocks;
    std::set<std::string> okTests;
    for (size_t i = 0; i < out.size(); ++i) {
        std::smatch m;
        if (std::regex_match(out[i], m, titleLine)) {
            std::string function = m[1];
            ASSERT_EQ(tests.count(function), 1u) << "unexpected test " << function;
            ASSERT_LT(i + 7, out.size());
            EXPECT_EQ(out[i + 1], "| Test      : " + tests.at(function) + std::string(64 - tests.at(function).size(), ' ') + "|");
            EXPECT_EQ(out[i + 2], "| Source    : p_tzv_ecc                                                       |");
            EXPECT_EQ(out[i + 4], "   Test has been registered by KY_REG macro with loopMethod, statMethod, funcCall.");
            EXPECT_EQ(out[i + 5], "   loopMethod is called for measuring.");
            std::smatch p;
            ASSERT_TRUE(std::regex_match(out[i + 7], p, perfLine)) << out[i + 7];
            // The figure is the clocks of one call of 8 operations divided by 8.
            double perCall = std::stod(p[1]);
            long long perOp = std::stoll(p[2]);
            EXPECT_NEAR(perCall / 8.0, (double)perOp, perCall / 8.0 * 0.01 + 1) << out[i + 7];
            consoleClocks[function] = perOp;
        }
        if (out[i].compare(0, 14, "| -OK         ") == 0) {
            size_t end = out[i].find("_sts_wrapper");
            ASSERT_NE(end, std::string::npos) << out[i];
            okTests.insert(out[i].substr(14, end - 14));
        }
    }
    EXPECT_EQ(consoleClocks.size(), 22u) << r.out;
    EXPECT_EQ(okTests.size(), 22u) << r.out;
    EXPECT_NE(r.out.find("| .Number of tests : 22 "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("| .Successes       : 22 "), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("--KYN FAIL."), std::string::npos) << r.out;

    // Csv: one row of 14 cells per test; the public-key cell only where a public key goes in.
    std::map<std::string, std::vector<std::string>> rows = resultRows(e2e::readFile(csv));
    EXPECT_EQ(rows.size(), 22u);
    for (const auto& test : tests) {
        const std::string& function = test.first;
        ASSERT_EQ(rows.count(function), 1u) << "no row for " << function;
        const std::vector<std::string>& c = rows[function];
        ASSERT_EQ(c.size(), 14u) << function;
        EXPECT_EQ(c[1], takesPublicKey(function) ? "pub_key: projective" : "-") << function;
        for (int i = 2; i <= 8; ++i) EXPECT_EQ(c[i], "-") << function << " cell " << i;
        EXPECT_TRUE(std::regex_match(c[9], std::regex(R"(nLps=\d+( acc=.*)?)"))) << c[9];
        ASSERT_TRUE(std::regex_match(c[10], std::regex(R"(\d+)"))) << function << ": " << c[10];
        long long clocks = std::stoll(c[10]);
        EXPECT_EQ(clocks, consoleClocks[function]) << function;
        // Broad sanity: no operation on a curve is free, none takes a quarter of a second.
        EXPECT_GT(clocks, 10) << function;
        EXPECT_LT(clocks, 500000000LL) << function;
        EXPECT_EQ(c[11], " ") << function;
        EXPECT_GT(std::stod(c[12]), 0.0) << function;
        EXPECT_EQ(c[13], "-") << function;
    }
}

TEST(EccSuite, OneCurveMeasuredByTheStatisticWrappers)
{
    TempDir dir;
    std::string csv = dir.file("p256.csv");
    e2e::Run r = run({"-B", "-fnistp256", "-dMethod=Statistic", "-LPERF", "-r" + csv}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("-fnistp256: test functions containing 'nistp256'\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("| .Number of tests : 6 "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("| .Successes       : 6 "), std::string::npos) << r.out;
    // Every test goes through its statistic entry point.
    size_t uses = 0;
    for (const std::string& line : lines(r.out)) {
        if (line == "   statMethod is called for measuring.") ++uses;
        EXPECT_NE(line, "   loopMethod is called for measuring.");
    }
    EXPECT_EQ(uses, 6u) << r.out;

    std::map<std::string, std::vector<std::string>> rows = resultRows(e2e::readFile(csv));
    std::set<std::string> names;
    for (const auto& row : rows) names.insert(row.first);
    std::set<std::string> expected;
    for (const char* op : kNistOps) expected.insert(std::string("tzv_nistp256_") + op + "_mb8");
    EXPECT_EQ(names, expected);
    for (const auto& row : rows) {
        const std::vector<std::string>& c = row.second;
        ASSERT_EQ(c.size(), 14u) << row.first;
        EXPECT_EQ(c[1], takesPublicKey(row.first) ? "pub_key: projective" : "-") << row.first;
        EXPECT_TRUE(std::regex_match(c[9], std::regex(R"(nCalls=[1-9]\d*)"))) << c[9];
        ASSERT_TRUE(std::regex_match(c[10], std::regex(R"(\d+)"))) << row.first << ": " << c[10];
        EXPECT_GT(std::stoll(c[10]), 10) << row.first;
        EXPECT_LT(std::stoll(c[10]), 500000000LL) << row.first;
    }
}
