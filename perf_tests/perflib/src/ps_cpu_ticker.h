// psCpuTicker: sums measured spans of the time-stamp counter. Also the process-wide clock readers,
// the processor frequency, the process priority around measurements and the processor count.
#ifndef PS_CPU_TICKER_H
#define PS_CPU_TICKER_H

#include <climits>

// A reading of the time-stamp counter.
typedef unsigned long long (*psCpuClockFunc)();

// The readers taken right before and right after a measured span. They start as the crypto
// library's plain readers; the test layer's environment set-up switches them to the RDTSCP forms
// when the processor has that instruction. The multi-buffer wrappers call them directly.
extern psCpuClockFunc kyn_StartCpuClocks;
extern psCpuClockFunc kyn_StopCpuClocks;

// Installs both readers; a null reader leaves that one as it was.
void psSetCpuClocks(psCpuClockFunc start, psCpuClockFunc stop);

// Two ways to use it: start() ... stop() for one long span, or on()/off() around each call to sum
// only the timed calls. The bookkeeping is inline and lies outside the readings: on() reads the
// counter last, off() first.
class psCpuTicker {
public:
    psCpuTicker() : m_stopped(true), m_idle(true), m_startReading(0), m_total(0), m_minimum(LLONG_MAX), m_count(0) {}

    // Begins a new series with an open span.
    void start()
    {
        m_stopped = true;
        m_minimum = LLONG_MAX;
        on();
    }
    // Opens a span; the first span after start()/stop() also restarts the total and the count.
    void on()
    {
        if (m_stopped) {
            m_total = 0;
            m_count = 0;
            m_stopped = false;
        }
        m_idle = false;
        m_startReading = kyn_StartCpuClocks();
    }
    // Closes the open span; without one it changes nothing.
    void off()
    {
        unsigned long long reading = kyn_StopCpuClocks();
        if (m_idle) return;
        long long span = (long long)(reading - m_startReading);
        m_total += span;
        if (span < m_minimum) m_minimum = span;
        m_idle = true;
        ++m_count;
    }
    void stop()
    {
        off();
        m_stopped = true;
    }

    // Sum of the closed spans, in clocks.
    long long getTicks() const { return m_total * getClockFactor(); }
    // The shortest closed span (LLONG_MAX when none) and the number of closed spans.
    long long getMinimum() const { return m_minimum; }
    int getCount() const { return m_count; }

    // Processor frequency in MHz, estimated on first use (about three seconds) and cached.
    static int getFreq();
    // Fixes the frequency instead of estimating it (a known machine; tests). 0 estimates again.
    static void setFreq(int mhz) { m_freq = mhz > 0 ? mhz : 0; }
    // Every tick count is multiplied by it: the counter ticks once per clock.
    static int getClockFactor() { return 1; }

private:
    bool m_stopped;
    bool m_idle;
    unsigned long long m_startReading;
    long long m_total;
    long long m_minimum;
    int m_count;

    static int m_freq;
};

// Raises (1, nice -20), keeps (2, nice 0) or lowers (3, nice 10) the process priority for the
// measured calls; 0 leaves it alone. Only a process running as root changes its nice value; for
// others both calls do nothing visible.
void psSetPriority(int priority);
// Restores the nice value psSetPriority saved, once.
void psResetPriority();

// Online processors, at least 1.
long psGetNumOfProcessors();

#endif
