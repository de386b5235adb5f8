// psTrace: the call tracer that prints indented "trace into"/"trace out of" lines; g_trace.
#ifndef PS_TRACE_H
#define PS_TRACE_H

#include <exception>

#include "ps_list.h"
#include "ps_string.h"

// The stack of entered names, newest first.
class psTrace : public psList<psString> {
public:
    constexpr psTrace() {}

    // Prints the line at level TRACE on g_ostrm, one "*" deeper than the enclosing call.
    void traceIn(psString name);
    // Prints the line at the depth of the matching traceIn and leaves every call entered since.
    // A name that was never entered changes neither the stack nor the indent.
    void traceOut(psString name);
    // The innermost entered name, or "".
    psString getCurName() const { return empty() ? psString() : front(); }

    // Every line built since the last setInfo or clean, printed or not.
    psString getInfo() const { return m_info; }
    void setInfo(psString info) { m_info = info; }
    void clean();
    // Flushes g_ostrm when its current message level is within its output level.
    void flush();

private:
    void putLine(const psString& line);

    psString m_info;
    psString m_indent; // one "*" per entered name
};

// Constant-initialised, like g_ostrm.
extern psTrace g_trace;

// Traces one step for the rest of the enclosing block: "trace into" now, "trace out of" when the
// block ends. A block left by an exception leaves its name on the stack, so the error message
// names the step that failed (getCurName).
class psTraceScope {
public:
    explicit psTraceScope(const char* name) : m_name(name), m_exceptions(std::uncaught_exceptions())
    {
        g_trace.traceIn(m_name);
    }
    ~psTraceScope()
    {
        if (std::uncaught_exceptions() == m_exceptions) g_trace.traceOut(m_name);
    }
    psTraceScope(const psTraceScope&) = delete;
    psTraceScope& operator=(const psTraceScope&) = delete;

private:
    const char* m_name;
    int m_exceptions;
};

// Runs f() as one traced step and returns what it returns.
template <class F>
decltype(auto) psTraced(const char* name, F f)
{
    psTraceScope scope(name);
    return f();
}

#endif
