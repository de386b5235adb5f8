// The key table: one row per key with its letter, help, description, report and effect. Every
// effect that is a setting is written into g_settings (ps_settings.h), where its readers find it.
#include "ps_options.h"

#include "ps_command_list.h"
#include "ps_conditions.h"
#include "ps_cpu_features.h"
#include "ps_cstream.h"
#include "ps_ctrl_status.h"
#include "ps_istream.h"
#include "ps_ostream.h"
#include "ps_parse.h"
#include "ps_registry.h"
#include "ps_services.h"
#include "ps_session.h"
#include "ps_settings.h"

namespace {
// The switches the session run reads through the functions of ps_options.h.
bool& s_version = g_settings.version;
char& s_hintArg = g_settings.hintArg;
bool& s_hintHide = g_settings.hintHide;
unsigned long long& s_cpuFeature = g_settings.cpuFeature;
int& s_numThreads = g_settings.numThreads;

const char* const extIni = ".ini";
const char* const extOut = ".txt";
const char* const extCsv = ".csv";
const char* const extName = "_name.csv";
const char* const extSum = "_sum.csv";
const char* const extSgl = ".end";

// A key argument as a number greater than 0 (decimal, or hexadecimal after "0x").
bool positiveNumber(psString arg, int& n)
{
    int value = 0;
    value << arg;
    if (arg.errorConvertion() || value <= 0) return false;
    n = value;
    return true;
}

psString exitOr(int level, const psString& text) { return psSession::isExit(level) ? psSession::getExitInfo() : text; }

bool keyPresent(char key)
{
    psCommandList* keys = psSession::getCommandList();
    return keys != nullptr && keys->isKey(key);
}

// A file key's stream gets the file, or the run is marked as having a file that did not open.
void openFile(psSession* s, psFileList& stream, const psString& path, bool append)
{
    if (!stream.addStream(path, append)) s->unopenedFile();
}

// -A: T, P and M add their bits; none of them means all four.
int askValue(const psString& arg)
{
    int value = 0;
    for (int i = 0; i < arg.length(); ++i) {
        if (arg[i] == 'T') value |= 1;
        if (arg[i] == 'P') value |= 2;
        if (arg[i] == 'M') value |= 4;
    }
    return value == 0 ? 15 : value;
}
psString askText(int value)
{
    static const char* const phrases[] = {", timing method", ", common parameters", ", data misalignment",
                                          ", each test parameters"};
    psString joined;
    for (int bit = 0; bit < 4; ++bit)
        if (value & (1 << bit)) joined += phrases[bit];
    return psString("ask") + joined.substr(1) + " from console";
}

// -L: each level letter adds its mask.
int levelValue(const psString& arg)
{
    int value = 0;
    for (int i = 0; i < arg.length(); ++i) {
        switch (arg[i]) {
        case 'E': value |= 1; break;
        case 'W': value |= 3; break;
        case 'P': value |= 7; break;
        case 'I': value |= 15; break;
        case 'T': value |= 23; break;
        case 'D': value |= 71; break;
        case 'M': value |= 39; break;
        default: break;
        }
    }
    return value;
}
psString levelText(int value)
{
    static const char* const phrases[] = {"fails",         ",notes",       ",performance results", ",measurement process",
                                          ",tracing info", ",memory info", ",data info"};
    if (value == 0) return "ignored: incorrect level of console output";
    psString text = "write ";
    for (int bit = 0; bit < 7; ++bit)
        if (value & (1 << bit)) text += phrases[bit];
    return text + " to console";
}

// -d: "name=value" with a name that is not blank.
psString dataText(const psString& arg)
{
    if (arg.empty()) return "ignored: empty data argument";
    int eq = arg.find('=', 0);
    if (eq == psString::npos) return "ignored: incorrect data format";
    psString name = arg.substr(0, eq);
    name.trim();
    if (name.empty()) return "ignored: incorrect data format";
    return psString("set PS parameter ") + arg;
}

// -f, -t, -m: the prefix character of a pattern key (0 none, else '+', '-', '=' or '!') and the
// pattern after it.
char patternPrefix(const psString& arg)
{
    if (!arg.empty() && (arg[0] == '+' || arg[0] == '-' || arg[0] == '=' || arg[0] == '!')) return arg[0];
    return 0;
}
psString patternOf(const psString& arg) { return patternPrefix(arg) ? arg.substr(1) : arg; }

// The report of a pattern key of -f, -t or -m; texts[0..4] are those of the prefixes none, '+',
// '-', '=' and '!'.
psString patternText(const psString& arg, const char* what, const char* const texts[5][2])
{
    static const char prefixes[] = {0, '+', '-', '=', '!'};
    psString p = patternOf(arg);
    int index = 0;
    while (prefixes[index] != patternPrefix(arg)) ++index;
    if (index == 4 && texts[4][0] == nullptr) return "";
    if (p.empty()) return psString("ignored: empty ") + what + " pattern";
    return psString(texts[index][0]) + p + texts[index][1];
}

// The condition of a pattern key for its prefix ('!' gives none for -t and -m), or none for an
// empty pattern.
template <class Or, class And, class Not, class Equal>
RunCondition* patternCondition(const psString& arg, RunCondition* (*equalNot)(const psString&))
{
    psString p = patternOf(arg);
    if (p.empty()) return nullptr;
    switch (patternPrefix(arg)) {
    case '+': return new And(p);
    case '-': return new Not(p);
    case '=': return new Equal(p);
    case '!': return equalNot ? equalNot(p) : nullptr;
    default: return new Or(p);
    }
}
void addPatternCondition(psSession* s, RunCondition* condition)
{
    if (condition) s->addCondition(condition);
}

const char* const fTexts[5][2] = {{"test functions containing '", "'"},
                                  {"don't test functions without '", "' in the name"},
                                  {"don't test functions containing '", "'"},
                                  {"test a function equal to '", "'"},
                                  {"don't test functions equal to '", "'"}};
const char* const tTexts[5][2] = {{"run tests containing '", "'"},
                                  {"don't run tests which doesn't contain '", "'"},
                                  {"don't run tests containing '", "'"},
                                  {"run test equal to '", "'"},
                                  {nullptr, nullptr}};
const char* const mTexts[5][2] = {{"run tests from file containing '", "' in file name"},
                                  {"don't run tests from file which doesn't contain '", "' in file name"},
                                  {"don't run tests from file containing '", "' in file name"},
                                  {"run test equal from file with exact name '", "'"},
                                  {nullptr, nullptr}};
RunCondition* fEqualNot(const psString& p) { return new RunCondition_fEqualNot(p); }

// -Y: H high, N normal, L low, else 0.
int priorityValue(const psString& arg)
{
    if (arg.empty()) return 0;
    return arg[0] == 'H' ? 1 : arg[0] == 'N' ? 2 : arg[0] == 'L' ? 3 : 0;
}
const char* const priorityNames[] = {"", "high", "normal", "low"};

// -T, -N: the crypto library's features and threads.
const char* const noEnvironment = "ignored: <kyncore.h> is not included before <ky.h> in test files";

// -e: -1 for "-", 1 for "+", else 0.
int enumModeOf(const psString& arg) { return arg == "-" ? -1 : arg == "+" ? 1 : 0; }

// -h, -?: the help selector, 1 for the short help, else the argument's first letter.
char hintSelector(const psString& arg) { return arg.empty() ? 1 : arg[0]; }
psString hintText(const psString& arg, char full, const char* shortText, const char* fullText)
{
    if (arg.empty()) return shortText;
    if (arg[0] == full) return fullText;
    return psString("type extended help for -") + psString(arg[0]) + " key and exit";
}

// -c, -j, -J: a count above 0, or the key's "ignored" text.
psString countText(const psString& arg, const char* head, const char* tail, const char* ignored)
{
    int n;
    return positiveNumber(arg, n) ? psString(head) + arg + tail : psString(ignored);
}
void setCount(const psString& arg, int& setting)
{
    int n;
    if (positiveNumber(arg, n)) setting = n;
}

// Extended descriptions of the keys whose rules take more than one line.
const char* const A_descr =
    "Timing  : adjust timing method at the very beginning\n"
    "Params  : adjust common test parameters at the very beginning\n"
    "Misalign: adjust memory misalignment at the very beginning\n"
    "All     : adjust all above and each test parameters before each test\n"
    "A parameter defined by -d key or in ini-file is not asked from console\n"
    "-A key without mode is performed as -AAll\n"
    "Several -A keys are combined\n"
    "If both -B and -A key present in command line then -B key is performed\n"
    "If neither -A nor -B key is present in command line then -ATimingParams is performed\n";
const char* const d_descr =
    "Any parameter asked from console or written in ini-file may be set by -d key\n"
    "Parameter data defined by -d key have the highest priority\n"
    "Several -d keys may present in command line\n";
const char* const ini_descr =
    "Section [Perf System] holds common parameters\n"
    "Section named as a function holds parameters of this function\n"
    "A parameter is read from ini-file only if it is not defined by -d key and then it is not asked from console\n"
    "-I key puts test parameters with their default values into ini-file\n"
    "    without overwriting parameters already present there\n"
    "Default path is <default-dir>/<default-name>.ini\n"
    "    <default-dir> : <exe-file-dir> or -p key argument if any\n"
    "    <default-name>: <exe-file-name-without-extention> or -n key argument if any\n"
    "Only the last -i or -I key is valid\n";

psString outDescr(const char* first, const char* ext, const char* several, const char* last)
{
    psString text = first;
    text += psString("Default path is <default-dir>/<default-name>") + ext + "\n";
    text += "    <default-dir> : <exe-file-dir> or -l key argument if any\n";
    text += "    <default-name>: <exe-file-name-without-extention> or -n key argument if any\n";
    text += several;
    text += last;
    return text;
}

const char* const L_descr =
    "ERR  : output errors\n"
    "WARN : output errors & warnings\n"
    "PERF : output errors, warnings & performance of each parameter set\n"
    "INFO : output all above & detailed course of the measurement\n"
    "TRACE: output all above & function call tracing\n"
    "DATA : output all above & vector data before and after the library call\n"
    "Several -L keys are combined\n";
const char* const n_descr =
    "Default name is used by -i, -I, -o, -O, -r, -R, -u, -U, -g, -q keys\n"
    "If several -n keys present in command line then only the last key is valid\n";
const char* const p_descr =
    "Default input directory is used by -i, -I keys and by test data files opened by tests\n"
    "If several -p keys present in command line then only the last key is valid\n";
const char* const l_descr =
    "Default output directory is used by -o, -O, -r, -R, -u, -U, -g, -q keys\n"
    "If several -l keys present in command line then only the last key is valid\n";
const char* const selection_descr =
    "Test is run if ( f-condition AND t-condition AND m-condition ) is true\n"
    "    where each condition of a key group is\n"
    "    ( EQ-pattern1 OR EQ-pattern2 ... ) OR\n"
    "    ( ( OR-pattern1 OR OR-pattern2 ... ) AND AND-pattern1 AND AND-pattern2 ...\n"
    "      AND NOT NOT-pattern1 AND NOT NOT-pattern2 ... )\n"
    "A group without keys is not checked\n"
    "-k key changes AND between key groups to OR\n";
const char* const k_descr =
    "-kand: test is run if -f<conditions> AND -t<conditions> AND -m<conditions> are true\n"
    "-kor : test is run if -f<conditions> OR -t<conditions> OR -m<conditions> is true\n"
    "-kand is performed if no -k key is present in command line\n"
    "If several -k keys present in command line then only the last key is valid\n";
const char* const T_descr =
    "This key works only if Orvel KYN Core library environment is linked into PS\n"
    "<cpu-features> is a combination of\n\t\n"
    "If several -T keys present in command line then only the last key is valid\n";
const char* const N_descr =
    "This key works only if Orvel KYN Core library environment is linked into PS\n"
    "If several -N keys present in command line then only the last key is valid\n";
} // namespace

