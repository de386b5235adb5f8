// The settings that hold for the whole run: timing method, accuracy, common test parameters and
// the alignment of the data vectors, each taken from -d data, the ini file, the console or its
// default.
#include "ps_iostream.h"
#include "ps_istream.h"
#include "ps_malloc.h"
#include "ps_ostream.h"
#include "ps_parameter.h"
#include "ps_registry.h"
#include "ps_session.h"
#include "ps_tool.h"

namespace {

// The ask-mode bits of the three groups.
const int askTiming = 1;
const int askParams = 2;
const int askMisalign = 4;

// The shift every run uses between the buffers of a test; the parameter only documents it.
const int mutualVectorShift = 512;

// Errors always reach the console, so the framed titles show in every output level.
void putEnterTitle(const psString& title)
{
    g_ostrm << ERR << psSession::getEnterTitle(title) << msgRestore;
}

// The console is attached only while its group is asked; everything else comes from -d data, the
// ini file or the defaults.
int attachConsole(int askMode, int bit, const char* title)
{
    bool ask = (askMode & bit) != 0;
    g_istrm.setIStream(ask ? &c_in : nullptr);
    if (ask) putEnterTitle(title);
    return ask ? bit : 0;
}

// Integer division rounding toward minus infinity, which the title centring needs for titles
// wider than the frame.
int floorHalf(int n) { return n >= 0 ? n / 2 : -((-n + 1) / 2); }

psString repeat(char c, int n)
{
    psString text;
    for (int i = 0; i < n; ++i) text += c;
    return text;
}

// A fraction outside 1 % .. 50 % cannot be meant as an accuracy; the huge value then accepts
// any measurement.
void readAccuracy(int method)
{
    if (method == tmManual || method == tmStatistic) return;
    int percent = (method == tmAuto || method == tmIterative) ? 5 : 100;
    psDefault<int> accuracy(percent, "Accuracy", "Accuracy, %");
    g_istrm >> accuracy;
    double fraction = accuracy.value() * 0.01;
    if (fraction < 0.01 || fraction > 0.5) fraction = 500.0;
    g_tool.setAccuracy(fraction);
}

} // namespace

psString psSession::getEnterTitle(psString title)
{
    psString border = psString(" ") + repeat('*', 78) + "\n";
    int length = title.length();
    int pad = floorHalf(80 - length);
    int left = pad - 2 > 0 ? pad - 2 : 0;
    int right = 78 - (pad + length) > 0 ? 78 - (pad + length) : 0;
    psString middle = psString(" *") + repeat(' ', left) + title + repeat(' ', right) + "*\n";
    return border + middle + border;
}

void psSession::readCommonData()
{
    int asked = readTimingMethod();
    asked += readTestParameters();
    asked += readDataOffset();
    if (asked != 0) putEnterTitle("End of common specifications");
}

int psSession::readTimingMethod()
{
    psTool initial;
    if (psGetTimingMethod())
        psGetTimingMethod()(initial);
    else
        initial.setMethodAuto();

    int asked = attachConsole(m_askMode, askTiming, "Specify timing method, please");

    psMapDefault<int> method(initial.getMethod(), "Method");
    method[tmAuto] = "Auto";
    method[tmManual] = "Manual";
    method[tmStatistic] = "Statistic";
    method[tmIterative] = "Iterative";

    // A registered timing method supplies the numbers of its own method as defaults.
    int numLoops = 10;
    initial.getMethodLoop(numLoops);
    int numCalls = 3;
    long long totalClocks = 10000;
    initial.getMethodStat(numCalls, totalClocks);
    int startLoops = 1, stopLoops = 2048;
    long long minClocks = 10000;
    psTool::getAutoParameters(startLoops, stopLoops, minClocks);
    initial.getMethodBest(startLoops, stopLoops, minClocks);

    g_istrm >> method;
    switch (method.value()) {
    case tmManual: {
        psDefault<int> loops(numLoops, "NumLoops");
        g_istrm >> loops;
        g_tool.setMethodLoop(loops.value());
        break;
    }
    case tmStatistic: {
        psDefault<int> calls(numCalls, "NumCalls");
        psDefault<int> clocks((int)totalClocks, "TotalCpuClocks");
        g_istrm >> calls >> clocks;
        g_tool.setMethodStat(calls.value(), clocks.value());
        break;
    }
    case tmIterative: {
        psDefault<int> start(startLoops, "StartNumLoops");
        psDefault<int> stop(stopLoops, "StopNumLoops");
        psDefault<int> clocks((int)minClocks, "MinCpuClocks");
        g_istrm >> start >> stop >> clocks;
        g_tool.setMethodBest(start.value(), stop.value(), (long long)clocks.value());
        break;
    }
    default: g_tool.setMethodAuto(); break;
    }
    readAccuracy(method.value());
    return asked;
}

int psSession::readTestParameters()
{
    psList<psParameter*>* common = psGetParmList();
    if (!common || common->empty()) return 0;
    int asked = attachConsole(m_askMode, askParams, "Specify common test parameters, please");
    for (psList<psParameter*>::iterator it = common->begin(); it != common->end(); ++it) {
        g_istrm >> **it;
        // Read once for the whole run: no test reads it again.
        (*it)->doInput(false);
    }
    return asked;
}

int psSession::readDataOffset()
{
    int asked = attachConsole(m_askMode, askMisalign, "Specify vectors alignment, please");

    psMapDefault<int> alignBy(0, "AlignVectorsBy");
    alignBy[1] = "byte";
    alignBy[0] = "element";
    g_istrm >> alignBy;
    bool byByte = alignBy.value() != 0;
    psSetAlignByByte(byByte);

    DefaultAlign align(0, "VectorAlign",
                       byByte ? "VectorAlign by Byte, 0..63" : "VectorAlign by Element, 0..63");
    g_istrm >> align;
    psSetVectorAlign(align.value());

    if (align.value() != 0) {
        psMapDefault<int> firstOnly(1, "MisalignFirstVectorOnly");
        firstOnly[1] = "yes";
        firstOnly[0] = "no";
        g_istrm >> firstOnly;
        psSetAlignSrc(firstOnly.value() != 0);
    }

    // Never read: neither -d, the ini file nor the console moves the buffers apart differently.
    DefaultShift shift(mutualVectorShift, "MutualVectorShift", "MutualVectorShift in Bytes, divisible by 64");
    psSetVectorShift(shift.value());
    return asked;
}
