// The framework's string: conversions both ways, searching and cutting, file-name parts and
// splitting.
#include "ps_parse.h"
#include "ps_string.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
template <class T>
std::string converted(const char* text, T start, bool& error)
{
    psString s(text);
    T value = start;
    value << s;
    error = s.errorConvertion();
    psString out;
    out << value;
    return out.c_str();
}
} // namespace

TEST(PsString, ReadsNumbersAndWordsWithAnErrorFlag)
{
    // Decimal or "0x" hexadecimal; trailing text is ignored; a failed read keeps the value.
    const struct { const char* text; std::string value; bool error; } ints[] = {
        {"0x1F", "31", false}, {"0XfF", "255", false}, {"0xFFFFFFFF", "-1", false}, {"12abc", "12", false},
        {"-5", "-5", false},   {"0", "0", false},      {"abc", "7", true},          {"", "7", true}};
    bool error = false;
    for (const auto& c : ints) {
        EXPECT_EQ(converted<int>(c.text, 7, error), c.value) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
    const struct { const char* text; std::string value; bool error; } wide[] = {
        {"9000000000123", "9000000000123", false}, {"0x123456789A", "78187493530", false}, {"x1", "7", true}};
    for (const auto& c : wide) {
        EXPECT_EQ(converted<long long>(c.text, 7, error), c.value) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
    EXPECT_EQ(converted<double>("2.5e3x", 0, error), "2.5e+03");
    EXPECT_FALSE(error);
    const struct { const char* text; bool value, error; } bools[] = {
        {"Yes", true, false}, {"TRUE", true, false}, {" t\r", true, false}, {"1", true, false}, {"\tNO ", false, false},
        {"False", false, false}, {"0", false, false}, {"off", false, true}, {"  ", false, true}, {"10", false, true}};
    for (const auto& c : bools) {
        psString word(c.text);
        bool value = !c.value;
        value << word;
        EXPECT_EQ(value, c.value) << c.text;
        EXPECT_EQ(word.errorConvertion(), c.error) << c.text;
    }
}

TEST(PsString, WritesValues)
{
    psString s;
    s << -42 << ' ' << 3000000000u << ' ' << -1234567890123LL << ' ' << 2.0 / 3 << ' ' << 1234567.0 << ' ' << true
      << ' ' << false << ' ' << (const void*)nullptr << ' ' << (const void*)0xdeadbeefULL;
    EXPECT_STREQ(s.c_str(), "-42 3000000000 -1234567890123 0.667 1.23e+06 yes no NULL DEADBEEF");
    psString self("abc");
    self += self;
    self << self.c_str();
    EXPECT_STREQ(self.c_str(), "abcabcabcabc");
}

TEST(PsString, SearchesCutsComparesAndTrims)
{
    psString s("abcdefabc");
    const int found[][2] = {{s.find("abc", 1), 6}, {s.find("", 4), 4},   {s.find("", 10), psString::npos},
                            {s.find('b', 2), 7},   {s.rfind('c'), 8},     {s.rfind("abc"), 6},
                            {s.rfind("xy"), psString::npos}};
    for (const auto& f : found) EXPECT_EQ(f[0], f[1]) << &f - found;
    EXPECT_STREQ(s.substr(6, 100).c_str(), "abc");
    EXPECT_TRUE(s.substr(2, -3).empty());
    EXPECT_TRUE(s.substr(10).empty());

    // By signed characters, then by length.
    const struct { const char* a; const char* b; int sign; } compared[] = {
        {"abc", "abc", 0}, {"abc", "abd", -1}, {"abz", "abcdef", 1}, {"ab", "abcde", -1}, {"\xe9", "a", -1}};
    for (const auto& c : compared) {
        int r = psString(c.a).compare(c.b);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " " << c.b;
    }
    const char* const trims[][2] = {{" \tvalue \r", "value"}, {"  ", ""}, {"a b", "a b"}, {"x ", "x"}};
    for (const auto& t : trims) EXPECT_STREQ(psString(t[0]).trim().c_str(), t[1]) << t[0];
    EXPECT_STREQ(psString("MiXeD-CaSe 1").toLower().c_str(), "mixed-case 1");

    const char* const paths[][4] = {{"dir/sub.x/name.tar.csv", "name.tar.csv", "dir/sub.x/", "name.tar"},
                                    {"a\\b/c\\d.e", "d.e", "a\\b/c\\", "d"},
                                    {"plain", "plain", "", "plain"},
                                    {"dir/.hidden", ".hidden", "dir/", ""}};
    for (const auto& p : paths) {
        psString path(p[0]);
        EXPECT_STREQ(path.getFileName().c_str(), p[1]) << p[0];
        EXPECT_STREQ(path.getFileDir().c_str(), p[2]) << p[0];
        EXPECT_STREQ(path.getFileTitle().c_str(), p[3]) << p[0];
    }
}

TEST(PsString, ParseSkipsSeparatorRunsAndDropsQuotes)
{
    psStringList list;
    list.push_back("stale");
    EXPECT_EQ(psString("  -a \"two words\",,x\"y\"  ").parse(list, " ,"), 4);
    std::vector<std::string> words;
    for (psStringList::iterator it = list.begin(); it != list.end(); ++it) words.push_back(it->c_str());
    EXPECT_EQ(words, (std::vector<std::string>{"-a", "two", "words", "xy"}));
    psString a("old"), b("old");
    EXPECT_EQ(psString("k = v w").parse(a, b, " ="), 3);
    EXPECT_STREQ(a.c_str(), "k");
    EXPECT_STREQ(b.c_str(), "v");
    EXPECT_EQ(psString("only").parse(a, b, " "), 1);
    EXPECT_TRUE(b.empty());
}
