// Report layouts: column placement inside the frame, the run-time text, the end report's counts
// and the summary-table forms of one test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ps_capture.h"
#include "ps_cstream.h"
#include "ps_ostream.h"
#include "ps_report.h"
#include "ps_session.h"
#include "ps_test.h"
#include "ps_test_list.h"

namespace {
const std::string separator = "+" + std::string(77, '-') + "+\n";

std::string framed(const std::string& row) { return row + std::string(78 - row.size(), ' ') + "|\n"; }

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    size_t from = 0;
    while (from < text.size()) {
        size_t lf = text.find('\n', from);
        if (lf == std::string::npos) lf = text.size();
        result.push_back(text.substr(from, lf - from));
        from = lf + 1;
    }
    return result;
}

class DoneTest : public psTest {
public:
    DoneTest(const char* name, psResult result, bool bad87 = false, bool badSSX = false)
        : psTest(nullptr, nullptr, nullptr, nullptr, name, "suites/src/p_done.cpp", "TimDone//KY_REG")
    {
        m_testResult = result;
        m_badStatus87 = bad87;
        m_badStatusSSX = badSSX;
    }
};
} // namespace

TEST(ReportFormat, PlacesItemsAtColumnsInsideTheFrame)
{
    psReportFormat title(1, 11, 13, -79);
    EXPECT_EQ(std::string(title.firstLine().c_str()), separator);

    // Label at column 2, ":" at 11, value at 13, bar at 78.
    std::string cpu = title.getLine("CPU", ":", "x").c_str();
    EXPECT_EQ(cpu, "| CPU      : x" + std::string(64, ' ') + "|\n");
    EXPECT_EQ(cpu.size(), 80u);

    // An item whose column is already taken follows after one blank.
    EXPECT_EQ(std::string(title.getLine("abcdefghijklm", ":", "v").c_str()), framed("| abcdefghijklm : v"));

    // Right-aligned against the bar; empty items are skipped.
    std::string time = "Sun Dec  6 03:19:44 2026";
    EXPECT_EQ(std::string(title.getLine("", "", "", time.c_str()).c_str()), "|" + std::string(53, ' ') + time + "|\n");
    // An item too long for its right-aligned place is left out.
    EXPECT_EQ(std::string(title.getLine("", "", "", std::string(80, 'x').c_str()).c_str()), framed("|"));
    // A row longer than the frame loses its closing bar.
    std::string longValue(70, 'v');
    EXPECT_EQ(std::string(title.getLine("CPU", ":", longValue.c_str()).c_str()), "| CPU      : " + longValue + "\n");

    EXPECT_EQ(std::string(title.lastLine().c_str()), separator);
    // Outside the frame the line starts with a blank and has no bar.
    EXPECT_EQ(std::string(title.getLine("PS", ":", "z").c_str()), "  PS       : z\n");
    // A row that already holds a line feed counts its columns from after it.
    EXPECT_EQ(std::string(title.getLine("a\nbc", "d").c_str()), "  a\nbc         d\n");

    psReportFormat result(1, 14, -79);
    result.setFrameMode(true);
    EXPECT_EQ(std::string(result.getLine("-OK", "f_name", "t").c_str()), "| -OK         f_name" + std::string(57, ' ') + "t|\n");
}

TEST(ReportFormat, TimeTextHasHoursBeyondTwoDigits)
{
    EXPECT_EQ(std::string(psReportFormat::getTimeStr(0).c_str()), "00:00:00");
    EXPECT_EQ(std::string(psReportFormat::getTimeStr(59).c_str()), "00:00:59");
    EXPECT_EQ(std::string(psReportFormat::getTimeStr(3725).c_str()), "01:02:05");
    EXPECT_EQ(std::string(psReportFormat::getTimeStr(86399).c_str()), "23:59:59");
    EXPECT_EQ(std::string(psReportFormat::getTimeStr(360000).c_str()), "100:00:00");
}

