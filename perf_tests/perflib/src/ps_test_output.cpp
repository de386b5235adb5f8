// The lines a test writes for each measured combination of its parameters: the performance line
// and errors on the console, the result row in the csv table, and the name rows before them; the
// test's title block and result lines.

#include "ps_test.h"

#include <cstdio>

#include "ps_cache_iterator.h"
#include "ps_cpu_ticker.h"
#include "ps_cstream.h"
#include "ps_parameter.h"
#include "ps_report.h"
#include "ps_settings.h"
#include "ps_trace.h"

namespace {
// Pads a text with blanks to |width| characters: on the left for a positive width, on the right for
// a negative one.
psString sFormat(const psString& text, int width)
{
    int w = width < 0 ? -width : width;
    if (text.length() >= w) return text;
    psString pad;
    pad.resize(w - text.length(), ' ');
    return width > 0 ? pad + text : text + pad;
}

template <class T>
psString sFormat(T value, int width)
{
    psString text;
    text << value;
    return sFormat(text, width);
}
} // namespace

// ---- output of one combination

void psTest::outputResult(psResult r)
{
    if (r == UNDEFINED) return;
    putTextError(r);
    putTextResult(r);
    if (r <= WRN) {
        putTableResult(r);
        putTableResult_Deprecated(r);
    }
}

void psTest::putTextError(psResult r)
{
    if (r <= OK) return;
    g_ostrm << (r <= WRN ? WARN : ERR) << "-- " << psResultString(r) << " on test parameters:\n";
    putTextParms();
    g_ostrm << msgRestore;
}

void psTest::putTextResult(psResult r)
{
    if (r < OK || r > WRN) return;
    g_ostrm << (r == OK ? PERF : WARN);
    if (r != OK) g_ostrm << "-- performance:\n";
    g_ostrm << testResultString() << "\n" << msgRestore;
}

psString psTest::testResultString()
{
    psString text;
    int method = m_tool.getMethod();
    if (method == tmAuto || method == tmIterative) text += psString("  ") + "acc=" + sFormat(m_tool.getAccuracyStr(), -5);
    text += psString("  ") + sFormat(m_tool.getComment(), -10);
    text += psString("  ") + "perf=" + sFormat(m_tool.getFuncTicks(), 9) + "/" + sFormat(getDivisor(), 9) + "=" +
            sFormat(perfString(false), 9) + " clocks";
    return text;
}

double psTest::performance(bool flops)
{
    double clocks = m_tool.getFuncTicks();
    if (!flops) return clocks / getDivisor();
    if (!isFloatFunction() || clocks <= 0) return 0;
    return getFlops() * psCpuTicker::getFreq() / clocks;
}

psString psTest::perfString(bool flops) { return formatClocks(performance(flops)); }

psString psTest::formatClocks(double v)
{
    if (v <= 0) return "";
    char text[64];
    if (v < 0.0001 || v > 1e7) {
        snprintf(text, sizeof text, "%.3e", v);
        return text;
    }
    int d = v >= 100 ? 0 : v >= 10 ? 1 : v >= 1 ? 2 : v >= 0.1 ? 3 : v >= 0.01 ? 4 : v >= 0.001 ? 5 : 6;
    char format[16];
    snprintf(format, sizeof format, "%c.%df", '%', d);
    snprintf(text, sizeof text, format, v);
    return text;
}

// ---- csv output

void psTest::putTableParms()
{
    psTraced("funcToCstrm", [&] { funcToCstrm(); });
    psTraced("parmsToCstrm", [&] { parmsToCstrm(); });
    g_cstrm.setColmIndex(m_numParmsColm);
}

void psTest::putTableResult(psResult r)
{
    putTableParms();
    psTraced("resultToCstrm", [&] { resultToCstrm(r); });
    g_cstrm.lineOut(m_numParmsColm + m_numResultColm);
}

void psTest::resultToCstrm(psResult)
{
    double mhz = psCpuTicker::getFreq();
    psString usec;
    if (mhz > 0) usec << m_tool.getFuncTicks() / mhz;
    g_cstrm << getComment() << perfString(false) << getUnit() << usec << perfString(true)
            << (isHotLine() ? psString("Hot") : psString());
}

psString psTest::getComment()
{
    if (m_deprecated) return "deprecated";
    return getCacheComment(" ") + m_tool.getComment();
}

psString psTest::getCacheComment(psString sep)
{
    return m_pCacheIter ? m_pCacheIter->getComment() + sep : psString();
}

