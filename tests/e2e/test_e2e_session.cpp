// The session run as a whole: version banner, signal file, exit status.
#include <gtest/gtest.h>

#include <regex>

#include "e2e_support.h"

using e2e::lines;
using e2e::run;
using e2e::TempDir;

namespace {
const std::regex bannerLine(R"(Orvel\(R\) Kyn\. Performance System 2\.0, [A-Z][a-z]{2} [ 1-3][0-9] [0-9]{4})");
}

TEST(Session, VersionPrintsReportAndBannerOnly)
{
    TempDir dir;
    e2e::Run r = run({"-v"}, dir.path());
    EXPECT_EQ(r.status, 0);
    std::vector<std::string> out = lines(r.out);
    ASSERT_EQ(out.size(), 4u) << r.out;
    EXPECT_EQ(out[0], "Command line options: ");
    EXPECT_EQ(out[1], "-v: type the version number of the Performance System and exit");
    EXPECT_EQ(out[2], "");
    EXPECT_TRUE(std::regex_match(out[3], bannerLine)) << out[3];
    EXPECT_EQ(r.out.back(), '\n');
}

TEST(Session, SignalFileHasRunTimeAndStopTime)
{
    TempDir dir;
    std::string signal = dir.file("done.end");
    e2e::Run r = run({"-v", "-g" + signal}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("-g" + signal + ": create file " + signal + " at the end of PS work\n"), std::string::npos)
        << r.out;
    ASSERT_TRUE(e2e::fileExists(signal));
    std::vector<std::string> text = lines(e2e::readFile(signal));
    ASSERT_EQ(text.size(), 3u);
    EXPECT_TRUE(std::regex_match(text[0], std::regex("[0-9]{2,}:[0-5][0-9]:[0-5][0-9]"))) << text[0];
    // ctime form: "Sun Dec  6 02:44:47 2026"
    EXPECT_TRUE(std::regex_match(text[1], std::regex(R"([A-Z][a-z]{2} [A-Z][a-z]{2} [ 1-3][0-9] \d\d:\d\d:\d\d \d{4})")))
        << text[1];
    EXPECT_EQ(text[2], "");
}

TEST(Session, SignalFileWithoutNameGoesToTheOutputDirectory)
{
    TempDir dir;
    e2e::Run r = run({"-h", "-l" + dir.path(), "-g"}, dir.path());
    EXPECT_EQ(r.status, 0);
    std::string signal = dir.file("ps_tzvcrypto.end");
    EXPECT_TRUE(e2e::fileExists(signal)) << r.out;
}

TEST(Session, UnknownKeysAndNonKeysAreReportedOrDropped)
{
    TempDir dir;
    e2e::Run r = run({"-v", "-Z", "plain", "/B"}, dir.path());
    EXPECT_EQ(r.status, 0);
    std::vector<std::string> out = lines(r.out);
    ASSERT_GE(out.size(), 4u);
    EXPECT_EQ(out[1], "-v: type the version number of the Performance System and exit");
    EXPECT_EQ(out[2], "-Zplain: ignored: incorrect option key");
    EXPECT_EQ(out[3], "-B: ignored because of -v option");
}
