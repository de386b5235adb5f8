// Message levels of the console stream: which text prints, and the stack of levels.
#include "ps_ostream.h"

#include <gtest/gtest.h>

#include <string>

#include "ps_capture.h"

TEST(PsOStream, TextPrintsOnlyWhenLevelsShareABitAndLevelsStack)
{
    psOStream stream;
    EXPECT_EQ(PERF, stream.getMsgLevel());
    StreamCapture out(stream, ERR);
    stream << "perf is denied ";
    stream << ERR << "error shown " << msgRestore << "denied again";
    // The word DATA of key -L: ERR, WARN, PERF, DATA and, through its T, TRACE.
    stream.setOutLevel(87);
    stream << TRACE << "trace " << msgRestore << MEM << "mem " << msgRestore << DATA << "data " << INFO << "info "
           << msgRestore << msgRestore << "perf";
    EXPECT_EQ("error shown trace data perf", out.text());
    EXPECT_EQ(PERF, stream.getMsgLevel());

    // beginMessage compares numerically: MEM (32) passes under 87 though 87 lacks its bit.
    EXPECT_TRUE(stream.beginMessage(MEM));
    stream.setOutLevel(7);
    EXPECT_FALSE(stream.beginMessage(INFO));
    EXPECT_EQ(MEM, stream.getMsgLevel());
    stream.endMessage();
    stream << msgRestore << msgRestore; // restoring from an empty stack gives ERR
    EXPECT_EQ(ERR, stream.getMsgLevel());
}
