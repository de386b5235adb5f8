#include "ps_tool.h"

#include <algorithm>
#include <climits>

#include "ps_ostream.h"
#include "ps_settings.h"
#include "ps_timing_math.h"
#include "ps_trace.h"

int& psTool::m_numMilliseconds = g_settings.numMilliseconds;
int& psTool::m_minNumLoops = g_settings.minNumLoops;
int& psTool::m_numExtLoops = g_settings.numExtLoops;
int psTool::numIntLoops = 1;
int& psTool::m_priority = g_settings.priority;
psToolHooks psTool::m_hooks = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

psTool g_tool;

psTool::psTool()
    : m_result(UNDEFINED), m_funcTicks(0), m_loops(0), m_accuracy(0.05), m_method(tmAuto), m_numLoops(10),
      m_bestLoops(1), m_bestMaxLoops(2048), m_realMeasure(false), m_bestMinClocks(100), m_statCalls(12),
      m_statClocks(10000), m_avoidBadCtrlStatus(false), m_avoidNow(false), m_ticks(0), m_measAccuracy(1.0),
      m_autoLoops(0), m_autoMaxLoops(0), m_funcLoop(nullptr), m_funcStat(nullptr), m_funcCall(nullptr),
      m_funcInit(nullptr), m_figureSource(figNone)
{
}

void psTool::setMethodLoop(int n)
{
    m_method = tmManual;
    m_numLoops = std::max(n, 1);
}

void psTool::setMethodStat(int calls, long long clocks)
{
    m_method = tmStatistic;
    m_statCalls = calls;
    m_statClocks = clocks;
}

void psTool::setMethodBest(int loops, int maxLoops, long long minClocks)
{
    m_method = tmIterative;
    m_bestLoops = std::max(loops, 1);
    m_bestMaxLoops = (int)std::min<long long>(std::max<long long>(maxLoops, 8LL * loops), INT_MAX);
    m_bestMinClocks = minClocks;
}

bool psTool::getMethodLoop(int& n) const
{
    if (m_method != tmManual) return false;
    n = m_numLoops;
    return true;
}

bool psTool::getMethodStat(int& calls, long long& clocks) const
{
    if (m_method != tmStatistic) return false;
    calls = m_statCalls;
    clocks = m_statClocks;
    return true;
}

bool psTool::getMethodBest(int& loops, int& maxLoops, long long& minClocks) const
{
    if (m_method != tmIterative) return false;
    loops = m_bestLoops;
    maxLoops = m_bestMaxLoops;
    minClocks = m_bestMinClocks;
    return true;
}

void psTool::getAutoParameters(int& loops, int& maxLoops, long long& minClocks)
{
    loops = 1;
    maxLoops = 1 << 11;
    minClocks = 10000;
}

void psTool::setLoopFactor(int f)
{
    if (f == 0) {
        m_autoLoops = m_autoMaxLoops = 0;
        return;
    }
    int loops, maxLoops;
    long long minClocks;
    getAutoParameters(loops, maxLoops, minClocks);
    if (f < 0) {
        // Shifts that would overflow an int stop at the largest power of two.
        int shift = f < -30 ? 30 : -f;
        m_autoLoops = loops << shift;
        m_autoMaxLoops = maxLoops << std::min(shift, 19);
    } else {
        f = std::min(f, 31);
        m_autoLoops = loops >> f;
        m_autoMaxLoops = maxLoops >> f;
    }
}

psString psTool::getAccuracyStr(double accuracy) { return accuracyText(accuracy); }

// ---- Dispatch -------------------------------------------------------------------------------------

