// The primitive test base: library statuses turned into results and notes, the function cells, the
// order by function name and the dump of the data blocks.
#include <gtest/gtest.h>

#include <string>

#include "ky_test.h"
#include "ky_vector.h"
#include "ps_capture.h"
#include "ps_cstream.h"
#include "ps_malloc.h"
#include "ps_registry.h"

namespace {
psResult loopStub(int, long long*) { return OK; }

const char* libraryText(int status)
{
    if (status == -8) return "Null pointer";
    if (status == 3) return "Odd length";
    return "Other";
}

kyTest* makeTest(const char* name, const char* info = "TimTest_KY")
{
    return new kyTest(nullptr, nullptr, loopStub, nullptr, name, "src/p_test.cpp", info);
}

// The library's status-text service, replaced for a test and restored afterwards.
class StatusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_saved = kyn_GetStatusString;
        kyn_GetStatusString = libraryText;
        kyTest::checkErrorsOnly(false);
        psTest::setCurrentResult(UNDEFINED);
    }
    void TearDown() override
    {
        kyn_GetStatusString = m_saved;
        kyTest::checkErrorsOnly(false);
        psTest::setCurrentResult(UNDEFINED);
    }

private:
    const char* (*m_saved)(int);
};
} // namespace

TEST_F(StatusTest, SuccessIsSilent)
{
    StreamCapture capture(g_ostrm, ERR | WARN | PERF);
    EXPECT_EQ(kyTest::checkStatus(0, "tzv_sm3_update_mb16"), OK);
    EXPECT_EQ(capture.text(), "");
    EXPECT_EQ(psTest::getCurrentResult(), UNDEFINED);
}

TEST_F(StatusTest, ErrorsFailWithTheLibraryText)
{
    MessageLevel level = g_ostrm.getMsgLevel();
    StreamCapture capture(g_ostrm, ERR);
    EXPECT_EQ(kyTest::checkStatus(-8, "tzv_sm4_encrypt_ecb_mb16"), FUNCFAIL);
    EXPECT_EQ(capture.text(), "--KYN FAIL. status = -8 in tzv_sm4_encrypt_ecb_mb16: Null pointer\n");
    EXPECT_EQ(psTest::getCurrentResult(), FUNCFAIL);

    // Without a name there is no " in " part; errors print even when only errors are checked.
    kyTest::checkErrorsOnly(true);
    EXPECT_EQ(kyTest::checkStatus(-8, ""), FUNCFAIL);
    EXPECT_EQ(capture.text(), "--KYN FAIL. status = -8 in tzv_sm4_encrypt_ecb_mb16: Null pointer\n"
                              "--KYN FAIL. status = -8: Null pointer\n");
    EXPECT_EQ(g_ostrm.getMsgLevel(), level);
}

TEST_F(StatusTest, WarningsNoteUnlessOnlyErrorsAreChecked)
{
    StreamCapture capture(g_ostrm, ERR | WARN);
    EXPECT_EQ(kyTest::checkStatus(3, "f"), FUNCWRN);
    EXPECT_EQ(capture.text(), "--KYN NOTE. status = 3 in f: Odd length\n");
    EXPECT_EQ(psTest::getCurrentResult(), FUNCWRN);

    kyTest::checkErrorsOnly(true);
    EXPECT_EQ(kyTest::checkStatus(3, "f"), OK);
    EXPECT_EQ(capture.text(), "--KYN NOTE. status = 3 in f: Odd length\n");

    // A later, milder result never improves the current one; a failure makes it worse.
    kyTest::checkErrorsOnly(false);
    EXPECT_EQ(kyTest::checkStatus(-1, "f"), FUNCFAIL);
    EXPECT_EQ(kyTest::checkStatus(2, "f"), FUNCWRN);
    EXPECT_EQ(psTest::getCurrentResult(), FUNCFAIL);
}

TEST_F(StatusTest, WarningsCountAsSuccessWhenTheConsoleShowsErrorsOnly)
{
    StreamCapture capture(g_ostrm, ERR);
    EXPECT_EQ(kyTest::checkStatus(3, "f"), FUNCWRN);
    EXPECT_EQ(capture.text(), ""); // the note is at WARN level
    EXPECT_EQ(psTest::getCurrentResult(), OK);
}

