// Parameters: value lists and their stepping, validation and its messages, named and restricted
// values, deprecated values, and reading through the parameter input.
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

// The csv line written by the cells that fill sets.
template <class F>
std::string csvLine(F fill)
{
    TempFile file;
    psCStream cs;
    EXPECT_TRUE(cs.addStream(file.path().c_str(), false));
    fill(cs);
    cs.lineOut(0);
    cs.closeFiles();
    return file.read();
}

std::string str(const psString& text) { return text.c_str(); }

psMapDefault<int>* newMethod()
{
    psMapDefault<int>* method = new psMapDefault<int>;
    method->init("Method");
    const char* names[] = {"Auto", "Manual", "Statistic", "Iterative"};
    for (int i = 0; i < 4; ++i) (*method)[i] = names[i];
    return method;
}

} // namespace

TEST(ParameterStepping, OdometerPassesWrapAroundAndRestart)
{
    // A single value gives one pass; the odometer restarts a wrapped parameter with firstValue.
    psDefault<int> loops(10, "NumLoops");
    EXPECT_TRUE(loops.firstValue());
    EXPECT_FALSE(loops.nextValue());
    EXPECT_TRUE(loops.firstValue());
    EXPECT_EQ(10, loops.value());
    psParameter bare("x");
    EXPECT_TRUE(bare.firstValue());
    EXPECT_FALSE(bare.nextValue());

    psIterator<int> len;
    len.init("Len", 16, 32);
    len.add(64);
    len.add(16); // repetitions are kept
    EXPECT_EQ((std::vector<int>{16, 32, 64, 16}), pass(len));
    // Past the end: zero value, not iterating; the next call begins again.
    EXPECT_EQ(0, len.value());
    EXPECT_FALSE(len.isIterating());
    for (int expected : {16, 32}) {
        EXPECT_TRUE(len.nextValue());
        EXPECT_EQ(expected, len.value());
    }
    // firstValue in the middle of a pass restarts it.
    EXPECT_TRUE(len.firstValue());
    EXPECT_EQ(16, len.value());

    psIterator<int> none;
    none.init("None");
    EXPECT_FALSE(none.firstValue());
    len.reset(); // empties the list
    EXPECT_EQ(0, len.size());
    EXPECT_FALSE(len.firstValue());
    EXPECT_EQ("", str(len.defaultString()));
}

TEST(ParameterStepping, StepIteratorFillsRanges)
{
    psStepIterator<int> s;
    s.init("Len", 16, 64, 16);
    EXPECT_EQ((std::vector<int>{16, 32, 48, 64}), pass(s));
    s.initMul("Len", 16, 100, 2);
    EXPECT_EQ((std::vector<int>{16, 32, 64}), pass(s));
    s.init("Len", 5, 50, 0);
    EXPECT_EQ((std::vector<int>{5}), pass(s));
    s.init("Len", 2147483600, 2147483647, 40);
    EXPECT_EQ((std::vector<int>{2147483600, 2147483640}), pass(s));
    s.initMul("Len", 1 << 29, 2147483647, 2);
    EXPECT_EQ((std::vector<int>{1 << 29, 1 << 30}), pass(s));
    s.translate("7;9"); // read like any list
    EXPECT_EQ((std::vector<int>{7, 9}), pass(s));
}

TEST(ParameterLists, ParsingAndWritingBack)
{
    psIterator<int> len;
    len.init("Len");
    len.translate("16; 32;;64 ");
    EXPECT_EQ((std::vector<int>{16, 32, 64}), pass(len));
    EXPECT_EQ("16; 32; 64", str(len.defaultString()));
    // What is written back reads the same.
    len.translate(len.defaultString());
    EXPECT_EQ((std::vector<int>{16, 32, 64}), pass(len));

    len.translate("0x10");
    EXPECT_EQ((std::vector<int>{16}), pass(len));

    len.init("Len", 1, 2);
    EXPECT_EQ("Len = 1; 2", str(len.description()));
    EXPECT_EQ("Len", str(len.prompt()));
}