psResult psTool::timing(funcLoop loop, funcStat stat, funcCall call, funcInit init)
{
    reset();
    if (loop == nullptr && stat == nullptr && call == nullptr) {
        g_ostrm << ERR
                << " Internal test problem: The test cannot execute standard timing.\n"
                   " No one of funcLoop, funcStat or funcCall is registered in the test.\n"
                << msgRestoreFlush;
        return FAIL;
    }
    m_funcLoop = loop;
    m_funcStat = stat;
    m_funcCall = call;
    m_funcInit = init;
    switch (m_method) {
    case tmAuto:
        psTraced("autoTiming", [&] { autoLoopTiming(); });
        break;
    case tmManual:
        if (loop == nullptr && call == nullptr) {
            g_ostrm << ERR
                    << " ATTENTION! The test cannot execute Manual loop timing.\n"
                       " Statistic timing will be run instead.\n"
                    << msgRestore;
            setMethodStat(m_numLoops, 0);
            return timing(loop, stat, call, init);
        }
        psTraced("customLoopTiming", [&] { customLoopTiming(); });
        break;
    case tmStatistic:
        if (stat == nullptr && call == nullptr) {
            g_ostrm << ERR
                    << " ATTENTION! The test cannot execute Statistic timing.\n"
                       " Manual loop timing will be run instead.\n"
                    << msgRestore;
            setMethodLoop(m_statCalls);
            return timing(loop, stat, call, init);
        }
        psTraced("statisticTiming", [&] { statisticTiming(); });
        break;
    case tmIterative:
        psTraced("iterativeTiming", [&] { bestTiming(m_bestLoops, m_bestMaxLoops, m_bestMinClocks); });
        break;
    default:
        internalFail(813);
        m_result = FAIL;
        break;
    }
    return m_result;
}

namespace {
// The old-style test under way; the adapter below has no other way to reach it.
funcOld _funcOld = nullptr;
psTool* _pTool = nullptr;

psResult oldStyleLoop(int loops, long long* clocks)
{
    psResult status = _funcOld(*_pTool, loops);
    *clocks = _pTool->ticks();
    return status;
}
} // namespace

psResult psTool::timing(funcOld old)
{
    if (old == nullptr) return timing(nullptr, nullptr, nullptr, nullptr);
    _funcOld = old;
    _pTool = this;
    return timing(oldStyleLoop, nullptr, nullptr, nullptr);
}

// ---- State ----------------------------------------------------------------------------------------

void psTool::reset()
{
    m_result = UNDEFINED;
    m_measAccuracy = 1.0;
    m_funcTicks = 0;
    m_message = psString();
    m_comment = psString();
    m_funcLoop = nullptr;
    m_funcStat = nullptr;
    m_funcCall = nullptr;
    m_funcInit = nullptr;
    m_timeStamp.start();
    m_ticks = 0;
    m_loops = 0;
    m_figureSource = figNone;
    m_steps.clear();
}

void psTool::updateResult(psResult status)
{
    if (status > m_result) {
        m_result = status;
        m_message = psResultString(status);
    }
}

void psTool::ctrlStart()
{
    if (m_hooks.ctrlStart) m_hooks.ctrlStart();
}

void psTool::ctrlStop()
{
    if (m_hooks.ctrlStop) m_hooks.ctrlStop();
}

bool psTool::badCtrlStatus()
{
    bool bad87 = false, badSSX = false;
    return m_hooks.badCtrlStatus != nullptr && m_hooks.badCtrlStatus(bad87, badSSX);
}

void psTool::markBadCtrlStatus(bool avoid, psTimingStep& step)
{
    if (!avoid || m_hooks.badCtrlStatus == nullptr || m_hooks.printCtrlStatus == nullptr) return;
    bool bad87 = false, badSSX = false;
    if (!m_hooks.badCtrlStatus(bad87, badSSX)) return;
    step.bad87 = bad87;
    step.badSSX = badSSX;
}

void psTool::clearCtrlStatus()
{
    if (m_hooks.clearCtrlStatus) m_hooks.clearCtrlStatus();
}

void psTool::internalFail(int line)
{
    psString text("PS internal fail: file perflib/src/pstool, line ");
    text << line << "\n";
    g_ostrm << ERR << text << msgRestoreFlush;
}

// ---- Measurements ---------------------------------------------------------------------------------

