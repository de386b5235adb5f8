// Start and stop calendar times of a run, a test or a timing.
#ifndef PS_DATE_H
#define PS_DATE_H

#include <ctime>

#include "ps_string.h"

class psDate {
public:
    psDate() : m_start(0), m_stop(0) {}
    void start() { m_start = time(nullptr); }
    void stop() { m_stop = time(nullptr); }
    // Stop minus start in whole seconds.
    int diff() const { return (int)difftime(m_stop, m_start); }
    // The C library's ctime texts, line feed included.
    psString strStart() const { return ctimeText(m_start); }
    psString strStop() const { return ctimeText(m_stop); }
    time_t getStart() const { return m_start; }
    time_t getStop() const { return m_stop; }

private:
    static psString ctimeText(time_t t);
    time_t m_start;
    time_t m_stop;
};

#endif
