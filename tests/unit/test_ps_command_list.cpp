// Cutting keys from tokens and pairing them with their arguments.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ps_capture.h"
#include "ps_command_list.h"

namespace {
std::vector<std::string> keys(const psCommandList& list)
{
    std::vector<std::string> result;
    for (psCommandList::const_iterator it = list.begin(); it != list.end(); ++it)
        result.push_back(std::string(1, it->getKey()) + "=" + it->getArg().c_str());
    return result;
}
} // namespace

TEST(CommandList, PairsKeysWithTheirArguments)
{
    const struct { const char* text; std::vector<std::string> keys; } cases[] = {
        {"-r out", {"r=out"}},
        {"-rout extra", {"r=out"}},
        // A prefix stays with its argument, attached or not.
        {"-f- abc", {"f=-abc"}},
        {"-f+ abc -f=x", {"f=+abc", "f==x"}},
        {"/B -", {"B=-"}},
        // An absolute path is a key of its own; a lone "-" is no key.
        {"-r /tmp/x.csv", {"r=", "t=mp/x.csv"}},
        {"- -B", {"B="}},
        // Separators: blank, double quote, semicolon, tab, CR, LF.
        {"  -B;\"-ATiming\"\t-r\r\nres  ", {"B=", "A=Timing", "r=res"}},
        {"", {}}};
    for (const auto& c : cases) {
        psCommandList list;
        list.setArgs(c.text);
        EXPECT_EQ(keys(list), c.keys) << c.text;
    }
}

TEST(CommandList, LastKeyWinsAndKeyFilesAreInsertedInPlace)
{
    psCommandList list;
    list.setArgs("-ra -B -rb");
    psString arg;
    ASSERT_TRUE(list.getArg('r', arg));
    EXPECT_STREQ(arg.c_str(), "b");
    EXPECT_FALSE(list.getArg('x', arg));
    EXPECT_TRUE(list.isKey('B'));

    TempFile file("-v\n-r\nres\n-L\"PERF\"-s"); // a double quote separates
    EXPECT_TRUE(list.insertFromFile(file.path().c_str(), ++list.begin()));
    EXPECT_EQ(keys(list), (std::vector<std::string>{"r=a", "v=", "r=res", "L=PERF", "s=", "B=", "r=b"}));
    EXPECT_FALSE(list.insertFromFile("/nonexistent/dir/keys.txt", list.end()));
}