TEST(ParameterLists, InvalidTextsThrowAndKeepTheList)
{
    psIterator<int> len;
    len.init("Len", 16, 32);
    for (const char* empty : {";", " ; ;", ""}) EXPECT_EQ("Empty iterator definition", translateError(len, empty));
    EXPECT_EQ("Invalid value of Len = abc", translateError(len, "16;abc"));
    EXPECT_EQ((std::vector<int>{16, 32}), pass(len));

    psDefault<int> loops(10, "NumLoops");
    EXPECT_EQ("Invalid value of NumLoops = x", translateError(loops, "x"));
    EXPECT_EQ("Invalid value of NumLoops = ", translateError(loops, ""));
    EXPECT_EQ(10, loops.value());
    EXPECT_EQ("", translateError(loops, "0x20"));
    EXPECT_EQ(32, (int)loops);
}

TEST(ParameterKinds, AlignmentShiftAndNamedChoice)
{
    DefaultAlign align(0, "VectorAlign", "VectorAlign by Byte, 0..63");
    DefaultShift shift(512, "MutualVectorShift", "MutualVectorShift in Bytes, divisible by 64");
    EXPECT_EQ("MutualVectorShift = 512", str(shift.description()));
    psMapDefault<int>* method = newMethod();
    psParameter* m = method;
    const struct { psParameter* parm; const char* text; int value; } cases[] = {
        {&align, "70", 6}, {&align, "64", 0}, {&align, "63", 63}, {&align, "-1", 63}, {&shift, "700", 640},
        {&shift, "63", 0}, {m, "ma", 1},      {m, "s", 2},        {m, "MAN", 1}};
    for (const auto& c : cases) {
        c.parm->translate(c.text);
        EXPECT_EQ(c.value, c.parm == m ? method->value() : static_cast<psDefault<int>*>(c.parm)->value()) << c.text;
    }
    EXPECT_EQ("Invalid value of VectorAlign = z", translateError(align, "z"));
    EXPECT_EQ(63, align.value());
    EXPECT_EQ("VectorAlign by Byte, 0..63", str(align.prompt()));

    EXPECT_EQ("Method {Auto|Manual|Statistic|Iterative}", str(method->prompt()));
    EXPECT_EQ("Manual", str(method->valueString()));
    EXPECT_EQ("Method = Manual", str(method->description()));
    EXPECT_EQ("Invalid value of Method = x", translateError(*method, "x"));
    EXPECT_EQ("Invalid value of Method = Manually", translateError(*method, "Manually"));
    EXPECT_EQ(1, method->value());
    method->translate(""); // the empty answer fits the first name
    EXPECT_EQ(0, method->value());
    // A key without a name prints empty; operator[] of a present key changes nothing.
    method->setValue(7);
    EXPECT_EQ("", str(method->valueString()));
    EXPECT_EQ("Iterative", str((*method)[3]));
    EXPECT_EQ("Auto|Manual|Statistic|Iterative", str(method->validString()));
    delete method;

    psMapDefault<bool> by;
    by.init("AlignVectorsBy");
    by[true] = "byte";
    by[false] = "element";
    by.translate("E");
    EXPECT_FALSE(by.value());
    by.translate("byte");
    EXPECT_TRUE(by.value());

    psMapDefault<int> empty;
    empty.init("Nothing");
    EXPECT_EQ("Invalid value of Nothing = ", translateError(empty, ""));
}

TEST(ParameterKinds, RestrictedList)
{
    psEnumIterator<int> bits;
    bits.init("Bits", 1024, 2048);
    // Before validation any value goes and no valid values are shown.
    EXPECT_EQ("", str(bits.validString()));
    bits.translate("3");
    bits.reset();
    bits.init("Bits", 1024, 2048);
    bits.initValidation();
    EXPECT_FALSE(bits.addValidation(2048));
    EXPECT_TRUE(bits.addValidation(4096));
    EXPECT_EQ("1024|2048|4096", str(bits.validString()));
    EXPECT_EQ("Bits {1024|2048|4096}", str(bits.prompt()));
    bits.translate("4096; 1024");
    EXPECT_EQ((std::vector<int>{4096, 1024}), pass(bits));
    EXPECT_EQ("Invalid value of Bits = 3072", translateError(bits, "1024;3072"));
    EXPECT_EQ((std::vector<int>{4096, 1024}), pass(bits));

    psList<int> more;
    more.push_back(3072);
    more.push_back(1024);
    bits.addValidation(&more);
    EXPECT_EQ("1024|2048|4096|3072", str(bits.validString()));
    bits.resetValidation();
    EXPECT_EQ("Invalid value of Bits = 1024", translateError(bits, "1024"));
}

