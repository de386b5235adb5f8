// Every test of the product's suites in one real batch run, unsorted so that they come in
// registration order after the information test (RSA over two sizes given with -d to keep the run
// short; the default lists show in the ini-file test): the exact console block of each test, the
// result table, the summary table, the signal file and the console copy, and how their shared facts
// (start time, run time, counts, figures) agree. Figures are checked for form and broad sanity:
// per operation (one call over 8 lanes) or, for SM3 and SM4, per byte of the 16 lanes.
#include <gtest/gtest.h>

#include <map>
#include <regex>

#include "e2e_support.h"

using e2e::lines;
using e2e::readFile;

namespace {

const std::string ctimeText = R"([A-Z][a-z]{2} [A-Z][a-z]{2} [ 1-3][0-9] \d\d:\d\d:\d\d \d{4})";
const std::string separator = "+" + std::string(77, '-') + "+";
const std::regex figureLine(R"(  acc=\d+\.\d+% +nLps=\d+ +perf= *([0-9.e+]+)/ *([0-9.e+]+)= *([0-9.e+]+) clocks)");

bool matches(const std::string& text, const std::string& pattern) { return std::regex_match(text, std::regex(pattern)); }

// A row of the frame: the closing bar at column 78, unless the row is already longer.
std::string framed(const std::string& row) { return row.size() > 78 ? row : row + std::string(78 - row.size(), ' ') + "|"; }

std::vector<std::string> valuesOf(const e2e::SuiteTest& t)
{
    if (t.param.empty()) return {""};
    if (t.param == "length") return {"32", "1024"};
    if (t.param == "N-bitLength") return {"1024", "2048"};
    return {"1024", "2048", "3072", "4096"};
}

} // namespace