void psTool::runTimFunc(int loops, double* clocks, bool loopStyle)
{
    const int requested = loops;
    for (int attempt = 0; attempt < 2; ++attempt) {
        psResult status = UNDEFINED;
        loops = requested;
        m_ticks = 0;
        if (m_realMeasure) {
            if (m_funcCall == nullptr) {
                m_result = UNDEFINED;
                return;
            }
            psTraceScope scope("kynFunctionCalls");
            status = loopStyle ? timCall_Loop(loops, &m_ticks, true) : timCall_Stat(&loops, &m_ticks, true);
            m_figureSource = figCalls;
        } else {
            if (m_avoidNow && m_funcInit) psTraced("initFunc call", [&] { m_funcInit(); });
            ctrlStart();
            {
                psTraceScope scope("kynFunctionCalls");
                psSetPriority(m_priority);
                if (!loopStyle && m_funcStat) {
                    m_ticks = (long long)*clocks; // the clock budget
                    status = m_funcStat(&loops, &m_ticks, numIntLoops);
                    m_figureSource = figStat;
                } else if (m_funcLoop) {
                    status = m_funcLoop(loops, &m_ticks);
                    m_figureSource = figLoop;
                } else if (m_funcCall) {
                    status = timCall_Loop(loops, &m_ticks, false);
                    m_figureSource = figCalls;
                } else {
                    internalFail(262);
                    status = FAIL;
                }
                psResetPriority();
            }
            ctrlStop();
        }
        updateResult(status);
        if (m_result >= ACCURFAIL || m_ticks > 0) break;
    }
    *clocks = (double)m_ticks;
    m_loops = loops;
    m_funcTicks = *clocks;
}

double psTool::perCallFigure(double figure) const
{
    if (m_figureSource == figStat || m_loops <= 0) return figure;
    return figure / m_loops;
}

psResult psTool::timCall_Loop(int loops, long long* ticks, bool reset)
{
    if (m_funcCall == nullptr) {
        internalFail(825);
        return FAIL;
    }
    // Locals keep the timed loop free of anything but the calls.
    const funcCall call = m_funcCall;
    const funcInit init = m_funcInit;
    int (*const resetVectors)() = reset ? m_hooks.resetAllVectors : nullptr;
    if (init) init();
    call(); // warm-up, not timed
    psCpuTicker ticker;
    ticker.start();
    for (int i = 0; i < loops; ++i) {
        if (init) init();
        if (resetVectors) resetVectors();
        // A library error ends the series; the test's own check reports the status.
        if (call() < 0) break;
    }
    ticker.stop();
    *ticks = ticker.getTicks();
    return OK;
}

psResult psTool::timCall_Stat(int* calls, long long* ticks, bool reset)
{
    if (m_funcCall == nullptr) {
        internalFail(862);
        return FAIL;
    }
    const funcCall call = m_funcCall;
    const funcInit init = m_funcInit;
    int (*const resetVectors)() = reset ? m_hooks.resetAllVectors : nullptr;
    if (init) init();
    call(); // warm-up, not timed
    psCpuTicker ticker;
    int i = 0;
    while (i < *calls || ticker.getTicks() < *ticks) {
        if (init) init();
        ticker.on();
        if (resetVectors) resetVectors();
        call();
        ticker.off();
        // The status comes from an untimed repetition of the call.
        int s = call();
        ++i;
        if (s < 0) break;
    }
    *calls = i;
    *ticks = ticker.getTicks();
    return OK;
}

void psTool::runTimFuncStat(long long clocks, int* calls, double* funcTicks)
{
    psResult status = UNDEFINED;
    long long c = clocks;
    if (m_realMeasure) {
        if (m_funcCall == nullptr) {
            m_result = UNDEFINED;
            return;
        }
        status = timCall_Stat(calls, &c, true);
        m_figureSource = figCalls;
    } else {
        ctrlStart();
        psSetPriority(m_priority);
        {
            psTraceScope scope("kynFunctionCalls");
            if (m_funcStat) {
                status = m_funcStat(calls, &c, numIntLoops);
                m_figureSource = figStat;
            } else {
                status = timCall_Stat(calls, &c, false);
                m_figureSource = figCalls;
            }
        }
        psResetPriority();
        ctrlStop();
    }
    m_ticks = c;
    if (*calls == 0)
        *funcTicks = 0;
    else
        *funcTicks = m_figureSource == figStat ? (double)c : (double)c / *calls;
    updateResult(status);
}

// ---- Manual and Statistic methods -----------------------------------------------------------------

void psTool::customLoopTiming()
{
    note({tsManualStart, m_numLoops, 0, 0, 0, 0, UNDEFINED});
    psTraced("runTimFunc", [&] { runTimFunc(m_numLoops, &m_funcTicks, true); });
    // The tool's own call loop gives the total of its calls; a test's loop function gives its
    // figure per call.
    if (m_figureSource == figCalls && m_numLoops > 0) m_funcTicks /= m_numLoops;
    m_measAccuracy = 0;
    m_comment << "nLps=" << m_numLoops;
    note({tsManualDone, 0, 0, 0, m_funcTicks, 0, m_result});
}

