// What the program does when things around a run go wrong: full disks, a closed console, an
// interruption, a library lacking functions, a second run on the same files, huge inputs, numbers
// out of range and a stack overflow. Each case injects one fault and checks what the user is told
// and what is left on disk.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "e2e_support.h"

using e2e::contains;
using e2e::fileExists;
using e2e::quote;
using e2e::readFile;

namespace {
// Runs a shell script in dir; what it prints (standard output and error) is the result.
std::string sh(const std::string& dir, const std::string& script)
{
    return e2e::run({"-c", "cd " + quote(dir) + " && " + script}, dir, "", "/bin/sh").out;
}

std::string program() { return quote(PS_PROGRAM); }
} // namespace

// A file that cannot be written is named with the reason, the run goes on, and a file that existed
// keeps its old content rather than a cut one.
TEST(Robustness, WriteErrorsAreReportedAndLeaveOldFilesWhole)
{
    const struct { std::string limit, keys, message, kept; } cases[] = {
        {"", "-r/dev/full", "-- Can't write file /dev/full: No space left on device", ""},
        {"ulimit -f 1;", "-rbig", "big.csv: File too large", "big.csv"},
        {"ulimit -f 1;", "-obig", "big.txt: File too large", "big.txt"}};
    for (const auto& c : cases) {
        e2e::TempDir dir;
        if (!c.kept.empty()) std::ofstream(dir.file(c.kept)) << "old\n";
        std::string out = sh(dir.path(), c.limit + program() + " -B -fsm3 -l" + quote(dir.path()) + " " + c.keys + " | cat");
        EXPECT_TRUE(contains(out, c.message)) << c.keys << "\n" << out;
        EXPECT_TRUE(contains(out, "| PS Summary")) << "the run goes on: " << c.keys;
        if (c.kept.empty()) continue;
        EXPECT_EQ(readFile(dir.file(c.kept)), "old\n") << c.keys;
        EXPECT_FALSE(fileExists(dir.file(c.kept + ".tmp"))) << c.keys;
    }
}

// With standard output closed the first file opened must not take its place.
TEST(Robustness, ClosedConsoleDoesNotLandInTheResultTable)
{
    e2e::TempDir dir;
    sh(dir.path(), program() + " -B -fsm3_msg -rr -l" + quote(dir.path()) + " >&- 2>&-");
    std::string table = readFile(dir.file("r.csv"));
    EXPECT_EQ(table.rfind("CPU,", 0), 0u) << table;
    EXPECT_FALSE(contains(table, "Command line options")) << table;
    EXPECT_TRUE(contains(table, "\ntzv_sm3_msg_digest_mb16,")) << table;
}

// Ctrl-C: the test in progress ends, the end report and files are complete, one line tells why;
// the previous run's signal file is gone from the start.
TEST(Robustness, InterruptedRunEndsWithItsReports)
{
    e2e::TempDir dir;
    std::ofstream(dir.file("ps_tzvcrypto.end")) << "stale\n";
    e2e::Terminal run({"-B", "-fsm4", "-r", "-u", "-g", "-l" + dir.path()}, dir.path());
    ASSERT_TRUE(run.waitFor("| -OK", 60)) << run.output();
    EXPECT_FALSE(fileExists(dir.file("ps_tzvcrypto.end"))) << "a signal file belongs to a finished run";
    run.interrupt();
    EXPECT_EQ(run.finish(120), 0);
    std::string console = run.output();
    size_t line = console.find("-- Run interrupted by SIGINT: the tests done so far are reported\n");
    ASSERT_NE(line, std::string::npos) << console;
    EXPECT_NE(console.find("| PS Summary", line), std::string::npos) << console;
    EXPECT_EQ(console.find("tzv_sm4_xts_encrypt"), std::string::npos) << "the run stopped early";
    EXPECT_TRUE(contains(readFile(dir.file("ps_tzvcrypto_sum.csv")), "Number of tests"));
    EXPECT_TRUE(contains(readFile(dir.file("ps_tzvcrypto.csv")), "\ntzv_sm4_"));
    EXPECT_NE(readFile(dir.file("ps_tzvcrypto.end")), "");
    EXPECT_EQ(sh(dir.path(), "ls *.tmp 2>/dev/null"), "");
}

