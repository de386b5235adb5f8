// The Ed25519 and X25519 tests as a user runs them, in one run unsorted so that the tests come in
// the order they were registered: the console block of each test ends OK, its figure is per
// operation (divisor 8), and the csv table has one row per test with the exact cells.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "e2e_support.h"

using e2e::cells;

using e2e::lines;
using e2e::run;
using e2e::TempDir;

namespace {

struct Expected {
    const char* function;
    const char* title; // the test line of the console block
    const char* source;
};

// Registration order: the Ed25519 source, then the X25519 source, each in its own order.
const Expected kTests[] = {
    {"tzv_ed25519_public_key_mb8", "| Test      : TimEd25519_TZV                                                  |",
     "| Source    : p_tzv_ed25519                                                   |"},
    {"tzv_ed25519_sign_mb8", "| Test      : TimEd25519_TZV                                                  |",
     "| Source    : p_tzv_ed25519                                                   |"},
    {"tzv_ed25519_verify_mb8", "| Test      : TimEd25519_TZV                                                  |",
     "| Source    : p_tzv_ed25519                                                   |"},
    {"tzv_x25519_public_key_mb8", "| Test      : TimX25519_TZV                                                   |",
     "| Source    : p_tzv_x25519                                                    |"},
    {"tzv_x25519_mb8", "| Test      : TimX25519_TZV                                                   |",
     "| Source    : p_tzv_x25519                                                    |"},
};

} // namespace

TEST(EdX25519Suite, FiveTestsRunInRegistrationOrderAndWriteTheirRows)
{
    TempDir dir;
    std::string csv = dir.file("25519.csv");
    e2e::Run r = run({"-B", "-f25519", "-s-", "-LPERF", "-r" + csv}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("-f25519: test functions containing '25519'\n"), std::string::npos) << r.out;

    // Console: the blocks in registration order, each with its class and source, ending OK.
    std::vector<std::string> out = lines(r.out);
    const std::regex titleLine(R"(\| Function  : (tzv_\w+)_sts_wrapper +.*\|)");
    const std::regex perfLine(R"(  acc=\d+\.\d+%  nLps=\d+ +perf= *([0-9.e+]+)/        8= +(\d+) clocks)");
    const std::regex okLine(R"(\| -OK         (tzv_\w+)_sts_wrapper +.*\|)");
    std::vector<std::string> titles, oks;
    std::vector<long long> consoleClocks;
    for (size_t i = 0; i < out.size(); ++i) {
        std::smatch m;
        if (std::regex_match(out[i], m, okLine)) oks.push_back(m[1]);
        if (!std::regex_match(out[i], m, titleLine)) continue;
        size_t k = titles.size();
        titles.push_back(m[1]);
        ASSERT_LT(k, 5u) << out[i];
        ASSERT_LT(i + 7, out.size());
        EXPECT_EQ(out[i + 1], kTests[k].title);
        EXPECT_EQ(out[i + 2], kTests[k].source);
        EXPECT_EQ(out[i + 4], "   Test has been registered by KY_REG macro with loopMethod, statMethod, funcCall.");
        EXPECT_EQ(out[i + 5], "   loopMethod is called for measuring.");
        std::smatch p;
        ASSERT_TRUE(std::regex_match(out[i + 7], p, perfLine)) << out[i + 7];
        // One call does 8 operations; the figure is that of one.
        double perCall = std::stod(p[1]);
        long long perOp = std::stoll(p[2]);
        EXPECT_NEAR(perCall / 8.0, (double)perOp, perCall / 8.0 * 0.01 + 1) << out[i + 7];
        consoleClocks.push_back(perOp);
    }
    std::vector<std::string> expected;
    for (const Expected& t : kTests) expected.push_back(t.function);
    EXPECT_EQ(titles, expected) << r.out;
    EXPECT_EQ(oks, expected) << r.out;
    EXPECT_NE(r.out.find("| .Number of tests : 5 "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("| .Successes       : 5 "), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("--KYN FAIL."), std::string::npos) << r.out;

    // Csv: after the title, exactly one row per test in the same order; no parameter cells, the
    // unit " " of per-operation figures, and the console's clocks.
    std::vector<std::string> rows;
    bool afterTitle = false;
    for (const std::string& line : lines(e2e::readFile(csv))) {
        if (afterTitle) rows.push_back(line);
        if (line == "function,Parm1,Parm2,Parm3,Parm4,Parm5,Parm6,Parm7,Parm8,Comment,Clocks,per,Time (usec),MFlops")
            afterTitle = true;
    }
    ASSERT_TRUE(afterTitle);
    ASSERT_EQ(rows.size(), 5u);
    ASSERT_EQ(consoleClocks.size(), 5u);
    for (size_t k = 0; k < rows.size(); ++k) {
        const std::string function = kTests[k].function;
        EXPECT_EQ(rows[k].rfind(function + ",-,-,-,-,-,-,-,-,nLps=", 0), 0u) << rows[k];
        std::vector<std::string> c = cells(rows[k]);
        ASSERT_EQ(c.size(), 14u) << rows[k];
        EXPECT_EQ(c[0], function);
        EXPECT_TRUE(std::regex_match(c[9], std::regex(R"(nLps=\d+)"))) << c[9];
        ASSERT_TRUE(std::regex_match(c[10], std::regex(R"(\d+)"))) << rows[k];
        long long clocks = std::stoll(c[10]);
        EXPECT_EQ(clocks, consoleClocks[k]) << function;
        // Broad sanity: a scalar multiplication on Curve25519 takes thousands of clocks at least,
        // never a quarter of a second.
        EXPECT_GT(clocks, 1000) << function;
        EXPECT_LT(clocks, 500000000LL) << function;
        EXPECT_EQ(c[11], " ") << function;
        // Microseconds as "%.3g": 61.2, 1.45e+03.
        ASSERT_TRUE(std::regex_match(c[12], std::regex(R"(\d+(\.\d+)?(e\+\d+)?)"))) << rows[k];
        EXPECT_GT(std::stod(c[12]), 0.0) << function;
        EXPECT_EQ(c[13], "-") << function;
    }
}
