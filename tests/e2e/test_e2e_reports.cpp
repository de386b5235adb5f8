// The files of a real batch run of a few tests, line by line: summary table, result table, signal
// file and the console copy, and how their shared facts (start time, run time, counts) agree.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "e2e_support.h"

using e2e::cells;

using e2e::lines;
using e2e::readFile;

namespace {
const std::string ctimeText = R"([A-Z][a-z]{2} [A-Z][a-z]{2} [ 1-3][0-9] \d\d:\d\d:\d\d \d{4})";
const std::string resultName =
    "(UNDEFINED|OK|ACCURWRN|BADSTSWRN|DATAWRN|FUNCWRN|resWRNG_NOT_SUPPORTED_CPU|WRN|ACCURFAIL|DATAFAIL|FUNCFAIL|"
    "EXCPTFAIL|FAIL)";

bool matches(const std::string& text, const std::string& pattern) { return std::regex_match(text, std::regex(pattern)); }

// A row of the frame: the closing bar at column 78, unless the row is already longer.
std::string framed(const std::string& row) { return row.size() > 78 ? row : row + std::string(78 - row.size(), ' ') + "|"; }

struct Selected {
    std::string name, test, source, libName;
};
} // namespace

TEST(Reports, BatchRunWritesSummaryTableSignalAndConsoleCopy)
{
    e2e::TempDir dir;
    const std::vector<Selected> tests = {
        {"__psOrvelCpu", "__psOrvelCpuTest", "ps", ""},
        {"tzv_nistp256_ecdh_mb8_sts_wrapper", "TimECC256_TZV", "p_tzv_ecc", "tzv_nistp256_ecdh_mb8"},
        {"tzv_nistp384_ecdsa_verify_mb8_sts_wrapper", "TimECC384_TZV", "p_tzv_ecc", "tzv_nistp384_ecdsa_verify_mb8"},
        {"tzv_sm2_ecpublic_key_mb8_sts_wrapper", "TimECCSM2_TZV", "p_tzv_ecc", "tzv_sm2_ecpublic_key_mb8"},
    };
    // Given out of order: the run sorts them and puts the information test first.
    e2e::Run r = e2e::run({"-B", "-l" + dir.path(), "-c10", "-f=" + tests[3].name, "-f=" + tests[1].name,
                           "-f=" + tests[0].name, "-f=" + tests[2].name, "-u", "-rres", "-g", "-oconsole"},
                          dir.path());
    ASSERT_EQ(r.status, 0);

    // ---- summary table
    std::vector<std::string> sum = lines(readFile(dir.file("ps_tzvcrypto_sum.csv")));
    ASSERT_GE(sum.size(), 5u) << r.out;
    size_t at = 0;
    EXPECT_TRUE(matches(sum[at++], R"(CPU,.+, ([0-9]+x)?[0-9.]+ (GHz|MHz), (Max cache size [0-9]+ K)?)")) << sum[0];
    EXPECT_TRUE(matches(sum[at++], "OS,.+")) << sum[1];
    EXPECT_TRUE(matches(sum[at++], "Computer,.+")) << sum[2];
    size_t libraries = 0;
    while (at < sum.size() && sum[at].compare(0, 8, "Library,") == 0) ++at, ++libraries;
    EXPECT_GE(libraries, 1u) << "the measured library describes itself";
    ASSERT_LT(at, sum.size());
    const std::string startLine = sum[at++];
    EXPECT_TRUE(matches(startLine, "Start," + ctimeText)) << startLine;
    const size_t titleLines = at;
    ASSERT_GE(sum.size(), titleLines + 1 + tests.size() + 1 + 11) << readFile(dir.file("ps_tzvcrypto_sum.csv"));
    EXPECT_EQ(sum[at++], "Function,Class,Control87,Status87,ControlSSX,StatusSSX,Test,Time (sec.),SrcName,Result,ExeName");
    std::map<std::string, int> results;
    for (const Selected& t : tests) {
        const std::string line = sum[at++];
        const std::string kind = t.name == "__psOrvelCpu" ? "Information" : "Timing";
        EXPECT_TRUE(matches(line, t.name + "," + kind + ",-,[-?],-,[-?]," + t.test + ",[0-9]+," + t.source + "," +
                                      resultName + ",ps_tzvcrypto"))
            << line;
        ++results[cells(line)[9]];
    }
    EXPECT_GE(results["OK"], 1) << "the information test always ends OK";
    EXPECT_EQ(sum[at++], "END_DATA");
    // The end counts agree with the result column above.
    auto n = [&](const char* name) { return results.count(name) ? results[name] : 0; };
    int N = (int)tests.size(), S = n("OK"), B = n("BADSTSWRN"),
        T = n("ACCURWRN") + n("DATAWRN") + n("FUNCWRN") + n("resWRNG_NOT_SUPPORTED_CPU"), E = n("EXCPTFAIL"),
        F = n("ACCURFAIL") + n("DATAFAIL") + n("FUNCFAIL");
    const std::vector<std::pair<std::string, int>> counts = {
        {".Number of tests", N}, {".Successes      ", S},        {".Failures       ", F + E + T + B},
        {"...Fails        ", F + E}, {".....-FAIL      ", F},     {".....-EXCPTFAIL ", E},
        {"...Notes     ", T + B},    {".....-NOTE   ", T},        {".....-BADSTSWRN ", B},
        {"...Undefined    ", N - (S + F + E + T + B)}};
    for (const auto& c : counts) EXPECT_EQ(sum[at++], c.first + "," + std::to_string(c.second));
    const std::string totalLine = sum[at++];
    ASSERT_TRUE(matches(totalLine, R"(\.Total time     ,\d\d+:[0-5]\d:[0-5]\d)")) << totalLine;
    EXPECT_EQ(at, sum.size()) << "nothing after the end block";

    // ---- result table: the same title lines, the table title, one line per timed test
    std::vector<std::string> csv = lines(readFile(dir.file("res.csv")));
    ASSERT_EQ(csv.size(), titleLines + 1 + tests.size() - 1) << readFile(dir.file("res.csv"));
    for (size_t i = 0; i < titleLines; ++i) EXPECT_EQ(csv[i], sum[i]);
    std::vector<std::string> title = cells(csv[titleLines]);
    EXPECT_EQ(title[0], "function");
    size_t clocks = 0;
    for (size_t i = 0; i < title.size(); ++i)
        if (title[i] == "Clocks") clocks = i;
    ASSERT_NE(clocks, 0u) << csv[titleLines];
    for (size_t k = 1; k < tests.size(); ++k) {
        std::vector<std::string> row = cells(csv[titleLines + k]);
        ASSERT_EQ(row.size(), title.size()) << csv[titleLines + k];
        EXPECT_EQ(row[0], tests[k].libName);
        EXPECT_EQ(row[1], "pub_key: projective");
        for (const std::string& cell : row) EXPECT_FALSE(cell.empty()) << "an unset cell prints as -";
        char* end = nullptr;
        double figure = std::strtod(row[clocks].c_str(), &end);
        EXPECT_TRUE(end != row[clocks].c_str() && *end == 0) << "clocks: " << row[clocks];
        EXPECT_GT(figure, 0.0) << csv[titleLines + k];
        EXPECT_LT(figure, 1e10) << csv[titleLines + k];
    }

    // ---- signal file: run time and stop time
    std::vector<std::string> signal = lines(readFile(dir.file("ps_tzvcrypto.end")));
    ASSERT_EQ(signal.size(), 3u);
    EXPECT_EQ(".Total time     ," + signal[0], totalLine);
    EXPECT_TRUE(matches(signal[1], ctimeText)) << signal[1];
    EXPECT_EQ(signal[2], "");

    // ---- console: title block, one framed line per test title and result, the end block
    std::vector<std::string> con = lines(r.out);
    size_t sorting = 0;
    while (sorting < con.size() && con[sorting] != "Sorting functions...") ++sorting;
    ASSERT_LT(sorting + 3 + libraries + 3, con.size()) << r.out;
    const std::string separator = "+" + std::string(77, '-') + "+";
    at = sorting + 1;
    EXPECT_EQ(con[at++], separator);
    for (size_t i = 0; i + 1 < titleLines; ++i) {
        size_t comma = sum[i].find(',');
        std::string label = sum[i].substr(0, comma);
        EXPECT_EQ(con[at++], framed("| " + label + std::string(9 - label.size(), ' ') + ": " + sum[i].substr(comma + 1)));
    }
    EXPECT_EQ(con[at++], framed("| Test     : Timing"));
    const std::string start = startLine.substr(6);
    EXPECT_EQ(con[at++], "|" + std::string(77 - start.size(), ' ') + start + "|");
    EXPECT_EQ(con[at++], separator);
    for (const Selected& t : tests) {
        while (at < con.size() && con[at].compare(0, 12, "| Function  ") != 0) ++at;
        ASSERT_LT(at + 1, con.size()) << "no title of " << t.name;
        EXPECT_TRUE(matches(con[at], "\\| Function  : " + t.name + " +" + ctimeText + "\\|?")) << con[at];
        while (at < con.size() && con[at].compare(0, 3, "| -") != 0) ++at;
        ASSERT_LT(at, con.size());
        EXPECT_TRUE(matches(con[at], "\\| -" + resultName + " +" + t.name + " +" + ctimeText + "\\|?")) << con[at];
        EXPECT_EQ(con[at].find(t.name), 14u) << con[at];
        ++at;
    }
    EXPECT_EQ(con[at++], separator);
    EXPECT_EQ(con[at++], framed("| PS Summary"));
    for (const auto& c : counts) EXPECT_EQ(con[at++], framed("| " + c.first + " : " + std::to_string(c.second)));
    EXPECT_EQ(con[at++], framed("| .Total time      : " + signal[0]));
    EXPECT_EQ(con[at++], separator);
    EXPECT_EQ(at, con.size());

    // The console copy is the console without the sorting note, which goes to standard output only.
    std::string expectedCopy = r.out;
    expectedCopy.erase(expectedCopy.find("Sorting functions...\n"), 21);
    EXPECT_EQ(readFile(dir.file("console.txt")), expectedCopy);
}
