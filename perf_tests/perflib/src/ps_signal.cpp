#include "ps_signal.h"

#include <csignal>

int tsSignal::m_code = 0;
sigjmp_buf* tsSignal::m_jmpbuf = nullptr;

namespace {
void onSignal(int sig) { tsSignal::sig_fpe(sig, 0); }

// Points armed by pushPoint. Deeper nesting than this reuses the innermost point, which still
// catches the signal, only in the wrong place.
struct ArmedPoint {
    sigjmp_buf buffer;
    sigjmp_buf* previous;
};
const int maxPoints = 32;
ArmedPoint s_points[maxPoints];
int s_depth = 0;
} // namespace

sigjmp_buf& tsSignal::pushPoint()
{
    int i = s_depth < maxPoints ? s_depth : maxPoints - 1;
    if (s_depth < maxPoints) s_points[i].previous = m_jmpbuf;
    ++s_depth;
    m_jmpbuf = &s_points[i].buffer;
    return s_points[i].buffer;
}

void tsSignal::popPoint()
{
    if (s_depth == 0) return;
    --s_depth;
    if (s_depth < maxPoints) m_jmpbuf = s_points[s_depth].previous;
}

namespace {
// The handler runs on a stack of its own, so that a stack overflow inside a measured call (a
// SIGSEGV with no stack left to run a handler on) is caught like any other fault.
alignas(64) char s_signalStack[64 * 1024];
} // namespace

tsSignal::tsSignal()
{
    stack_t stack;
    std::memset(&stack, 0, sizeof stack);
    stack.ss_sp = s_signalStack;
    stack.ss_size = sizeof s_signalStack;
    sigaltstack(&stack, nullptr);
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onSignal;
    action.sa_flags = SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    sigaction(SIGFPE, &action, nullptr);
    sigaction(SIGILL, &action, nullptr);
    sigaction(SIGSEGV, &action, nullptr);
}

void tsSignal::sig_fpe(int sig, int)
{
    m_code = sig;
    if (m_jmpbuf) siglongjmp(*m_jmpbuf, -1);
    // Nothing is guarded: the signal is raised again with its default action, which takes effect
    // as soon as this handler returns (a fault would also repeat at its instruction).
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

const char* tsSignal::getInfo()
{
    switch (m_code) {
    case SIGILL: return "Illegal instruction.";
    case SIGFPE: return "FP fail, such as overflow, division by zero, invalid operation.";
    case SIGSEGV: return "Illegal storage access.";
    default: return "Unknown exception";
    }
}

tsSignal _g_signal;
