#include "ps_ostream.h"

#include <gtest/gtest.h>

#include <string>

#include "ps_capture.h"

TEST(PsOStream, TextPrintsOnlyWhenLevelsShareABit)
{
    psOStream stream;
    EXPECT_EQ(ERR, stream.getOutLevel());
    EXPECT_EQ(PERF, stream.getMsgLevel());
    StreamCapture out(stream, ERR);

    stream << "perf is denied ";
    stream << ERR << "error shown " << msgRestore;
    stream << "denied again";
    EXPECT_EQ("error shown ", out.text());

    // The word DATA of key -L: ERR, WARN, PERF, DATA and, through its T, TRACE.
    stream.setOutLevel(87);
    stream << TRACE << "trace " << msgRestore << MEM << "mem " << msgRestore << DATA << "data " << INFO
           << "info " << msgRestore << msgRestore << "perf";
    EXPECT_EQ("error shown trace data perf", out.text());
    EXPECT_EQ(PERF, stream.getMsgLevel());
}

TEST(PsOStream, ValuesAreFormattedByTheStringRules)
{
    psOStream stream;
    StreamCapture out(stream, PERF);
    stream << 42 << ' ' << 7u << ' ' << -3000000000LL << ' ' << 2.0 / 3 << ' ' << 1e-7 << ' ' << 0.25f << ' '
           << psString("str") << ' ' << (size_t)12;
    EXPECT_EQ("42 7 -3000000000 0.667 1e-07 0.25 str 12", out.text());
}

TEST(PsOStream, LevelStackAndBeginMessage)
{
    psOStream stream;
    stream.restoreMsgLevel(); // empty stack
    EXPECT_EQ(ERR, stream.getMsgLevel());

    stream.setOutLevel(7);
    EXPECT_FALSE(stream.beginMessage(INFO));
    EXPECT_EQ(ERR, stream.getMsgLevel());
    EXPECT_TRUE(stream.beginMessage(PERF));
    EXPECT_EQ(PERF, stream.getMsgLevel());
    stream.endMessage();
    EXPECT_EQ(ERR, stream.getMsgLevel());

    // The comparison is numeric, not by bits: MEM (32) is accepted under 87 though 87 lacks its bit.
    stream.setOutLevel(87);
    EXPECT_TRUE(stream.beginMessage(MEM));
    EXPECT_TRUE(stream.denyLevel());
    stream.setOutLevel(15);
    EXPECT_TRUE(stream.beginMessage(INFO));
    EXPECT_FALSE(stream.denyLevel());
    stream.endMessage();
    EXPECT_EQ(MEM, stream.getMsgLevel());
    stream.endMessageFlush();
    EXPECT_EQ(ERR, stream.getMsgLevel());

    stream << WARN << INFO;
    EXPECT_EQ(INFO, stream.getMsgLevel());
    stream << msgRestoreFlush;
    EXPECT_EQ(WARN, stream.getMsgLevel());
    stream << msgRestore << msgRestore;
    EXPECT_EQ(ERR, stream.getMsgLevel());
}

TEST(PsOStream, AddStreamWritesEveryFileInOrderAndFlushesOnRequest)
{
    TempFile first("kept\n");
    TempFile second("dropped\n");
    {
        psOStream stream;
        ASSERT_TRUE(stream.addStream(first.path().c_str(), true));
        ASSERT_TRUE(stream.addStream(second.path().c_str(), false));
        EXPECT_EQ(2, stream.size());
        stream << ERR << "line\n";
        stream << msgRestoreFlush;
        EXPECT_EQ("kept\n", first.read()) << "a named file changes only when complete";
        EXPECT_EQ("dropped\n", second.read());
        stream << ERR << "tail" << msgRestore;
        stream.flush();
        stream << ERR << "+" << msgRestore;
    }
    EXPECT_EQ("line\ntail+", second.read()); // the stream closed the files it opened

    std::string dir = psString(first.path().c_str()).getFileDir().c_str();
    StreamCapture console(g_ostrm, ERR);
    psOStream stream;
    EXPECT_FALSE(stream.addStream(dir.c_str(), false));
    EXPECT_TRUE(stream.empty());
    EXPECT_EQ("-- Can't open file " + dir + " to write: \n", console.text());
}
