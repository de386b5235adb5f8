// The common settings as a user meets them: the console dialogue on a real terminal, the ini file
// written with -I, read with -i and pressed with -P, -d values, and input that is broken.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "e2e_support.h"

using e2e::lines;
using e2e::run;
using e2e::TempDir;

namespace {

// A hung dialogue must fail the test, not stop the suite.
const std::string limit = "timeout 120";

const std::string stars = " " + std::string(78, '*') + "\n";

std::string framed(const std::string& title)
{
    int length = (int)title.size();
    int pad = (80 - length) / 2;
    return stars + " *" + std::string(pad - 2, ' ') + title + std::string(78 - pad - length, ' ') + "*\n" + stars;
}

const std::string commonDefaults =
    " Method = Auto\n Accuracy = 5\n AlignVectorsBy = element\n VectorAlign = 0\n";

const std::string writtenCommon = "\n[Perf System]\n"
                                  "Method=Auto\t// Auto|Manual|Statistic|Iterative\n"
                                  "Accuracy=5\n"
                                  "AlignVectorsBy=element\t// byte|element\n"
                                  "VectorAlign=0\n";

const char* const p256[] = {"tzv_nistp256_ecdh_mb8_sts_wrapper",
                            "tzv_nistp256_ecdsa_sign_complete_mb8_sts_wrapper",
                            "tzv_nistp256_ecdsa_sign_mb8_sts_wrapper",
                            "tzv_nistp256_ecdsa_sign_setup_mb8_sts_wrapper",
                            "tzv_nistp256_ecdsa_verify_mb8_sts_wrapper",
                            "tzv_nistp256_ecpublic_key_mb8_sts_wrapper"};

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The rows of measured functions in a result table: function name -> cells.
std::vector<std::vector<std::string>> resultRows(const std::string& csv)
{
    std::vector<std::vector<std::string>> rows;
    for (const std::string& line : lines(csv)) {
        if (line.compare(0, 4, "tzv_") != 0) continue;
        std::vector<std::string> cells;
        size_t start = 0;
        for (size_t comma; (comma = line.find(',', start)) != std::string::npos; start = comma + 1)
            cells.push_back(line.substr(start, comma - start));
        cells.push_back(line.substr(start));
        rows.push_back(cells);
    }
    return rows;
}

// Cell 9 is Comment, 10 Clocks (function, Parm1..Parm8 before them).
long long clocksOf(const std::vector<std::string>& row) { return row.size() > 10 ? std::atoll(row[10].c_str()) : -1; }

// The program on a pseudo-terminal of its own, as an operator at a console would see it.
class Terminal {
public:
    Terminal(const std::vector<std::string>& args, const std::string& dir)
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) return;
        std::string slave = ptsname(m_master);
        m_pid = fork();
        if (m_pid == 0) {
            setsid();
            int fd = open(slave.c_str(), O_RDWR);
            if (fd < 0) _exit(126);
            dup2(fd, 0);
            dup2(fd, 1);
            dup2(fd, 2);
            if (fd > 2) close(fd);
            close(m_master);
            if (chdir(dir.c_str()) != 0) _exit(126);
            std::vector<char*> argv;
            std::string program = PS_PROGRAM;
            argv.push_back(&program[0]);
            std::vector<std::string> copies(args);
            for (std::string& a : copies) argv.push_back(&a[0]);
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
    }
    ~Terminal()
    {
        if (m_pid > 0 && !m_reaped) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_master >= 0) close(m_master);
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    bool started() const { return m_master >= 0 && m_pid > 0; }

    // Reads until the text has appeared after the last answer, or the time is up.
    bool waitFor(const std::string& text, int seconds)
    {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!contains(m_output.substr(m_mark), text)) {
            if (!readSome(end)) return false;
        }
        m_mark = m_output.find(text, m_mark) + text.size();
        return true;
    }
    void answer(const std::string& line)
    {
        std::string text = line + "\n";
        ssize_t written = write(m_master, text.data(), text.size());
        (void)written;
    }
    // Reads to the end of the output; the exit status, or -1 when the time ran out.
    int finish(int seconds)
    {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (readSome(end)) {
        }
        int status = 0;
        for (;;) {
            pid_t done = waitpid(m_pid, &status, WNOHANG);
            if (done == m_pid) {
                m_reaped = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            if (std::chrono::steady_clock::now() > end) return -1;
            usleep(10000);
        }
    }
    // What the terminal showed, with its carriage returns removed.
    std::string output() const
    {
        std::string text;
        for (char c : m_output)
            if (c != '\r') text += c;
        return text;
    }

private:
    bool readSome(std::chrono::steady_clock::time_point end)
    {
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd p = {m_master, POLLIN, 0};
            int ready = poll(&p, 1, (int)left.count());
            if (ready <= 0) continue;
            char buffer[4096];
            ssize_t n = read(m_master, buffer, sizeof buffer);
            if (n <= 0) return false; // the program closed the terminal
            m_output.append(buffer, n);
            return true;
        }
    }

    int m_master = -1;
    pid_t m_pid = -1;
    bool m_reaped = false;
    std::string m_output;
    size_t m_mark = 0;
};

} // namespace

