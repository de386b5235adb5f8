// The common settings as a user meets them: the console dialogue on a real terminal and on a pipe,
// the ini file written with -I, read with -i and pressed with -P, -d values, and input that is
// broken. Each run estimates the processor frequency, so every run here shows several facts.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "e2e_support.h"

using e2e::contains;
using e2e::lines;
using e2e::TempDir;

namespace {

const std::string stars = " " + std::string(78, '*') + "\n";

std::string framed(const std::string& title)
{
    int length = (int)title.size(), pad = (80 - length) / 2;
    return stars + " *" + std::string(pad - 2, ' ') + title + std::string(78 - pad - length, ' ') + "*\n" + stars;
}

// A hung dialogue must fail the test, not stop the suite.
e2e::Run run(const std::vector<std::string>& args, const std::string& dir, const std::string& input = "")
{
    return e2e::run(args, dir, input, PS_PROGRAM, "timeout 120");
}

// The number of calls in each result row's Comment cell ("nCalls=7").
std::vector<int> callsOf(const std::string& csv)
{
    std::vector<int> calls;
    std::smatch m;
    for (const auto& row : e2e::resultRows(csv))
        calls.push_back(row.size() > 10 && std::regex_match(row[9], m, std::regex("nCalls=([0-9]+)")) ? std::stoi(m[1]) : -1);
    return calls;
}

} // namespace

TEST(Dialogue, TerminalChoosesTheTimingMethod)
{
    TempDir dir;
    std::string csv = dir.file("r.csv");
    e2e::Terminal term({"-ftzv_nistp256_ecdsa_sign_mb8", "-r" + csv}, dir.path());
    ASSERT_TRUE(term.started());
    // Each question shows before the program waits for its answer.
    ASSERT_TRUE(term.waitFor("\n Method {Auto|Manual|Statistic|Iterative} [Auto] = ", 60)) << term.output();
    term.answer("s");
    ASSERT_TRUE(term.waitFor("\n NumCalls [3] = ", 30)) << term.output();
    term.answer("5");
    ASSERT_TRUE(term.waitFor("\n TotalCpuClocks [10000] = ", 30)) << term.output();
    term.answer("");
    EXPECT_EQ(0, term.finish(120));

    // The title comes before the first question; the answers are echoed by the terminal. Statistic
    // has no accuracy, and the alignment is not asked without -AMisalign.
    std::string out = term.output();
    EXPECT_PRED2(contains, out, framed("Specify timing method, please") +
                                    "\n Method {Auto|Manual|Statistic|Iterative} [Auto] = s\n Method = Statistic\n"
                                    "\n NumCalls [3] = 5\n NumCalls = 5\n\n TotalCpuClocks [10000] = \n"
                                    " TotalCpuClocks = 10000\n AlignVectorsBy = element\n VectorAlign = 0\n" +
                                    framed("End of common specifications"));
    EXPECT_FALSE(contains(out, "Accuracy")) << out;
    // The measurement used the statistic method with at least the calls asked for.
    std::vector<int> calls = callsOf(e2e::readFile(csv));
    ASSERT_EQ(1u, calls.size()) << e2e::readFile(csv);
    EXPECT_GE(calls[0], 5);
}