TEST(ParameterKinds, NamedList)
{
    psMapIterator<int> curve;
    curve.init("Curve");
    curve[256] = "P256";
    curve[384] = "P384";
    curve[521] = "P521";
    // Without valid values nothing converts.
    EXPECT_EQ("Invalid value of Curve = p256", translateError(curve, "p256"));
    curve.add(384);
    curve.add(256);
    curve.initValidation();
    // The order of the valid set decides between names with a common beginning.
    curve.translate("p");
    EXPECT_EQ((std::vector<int>{384}), pass(curve));
    curve.translate("p2");
    EXPECT_EQ("Invalid value of Curve = P521", translateError(curve, "p2; P521"));
    EXPECT_EQ((std::vector<int>{256}), pass(curve));
    EXPECT_TRUE(curve.firstValue());
    EXPECT_EQ("P256", str(curve.valueString()));
    EXPECT_EQ("Curve {P384|P256}", str(curve.prompt()));
    EXPECT_EQ("Curve = P256", str(curve.description()));
    curve.resetMap();
    EXPECT_EQ("", str(curve.valueString()));
}

TEST(ParameterDeprecation, FlagFollowsTheCurrentValue)
{
    psIterator<int> len;
    len.init("Len", 16, 32);
    EXPECT_FALSE(len.isDeprecatedParm());
    EXPECT_FALSE(len.setDeprecatedFlag(true));

    len.addDeprecatedValue(32, "32(old)");
    EXPECT_TRUE(len.isDeprecatedParm());
    // Deprecated values are still measured.
    EXPECT_EQ((std::vector<int>{16, 32}), pass(len));

    ASSERT_TRUE(len.firstValue());
    EXPECT_FALSE(len.setDeprecatedFlag(true));
    EXPECT_FALSE(len.isDeprecated());
    ASSERT_TRUE(len.nextValue());
    EXPECT_TRUE(len.setDeprecatedFlag(true));
    EXPECT_TRUE(len.isDeprecated());
    EXPECT_EQ("32(old)", str(len.getDeprecationNote()));
    EXPECT_EQ("32(old),32\n", csvLine([&](psCStream& cs) {
                  cs << len;
                  len.setDeprecatedFlag(false);
                  cs << len;
              }));
    EXPECT_FALSE(len.isDeprecated());
    EXPECT_FALSE(len.isDeprecatedValue());
}

namespace {
class FixedColumn : public psDefault<int> {
public:
    FixedColumn() : psDefault<int>(5, "Fixed") {}
    int colmIndex() const override { return 3; }
};
} // namespace

TEST(ParameterOutput, ConsoleAndCsvCells)
{
    psIterator<int> len;
    len.init("Len", 16, 32);
    len.firstValue();
    psDefault<int> nameless(7, "");
    {
        StreamCapture capture(g_ostrm, ERR | WARN | PERF);
        g_ostrm << PERF << len << nameless << len << msgRestore;
        EXPECT_EQ("Len=16 Len=16 ", capture.text());
    }

    // A nameless parameter keeps its cell empty; a fixed column does not move the next cell (the
    // writer of the line moves past the parameter columns afterwards).
    FixedColumn fixed;
    EXPECT_EQ("16,-,-,5\n", csvLine([&](psCStream& cs) {
                  cs << len << nameless << fixed;
                  EXPECT_EQ(2, cs.getColmIndex());
                  cs.setColmIndex(4);
              }));
    EXPECT_EQ("Len,-,-,Fixed\n", csvLine([&](psCStream& cs) {
                  len.nameToCStream(cs);
                  nameless.nameToCStream(cs);
                  fixed.nameToCStream(cs);
                  cs.setColmIndex(4);
              }));
}