void psTool::statisticTiming()
{
    note({tsStatStart, m_statCalls, 0, m_statClocks, 0, 0, UNDEFINED});
    int n = m_statCalls;
    psTraced("runTimFuncStat", [&] { runTimFuncStat(m_statClocks, &n, &m_funcTicks); });
    m_loops = n;
    m_measAccuracy = 0;
    m_comment << "nCalls=" << n;
    note({tsStatDone, n, 0, 0, m_funcTicks, 0, m_result});
}

// ---- Auto and Iterative search --------------------------------------------------------------------

namespace {
// A loop count scaled up, kept within an int.
int scaled(int loops, long long factor)
{
    long long v = (long long)loops * factor;
    return v > INT_MAX ? INT_MAX : (int)v;
}
} // namespace

void psTool::autoLoopTiming()
{
    int loops, maxLoops;
    long long minClocks;
    getAutoParameters(loops, maxLoops, minClocks);
    if (m_autoLoops != 0) loops = m_autoLoops;
    if (m_autoMaxLoops != 0) maxLoops = m_autoMaxLoops;
    bestTiming(loops, maxLoops, minClocks);
}

psResult psTool::startIterations(int loops, long long minClocks)
{
    m_loops = loops;
    psTraced("runTimFunc", [&] { runTimFunc(m_loops, &m_funcTicks, true); });
    m_funcTicks = perCallFigure(m_funcTicks);
    if (m_result >= ACCURFAIL) return m_result;
    if (m_funcTicks <= 0) return ACCURFAIL;
    return m_funcTicks * m_loops >= minClocks ? OK : ACCURWRN;
}

psResult psTool::continueIterations(int loops, int maxLoops)
{
    if (m_funcStat) {
        // One statistic measurement replaces the doubling: enough calls over a fixed time.
        double budget = getFreq() * (double)m_numMilliseconds * 100.0;
        m_loops = m_minNumLoops;
        // A call longer than the timer's resolution allows is timed alone, a shorter one in blocks.
        numIntLoops = tResolution * 100.0 / m_funcTicks < 2.0 ? 1 : 100;
        psTraced("runTimFunc", [&] { runTimFunc(m_minNumLoops, &budget, false); });
        m_funcTicks = perCallFigure(budget);
        if (m_funcTicks <= 0) return ACCURFAIL;
        m_measAccuracy = computeAccuracy(m_funcTicks, m_funcTicks);
        return badCtrlStatus() && m_avoidNow ? BADSTSWRN : OK;
    }
    double prev = m_funcTicks;
    m_loops = std::max(std::min(loops, maxLoops), 1);
    while (m_loops <= maxLoops) {
        psTraced("runTimFunc", [&] { runTimFunc(m_loops, &m_funcTicks, false); });
        m_funcTicks = perCallFigure(m_funcTicks);
        if (m_funcTicks <= 0) return ACCURFAIL;
        m_measAccuracy = computeAccuracy(m_funcTicks, prev);
        if (badCtrlStatus() && m_avoidNow) {
            m_funcTicks = prev;
            m_loops >>= 1;
            return BADSTSWRN;
        }
        if (m_measAccuracy <= m_accuracy) return OK;
        prev = m_funcTicks;
        if (m_loops > INT_MAX / 2) return ACCURWRN;
        m_loops *= 2;
    }
    m_loops >>= 1; // the last loop count measured
    return ACCURWRN;
}

psResult psTool::repeatTiming(int loops, int n)
{
    const int maxValues = 16;
    n = std::min(std::max(n, 1), maxValues);
    double values[maxValues];
    int i = 0;
    if (m_loops == loops) values[i++] = m_funcTicks;
    m_loops = loops;
    for (; i < n; ++i) {
        values[i] = 0;
        psTraced("runTimFunc", [&] { runTimFunc(m_loops, &values[i], false); });
        // The series holds clocks per call, like the figure it may start with.
        values[i] = perCallFigure(values[i]);
        note({tsRepeatValue, m_loops, 0, m_ticks, values[i], 0, UNDEFINED});
    }
    m_measAccuracy = computeAccuracy(values, n);
    m_funcTicks = computeBest(values, n);
    psResult r = m_measAccuracy > m_accuracy ? ACCURWRN : OK;
    if (badCtrlStatus() && m_avoidNow) r = BADSTSWRN;
    psTimingStep done{tsRepeatDone, 0, 0, 0, m_funcTicks, m_measAccuracy, r};
    markBadCtrlStatus(m_avoidNow, done);
    note(done);
    return r;
}