TEST(Dialogue, PipedAnswersBatchModeAndDataValues)
{
    TempDir dir;
    // End of input in the middle takes the defaults. Without a terminal the answers are not
    // echoed: each result follows its question.
    e2e::Run r = run({"-f__psOrvelCpu"}, dir.path(), "stat\n");
    EXPECT_EQ(0, r.status) << r.out;
    EXPECT_PRED2(contains, r.out, "[Auto] =  Method = Statistic\n\n NumCalls [3] =  NumCalls = 3\n"
                                  "\n TotalCpuClocks [10000] =  TotalCpuClocks = 10000\n"
                                  " AlignVectorsBy = element\n VectorAlign = 0\n" +
                                      framed("End of common specifications"));
    EXPECT_TRUE(contains(r.out, "| -OK         __psOrvelCpu")) << r.out;

    // -AMisalign asks the alignment only, and the first-vector question only for a misalignment.
    r = run({"-AMisalign", "-f__psOrvelCpu"}, dir.path(), "byte\n7\nno\n");
    EXPECT_PRED2(contains, r.out, " Method = Auto\n Accuracy = 5\n" + framed("Specify vectors alignment, please") +
                                      "\n AlignVectorsBy {byte|element} [element] =  AlignVectorsBy = byte\n"
                                      "\n VectorAlign by Byte, 0..63 [0] =  VectorAlign = 7\n"
                                      "\n MisalignFirstVectorOnly {yes|no} [yes] =  MisalignFirstVectorOnly = no\n" +
                                      framed("End of common specifications"));

    // Batch mode wins over -A: nothing asked, nothing framed. Of two -d for a name the later counts;
    // a -d without "=" is reported as ignored, yet its name reaches the data with an empty value;
    // values that do not convert keep the defaults; a name no test uses is not shown. The table
    // title under -H ends with the Interest cell.
    std::string csv = dir.file("hot.csv");
    r = run({"-AAll", "-B", "-f__psOrvelCpu", "-H", "-r" + csv, "-dMethod=Fast", "-dMethod=Manual", "-dNumLoops",
             "-dVectorAlign=x", "-dMutualVectorShift=128"},
            dir.path(), "Iterative\n");
    EXPECT_PRED2(contains, r.out, "-dMethod=Fast: set PS parameter Method=Fast\n-dMethod=Manual: set PS parameter "
                                  "Method=Manual\n-dNumLoops: ignored: incorrect data format\n");
    EXPECT_PRED2(contains, r.out, "\n Method = Manual\n-Invalid value of NumLoops = \n NumLoops = 10\n"
                                  " AlignVectorsBy = element\n-Invalid value of VectorAlign = x\n VectorAlign = 0\n");
    EXPECT_FALSE(contains(r.out, "MutualVectorShift =")) << r.out;
    EXPECT_FALSE(contains(r.out, stars)) << r.out;
    EXPECT_FALSE(contains(r.out, "] = ")) << r.out;
    EXPECT_PRED2(contains, e2e::readFile(csv), "\nfunction,Parm1,Parm2,Parm3,Parm4,Parm5,Parm6,Parm7,Parm8,Comment,"
                                               "Clocks,per,Time (usec),MFlops,Interest\n");
}

