// The csv table stream: cells and lines, postponed lines, duplicate watching.
#include <gtest/gtest.h>

#include <string>

#include "ps_capture.h"
#include "ps_cstream.h"

TEST(CsvTable, UnsetCellsPostponedLinesAndTheRowLimit)
{
    TempFile file;
    psCStream s;
    ASSERT_TRUE(s.addStream(file.path().c_str(), false));
    s << "late";
    s.linePostpone();
    s << "a" << "" << "c" << "\n";
    s << "x";
    s.setColmIndex(3);
    s << "r";
    s.lineOut(5);
    for (int i = 0; i < 33; ++i) s << "v"; // one cell more than a row holds
    s.lineOut(0);
    s.linePostponeOut(2);
    s.closeFiles(); // a file takes its new content when complete
    std::string row;
    for (int i = 0; i < 32; ++i) row += i ? ",v" : "v";
    EXPECT_EQ(file.read(), "a,-,c\nx,-,-,r,-\n" + row + "\nlate,-\n");
    EXPECT_EQ(s.getLineCount(), 4);
}

TEST(CsvTable, LinesWithTheSameParameterCellsAreNamedOnce)
{
    psCStream s;
    for (int i = 0; i < 9; ++i) s.lineOut(0); // lines 1 to 9, written nowhere
    StreamCapture out(g_ostrm, 3);
    s.identicalLinesStart(2);
    s << "4" << "8" << "r1" << "\n";
    s << "4" << "16" << "r2" << "\n";
    s << "4" << "8" << "r3" << "\n";
    s << "4" << "8" << "r4" << "\n";
    EXPECT_TRUE(s.identicalLinesStop());
    EXPECT_EQ(out.text(), " Performance table note:\n Lines 10 & 12 have identical parameters\n");
    EXPECT_FALSE(s.identicalLinesStop()) << "the watch ends with the stop";
}
