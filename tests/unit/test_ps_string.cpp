#include "ps_string.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> words(const psStringList& list)
{
    std::vector<std::string> out;
    for (psStringList::const_iterator it = list.begin(); it != list.end(); ++it) out.push_back(it->c_str());
    return out;
}

const int levelValues[] = {1, 2};
const char* const levelNames[] = {"high", "normal"};

const int msgFlags[] = {1, 2, 4, 8};
const char* const msgNames[] = {"ERR", "WARN", "PERF", "INFO"};

} // namespace

TEST(PsString, CapacityFollowsTheSixteenByteRule)
{
    psString none;
    EXPECT_EQ(0, none.capacity());
    EXPECT_STREQ("", none.c_str());
    EXPECT_EQ(0, psString(nullptr).capacity());

    psString s("123456789012345");
    EXPECT_EQ(15, s.length());
    EXPECT_EQ(16, s.capacity());
    const char* before = s.c_str();
    s = "abcdefghijklmno"; // same size: the buffer is reused
    EXPECT_EQ(before, s.c_str());
    s += 'p';
    EXPECT_EQ(32, s.capacity());
    EXPECT_EQ(psString("abcdefghijklmnop"), s);
    s << "0123456789abcdef";
    EXPECT_EQ(48, s.capacity());
    EXPECT_EQ(32, s.length());
    s = "x";
    EXPECT_EQ(16, s.capacity());
    EXPECT_EQ(psString("x"), s);
    EXPECT_EQ(0, psString("").capacity()); // "" never allocates
    s = "";
    EXPECT_EQ(16, s.capacity());
    EXPECT_TRUE(s.empty());
}

TEST(PsString, AppendingAndAssigningFromItself)
{
    psString s("abc");
    s += s;
    EXPECT_EQ(psString("abcabc"), s);
    s = s.c_str() + 2;
    EXPECT_EQ(psString("cabc"), s);
    s << s.c_str();
    EXPECT_EQ(psString("cabccabc"), s);
    psString copy(s);
    copy[0] = 'X';
    EXPECT_EQ(psString("cabccabc"), s);
    EXPECT_EQ('X', copy.at(0));
    EXPECT_EQ(psString("a"), psString('a'));
    EXPECT_TRUE(psString('\0').empty());
    EXPECT_EQ(psString("ab-cd"), psString("ab") + "-" + psString("cd"));
    EXPECT_EQ(psString("<ab"), "<" + psString("ab"));
}

TEST(PsString, FormatsAppendedValues)
{
    psString s;
    s << -42 << ' ' << 3000000000u << ' ' << -1234567890123LL << ' ' << (unsigned long long)-1 << ' ' << 2.0 / 3
      << ' ' << 1234567.0 << ' ' << 0.5f << ' ' << true << ' ' << false;
    EXPECT_EQ(psString("-42 3000000000 -1234567890123 -1 0.667 1.23e+06 0.5 yes no"), s);
    EXPECT_STREQ("NULL", (psString() << (const void*)nullptr).c_str());
    EXPECT_STREQ("DEADBEEF", (psString() << (const void*)0xdeadbeefULL).c_str());
    EXPECT_STREQ("L", psString::prefixI64());
}

TEST(PsString, ReadsIntegersWithHexAndErrorFlag)
{
    int i = 0;
    psString hex("0x1F");
    i << hex;
    EXPECT_EQ(31, i);
    EXPECT_FALSE(hex.errorConvertion());
    i << psString("0XfF");
    EXPECT_EQ(255, i);
    i << psString("0xFFFFFFFF");
    EXPECT_EQ(-1, i);

    psString trailing("12abc");
    i << trailing;
    EXPECT_EQ(12, i);
    EXPECT_FALSE(trailing.errorConvertion());

    psString bad("abc");
    i = 7;
    i << bad;
    EXPECT_TRUE(bad.errorConvertion());
    EXPECT_EQ(7, i);
    psString empty;
    i << empty;
    EXPECT_TRUE(empty.errorConvertion());
    // The flag is cleared by the next conversion of the same text.
    bad = "-5";
    i << bad;
    EXPECT_FALSE(bad.errorConvertion());
    EXPECT_EQ(-5, i);
    // "0" alone is shorter than a hex prefix and reads as decimal.
    i << psString("0");
    EXPECT_EQ(0, i);

    long long big = 0;
    big << psString("9000000000123");
    EXPECT_EQ(9000000000123LL, big);
    big << psString("0x123456789A");
    EXPECT_EQ(0x123456789ALL, big);
    unsigned long long ubig = 0;
    ubig << psString("0xFFFFFFFFFFFFFFFF");
    EXPECT_EQ(~0ULL, ubig);
    psString notNumber("x1");
    ubig << notNumber;
    EXPECT_TRUE(notNumber.errorConvertion());

    void* p = nullptr;
    p << psString("0x1000");
    EXPECT_EQ((void*)0x1000, p);
}