TEST(Dialogue, IniFileWrittenReadEditedAndPressed)
{
    TempDir dir;
    const std::string ini = dir.file("p256.ini");
    std::string sections;
    for (const char* op : {"ecdh", "ecdsa_sign_complete", "ecdsa_sign", "ecdsa_sign_setup", "ecdsa_verify", "ecpublic_key"})
        sections += std::string("\n[tzv_nistp256_") + op + "_mb8_sts_wrapper]\n";
    const std::string rsa = "\n[tzv_rsa_public_mb8_sts_wrapper]\nN-bitLength=", sm3 = "\n[tzv_sm3_msg_digest_mb16_sts_wrapper]\nlength=";
    const std::vector<std::string> select = {"-ftzv_nistp256_ec", "-frsa_public", "-fsm3_msg"};
    auto with = [&](std::vector<std::string> args) { return args.insert(args.end(), select.begin(), select.end()), args; };

    // -I: every selected test's section with its parameters' default lists, the common values with
    // their defaults, nothing measured.
    std::string csv = dir.file("write.csv");
    e2e::Run r = run(with({"-B", "-I" + ini, "-r" + csv}), dir.path());
    EXPECT_TRUE(contains(r.out, "-I" + ini + ": write PS parameters to " + ini + " and exit\n")) << r.out;
    const std::string written = "\n[Perf System]\nMethod=Auto\t// Auto|Manual|Statistic|Iterative\nAccuracy=5\n"
                                "AlignVectorsBy=element\t// byte|element\nVectorAlign=0\n" + sections + rsa +
                                "1024; 2048; 3072; 4096\n" + sm3 + "16; 64; 128; 256; 1024; 2048; 3072; 4096; 8192; 16384; 32768\n";
    EXPECT_EQ(written, e2e::readFile(ini));
    EXPECT_TRUE(e2e::resultRows(e2e::readFile(csv)).empty()) << e2e::readFile(csv);

    // -i with edited values: the run follows them, through every test's statistic entry point, and
    // the file stays as it was.
    std::string edited = written;
    edited.replace(edited.find("Method=Auto"), 11, "Method = Statistic   // edited\nNumCalls=7");
    edited.replace(edited.find(rsa) + rsa.size(), 22, "2048");
    edited.replace(edited.find(sm3) + sm3.size(), 60, "64");
    std::ofstream(ini, std::ios::binary) << edited;
    csv = dir.file("edited.csv");
    r = run(with({"-B", "-LPERF", "-i" + ini, "-r" + csv}), dir.path());
    EXPECT_TRUE(contains(r.out, "-i" + ini + ": read from " + ini + "\n")) << r.out;
    EXPECT_PRED2(contains, r.out, " Method = Statistic\n NumCalls = 7\n TotalCpuClocks = 10000\n"
                                  " AlignVectorsBy = element\n VectorAlign = 0\n");
    const std::vector<std::string> out = lines(r.out);
    EXPECT_EQ(8, std::count(out.begin(), out.end(), "   statMethod is called for measuring.")) << r.out;
    std::vector<std::vector<std::string>> rows = e2e::resultRows(e2e::readFile(csv));
    std::vector<int> calls = callsOf(e2e::readFile(csv));
    ASSERT_EQ(8u, calls.size()) << e2e::readFile(csv);
    for (int n : calls) EXPECT_GE(n, 7) << e2e::readFile(csv);
    EXPECT_EQ(rows[6][0] + " " + rows[6][3], "tzv_rsa_public_mb8_sts_wrapper 2048");
    EXPECT_EQ(rows[7][0] + " " + rows[7][1], "tzv_sm3_msg_digest_mb16 64");
    EXPECT_EQ(edited, e2e::readFile(ini));

    // -I over the edited file keeps what it holds, adds what was missing at the end of its
    // section, and drops the comments that were only in the file.
    r = run({"-B", "-I" + ini, "-ftzv_nistp256_ecdh"}, dir.path());
    EXPECT_EQ("\n[Perf System]\nMethod=Statistic\nNumCalls=7\nAccuracy=5\nAlignVectorsBy=element\nVectorAlign=0\n"
              "TotalCpuClocks=10000\n" + sections + rsa + "2048\n" + sm3 + "64\n",
              e2e::readFile(ini));

    // -P runs exactly the tests named by the file's sections, in the list's own order.
    const std::string two = dir.file("two.ini");
    std::ofstream(two) << "[tzv_sm2_ecdsa_verify_mb8_sts_wrapper]\n[tzv_nistp256_ecdh_mb8_sts_wrapper]\n[no_such_function]\n";
    csv = dir.file("pressed.csv");
    r = run({"-B", "-P", "-i" + two, "-r" + csv}, dir.path());
    EXPECT_TRUE(contains(r.out, "-P: read tested function names from ini-file if any\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "| .Number of tests : 2 ")) << r.out;
    rows = e2e::resultRows(e2e::readFile(csv));
    ASSERT_EQ(2u, rows.size()) << e2e::readFile(csv);
    EXPECT_EQ("tzv_nistp256_ecdh_mb8", rows[0][0]);
    EXPECT_EQ("tzv_sm2_ecdsa_verify_mb8", rows[1][0]);
}

TEST(Dialogue, UnusableIniFiles)
{
    TempDir dir;
    // An ini file that cannot be written ends the run before any test.
    e2e::Run r = run({"-B", "-I" + dir.file("no/such/dir.ini")}, dir.path());
    EXPECT_EQ(0, r.status);
    EXPECT_TRUE(contains(r.out, "FATAL FAIL: can't open ini-file for writing\n")) << r.out;
    EXPECT_FALSE(contains(r.out, "Method =")) << r.out;
    EXPECT_FALSE(contains(r.out, "Function  :")) << r.out;

    // A directory is no file: pressing it selects nothing away and the defaults stay.
    r = run({"-B", "-P", "-i" + dir.path() + "/", "-ftzv_nistp384_ecdh"}, dir.path());
    EXPECT_TRUE(contains(r.out, "-- Can't open file " + dir.path() + "/")) << r.out;
    EXPECT_TRUE(contains(r.out, "| .Number of tests : 1 ")) << r.out;
    EXPECT_PRED2(contains, r.out, " Method = Auto\n Accuracy = 5\n AlignVectorsBy = element\n VectorAlign = 0\n");
}
