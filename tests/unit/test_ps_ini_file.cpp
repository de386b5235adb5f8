// The ini file: reading sections and items, look-ups, changes, and the file written back.
#include <gtest/gtest.h>

#include <string>

#include <sys/stat.h>

#include "ps_capture.h"
#include "ps_ini_file.h"

namespace {

std::string readValue(psIniFile& ini, const char* section, const char* key)
{
    return ini.read(section, key, "<none>").c_str();
}

// The keys of a section in file order, as "key=value" joined by "|".
std::string items(psIniFile& ini, const char* section)
{
    psValues* values = ini.getSectionValues(section);
    if (!values) return "<no section>";
    std::string text;
    for (psValues::iterator it = values->begin(); it != values->end(); ++it) {
        if (!text.empty()) text += "|";
        text += std::string((*it)->key.c_str()) + "=" + (*it)->value.c_str();
    }
    return text;
}

} // namespace

TEST(IniFile, ParsesSectionsItemsAndComments)
{
    TempFile file("[Perf System]\n"
                  "Method = Manual     // the timing method\n"
                  "[f1]\n"
                  "Len=16;32\n"
                  "Len=64\n");
    psIniFile ini;
    ASSERT_TRUE(ini.open(file.path().c_str(), false));
    EXPECT_EQ("Manual", readValue(ini, "Perf System", "Method"));
    EXPECT_EQ("64", readValue(ini, "f1", "Len"));
    EXPECT_EQ("Len=64", items(ini, "f1"));
    // Keys are trimmed for look-ups and compared with their case.
    EXPECT_EQ("64", readValue(ini, "f1", "  Len\t"));
    EXPECT_EQ("<none>", readValue(ini, "f1", "len"));
    EXPECT_EQ("<none>", readValue(ini, "F1", "Len"));
    EXPECT_EQ("<none>", readValue(ini, "f2", "Len"));
    EXPECT_FALSE(ini.writeMode());
}

TEST(IniFile, LineRules)
{
    TempFile file("Orphan=1\n"
                  "[ no section ] here\n" // text outside the brackets is ignored
                  "  // only a comment\n"
                  "\n"
                  "x\n"
                  "Empty=\n"
                  "= 7\n"
                  "a=b=c\n"
                  "Url = http://host/path\n"
                  "[open\n"  // no closing bracket: an item
                  "close]\n" // no opening bracket: an item
                  "Len = [16]\n"
                  "After=1\n"
                  "][\n"
                  "[two]\n"
                  "k=1\n"
                  "[no section]\n"
                  "x=again\n"
                  "[two]\n"
                  "k=2\n"
                  "m=3\n");
    psIniFile ini;
    ASSERT_TRUE(ini.open(file.path().c_str(), false));

    // Before the first section nothing counts.
    EXPECT_EQ("<none>", readValue(ini, "", "Orphan"));
    // Duplicate sections merge and a repeated key keeps its place with the last value.
    EXPECT_EQ("x=again|Empty=|=7|a=b=c|Url=http:|[open=~~~|close]=~~~", items(ini, "no section"));
    EXPECT_EQ("", readValue(ini, "no section", "Empty"));
    // "Len = [16]" is a section line, named 16.
    EXPECT_TRUE(ini.sectionExist("16"));
    EXPECT_EQ("After=1|][=~~~", items(ini, "16"));
    EXPECT_EQ("k=2|m=3", items(ini, "two"));
    EXPECT_TRUE(ini.valueExist("two", "m"));
    EXPECT_FALSE(ini.valueExist("two", "n"));
    EXPECT_FALSE(ini.valueExist("three", "m"));
}

TEST(IniFile, ToleratesHostileBytes)
{
    std::string longValue(100000, 'v');
    std::string longKey(100000, 'k');
    std::string content = "[big]\r\n"
                          "Len=16\r\n"
                          "Long=" + longValue + "\r\n" +
                          longKey + "\n" +
                          "[" + std::string(99990, 's') + "]\n" +
                          "In=1\n" +
                          std::string("[nul]\n") +
                          std::string("Cut=ab\0[evil]\n", 14) +
                          std::string("Next=", 5) + std::string(600, 'n') + std::string("\0", 1) +
                          std::string(700, 'z') + "[x]\n" + "Last=1"; // no line feed at the end
    TempFile file(content);
    psIniFile ini;
    ASSERT_TRUE(ini.open(file.path().c_str(), false));

    // Carriage returns of CRLF lines are trimmed away, also from section names.
    EXPECT_EQ("16", readValue(ini, "big", "Len"));
    EXPECT_EQ(longValue, readValue(ini, "big", "Long"));
    EXPECT_EQ(PS_INI_BARE, readValue(ini, "big", longKey.c_str()));
    EXPECT_EQ("1", readValue(ini, std::string(99990, 's').c_str(), "In"));
    // A NUL byte ends its line: nothing after it is read, not even as a line of its own.
    EXPECT_EQ("ab", readValue(ini, "nul", "Cut"));
    EXPECT_EQ(std::string(600, 'n'), readValue(ini, "nul", "Next"));
    EXPECT_FALSE(ini.sectionExist("evil"));
    EXPECT_FALSE(ini.sectionExist("x"));
    EXPECT_EQ("1", readValue(ini, "nul", "Last"));
}

