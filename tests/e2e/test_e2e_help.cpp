// The help output, compared character for character with the texts the program must print.
#include <gtest/gtest.h>

#include <regex>

#include "e2e_support.h"

using e2e::run;
using e2e::TempDir;

namespace {
const char* const quickHelp =
    "QUICK HELP\n"
    "-B               = batch mode (no console input)\n"
    "-A<Timing|Params|Misalign|All> = set detail level of the console input\n"
    "-d<name>=<value> = set PS parameter value\n"
    "-i[<file-name>]  = read PS parameters from ini-file\n"
    "-I[<file-name>]  = write PS parameters to ini-file and exit\n"
    "-P               = read tested function names from ini-file\n"
    "-o[<file-name>]  = create txt-file and write console output\n"
    "-O[<file-name>]  = add console output to txt-file\n"
    "-L<ERR|WARN|PERF|INFO|TRACE|DATA> = set detail level of the console output\n"
    "-J[<min-loops>]  = number of external measurement loops\n"
    "-r[<file-name>]  = create csv-file and write PS results\n"
    "-R[<file-name>]  = add PS results to csv-file\n"
    "-u[<file-name>]  = create csv-file and write summary table ('_sum' is added to default title name)\n"
    "-U[<file-name>]  = add summary table to csv-file ('_sum' is added to default title name)\n"
    "-g[<file-name>]  = create signal file at the end of the whole testing\n"
    "-n<title-name>   = default title name for ini-file and output files\n"
    "-p<dir-name>     = default directory for input files i.e. ini & test data files\n"
    "-l<dir-name>     = default directory for output files (listings)\n"
    "-f < or-pattern> = run tests for functions with pattern in name\n"
    "-f-<not-pattern> = don't run tests for functions with pattern in name\n"
    "-f+<and-pattern> = run only tests for functions with pattern in name\n"
    "-f=< eq-pattern> = run tests for a function with this exact name\n"
    "-f!< eq-pattern> = don't run tests for a function with this exact name\n"
    "-t[-|+|=]<patrn> = run (don't run) tests with pattern in test name\n"
    "-m[-|+|=]<patrn> = run (don't run) tests registered in file with pattern in file name\n"
    "-k<and|or>       = compose different keys (-f,-t,-m) by logical operation\n"
    "-F<func-name>    = start testing from function with func-name full name\n"
    "-Y<HIGH|NORMAL>  = set high or normal process prioritY (normal is default)\n"
    "-H[ONLY]         = add 'Interest' column to table file [and run only hot tests]\n"
    "-W= unmask floating-point exceptions\n"
    "-T[<cpu-features>]   = call kyncpSetCpuFeatures( cpuFeatures )\n"
    "-N[<num-threads>]= call kyncpSetNumThreads( <num-threads> )\n"
    "-s[-]            = sort or don't sort functions (sort mode is default)\n"
    "-e               = enumerate tests and exit\n"
    "-v               = type the version number of the Performance System and exit\n"
    "-@<file-name>    = read command line options from specified file\n"
    "-h               = type short help and exit\n"
    "-hh              = type extended help and exit\n"
    "-h<key>          = type extended help for the key and exit\n"
    "-c[<num-ms>]     = set min number of ms for 1 measurement\n"
    "-j[<min-loops>]  = minimal number of measurement loops\n";

const std::regex banner(R"(\nOrvel\(R\) Kyn\. Performance System 2\.0, [A-Z][a-z]{2} [ 1-3][0-9] [0-9]{4}\n)");

// The output after the options report and the banner.
std::string afterBanner(const std::string& out)
{
    std::smatch m;
    if (!std::regex_search(out, m, banner)) return "<no banner>";
    return m.suffix();
}
} // namespace

TEST(Help, QuickHelpWithAndWithoutHiddenKeys)
{
    TempDir dir;
    e2e::Run r = run({"-h"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, r.out.find("\nOrvel")), "Command line options: \n-h: type short help and exit\n");
    EXPECT_EQ(afterBanner(r.out), quickHelp);

    r = run({"-?"}, dir.path());
    std::string expected = quickHelp;
    expected.replace(0, std::string("QUICK HELP\n").size(), "QUICK HELP with hidden keys\n");
    expected.insert(expected.find("-s[-]"),
                    "-SU              = measure functions with data set & use\n"
                    "-C               = run tests with data in cache and out of cache (if that is supported by test)\n");
    EXPECT_EQ(afterBanner(r.out), expected);
    EXPECT_TRUE(e2e::contains(r.out, "-?: type short help with hidden keys and exit\n"));
}

TEST(Help, ExtendedHelpAndKeyDescriptions)
{
    TempDir dir;
    const std::string tail = "\nUse -h option to type full key list\n";
    const std::pair<const char*, std::string> keys[] = {
        {"-hS", "EXTENDED KEY HELP\n-SU              = measure functions with data set & use\n"
                "This option should be used to prove parallelize function advantage\n"
                "Test does not show clear function performance\n" + tail},
        {"-h?", "EXTENDED KEY HELP\nKey -? is deprecated\n"
                "-?               = type short help with hidden keys and exit\n"
                "-??              = type extended help with hidden keys and exit\n"
                "-?<key>          = type extended help for the key and exit\n"
                "If several -? keys present in command line then only the last key is valid\n" + tail},
        {"-hZ", "EXTENDED KEY HELP\nKey -Z is not valid\n" + tail},
        {"-he", "EXTENDED KEY HELP\n-e               = enumerate tests and exit\nNo extended description for this key\n" + tail},
    };
    for (const auto& k : keys) EXPECT_EQ(afterBanner(run({k.first}, dir.path()).out), k.second) << k.first;

    std::string full = afterBanner(run({"-hh"}, dir.path()).out);
    ASSERT_EQ(full.rfind("EXTENDED HELP\n", 0), 0u) << full.substr(0, 200);
    EXPECT_TRUE(e2e::contains(full, "\n-B               = batch mode (no console input)\n"
                                    "If both -B and -A key present in command line then -B key is performed\n"));
    EXPECT_FALSE(e2e::contains(full, "-SU"));
    std::string hidden = afterBanner(run({"-??"}, dir.path()).out);
    EXPECT_EQ(hidden.rfind("EXTENDED HELP with hidden keys\n", 0), 0u);
    EXPECT_TRUE(e2e::contains(hidden, "\n-SU              = measure functions with data set & use\n"
                                      "This is hidden key used by developers only\n"));
    // The -T description lists the feature names where its tab stood.
    EXPECT_TRUE(e2e::contains(hidden, "kynCPUID_AVX2"));
    EXPECT_FALSE(e2e::contains(hidden, "\t"));
}
