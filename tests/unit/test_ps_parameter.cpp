// Parameters: value lists and their stepping, validation and its messages, restricted values,
// deprecated values, and reading through the parameter input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ps_capture.h"
#include "ps_cstream.h"
#include "ps_exception.h"
#include "ps_istream.h"
#include "ps_parameter.h"

namespace {

// Every value a pass over the parameter visits, starting with firstValue.
template <class P>
std::vector<int> pass(P& p)
{
    std::vector<int> values;
    for (bool more = p.firstValue(); more; more = p.nextValue()) values.push_back(p.value());
    return values;
}

// The information text of the exception translate throws, or "" when it throws none.
std::string translateError(psParameter& p, const char* text)
{
    try {
        p.translate(text);
    } catch (psException& e) {
        return e.info();
    }
    return "";
}

// Reads p through g_istrm in batch mode, with the -d value when given; returns the console text.
std::string readParm(psParameter& p, const char* dataValue)
{
    psDataList& data = g_istrm.getDataList();
    data.clear();
    if (dataValue) data.set(p.getName(), dataValue);
    StreamCapture capture(g_ostrm, ERR | WARN | PERF | INFO);
    g_istrm >> p;
    std::string text = capture.text();
    data.clear();
    return text;
}

std::string str(const psString& text) { return text.c_str(); }

} // namespace

TEST(ParameterLists, PassesListsRangesAndTextsWrittenBack)
{
    // A single value gives one pass; a pass restarts after its end or on firstValue.
    psDefault<int> loops(10, "NumLoops");
    EXPECT_TRUE(loops.firstValue());
    EXPECT_FALSE(loops.nextValue());
    psIterator<int> len;
    len.init("Len", 16, 32);
    len.add(16); // repetitions are kept
    EXPECT_EQ((std::vector<int>{16, 32, 16}), pass(len));
    EXPECT_FALSE(len.isIterating());
    EXPECT_TRUE(len.nextValue());
    EXPECT_EQ(16, len.value());
    len.reset();
    EXPECT_FALSE(len.firstValue()) << "an empty list has no pass";

    psStepIterator<int> s;
    const struct { int from, to, step; bool mul; std::vector<int> values; } ranges[] = {
        {16, 64, 16, false, {16, 32, 48, 64}}, {16, 100, 2, true, {16, 32, 64}}, {5, 50, 0, false, {5}},
        {2147483600, 2147483647, 40, false, {2147483600, 2147483640}}, {1 << 29, 2147483647, 2, true, {1 << 29, 1 << 30}}};
    for (const auto& r : ranges) {
        if (r.mul) s.initMul("Len", r.from, r.to, r.step);
        else s.init("Len", r.from, r.to, r.step);
        EXPECT_EQ(r.values, pass(s)) << r.from << " " << r.step;
    }

    len.init("Len");
    len.translate("16; 32;;64 ");
    EXPECT_EQ("16; 32; 64", str(len.defaultString()));
    len.translate(len.defaultString());
    EXPECT_EQ((std::vector<int>{16, 32, 64}), pass(len));
    len.translate("0x10");
    EXPECT_EQ((std::vector<int>{16}), pass(len));
    // Invalid texts throw and keep the list.
    for (const char* empty : {";", " ; ;", ""}) EXPECT_EQ("Empty iterator definition", translateError(len, empty));
    EXPECT_EQ("Invalid value of Len = abc", translateError(len, "16;abc"));
    EXPECT_EQ((std::vector<int>{16}), pass(len));
    EXPECT_EQ("Invalid value of NumLoops = x", translateError(loops, "x"));
    EXPECT_EQ(10, loops.value());
}

TEST(ParameterKinds, AlignmentShiftAndRestrictedLists)
{
    DefaultAlign align(0, "VectorAlign");
    DefaultShift shift(512, "MutualVectorShift");
    const struct { psDefault<int>* parm; const char* text; int value; } cases[] = {
        {&align, "70", 6}, {&align, "64", 0}, {&align, "-1", 63}, {&shift, "700", 640}, {&shift, "63", 0}};
    for (const auto& c : cases) {
        c.parm->translate(c.text);
        EXPECT_EQ(c.value, c.parm->value()) << c.text;
    }

    psEnumIterator<int> bits;
    bits.init("Bits", 1024, 2048);
    bits.initValidation();
    EXPECT_FALSE(bits.addValidation(2048));
    EXPECT_TRUE(bits.addValidation(4096));
    EXPECT_EQ("Bits {1024|2048|4096}", str(bits.prompt()));
    bits.translate("4096; 1024");
    EXPECT_EQ("Invalid value of Bits = 3072", translateError(bits, "1024;3072"));
    EXPECT_EQ((std::vector<int>{4096, 1024}), pass(bits));
}

TEST(ParameterOutput, DeprecatedValuesAndCells)
{
    psIterator<int> len;
    len.init("Len", 16, 32);
    len.addDeprecatedValue(32, "32(old)");
    ASSERT_TRUE(len.firstValue());
    EXPECT_FALSE(len.setDeprecatedFlag(true)) << "16 is not deprecated";
    ASSERT_TRUE(len.nextValue());
    EXPECT_TRUE(len.setDeprecatedFlag(true));
    psDefault<int> nameless(7, "");
    TempFile file;
    psCStream cs;
    ASSERT_TRUE(cs.addStream(file.path().c_str(), false));
    cs << len << nameless;
    len.setDeprecatedFlag(false);
    cs << len;
    cs.lineOut(0);
    cs.closeFiles(); // a file takes its new content when complete
    EXPECT_EQ("32(old),-,32\n", file.read());
    StreamCapture capture(g_ostrm, ERR | WARN | PERF);
    g_ostrm << PERF << len << nameless << msgRestore;
    EXPECT_EQ("Len=32 ", capture.text());
}

TEST(ParameterInput, MessagesAndKeptValues)
{
    psIterator<int> len;
    len.init("Len", 16, 32);
    psDefault<int> loops(10, "NumLoops");
    DefaultAlign align(0, "VectorAlign");
    psDefault<int> nameless(3, "");
    // An empty -d value is a value, and not a number.
    const struct { psParameter* parm; const char* data; const char* text; int source; } reads[] = {
        {&len, ";", "-Empty iterator definition\n Len = 16; 32\n", srcData},
        {&len, nullptr, " Len = 16; 32\n", srcDefault},
        {&len, "8;0x10", " Len = 8; 16\n", srcData},
        {&loops, "", "-Invalid value of NumLoops = \n NumLoops = 10\n", srcData},
        {&align, "70", " VectorAlign = 6\n", srcData},
        {&nameless, "4", "", srcData}};
    for (const auto& r : reads) {
        EXPECT_EQ(r.text, readParm(*r.parm, r.data)) << r.parm->getName().c_str() << (r.data ? r.data : "-");
        if (!r.parm->getName().empty()) {
            EXPECT_EQ(r.source, g_istrm.source());
        }
    }
    EXPECT_EQ(3, nameless.value());
    // Input off: shown, not read.
    loops.doInput(false);
    EXPECT_EQ(" NumLoops = 10\n", readParm(loops, "99"));
    EXPECT_EQ(10, loops.value());
}