TEST(PsString, ReadsFloatingPointAndBool)
{
    double d = 0;
    psString text("2.5e3x");
    d << text;
    EXPECT_DOUBLE_EQ(2500.0, d);
    EXPECT_FALSE(text.errorConvertion());
    float f = 0;
    psString junk("?");
    f << junk;
    EXPECT_TRUE(junk.errorConvertion());
    f << psString("0.25");
    EXPECT_FLOAT_EQ(0.25f, f);

    for (const char* yes : {"Yes", "TRUE", "1", " t\r", "y"}) {
        psString word(yes);
        bool value = false;
        value << word;
        EXPECT_TRUE(value) << yes;
        EXPECT_FALSE(word.errorConvertion()) << yes;
    }
    for (const char* no : {"no", "False", "0", "\tNO "}) {
        psString word(no);
        bool value = true;
        value << word;
        EXPECT_FALSE(value) << no;
        EXPECT_FALSE(word.errorConvertion()) << no;
    }
    for (const char* bad : {"off", "", "  ", "10"}) {
        psString word(bad);
        bool value = true;
        value << word;
        EXPECT_FALSE(value) << bad;
        EXPECT_TRUE(word.errorConvertion()) << bad;
    }
}

TEST(PsString, SearchesAndCuts)
{
    psString s("abcdefabc");
    EXPECT_EQ(3, s.find("def"));
    EXPECT_EQ(6, s.find("abc", 1));
    EXPECT_EQ(psString::npos, s.find("abd"));
    EXPECT_EQ(4, s.find("", 4));
    EXPECT_EQ(psString::npos, s.find("", 10));
    EXPECT_EQ(7, s.find('b', 2));
    EXPECT_EQ(psString::npos, s.find('z'));
    EXPECT_EQ(8, s.rfind('c'));
    EXPECT_EQ(6, s.rfind("abc"));
    EXPECT_EQ(psString::npos, s.rfind("xy"));
    EXPECT_TRUE(s.found("fab"));
    EXPECT_FALSE(s.found("fa b"));
    EXPECT_EQ(psString::npos, psString().find("a"));

    psString six("abcdef");
    EXPECT_EQ(psString("def"), six.substr(3, 100));
    EXPECT_EQ(psString("bc"), six.substr(1, 2));
    EXPECT_TRUE(six.substr(2, 0).empty());
    EXPECT_TRUE(six.substr(2, -3).empty());
    EXPECT_TRUE(psString("abc").substr(10).empty());
    EXPECT_EQ(psString("c"), psString("abc").substr(2));

    psString r("ab");
    r.resize(5, '.');
    EXPECT_EQ(psString("ab..."), r);
    r.resize(1);
    EXPECT_EQ(psString("a"), r);
    EXPECT_EQ(16, r.capacity());
}

TEST(PsString, ComparesBySignedCharsThenLength)
{
    EXPECT_EQ(0, psString("abc").compare("abc"));
    EXPECT_EQ(-1, psString("abc").compare("abd"));
    EXPECT_EQ(1, psString("abz").compare("abcdef"));
    EXPECT_EQ(-3, psString("ab").compare("abcde"));
    EXPECT_EQ(2, psString("abcd").compare("ab"));
    EXPECT_EQ(-1, psString("\xe9").compare("a")); // 0xE9 is negative as a signed char
    EXPECT_TRUE(psString("abc") == "abc");
    EXPECT_TRUE("abc" != psString("abcd"));
    EXPECT_TRUE(psString() == (const char*)nullptr);
}

TEST(PsString, TrimsLowersAndSplitsFileNames)
{
    psString padded(" \tvalue \r");
    padded.trim();
    EXPECT_EQ(psString("value"), padded);
    psString blanks("  ");
    EXPECT_TRUE(blanks.trim().empty());
    EXPECT_EQ(psString("a b"), psString("a b").trim());
    EXPECT_EQ(psString("mixed-case 1"), psString("MiXeD-CaSe 1").toLower());

    psString path("dir/sub.x/name.tar.csv");
    EXPECT_EQ(psString("name.tar.csv"), path.getFileName());
    EXPECT_EQ(psString("dir/sub.x/"), path.getFileDir());
    EXPECT_EQ(psString("name.tar"), path.getFileTitle());
    psString windows("dir\\name");
    EXPECT_EQ(psString("name"), windows.getFileTitle());
    EXPECT_EQ(psString("dir\\"), windows.getFileDir());
    psString mixed("a\\b/c\\d.e");
    EXPECT_EQ(psString("d.e"), mixed.getFileName());
    EXPECT_EQ(psString("a\\b/c\\"), mixed.getFileDir());
    EXPECT_EQ(psString("plain"), psString("plain").getFileName());
    EXPECT_TRUE(psString("plain").getFileDir().empty());
    EXPECT_EQ(psString("name"), psString("sub.x/name.").getFileTitle());
    EXPECT_TRUE(psString("dir/.hidden").getFileTitle().empty());
}

