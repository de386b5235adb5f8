// The RSA and modular-exponentiation tests as a user runs them: the four tests end OK over the
// four modulus sizes, each size gives one csv row with the function cells of a crypto test
// (full name, default type "8u", no descriptor) and its size, and the figures are per operation.
// One run serves every check: it generates twelve RSA keys and times 4096-bit operations.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>
#include <vector>

#include "e2e_support.h"

using e2e::cells;

using e2e::lines;
using e2e::run;
using e2e::TempDir;

namespace {

struct SuiteTest {
    const char* name;      // registered test name
    const char* className; // test class
    const char* source;    // source file
    const char* parameter; // size parameter
};

const SuiteTest kTests[] = {
    {"tzv_exp_mb8_sts_wrapper", "TimEXP_TZV", "p_tzv_exp", "modulus-bit-Length"},
    {"tzv_rsa_private_crt_mb8_sts_wrapper", "TimRSA_TZV", "p_tzv_rsa", "N-bitLength"},
    {"tzv_rsa_private_mb8_sts_wrapper", "TimRSA_TZV", "p_tzv_rsa", "N-bitLength"},
    {"tzv_rsa_public_mb8_sts_wrapper", "TimRSA_TZV", "p_tzv_rsa", "N-bitLength"},
};
const char* const kSizes[] = {"1024", "2048", "3072", "4096"};

// The result rows after the table title, in file order.
std::vector<std::vector<std::string>> resultRows(const std::string& csv)
{
    std::vector<std::vector<std::string>> rows;
    bool afterTitle = false;
    for (const std::string& line : lines(csv)) {
        if (afterTitle) rows.push_back(cells(line));
        if (line == "function,Parm1,Parm2,Parm3,Parm4,Parm5,Parm6,Parm7,Parm8,Comment,Clocks,per,Time (usec),MFlops")
            afterTitle = true;
    }
    EXPECT_TRUE(afterTitle) << csv;
    return rows;
}

bool startsWith(const std::string& text, const std::string& head) { return text.compare(0, head.size(), head) == 0; }

std::string padded(const std::string& text, size_t width) { return text + std::string(width - text.size(), ' '); }

} // namespace

TEST(RsaExpSuite, FourTestsOverFourSizesWithOneRowPerSize)
{
    TempDir dir;
    std::string csv = dir.file("rsa.csv");
    e2e::Run r = run({"-B", "-frsa", "-fexp", "-LPERF", "-r" + csv}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("| .Number of tests : 4 "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("| .Successes       : 4 "), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("--KYN FAIL."), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("-- Fail while initialization of function data"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("duplicate lines"), std::string::npos) << r.out;

    // Console: per test its title block, the size list, then one size line and one figure line per
    // size, and the OK line. The figure is the clocks of one 8-lane call divided by 8.
    std::vector<std::string> out = lines(r.out);
    const std::regex perfLine(R"(  acc=\d+\.\d+%  nLps=\d+ +perf= *([0-9.e+]+)/        8= *([0-9.e+]+) clocks)");
    std::map<std::string, std::vector<std::string>> consoleClocks;
    for (const SuiteTest& t : kTests) {
        size_t i = 0;
        while (i < out.size() && !startsWith(out[i], "| Function  : " + std::string(t.name) + " ")) ++i;
        ASSERT_LT(i + 16, out.size()) << "no block for " << t.name << "\n" << r.out;
        EXPECT_EQ(out[i + 1], "| Test      : " + padded(t.className, 64) + "|");
        EXPECT_EQ(out[i + 2], "| Source    : " + padded(t.source, 64) + "|");
        EXPECT_EQ(out[i + 4], std::string(" ") + t.parameter + " = 1024; 2048; 3072; 4096");
        EXPECT_EQ(out[i + 5], "   Test has been registered by KY_REG macro with loopMethod, statMethod, funcCall.");
        EXPECT_EQ(out[i + 6], "   loopMethod is called for measuring.");
        for (int s = 0; s < 4; ++s) {
            EXPECT_EQ(out[i + 7 + 2 * s], std::string(t.parameter) + "=" + kSizes[s] + " ") << t.name;
            std::smatch m;
            ASSERT_TRUE(std::regex_match(out[i + 8 + 2 * s], m, perfLine)) << out[i + 8 + 2 * s];
            double perCall = std::stod(m[1]), perOp = std::stod(m[2]);
            EXPECT_NEAR(perCall / 8.0, perOp, perOp * 0.01 + 1) << out[i + 8 + 2 * s];
            consoleClocks[t.name].push_back(m[2]);
        }
        EXPECT_TRUE(startsWith(out[i + 16], "| -OK         " + std::string(t.name) + " ")) << out[i + 16];
    }

    // Csv: four rows per test in the order of the sizes, 14 cells each.
    std::vector<std::vector<std::string>> rows = resultRows(e2e::readFile(csv));
    ASSERT_EQ(rows.size(), 16u) << e2e::readFile(csv);
    std::map<std::string, std::vector<double>> clocks;
    const std::regex figure(R"(\d+|\d\.\d{3}e\+\d\d)");
    size_t row = 0;
    for (const SuiteTest& t : kTests) {
        for (int s = 0; s < 4; ++s, ++row) {
            const std::vector<std::string>& c = rows[row];
            ASSERT_EQ(c.size(), 14u) << t.name;
            EXPECT_EQ(c[0], t.name);
            EXPECT_EQ(c[1], "8u") << t.name;
            EXPECT_EQ(c[2], "-") << t.name;
            EXPECT_EQ(c[3], kSizes[s]) << t.name;
            for (int k = 4; k <= 8; ++k) EXPECT_EQ(c[k], "-") << t.name << " cell " << k;
            EXPECT_TRUE(std::regex_match(c[9], std::regex(R"(nLps=\d+( acc=.*)?)"))) << c[9];
            ASSERT_TRUE(std::regex_match(c[10], figure)) << t.name << ": " << c[10];
            EXPECT_EQ(c[10], consoleClocks[t.name][s]) << t.name;
            double perOp = std::stod(c[10]);
            // Even a 1024-bit public operation takes thousands of clocks; none takes seconds.
            EXPECT_GT(perOp, 1000.0) << t.name;
            EXPECT_LT(perOp, 2e9) << t.name;
            clocks[t.name].push_back(perOp);
            EXPECT_EQ(c[11], " ") << t.name;
            EXPECT_GT(std::stod(c[12]), 0.0) << t.name;
            EXPECT_EQ(c[13], "-") << t.name;
        }
    }

    // The size reaches the library: a 4096-bit modulus costs more than a 1024-bit one, and the
    // public exponent 65537 is far cheaper than a full-length private exponent at every size.
    for (const SuiteTest& t : kTests) {
        const std::vector<double>& v = clocks[t.name];
        ASSERT_EQ(v.size(), 4u);
        EXPECT_GT(v[3], 2 * v[0]) << t.name;
    }
    for (int s = 0; s < 4; ++s)
        EXPECT_LT(clocks["tzv_rsa_public_mb8_sts_wrapper"][s], clocks["tzv_rsa_private_mb8_sts_wrapper"][s])
            << kSizes[s];
}