// A replacement library without some functions: their tests fail with the name, the others run.
TEST(Robustness, MissingLibraryFunctionsFailOnlyTheirTests)
{
    e2e::TempDir dir;
    std::string out = e2e::run({"-B", "-fsm3_msg", "-fsm4_gcm_enc", "-fsm4_encrypt_ecb"}, dir.path(), "", PS_PROGRAM,
                               "LD_LIBRARY_PATH=" + quote(PS_MISSING_LIB_DIR)).out;
    for (const char* text :
         {"-- Function tzv_sm3_msg_digest_mb16 is missing from the library in use\n| -FUNCFAIL   tzv_sm3_msg_digest",
          "-- Function tzv_sm4_gcm_init_mb16 is missing from the library in use\n| -FUNCFAIL   tzv_sm4_gcm_encrypt",
          "| -resWRNG_NOT_SUPPORTED_CPU tzv_sm4_encrypt_ecb_mb16", "| PS Summary"})
        EXPECT_TRUE(contains(out, text)) << text << "\n" << out;
}

// A second run on the files of a run in progress is refused and leaves them alone.
TEST(Robustness, SecondRunOnTheSameFilesIsRefused)
{
    e2e::TempDir dir;
    e2e::Terminal first({"-B", "-fsm3", "-rsame", "-l" + dir.path()}, dir.path());
    ASSERT_TRUE(first.waitFor("| Function", 60)) << first.output();
    std::string second = e2e::run({"-B", "-fsm3", "-rsame", "-l" + dir.path()}, dir.path()).out;
    const std::string busy = "-- Can't write file " + dir.file("same.csv") + ": it is being written by another run\n";
    EXPECT_TRUE(contains(second, busy)) << second;
    EXPECT_TRUE(contains(second, "FATAL FAIL: can't open output file for writing")) << second;
    EXPECT_EQ(first.finish(120), 0);
    std::string table = readFile(dir.file("same.csv"));
    EXPECT_TRUE(contains(table, "\ntzv_sm3_msg_digest_mb16,") && contains(table, "\ntzv_sm3_update_mb16,")) << table;
}

// Inputs of 200,000 keys or a 20 MB line load (a quadratic load would run into the test's timeout).
TEST(Robustness, HugeInputsLoad)
{
    e2e::TempDir dir;
    {
        std::ofstream ini(dir.file("keys.ini")), at(dir.file("keys.txt")), line(dir.file("line.txt"));
        ini << "[Perf System]\n";
        for (int i = 0; i < 200000; ++i) {
            ini << "k" << i << "=" << i << "\n[s" << i % 100000 << "]\n";
            at << "-dk" << i << "=" << i << " ";
        }
        line << "-fsm3_msg " << std::string(20 << 20, 'x') << "\n";
    }
    for (const std::string& key : {"-i" + dir.file("keys.ini"), "-@" + dir.file("keys.txt"), "-@" + dir.file("line.txt")})
        EXPECT_TRUE(contains(e2e::run({"-B", "-fsm3_msg", "-e", key}, dir.path()).out, "tzv_sm3_msg_digest_mb16"))
            << key.substr(0, 3);
}

// Numbers that do not fit the parameter are refused, not wrapped.
TEST(Robustness, OutOfRangeNumbersAreRefused)
{
    e2e::TempDir dir;
    std::ofstream(dir.file("big.ini")) << "[Perf System]\nAccuracy=9999999999\n";
    const std::pair<std::string, std::string> cases[] = {
        {"-dlength=4294967312", "-Invalid value of length = 4294967312\n"},
        {"-dlength=99999999999", "-Invalid value of length = 99999999999\n"},
        {"-i" + dir.file("big.ini"), "-Invalid value of Accuracy = 9999999999\n"}};
    for (const auto& c : cases) {
        std::string out = e2e::run({"-B", "-fsm3_msg", "-LPERF", c.first}, dir.path()).out;
        EXPECT_TRUE(contains(out, c.second)) << c.second << out;
    }
}

// A stack overflow inside a measured function is caught like any other fault, and the run goes on.
TEST(Robustness, StackOverflowBecomesAnException)
{
    e2e::TempDir dir;
    std::string out =
        e2e::run({"-B", "-fx25519"}, dir.path(), "", PS_PROGRAM, "LD_LIBRARY_PATH=" + quote(PS_OVERFLOW_LIB_DIR)).out;
    EXPECT_TRUE(contains(out, "--KYN. Signal: Illegal storage access.")) << out;
    EXPECT_TRUE(contains(out, "| -EXCPTFAIL  tzv_x25519_public_key_mb8")) << out;
    EXPECT_TRUE(contains(out, "-- Function tzv_x25519_mb8 is missing from the library in use")) << out;
}