TEST(ReportEnd, CountsEveryKindUnderItsLabelInAllForms)
{
    psTestList mixed;
    for (psResult r : {OK, OK, OK, OK, OK, OK, DATAWRN, BADSTSWRN, FUNCFAIL, EXCPTFAIL}) mixed.plus(r);
    mixed.getDate().stop();
    psReportEnd end(&mixed);
    std::vector<std::string> items;
    for (psReportEnd::const_iterator it = end.begin(); it != end.end(); ++it) items.push_back(it->c_str());
    const std::vector<std::string> expected = {
        ".Number of tests", "10", ".Successes      ", "6", ".Failures       ", "4", "...Fails        ", "2",
        ".....-FAIL      ", "1",  ".....-EXCPTFAIL ", "1", "...Notes     ",    "2", ".....-NOTE   ",     "1",
        ".....-BADSTSWRN ", "1",  "...Undefined    ", "0"};
    ASSERT_EQ(items.size(), expected.size() + 2);
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(items[i], expected[i]) << i;
    EXPECT_EQ(items[20], ".Total time     ");
    EXPECT_TRUE(items[21] == "00:00:00" || items[21] == "00:00:01") << items[21];

    // UNDEFINED, WRN and FAIL are counted only as undefined; the warning and failure totals that
    // the list keeps beside the kinds are not counted twice.
    psTestList odd;
    for (psResult r : {UNDEFINED, WRN, FAIL, ACCURWRN, resWRNG_NOT_SUPPORTED_CPU, ACCURFAIL, DATAFAIL, OK}) odd.plus(r);
    odd.getDate().stop();
    TempFile summary, console;
    {
        psUStream u;
        ASSERT_TRUE(u.addStream(summary.path().c_str(), false));
        u << psReportEnd(&odd);
        psOStream o;
        o.setOutLevel(1);
        ASSERT_TRUE(o.addStream(console.path().c_str(), false));
        o << psReportEnd(&odd);
    }
    std::vector<std::string> sum = lines(summary.read());
    const std::vector<std::string> sumExpected = {
        "END_DATA",           ".Number of tests,8", ".Successes      ,1", ".Failures       ,4",
        "...Fails        ,2", ".....-FAIL      ,2", ".....-EXCPTFAIL ,0", "...Notes     ,2",
        ".....-NOTE   ,2",    ".....-BADSTSWRN ,0", "...Undefined    ,3"};
    ASSERT_EQ(sum.size(), sumExpected.size() + 1) << summary.read();
    for (size_t i = 0; i < sumExpected.size(); ++i) EXPECT_EQ(sum[i], sumExpected[i]);
    EXPECT_EQ(sum.back().substr(0, 17), ".Total time     ,");

    std::vector<std::string> con = lines(console.read());
    ASSERT_EQ(con.size(), 14u) << console.read();
    EXPECT_EQ(con[0] + "\n", separator);
    EXPECT_EQ(con[1] + "\n", framed("| PS Summary"));
    EXPECT_EQ(con[2] + "\n", framed("| .Number of tests : 8"));
    EXPECT_EQ(con[8] + "\n", framed("| ...Notes      : 2"));
    EXPECT_EQ(con[11] + "\n", framed("| ...Undefined     : 3"));
    EXPECT_EQ(con[12].substr(0, 21), "| .Total time      : ");
    EXPECT_EQ(con[13] + "\n", separator);
}

TEST(ReportTest, SummaryLineOfOneTest)
{
    psString savedExe = psSession::getExePath();
    psSession::setExePath("/opt/bench/ps_run.bin");
    TempFile summary;
    {
        psUStream u;
        ASSERT_TRUE(u.addStream(summary.path().c_str(), false));
        u << psReportTestResult();
        DoneTest info("__psAbout", OK);
        u << psReportTestTitle(&info) << psReportTestResult(&info);
        DoneTest timed("tzv_x_mb8_sts_wrapper", FUNCFAIL, true, false);
        u << psReportTestTitle(&timed) << psReportTestResult(&timed);
        DoneTest sse("_psNotInfo", ACCURWRN, false, true);
        u << psReportTestTitle(&sse) << psReportTestResult(&sse);
    }
    psSession::setExePath(savedExe);
    std::vector<std::string> sum = lines(summary.read());
    ASSERT_EQ(sum.size(), 4u) << summary.read();
    EXPECT_EQ(sum[0], "Function,Class,Control87,Status87,ControlSSX,StatusSSX,Test,Time (sec.),SrcName,Result,ExeName");
    EXPECT_EQ(sum[1], "__psAbout,Information,-,-,-,-,TimDone,0,p_done.cpp,OK,ps_run.bin");
    EXPECT_EQ(sum[2], "tzv_x_mb8_sts_wrapper,Timing,-,?,-,-,TimDone,0,p_done.cpp,FUNCFAIL,ps_run.bin");
    EXPECT_EQ(sum[3], "_psNotInfo,Timing,-,-,-,?,TimDone,0,p_done.cpp,ACCURWRN,ps_run.bin");
}
