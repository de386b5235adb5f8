#include "ps_test.h"

#include <csetjmp>
#include <new>

#include "ps_cache_iterator.h"
#include "ps_conditions.h"
#include "ps_cpu_ticker.h"
#include "ps_cstream.h"
#include "ps_ctrl_status.h"
#include "ps_exception.h"
#include "ps_hot_list.h"
#include "ps_ini_file.h"
#include "ps_interrupt.h"
#include "ps_istream.h"
#include "ps_parameter.h"
#include "ps_settings.h"
#include "ps_signal.h"
#include "ps_trace.h"

psResult psTest::m_currentResult = UNDEFINED;
int psTest::m_numParmsColm = 0;
int psTest::m_numResultColm = 0;
int& psTest::m_hot = g_settings.hot;
bool& psTest::m_pressing = g_settings.pressing;
bool& psTest::m_cache = g_settings.cache;

namespace {
// The console's output level, kept across a test so it can be restored after an exception.
int s_outLevel = ERR;
} // namespace

psTestInfo::psTestInfo(const psString& info)
{
    int first = info.find('/', 0);
    if (first == psString::npos) {
        className = info;
        return;
    }
    className = info.substr(0, first);
    int second = info.find('/', first + 1);
    if (second == psString::npos) {
        description = info.substr(first + 1);
    } else {
        description = info.substr(first + 1, second - first - 1);
        macroName = info.substr(second + 1);
    }
}

psTest::psTest(funcOld old, psString name, psString file, psString info)
    : psTest(nullptr, nullptr, nullptr, nullptr, name, file, info)
{
    m_funcOld = old;
}

psTest::psTest(funcLoop loop, funcStat stat, psString name, psString file, psString info)
    : psTest(nullptr, nullptr, loop, stat, name, file, info)
{
}

psTest::psTest(funcCall call, funcInit init, funcLoop loop, funcStat stat, psString name, psString file,
               psString info)
    : m_deprecated(false), m_name(name), m_file(file.getFileName()), m_info(info), m_testResult(UNDEFINED),
      m_funcLoop(loop), m_funcStat(stat), m_funcCall(call), m_funcInit(init), m_funcOld(nullptr), m_first(true),
      m_badStatus87(false), m_badStatusSSX(false), m_pCacheIter(nullptr), m_cacheRetry(false)
{
    // A constructor only reaches this class's own settings.
    psTest::initSettings();
}

psTest::~psTest() { delete m_pCacheIter; }

psString psTest::getRegString() const
{
    if (m_info.description.empty() && m_info.macroName.empty()) return m_info.className;
    psString text = m_info.className + "/" + m_info.description;
    if (!m_info.macroName.empty()) text += psString("/") + m_info.macroName;
    return text;
}

void psTest::dropCacheIterator()
{
    delete m_pCacheIter;
    m_pCacheIter = nullptr;
}

// ---- selection and order

bool psTest::tobeRun(psConditions& conditions)
{
    if (!conditions.tobeRun(psTestNames{getName(), getRegString(), getFile()})) return false;
    return m_hot != 2 || isHotLine();
}

int psTest::compareFunc(const psTest* other) const { return m_name.compare(other->m_name); }

bool psTest::isHotLine()
{
    psStringList* hot = psGetHotList();
    return hot != nullptr && hot->found(m_name);
}

void psTest::initSettings()
{
    m_currentResult = UNDEFINED;
    m_first = true;
    m_badStatus87 = m_badStatusSSX = false;
    dropCacheIterator();
    m_cacheRetry = false;
    m_deprecated = false;
    m_parms.clear();
}

void psTest::updateCurrentResult(psResult r)
{
    if (g_ostrm.getOutLevel() <= ERR && r >= ACCURWRN && r <= WRN) r = OK;
    if (r > m_currentResult) m_currentResult = r;
}

// ---- the run of one test

void psTest::failByException(const psException& e)
{
    // A signal caught inside the measured calls jumped over the priority reset that follows them.
    psResetPriority();
    m_currentResult = EXCPTFAIL;
    g_ostrm.setOutLevel(s_outLevel);
    g_ostrm << ERR << e.msg() << " in " << g_trace.getCurName() << "\n" << msgRestore;
}

