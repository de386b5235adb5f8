// Which registered tests a run selects and in which order, read from the test listing of -e over
// every suite. The listing needs the processor frequency for its title (a few seconds per run), so
// the runs of one test are started side by side.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "e2e_support.h"

using e2e::contains;
using Registered = e2e::SuiteTest;

namespace {

const std::string info = "__psOrvelCpu";

// The names the listing must show: the information test first when it is kept, then the tests in
// registration order or sorted by name.
std::vector<std::string> expected(const std::function<bool(const Registered&)>& keep, bool keepInfo, bool sorted = true)
{
    std::vector<std::string> names;
    for (const Registered& r : e2e::suiteTests())
        if (keep(r)) names.push_back(r.name());
    if (sorted) std::sort(names.begin(), names.end());
    if (keepInfo) names.insert(names.begin(), info);
    return names;
}

struct Listing {
    std::vector<std::string> names; // every test listed
    std::string out;
};

// Runs the program once per argument list, four at a time, and reads each test listing. Every row
// is checked: running number, and the test and source names that belong to the function.
std::vector<Listing> listings(const std::vector<std::vector<std::string>>& runs)
{
    e2e::TempDir dir;
    std::string script;
    for (size_t i = 0; i < runs.size(); ++i) {
        script += (i % 4 ? "" : "wait; ") + e2e::quote(PS_PROGRAM) + " -e";
        for (const std::string& a : runs[i]) script += " " + e2e::quote(a);
        script += " < /dev/null > " + std::to_string(i) + " 2>&1 & ";
    }
    e2e::run({"-c", script + "wait"}, dir.path(), "", "/bin/sh");
    std::vector<Listing> result(runs.size());
    for (size_t i = 0; i < runs.size(); ++i) result[i].out = e2e::readFile(dir.file(std::to_string(i)));
    const std::regex row(R"( *([0-9]+)\t([^\t]*)\t([^\t]*)\t([^\t]*)\t)");
    std::map<std::string, std::string> owner = {{info, "__psOrvelCpuTest/ps"}};
    for (const Registered& r : e2e::suiteTests()) owner[r.name()] = r.cls + "/" + r.source;
    for (Listing& l : result) {
        std::vector<std::string> lines = e2e::lines(l.out);
        auto it = std::find(lines.begin(), lines.end(), "   #\tFunction\tTest\tSource\t");
        if (it == lines.end()) ADD_FAILURE() << "no listing in:\n" << l.out;
        for (std::smatch m; it != lines.end() && ++it != lines.end();) {
            if (!std::regex_match(*it, m, row)) {
                ADD_FAILURE() << "not a listing row: " << *it;
                break;
            }
            l.names.push_back(m[2]);
            EXPECT_EQ(std::stoi(m[1]), (int)l.names.size()) << *it;
            EXPECT_EQ(it->find('\t'), 4u) << "number as %4d: " << *it;
            EXPECT_EQ(m[3].str() + "/" + m[4].str(), owner.count(m[2]) ? owner[m[2]] : "a registered test") << *it;
        }
    }
    return result;
}

} // namespace

TEST(Selection, InformationTestFirstThenSortedOrRegistrationOrder)
{
    // The sorting note goes to standard output only, not to the console copy.
    e2e::TempDir dir;
    std::vector<Listing> l = listings({{"-o" + dir.file("copy.txt")}, {"-s-"}, {"-s-", "-s"}});
    auto all = [](const Registered&) { return true; };
    EXPECT_EQ(l[0].names, expected(all, true));
    // -s cannot switch sorting back on.
    EXPECT_EQ(l[1].names, expected(all, true, false));
    EXPECT_EQ(l[2].names, expected(all, true, false));
    EXPECT_TRUE(contains(l[0].out, "Sorting functions...\n")) << l[0].out;
    EXPECT_FALSE(contains(l[1].out, "Sorting functions...")) << l[1].out;
    const std::string copy = e2e::readFile(dir.file("copy.txt"));
    EXPECT_TRUE(contains(copy, "   #\tFunction\tTest\tSource\t\n")) << copy;
    EXPECT_FALSE(contains(copy, "Sorting functions")) << copy;
}

TEST(Selection, PatternGroupsSelectExactlyTheDocumentedTests)
{
    const std::string sign256 = "tzv_nistp256_ecdsa_sign_mb8_sts_wrapper";
    std::vector<Listing> l = listings({
        {"-fsign", "-fverify"},
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
        {"-f!", "-t", "-m", "-kxyz", "-fsign", "-t256"},
    });
    auto name = [](std::function<bool(const std::string&)> f) {
        return [f](const Registered& r) { return f(r.name()); };
    };
    auto signOrVerify = [](const std::string& n) { return contains(n, "sign") || contains(n, "verify"); };
    const struct {
        std::function<bool(const Registered&)> keep;
        bool info;
        size_t count;
    } want[] = {
        {name(signOrVerify), false, 16},
        {name([&](const std::string& n) { return signOrVerify(n) && contains(n, "mb8") && !contains(n, "sm2"); }), false, 14},
        // The equal pattern wins over the must-not pattern of its group.
        {name([&](const std::string& n) { return n == sign256 || !contains(n, "ecdsa"); }), true, 36},
        {[](const Registered&) { return false; }, false, 0},
        {name([&](const std::string& n) { return n != sign256; }), true, 48},
        {[](const Registered&) { return false; }, false, 0},
        {[](const Registered& r) { return contains(r.name(), "sm2") || contains(r.cls, "256"); }, false, 10},
        // Registration strings and source names are matched case-sensitively.
        {[](const Registered&) { return false; }, false, 0},
        {[](const Registered& r) { return r.cls == "TimECC256_TZV"; }, false, 6},
        {[](const Registered& r) { return r.source == "p_tzv_ecc"; }, false, 22},
        {[](const Registered&) { return true; }, false, 49},
        {[](const Registered& r) { return r.cls == "TimECCSM2_TZV"; }, false, 4},
        // Must-contain and must-not patterns of both groups, with a not-equal among the or-patterns.
        {[](const Registered& r) {
             return (r.cls == "TimECC256_TZV" || r.cls == "TimECC384_TZV") &&
                    (contains(r.name(), "ecdh") || contains(r.name(), "public")) &&
                    r.name() != "tzv_nistp384_ecdh_mb8_sts_wrapper";
         }, false, 3},
        {[](const Registered& r) { return r.source == "p_tzv_ecc"; }, true, 22},
        // Empty patterns add no condition and an unknown composition means "and".
        {[](const Registered& r) { return r.cls == "TimECC256_TZV" && contains(r.name(), "sign"); }, false, 3},
    };
    for (size_t i = 0; i < l.size(); ++i) {
        EXPECT_EQ(l[i].names, expected(want[i].keep, want[i].info)) << "run " << i;
        EXPECT_EQ(l[i].names.size(), want[i].count + want[i].info) << "run " << i;
    }
}
