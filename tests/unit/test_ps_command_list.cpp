// Cutting keys from tokens and pairing them with their arguments.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ps_command_list.h"

namespace {
// The keys of a list as "k=arg" texts.
std::vector<std::string> keys(const psCommandList& list)
{
    std::vector<std::string> result;
    for (psCommandList::const_iterator it = list.begin(); it != list.end(); ++it)
        result.push_back(std::string(1, it->getKey()) + "=" + it->getArg().c_str());
    return result;
}

std::vector<std::string> parse(const char* text)
{
    psCommandList list;
    list.setArgs(text);
    return keys(list);
}
} // namespace

TEST(CommandKey, CutsLetterPrefixAndArgument)
{
    psCommandKey key;
    EXPECT_TRUE(key.setArg("-rout", "next"));
    EXPECT_EQ(key.getKey(), 'r');
    EXPECT_STREQ(key.getArg().c_str(), "out");

    EXPECT_TRUE(key.setArg("-f-", "abc"));
    EXPECT_STREQ(key.getArg().c_str(), "-abc");
    EXPECT_TRUE(key.setArg("-f=x", "abc"));
    EXPECT_STREQ(key.getArg().c_str(), "=x");
    EXPECT_TRUE(key.setArg("/B", ""));
    EXPECT_EQ(key.getKey(), 'B');

    EXPECT_FALSE(key.setArg("-", "x"));
    EXPECT_FALSE(key.setArg("/", "x"));
    EXPECT_FALSE(key.setArg("plain", "x"));

    psString out;
    EXPECT_FALSE(key.getArg('r', out));
    EXPECT_TRUE(key.getArg('B', out));
}

TEST(CommandList, PairsTokensWithFollowingArguments)
{
    EXPECT_EQ(parse("-r out"), (std::vector<std::string>{"r=out"}));
    EXPECT_EQ(parse("-rout extra"), (std::vector<std::string>{"r=out"}));
    EXPECT_EQ(parse("-f- abc"), (std::vector<std::string>{"f=-abc"}));
    // An absolute path is a key of its own: /tmp/x.csv is the key t with "mp/x.csv".
    EXPECT_EQ(parse("-r /tmp/x.csv"), (std::vector<std::string>{"r=", "t=mp/x.csv"}));
    // A lone "-" after a key without argument becomes its argument; elsewhere it is dropped.
    EXPECT_EQ(parse("-e -"), (std::vector<std::string>{"e=-"}));
    EXPECT_EQ(parse("- -B"), (std::vector<std::string>{"B="}));
    // Separators: blank, double quote, semicolon, tab, CR, LF; no quoting.
    EXPECT_EQ(parse("  -B;\"-ATiming\"\t-r\r\nres  "), (std::vector<std::string>{"B=", "A=Timing", "r=res"}));
    EXPECT_TRUE(parse("").empty());
}

TEST(CommandList, LastKeyWinsAndInsertKeepsPosition)
{
    psCommandList list;
    list.setArgs("-ra -B -rb");
    psString arg;
    ASSERT_TRUE(list.getArg('r', arg));
    EXPECT_STREQ(arg.c_str(), "b");
    EXPECT_TRUE(list.isKey('B'));
    EXPECT_FALSE(list.isKey('x'));
    EXPECT_FALSE(list.getArg('x', arg));

    psCommandList::iterator second = list.begin();
    ++second;
    list.insertArgs("-x1 -y2", second);
    EXPECT_EQ(keys(list), (std::vector<std::string>{"r=a", "x=1", "y=2", "B=", "r=b"}));

    list.setArg('z', "tail");
    list.setArg("-w", "w1");
    EXPECT_EQ(keys(list).back(), "w=w1");
}

TEST(CommandList, KeyFileLinesActAsBlanks)
{
    char name[] = "/tmp/ps_keys_XXXXXX";
    int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    FILE* f = fdopen(fd, "w");
    fputs("-B\n-r\nres\n-L\"PERF\"-s", f); // a double quote separates
    fclose(f);

    psCommandList list;
    list.setArgs("-v -e");
    psCommandList::iterator at = list.begin();
    ++at;
    EXPECT_TRUE(list.insertFromFile(name, at));
    EXPECT_EQ(keys(list), (std::vector<std::string>{"v=", "B=", "r=res", "L=PERF", "s=", "e="}));
    std::remove(name);

    EXPECT_FALSE(list.insertFromFile("/nonexistent/dir/keys.txt", list.end()));
    EXPECT_EQ(list.size(), 6);
}
