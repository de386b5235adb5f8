// Default directories and the paths of the files the session reads and writes.
#include <gtest/gtest.h>

#include <string>

#include "ps_session.h"

TEST(FileNames, DirectoriesTitlesAndExtensions)
{
    // Directories are relative to the program; absolute ones (slash, backslash, drive) stay.
    psSession::setExePath("./bin/ps");
    psSession::setDefName("");
    const char* const dirs[][2] = {{"", "./bin/"}, {"data", "./bin/data/"}, {"/tmp", "/tmp/"},
                                   {"C:\\work", "C:\\work/"}, {"out\\", "./bin/out\\"}};
    for (const auto& d : dirs) EXPECT_STREQ(psSession::genDirName(d[0]).c_str(), d[1]) << d[0];
    EXPECT_STREQ(psSession::getDefName().c_str(), "ps");

    psSession::setExePath("/home/u/bin/ps");
    psSession::setOutDir("/home/u/bin");
    psSession::setInDir("in");
    // A name without a dot gets the extension; an absolute name is taken as it is.
    const char* const out[][3] = {{"", ".csv", "/home/u/bin/ps.csv"},          {"run1", ".csv", "/home/u/bin/run1.csv"},
                                  {"run1.txt", ".csv", "/home/u/bin/run1.txt"}, {"/tmp/r", ".csv", "/tmp/r"},
                                  {"", "_name.csv", "/home/u/bin/ps_name.csv"}, {"../out", ".csv", "/home/u/bin/../out"}};
    for (const auto& o : out) EXPECT_STREQ(psSession::genOutPath(o[0], o[1]).c_str(), o[2]) << o[0] << o[1];
    psSession::setDefName("night");
    EXPECT_STREQ(psSession::genInPath("", ".ini").c_str(), "/home/u/bin/in/night.ini");
    // Stream names already built from the directory pass through.
    const char* const in[][3] = {{"/opt/in/", "keys.txt", "/opt/in/keys.txt"}, {"/opt/in/", "/opt/in/k", "/opt/in/k"},
                                 {"", "x", "/home/u/bin/x"}, {"rel/", "rel/x", "rel/x"}, {"rel/", "x/rel/", "rel/x/rel/"}};
    for (const auto& i : in) EXPECT_STREQ(psSession::getDirPath(i[0], i[1]).c_str(), i[2]) << i[0] << i[1];
    psSession::setExePath("");
    psSession::setInDir("");
    psSession::setOutDir("");
    psSession::setDefName("");
}
