// The option table: one entry per key with its help, description, report and effect.
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
#include "ps_test.h"
#include "ps_test_list.h"
#include "ps_tool.h"

namespace {
bool s_version = false;
char s_hintArg = 0;
bool s_hintHide = true;
unsigned long long s_cpuFeature = 0;
int s_numThreads = 0;

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

// ---- -B, -A: console input
psString B_info(psString) { return exitOr(1, "batch mode"); }
void B_apply(psString, psSession* s) { s->setBatMode(true); }

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
psString A_info(psString arg)
{
    static const char* const phrases[] = {", timing method", ", common parameters", ", data misalignment",
                                          ", each test parameters"};
    int value = askValue(arg);
    psString joined;
    for (int bit = 0; bit < 4; ++bit)
        if (value & (1 << bit)) joined += phrases[bit];
    return exitOr(1, psString("ask") + joined.substr(1) + " from console");
}
void A_apply(psString arg, psSession* s) { s->addAskMode(askValue(arg)); }

// ---- -d, -i, -I, -P: parameter input
psString d_info(psString arg)
{
    if (psSession::isExit(1)) return psSession::getExitInfo();
    if (arg.empty()) return "ignored: empty data argument";
    int eq = arg.find('=', 0);
    if (eq == psString::npos) return "ignored: incorrect data format";
    psString name = arg.substr(0, eq);
    name.trim();
    if (name.empty()) return "ignored: incorrect data format";
    return psString("set PS parameter ") + arg;
}
void d_apply(psString arg, psSession*) { g_istrm.getDataList().set(arg); }

psString i_info(psString arg) { return exitOr(1, psString("read from ") + psSession::genInPath(arg, extIni)); }
void i_apply(psString arg, psSession* s) { s->setIniMode(psSession::genInPath(arg, extIni), false); }
psString I_info(psString arg)
{
    return exitOr(1, psString("write PS parameters to ") + psSession::genInPath(arg, extIni) + " and exit");
}
void I_apply(psString arg, psSession* s) { s->setIniMode(psSession::genInPath(arg, extIni), true); }
psString P_info(psString) { return exitOr(1, "read tested function names from ini-file if any"); }
void P_apply(psString, psSession*) { psTest::setPressingMode(true); }

// ---- -o, -O, -L: console output
psString o_info(psString arg) { return psString("write console output to ") + psSession::genOutPath(arg, extOut); }
void o_apply(psString arg, psSession* s)
{
    if (!g_ostrm.addStream(psSession::genOutPath(arg, extOut), false)) s->unopenedFile();
}
psString O_info(psString arg) { return psString("add console output to ") + psSession::genOutPath(arg, extOut); }
void O_apply(psString arg, psSession* s)
{
    if (!g_ostrm.addStream(psSession::genOutPath(arg, extOut), true)) s->unopenedFile();
}

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
psString L_info(psString arg)
{
    static const char* const phrases[] = {"fails",         ",notes",       ",performance results", ",measurement process",
                                          ",tracing info", ",memory info", ",data info"};
    if (psSession::isExit(1)) return psSession::getExitInfo();
    int value = levelValue(arg);
    if (value == 0) return "ignored: incorrect level of console output";
    psString text = "write ";
    for (int bit = 0; bit < 7; ++bit)
        if (value & (1 << bit)) text += phrases[bit];
    return text + " to console";
}
void L_apply(psString arg, psSession* s) { s->addLevelMode(levelValue(arg)); }

// ---- -J: external loops
psString J_info(psString arg)
{
    int n;
    return positiveNumber(arg, n) ? psString("set the number of external measurement loops to (") + arg + ")"
                                  : psString("ignored: incorrect number of external loops");
}
void J_apply(psString arg, psSession*)
{
    int n;
    if (positiveNumber(arg, n)) psTool::setNumExtLoops(n);
}

// ---- -r, -R, -q, -Q, -u, -U, -g: tables and the signal file
psString r_info(psString arg) { return psString("write performance result table to ") + psSession::genOutPath(arg, extCsv); }
void r_apply(psString arg, psSession* s)
{
    if (!g_cstrm.addStream(psSession::genOutPath(arg, extCsv), false)) s->unopenedFile();
}
psString R_info(psString arg) { return psString("add performance result table to ") + psSession::genOutPath(arg, extCsv); }
void R_apply(psString arg, psSession* s)
{
    if (!g_cstrm.addStream(psSession::genOutPath(arg, extCsv), true)) s->unopenedFile();
}

bool keyPresent(char key)
{
    psCommandList* keys = psSession::getCommandList();
    return keys != nullptr && keys->isKey(key);
}
psString q_info(psString arg)
{
    if (psSession::isExit(1)) return psSession::getExitInfo();
    if (!arg.empty() && arg[0] == '+') {
        if (!keyPresent('r') && !keyPresent('R')) return "ignored because -r or -R options are not present in command line";
        return "add function parameter name lines to csv files defined by -r & -R keys";
    }
    return psString("write function parameter name lines to ") + psSession::genOutPath(arg, extName);
}
void q_apply(psString arg, psSession* s)
{
    if (!arg.empty() && arg[0] == '+') {
        psSession::addNameMode(1);
        return;
    }
    psSession::addNameMode(2);
    if (!g_qstrm.addStream(psSession::genOutPath(arg, extName), false)) s->unopenedFile();
}
psString Q_info(psString)
{
    return exitOr(1, keyPresent('q') ? "exit after function parameter name table creation and don't run tests"
                                     : "ignored because -q option is not present in command line");
}
void Q_apply(psString, psSession*)
{
    if (keyPresent('q')) psSession::setNameExit(true);
}

psString u_info(psString arg) { return exitOr(1, psString("write summary table to ") + psSession::genOutPath(arg, extSum)); }
void u_apply(psString arg, psSession* s)
{
    if (!g_ustrm.addStream(psSession::genOutPath(arg, extSum), false)) s->unopenedFile();
}
psString U_info(psString arg) { return exitOr(1, psString("add summary table to ") + psSession::genOutPath(arg, extSum)); }
void U_apply(psString arg, psSession* s)
{
    if (!g_ustrm.addStream(psSession::genOutPath(arg, extSum), true)) s->unopenedFile();
}

psString g_info(psString arg)
{
    return psString("create file ") + psSession::genOutPath(arg, extSgl) + " at the end of PS work";
}
void g_apply(psString arg, psSession* s) { s->setSglName(arg); }

// ---- -n, -p, -l: names and directories (settled before the keys are applied)
psString n_info(psString arg)
{
    return arg.empty() ? psString("ignored: empty default name")
                       : psString("name ini-file and output files as ") + arg + ".<proper-ext>";
}
psString p_info(psString arg)
{
    return arg.empty() ? psString("ignored: empty directory name")
                       : psString("open test data files & ini-file in ") + psSession::genDirName(arg);
}
psString l_info(psString arg)
{
    return arg.empty() ? psString("ignored: empty directory name")
                       : psString("open output files in ") + psSession::genDirName(arg);
}
void nothing_apply(psString, psSession*) {}

// ---- -f, -t, -m, -k: selection
// The prefix character of a pattern key: 0 none, else '+', '-', '=' or '!'.
char patternPrefix(const psString& arg)
{
    if (!arg.empty() && (arg[0] == '+' || arg[0] == '-' || arg[0] == '=' || arg[0] == '!')) return arg[0];
    return 0;
}
psString patternOf(const psString& arg) { return patternPrefix(arg) ? arg.substr(1) : arg; }

psString f_info(psString arg)
{
    if (psSession::isExit(2)) return psSession::getExitInfo();
    psString p = patternOf(arg);
    if (p.empty()) return "ignored: empty function pattern";
    switch (patternPrefix(arg)) {
    case '+': return psString("don't test functions without '") + p + "' in the name";
    case '-': return psString("don't test functions containing '") + p + "'";
    case '=': return psString("test a function equal to '") + p + "'";
    case '!': return psString("don't test functions equal to '") + p + "'";
    default: return psString("test functions containing '") + p + "'";
    }
}
void f_apply(psString arg, psSession* s)
{
    psString p = patternOf(arg);
    if (p.empty()) return;
    switch (patternPrefix(arg)) {
    case '+': s->addCondition(new RunCondition_fAnd(p)); break;
    case '-': s->addCondition(new RunCondition_fNot(p)); break;
    case '=': s->addCondition(new RunCondition_fEqual(p)); break;
    case '!': s->addCondition(new RunCondition_fEqualNot(p)); break;
    default: s->addCondition(new RunCondition_f(p)); break;
    }
}

psString t_info(psString arg)
{
    if (psSession::isExit(2)) return psSession::getExitInfo();
    psString p = patternOf(arg);
    if (patternPrefix(arg) == '!') return "";
    if (p.empty()) return "ignored: empty test pattern";
    switch (patternPrefix(arg)) {
    case '+': return psString("don't run tests which doesn't contain '") + p + "'";
    case '-': return psString("don't run tests containing '") + p + "'";
    case '=': return psString("run test equal to '") + p + "'";
    default: return psString("run tests containing '") + p + "'";
    }
}
void t_apply(psString arg, psSession* s)
{
    psString p = patternOf(arg);
    if (p.empty()) return;
    switch (patternPrefix(arg)) {
    case '+': s->addCondition(new RunCondition_tAnd(p)); break;
    case '-': s->addCondition(new RunCondition_tNot(p)); break;
    case '=': s->addCondition(new RunCondition_tEqual(p)); break;
    case '!': break;
    default: s->addCondition(new RunCondition_t(p)); break;
    }
}

psString m_info(psString arg)
{
    if (psSession::isExit(2)) return psSession::getExitInfo();
    psString p = patternOf(arg);
    if (patternPrefix(arg) == '!') return "";
    if (p.empty()) return "ignored: empty file pattern";
    switch (patternPrefix(arg)) {
    case '+': return psString("don't run tests from file which doesn't contain '") + p + "' in file name";
    case '-': return psString("don't run tests from file containing '") + p + "' in file name";
    case '=': return psString("run test equal from file with exact name '") + p + "'";
    default: return psString("run tests from file containing '") + p + "' in file name";
    }
}
void m_apply(psString arg, psSession* s)
{
    psString p = patternOf(arg);
    if (p.empty()) return;
    switch (patternPrefix(arg)) {
    case '+': s->addCondition(new RunCondition_sAnd(p)); break;
    case '-': s->addCondition(new RunCondition_sNot(p)); break;
    case '=': s->addCondition(new RunCondition_sEqual(p)); break;
    case '!': break;
    default: s->addCondition(new RunCondition_s(p)); break;
    }
}

bool orLogic(const psString& arg) { return !arg.empty() && arg[0] == 'o'; }
psString k_info(psString arg)
{
    return orLogic(arg) ? psString("keys composition: -f<conditions> OR -t<conditions> OR -m<conditiosn>")
                        : psString("keys composition: -f<conditions> AND -t<conditions> AND -m<conditions>");
}
void k_apply(psString arg, psSession* s) { s->logicCondition(orLogic(arg) ? logicOr : logicAnd); }

// ---- -F, -Y, -H, -W: running
psString F_info(psString arg) { return exitOr(1, psString("start testing from ") + arg + " function"); }
void F_apply(psString arg, psSession*) { psTestList::setStartFunction(arg); }

int priorityValue(const psString& arg)
{
    if (arg.empty()) return 0;
    return arg[0] == 'H' ? 1 : arg[0] == 'N' ? 2 : arg[0] == 'L' ? 3 : 0;
}
psString Y_info(psString arg)
{
    static const char* const names[] = {"", "high", "normal", "low"};
    if (psSession::isExit(1)) return psSession::getExitInfo();
    int value = priorityValue(arg);
    if (value == 0) return "ignored: incorrect process priority value";
    return psString("set ") + names[value] + " process priority";
}
void Y_apply(psString arg, psSession*)
{
    int value = priorityValue(arg);
    if (value != 0) psTool::setPriority(value);
}

bool hotOnly(const psString& arg) { return !arg.empty() && arg[0] == 'O'; }
psString H_info(psString arg)
{
    return exitOr(2, hotOnly(arg) ? "run tests for hot functions only" : "add 'Interest' column to table file");
}
void H_apply(psString arg, psSession*) { psTest::setHotMode(hotOnly(arg) ? 2 : 1); }

psString W_info(psString) { return "unmask floating-point exceptions"; }
void W_apply(psString, psSession*) { psUnmaskFpExceptions(); }

// ---- -T, -N: the crypto library's features and threads
const char* const noEnvironment = "ignored: <kyncore.h> is not included before <ky.h> in test files";
unsigned long long featureMask(const psString& arg) { return psCpuFeatures::cpuFeatures(arg); }
psString T_info(psString arg)
{
    if (!psGetKynEnvironment()) return noEnvironment;
    if (featureMask(arg) == 0) return "ignored: incorrect CPU features";
    return psString("call kyncpSetCpuFeatures ( Kyn64u ") + arg + " )";
}
void T_apply(psString arg, psSession*)
{
    unsigned long long mask = featureMask(arg);
    if (mask != 0) s_cpuFeature = mask;
}
psString N_info(psString arg)
{
    if (!psGetKynEnvironment()) return noEnvironment;
    int n;
    return positiveNumber(arg, n) ? psString("call kyncpSetNumThreads(") + arg + ")"
                                  : psString("ignored: incorrect number of threads");
}
void N_apply(psString arg, psSession*)
{
    int n;
    if (positiveNumber(arg, n)) s_numThreads = n;
}

// ---- -S, -C, -s, -e, -v: hidden keys and end modes
psString S_info(psString) { return exitOr(1, "include to measurement data set & use time"); }
void S_apply(psString, psSession*) { g_tool.setRealMeasure(true); }
psString C_info(psString)
{
    return exitOr(1, "test data size will be in cache and out of cache if that is supported by test");
}
void C_apply(psString, psSession*) { psTest::setCacheMode(true); }

bool noSort(const psString& arg) { return !arg.empty() && arg[0] == '-'; }
psString s_info(psString arg) { return exitOr(2, noSort(arg) ? "don't sort functions" : "sort functions"); }
void s_apply(psString arg, psSession* s)
{
    if (noSort(arg)) s->setQuickMode(true);
}

int enumModeOf(const psString& arg) { return arg == "-" ? -1 : arg == "+" ? 1 : 0; }
psString e_info(psString arg)
{
    if (psSession::isExit(2)) return psSession::getExitInfo();
    switch (enumModeOf(arg)) {
    case -1: return "enumerate not applied library functions and exit";
    case 1: return "enumerate applied and not applied library functions and exit";
    default: return "enumerate tested functions and exit";
    }
}
void e_apply(psString arg, psSession* s) { s->setEnumMode(enumModeOf(arg)); }

psString v_info(psString) { return "type the version number of the Performance System and exit"; }
void v_apply(psString, psSession*) { s_version = true; }

// ---- -h, -?, -c, -j: help and measurement settings
char hintSelector(const psString& arg) { return arg.empty() ? 1 : arg[0]; }
psString h_info(psString arg)
{
    if (arg.empty()) return "type short help and exit";
    if (arg[0] == 'h') return "type extended help and exit";
    return psString("type extended help for -") + psString(arg[0]) + " key and exit";
}
void h_apply(psString arg, psSession*)
{
    s_hintHide = true;
    s_hintArg = hintSelector(arg);
}
psString question_info(psString arg)
{
    if (arg.empty()) return "type short help with hidden keys and exit";
    if (arg[0] == '?') return "type extended help with hidden keys and exit";
    return psString("type extended help for -") + psString(arg[0]) + " key and exit";
}
void question_apply(psString arg, psSession*)
{
    s_hintHide = false;
    s_hintArg = hintSelector(arg);
}

psString c_info(psString arg)
{
    int n;
    return positiveNumber(arg, n) ? psString("set measurement loop to (") + arg + ") milliseconds"
                                  : psString("ignored: incorrect number of milliseconds");
}
void c_apply(psString arg, psSession*)
{
    int n;
    if (positiveNumber(arg, n)) psTool::setNumMilliseconds(n);
}
psString j_info(psString arg)
{
    int n;
    return positiveNumber(arg, n) ? psString("set minimun number of measurement loops to (") + arg + ")"
                                  : psString("ignored: incorrect number of loops");
}
void j_apply(psString arg, psSession*)
{
    int n;
    if (positiveNumber(arg, n)) psTool::setMinNumLoops(n);
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
    g_istrm.getDataList().clear();
}

void psSession::initOptionTable()
{
    initOption('B', "-B               = batch mode (no console input)\n", B_info, B_apply,
               "If both -B and -A key present in command line then -B key is performed\n", false);
    initOption('A', "-A<Timing|Params|Misalign|All> = set detail level of the console input\n", A_info, A_apply,
               A_descr, false);
    initOption('d', "-d<name>=<value> = set PS parameter value\n", d_info, d_apply, d_descr, false);
    initOption('i', "-i[<file-name>]  = read PS parameters from ini-file\n", i_info, i_apply, ini_descr, false);
    initOption('I', "-I[<file-name>]  = write PS parameters to ini-file and exit\n", I_info, I_apply, ini_descr,
               false);
    initOption('P', "-P               = read tested function names from ini-file\n", P_info, P_apply,
               "This key affects only if -i key is present in command line\n"
               "All functions present in ini-file as section names will be measured\n"
               "Other functions will not be measured\n",
               false);
    initOption('o', "-o[<file-name>]  = create txt-file and write console output\n", o_info, o_apply,
               outDescr("", ".txt", "Several -o or -O keys create or open their own files\n", ""), false);
    initOption('O', "-O[<file-name>]  = add console output to txt-file\n", O_info, O_apply,
               outDescr("", ".txt", "Several -o or -O keys create or open their own files\n", ""), false);
    initOption('L', "-L<ERR|WARN|PERF|INFO|TRACE|DATA> = set detail level of the console output\n", L_info, L_apply,
               L_descr, false);
    initOption('J', "-J[<min-loops>]  = number of external measurement loops\n", J_info, J_apply,
               "This key defines the number of external measurement loops for the whole list of functions\n", false);
    initOption('r', "-r[<file-name>]  = create csv-file and write PS results\n", r_info, r_apply,
               outDescr("This key creates table file for performance results\n", ".csv",
                        "Several -r or -R keys create or open their own files\n", ""),
               false);
    initOption('R', "-R[<file-name>]  = add PS results to csv-file\n", R_info, R_apply,
               outDescr("This key adds for performance results to table file\n", ".csv",
                        "Several -r or -R keys create or open their own files\n", ""),
               false);
    if (psGetQKeys()) {
        initOption('q',
                   "-q[<file-name>]  = create csv-file (*_name.csv is default) and write function parameter name "
                   "lines\n-q+              = add function parameter name lines to PS results table file\n",
                   q_info, q_apply,
                   outDescr("", "_name.csv", "Several -q keys create their own files\n",
                            "-q+ key affects only if -r or -R keys are present in command line\n"),
                   false);
        initOption('Q', "-Q               = exit after function parameter name table creation\n", Q_info, Q_apply,
                   "This key affects only if -q or -q+ keys are present in command line\n", false);
    }
    initOption('u', "-u[<file-name>]  = create csv-file and write summary table ('_sum' is added to default title name)\n",
               u_info, u_apply, outDescr("", "_sum.csv", "Several -u or -U keys create or open their own files\n", ""),
               false);
    initOption('U', "-U[<file-name>]  = add summary table to csv-file ('_sum' is added to default title name)\n",
               U_info, U_apply, outDescr("", "_sum.csv", "Several -u or -U keys create or open their own files\n", ""),
               false);
    initOption('g', "-g[<file-name>]  = create signal file at the end of the whole testing\n", g_info, g_apply,
               outDescr("", ".end", "", "Only the last -g key is valid\n"), false);
    initOption('n', "-n<title-name>   = default title name for ini-file and output files\n", n_info, nothing_apply,
               n_descr, false);
    initOption('p', "-p<dir-name>     = default directory for input files i.e. ini & test data files\n", p_info,
               nothing_apply, p_descr, false);
    initOption('l', "-l<dir-name>     = default directory for output files (listings)\n", l_info, nothing_apply,
               l_descr, false);
    initOption('f',
               "-f < or-pattern> = run tests for functions with pattern in name\n"
               "-f-<not-pattern> = don't run tests for functions with pattern in name\n"
               "-f+<and-pattern> = run only tests for functions with pattern in name\n"
               "-f=< eq-pattern> = run tests for a function with this exact name\n"
               "-f!< eq-pattern> = don't run tests for a function with this exact name\n",
               f_info, f_apply, selection_descr, false);
    initOption('t', "-t[-|+|=]<patrn> = run (don't run) tests with pattern in test name\n", t_info, t_apply,
               selection_descr, false);
    initOption('m', "-m[-|+|=]<patrn> = run (don't run) tests registered in file with pattern in file name\n", m_info,
               m_apply, selection_descr, false);
    initOption('k', "-k<and|or>       = compose different keys (-f,-t,-m) by logical operation\n", k_info, k_apply,
               k_descr, false);
    initOption('F', "-F<func-name>    = start testing from function with func-name full name\n", F_info, F_apply,
               "If several -F keys present in command line then only the last key is valid\n", false);
    initOption('Y', "-Y<HIGH|NORMAL>  = set high or normal process prioritY (normal is default)\n", Y_info, Y_apply,
               "If several -Y keys present in command line then only the last key is valid\n", false);
    initOption('H', "-H[ONLY]         = add 'Interest' column to table file [and run only hot tests]\n", H_info,
               H_apply, "If both -H & -HO keys present in command line then only the last key is valid\n", false);
    initOption('W', "-W= unmask floating-point exceptions\n", W_info, W_apply,
               "This key is used for unmasking floating-point exceptions\n", false);
    if (kyn_Init() != kynStsNotSupported) {
        initOption('T', "-T[<cpu-features>]   = call kyncpSetCpuFeatures( cpuFeatures )\n", T_info, T_apply, T_descr,
                   false);
        initOption('N', "-N[<num-threads>]= call kyncpSetNumThreads( <num-threads> )\n", N_info, N_apply, N_descr,
                   false);
    }
    initOption('S', "-SU              = measure functions with data set & use\n", S_info, S_apply,
               "This option should be used to prove parallelize function advantage\n"
               "Test does not show clear function performance\n",
               true);
    initOption('C', "-C               = run tests with data in cache and out of cache (if that is supported by test)\n",
               C_info, C_apply,
               "This option should be used to clarify performance difference between in-cache and out-of-cache data\n"
               "Not all tests support this option\n",
               true);
    initOption('s', "-s[-]            = sort or don't sort functions (sort mode is default)\n", s_info, s_apply,
               "If both -s & -s- keys present in command line then only the last key is valid\n", false);
    initOption('e', "-e               = enumerate tests and exit\n", e_info, e_apply, "", false);
    initOption('v', "-v               = type the version number of the Performance System and exit\n", v_info,
               v_apply, "", false);
    initOption('@', "-@<file-name>    = read command line options from specified file\n", nullptr, nullptr,
               "This key works as if command line is extended by the file content\n"
               "    where <new line> symbol is converted to <space symbol>.\n"
               "Several -@ keys may present in command line.\n",
               false);
    initOption('h',
               "-h               = type short help and exit\n"
               "-hh              = type extended help and exit\n"
               "-h<key>          = type extended help for the key and exit\n",
               h_info, h_apply, "If several -h present in command line then only the last key is valid\n", false);
    initOption('c', "-c[<num-ms>]     = set min number of ms for 1 measurement\n", c_info, c_apply,
               "This key defines the minimum number of milliseconds for 1 measurement point\n", false);
    initOption('j', "-j[<min-loops>]  = minimal number of measurement loops\n", j_info, j_apply,
               "This key defines the minimum number of measurement loops for 1 measurement point\n", false);
    initOption('?', "", question_info, question_apply,
               "-?               = type short help with hidden keys and exit\n"
               "-??              = type extended help with hidden keys and exit\n"
               "-?<key>          = type extended help for the key and exit\n"
               "If several -? keys present in command line then only the last key is valid\n",
               false);
}
