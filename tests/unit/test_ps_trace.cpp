// Call tracing: indented pairs, unwinding to an outer call, and the collected text.
#include "ps_trace.h"

#include <gtest/gtest.h>

#include <string>

#include "ps_capture.h"
#include "ps_ostream.h"

TEST(PsTrace, NestedCallsPrintIndentedPairsAndLeavingAnOuterCallUnwinds)
{
    const std::string in = " trace into   ", out = " trace out of ";
    StreamCapture capture(g_ostrm, TRACE);
    g_trace.clear(); // an earlier test that ended with an exception leaves its steps behind
    g_trace.clean();
    g_trace.traceIn("a");
    g_trace.traceIn("b");
    EXPECT_EQ(psString("b"), g_trace.getCurName());
    g_trace.traceOut("b");
    g_trace.traceIn("c");
    g_trace.traceOut("a"); // printed at c's depth, then both names go
    EXPECT_TRUE(g_trace.empty());
    g_trace.traceIn("d");
    g_trace.traceOut("unknown"); // neither stack nor indent change
    g_trace.traceOut("d");
    const std::string expected = "******" + in + "a\n*******" + in + "b\n*******" + out + "b\n*******" + in +
                                 "c\n*******" + out + "a\n******" + in + "d\n******" + out + "unknown\n******" + out +
                                 "d\n";
    EXPECT_EQ(expected, capture.text());
    EXPECT_EQ(expected, std::string(g_trace.getInfo().c_str()));
    g_trace.clean();
}

TEST(PsTrace, AScopeTracesOutOnlyWhenItsBlockIsLeftWithoutAnException)
{
    StreamCapture capture(g_ostrm, TRACE);
    g_trace.clear();
    g_trace.clean();
    EXPECT_EQ(psTraced("f", [] { return 7; }), 7);
    try {
        psTraceScope scope("g");
        throw 1;
    } catch (int) {
    }
    EXPECT_EQ(psString("g"), g_trace.getCurName()) << "the error message names the failing step";
    EXPECT_EQ("****** trace into   f\n****** trace out of f\n****** trace into   g\n", capture.text());
    g_trace.clear();
    g_trace.clean();
}