TEST(Dialogue, TerminalChoosesTheTimingMethod)
{
    TempDir dir;
    std::string csv = dir.file("r.csv");
    Terminal term({"-ftzv_nistp256_ecdsa_sign_mb8", "-r" + csv}, dir.path());
    ASSERT_TRUE(term.started());
    ASSERT_TRUE(term.waitFor("\n Method {Auto|Manual|Statistic|Iterative} [Auto] = ", 60)) << term.output();
    term.answer("s");
    ASSERT_TRUE(term.waitFor("\n NumCalls [3] = ", 30)) << term.output();
    term.answer("5");
    ASSERT_TRUE(term.waitFor("\n TotalCpuClocks [10000] = ", 30)) << term.output();
    term.answer("");
    EXPECT_EQ(0, term.finish(120));

    std::string out = term.output();
    // The title comes before the first question; the answers are echoed by the terminal.
    EXPECT_TRUE(contains(out, framed("Specify timing method, please") +
                                  "\n Method {Auto|Manual|Statistic|Iterative} [Auto] = s\n Method = Statistic\n"))
        << out;
    EXPECT_TRUE(contains(out, "\n NumCalls [3] = 5\n NumCalls = 5\n\n TotalCpuClocks [10000] = \n"
                              " TotalCpuClocks = 10000\n AlignVectorsBy = element\n VectorAlign = 0\n" +
                                  framed("End of common specifications")))
        << out;
    // Statistic has no accuracy, and the alignment is not asked without -AMisalign.
    EXPECT_FALSE(contains(out, "Accuracy")) << out;
    EXPECT_FALSE(contains(out, "AlignVectorsBy {")) << out;

    // The measurement used the statistic method with at least the calls asked for.
    std::vector<std::vector<std::string>> rows = resultRows(e2e::readFile(csv));
    ASSERT_EQ(1u, rows.size()) << e2e::readFile(csv);
    EXPECT_EQ("tzv_nistp256_ecdsa_sign_mb8", rows[0][0]);
    std::smatch calls;
    ASSERT_TRUE(std::regex_match(rows[0][9], calls, std::regex("nCalls=([0-9]+)"))) << rows[0][9];
    EXPECT_GE(std::stoi(calls[1]), 5);
    EXPECT_GT(clocksOf(rows[0]), 0);
}

TEST(Dialogue, EndOfInputInTheMiddleTakesTheDefaults)
{
    TempDir dir;
    e2e::Run r = run({"-f__psOrvelCpu"}, dir.path(), "stat\n", PS_PROGRAM, limit);
    EXPECT_EQ(0, r.status) << r.out;
    // Without a terminal the answers are not echoed: each result follows its question.
    EXPECT_TRUE(contains(r.out, "[Auto] =  Method = Statistic\n\n NumCalls [3] =  NumCalls = 3\n"
                                "\n TotalCpuClocks [10000] =  TotalCpuClocks = 10000\n"
                                " AlignVectorsBy = element\n VectorAlign = 0\n" +
                                    framed("End of common specifications")))
        << r.out;
    EXPECT_TRUE(contains(r.out, "| -OK         __psOrvelCpu")) << r.out;

    // Batch mode wins over -A: nothing asked, nothing framed. The table title follows: under -H
    // it ends with the Interest cell.
    std::string csv = dir.file("hot.csv");
    r = run({"-AAll", "-B", "-f__psOrvelCpu", "-H", "-r" + csv}, dir.path(), "Manual\n", PS_PROGRAM, limit);
    EXPECT_TRUE(contains(r.out, commonDefaults)) << r.out;
    EXPECT_FALSE(contains(r.out, stars)) << r.out;
    EXPECT_FALSE(contains(r.out, "] = ")) << r.out;
    EXPECT_TRUE(contains(e2e::readFile(csv), "\nfunction,Parm1,Parm2,Parm3,Parm4,Parm5,Parm6,Parm7,Parm8,Comment,Clocks,"
                                             "per,Time (usec),MFlops,Interest\n"))
        << e2e::readFile(csv);

    // -AMisalign asks the alignment only, and the first-vector question only for a misalignment.
    r = run({"-AMisalign", "-f__psOrvelCpu"}, dir.path(), "byte\n7\nno\n", PS_PROGRAM, limit);
    EXPECT_TRUE(contains(r.out, " Method = Auto\n Accuracy = 5\n" + framed("Specify vectors alignment, please") +
                                    "\n AlignVectorsBy {byte|element} [element] =  AlignVectorsBy = byte\n"
                                    "\n VectorAlign by Byte, 0..63 [0] =  VectorAlign = 7\n"
                                    "\n MisalignFirstVectorOnly {yes|no} [yes] =  MisalignFirstVectorOnly = no\n" +
                                    framed("End of common specifications")))
        << r.out;
}

