#include "ps_session.h"

#include <cstdio>

#include "kyncp.h"

#include "ps_command_list.h"
#include "ps_conditions.h"
#include "ps_cstream.h"
#include "ps_hot_list.h"
#include "ps_info_test.h"
#include "ps_iostream.h"
#include "ps_istream.h"
#include "ps_ostream.h"
#include "ps_registry.h"
#include "ps_services.h"
#include "ps_report.h"
#include "ps_test.h"
#include "ps_test_list.h"
#include "ps_version.h"

psCommandList* psSession::pCmdList = nullptr;
int& psSession::m_nameMode = g_settings.nameMode;
bool& psSession::m_nameExit = g_settings.nameExit;
int psSession::m_exitLevel = 0;

psSession::psSession()
    : m_pConditions(nullptr), m_askMode(g_settings.askMode), m_batMode(g_settings.batMode),
      m_levelMode(g_settings.levelMode), m_quickMode(g_settings.quickMode), m_enumMode(g_settings.enumMode),
      m_unopenedFile(g_settings.unopenedFile), m_iniName(g_settings.iniName), m_iniWrite(g_settings.iniWrite),
      m_sglName(g_settings.sglName)
{
}

psSession::~psSession()
{
    for (psList<psOption*>::iterator it = m_options.begin(); it != m_options.end(); ++it) delete *it;
}

void psSession::initSession()
{
    m_pConditions = new psConditions;
    m_askMode = 0;
    m_batMode = false;
    m_quickMode = false;
    m_enumMode = 100;
    m_levelMode = 1;
    initOptionTable();
}

int psSession::run(int argc, char** argv)
{
    g_ostrm.setMsgLevel(PERF);
    g_ostrm.push_back(&c_out);
    setKynEnvironment();
    initSession();
    psRegTest(new __psOrvelCpuTest);

    int result = 0;
    bool measured = false;
    psTestList* tests = psGetTestList();
    tests->getDate().start();

    bool parsed = parseCommandLine(argc, argv);
    // A signal file belongs to a run that finished: the previous run's goes now.
    if (!m_sglName.empty()) std::remove(m_sglName.c_str());
    if (parsed && startSession() && !hintOutput()) {
        if (psGetKynEnvironment()) {
            initStaticCpu();
            setNumThreads();
            setKynEnvironment();
        }
        setKynLibInfo();
        if (!m_quickMode) {
            fputs("Sorting functions...", stdout);
            tests->sortFunc();
            fputs("\n", stdout);
        }
        tests->startWithCpuTest();
        outputHeader();
        if (!enumOutput()) {
            measured = true;
            if (psGetParmFunc()) psGetParmFunc()();
            selectTestParameters();
            beginCommonData();
            readCommonData();
            endCommonData();
            psCreateHotList();
            putTableTitle();
            result = tests->runTests(*m_pConditions);
        }
    }
    tests->getDate().stop();
    if (measured) outputFooter();
    outputSignal();
    deleteTestList();
    // The values recorded under -I reach the file now, once.
    g_istrm.deleteIniFile();
    // The tables first, so that a failure to complete one is still told in the console copy.
    g_cstrm.closeFiles();
    g_qstrm.closeFiles();
    g_ustrm.closeFiles();
    g_ostrm.closeFiles();
    return result;
}

void psSession::setKynEnvironment()
{
    if (psGetKynEnvironment()) {
        psGetKynEnvironment()();
        g_ostrm << "\nOrvel KYN Core library functions have been integrated into PS\n";
    }
    psFillKynStubs();
}

namespace {
// "--KYN FAIL. status = -2: <text>" for an error, "--KYN NOTE. ..." for a note.
void reportKynStatus(int status)
{
    g_ostrm << (status < 0 ? "--KYN FAIL. " : "--KYN NOTE. ") << "status = " << status << ": "
            << kyn_GetStatusString(status) << "\n";
}

// The status of a set-up call: "--status = kynStsNoErr" or the library's text.
void reportSetupStatus(int status)
{
    if (status == 0)
        g_ostrm << "--status = kynStsNoErr\n";
    else
        reportKynStatus(status);
}
} // namespace

void psSession::initStaticCpu()
{
    unsigned long long mask = g_settings.cpuFeature;
    if (mask == 0) {
        kyn_Init();
        return;
    }
    char hex[32];
    snprintf(hex, sizeof hex, "%#8x", (unsigned)(mask & 0xFFFFFFFFu));
    g_ostrm << ERR << "\n"
            << "--calling kyncpSetCpuFeatures( kynCpuFeatures "
            << "= " << hex << " )\n";
    int status = kyn_SetCpuFeatures(mask);
    reportSetupStatus(status);
    if (status < 0) {
        g_ostrm << "--calling kyncpInit()\n";
        int initStatus = kyn_Init();
        if (initStatus < 0) reportKynStatus(initStatus);
    }
    g_ostrm << msgRestore;
}