TEST(IniFile, OpeningMissingFiles)
{
    TempFile dir;
    std::string missing = dir.path() + ".missing.ini";
    {
        StreamCapture capture(g_ostrm, ERR);
        psIniFile ini;
        EXPECT_FALSE(ini.open(missing.c_str(), false));
        EXPECT_EQ("-- Can't open file " + missing + " to read: \n", capture.text());
        EXPECT_FALSE(ini.sectionExist("Perf System"));
        EXPECT_EQ("<none>", readValue(ini, "Perf System", "Method"));
    }
    // Write mode creates it, silently.
    {
        StreamCapture capture(g_ostrm, ERR);
        psIniFile ini;
        EXPECT_TRUE(ini.open(missing.c_str(), true));
        EXPECT_TRUE(ini.writeMode());
        EXPECT_EQ("", capture.text());
    }
    struct stat info;
    EXPECT_EQ(0, stat(missing.c_str(), &info));
    unlink(missing.c_str());

    // A file that cannot even be created turns write mode off.
    {
        StreamCapture capture(g_ostrm, ERR);
        psIniFile ini;
        std::string impossible = missing + "/inside.ini";
        EXPECT_FALSE(ini.open(impossible.c_str(), true));
        EXPECT_FALSE(ini.writeMode());
        EXPECT_NE(std::string::npos, capture.text().find("-- Can't open file " + impossible)) << capture.text();
    }
    // A directory is no ini file, in either mode.
    {
        StreamCapture capture(g_ostrm, ERR);
        psIniFile ini;
        EXPECT_FALSE(ini.open("/tmp", false));
        EXPECT_FALSE(ini.open("/tmp", true));
    }
}

TEST(IniFile, ChangesAndRewrite)
{
    TempFile file("// read, never written back\n"
                  "[Perf System]\n"
                  "Method=Manual // kept only as a value\n"
                  "x\n"
                  "[f1]\n"
                  "Len=16\n"
                  "[gone]\n"
                  "a=1\n");
    {
        psIniFile ini;
        ASSERT_TRUE(ini.open(file.path().c_str(), true));
        ini.write("Perf System", "Method", "Auto", "Auto|Manual");   // existing key: the value only
        ini.write("Perf System", " NumLoops ", "10", "");            // new key, no comment
        ini.write("f1", "Len", "8", "");
        ini.write("f1", "Step", "2", "a step");                      // new key with its comment
        ini.write("f2", "Flag");                                     // bare item, new section
        ini.write("f3");                                             // only the section
        ini.write("f3", "  ", "lost", "lost");                       // no key: nothing
        ini.write("f3");                                             // already there
        ini.eraseSection("gone");
        ini.eraseSection("never there");
        ini.deleteKey("f1", "Len");
        ini.deleteKey("f1", "never there");
        ini.deleteKey("nowhere", "Len");
        EXPECT_EQ("Step=2", items(ini, "f1"));
        // Nothing reaches the file before the object closes.
        EXPECT_EQ(0u, file.read().find("// read, never written back"));
        ini.write("f1", "Len", "32", "the length");
    }
    EXPECT_EQ("\n"
              "[Perf System]\n"
              "Method=Auto\n"
              "x\n"
              "NumLoops=10\n"
              "\n"
              "[f1]\n"
              "Step=2\t// a step\n"
              "Len=32\t// the length\n"
              "\n"
              "[f2]\n"
              "Flag\n"
              "\n"
              "[f3]\n",
              file.read());
}

TEST(IniFile, RewrittenOnceAndOnlyInWriteMode)
{
    TempFile file("[s]\nk=1\n");
    {
        psIniFile ini;
        ASSERT_TRUE(ini.open(file.path().c_str(), false));
        ini.write("s", "k", "2", "");
    }
    EXPECT_EQ("[s]\nk=1\n", file.read());

    psIniFile* ini = new psIniFile;
    ASSERT_TRUE(ini->open(file.path().c_str(), true));
    ini->close();
    EXPECT_EQ("\n[s]\nk=1\n", file.read());
    EXPECT_FALSE(ini->sectionExist("s"));
    // Someone else writes the file now: destroying the closed object must not write it again.
    std::ofstream(file.path(), std::ios::binary) << "other";
    delete ini;
    EXPECT_EQ("other", file.read());

    // Opening again first writes back what the object held before.
    TempFile second("[t]\nv=1\n");
    psIniFile twice;
    ASSERT_TRUE(twice.open(file.path().c_str(), true));
    twice.write("s2", "k", "1", "");
    ASSERT_TRUE(twice.open(second.path().c_str(), false));
    EXPECT_EQ("\n[s2]\nk=1\n", file.read());
    EXPECT_EQ("1", readValue(twice, "t", "v"));
    EXPECT_EQ("<none>", readValue(twice, "s2", "k"));
}
