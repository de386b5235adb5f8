#include "ps_trace.h"

#include <gtest/gtest.h>

#include <string>

#include "ps_capture.h"
#include "ps_ostream.h"

namespace {

const std::string into = " trace into   ";
const std::string outOf = " trace out of ";

} // namespace

TEST(PsTrace, NestedCallsPrintIndentedPairs)
{
    StreamCapture out(g_ostrm, 23);
    MessageLevel before = g_ostrm.getMsgLevel();
    // A test that ended with an exception leaves its step names behind: start from nothing.
    g_trace.clear();
    g_trace.clean();
    g_trace.traceIn("a");
    g_trace.traceIn("b");
    EXPECT_EQ(psString("b"), g_trace.getCurName());
    g_trace.traceOut("b");
    EXPECT_EQ(psString("a"), g_trace.getCurName());
    g_trace.traceOut("a");
    std::string expected = "******" + into + "a\n" + "*******" + into + "b\n" + "*******" + outOf + "b\n" +
                           "******" + outOf + "a\n";
    EXPECT_EQ(expected, out.text());
    EXPECT_EQ(expected, std::string(g_trace.getInfo().c_str()));
    EXPECT_TRUE(g_trace.empty());
    EXPECT_EQ(psString(""), g_trace.getCurName());
    EXPECT_EQ(before, g_ostrm.getMsgLevel());
    g_trace.clean();
}

TEST(PsTrace, LeavingAnOuterCallUnwindsTheInnerOnes)
{
    StreamCapture out(g_ostrm, TRACE);
    // A test that ended with an exception leaves its step names behind: start from nothing.
    g_trace.clear();
    g_trace.clean();
    g_trace.traceIn("a");
    g_trace.traceIn("b");
    g_trace.traceOut("a"); // printed at b's depth, then both names go
    EXPECT_TRUE(g_trace.empty());
    g_trace.traceIn("c"); // the indent is back to nothing
    g_trace.traceOut("unknown"); // neither stack nor indent change
    EXPECT_EQ(psString("c"), g_trace.getCurName());
    g_trace.traceIn("d");
    g_trace.traceOut("c");
    EXPECT_EQ("******" + into + "a\n" + "*******" + into + "b\n" + "*******" + outOf + "a\n" + "******" + into +
                  "c\n" + "******" + outOf + "unknown\n" + "*******" + into + "d\n" + "*******" + outOf + "c\n",
              out.text());
    EXPECT_TRUE(g_trace.empty());
    g_trace.clean();
}

TEST(PsTrace, InfoCollectsLinesEvenWhenTraceIsNotPrinted)
{
    StreamCapture out(g_ostrm, 7);
    g_trace.clean();
    g_trace.setInfo("saved\n");
    g_trace.traceIn("step");
    g_trace.traceOut("step");
    EXPECT_EQ("", out.text());
    EXPECT_EQ("saved\n******" + into + "step\n******" + outOf + "step\n", std::string(g_trace.getInfo().c_str()));
    g_trace.clean();
    EXPECT_TRUE(g_trace.getInfo().empty());
}
