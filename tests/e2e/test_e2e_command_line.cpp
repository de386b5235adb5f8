// The command line as a user types it: where keys come from, how tokens become keys, what each key
// reports, and which files the keys name and open. Most runs end on purpose with an unreadable key
// file: the run then stops right after the report, with every key reported at its normal level.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e_support.h"

using e2e::contains;
using e2e::expectLines;
using e2e::fileExists;
using e2e::lines;
using e2e::readFile;

namespace {
const char* const fatalOutput = "FATAL FAIL: can't open output file for writing";

// The program under a title of our own: <root>/bin/tool.x, started from <root>/run.
struct Installed {
    Installed()
    {
        mkdir(bin.c_str(), 0755);
        mkdir(cwd.c_str(), 0755);
        if (symlink(PS_PROGRAM, program.c_str()) != 0) ADD_FAILURE() << "cannot link " << program;
    }
    e2e::Run run(const std::vector<std::string>& args) const { return e2e::run(args, cwd, "", program); }
    void write(const std::string& path, const std::string& text) const { std::ofstream(path, std::ios::binary) << text; }

    e2e::TempDir dir;
    const std::string root = dir.path(), bin = root + "/bin/", cwd = root + "/run", program = bin + "tool.x";
};
} // namespace

TEST(CommandLine, EveryKeyReportsItsSettingOrWhyItIsIgnored)
{
    Installed p;
    const std::string b = p.bin;
    p.write(b + "copy.txt", "old\n");
    e2e::Run r = p.run({"plain", "-B", "-ATiming", "-AParams", "-A", "-AMisalign", "-dA=1", "-d=2", "-dnoeq", "-d",
                        "-LDATA", "-LMEM", "-Lxyz", "-J0x10", "-J0", "-c0x20", "-c0", "-c-5", "-cabc", "-j3", "-j0",
                        "-YHIGH", "-YNORMAL", "-YLOW", "-Yhigh", "-H", "-HONLY", "-W", "-SU", "-C", "-s-", "-s",
                        "-kor", "-kand", "-Fecdsa", "-f!", "abc", "-f!abc", "-f-", "abc", "-fsign", "-f+mb8", "-f=x",
                        "-t+TimECC", "-t-SM2", "-t=y", "-tECC", "-t!y", "-t", "-mecc", "-m+p_", "-m-x",
                        "-m=p_tzv_ecc", "-m", "-n", "-p", "-l", "-T", "-N0", "-N4", "-P", "-i", "-Irun", "-Z",
                        "plain", "/B", "-o", "-Ocopy", "-r", "out", "-rout2", "extra", "-u", "-Usum2", "-g",
                        "-@missing.txt"});
    EXPECT_EQ(r.status, 0);
    const std::vector<std::string> report = {
        "Command line options: ", "-B: batch mode", "-ATiming: ask timing method from console",
        "-AParams: ask common parameters from console",
        "-A: ask timing method, common parameters, data misalignment, each test parameters from console",
        "-AMisalign: ask data misalignment from console", "-dA=1: set PS parameter A=1",
        "-d=2: ignored: incorrect data format", "-dnoeq: ignored: incorrect data format",
        "-d: ignored: empty data argument",
        "-LDATA: write fails,notes,performance results,tracing info,data info to console",
        "-LMEM: write fails,notes,performance results,memory info to console",
        "-Lxyz: ignored: incorrect level of console output",
        "-J0x10: set the number of external measurement loops to (0x10)",
        "-J0: ignored: incorrect number of external loops", "-c0x20: set measurement loop to (0x20) milliseconds",
        "-c0: ignored: incorrect number of milliseconds", "-c-5: ignored: incorrect number of milliseconds",
        "-cabc: ignored: incorrect number of milliseconds", "-j3: set minimun number of measurement loops to (3)",
        "-j0: ignored: incorrect number of loops", "-YHIGH: set high process priority",
        "-YNORMAL: set normal process priority", "-YLOW: set low process priority",
        "-Yhigh: ignored: incorrect process priority value", "-H: add 'Interest' column to table file",
        "-HONLY: run tests for hot functions only", "-W: unmask floating-point exceptions",
        "-SU: include to measurement data set & use time",
        "-C: test data size will be in cache and out of cache if that is supported by test",
        "-s-: don't sort functions", "-s: sort functions",
        "-kor: keys composition: -f<conditions> OR -t<conditions> OR -m<conditiosn>",
        "-kand: keys composition: -f<conditions> AND -t<conditions> AND -m<conditions>",
        "-Fecdsa: start testing from ecdsa function", "-f!: ignored: empty function pattern",
        "-f!abc: don't test functions equal to 'abc'", "-f-abc: don't test functions containing 'abc'",
        "-fsign: test functions containing 'sign'", "-f+mb8: don't test functions without 'mb8' in the name",
        "-f=x: test a function equal to 'x'", "-t+TimECC: don't run tests which doesn't contain 'TimECC'",
        "-t-SM2: don't run tests containing 'SM2'", "-t=y: run test equal to 'y'", "-tECC: run tests containing 'ECC'",
        "-t!y: ", "-t: ignored: empty test pattern", "-mecc: run tests from file containing 'ecc' in file name",
        "-m+p_: don't run tests from file which doesn't contain 'p_' in file name",
        "-m-x: don't run tests from file containing 'x' in file name",
        "-m=p_tzv_ecc: run test equal from file with exact name 'p_tzv_ecc'", "-m: ignored: empty file pattern",
        "-n: ignored: empty default name", "-p: ignored: empty directory name", "-l: ignored: empty directory name",
        "-T: ignored: incorrect CPU features", "-N0: ignored: incorrect number of threads",
        "-N4: call kyncpSetNumThreads(4)", "-P: read tested function names from ini-file if any",
        "-i: read from " + b + "tool.ini", "-Irun: write PS parameters to " + b + "run.ini and exit",
        "-Zplain: ignored: incorrect option key", "-B: batch mode", "-o: write console output to " + b + "tool.txt",
        "-Ocopy: add console output to " + b + "copy.txt", "-rout: write performance result table to " + b + "out.csv",
        "-rout2: write performance result table to " + b + "out2.csv",
        "-u: write summary table to " + b + "tool_sum.csv", "-Usum2: add summary table to " + b + "sum2_sum.csv",
        "-g: create file " + b + "tool.end at the end of PS work",
        fatalOutput};
    std::vector<std::string> want = {"-- Can't open file " + b + "missing.txt to read: "};
    want.insert(want.end(), report.begin(), report.end());
    expectLines(lines(r.out), want, r.out);

    // The console copies get the report from the moment they are attached; -O keeps what was there.
    std::string copied;
    for (const std::string& line : report) copied += line + "\n";
    EXPECT_EQ(readFile(b + "tool.txt"), copied);
    EXPECT_EQ(readFile(b + "copy.txt"), "old\n" + copied);
    // Tables are opened (and stay empty: no test ran); extra was dropped, not used as a file.
    for (const char* name : {"out.csv", "out2.csv", "tool_sum.csv", "sum2_sum.csv"}) {
        EXPECT_TRUE(fileExists(b + name)) << name;
        EXPECT_EQ(readFile(b + name), "") << name;
    }
    EXPECT_FALSE(fileExists(b + "extra.csv"));
    // The signal file is written even when the command line ends the run.
    EXPECT_TRUE(fileExists(b + "tool.end"));
    // Ini files are not touched when the run ends at the command line.
    EXPECT_FALSE(fileExists(b + "run.ini"));
    EXPECT_FALSE(fileExists(b + "tool.ini"));
}