void psTool::bestTiming(int loops, int maxLoops, long long minClocks)
{
    m_avoidNow = m_avoidBadCtrlStatus;
    note({tsSearchStart, 0, 0, minClocks, 0, 0, UNDEFINED});

    bool failed = false;
    psResult r = UNDEFINED;
    // Prior phase: raise the loop count until one measurement takes at least minClocks.
    for (int pass = 0; pass < 2; ++pass) {
        note({tsPriorStart, loops, 0, 0, 0, 0, UNDEFINED});
        r = startIterations(loops, minClocks);
        note({tsPriorDone, 0, 0, m_ticks, m_funcTicks, 0, r});
        if (r == ACCURFAIL) {
            if (pass == 1) failed = true;
            loops = scaled(loops, 10);
            maxLoops = scaled(maxLoops, 10);
            continue;
        }
        if (r == ACCURWRN) {
            if (pass == 1) break;
            double wanted = 2.0 * (double)minClocks / (double)m_ticks;
            int k = roundUpToPow2(wanted > (double)INT_MAX ? INT_MAX : (int)wanted);
            loops = scaled(loops, k);
            maxLoops = scaled(maxLoops, k);
            continue;
        }
        if (r > WRN) {
            m_result = r;
            note({tsSearchExit, 0, 0, 0, 0, 0, r});
            return;
        }
        break;
    }

    // Iteration phase: grow the loop count until successive figures agree.
    loops = scaled(m_loops, 4);
    while (!failed && maxLoops > m_loops) {
        note({tsIterationStart, loops, maxLoops, 0, 0, 0, UNDEFINED});
        r = continueIterations(loops, maxLoops);
        note({tsIterationDone, m_loops, 0, m_ticks, m_funcTicks, m_measAccuracy, r});
        if (r == ACCURFAIL) {
            if (psCpuTicker::getClockFactor() <= loops) {
                failed = true;
                break;
            }
            loops = scaled(loops, 10);
            maxLoops = scaled(maxLoops, 10);
            continue;
        }
        if (r == BADSTSWRN) {
            const double threshold = 2 * m_accuracy;
            psTimingStep avoid{tsAvoidStart, 0, 0, 0, 0, 0, r};
            markBadCtrlStatus(m_avoidNow, avoid);
            note(avoid);
            clearCtrlStatus();
            r = repeatTiming(m_loops, 6);
            if (r == BADSTSWRN || m_measAccuracy > threshold)
                note({tsAvoidFailed, 0, 0, 0, 0, m_measAccuracy, r});
            else
                note({tsAvoidSucceeded, 0, 0, 0, 0, m_measAccuracy, r});
            break;
        }
        if (m_measAccuracy <= 0.01) break;
        note({tsRepeatStart, m_loops, 0, 0, 0, 0, UNDEFINED});
        r = repeatTiming(m_loops, 3);
        if (r == ACCURWRN) {
            loops = scaled(m_loops, 4);
            continue;
        }
        if (r == ACCURFAIL && psCpuTicker::getClockFactor() <= loops) failed = true;
        break;
    }

    if (failed) {
        m_result = ACCURFAIL;
        note({tsSearchFail, 0, 0, 0, 0, 0, ACCURFAIL});
        return;
    }

    m_comment << "nLps=" << m_loops;
    if (m_measAccuracy > m_accuracy) {
        psString accuracy = getAccuracyStr(m_measAccuracy);
        m_comment << " acc=" << accuracy;
        if (m_result < ACCURWRN) {
            m_result = ACCURWRN;
            m_message << "actual accuracy = " << accuracy;
        }
    }
    note({tsSearchStop, m_loops, 0, m_ticks, m_funcTicks, m_measAccuracy, m_result});
}

void psTool::note(const psTimingStep& step)
{
    m_steps.add(step);
    printTimingStep(step, m_hooks.printCtrlStatus);
}
