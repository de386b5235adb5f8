// Report texts that the end-to-end runs cannot reach: long run times and the end report's counts of
// every result kind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ps_report.h"
#include "ps_test_list.h"

TEST(ReportFormat, TimeTextHasHoursBeyondADay)
{
    const struct { int seconds; const char* text; } cases[] = {
        {0, "00:00:00"}, {3725, "01:02:05"}, {86399, "23:59:59"}, {90000, "25:00:00"}, {360000, "100:00:00"}};
    for (const auto& c : cases) EXPECT_STREQ(psReportFormat::getTimeStr(c.seconds).c_str(), c.text) << c.seconds;
}

TEST(ReportEnd, CountsEveryKindUnderItsLabel)
{
    // UNDEFINED, WRN and FAIL count only as undefined: the class totals the list keeps beside the
    // kinds are not counted twice.
    const struct { std::vector<psResult> results; std::vector<int> counts; } cases[] = {
        {{OK, OK, OK, DATAWRN, BADSTSWRN, FUNCFAIL, EXCPTFAIL}, {7, 3, 4, 2, 1, 1, 2, 1, 1, 0}},
        {{UNDEFINED, WRN, FAIL, ACCURWRN, resWRNG_NOT_SUPPORTED_CPU, ACCURFAIL, DATAFAIL, OK, FUNCWRN},
         {9, 1, 5, 2, 2, 0, 3, 3, 0, 3}}};
    const char* labels[] = {".Number of tests", ".Successes      ", ".Failures       ", "...Fails        ",
                            ".....-FAIL      ", ".....-EXCPTFAIL ", "...Notes     ",    ".....-NOTE   ",
                            ".....-BADSTSWRN ", "...Undefined    "};
    for (const auto& c : cases) {
        psTestList list;
        for (psResult r : c.results) list.plus(r);
        list.getDate().stop();
        psReportEnd end(&list);
        std::vector<std::string> items;
        for (psReportEnd::const_iterator it = end.begin(); it != end.end(); ++it) items.push_back(it->c_str());
        ASSERT_EQ(items.size(), 22u);
        for (int i = 0; i < 10; ++i) {
            EXPECT_EQ(items[2 * i], labels[i]);
            EXPECT_EQ(items[2 * i + 1], std::to_string(c.counts[i])) << labels[i];
        }
        EXPECT_EQ(items[20], ".Total time     ");
    }
}