TEST(Suites, EveryTestInOneRunWithItsConsoleBlockAndFiles)
{
    e2e::TempDir dir;
    e2e::Run r = e2e::run({"-B", "-s-", "-LPERF", "-dlength=32;1024", "-dN-bitLength=1024;2048", "-l" + dir.path(),
                           "-u", "-rres", "-g", "-oconsole"},
                          dir.path());
    ASSERT_EQ(r.status, 0);
    const std::vector<e2e::SuiteTest> tests = e2e::suiteTests();
    ASSERT_EQ(tests.size(), 49u);

    // ---- summary table: title lines, one row per test in the order run, the end block
    std::vector<std::string> sum = lines(readFile(dir.file("ps_tzvcrypto_sum.csv")));
    ASSERT_GE(sum.size(), 5u) << r.out;
    size_t at = 0;
    for (const std::string& title : {std::string(R"(CPU,.+, ([0-9]+x)?[0-9.]+ (GHz|MHz), (Max cache size [0-9]+ K)?)"),
                                      std::string("OS,.+"), std::string("Computer,.+"),
                                      std::string(R"(Library,13\.0\.0 \(\w\w\))"), "Start," + ctimeText})
        EXPECT_TRUE(matches(sum[at++], title)) << sum[at - 1];
    const std::string startLine = sum[at - 1];
    const size_t titleLines = at;
    ASSERT_EQ(sum.size(), titleLines + 1 + 50 + 1 + 11) << readFile(dir.file("ps_tzvcrypto_sum.csv"));
    EXPECT_EQ(sum[at++], "Function,Class,Control87,Status87,ControlSSX,StatusSSX,Test,Time (sec.),SrcName,Result,ExeName");
    EXPECT_TRUE(matches(sum[at++], R"(__psOrvelCpu,Information,-,[-?],-,[-?],__psOrvelCpuTest,\d+,ps,OK,ps_tzvcrypto)"));
    for (const auto& t : tests)
        EXPECT_TRUE(matches(sum[at++], t.function + "_sts_wrapper,Timing,-,[-?],-,[-?]," + t.cls + R"(,\d+,)" + t.source +
                                           ",OK,ps_tzvcrypto"))
            << sum[at - 1];
    EXPECT_EQ(sum[at++], "END_DATA");
    const std::pair<std::string, int> counts[] = {
        {".Number of tests", 50}, {".Successes      ", 50}, {".Failures       ", 0}, {"...Fails        ", 0},
        {".....-FAIL      ", 0},  {".....-EXCPTFAIL ", 0},  {"...Notes     ", 0},     {".....-NOTE   ", 0},
        {".....-BADSTSWRN ", 0},  {"...Undefined    ", 0}};
    for (const auto& c : counts) EXPECT_EQ(sum[at++], c.first + "," + std::to_string(c.second));
    const std::string totalLine = sum[at++];
    EXPECT_TRUE(matches(totalLine, R"(\.Total time     ,\d\d+:[0-5]\d:[0-5]\d)")) << totalLine;

    // ---- signal file: run time and stop time
    std::vector<std::string> signal = lines(readFile(dir.file("ps_tzvcrypto.end")));
    ASSERT_EQ(signal.size(), 3u);
    EXPECT_EQ(".Total time     ," + signal[0], totalLine);
    EXPECT_TRUE(matches(signal[1], ctimeText)) << signal[1];
    EXPECT_EQ(signal[2], "");

    // ---- console: the title block with the summary's facts, the common settings, the blocks
    std::vector<std::string> con = lines(r.out);
    at = 0;
    while (at < con.size() && con[at] != separator) ++at;
    ASSERT_LT(at + 12, con.size()) << r.out;
    ++at;
    for (size_t i = 0; i + 1 < titleLines; ++i) {
        const size_t comma = sum[i].find(',');
        const std::string label = sum[i].substr(0, comma);
        EXPECT_EQ(con[at++], framed("| " + label + std::string(9 - label.size(), ' ') + ": " + sum[i].substr(comma + 1)));
    }
    EXPECT_EQ(con[at++], framed("| Test     : Timing"));
    const std::string start = startLine.substr(6);
    EXPECT_EQ(con[at++], "|" + std::string(77 - start.size(), ' ') + start + "|");
    for (const char* line : {"+", " Method = Auto", " Accuracy = 5", " AlignVectorsBy = element", " VectorAlign = 0", "+"})
        EXPECT_EQ(con[at++], line[0] == '+' ? separator : line);
    EXPECT_TRUE(matches(con[at], R"(\| Function  : __psOrvelCpu +)" + ctimeText + R"(\|)")) << con[at];
    while (at < con.size() && con[at].rfind("| -", 0) != 0) ++at;
    ASSERT_LT(at + 2, con.size());
    EXPECT_TRUE(matches(con[at], R"(\| -OK         __psOrvelCpu +)" + ctimeText + R"(\|)")) << con[at];
    at += 2;

    // Each test's block, its figures kept for the result table.
    std::map<std::string, std::vector<std::string>> figures;
    for (const auto& t : tests) {
        const std::string name = t.name();
        const std::vector<std::string> values = valuesOf(t);
        ASSERT_LT(at + 9 + 2 * values.size(), con.size()) << "no block for " << name;
        EXPECT_EQ(con[at++], separator) << name;
        EXPECT_TRUE(matches(con[at++], R"(\| Function  : )" + name + " +" + ctimeText + R"(\|?)")) << con[at - 1];
        EXPECT_EQ(con[at++], framed("| Test      : " + t.cls));
        EXPECT_EQ(con[at++], framed("| Source    : " + t.source));
        EXPECT_EQ(con[at++], separator);
        if (!t.param.empty()) {
            std::string list;
            for (const std::string& value : values) list += (list.empty() ? "" : "; ") + value;
            EXPECT_EQ(con[at++], " " + t.param + " = " + list);
        }
        EXPECT_EQ(con[at++], "   Test has been registered by KY_REG macro with loopMethod, statMethod, funcCall.");
        EXPECT_EQ(con[at++], "   loopMethod is called for measuring.");
        for (const std::string& value : values) {
            EXPECT_EQ(con[at++], t.param.empty() ? "" : t.param + "=" + value + " ") << name;
            std::smatch m;
            ASSERT_TRUE(std::regex_match(con[at++], m, figureLine)) << con[at - 1];
            // The figure is the clocks of one call over 8 operations, or over every byte of 16 lanes.
            const double divisor = t.param == "length" ? 16.0 * std::stoi(value) : 8.0;
            EXPECT_EQ(m[2].str(), t.param == "length" ? (value == "32" ? "512" : "1.64e+04") : "8") << con[at - 1];
            EXPECT_NEAR(std::stod(m[3]), std::stod(m[1]) / divisor, std::stod(m[1]) / divisor * 0.02 + 0.01) << con[at - 1];
            figures[t.function].push_back(m[3]);
        }
        EXPECT_EQ(con[at++], separator);
        EXPECT_TRUE(matches(con[at++], R"(\| -OK         )" + name + " +" + ctimeText + R"(\|?)")) << con[at - 1];
        EXPECT_EQ(con[at++], separator);
    }
    EXPECT_EQ(con[at++], separator);
    EXPECT_EQ(con[at++], framed("| PS Summary"));
    for (const auto& c : counts) EXPECT_EQ(con[at++], framed("| " + c.first + " : " + std::to_string(c.second)));
    EXPECT_EQ(con[at++], framed("| .Total time      : " + signal[0]));
    EXPECT_EQ(con[at++], separator);
    EXPECT_EQ(at, con.size());
    EXPECT_EQ(readFile(dir.file("console.txt")), r.out);

    // ---- result table: the summary's title lines, the table title, one row per test and value
    const std::string csv = readFile(dir.file("res.csv"));
    std::vector<std::string> csvLines = lines(csv);
    ASSERT_GT(csvLines.size(), titleLines);
    for (size_t i = 0; i < titleLines; ++i) EXPECT_EQ(csvLines[i], sum[i]);
    EXPECT_EQ(csvLines[titleLines], "function,Parm1,Parm2,Parm3,Parm4,Parm5,Parm6,Parm7,Parm8,Comment,Clocks,per,Time (usec),MFlops");
    std::vector<std::vector<std::string>> rows = e2e::resultRows(csv);
    size_t row = 0;
    for (const auto& t : tests) {
        const std::vector<std::string> values = valuesOf(t);
        for (size_t v = 0; v < values.size(); ++v, ++row) {
            ASSERT_LT(row, rows.size()) << csv;
            const std::vector<std::string>& c = rows[row];
            ASSERT_EQ(c.size(), 14u) << t.function;
            std::string parms = t.parms;
            if (parms.find('%') != std::string::npos) parms.replace(parms.find('%'), 1, values[v]);
            // The crypto tests (type cell "8u") name their rows by the full test name.
            EXPECT_EQ(c[0], t.parms.rfind("8u", 0) == 0 ? t.name() : t.function);
            EXPECT_EQ(c[1] + "," + c[2] + "," + c[3] + "," + c[4] + "," + c[5] + "," + c[6] + "," + c[7] + "," + c[8], parms)
                << t.function;
            EXPECT_TRUE(matches(c[9], R"(nLps=\d+( acc=.*)?)")) << c[9];
            EXPECT_EQ(c[10], figures[t.function][v]) << t.function;
            EXPECT_TRUE(std::stod(c[10]) > 0.0 && std::stod(c[10]) < 1e10) << t.function;
            EXPECT_EQ(c[11], t.param == "length" ? "e" : " ") << t.function;
            // Microseconds as "%.3g": 61.2, 1.45e+03.
            EXPECT_TRUE(matches(c[12], R"(\d+(\.\d+)?(e\+\d+)?)")) << c[12];
            EXPECT_GT(std::stod(c[12]), 0.0) << t.function;
            EXPECT_EQ(c[13], "-") << t.function;
        }
    }
    EXPECT_EQ(row, rows.size());
}
