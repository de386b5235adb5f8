// What each key sets, read where its users read it: the end-to-end runs show the key reports but
// not most of these values.
#include <gtest/gtest.h>

#include "ps_capture.h"
#include "ps_conditions.h"
#include "ps_istream.h"
#include "ps_malloc.h"
#include "ps_services.h"
#include "ps_session.h"
#include "ps_settings.h"
#include "ps_test.h"
#include "ps_test_list.h"
#include "ps_tool.h"

namespace {
struct KeySession : psSession {
    KeySession()
    {
        psFillKynStubs();
        initSession();
    }
    // The program's session lives until the process ends; this one hands back its conditions.
    ~KeySession() { delete m_pConditions; }
};
} // namespace

TEST(Options, EachKeyWritesTheSettingItsReaderSees)
{
    psSettings saved = g_settings;
    KeySession session;
    // Applied in this order, so a row that must leave a value alone follows one that set it.
    const struct { char key; const char* arg; int (*read)(const psSession&); int want; } cases[] = {
        {'c', "0x20", [](const psSession&) { return psTool::getNumMilliseconds(); }, 32},
        {'c', "0", [](const psSession&) { return psTool::getNumMilliseconds(); }, 32},
        {'j', "7", [](const psSession&) { return psTool::getMinNumLoops(); }, 7},
        {'J', "5", [](const psSession&) { return psTool::getNumExtLoops(); }, 5},
        {'J', "x", [](const psSession&) { return psTool::getNumExtLoops(); }, 5},
        {'Y', "LOW", [](const psSession&) { return psTool::getPriority(); }, 3},
        {'Y', "high", [](const psSession&) { return psTool::getPriority(); }, 3},
        {'H', "ONLY", [](const psSession&) { return psTest::getHotMode(); }, 2},
        {'H', "", [](const psSession&) { return psTest::getHotMode(); }, 1},
        {'P', "", [](const psSession&) { return (int)psTest::getPressingMode(); }, 1},
        {'C', "", [](const psSession&) { return (int)psTest::getCacheMode(); }, 1},
        {'F', "ecdsa", [](const psSession&) { return (int)(psTestList::getStartFunction() == "ecdsa"); }, 1},
        {'A', "Misalign", [](const psSession& s) { return s.getAskMode(); }, 4},
        {'A', "Timing", [](const psSession& s) { return s.getAskMode(); }, 5},
        {'L', "DATA", [](const psSession& s) { return s.getLevelMode(); }, 87},
        {'B', "", [](const psSession& s) { return (int)s.getBatMode(); }, 1},
        {'e', "-", [](const psSession& s) { return s.getEnumMode(); }, -1},
        {'S', "", [](const psSession&) { return (int)g_settings.realMeasure; }, 1},
        {'d', "Accuracy=3", [](const psSession&) { return (int)g_settings.data.size(); }, 1},
    };
    {
        StreamCapture capture(g_ostrm, ERR);
        for (const auto& c : cases) {
            session.applyOption(c.key, c.arg);
            EXPECT_EQ(c.read(session), c.want) << "-" << c.key << c.arg;
        }
    }
    g_settings = saved;
}

TEST(Options, DataAndSetAndUseReachTheInputAndTheToolAfterTheKeys)
{
    psSettings saved = g_settings;
    psTool tool = g_tool;
    g_tool = psTool();
    KeySession session;
    char arg0[] = "ps", arg1[] = "-dAccuracy=3", arg2[] = "-B", arg3[] = "-SU";
    char* argv[] = {arg0, arg1, arg2, arg3};
    {
        StreamCapture capture(g_ostrm, ERR);
        ASSERT_TRUE(session.parseCommandLine(4, argv));
        session.readCommonData();
    }
    EXPECT_DOUBLE_EQ(g_tool.getAccuracy(), 0.03);
    EXPECT_TRUE(g_tool.getRealMeasure());
    EXPECT_EQ(session.getAskMode(), 0);
    g_istrm.getDataList().clear();
    g_tool = tool;
    g_settings = saved;
    psSetAlignByByte(false);
    psSetVectorAlign(0);
}
