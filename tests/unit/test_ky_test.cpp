// The primitive test base: library statuses turned into results and notes, and the registration text.
#include <gtest/gtest.h>

#include <string>

#include "ky_test.h"
#include "ps_capture.h"
#include "ps_registry.h"
#include "ps_services.h"

namespace {
psResult loopStub(int, long long*) { return OK; }
const char* libraryText(int status) { return status == -8 ? "Null pointer" : "Odd length"; }
} // namespace

TEST(KyTest, LibraryStatusesBecomeResultsAndMessages)
{
    const char* (*saved)(int) = kyn_GetStatusString;
    kyn_GetStatusString = libraryText;
    // A later, milder result never improves the current one; at ERR level a note counts as OK.
    const struct { int status; const char* name; bool errorsOnly; OutputLevel level; psResult result, current;
                   const char* text; } cases[] = {
        {0, "f", false, ERR | WARN, OK, UNDEFINED, ""},
        {-8, "tzv_sm4_encrypt_ecb_mb16", false, ERR, FUNCFAIL, FUNCFAIL,
         "--KYN FAIL. status = -8 in tzv_sm4_encrypt_ecb_mb16: Null pointer\n"},
        {-8, "", true, ERR, FUNCFAIL, FUNCFAIL, "--KYN FAIL. status = -8: Null pointer\n"},
        {3, "f", false, ERR | WARN, FUNCWRN, FUNCWRN, "--KYN NOTE. status = 3 in f: Odd length\n"},
        {3, "f", true, ERR | WARN, OK, UNDEFINED, ""},
        {3, "f", false, ERR, FUNCWRN, OK, ""}};
    for (const auto& c : cases) {
        psTest::setCurrentResult(UNDEFINED);
        kyTest::checkErrorsOnly(c.errorsOnly);
        StreamCapture capture(g_ostrm, c.level);
        EXPECT_EQ(kyTest::checkStatus(c.status, c.name), c.result) << c.status;
        EXPECT_EQ(capture.text(), c.text);
        EXPECT_EQ(psTest::getCurrentResult(), c.current) << c.status << c.errorsOnly;
    }
    kyTest::checkErrorsOnly(false);
    StreamCapture capture(g_ostrm, ERR | WARN);
    EXPECT_EQ(kyTest::checkStatus(2, "f"), FUNCWRN);
    EXPECT_EQ(psTest::getCurrentResult(), FUNCWRN);
    EXPECT_EQ(kyTest::checkStatus(-1, "f"), FUNCFAIL);
    EXPECT_EQ(kyTest::checkStatus(2, "f"), FUNCWRN);
    EXPECT_EQ(psTest::getCurrentResult(), FUNCFAIL);
    psTest::setCurrentResult(UNDEFINED);
    kyn_GetStatusString = saved;
}

TEST(KyTest, RegistrationTextNamesTheMacro)
{
    // The first "PS_" of the macro name becomes "KY_".
    kyTest add(nullptr, nullptr, loopStub, nullptr, "kynsAdd_32f_I", "src/p_test.cpp", "TimTest//PS_REG_PS_X");
    psString info = add.regInfo();
    EXPECT_EQ(info.find("   Test has been registered by KY_REG_PS_X macro"), 0) << info.c_str();
}
