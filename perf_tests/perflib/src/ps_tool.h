// The timing tool: how a library call is measured, with which method and settings.
#ifndef PS_TOOL_H
#define PS_TOOL_H

#include "ps_cpu_ticker.h"
#include "ps_date.h"
#include "ps_result.h"
#include "ps_string.h"
#include "ps_timing_steps.h"

class psTool;

// The calls a test hands to the tool.
typedef psResult (*funcLoop)(int loops, long long* clocks);
typedef psResult (*funcStat)(int* calls, long long* clocks, int numIntLoops);
typedef int (*funcCall)();
typedef int (*funcInit)();
typedef psResult (*funcOld)(psTool& tool, int loops);

// Timing methods.
enum psTimingMethod { tmAuto = 0, tmManual = 1, tmStatistic = 2, tmIterative = 3 };

// What the tool needs from the test layer, which owns the floating-point control-status watch and
// the data buffers: start and stop the watch around each block of measured calls, read whether
// the collected status is bad (x87 side, SSE side), print and clear it, and reset every data
// buffer before each call of a real-measure timing. An empty entry does nothing; a missing
// badCtrlStatus means the status is never bad.
struct psToolHooks {
    void (*ctrlStart)();
    void (*ctrlStop)();
    bool (*badCtrlStatus)(bool& bad87, bool& badSSX);
    void (*printCtrlStatus)(bool bad87, bool badSSX);
    void (*clearCtrlStatus)();
    int (*resetAllVectors)();
};

class psTool {
public:
    psTool();
    virtual ~psTool() {}

    // Settings made by the session on the global tool.
    void setMethodAuto() { m_method = tmAuto; }
    void setMethodLoop(int n);
    void setMethodStat(int calls, long long clocks);
    void setMethodBest(int loops, int maxLoops, long long minClocks);
    int getMethod() const { return m_method; }
    bool getMethodAuto() const { return m_method == tmAuto; }
    bool getMethodLoop(int& n) const;
    bool getMethodStat(int& calls, long long& clocks) const;
    bool getMethodBest(int& loops, int& maxLoops, long long& minClocks) const;
    void setLoopFactor(int f);
    void setAccuracy(double accuracy) { m_accuracy = accuracy; }
    double getAccuracy() const { return m_accuracy; }
    void setRealMeasure(bool on) { m_realMeasure = on; }
    bool getRealMeasure() const { return m_realMeasure; }
    void setAvoidBadCtrlStatus(bool on) { m_avoidBadCtrlStatus = on; }

    static void setPriority(int priority) { m_priority = priority; }
    static int getPriority() { return m_priority; }
    static void setNumMilliseconds(int ms) { m_numMilliseconds = ms; }
    static int getNumMilliseconds() { return m_numMilliseconds; }
    static void setMinNumLoops(int n) { m_minNumLoops = n; }
    static int getMinNumLoops() { return m_minNumLoops; }
    static void setNumExtLoops(int n) { m_numExtLoops = n; }
    static int getNumExtLoops() { return m_numExtLoops; }
    static void getAutoParameters(int& loops, int& maxLoops, long long& minClocks);

    // The process-wide hooks (see psToolHooks); they start empty.
    static void setHooks(const psToolHooks& hooks) { m_hooks = hooks; }
    static const psToolHooks& getHooks() { return m_hooks; }

    // Measures one call of a library function through the functions the test supplies, by the
    // tool's method; at least one of loop, stat and call must be given. The figure, the loop count,
    // the accuracy reached and the comment are read afterwards.
    psResult timing(funcLoop loop, funcStat stat, funcCall call, funcInit init);
    // Old-style tests time loops calls themselves and leave the total in the tool (setTicks).
    psResult timing(funcOld old);

    // Results of the last timing.
    psResult getResult() const { return m_result; }
    double getFuncTicks() const { return m_funcTicks; }
    int getLoops() const { return m_loops; }
    long long getTicks() const { return m_ticks; }
    double getMeasAccuracy() const { return m_measAccuracy; }
    // The steps of the last timing with their figures, as they were printed.
    const psTimingSteps& getSteps() const { return m_steps; }
    psString getMessage() const { return m_message; }
    psString getComment() const { return m_comment; }
    void setFuncTicks(double ticks) { m_funcTicks = ticks; }
    void setComment(psString comment) { m_comment = comment; }
    void setTicks(long long ticks) { m_ticks = ticks; }
    // The tool's clocks times the clock factor.
    long long ticks() const { return m_ticks * psCpuTicker::getClockFactor(); }
    // The accuracy reached, and any accuracy fraction, as a percentage text ("0.05%", "2.5%").
    psString getAccuracyStr() const { return getAccuracyStr(m_measAccuracy); }
    static psString getAccuracyStr(double accuracy);
    // Processor frequency in MHz.
    static int getFreq() { return psCpuTicker::getFreq(); }

protected:
    void reset();
    void updateResult(psResult status);
    void ctrlStart();
    void ctrlStop();
    bool badCtrlStatus();
    // Marks in the step the sides of a bad control status when avoid is set.
    void markBadCtrlStatus(bool avoid, psTimingStep& step);
    void clearCtrlStatus();
    void internalFail(int line);
    // Records a step of the method under way and prints it.
    void note(const psTimingStep& step);

    // One measurement of loops calls; loopStyle false prefers the statistic function.
    void runTimFunc(int loops, double* clocks, bool loopStyle);
    // One statistic measurement: at least *calls calls and at least clocks clocks.
    void runTimFuncStat(long long clocks, int* calls, double* funcTicks);
    // The tool's own call loops for tests that supply only funcCall (and for real-measure mode).
    psResult timCall_Loop(int loops, long long* ticks, bool reset);
    psResult timCall_Stat(int* calls, long long* ticks, bool reset);
    // The figure of the last measurement as clocks per call for the searches: the statistic
    // function reports per call; the test's loop function and the tool's own call loops report
    // the total of m_loops calls.
    double perCallFigure(double figure) const;

    void customLoopTiming();
    void statisticTiming();
    void autoLoopTiming();
    void bestTiming(int loops, int maxLoops, long long minClocks);
    psResult startIterations(int loops, long long minClocks);
    psResult continueIterations(int loops, int maxLoops);
    psResult repeatTiming(int loops, int n);

    psResult m_result;
    double m_funcTicks;
    int m_loops;
    double m_accuracy;
    int m_method;
    int m_numLoops;
    int m_bestLoops;
    int m_bestMaxLoops;
    bool m_realMeasure;
    long long m_bestMinClocks;
    int m_statCalls;
    long long m_statClocks;
    bool m_avoidBadCtrlStatus;
    bool m_avoidNow;
    psString m_message;
    psString m_comment;
    long long m_ticks;
    double m_measAccuracy;
    int m_autoLoops;
    int m_autoMaxLoops;
    psDate m_timeStamp;
    funcLoop m_funcLoop;
    funcStat m_funcStat;
    funcCall m_funcCall;
    funcInit m_funcInit;
    // Which function gave the last measurement's figure, and so its unit.
    enum FigureSource { figNone, figStat, figLoop, figCalls };
    FigureSource m_figureSource;
    psTimingSteps m_steps;

    // -c, -j, -J and -Y: in g_settings.
    static int& m_numMilliseconds;
    static int& m_minNumLoops;
    static int& m_numExtLoops;
    static int numIntLoops;
    static const int tResolution = 4;
    static int& m_priority;
    static psToolHooks m_hooks;
};

// The session's tool; every test copies it at the start of its run.
extern psTool g_tool;

#endif
