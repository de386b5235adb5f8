// Which registered tests a run selects and in which order, read from the test listing of -e and
// checked over the elliptic-curve suite (other suites' rows only have to be well formed).
// The listing needs the processor frequency for its title (a few seconds per run), so the runs of
// one test are started side by side.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace {

struct Registered {
    std::string name, test;
};

// The elliptic-curve tests in registration order, then the session's information test.
std::vector<Registered> registered()
{
    std::vector<Registered> all;
    const char* nist[] = {"ecpublic_key", "ecdh", "ecdsa_sign_setup", "ecdsa_sign_complete", "ecdsa_sign",
                          "ecdsa_verify"};
    for (const char* curve : {"256", "384", "521"})
        for (const char* f : nist)
            all.push_back({std::string("tzv_nistp") + curve + "_" + f + "_mb8_sts_wrapper",
                           std::string("TimECC") + curve + "_TZV"});
    for (const char* f : {"ecpublic_key", "ecdh", "ecdsa_sign", "ecdsa_verify"})
        all.push_back({std::string("tzv_sm2_") + f + "_mb8_sts_wrapper", "TimECCSM2_TZV"});
    return all;
}

const std::string info = "__psOrvelCpu";

// The names the listing must show among the information test and the elliptic-curve tests: the
// information test first when it is kept, then the tests in registration order or sorted by name.
std::vector<std::string> expected(const std::function<bool(const Registered&)>& keep, bool keepInfo, bool sorted = true)
{
    std::vector<std::string> names;
    for (const Registered& r : registered())
        if (keep(r)) names.push_back(r.name);
    if (sorted) std::sort(names.begin(), names.end());
    if (keepInfo) names.insert(names.begin(), info);
    return names;
}

bool has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

struct Listing {
    std::vector<std::string> rows;  // every function listed, other suites' too
    std::vector<std::string> names; // the information test and the elliptic-curve tests among them
    std::string out;
};

// Runs the program once per argument list, several at a time, and reads each test listing. Every
// row is checked: running number, and the test and source names that belong to the function.
std::vector<Listing> listings(const std::vector<std::vector<std::string>>& runs)
{
    std::vector<Listing> result(runs.size());
    const size_t together = 4;
    for (size_t first = 0; first < runs.size(); first += together) {
        std::vector<FILE*> pipes;
        for (size_t i = first; i < runs.size() && i < first + together; ++i) {
            std::string cmd = "cd /tmp && " + e2e::quote(PS_PROGRAM) + " -e";
            for (const std::string& a : runs[i]) cmd += " " + e2e::quote(a);
            pipes.push_back(popen((cmd + " < /dev/null 2>&1").c_str(), "r"));
        }
        for (size_t k = 0; k < pipes.size(); ++k) {
            Listing& l = result[first + k];
            if (!pipes[k]) continue;
            char buf[4096];
            size_t n;
            while ((n = fread(buf, 1, sizeof buf, pipes[k])) > 0) l.out.append(buf, n);
            pclose(pipes[k]);
        }
    }
    const std::regex row(R"( *([0-9]+)\t([^\t]*)\t([^\t]*)\t([^\t]*)\t)");
    std::vector<Registered> all = registered();
    for (Listing& l : result) {
        std::vector<std::string> lines = e2e::lines(l.out);
        std::vector<std::string>::iterator it = std::find(lines.begin(), lines.end(), "   #\tFunction\tTest\tSource\t");
        if (it == lines.end()) {
            ADD_FAILURE() << "no listing in:\n" << l.out;
            continue;
        }
        for (++it; it != lines.end(); ++it) {
            std::smatch m;
            if (!std::regex_match(*it, m, row)) {
                ADD_FAILURE() << "not a listing row: " << *it;
                continue;
            }
            l.rows.push_back(m[2]);
            EXPECT_EQ(std::stoi(m[1]), (int)l.rows.size()) << *it;
            EXPECT_EQ(it->find('\t'), 4u) << "number as %4d: " << *it;
            if (m[2] == info) {
                l.names.push_back(m[2]);
                EXPECT_EQ(l.rows.size(), 1u) << "the information test comes first";
                EXPECT_EQ(m[3], "__psOrvelCpuTest");
                EXPECT_EQ(m[4], "ps");
                continue;
            }
            if (m[4] != "p_tzv_ecc") continue; // another suite
            l.names.push_back(m[2]);
            std::vector<Registered>::iterator r = std::find_if(all.begin(), all.end(), [&](const Registered& x) {
                return x.name == m[2];
            });
            if (r == all.end()) {
                ADD_FAILURE() << "not a registered test: " << *it;
                continue;
            }
            EXPECT_EQ(m[3], r->test) << *it;
            EXPECT_EQ(m[4], "p_tzv_ecc") << *it;
        }
    }
    return result;
}

} // namespace