unsigned long long psGetCpuFeatureMask() { return s_cpuFeature; }
int psGetNumThreadsOption() { return s_numThreads; }
bool psGetVersionMode() { return s_version; }
char psGetHintArg() { return s_hintArg; }
bool psGetHintHide() { return s_hintHide; }

void psResetOptionSettings()
{
    s_version = false;
    s_hintArg = 0;
    s_hintHide = true;
    s_cpuFeature = 0;
    s_numThreads = 0;
    g_settings.data.clear();
    g_istrm.getDataList().clear();
}

// One row per key, in help order: letter, one-line help, report, effect, extended description,
// hidden. The report (info) returns the text after "-<key><arg>: "; it checks the exit level when
// the key is void in an exit mode. The effect (apply) writes its setting into g_settings; only the
// keys that open an output file act at once (on their stream), -W on the processor and the
// selection keys on the session's conditions. To add a key: add a field for its setting to
// psSettings, a row here, and read the field where the setting is used.
void psSession::initOptionTable()
{
    initOption('B', "-B               = batch mode (no console input)\n",
               [](psString) { return exitOr(1, "batch mode"); },
               [](psString, psSession*) { g_settings.batMode = true; },
               "If both -B and -A key present in command line then -B key is performed\n", false);
    initOption('A', "-A<Timing|Params|Misalign|All> = set detail level of the console input\n",
               [](psString arg) { return exitOr(1, askText(askValue(arg))); },
               [](psString arg, psSession*) { g_settings.askMode |= askValue(arg); }, A_descr, false);
    initOption('d', "-d<name>=<value> = set PS parameter value\n",
               [](psString arg) { return exitOr(1, dataText(arg)); },
               [](psString arg, psSession*) { g_settings.data.push_back(arg); }, d_descr, false);
    initOption('i', "-i[<file-name>]  = read PS parameters from ini-file\n",
               [](psString arg) { return exitOr(1, psString("read from ") + psSession::genInPath(arg, extIni)); },
               [](psString arg, psSession*) {
                   g_settings.iniName = psSession::genInPath(arg, extIni);
                   g_settings.iniWrite = false;
               },
               ini_descr, false);
    initOption('I', "-I[<file-name>]  = write PS parameters to ini-file and exit\n",
               [](psString arg) {
                   psString path = psSession::genInPath(arg, extIni);
                   return exitOr(1, psString("write PS parameters to ") + path + " and exit");
               },
               [](psString arg, psSession*) {
                   g_settings.iniName = psSession::genInPath(arg, extIni);
                   g_settings.iniWrite = true;
               },
               ini_descr, false);
    initOption('P', "-P               = read tested function names from ini-file\n",
               [](psString) { return exitOr(1, "read tested function names from ini-file if any"); },
               [](psString, psSession*) { g_settings.pressing = true; },
               "This key affects only if -i key is present in command line\n"
               "All functions present in ini-file as section names will be measured\n"
               "Other functions will not be measured\n",
               false);
    initOption('o', "-o[<file-name>]  = create txt-file and write console output\n",
               [](psString arg) { return psString("write console output to ") + psSession::genOutPath(arg, extOut); },
               [](psString arg, psSession* s) { openFile(s, g_ostrm, psSession::genOutPath(arg, extOut), false); },
               outDescr("", ".txt", "Several -o or -O keys create or open their own files\n", ""), false);
    initOption('O', "-O[<file-name>]  = add console output to txt-file\n",
               [](psString arg) { return psString("add console output to ") + psSession::genOutPath(arg, extOut); },
               [](psString arg, psSession* s) { openFile(s, g_ostrm, psSession::genOutPath(arg, extOut), true); },
               outDescr("", ".txt", "Several -o or -O keys create or open their own files\n", ""), false);
    initOption('L', "-L<ERR|WARN|PERF|INFO|TRACE|DATA> = set detail level of the console output\n",
               [](psString arg) { return exitOr(1, levelText(levelValue(arg))); },
               [](psString arg, psSession*) { g_settings.levelMode |= levelValue(arg); }, L_descr, false);
    initOption('J', "-J[<min-loops>]  = number of external measurement loops\n",
               [](psString arg) {
                   return countText(arg, "set the number of external measurement loops to (", ")",
                                    "ignored: incorrect number of external loops");
               },
               [](psString arg, psSession*) { setCount(arg, g_settings.numExtLoops); },
               "This key defines the number of external measurement loops for the whole list of functions\n", false);
    initOption('r', "-r[<file-name>]  = create csv-file and write PS results\n",
               [](psString arg) {
                   return psString("write performance result table to ") + psSession::genOutPath(arg, extCsv);
               },
               [](psString arg, psSession* s) { openFile(s, g_cstrm, psSession::genOutPath(arg, extCsv), false); },
               outDescr("This key creates table file for performance results\n", ".csv",
                        "Several -r or -R keys create or open their own files\n", ""),
               false);
    initOption('R', "-R[<file-name>]  = add PS results to csv-file\n",
               [](psString arg) {
                   return psString("add performance result table to ") + psSession::genOutPath(arg, extCsv);
               },
               [](psString arg, psSession* s) { openFile(s, g_cstrm, psSession::genOutPath(arg, extCsv), true); },
               outDescr("This key adds for performance results to table file\n", ".csv",
                        "Several -r or -R keys create or open their own files\n", ""),
               false);
    if (psGetQKeys()) {
        initOption('q',
                   "-q[<file-name>]  = create csv-file (*_name.csv is default) and write function parameter name "
                   "lines\n-q+              = add function parameter name lines to PS results table file\n",
                   [](psString arg) -> psString {
                       if (psSession::isExit(1)) return psSession::getExitInfo();
                       if (!arg.empty() && arg[0] == '+') {
                           if (!keyPresent('r') && !keyPresent('R'))
                               return "ignored because -r or -R options are not present in command line";
                           return "add function parameter name lines to csv files defined by -r & -R keys";
                       }
                       return psString("write function parameter name lines to ") + psSession::genOutPath(arg, extName);
                   },
                   [](psString arg, psSession* s) {
                       if (!arg.empty() && arg[0] == '+') {
                           g_settings.nameMode |= 1;
                           return;
                       }
                       g_settings.nameMode |= 2;
                       openFile(s, g_qstrm, psSession::genOutPath(arg, extName), false);
                   },
                   outDescr("", "_name.csv", "Several -q keys create their own files\n",
                            "-q+ key affects only if -r or -R keys are present in command line\n"),
                   false);
        initOption('Q', "-Q               = exit after function parameter name table creation\n",
                   [](psString) {
                       return exitOr(1, keyPresent('q')
                                            ? "exit after function parameter name table creation and don't run tests"
                                            : "ignored because -q option is not present in command line");
                   },
                   [](psString, psSession*) {
                       if (keyPresent('q')) g_settings.nameExit = true;
                   },
                   "This key affects only if -q or -q+ keys are present in command line\n", false);
    }
    initOption('u', "-u[<file-name>]  = create csv-file and write summary table ('_sum' is added to default title name)\n",
               [](psString arg) {
                   return exitOr(1, psString("write summary table to ") + psSession::genOutPath(arg, extSum));
               },
               [](psString arg, psSession* s) { openFile(s, g_ustrm, psSession::genOutPath(arg, extSum), false); },
               outDescr("", "_sum.csv", "Several -u or -U keys create or open their own files\n", ""), false);
    initOption('U', "-U[<file-name>]  = add summary table to csv-file ('_sum' is added to default title name)\n",
               [](psString arg) {
                   return exitOr(1, psString("add summary table to ") + psSession::genOutPath(arg, extSum));
               },
               [](psString arg, psSession* s) { openFile(s, g_ustrm, psSession::genOutPath(arg, extSum), true); },
               outDescr("", "_sum.csv", "Several -u or -U keys create or open their own files\n", ""), false);
    initOption('g', "-g[<file-name>]  = create signal file at the end of the whole testing\n",
               [](psString arg) {
                   return psString("create file ") + psSession::genOutPath(arg, extSgl) + " at the end of PS work";
               },
               [](psString arg, psSession*) { g_settings.sglName = psSession::genOutPath(arg, extSgl); },
               outDescr("", ".end", "", "Only the last -g key is valid\n"), false);
    // -n, -p and -l are settled before any key is applied (parseCommandLine): no effect of their own.
    initOption('n', "-n<title-name>   = default title name for ini-file and output files\n",
               [](psString arg) {
                   return arg.empty() ? psString("ignored: empty default name")
                                      : psString("name ini-file and output files as ") + arg + ".<proper-ext>";
               },
               [](psString, psSession*) {}, n_descr, false);
    initOption('p', "-p<dir-name>     = default directory for input files i.e. ini & test data files\n",
               [](psString arg) {
                   return arg.empty() ? psString("ignored: empty directory name")
                                      : psString("open test data files & ini-file in ") + psSession::genDirName(arg);
               },
               [](psString, psSession*) {}, p_descr, false);
    initOption('l', "-l<dir-name>     = default directory for output files (listings)\n",
               [](psString arg) {
                   return arg.empty() ? psString("ignored: empty directory name")
                                      : psString("open output files in ") + psSession::genDirName(arg);
               },
               [](psString, psSession*) {}, l_descr, false);
    initOption('f',
               "-f < or-pattern> = run tests for functions with pattern in name\n"
               "-f-<not-pattern> = don't run tests for functions with pattern in name\n"
               "-f+<and-pattern> = run only tests for functions with pattern in name\n"
               "-f=< eq-pattern> = run tests for a function with this exact name\n"
               "-f!< eq-pattern> = don't run tests for a function with this exact name\n",
               [](psString arg) { return exitOr(2, patternText(arg, "function", fTexts)); },
               [](psString arg, psSession* s) {
                   addPatternCondition(s, patternCondition<RunCondition_f, RunCondition_fAnd, RunCondition_fNot,
                                                    RunCondition_fEqual>(arg, fEqualNot));
               },
               selection_descr, false);
    initOption('t', "-t[-|+|=]<patrn> = run (don't run) tests with pattern in test name\n",
               [](psString arg) { return exitOr(2, patternText(arg, "test", tTexts)); },
               [](psString arg, psSession* s) {
                   addPatternCondition(s, patternCondition<RunCondition_t, RunCondition_tAnd, RunCondition_tNot,
                                                    RunCondition_tEqual>(arg, nullptr));
               },
               selection_descr, false);
    initOption('m', "-m[-|+|=]<patrn> = run (don't run) tests registered in file with pattern in file name\n",
               [](psString arg) { return exitOr(2, patternText(arg, "file", mTexts)); },
               [](psString arg, psSession* s) {
                   addPatternCondition(s, patternCondition<RunCondition_s, RunCondition_sAnd, RunCondition_sNot,
                                                    RunCondition_sEqual>(arg, nullptr));
               },
               selection_descr, false);
    initOption('k', "-k<and|or>       = compose different keys (-f,-t,-m) by logical operation\n",
               [](psString arg) {
                   return !arg.empty() && arg[0] == 'o'
                              ? psString("keys composition: -f<conditions> OR -t<conditions> OR -m<conditiosn>")
                              : psString("keys composition: -f<conditions> AND -t<conditions> AND -m<conditions>");
               },
               [](psString arg, psSession* s) {
                   s->logicCondition(!arg.empty() && arg[0] == 'o' ? logicOr : logicAnd);
               },
               k_descr, false);
    initOption('F', "-F<func-name>    = start testing from function with func-name full name\n",
               [](psString arg) { return exitOr(1, psString("start testing from ") + arg + " function"); },
               [](psString arg, psSession*) { g_settings.startFunc = arg; },
               "If several -F keys present in command line then only the last key is valid\n", false);
    initOption('Y', "-Y<HIGH|NORMAL>  = set high or normal process prioritY (normal is default)\n",
               [](psString arg) {
                   int value = priorityValue(arg);
                   return exitOr(1, value == 0 ? psString("ignored: incorrect process priority value")
                                               : psString("set ") + priorityNames[value] + " process priority");
               },
               [](psString arg, psSession*) {
                   if (priorityValue(arg) != 0) g_settings.priority = priorityValue(arg);
               },
               "If several -Y keys present in command line then only the last key is valid\n", false);
    initOption('H', "-H[ONLY]         = add 'Interest' column to table file [and run only hot tests]\n",
               [](psString arg) {
                   return exitOr(2, !arg.empty() && arg[0] == 'O' ? "run tests for hot functions only"
                                                                  : "add 'Interest' column to table file");
               },
               [](psString arg, psSession*) { g_settings.hot = !arg.empty() && arg[0] == 'O' ? 2 : 1; },
               "If both -H & -HO keys present in command line then only the last key is valid\n", false);
    initOption('W', "-W= unmask floating-point exceptions\n",
               [](psString) { return psString("unmask floating-point exceptions"); },
               [](psString, psSession*) { psUnmaskFpExceptions(); },
               "This key is used for unmasking floating-point exceptions\n", false);
    if (kyn_Init() != kynStsNotSupported) {
        initOption('T', "-T[<cpu-features>]   = call kyncpSetCpuFeatures( cpuFeatures )\n",
                   [](psString arg) -> psString {
                       if (!psGetKynEnvironment()) return noEnvironment;
                       if (psCpuFeatures::cpuFeatures(arg) == 0) return "ignored: incorrect CPU features";
                       return psString("call kyncpSetCpuFeatures ( Kyn64u ") + arg + " )";
                   },
                   [](psString arg, psSession*) {
                       unsigned long long mask = psCpuFeatures::cpuFeatures(arg);
                       if (mask != 0) g_settings.cpuFeature = mask;
                   },
                   T_descr, false);
        initOption('N', "-N[<num-threads>]= call kyncpSetNumThreads( <num-threads> )\n",
                   [](psString arg) {
                       if (!psGetKynEnvironment()) return psString(noEnvironment);
                       return countText(arg, "call kyncpSetNumThreads(", ")", "ignored: incorrect number of threads");
                   },
                   [](psString arg, psSession*) { setCount(arg, g_settings.numThreads); }, N_descr, false);
    }
    initOption('S', "-SU              = measure functions with data set & use\n",
               [](psString) { return exitOr(1, "include to measurement data set & use time"); },
               [](psString, psSession*) { g_settings.realMeasure = true; },
               "This option should be used to prove parallelize function advantage\n"
               "Test does not show clear function performance\n",
               true);
    initOption('C', "-C               = run tests with data in cache and out of cache (if that is supported by test)\n",
               [](psString) {
                   return exitOr(1, "test data size will be in cache and out of cache if that is supported by test");
               },
               [](psString, psSession*) { g_settings.cache = true; },
               "This option should be used to clarify performance difference between in-cache and out-of-cache data\n"
               "Not all tests support this option\n",
               true);
    initOption('s', "-s[-]            = sort or don't sort functions (sort mode is default)\n",
               [](psString arg) {
                   return exitOr(2, !arg.empty() && arg[0] == '-' ? "don't sort functions" : "sort functions");
               },
               [](psString arg, psSession*) {
                   if (!arg.empty() && arg[0] == '-') g_settings.quickMode = true;
               },
               "If both -s & -s- keys present in command line then only the last key is valid\n", false);
    initOption('e', "-e               = enumerate tests and exit\n",
               [](psString arg) {
                   static const char* const texts[] = {"enumerate not applied library functions and exit",
                                                       "enumerate tested functions and exit",
                                                       "enumerate applied and not applied library functions and exit"};
                   return exitOr(2, texts[enumModeOf(arg) + 1]);
               },
               [](psString arg, psSession*) { g_settings.enumMode = enumModeOf(arg); }, "", false);
    initOption('v', "-v               = type the version number of the Performance System and exit\n",
               [](psString) { return psString("type the version number of the Performance System and exit"); },
               [](psString, psSession*) { g_settings.version = true; }, "", false);
    // Every -@ key is replaced by its file's keys before the keys are applied.
    initOption('@', "-@<file-name>    = read command line options from specified file\n", nullptr, nullptr,
               "This key works as if command line is extended by the file content\n"
               "    where <new line> symbol is converted to <space symbol>.\n"
               "Several -@ keys may present in command line.\n",
               false);
    initOption('h',
               "-h               = type short help and exit\n"
               "-hh              = type extended help and exit\n"
               "-h<key>          = type extended help for the key and exit\n",
               [](psString arg) {
                   return hintText(arg, 'h', "type short help and exit", "type extended help and exit");
               },
               [](psString arg, psSession*) {
                   g_settings.hintHide = true;
                   g_settings.hintArg = hintSelector(arg);
               },
               "If several -h present in command line then only the last key is valid\n", false);
    initOption('c', "-c[<num-ms>]     = set min number of ms for 1 measurement\n",
               [](psString arg) {
                   return countText(arg, "set measurement loop to (", ") milliseconds",
                                    "ignored: incorrect number of milliseconds");
               },
               [](psString arg, psSession*) { setCount(arg, g_settings.numMilliseconds); },
               "This key defines the minimum number of milliseconds for 1 measurement point\n", false);
    initOption('j', "-j[<min-loops>]  = minimal number of measurement loops\n",
               [](psString arg) {
                   return countText(arg, "set minimun number of measurement loops to (", ")",
                                    "ignored: incorrect number of loops");
               },
               [](psString arg, psSession*) { setCount(arg, g_settings.minNumLoops); },
               "This key defines the minimum number of measurement loops for 1 measurement point\n", false);
    initOption('?', "",
               [](psString arg) {
                   return hintText(arg, '?', "type short help with hidden keys and exit",
                                   "type extended help with hidden keys and exit");
               },
               [](psString arg, psSession*) {
                   g_settings.hintHide = false;
                   g_settings.hintArg = hintSelector(arg);
               },
               "-?               = type short help with hidden keys and exit\n"
               "-??              = type extended help with hidden keys and exit\n"
               "-?<key>          = type extended help for the key and exit\n"
               "If several -? keys present in command line then only the last key is valid\n",
               false);
}