psResult psTest::run()
{
    m_testResult = OK;
    m_currentResult = UNDEFINED;
    m_tool = g_tool;
    if (m_info.macroName.found("Ibs")) m_tool.setAvoidBadCtrlStatus(true);

    bool skipped = false;
    try {
        // A fatal signal inside the steps below comes back here and ends them as an exception.
        PS_SIGNAL_GUARD();
        g_trace.clean();
        bool selected = psTraced("setIniSection", [&] { return setIniSection(m_name); });
        if (!selected) {
            skipped = true;
        } else {
            psTraced("beginTest", [&] { beginTest(); });
            s_outLevel = g_ostrm.getOutLevel();
            m_date.start();

            printTitle();

            psString missing = missingFunction();
            bool can = psTraced("canStart", [&] { return missing.empty() && canStart(); });
            if (!missing.empty()) {
                g_ostrm << ERR << "-- Function " << missing << " is missing from the library in use\n" << msgRestore;
                m_currentResult = FUNCFAIL;
            } else if (!can) {
                g_ostrm << ERR << "-- Can't start timing\n" << msgRestore;
                m_currentResult = DATAFAIL;
            } else if (m_cache && !m_pCacheIter) {
                g_ostrm << ERR << "-- Can't run " << "In-Outof-Cache"
                        << " timing: no program support for function " << m_name << "\n"
                        << msgRestore;
            } else {
                psTraced("parmsFromIstrm", [&] { parmsFromIstrm(); });
                putTableName();
                if (g_istrm.iniWrite() || g_settings.nameExit) {
                    m_currentResult = OK;
                } else {
                    outputRegInfo();
                    psTraced("loopData", [&] { loopData(); });
                }
            }
            psTraced("flushStart", [&] { flushStart(); });
        }
    } catch (psException& e) {
        failByException(e);
    } catch (std::bad_alloc&) {
        failByException(psException(psString("out of memory")));
    }
    if (skipped) return UNDEFINED;

    m_testResult = m_currentResult;
    m_date.stop();
    printResult();
    psTraced("endTest", [&] { endTest(); });
    return m_testResult;
}

bool psTest::setIniSection(psString name)
{
    psIniFile* ini = g_istrm.iniFile();
    if (m_pressing && ini && !ini->sectionExist(name)) return false;
    if (ini && g_istrm.iniWrite()) ini->write(name);
    g_istrm.setIniSection(name);
    return true;
}

// ---- the parameter loop

void psTest::loopData()
{
    m_first = true;
    psString info = g_trace.getInfo();
    g_cstrm.identicalLinesStart(m_numParmsColm);
    bool constShown = false;
    do {
        g_trace.setInfo(info);
        m_vectorNum = 0;
        bool more = psTraced("canContinue", [&] { return canContinue(); });
        if (!more) {
            if (m_first) {
                g_ostrm << ERR << "-- One of argument list for timing is empty\n" << msgRestore;
                updateCurrentResult(DATAFAIL);
            }
            break;
        }
        m_first = false;

        bool ready = psTraced("initData", [&] { return initData(); });
        if (ready) {
            if (!constShown) {
                outputConst();
                constShown = true;
            }
            if (m_pCacheIter && !m_pCacheIter->validateSize()) {
                m_cacheRetry = true;
            } else {
                putTextParms(PERF);
                if (m_tool.getRealMeasure()) {
                    psTraced("reserveAllVectors", [&] { reserveAllVectors(); });
                }
                if (m_hot == 2 && !isHotLine()) {
                    g_ostrm << "  measuring is omitted: not hot line\n";
                } else {
                    printAllMemoryBlocks("before function calls");
                    s_outLevel = g_ostrm.getOutLevel();
                    initCtrlStatus();
                    if (s_outLevel == 3) g_ostrm.setOutLevel(7);
                    psResult r = psTraced("runTiming", [&] { return runTiming(); });
                    g_ostrm.setOutLevel(s_outLevel);
                    if (r != UNDEFINED) {
                        printAllMemoryBlocks("after function calls");
                    } else {
                        g_ostrm << ERR
                                << "-- Internal test problem: runTiming() function returns undefined result\n"
                                << msgRestore;
                        updateCurrentResult(FAIL);
                    }
                    r = psResultMax(r, checkCtrlStatus());
                    updateCurrentResult(r);
                    outputResult(r);
                }
            }
        }
        psTraced("flushData", [&] { flushData(); });
        // A stop request ends the test after the measurement in progress, with its results so far.
    } while (m_currentResult <= WRN && !psInterrupted());

    if (m_currentResult == UNDEFINED) {
        g_ostrm << ERR << "-- Fail while initialization of function data\n" << msgRestore;
        updateCurrentResult(DATAFAIL);
    }
    g_cstrm.linePostponeOut(m_numParmsColm + m_numResultColm);
    if (g_cstrm.identicalLinesStop()) {
        g_ostrm << WARN << "-- Notice: duplicate lines in performance table (csv-file)\n" << msgRestore;
        updateCurrentResult(DATAWRN);
    }
}