TEST(Dialogue, DataValuesThatDoNotConvertKeepTheDefaults)
{
    TempDir dir;
    e2e::Run r = run({"-B", "-f__psOrvelCpu", "-dMethod=Fast", "-dAccuracy=abc", "-dVectorAlign=x",
                      "-dMutualVectorShift=128"},
                     dir.path(), "", PS_PROGRAM, limit);
    EXPECT_TRUE(contains(r.out, "-dMethod=Fast: set PS parameter Method=Fast\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "-Invalid value of Method = Fast\n Method = Auto\n"
                                "-Invalid value of Accuracy = abc\n Accuracy = 5\n"
                                " AlignVectorsBy = element\n"
                                "-Invalid value of VectorAlign = x\n VectorAlign = 0\n"))
        << r.out;
    EXPECT_FALSE(contains(r.out, "MutualVectorShift =")) << r.out;

    // A -d without "=" is reported as ignored, yet its name reaches the data with an empty value;
    // the later of two -d for a name counts.
    r = run({"-B", "-f__psOrvelCpu", "-dMethod=Iterative", "-dMethod=Manual", "-dNumLoops"}, dir.path(), "",
            PS_PROGRAM, limit);
    EXPECT_TRUE(contains(r.out, "-dNumLoops: ignored: incorrect data format\n")) << r.out;
    EXPECT_TRUE(contains(r.out, " Method = Manual\n-Invalid value of NumLoops = \n NumLoops = 10\n")) << r.out;
}

TEST(Dialogue, IniFileWrittenReadAndEdited)
{
    TempDir dir;
    std::string ini = dir.file("p256.ini");
    std::string csv = dir.file("write.csv");

    // -I: every selected test's section, the common values with their defaults, nothing measured.
    e2e::Run r = run({"-B", "-I" + ini, "-ftzv_nistp256_ec", "-r" + csv}, dir.path(), "", PS_PROGRAM, limit);
    EXPECT_TRUE(contains(r.out, "-I" + ini + ": write PS parameters to " + ini + " and exit\n")) << r.out;
    std::string expected = writtenCommon;
    for (const char* name : p256) expected += std::string("\n[") + name + "]\n";
    EXPECT_EQ(expected, e2e::readFile(ini));
    EXPECT_TRUE(resultRows(e2e::readFile(csv)).empty()) << e2e::readFile(csv);

    // -i: the same values, the file left as it was, and a real measurement.
    csv = dir.file("read.csv");
    r = run({"-B", "-i" + ini, "-ftzv_nistp256_ecdh", "-r" + csv}, dir.path(), "", PS_PROGRAM, limit);
    EXPECT_TRUE(contains(r.out, "-i" + ini + ": read from " + ini + "\n")) << r.out;
    EXPECT_TRUE(contains(r.out, commonDefaults)) << r.out;
    EXPECT_EQ(expected, e2e::readFile(ini));
    std::vector<std::vector<std::string>> rows = resultRows(e2e::readFile(csv));
    ASSERT_EQ(1u, rows.size()) << e2e::readFile(csv);
    EXPECT_GT(clocksOf(rows[0]), 0);

    // An edited value changes the run.
    std::string edited = expected;
    edited.replace(edited.find("Method=Auto"), 11, "Method = Statistic   // edited\nNumCalls=7");
    std::ofstream(ini, std::ios::binary) << edited;
    csv = dir.file("edited.csv");
    r = run({"-B", "-i" + ini, "-ftzv_nistp256_ecdh", "-r" + csv}, dir.path(), "", PS_PROGRAM, limit);
    EXPECT_TRUE(contains(r.out, " Method = Statistic\n NumCalls = 7\n TotalCpuClocks = 10000\n"
                                " AlignVectorsBy = element\n VectorAlign = 0\n"))
        << r.out;
    rows = resultRows(e2e::readFile(csv));
    ASSERT_EQ(1u, rows.size()) << e2e::readFile(csv);
    std::smatch calls;
    ASSERT_TRUE(std::regex_match(rows[0][9], calls, std::regex("nCalls=([0-9]+)"))) << rows[0][9];
    EXPECT_GE(std::stoi(calls[1]), 7);

    // -I over the edited file keeps what it holds, adds what was missing at the end of its
    // section, and drops the comments that were only in the file.
    r = run({"-B", "-I" + ini, "-ftzv_nistp256_ecdh"}, dir.path(), "", PS_PROGRAM, limit);
    std::string rewritten = "\n[Perf System]\nMethod=Statistic\nNumCalls=7\nAccuracy=5\nAlignVectorsBy=element\n"
                            "VectorAlign=0\nTotalCpuClocks=10000\n";
    for (const char* name : p256) rewritten += std::string("\n[") + name + "]\n";
    EXPECT_EQ(rewritten, e2e::readFile(ini));
}

