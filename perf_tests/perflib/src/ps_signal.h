// tsSignal: turns SIGFPE, SIGILL and SIGSEGV inside a guarded operation into a psException, so
// that one crashing library function fails its test instead of ending the run.
#ifndef PS_SIGNAL_H
#define PS_SIGNAL_H

#include <csetjmp>

#include "ps_exception.h"

class tsSignal {
public:
    // Installs the handler for the three signals; done once, by _g_signal, before main.
    tsSignal();

    // Records the signal and jumps back to the innermost armed point (value -1). With no point
    // armed the signal gets its default action, as if there were no guard.
    static void sig_fpe(int sig, int code);

    static int code() { return m_code; }
    // The text for the last signal. A plain C text on purpose: psException(const char*) makes it
    // a "--KYN. Signal: " message.
    static const char* getInfo();

    // Arming without a scope object, for code that arms inside a try block and disarms after
    // its handlers (PS_SIGNAL_ARM / PS_SIGNAL_DISARM): each push makes a new innermost point and
    // the matching pop brings back the one before it. Pops without a push do nothing.
    static sigjmp_buf& pushPoint();
    static void popPoint();

    static int m_code;
    // The innermost armed return point, null when nothing is guarded.
    static sigjmp_buf* m_jmpbuf;
};

extern tsSignal _g_signal;

// One armed return point. It remembers the point armed before it and brings that back when it
// goes out of scope, also when it is left by the exception of a caught signal, so an inner
// guarded operation never leaves a stale point behind for the outer one.
class tsSignalGuard {
public:
    tsSignalGuard() : m_previous(tsSignal::m_jmpbuf) {}
    ~tsSignalGuard() { tsSignal::m_jmpbuf = m_previous; }
    tsSignalGuard(const tsSignalGuard&) = delete;
    tsSignalGuard& operator=(const tsSignalGuard&) = delete;

    sigjmp_buf& arm()
    {
        tsSignal::m_jmpbuf = &m_point;
        return m_point;
    }

private:
    sigjmp_buf m_point;
    sigjmp_buf* m_previous;
};

// Arms a return point for the rest of the enclosing block: a signal caught while the block runs
// (also in the functions it calls) throws psException(tsSignal::getInfo()) from here. The
// signal mask saved here is restored by the jump, so the same signal can be caught again.
#define PS_SIGNAL_GUARD()                                                                          \
    tsSignalGuard psSignalGuard_;                                                                  \
    if (sigsetjmp(psSignalGuard_.arm(), 1) != 0) throw psException(tsSignal::getInfo())

// The same in two steps: PS_SIGNAL_ARM() is 0 when armed and -1 when a caught signal came back
// to it; every PS_SIGNAL_ARM() is matched by one PS_SIGNAL_DISARM() in the same function, also
// when the signal came back.
#define PS_SIGNAL_ARM() sigsetjmp(tsSignal::pushPoint(), 1)
#define PS_SIGNAL_DISARM() tsSignal::popPoint()

// Calls f() under a return point of its own.
template <class F>
void psGuardedCall(F f)
{
    PS_SIGNAL_GUARD();
    f();
}

#endif