TEST(CommandLine, ExitKeysTurnReportsIntoIgnoredTexts)
{
    Installed p;
    const std::string b = p.bin;

    // -h anywhere on the line: keys that matter only for a measurement say why they are ignored,
    // those that open files still open them; the last help key decides the help.
    e2e::Run h = p.run({"-B", "-fsign", "-e", "-s-", "-HONLY", "-c0x20", "-rx", "-??", "-h", "-hS", "-g"});
    EXPECT_EQ(h.status, 0);
    expectLines(lines(h.out),
                {"Command line options: ", "-B: ignored because of -h option", "-fsign: ignored because of -h option",
                 "-e: ignored because of -h option", "-s-: ignored because of -h option",
                 "-HONLY: ignored because of -h option", "-c0x20: set measurement loop to (0x20) milliseconds",
                 "-rx: write performance result table to " + b + "x.csv",
                 "-??: type extended help with hidden keys and exit", "-h: type short help and exit",
                 "-hS: type extended help for -S key and exit",
                 "-g: create file " + b + "tool.end at the end of PS work", ""},
                h.out, false);
    EXPECT_TRUE(contains(h.out, "\nEXTENDED KEY HELP\n-SU              = measure functions with data set & use\n"));
    EXPECT_FALSE(contains(h.out, "QUICK HELP"));
    EXPECT_TRUE(fileExists(b + "x.csv"));
    EXPECT_TRUE(fileExists(b + "tool.end"));

    // -e: the listing ends the run; a lone "-" after it becomes its argument.
    e2e::Run e = p.run({"-B", "-e", "-", "-fsign", "-f!", "-rlist"});
    EXPECT_EQ(e.status, 0);
    expectLines(lines(e.out),
                {"Command line options: ", "-B: ignored because of -e option",
                 "-e-: enumerate not applied library functions and exit", "-fsign: test functions containing 'sign'",
                 "-f!: ignored: empty function pattern", "-rlist: write performance result table to " + b + "list.csv"},
                e.out, false);
    EXPECT_NE(e.out.find("   #\tFunction\tTest\tSource\t\n"), std::string::npos) << e.out;
    EXPECT_EQ(e.out.find("PS Summary"), std::string::npos) << "no test may run";
    EXPECT_NE(readFile(b + "list.csv").find("   #,Function,Test,Source\n"), std::string::npos);
}

