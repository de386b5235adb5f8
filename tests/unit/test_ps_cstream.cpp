// The csv table stream: cells and lines, postponed lines, duplicate watching.
#include <gtest/gtest.h>

#include <string>

#include "ps_capture.h"
#include "ps_cstream.h"

namespace {
// A csv stream writing into one temporary file.
class Table : public ::testing::Test {
protected:
    Table() : m_out(m_file.path().c_str(), openAsIs, true) { s.push_back(&m_out); }
    ~Table() override { s.clear(); }
    std::string text()
    {
        m_out.flush();
        return m_file.read();
    }
    psCStream s;

private:
    TempFile m_file;
    o_stream m_out;
};
} // namespace

TEST_F(Table, CellsLinesAndUnsetCells)
{
    s << "a" << "" << "c" << "\n";
    s << "x";
    s.setColmIndex(3);
    s << "r";
    s.lineOut(5);
    s.lineOut(0);
    s << "1,2" << "\n";
    for (int i = 0; i < 33; ++i) s << "v";
    s.lineOut(0);
    std::string expected = "a,-,c\nx,-,-,r,-\n\n1,2\n";
    for (int i = 0; i < 32; ++i) expected += i ? ",v" : "v";
    EXPECT_EQ(text(), expected + "\n");
    EXPECT_EQ(s.getLineCount(), 5);
    psString cell;
    EXPECT_FALSE(s.getColm(32, cell));
}

TEST_F(Table, PostponedLinesComeAfterTheOthersInOrder)
{
    s << "late1";
    s.linePostpone();
    s << "now" << "\n";
    s << "late2";
    s.linePostpone();
    s.linePostponeOut(2);
    s.linePostponeOut(2);
    EXPECT_EQ(text(), "now\nlate1,-\nlate2,-\n");
    EXPECT_EQ(s.getLineCount(), 3);
}

TEST_F(Table, DuplicateParameterColumnsAreNamedOnce)
{
    for (int i = 0; i < 9; ++i) s.lineOut(0); // lines 1 to 9
    StreamCapture out(g_ostrm, 3);
    s.identicalLinesStart(2);
    s << "4" << "8" << "r1" << "\n";
    s << "4" << "16" << "r2" << "\n";
    s << "4" << "8" << "r3" << "\n";
    EXPECT_TRUE(s.identicalLinesStop());
    EXPECT_EQ(out.text(), " Performance table note:\n Lines 10 & 12 have identical parameters\n");
    EXPECT_FALSE(s.identicalLinesStop());
}
