// What one timing did, step by step: the tool records each step of its method with the figures it
// measured and the result it reached; printTimingStep turns a step into the lines a user follows
// on the console. Recording allocates nothing, so it may sit next to the measured calls.
#ifndef PS_TIMING_STEPS_H
#define PS_TIMING_STEPS_H

#include "ps_result.h"

// The fields each kind fills are named after it; the others stay 0.
enum psTimingStepKind {
    tsManualStart,    // loops
    tsManualDone,     // clocks, result
    tsStatStart,      // loops (least calls), ticks (clock budget)
    tsStatDone,       // loops (calls made), clocks, result
    tsSearchStart,    // ticks (least clocks of one measurement)
    tsPriorStart,     // loops
    tsPriorDone,      // ticks, clocks, result
    tsIterationStart, // loops (start), maxLoops
    tsIterationDone,  // loops (stop), ticks, accuracy, clocks, result
    tsRepeatStart,    // a repeat series follows
    tsRepeatValue,    // loops, ticks, clocks
    tsRepeatDone,     // accuracy, clocks (best of the series), result, bad87/badSSX
    tsAvoidStart,     // bad87/badSSX: the loop count is reduced to avoid a bad control status
    tsAvoidFailed,    // result: BADSTSWRN when the status repeats, else the accuracy was missed
    tsAvoidSucceeded,
    tsSearchExit,     // the measured function failed: the search ends
    tsSearchFail,     // no clocks could be measured: the search ends
    tsSearchStop      // the search ends normally
};

struct psTimingStep {
    psTimingStepKind kind;
    int loops;       // loop count, or number of calls
    int maxLoops;
    long long ticks; // clocks the measurement reported (or the clock limit the step starts with)
    double clocks;   // clocks per call
    double accuracy; // as a fraction
    psResult result;
    // The sides of the control status found bad while avoiding a bad status was asked for; their
    // status is printed before the step's lines.
    bool bad87 = false;
    bool badSSX = false;
};

// The steps of one timing, in order, kept in place. Steps beyond the capacity are only counted.
class psTimingSteps {
public:
    static constexpr int capacity = 128;

    void clear() { m_count = m_dropped = 0; }
    void add(const psTimingStep& step)
    {
        if (m_count < capacity)
            m_steps[m_count++] = step;
        else
            ++m_dropped;
    }
    int count() const { return m_count; }
    int dropped() const { return m_dropped; }
    const psTimingStep& operator[](int i) const { return m_steps[i]; }

private:
    psTimingStep m_steps[capacity];
    int m_count = 0;
    int m_dropped = 0;
};

// Writes the lines of one step to g_ostrm: the course of the measurement at level INFO, the notes
// on avoiding a bad control status at level WARN, the bad status itself through printCtrlStatus
// (when given). A failed search also flushes the console files when INFO lines are not shown.
void printTimingStep(const psTimingStep& step, void (*printCtrlStatus)(bool bad87, bool badSSX) = nullptr);

#endif