TEST(Dialogue, PressingRunsExactlyTheSectionsOfTheFile)
{
    TempDir dir;
    std::string ini = dir.file("two.ini");
    std::ofstream(ini) << "[tzv_sm2_ecdsa_verify_mb8_sts_wrapper]\n"
                          "[tzv_nistp256_ecdh_mb8_sts_wrapper]\n"
                          "[no_such_function]\n";
    std::string csv = dir.file("r.csv");
    e2e::Run r = run({"-B", "-P", "-i" + ini, "-r" + csv}, dir.path(), "", PS_PROGRAM, limit);
    EXPECT_TRUE(contains(r.out, "-P: read tested function names from ini-file if any\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "| .Number of tests : 2 ")) << r.out;
    EXPECT_FALSE(contains(r.out, "__psOrvelCpu")) << r.out;
    std::vector<std::vector<std::string>> rows = resultRows(e2e::readFile(csv));
    ASSERT_EQ(2u, rows.size()) << e2e::readFile(csv);
    // The list's own order, not the file's.
    EXPECT_EQ("tzv_nistp256_ecdh_mb8", rows[0][0]);
    EXPECT_EQ("tzv_sm2_ecdsa_verify_mb8", rows[1][0]);

    // Without a readable ini file pressing selects nothing away.
    std::string missing = dir.file("missing.ini");
    r = run({"-B", "-P", "-i" + missing, "-ftzv_nistp384_ecdh"}, dir.path(), "", PS_PROGRAM, limit);
    EXPECT_TRUE(contains(r.out, "-- Can't open file " + missing + " to read: \n")) << r.out;
    EXPECT_TRUE(contains(r.out, "| .Number of tests : 1 ")) << r.out;
    EXPECT_TRUE(contains(r.out, commonDefaults)) << r.out;
    EXPECT_FALSE(e2e::fileExists(missing));
}

TEST(Dialogue, BrokenIniFiles)
{
    TempDir dir;
    // CRLF lines, a line of 100,000 characters, unbalanced brackets, a NUL byte, duplicate
    // sections and keys.
    std::string content = "[Perf System]\r\nMethod=Iterative\r\n" + std::string(100000, 'x') + "\r\n" +
                          "[broken\r\nalso]\r\n" + std::string("Method=Manual\0[evil]\r\n", 22) +
                          "[other]\r\nNumLoops=99\r\n[Perf System]\r\nNumLoops=9\r\nNumLoops=3\r\n";
    std::string ini = dir.file("bad.ini");
    std::ofstream(ini, std::ios::binary) << content;
    e2e::Run r = run({"-B", "-i" + ini, "-f__psOrvelCpu"}, dir.path(), "", PS_PROGRAM, limit);
    EXPECT_EQ(0, r.status);
    EXPECT_TRUE(contains(r.out, " Method = Manual\n NumLoops = 3\n AlignVectorsBy = element\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "| -OK         __psOrvelCpu")) << r.out;

    // An ini file that cannot be written ends the run before any test.
    std::string unwritable = dir.file("no/such/dir.ini");
    r = run({"-B", "-I" + unwritable}, dir.path(), "", PS_PROGRAM, limit);
    EXPECT_EQ(0, r.status);
    EXPECT_TRUE(contains(r.out, "FATAL FAIL: can't open ini-file for writing\n")) << r.out;
    EXPECT_FALSE(contains(r.out, "Method =")) << r.out;
    EXPECT_FALSE(contains(r.out, "Function  :")) << r.out;

    // A file with no section at all gives nothing; a directory is no file.
    std::ofstream(dir.file("flat.ini")) << "Method=Manual\nNumLoops=3\n";
    r = run({"-B", "-i" + dir.file("flat.ini"), "-f__psOrvelCpu"}, dir.path(), "", PS_PROGRAM, limit);
    EXPECT_TRUE(contains(r.out, commonDefaults)) << r.out;
    r = run({"-B", "-i" + dir.path() + "/", "-f__psOrvelCpu"}, dir.path(), "", PS_PROGRAM, limit);
    EXPECT_TRUE(contains(r.out, "-- Can't open file " + dir.path() + "/")) << r.out;
    EXPECT_TRUE(contains(r.out, commonDefaults)) << r.out;
}
