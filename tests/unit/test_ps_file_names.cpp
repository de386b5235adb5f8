// Default directories and the paths of the files the session reads and writes.
#include <gtest/gtest.h>

#include "ps_session.h"

namespace {
class FileNames : public ::testing::Test {
protected:
    void start(const char* exe)
    {
        psSession::setExePath(exe);
        psSession::setInDir("");
        psSession::setOutDir("");
        psSession::setDefName("");
    }
    void TearDown() override { start(""); }
};

std::string str(const psString& s) { return s.c_str(); }
} // namespace

TEST_F(FileNames, DirectoriesAreRelativeToTheProgram)
{
    start("./bin/ps");
    EXPECT_EQ(str(psSession::genDirName("")), "./bin/");
    EXPECT_EQ(str(psSession::genDirName("data")), "./bin/data/");
    EXPECT_EQ(str(psSession::genDirName("/tmp")), "/tmp/");
    EXPECT_EQ(str(psSession::genDirName("C:\\work")), "C:\\work/");
    EXPECT_EQ(str(psSession::genDirName("out\\")), "./bin/out\\");
    EXPECT_EQ(str(psSession::getDefName()), "ps");

    start("ps.exe");
    EXPECT_EQ(str(psSession::genDirName("")), "");
    EXPECT_EQ(str(psSession::getDefName()), "ps");
}

TEST_F(FileNames, PathsOfKeyFiles)
{
    start("/home/u/bin/ps");
    psSession::setOutDir("/home/u/bin");
    EXPECT_EQ(str(psSession::genOutPath("", ".csv")), "/home/u/bin/ps.csv");
    EXPECT_EQ(str(psSession::genOutPath("run1", ".csv")), "/home/u/bin/run1.csv");
    EXPECT_EQ(str(psSession::genOutPath("run1.txt", ".csv")), "/home/u/bin/run1.txt");
    EXPECT_EQ(str(psSession::genOutPath("/tmp/r", ".csv")), "/tmp/r");
    EXPECT_EQ(str(psSession::genOutPath("", "_name.csv")), "/home/u/bin/ps_name.csv");
    EXPECT_EQ(str(psSession::genOutPath("../out", ".csv")), "/home/u/bin/../out");

    psSession::setDefName("night");
    EXPECT_EQ(str(psSession::genOutPath("", ".end")), "/home/u/bin/night.end");
    psSession::setInDir("data");
    EXPECT_EQ(str(psSession::genInPath("", ".ini")), "/home/u/bin/data/night.ini");
}

TEST_F(FileNames, StreamPathsResolveAgainstDirectories)
{
    start("/opt/ps/ps");
    psSession::setInDir("in");
    EXPECT_EQ(str(psSession::getInPath("keys.txt")), "/opt/ps/in/keys.txt");
    // A path already built from the directory passes through unchanged.
    EXPECT_EQ(str(psSession::getInPath("/opt/ps/in/keys.txt")), "/opt/ps/in/keys.txt");
    EXPECT_EQ(str(psSession::getInPath("/etc/keys")), "/etc/keys");
    EXPECT_EQ(str(psSession::getDirPath("", "x")), "/opt/ps/x");
    EXPECT_EQ(str(psSession::getDirPath("rel/", "rel/x")), "rel/x");
    EXPECT_EQ(str(psSession::getDirPath("rel/", "x/rel/")), "rel/x/rel/");
}

TEST(AbsolutePath, SlashBackslashAndDriveLetters)
{
    EXPECT_TRUE(isAbsolutePath("/x"));
    EXPECT_TRUE(isAbsolutePath("\\x"));
    EXPECT_TRUE(isAbsolutePath("C:"));
    EXPECT_FALSE(isAbsolutePath("x/y"));
    EXPECT_FALSE(isAbsolutePath(""));
    EXPECT_FALSE(isAbsolutePath("C"));
}