TEST_F(StatusTest, MemberFormUsesTheFunctionNameAndBuiltInTextsStandIn)
{
    kyTest* test = makeTest("tzv_rsa_public_mb8_sts_wrapper");
    StreamCapture capture(g_ostrm, ERR | WARN);
    EXPECT_EQ(test->checkStatus(-8), FUNCFAIL);
    EXPECT_EQ(capture.text(), "--KYN FAIL. status = -8 in tzv_rsa_public_mb8_sts_wrapper: Null pointer\n");

    // With no library text function registered, the session's built-in texts are used. The whole
    // service table is kept so that filling it leaves no trace.
    auto getCpuFeatures = kyn_GetCpuFeatures;
    auto getEnabled = kyn_GetEnabledCpuFeatures;
    auto getCache = kyn_GetMaxCacheSizeB;
    auto init = kyn_Init;
    auto setFeatures = kyn_SetCpuFeatures;
    auto setThreads = kyn_SetNumThreads;
    auto getThreads = kyn_GetNumThreads;
    kyn_GetStatusString = nullptr;
    std::string before = capture.text();
    EXPECT_EQ(kyTest::checkStatus(-2, "g"), FUNCFAIL);
    EXPECT_EQ(kyTest::checkStatus(4, "g"), FUNCWRN);
    EXPECT_EQ(capture.text(), before + "--KYN FAIL. status = -2 in g: Fail\n--KYN NOTE. status = 4 in g: Note\n");
    kyn_GetCpuFeatures = getCpuFeatures;
    kyn_GetEnabledCpuFeatures = getEnabled;
    kyn_GetMaxCacheSizeB = getCache;
    kyn_Init = init;
    kyn_SetCpuFeatures = setFeatures;
    kyn_SetNumThreads = setThreads;
    kyn_GetNumThreads = getThreads;
    delete test;
}

TEST(KyTest, WritesFunctionCellsAndOrdersByFunctionName)
{
    kyTest* add = makeTest("kynsAdd_32f_I");
    kyTest* addPlain = makeTest("kynsAdd_32f");
    kyTest* mb = makeTest("tzv_nistp256_ecdsa_sign_mb8");

    g_cstrm.setColmIndex(0);
    add->funcToCstrm();
    mb->funcToCstrm();
    psString cell;
    const char* expected[] = {"kynsAdd", "32f", "I", "tzv_nistp256_ecdsa_sign_mb8", "", ""};
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(g_cstrm.getColm(i, cell));
        EXPECT_EQ(cell, expected[i]) << i;
        g_cstrm.setColm(i, "");
    }
    EXPECT_EQ(g_cstrm.getColmIndex(), 6);
    g_cstrm.setColmIndex(0);

    EXPECT_LT(addPlain->compareFunc(add), 0);
    EXPECT_GT(add->compareFunc(addPlain), 0);
    EXPECT_LT(add->compareFunc(mb), 0);
    EXPECT_EQ(mb->compareFunc(mb), 0);

    // Floating-point functions need flops and a floating-point type in the name.
    EXPECT_FALSE(add->isFloatFunction()); // the base test reports no flops
    delete add;
    delete addPlain;
    delete mb;
}

TEST(KyTest, RenamesTheFirstPsMacroInTheRegistrationText)
{
    kyTest* test = makeTest("tzv_sm3_update_mb16", "TimSM3_TZV//PS_REG_PS_X");
    psString info = test->regInfo();
    EXPECT_EQ(info.find("   Test has been registered by KY_REG_PS_X macro"), 0) << info.c_str();
    EXPECT_FALSE(info.found("PS_REG"));
    delete test;
}

TEST(KyTest, DumpsEveryDataBlockAtTheDataLevel)
{
    kyTest* test = makeTest("tzv_sm3_update_mb16");
    unsigned char* bytes = static_cast<unsigned char*>(psTest::allocate(3, 0));
    ASSERT_NE(bytes, nullptr);
    bytes[0] = 0x01;
    bytes[1] = 0xAB;
    bytes[2] = 0xFF;
    kyVector vector(2, ky32s, 0);
    vector.get32s()[0] = -5;
    vector.get32s()[1] = 12;
    void* hidden = psMalloc(16, 0, 0, MEM_OBJECT_IS_SUBOBJECT); // not shown
    void* ownerless = psMalloc(16, 0, 0, nullptr);               // not shown

    {
        // Below the data level nothing is written.
        StreamCapture capture(g_ostrm, ERR | WARN | PERF | INFO);
        EXPECT_FALSE(test->printAllMemoryBlocks("before function calls"));
        EXPECT_EQ(capture.text(), "");
    }
    MessageLevel level = g_ostrm.getMsgLevel();
    {
        StreamCapture capture(g_ostrm, ERR | DATA);
        EXPECT_TRUE(test->printAllMemoryBlocks("before function calls"));
        EXPECT_EQ(capture.text(), "======== OBJECTS OUTPUT START === before function calls === OBJECTS OUTPUT START ========\n"
                                  "======== Object 1: MemoryBlock size=3\n"
                                  " 01 AB FF\n"
                                  "\n"
                                  "======== Object 2: Vector type=32s length=2 size=8\n"
                                  "          -5          12\n"
                                  "\n"
                                  "======== OBJECTS OUTPUT END === before function calls === OBJECTS OUTPUT END ========\n");
        EXPECT_EQ(g_ostrm.getMsgLevel(), level);
    }
    psFree(hidden);
    psFree(ownerless);
    psTest::deallocate(bytes);
    vector.deleteVector();
    {
        StreamCapture capture(g_ostrm, ERR | DATA);
        EXPECT_FALSE(test->printAllMemoryBlocks("after"));
        EXPECT_EQ(capture.text(), "======== OBJECTS OUTPUT START === after === OBJECTS OUTPUT START ========\n"
                                  "======== OBJECTS OUTPUT END === after === OBJECTS OUTPUT END ========\n");
    }
    delete test;
}