TEST(PsString, ParseSkipsSeparatorRunsAndDropsQuotes)
{
    psStringList list;
    list.push_back("stale");
    psString line("  -a \"two words\",,x\"y\"  ");
    EXPECT_EQ(4, line.parse(list, " ,"));
    EXPECT_EQ((std::vector<std::string>{"-a", "two", "words", "xy"}), words(list));
    EXPECT_EQ(0, psString(" , ").parse(list, " ,"));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(1, psParse("\"\"a\"\"", list, " "));
    EXPECT_EQ((std::vector<std::string>{"a"}), words(list));

    psString a("old"), b("old"), c("old");
    EXPECT_EQ(3, psString("k = v w").parse(a, b, " ="));
    EXPECT_EQ(psString("k"), a);
    EXPECT_EQ(psString("v"), b);
    EXPECT_EQ(1, psString("only").parse(a, b, c, " "));
    EXPECT_EQ(psString("only"), a);
    EXPECT_TRUE(b.empty());
    EXPECT_TRUE(c.empty());

    EXPECT_TRUE(list.found("a"));
    EXPECT_FALSE(list.found("A"));
    list.push_back("b");
    EXPECT_EQ(psString("b"), *list.find("b"));
    EXPECT_TRUE(list.find("c") == list.end());
}

TEST(PsString, NamesMapToEnumValuesByAbbreviation)
{
    EXPECT_TRUE(fitString("H", "high"));
    EXPECT_TRUE(fitString("", "anything"));
    EXPECT_FALSE(fitString("highs", "high"));
    EXPECT_FALSE(fitString("sign", "ecdsa_sign", 0));
    EXPECT_TRUE(fitString("SIGN", "ecdsa_sign", 6));
    EXPECT_TRUE(fitString("ecd", "ecdsa_sign", 6));
    EXPECT_FALSE(fitString("x", "ab", 5));
    EXPECT_TRUE(fitString("Bc", "abc", 1));

    psString h("h");
    EXPECT_EQ(1, enumValue(h, levelValues, levelNames, 2, 0));
    EXPECT_FALSE(h.errorConvertion());
    EXPECT_EQ(2, enumValue("NOR", levelValues, levelNames, 2));
    psString none("low");
    EXPECT_EQ(0, enumValue(none, levelValues, levelNames, 2));
    EXPECT_TRUE(none.errorConvertion());
    EXPECT_EQ(1, enumValue("", levelValues, levelNames, 2)); // the empty text fits the first name

    EXPECT_EQ(psString("normal"), enumString(2, levelValues, levelNames, 2));
    EXPECT_EQ(psString("-7"), enumString(-7, levelValues, levelNames, 2));
}

TEST(PsString, FlagsCombineByOrAndPrintJoined)
{
    psString both("err|warn");
    EXPECT_EQ(3, flagValue(both, msgFlags, msgNames, 4));
    EXPECT_FALSE(both.errorConvertion());
    EXPECT_EQ(13, flagValue("E, i;P", msgFlags, msgNames, 4));
    psString partly("perf|bogus");
    EXPECT_EQ(4, flagValue(partly, msgFlags, msgNames, 4));
    EXPECT_TRUE(partly.errorConvertion());
    psString empty;
    EXPECT_EQ(0, flagValue(empty, msgFlags, msgNames, 4));
    EXPECT_FALSE(empty.errorConvertion());

    EXPECT_EQ(psString("ERR|PERF|INFO"), flagString(13, msgFlags, msgNames, 4));
    EXPECT_EQ(psString("0"), flagString(0, msgFlags, msgNames, 4));
    EXPECT_EQ(psString("16"), flagString(16, msgFlags, msgNames, 4));
    const int wide[] = {3, 4};
    const char* const wideNames[] = {"LOW", "MID"};
    EXPECT_EQ(psString("LOW"), flagString(2, wide, wideNames, 2)); // any common bit counts
}
