// The parameter input with an ini file: which source wins, what is recorded in write mode, and
// when the file is written back.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include <sys/stat.h>

#include <unistd.h>

#include "ps_capture.h"
#include "ps_ini_file.h"
#include "ps_istream.h"
#include "ps_session.h"

namespace {

std::string value(psIStream& in, const char* name, const char* defaultValue = "dflt", const char* comment = "")
{
    return in.getItemValue(name, defaultValue, "", comment).c_str();
}

std::string fileText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace

TEST(IStreamIni, SourcesInOrderOfPriority)
{
    TempFile file("[Perf System]\n"
                  "Method=Manual\n"
                  "Empty=\n"
                  "[f1]\n"
                  "Len=16\n");
    psIStream in;
    ASSERT_TRUE(in.setIniFile(file.path().c_str(), false));
    ASSERT_NE(nullptr, in.iniFile());
    EXPECT_FALSE(in.iniWrite());
    EXPECT_EQ(srcNone, in.source());

    // The current section starts as the common one.
    EXPECT_EQ("Manual", value(in, "Method"));
    EXPECT_EQ(srcIniFile, in.source());
    EXPECT_EQ("dflt", value(in, "Len"));
    EXPECT_EQ(srcDefault, in.source());
    // An empty value in the file is no value.
    EXPECT_EQ("dflt", value(in, "Empty"));
    EXPECT_EQ(srcDefault, in.source());

    EXPECT_EQ("Perf System", std::string(in.setIniSection("f1").c_str()));
    EXPECT_EQ("16", value(in, "Len"));
    EXPECT_EQ(srcIniFile, in.source());
    EXPECT_EQ("dflt", value(in, "Method"));

    // -d data win over the file, also with an empty value, and only for their own name.
    in.getDataList().set("Len=8");
    EXPECT_EQ("8", value(in, "Len"));
    EXPECT_EQ(srcData, in.source());
    in.getDataList().set("Len", "");
    EXPECT_EQ("", value(in, "Len"));
    EXPECT_EQ(srcData, in.source());
    in.getDataList().clear();
    EXPECT_EQ("16", value(in, "Len"));
    EXPECT_EQ(srcIniFile, in.source());

    // Without the file the same look-up falls back to the default.
    in.deleteIniFile();
    EXPECT_EQ(nullptr, in.iniFile());
    EXPECT_EQ("dflt", value(in, "Len"));
    EXPECT_EQ(srcDefault, in.source());
    // The read-mode file is left as it was.
    EXPECT_EQ("[Perf System]\nMethod=Manual\nEmpty=\n[f1]\nLen=16\n", file.read());
}

TEST(IStreamIni, ConsoleIsAskedOnlyForWhatNeitherDataNorFileHold)
{
    TempFile file("[Perf System]\nMethod=Iterative\n");
    TempFile answers("Manual\n");
    psIStream in;
    ASSERT_TRUE(in.setIniFile(file.path().c_str(), false));
    in.setIStream(new i_stream(answers.path().c_str(), openAsIs, true));
    in.getDataList().set("NumLoops=4");

    testing::internal::CaptureStdout();
    std::string method = value(in, "Method", "Auto");
    int methodSource = in.source();
    std::string loops = value(in, "NumLoops", "10");
    std::string accuracy = in.getItemValue("Accuracy", "5", "Accuracy, %", "").c_str();
    int accuracySource = in.source();
    std::string last = value(in, "Last", "1"); // the console has nothing more to say
    int lastSource = in.source();
    std::string asked = testing::internal::GetCapturedStdout();

    EXPECT_EQ("Iterative", method);
    EXPECT_EQ(srcIniFile, methodSource);
    EXPECT_EQ("4", loops);
    EXPECT_EQ("Manual", accuracy);
    EXPECT_EQ(srcConsole, accuracySource);
    EXPECT_EQ("1", last);
    EXPECT_EQ(srcDefault, lastSource);
    EXPECT_EQ("\n Accuracy, % [5] = \n Last [1] = ", asked);
}

TEST(IStreamIni, WriteModeRecordsEveryValueUsedAndRewritesOnDelete)
{
    TempFile file("[Perf System]\n"
                  "Method=Manual   // the file's own comment is not kept\n"
                  "[f1]\n"
                  "Len=16\n");
    psIStream in;
    ASSERT_TRUE(in.setIniFile(file.path().c_str(), true));
    EXPECT_TRUE(in.iniWrite());

    in.getDataList().set("NumLoops=7");
    EXPECT_EQ("Manual", value(in, "Method", "Auto", "Auto|Manual"));   // kept as it was
    EXPECT_EQ("7", value(in, "NumLoops", "10", "loops"));              // -d value recorded
    EXPECT_EQ("5", value(in, "Accuracy", "5", ""));                     // default recorded
    in.setIniSection("f1");
    in.getDataList().set("Len=8");
    EXPECT_EQ("8", value(in, "Len", "16; 32", "")); // an existing key gets the value used
    in.getDataList().clear();
    in.setIniSection("f2");
    EXPECT_EQ("1; 2", value(in, "Step", "1; 2", "steps"));
    // A read that the file's section does not hold yet makes the section.
    EXPECT_TRUE(in.iniFile()->sectionExist("f2"));

    // Nothing is on disk before the file object goes.
    EXPECT_EQ(0u, file.read().find("[Perf System]\nMethod=Manual   //"));
    in.deleteIniFile();
    EXPECT_FALSE(in.iniWrite());
    EXPECT_EQ(nullptr, in.iniFile());
    EXPECT_EQ("\n"
              "[Perf System]\n"
              "Method=Manual\n"
              "NumLoops=7\t// loops\n"
              "Accuracy=5\n"
              "\n"
              "[f1]\n"
              "Len=8\n"
              "\n"
              "[f2]\n"
              "Step=1; 2\t// steps\n",
              file.read());
    // A second delete has nothing left to write.
    std::ofstream(file.path(), std::ios::binary) << "changed";
    in.deleteIniFile();
    EXPECT_EQ("changed", file.read());
}

TEST(IStreamIni, ReplacingAndLosingTheFile)
{
    TempFile first("");
    TempFile second("[Perf System]\nMethod=Statistic\n");
    psIStream in;
    ASSERT_TRUE(in.setIniFile(first.path().c_str(), true));
    value(in, "Method", "Auto");
    // The previous write-mode file is written back when the next one is set.
    ASSERT_TRUE(in.setIniFile(second.path().c_str(), false));
    EXPECT_EQ("\n[Perf System]\nMethod=Auto\n", first.read());
    EXPECT_FALSE(in.iniWrite());
    EXPECT_EQ("Statistic", value(in, "Method", "Auto"));

    // A missing file in read mode: reported, the look-ups find nothing.
    std::string missing = first.path() + ".none";
    {
        StreamCapture capture(g_ostrm, ERR);
        EXPECT_FALSE(in.setIniFile(missing.c_str(), false));
        EXPECT_EQ("-- Can't open file " + missing + " to read: \n", capture.text());
    }
    EXPECT_EQ("Auto", value(in, "Method", "Auto"));
    EXPECT_EQ(srcDefault, in.source());

    // In write mode a missing file is created.
    EXPECT_TRUE(in.setIniFile(missing.c_str(), true));
    EXPECT_TRUE(in.iniWrite());
    in.deleteIniFile();
    EXPECT_EQ("", fileText(missing));
    unlink(missing.c_str());
}

TEST(IStreamIni, RelativeNamesFollowTheInputDirectory)
{
    TempFile marker;
    std::string dir = marker.path() + ".d";
    ASSERT_EQ(0, mkdir(dir.c_str(), 0700));
    {
        std::ofstream(dir + "/rel.ini") << "[Perf System]\nMethod=Manual\n";
        psSession::setInDir(dir.c_str());
        psIStream in;
        bool opened = in.setIniFile("rel.ini", false);
        psSession::setInDir("");
        ASSERT_TRUE(opened);
        EXPECT_EQ("Manual", value(in, "Method", "Auto"));
    }
    unlink((dir + "/rel.ini").c_str());
    rmdir(dir.c_str());
}
