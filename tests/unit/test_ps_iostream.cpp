#include "ps_iostream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "ps_capture.h"
#include "ps_ostream.h"
#include "ps_session.h"

namespace {

// Every line getline returns, and how many calls returned true.
std::vector<std::string> readAll(i_stream& in)
{
    std::vector<std::string> lines;
    psString line("stale");
    while (in.getline(line)) {
        lines.push_back(line.c_str());
        if (lines.size() > 100) break;
    }
    EXPECT_TRUE(line.empty());
    EXPECT_FALSE(in.getline(line));
    return lines;
}

std::string directoryOf(const TempFile& file) { return psString(file.path().c_str()).getFileDir().c_str(); }

} // namespace

TEST(PsIStream, GetlineReturnsLongLinesWholeAndKeepsCarriageReturns)
{
    std::string longLine(2000, 'x');
    longLine[0] = 'a';
    longLine[1999] = 'z';
    std::string full511(511, 'f');
    TempFile file(longLine + "\n" + "dos\r\n" + "\n" + full511 + "\n" + "last");
    i_stream in(file.path().c_str(), openAsIs, true);
    ASSERT_TRUE((bool)in);
    std::vector<std::string> lines = readAll(in);
    ASSERT_EQ(5u, lines.size());
    EXPECT_EQ(longLine, lines[0]);
    EXPECT_EQ("dos\r", lines[1]);
    EXPECT_EQ("", lines[2]);
    EXPECT_EQ(full511, lines[3]);
    EXPECT_EQ("last", lines[4]);
}

TEST(PsIStream, GetlineAtTheEdgesOfTheChunkAndTheFile)
{
    // A last line filling the 511-character chunk exactly, without a line feed.
    std::string chunk(511, 'c');
    TempFile exact("first\n" + chunk);
    i_stream in(exact.path().c_str(), openAsIs, false);
    EXPECT_EQ((std::vector<std::string>{"first", chunk}), readAll(in));

    // An empty line at the very end is still a line; the end of file after it is not.
    TempFile trailingEmpty("a\n\n");
    i_stream twoLines(trailingEmpty.path().c_str(), openAsIs, false);
    EXPECT_EQ((std::vector<std::string>{"a", ""}), readAll(twoLines));

    TempFile empty("");
    i_stream none(empty.path().c_str(), openAsIs, false);
    ASSERT_TRUE((bool)none);
    psString line("stale");
    EXPECT_FALSE(none.getline(line));
    EXPECT_TRUE(line.empty());

    i_stream missing("/nonexistent-dir/none", openAsIs, false);
    EXPECT_FALSE((bool)missing);
    line = "stale";
    EXPECT_FALSE(missing.getline(line));
    EXPECT_TRUE(line.empty());
}

TEST(PsOStreamFile, WritesAppendsAndFallsBackToStandardOutput)
{
    TempFile file("old\n");
    {
        o_stream out(file.path().c_str(), openAsIs, true);
        ASSERT_TRUE((bool)out);
        out << "one" << psString("\n");
    }
    EXPECT_EQ("one\n", file.read()); // "w" truncates, the destructor closed the file
    {
        o_stream out(file.path().c_str(), openAsIs | openAppend | openBinary, true);
        out << "two\n";
        out.close();
        EXPECT_FALSE((bool)out);
    }
    EXPECT_EQ("one\ntwo\n", file.read());

    EXPECT_TRUE((bool)c_out);
    EXPECT_TRUE((bool)c_in);
    o_stream failed("", openAsIs, false);
    EXPECT_FALSE((bool)failed);
    testing::internal::CaptureStdout();
    failed << "to stdout ";
    failed.flush();
    c_out << "via c_out";
    c_out.close(); // standard output is never closed
    c_out << "!";
    c_out.flush();
    EXPECT_EQ("to stdout via c_out!", testing::internal::GetCapturedStdout());
}

TEST(PsOStreamFile, CannotOpenMessages)
{
    TempFile anchor;
    std::string dir = directoryOf(anchor);
    StreamCapture console(g_ostrm, ERR);
    MessageLevel before = g_ostrm.getMsgLevel();

    o_stream toDir(dir.c_str(), openAsIs, true);
    EXPECT_FALSE((bool)toDir);
    i_stream fromDir(dir.c_str(), openAsIs, true); // fopen would accept a directory for reading
    EXPECT_FALSE((bool)fromDir);
    o_stream noName("", openAsIs, true);
    i_stream noNameIn("", openAsIs, true);
    o_stream quiet(dir.c_str(), openAsIs, false);
    EXPECT_EQ("-- Can't open file " + dir + " to write: \n" +
                  "-- Can't open file " + dir + " to read: \n" +
                  "-- Can't open file. Wrong filename (NULL)  to write: \n" +
                  "-- Can't open file. Wrong filename (NULL)  to read: \n",
              console.text());
    EXPECT_EQ(before, g_ostrm.getMsgLevel()); // each message restored its level
}

TEST(PsOStreamFile, NamesAreResolvedAgainstTheSessionDirectoriesUnlessAsIs)
{
    TempFile anchor;
    std::string dir = directoryOf(anchor);
    std::string name = "ps_unit_resolved.txt";
    psString savedIn = psSession::getInDir();
    psString savedOut = psSession::getOutDir();
    psSession::setOutDir(dir.c_str());
    psSession::setInDir(dir.c_str());
    {
        o_stream out(name.c_str(), 0, false);
        ASSERT_TRUE((bool)out);
        out << "resolved\n";
    }
    {
        i_stream in(name.c_str(), false);
        psString line;
        EXPECT_TRUE(in.getline(line));
        EXPECT_EQ(psString("resolved"), line);
        // An absolute name stays as it is.
        i_stream absolute((dir + name).c_str(), 0, false);
        EXPECT_TRUE((bool)absolute);
    }
    psSession::setOutDir(savedOut);
    psSession::setInDir(savedIn);
    EXPECT_EQ(savedOut, psSession::getOutDir());

    char cwd[4096];
    ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
    ASSERT_EQ(0, chdir(dir.c_str()));
    i_stream asIs(name.c_str(), openAsIs, false); // relative to the current directory
    EXPECT_TRUE((bool)asIs);
    EXPECT_EQ(0, chdir(cwd));
    unlink((dir + name).c_str());
}