void psTest::putTableResult_Deprecated(psResult r)
{
    if (setDeprecatedFlag(true)) {
        putTableParms();
        psTraced("resultToCstrm", [&] { resultToCstrm(r); });
        g_cstrm.linePostpone();
    }
    setDeprecatedFlag(false);
}

bool psTest::setDeprecatedFlag(bool on)
{
    m_deprecated = on;
    if (!on) {
        for (psList<psParameter*>::iterator it = m_parms.begin(); it != m_parms.end(); ++it)
            (*it)->setDeprecatedFlag(false);
        return false;
    }
    bool any = false;
    for (psList<psParameter*>::iterator it = m_parms.begin(); it != m_parms.end(); ++it) {
        if (!(*it)->isDeprecatedParm()) continue;
        if (!(*it)->setDeprecatedFlag(true)) return false;
        any = true;
    }
    return any;
}

void psTest::funcToCstrm() { g_cstrm.setNextColm(m_name); }

bool psTest::parmsToOstrm()
{
    for (psList<psParameter*>::iterator it = m_parms.begin(); it != m_parms.end(); ++it) g_ostrm << **it;
    return true;
}

bool psTest::parmsToCstrm()
{
    for (psList<psParameter*>::iterator it = m_parms.begin(); it != m_parms.end(); ++it) g_cstrm << **it;
    return true;
}

bool psTest::parmsNameToCstrm()
{
    for (psList<psParameter*>::iterator it = m_parms.begin(); it != m_parms.end(); ++it)
        (*it)->nameToCStream(g_cstrm);
    return true;
}

void psTest::putTableName()
{
    if (m_name.length() >= 4 && m_name.substr(0, 4) == "__ps") return;
    int mode = g_settings.nameMode;
    if (mode & 1) putTableNameLine();
    if (mode & 2) {
        g_cstrm.swap(g_qstrm);
        putTableNameLine();
        g_cstrm.swap(g_qstrm);
    }
}

void psTest::putTableNameLine()
{
    psTraced("funcToCstrm", [&] { funcToCstrm(); });
    psTraced("parmsNameToCstrm", [&] { parmsNameToCstrm(); });
    g_cstrm.setColmIndex(m_numParmsColm);
    g_cstrm << "parmNames";
    g_cstrm.lineOut(m_numParmsColm + m_numResultColm);
}

// ---- console output

void psTest::putTextParms(MessageLevel level)
{
    if (!g_ostrm.beginMessage(level)) return;
    putTextParms();
    g_ostrm.endMessage();
}

void psTest::putTextParms()
{
    g_ostrm << getCacheComment(":");
    psTraced("parmsToOstrm", [&] { parmsToOstrm(); });
    g_ostrm << "\n";
}

void psTest::outputConst() { constToOstrm(); }

void psTest::outputRegInfo() { g_ostrm << PERF << regInfo() << "\n" << msgRestore; }

psString psTest::regInfo()
{
    psString text = "   Test has been registered";
    if (!m_info.macroName.empty()) text += psString(" by ") + m_info.macroName + " macro";
    psString list;
    auto add = [&list](bool present, const char* name) {
        if (!present) return;
        if (!list.empty()) list += ", ";
        list += name;
    };
    add(m_funcLoop, "loopMethod");
    add(m_funcStat, "statMethod");
    add(m_funcOld, "oldMethod");
    add(m_funcCall, "funcCall");
    if (list.empty()) return text + " without any function to call.\n No standard timing method is available";
    if (m_funcInit) list += ", funcInit";
    text += psString(" with ") + list + ".";

    const char* used;
    if (m_funcOld)
        used = "oldMethod";
    else if (m_funcCall && m_tool.getRealMeasure())
        used = "funcCall with Set&Use";
    else if (!m_funcCall || m_funcLoop || m_funcStat) {
        if (m_tool.getMethod() == tmStatistic)
            used = m_funcStat ? "statMethod" : "loopMethod";
        else
            used = m_funcLoop ? "loopMethod" : "statMethod";
    } else
        used = "funcCall";
    return text + "\n   " + used + " is called for measuring.";
}

void psTest::printTitle()
{
    psReportTestTitle title = psTraced("testTitle", [&] { return psReportTestTitle(this); });
    psTraced("g_ostrm<<testTitle", [&] { g_ostrm << ERR << title << msgRestore; });
    psTraced("g_ustrm<<testTitle", [&] { g_ustrm << title; });
}

void psTest::printResult()
{
    psTraceScope scope("testResult");
    psReportTestResult result(this);
    g_ostrm << result;
    g_ustrm << result;
    g_ostrm.flush();
    g_cstrm.flush();
    g_ustrm.flush();
}
