// The csv table stream: watching for lines with the same parameters.
#include <gtest/gtest.h>

#include <string>

#include "ps_capture.h"
#include "ps_cstream.h"

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
