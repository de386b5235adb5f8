#include "ps_timing_steps.h"

#include "ps_ostream.h"
#include "ps_timing_math.h"

namespace {
// Writes a text at level INFO when the console takes it.
void writeInfo(const psString& text)
{
    if (g_ostrm.beginMessage(INFO)) {
        g_ostrm << text;
        g_ostrm.endMessage();
    }
}

void writeWarning(const char* text) { g_ostrm << WARN << text << msgRestore; }

// Flushes the console files after a failed search when its INFO lines are not shown.
void writeError()
{
    if (g_ostrm.getOutLevel() < INFO) g_ostrm << ERR << "" << msgRestoreFlush;
}

// The control status a step found bad, through the test layer's printer.
void printBadCtrlStatus(const psTimingStep& s, void (*printCtrlStatus)(bool bad87, bool badSSX))
{
    if ((s.bad87 || s.badSSX) && printCtrlStatus) printCtrlStatus(s.bad87, s.badSSX);
}

// The lines of the Manual and Statistic methods go straight to the console.
void printMethodStep(const psTimingStep& s)
{
    if (!g_ostrm.beginMessage(INFO)) return;
    switch (s.kind) {
    case tsManualStart:
        g_ostrm << "    Manual method: \n" << "        numLoops   = " << s.loops << "\n";
        break;
    case tsManualDone:
        g_ostrm << "        funcClocks = " << s.clocks << "\n"
                << "        result     = " << psResultString(s.result) << "\n";
        break;
    case tsStatStart:
        g_ostrm << "    Statistical method:\n"
                << "        minCalls   = " << s.loops << "\n"
                << "        maxClocks  = " << clockText(s.ticks) << "\n";
        break;
    default: // tsStatDone
        g_ostrm << "        numCalls   = " << s.loops << "\n"
                << "        funcClocks = " << s.clocks << "\n"
                << "        result     = " << psResultString(s.result) << "\n";
        break;
    }
    g_ostrm.endMessage();
}
} // namespace

void printTimingStep(const psTimingStep& s, void (*printCtrlStatus)(bool bad87, bool badSSX))
{
    printBadCtrlStatus(s, printCtrlStatus);
    psString info;
    switch (s.kind) {
    case tsManualStart:
    case tsManualDone:
    case tsStatStart:
    case tsStatDone:
        printMethodStep(s);
        return;
    case tsSearchStart:
        info << "    Auto method: start\n" << "        minClocks  = " << clockText(s.ticks) << "\n";
        break;
    case tsPriorStart:
        info << "    Prior Measurement: \n" << "        numLoops   = " << s.loops << "\n";
        break;
    case tsPriorDone:
        info << "        numClocks  = " << s.ticks << "\n"
             << "        funcClocks = " << s.clocks << "\n"
             << "        result     = " << psResultString(s.result) << "\n";
        break;
    case tsIterationStart:
        info << "    Iteration Measurement: \n"
             << "        startLoops = " << s.loops << "\n"
             << "        maxLoops   = " << s.maxLoops << "\n";
        break;
    case tsIterationDone:
        info << "        stopLoops  = " << s.loops << "\n"
             << "        stopClocks = " << s.ticks << "\n"
             << "        accuracy   = " << accuracyText(s.accuracy) << "\n"
             << "        funcClocks = " << s.clocks << "\n"
             << "        result     = " << psResultString(s.result) << "\n";
        break;
    case tsRepeatStart:
        info << "    Simple Measurements: \n";
        break;
    case tsRepeatValue:
        info << "        numLoops   = " << s.loops << "\n"
             << "        numClocks  = " << s.ticks << "\n"
             << "        funcClocks = " << s.clocks << "\n";
        break;
    case tsRepeatDone:
        info << "        accuracy   = " << accuracyText(s.accuracy) << "\n"
             << "        bestClocks = " << s.clocks << "\n"
             << "        result     = " << psResultString(s.result) << "\n";
        break;
    case tsAvoidStart:
        writeWarning("-- Attempting to avoid bad control status\n");
        info << "    Reduce loops to avoid bad ctrl status.\n" << "    Simple Measurements: \n";
        break;
    case tsAvoidFailed:
        writeInfo("    Cannot avoid bad ctrl status\n");
        writeWarning("-- Attempt fails: ");
        writeWarning(s.result == BADSTSWRN ? "Bad control status repeats.\n" : "Accuracy is unsatisfactory.\n");
        return;
    case tsAvoidSucceeded:
        writeWarning("-- Attempt is successful\n");
        return;
    case tsSearchExit:
    case tsSearchFail:
        writeInfo("    Auto method: exit\n");
        if (s.kind == tsSearchFail) writeError();
        return;
    case tsSearchStop:
        info << "    Auto method: stop\n";
        break;
    }
    writeInfo(info);
}