bool psTest::canContinue()
{
    if (m_parms.empty()) return m_first;
    if (m_pCacheIter && m_cacheRetry) {
        m_cacheRetry = false;
        if (m_pCacheIter->repeatValue()) return true;
        g_ostrm << ERR;
        m_pCacheIter->outputInfo();
        putTextParms();
        g_ostrm << "-- Fail to allocate " << getCacheComment("") << " data\n" << msgRestore;
        updateCurrentResult(DATAFAIL);
        return false;
    }
    if (m_first) {
        for (psList<psParameter*>::iterator it = m_parms.begin(); it != m_parms.end(); ++it)
            if (!(*it)->firstValue()) return false;
        return true;
    }
    psList<psParameter*>::iterator it = m_parms.end();
    do {
        --it;
        if ((*it)->nextValue()) return true;
        (*it)->firstValue();
    } while (it != m_parms.begin());
    return false;
}

psResult psTest::runTiming()
{
    if (!m_funcLoop && !m_funcStat && !m_funcCall) return m_funcOld ? m_tool.timing(m_funcOld) : UNDEFINED;
    return m_tool.timing(m_funcLoop, m_funcStat, m_funcCall, m_funcInit);
}

// ---- control status

namespace {
bool badCtrl(bool& bad87, bool& badSSX)
{
    bad87 = g_ctrl87.badStatus();
    badSSX = g_ssx.badStatus();
    return bad87 || badSSX;
}

void printCtrl(bool bad87, bool badSSX)
{
    if (bad87) g_ostrm << WARN << "-- Status    87: " << g_ctrl87.strSW() << "\n" << msgRestore;
    if (badSSX) g_ostrm << WARN << "-- Status    SSX: " << g_ssx.strExceptionState() << "\n" << msgRestore;
}

void clearCtrl()
{
    g_ctrl87.clear();
    g_ssx.clear();
}

// The timing tool watches the control status and resets the data through these.
const bool toolHooksInstalled =
    (psTool::setHooks(psToolHooks{psCtrlStatusStart, psCtrlStatusStop, badCtrl, printCtrl, clearCtrl, psTest::resetAllVectors}), true);
} // namespace

void psTest::initCtrlStatus()
{
    (void)toolHooksInstalled;
    psCtrlStatusInit();
}

bool psTest::badCtrlStatus(bool& bad87, bool& badSSX) { return badCtrl(bad87, badSSX); }

psResult psTest::checkCtrlStatus()
{
    bool bad87, badSSX;
    psResult r = UNDEFINED;
    if (badCtrlStatus(bad87, badSSX)) {
        if (bad87) m_badStatus87 = true;
        if (badSSX) m_badStatusSSX = true;
        printCtrlStatus(bad87, badSSX);
        r = BADSTSWRN;
    }
    clearCtrlStatus();
    return r;
}

void psTest::printCtrlStatus(bool bad87, bool badSSX) { printCtrl(bad87, badSSX); }

void psTest::clearCtrlStatus() { clearCtrl(); }

// ---- input

bool psTest::parmsFromIstrm()
{
    for (psList<psParameter*>::iterator it = m_parms.begin(); it != m_parms.end(); ++it) g_istrm >> **it;
    return true;
}

// ---- services

void psTest::regParm(psParameter& parm) { m_parms.push_back(&parm); }

void psTest::regCacheParm(psIterator<int>& parm, psObject* object, bool (*adjust)(psParameter*, int, int, bool))
{
    if (m_cache && !m_pCacheIter) {
        m_pCacheIter = new psCacheIteratorInt(parm, object, adjust);
        regParm(*m_pCacheIter);
    } else {
        regParm(parm);
    }
}

void psTest::regCacheParm(psStepIterator<int>& parm, psObject* object, bool (*adjust)(psParameter*, int, int, bool))
{
    if (m_cache && !m_pCacheIter) {
        m_pCacheIter = new psCacheIteratorInt(parm, object, adjust);
        regParm(*m_pCacheIter);
    } else {
        regParm(parm);
    }
}

void psTest::setTimingResult(double clocks, psString comment)
{
    m_tool.setFuncTicks(clocks);
    m_tool.setComment(comment);
}

void psTest::startAndStop()
{
    int level = g_ostrm.getOutLevel();
    g_ostrm.setOutLevel(ERR);
    try {
        PS_SIGNAL_GUARD();
        beginTest();
        canStart();
        flushStart();
        endTest();
    } catch (psException& e) {
        g_ostrm << ERR << e.msg() << " in startAndStop of " << m_name << " test\n" << msgRestore;
    }
    g_ostrm.setOutLevel(level);
}