TEST(ParameterInput, MessagesAndKeptValues)
{
    psIterator<int> len;
    len.init("Len", 16, 32);

    EXPECT_EQ("-Empty iterator definition\n Len = 16; 32\n", readParm(len, ";"));
    EXPECT_EQ("-Invalid value of Len = abc\n Len = 16; 32\n", readParm(len, "16;abc"));
    EXPECT_EQ(" Len = 16; 32\n", readParm(len, nullptr));
    EXPECT_EQ(srcDefault, g_istrm.source());
    EXPECT_EQ(" Len = 8; 16\n", readParm(len, "8;0x10"));
    EXPECT_EQ(srcData, g_istrm.source());

    psDefault<int> loops(10, "NumLoops");
    EXPECT_EQ("-Invalid value of NumLoops = many\n NumLoops = 10\n", readParm(loops, "many"));
    // An empty -d value is a value, and not a number.
    EXPECT_EQ("-Invalid value of NumLoops = \n NumLoops = 10\n", readParm(loops, ""));
    EXPECT_EQ(" NumLoops = 12\n", readParm(loops, "12"));

    psMapDefault<int>* method = newMethod();
    EXPECT_EQ(" Method = Statistic\n", readParm(*method, "s"));
    EXPECT_EQ("-Invalid value of Method = Fast\n Method = Statistic\n", readParm(*method, "Fast"));
    delete method;

    DefaultAlign align(0, "VectorAlign");
    EXPECT_EQ(" VectorAlign = 6\n", readParm(align, "70"));

    // Input off: shown, not read. No name: neither.
    loops.doInput(false);
    EXPECT_EQ(" NumLoops = 12\n", readParm(loops, "99"));
    EXPECT_EQ(12, loops.value());
    psDefault<int> nameless(3, "");
    EXPECT_EQ("", readParm(nameless, "4"));
    EXPECT_EQ(3, nameless.value());
}

TEST(ParameterInput, DataList)
{
    psDataList data;
    data.set("Len=8");
    data.set(" Method = Manual ");
    data.set("=5");   // no name before "=": the first word is the name
    data.set("Len=16"); // the later one counts
    data.set(" ", "x"); // ignored
    psString value;
    for (auto entry : {std::make_pair("Len", "16"), std::make_pair("Method", "Manual"), std::make_pair("5", "")}) {
        ASSERT_TRUE(data.get(entry.first, value));
        EXPECT_EQ(entry.second, str(value));
    }
    EXPECT_FALSE(data.get("len", value));
    EXPECT_EQ(3, data.size());
    EXPECT_EQ("Len", str(data.back().name));
}

TEST(ParameterInput, ConsoleAnswers)
{
    // Priority of -d data and the end of input are covered with the ini file in the input's own tests.
    TempFile answers("s\n\n  MAN  \n   \n");
    psIStream in;
    in.setIStream(new i_stream(answers.path().c_str(), openAsIs, true));
    ASSERT_FALSE(in.batchMode());
    testing::internal::CaptureStdout();
    // Answers are taken trimmed; an empty line gives the default. The prompt replaces the name.
    const struct { const char* name; const char* deflt; const char* prompt; const char* valid; const char* value;
                   int source; } asks[] = {{"Method", "Auto", "", "Auto|Manual", "s", srcConsole},
                                           {"Len", "16; 32", "Length", "", "16; 32", srcDefault},
                                           {"Accuracy", "5", "Accuracy, %", "", "MAN", srcConsole},
                                           {"Step", "1", "", "", "   ", srcConsole}}; // blanks are an answer
    for (const auto& a : asks) {
        EXPECT_EQ(a.value, str(in.getItemValue(a.name, a.deflt, a.prompt, a.valid))) << a.name;
        EXPECT_EQ(a.source, in.source()) << a.name;
    }
    EXPECT_EQ("\n Method [Auto] = \n Length [16; 32] = \n Accuracy, % [5] = \n Step [1] = ",
              testing::internal::GetCapturedStdout());
}
