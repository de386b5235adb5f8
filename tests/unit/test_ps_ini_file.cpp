// The ini file: sections and items read line by line.
#include <gtest/gtest.h>

#include <string>

#include "ps_capture.h"
#include "ps_ini_file.h"

namespace {
// The keys of a section in file order, as "key=value" joined by "|".
std::string items(psIniFile& ini, const char* section)
{
    psValues* values = ini.getSectionValues(section);
    if (!values) return "<no section>";
    std::string text;
    for (psValues::iterator it = values->begin(); it != values->end(); ++it)
        text += std::string(text.empty() ? "" : "|") + (*it)->key.c_str() + "=" + (*it)->value.c_str();
    return text;
}
} // namespace

TEST(IniFile, LineRules)
{
    TempFile file(std::string("Orphan=1\n[ s ] text after the bracket is ignored\r\nMethod = Manual     // a comment\n"
                              "  // only a comment\n\nx\nEmpty=\na=b=c\nUrl = http://host/path\n[open\n"
                              "Len = [16]\n" // a section line, named 16
                              "After=1\n[s]\nx=again\r\nCut=ab") +
                  '\0' + "[evil]\nLast=1"); // a NUL byte ends its line; no line feed at the end
    psIniFile ini;
    ASSERT_TRUE(ini.open(file.path().c_str(), false));
    // Duplicate sections merge; a repeated key keeps its place with the last value.
    EXPECT_EQ(items(ini, "s"), "Method=Manual|x=again|Empty=|a=b=c|Url=http:|[open=" PS_INI_BARE "|Cut=ab|Last=1");
    EXPECT_EQ(items(ini, "16"), "After=1");
    EXPECT_FALSE(ini.sectionExist("evil"));
    EXPECT_EQ(std::string(ini.read("s", "  Method\t", "-").c_str()), "Manual");
    EXPECT_EQ(std::string(ini.read("s", "method", "-").c_str()), "-") << "keys keep their case";
    EXPECT_EQ(std::string(ini.read("", "Orphan", "-").c_str()), "-") << "nothing counts before the first section";
}