void psSession::setNumThreads()
{
    int n = 0;
    g_ostrm << ERR;
    kyn_GetNumThreads(&n);
    g_ostrm << "\n"
            << "--calling kyncpGetNumThreads: numThreads = " << n << "\n";
    int threads = g_settings.numThreads;
    if (threads > 0) {
        g_ostrm << "--calling kyncpSetNumThreads( " << threads << " )\n";
        reportSetupStatus(kyn_SetNumThreads(threads));
    }
    g_ostrm << msgRestore;
}

void psSession::setKynLibInfo()
{
    psKynVersionList* versions = psGetKynVersionList();
    if (!versions) return;
    for (psKynVersionList::iterator it = versions->begin(); it != versions->end(); ++it) {
        const CryptoLibraryVersion* version = (*it)();
        if (version && version->Version) psRegLibInfo(version->Version);
    }
    g_ostrm << "Orvel KYN libraries information has been set into PS\n";
}

bool psSession::hintOutput()
{
    if (!g_settings.version && g_settings.hintArg == 0) return false;
    g_ostrm << "\n"
            << "Orvel(R) Kyn. Performance System " << PS_version << ", " << psBuildDate() << "\n";
    if (g_settings.hintArg != 0) hint(g_settings.hintArg, g_settings.hintHide);
    return true;
}

bool psSession::enumOutput()
{
    if (m_enumMode >= 2) return false;
    listTests(m_enumMode);
    return true;
}

void psSession::selectTestParameters()
{
    psList<psParameter*>* common = psGetParmList();
    psTestList* tests = psGetTestList();
    if (!common || !tests) return;
    // Tests register their parameters while they are looked at: nothing may be asked then.
    int askMode = m_askMode;
    bool batMode = m_batMode;
    m_askMode = 0;
    m_batMode = true;
    tests->selectCommonParms(*m_pConditions, *common);
    m_askMode = askMode;
    m_batMode = batMode;
}

void psSession::beginCommonData() { g_ostrm.setOutLevel(7); }

void psSession::endCommonData()
{
    g_ostrm.setOutLevel(m_levelMode);
    // Tests ask their own parameters only under -AAll.
    if (!(m_askMode & 8)) g_istrm.setIStream(nullptr);
}

void psSession::deleteTestList()
{
    psTestList* tests = psGetTestList();
    if (!tests) return;
    for (psTestList::iterator it = tests->begin(); it != tests->end(); ++it) delete *it;
    delete tests;
    psSetTestList(nullptr);
}

void psSession::addCondition(RunCondition* condition) { m_pConditions->push_back(condition); }

void psSession::logicCondition(int logic) { m_pConditions->setLogic(logic); }

bool psSession::startSession() { return true; }

void psSession::outputSignal()
{
    if (m_sglName.empty()) return;
    psTestList* tests = psGetTestList();
    psString runTime = psReportFormat::getTimeStr(tests ? tests->getDate().diff() : 0);
    psString text = runTime + "\n" + (tests ? tests->getDate().strStop() : psString("\n")) + "\n";
    o_stream file(m_sglName, openAsIs | openReplace, true);
    file << text;
}

void psSession::listTests(int mode)
{
    psTestList* tests = psGetTestList();
    psReportTitle title(tests);
    psReportList list(tests, m_pConditions, mode);
    g_ostrm << title;
    g_cstrm << title;
    g_ostrm << list;
    g_cstrm << list;
}

void psSession::outputHeader()
{
    psReportTitle title(psGetTestList());
    g_ostrm << title;
    g_cstrm << title;
    g_qstrm << title;
    g_ustrm << title;
    g_ustrm << psReportTestResult();
}

void psSession::outputFooter()
{
    psReportEnd end(psGetTestList());
    g_ostrm << ERR << end << msgRestore;
    g_ustrm << end;
}

// ---- the title line of the result table

void psFuncTitleToCStream() { g_cstrm << "function"; }

void psParmsTitleToCStream()
{
    for (int i = 1; i <= 8; ++i) {
        psString cell = "Parm";
        cell << i;
        g_cstrm << cell;
    }
}

void kyFuncTitleToCStream() { g_cstrm << "funcBase" << "funcDataType" << "funcDescriptor"; }

void kyParmsTitleToCStream()
{
    g_cstrm << "Len/Size" << "Parm1" << "Parm2" << "Parm3" << "Parm4" << "scaleFactor";
}

void psSession::funcTitleToCStream() { psFuncTitleToCStream(); }
void psSession::parmsTitleToCStream() { psParmsTitleToCStream(); }

void psSession::resultTitleToCStream()
{
    g_cstrm << "Comment" << "Clocks" << "per" << "Time (usec)" << "MFlops";
    if (psTest::getHotMode() != 0) g_cstrm << "Interest";
}

void psSession::putTableTitleLine()
{
    funcTitleToCStream();
    parmsTitleToCStream();
    int parms = g_cstrm.getColmIndex();
    psTest::setParmColmCount(parms);
    resultTitleToCStream();
    psTest::setResultColmCount(g_cstrm.getColmIndex() - parms);
    g_cstrm.lineOut(0);
}

void psSession::putTableTitle()
{
    putTableTitleLine();
    if (getNameMode() & 2) {
        g_cstrm.swap(g_qstrm);
        putTableTitleLine();
        g_cstrm.swap(g_qstrm);
    }
}
