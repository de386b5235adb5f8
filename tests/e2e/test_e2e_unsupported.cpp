// The program against a libtzvcrypto.so.13 that can run nothing on this processor: every test ends
// with the unsupported-processor warning, nothing is measured, and the program was not rebuilt.
#include <gtest/gtest.h>

#include "e2e_support.h"

using e2e::lines;
using e2e::TempDir;

TEST(Unsupported, EveryTestEndsWithTheUnsupportedWarning)
{
    TempDir dir;
    std::string sum = dir.file("run_sum.csv"), csv = dir.file("run.csv");
    e2e::Run r = e2e::run({"-B", "-fnistp256", "-fsm4_encrypt_ecb", "-fsm3_msg", "-frsa_public", "-fexp_mb8", "-u" + sum,
                           "-r" + csv},
                          dir.path(), "", PS_PROGRAM, "LD_LIBRARY_PATH=" + e2e::quote(PS_UNSUPPORTED_LIB_DIR));
    EXPECT_EQ(r.status, 0);
    const std::string summary = e2e::readFile(sum);
    int unsupported = 0;
    for (const std::string& row : lines(summary)) {
        if (row.rfind("tzv_", 0) != 0) continue;
        EXPECT_NE(row.find(",resWRNG_NOT_SUPPORTED_CPU,"), std::string::npos) << row;
        ++unsupported;
    }
    // Six elliptic-curve tests (8 lanes, statuses of several calls combined), an SM4 and an SM3 test
    // (16 lanes, the set-up status compared whole), RSA (no method) and exponentiation (no buffer).
    EXPECT_EQ(unsupported, 10) << summary;
    // They count as notes, and so as failures, never as successes.
    EXPECT_PRED2(e2e::contains, summary, "END_DATA\n.Number of tests,10\n.Successes      ,0\n"
                                         ".Failures       ,10\n...Fails        ,0\n.....-FAIL      ,0\n"
                                         ".....-EXCPTFAIL ,0\n...Notes     ,10\n.....-NOTE   ,10\n"
                                         ".....-BADSTSWRN ,0\n...Undefined    ,0\n");
    // No measurement, so no result line follows the table title.
    std::vector<std::string> table = lines(e2e::readFile(csv));
    ASSERT_FALSE(table.empty());
    EXPECT_EQ(table.back().rfind("function,Parm1,", 0), 0u) << table.back();
    EXPECT_PRED2(e2e::contains, r.out, "| -resWRNG_NOT_SUPPORTED_CPU tzv_nistp256_ecdh_mb8_sts_wrapper");
}
