// The parameter input: -d data before the ini file before the console before the default.
#include <gtest/gtest.h>

#include <string>

#include "ps_capture.h"
#include "ps_ini_file.h"
#include "ps_istream.h"

namespace {
std::string value(psIStream& in, const char* name, const char* defaultValue, const char* comment = "")
{
    return in.getItemValue(name, defaultValue, "", comment).c_str();
}
} // namespace

TEST(IStream, SourcesInOrderOfPriority)
{
    TempFile file("[Perf System]\nMethod=Iterative\nEmpty=\nLen=16\n[f1]\nLen=32\n");
    TempFile answers("Manual\n\n");
    psIStream in;
    ASSERT_TRUE(in.setIniFile(file.path().c_str(), false));
    in.setIStream(new i_stream(answers.path().c_str(), openAsIs, true));
    in.getDataList().set("Len=8");
    in.getDataList().set(" Len = 4 "); // the later -d value counts
    testing::internal::CaptureStdout();
    // An empty value in the file is no value; an empty answer takes the default; the console
    // has nothing left to say for the last one.
    const struct { const char* name; const char* value; int source; } reads[] = {
        {"Len", "4", srcData},       {"Method", "Iterative", srcIniFile}, {"Empty", "Manual", srcConsole},
        {"Loops", "dflt", srcDefault}, {"Last", "dflt", srcDefault}};
    for (const auto& r : reads) {
        EXPECT_EQ(value(in, r.name, "dflt"), r.value) << r.name;
        EXPECT_EQ(in.source(), r.source) << r.name;
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n Empty [dflt] = \n Loops [dflt] = \n Last [dflt] = ");
    // Sections are looked up by the current section name.
    in.getDataList().clear();
    in.setIStream(nullptr);
    in.setIniSection("f1");
    EXPECT_EQ(value(in, "Len", "dflt"), "32");
    EXPECT_EQ(value(in, "Method", "dflt"), "dflt");
}