TEST(CommandLine, KeysComeFromArgumentsCfgFileOrKeyFiles)
{
    Installed p;
    const std::string b = p.bin;
    // Only the first line of a .cfg file counts, and only its first 1023 characters; a semicolon,
    // a double quote and a tab separate keys like a blank.
    p.write(p.cwd + "/tool.cfg", "\t-v;\"-rres\"\n-B\n");
    p.write(b + "tool.cfg", "-v" + std::string(1030, ' ') + "-B\n-Z\n");

    e2e::Run here = p.run({});
    std::vector<std::string> out = lines(here.out);
    ASSERT_EQ(out.size(), 5u) << here.out;
    expectLines(out,
                {"Command line options: read from tool.cfg file",
                 "-v: type the version number of the Performance System and exit",
                 "-rres: write performance result table to " + b + "res.csv", ""},
                here.out, false);
    EXPECT_EQ(out[4].substr(0, 38), "Orvel(R) Kyn. Performance System 2.0, ");
    EXPECT_TRUE(fileExists(b + "res.csv"));

    unlink((p.cwd + "/tool.cfg").c_str());
    e2e::Run beside = p.run({});
    expectLines(lines(beside.out), {"Command line options: read from " + b + "tool.cfg file",
                                    "-v: type the version number of the Performance System and exit"},
                beside.out, false);
    EXPECT_EQ(beside.out.find("-B:"), std::string::npos) << beside.out;

    // Arguments win over the .cfg file. A key file acts as its lines typed in its place: -h in it
    // prints help without changing how the other keys report, -p, -l and -n in it change nothing,
    // and a key file named inside a key file is not read.
    p.write(p.cwd + "/keys.txt", "-B\n-r\nres2\n-h\n-lelse\n-nother\n-@keys.txt\n");
    e2e::Run files = p.run({"-p" + p.cwd, "-@keys.txt", "-r", "-@missing.txt"});
    expectLines(lines(files.out),
                {"-- Can't open file " + p.cwd + "/missing.txt to read: ", "Command line options: ",
                 "-p" + p.cwd + ": open test data files & ini-file in " + p.cwd + "/", "-B: batch mode",
                 "-rres2: write performance result table to " + b + "res2.csv", "-h: type short help and exit",
                 "-lelse: open output files in " + b + "else/",
                 "-nother: name ini-file and output files as other.<proper-ext>", "-@keys.txt: ignored",
                 "-r: write performance result table to " + b + "tool.csv", fatalOutput},
                files.out);
    EXPECT_TRUE(fileExists(b + "res2.csv"));
    EXPECT_TRUE(fileExists(b + "tool.csv"));

    e2e::Run help = p.run({"-p" + p.cwd, "-@keys.txt"});
    EXPECT_NE(help.out.find("-B: batch mode\n"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("\nQUICK HELP\n"), std::string::npos) << help.out;
    EXPECT_EQ(help.out.find("PS Summary"), std::string::npos);
}

TEST(CommandLine, FileNamesFollowDirectoriesTitleAndExtensions)
{
    Installed p;
    const std::string b = p.bin;
    const std::string o = b + "out/";
    mkdir(o.c_str(), 0755);
    const std::string abs = p.root + "/abs.csv";
    // The separate absolute path is a key of its own: -t with what follows "/t".
    const std::string absKey = "-" + abs.substr(1);
    e2e::Run r = p.run({"-lout", "-nmy", "-r", "-rrun1", "-rrun1.txt", "-r../up", "-o", "-u", "-g", "-r", abs,
                        "-r" + p.root + "/abs2.csv", "-rnodir/x", "-o" + p.root, "-pdata", "-i",
                        "-pC:\\work"});
    EXPECT_EQ(r.status, 0);
    expectLines(lines(r.out),
                {"-- Can't open file " + o + "nodir/x.csv to write: ",
                 "-- Can't open file " + p.root + " to write: ", "Command line options: ",
                 "-lout: open output files in " + o, "-nmy: name ini-file and output files as my.<proper-ext>",
                 "-r: write performance result table to " + o + "my.csv",
                 "-rrun1: write performance result table to " + o + "run1.csv",
                 "-rrun1.txt: write performance result table to " + o + "run1.txt",
                 "-r../up: write performance result table to " + o + "../up",
                 "-o: write console output to " + o + "my.txt", "-u: write summary table to " + o + "my_sum.csv",
                 "-g: create file " + o + "my.end at the end of PS work",
                 "-r: write performance result table to " + o + "my.csv",
                 absKey + ": run tests containing '" + abs.substr(2) + "'",
                 "-r" + p.root + "/abs2.csv: write performance result table to " + p.root + "/abs2.csv",
                 "-rnodir/x: write performance result table to " + o + "nodir/x.csv",
                 "-o" + p.root + ": write console output to " + p.root,
                 "-pdata: open test data files & ini-file in " + b + "data/",
                 // Only the last -p counts, whatever its place on the line.
                 "-i: read from C:\\work/my.ini", "-pC:\\work: open test data files & ini-file in C:\\work/",
                 fatalOutput},
                r.out);
    for (const std::string& made : {o + "my.csv", o + "run1.csv", o + "run1.txt", b + "up", o + "my.txt",
                                    o + "my_sum.csv", p.root + "/abs2.csv", o + "my.end"})
        EXPECT_TRUE(fileExists(made)) << made;
    // A missing directory is not created; nothing lands in the current directory.
    EXPECT_FALSE(fileExists(o + "nodir"));
    EXPECT_FALSE(fileExists(abs));
    // The copy was attached before the two failures, so it holds everything that was printed.
    EXPECT_EQ(readFile(o + "my.txt"), r.out);
    EXPECT_EQ(e2e::run({"-c", "ls -A | grep -vx .stdin"}, p.cwd, "", "/bin/sh").out, "");

    // Started through the search path, the program has no directory: files go to the current one.
    e2e::Run path = e2e::run({"-v", "-rres", "-g"}, p.cwd, "", "tool.x", "PATH=" + b + ":$PATH");
    EXPECT_TRUE(contains(path.out, "\n-rres: write performance result table to res.csv\n")) << path.out;
    EXPECT_TRUE(fileExists(p.cwd + "/res.csv"));
    EXPECT_TRUE(fileExists(p.cwd + "/tool.end"));
}

TEST(CommandLine, HostileKeyFilesNeitherCrashNorHang)
{
    Installed p;
    std::string text;
    for (int i = 0; i < 10000; ++i) text += "-Z" + std::to_string(i) + "\n";
    text += "-f" + std::string(100000, 'a') + "\n";
    text += std::string(100000, 'x') + "\n";
    text += std::string("-B\0-Zafter\n", 11);
    text += "-t\xc3\x28\xff\xfe\n";
    text += std::string(600, '\0') + "\n";
    text += "-c0x20\n";
    p.write(p.cwd + "/hostile.txt", text);

    e2e::Run r = p.run({"-p" + p.cwd, "-@hostile.txt", "-@missing.txt"});
    EXPECT_EQ(r.status, 0);
    std::vector<std::string> out = lines(r.out);
    ASSERT_GE(out.size(), 10007u) << r.out.substr(0, 2000);
    EXPECT_EQ(out[1], "Command line options: ");
    for (int i = 0; i < 10000; ++i)
        if (out[3 + i] != "-Z" + std::to_string(i) + ": ignored: incorrect option key") {
            ADD_FAILURE() << "line " << 3 + i << ": " << out[3 + i];
            break;
        }
    EXPECT_EQ(out[10003], "-f" + std::string(100000, 'a') + ": test functions containing '" + std::string(100000, 'a') + "'");
    // The line of x is no key and is dropped; text behind a NUL byte is lost, the keys before it
    // and on later lines are not.
    EXPECT_EQ(out[10004], "-B: batch mode");
    EXPECT_EQ(out[10005], "-t\xc3\x28\xff\xfe: run tests containing '\xc3\x28\xff\xfe'");
    EXPECT_EQ(out[10006], "-c0x20: set measurement loop to (0x20) milliseconds");
    EXPECT_EQ(out.back(), fatalOutput);
}
