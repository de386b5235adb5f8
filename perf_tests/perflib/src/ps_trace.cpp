#include "ps_trace.h"

#include "ps_ostream.h"

PS_CONSTINIT psTrace g_trace;

void psTrace::putLine(const psString& line)
{
    g_ostrm.setMsgLevel(TRACE);
    g_ostrm << line;
    m_info += line;
    flush();
    g_ostrm.restoreMsgLevel();
}

void psTrace::traceIn(psString name)
{
    m_indent += '*';
    putLine(m_indent + "*****" + " trace into   " + name + "\n");
    push_front(name);
}

void psTrace::traceOut(psString name)
{
    putLine(m_indent + "*****" + " trace out of " + name + "\n");
    int depth = 1;
    iterator it = begin();
    while (it != end() && !(*it == name)) {
        ++it;
        ++depth;
    }
    if (it == end()) return;
    for (int i = 0; i < depth; ++i) {
        pop_front();
        if (!m_indent.empty()) m_indent.resize(m_indent.length() - 1);
    }
}

void psTrace::clean()
{
    m_info = psString();
    m_indent = psString();
}

void psTrace::flush()
{
    if ((int)g_ostrm.getMsgLevel() <= g_ostrm.getOutLevel()) g_ostrm.flush();
}