TEST(Selection, InformationTestFirstThenSortedOrRegistrationOrder)
{
    std::vector<Listing> l = listings({{}, {"-s-"}, {"-s-", "-s"}});
    auto all = [](const Registered&) { return true; };
    EXPECT_EQ(l[0].names, expected(all, true));
    ASSERT_FALSE(l[0].rows.empty());
    EXPECT_TRUE(std::is_sorted(l[0].rows.begin() + 1, l[0].rows.end()));
    EXPECT_EQ(l[1].rows.size(), l[0].rows.size());
    EXPECT_EQ(l[1].names, expected(all, true, false));
    // -s cannot switch sorting back on.
    EXPECT_EQ(l[2].names, expected(all, true, false));
    EXPECT_TRUE(has(l[0].out, "Sorting functions...\n")) << l[0].out;
    EXPECT_FALSE(has(l[1].out, "Sorting functions...")) << l[1].out;
}

TEST(Selection, PatternGroupsSelectExactlyTheDocumentedTests)
{
    const std::string sign256 = "tzv_nistp256_ecdsa_sign_mb8_sts_wrapper";
    std::vector<Listing> l = listings({
        {"-fsign", "-fverify"},
        {"-fsign", "-fverify", "-f+mb8"},
        {"-fsign", "-fverify", "-f+mb8", "-f-sm2"},
        {"-f=" + sign256, "-f-ecdsa"},
        {"-f=abc"},
        {"-f!" + sign256},
        {"-fsm2", "-t256"},
        {"-fsm2", "-t256", "-kor"},
        {"-tecc256", "-mP_TZV"},
        {"-tECC256", "-kor", "-mP_TZV"},
        {"-mp_tzv_ecc"},
        {"-ftzv"},
        {"-t=TimECCSM2_TZV//KY_REG", "-t=TimECC521_TZV"},
        {"-t+ECC", "-t-521", "-t-SM2", "-f!tzv_nistp384_ecdh_mb8_sts_wrapper", "-fecdh", "-fpublic"},
        {"-m=p_tzv_ecc", "-f__ps", "-kor"},
        {"-f!", "-t", "-m", "-kxyz"},
    });
    auto name = [](std::function<bool(const std::string&)> f) {
        return [f](const Registered& r) { return f(r.name); };
    };
    auto signOrVerify = name([](const std::string& n) { return has(n, "sign") || has(n, "verify"); });
    EXPECT_EQ(l[0].names, expected(signOrVerify, false));
    ASSERT_EQ(l[0].names.size(), 14u);
    EXPECT_EQ(l[1].names, expected(signOrVerify, false));
    EXPECT_EQ(l[2].names, expected(name([&](const std::string& n) { return signOrVerify({n, ""}) && !has(n, "sm2"); }),
                                   false));
    EXPECT_EQ(l[2].names.size(), 12u);
    // The equal pattern wins over the must-not pattern of its group.
    EXPECT_EQ(l[3].names, expected(name([&](const std::string& n) { return n == sign256 || !has(n, "ecdsa"); }), true));
    EXPECT_EQ(l[3].names.size(), 10u);
    EXPECT_EQ(l[4].rows, std::vector<std::string>{});
    EXPECT_EQ(l[5].names, expected(name([&](const std::string& n) { return n != sign256; }), true));
    EXPECT_EQ(l[5].names.size(), 22u);
    EXPECT_EQ(l[6].names, std::vector<std::string>{});
    EXPECT_EQ(l[7].names,
              expected([](const Registered& r) { return has(r.name, "sm2") || has(r.test, "256"); }, false));
    EXPECT_EQ(l[7].names.size(), 10u);
    // Registration strings and source names are matched case-sensitively.
    EXPECT_EQ(l[8].names, std::vector<std::string>{});
    EXPECT_EQ(l[9].names, expected([](const Registered& r) { return r.test == "TimECC256_TZV"; }, false));
    EXPECT_EQ(l[10].names, expected([](const Registered&) { return true; }, false));
    EXPECT_EQ(l[11].names, expected([](const Registered&) { return true; }, false));
    EXPECT_EQ(l[12].names, expected([](const Registered& r) { return r.test == "TimECCSM2_TZV"; }, false));
    // Must-contain and must-not patterns of both groups, with a not-equal among the or-patterns.
    EXPECT_EQ(l[13].names, expected(
                               [](const Registered& r) {
                                   return (r.test == "TimECC256_TZV" || r.test == "TimECC384_TZV") &&
                                          (has(r.name, "ecdh") || has(r.name, "public")) &&
                                          r.name != "tzv_nistp384_ecdh_mb8_sts_wrapper";
                               },
                               false));
    EXPECT_EQ(l[13].names.size(), 3u);
    EXPECT_EQ(l[14].names, expected([](const Registered&) { return true; }, true));
    // Empty patterns add no condition and an unknown composition means "and".
    EXPECT_EQ(l[15].names, expected([](const Registered&) { return true; }, true));
}
