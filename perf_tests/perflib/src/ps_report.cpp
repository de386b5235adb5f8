#include "ps_report.h"

#include <cstdio>
#include <vector>

#include "ps_cache_size.h"
#include "ps_conditions.h"
#include "ps_cpu_ticker.h"
#include "ps_cpuid.h"
#include "ps_cstream.h"
#include "ps_ostream.h"
#include "ps_paths.h"
#include "ps_platform.h"
#include "ps_test.h"
#include "ps_test_list.h"

namespace {
const int frameWidth = 79;
const char* const summaryHeading = "Function,Class,Control87,Status87,ControlSSX,StatusSSX,Test,Time (sec.),SrcName,Result,ExeName";

psStringList& libInfo()
{
    static psStringList list;
    return list;
}

// The processor's brand string for the title, or "Unknown CPU".
psString brandText()
{
    psString text = psCpuBrand();
    text.trim();
    return text.empty() ? psString("Unknown CPU") : text;
}

// A ctime text without its final line feed.
psString cutLineFeed(psString text)
{
    if (!text.empty() && text[text.length() - 1] == '\n') text.resize(text.length() - 1);
    return text;
}

psString number(int value)
{
    psString s;
    s << value;
    return s;
}

// The elements of a flat report list, by index.
class Items {
public:
    explicit Items(const psList<psString>& list)
    {
        for (psList<psString>::const_iterator it = list.begin(); it != list.end(); ++it) m_items.push_back(&*it);
    }
    int size() const { return (int)m_items.size(); }
    const psString& operator[](int i) const { return *m_items[i]; }

private:
    std::vector<const psString*> m_items;
};
} // namespace

// ---- layout

psReportFormat::psReportFormat(int p0, int p1, int p2, int p3) : m_frame(false), m_count(4)
{
    int given[] = {p0, p1, p2, p3};
    for (int i = 0; i < 6; ++i) m_pos[i] = i < 4 ? given[i] : -frameWidth;
}

psReportFormat::psReportFormat(int p0, int p1, int p2) : m_frame(false), m_count(3)
{
    int given[] = {p0, p1, p2};
    for (int i = 0; i < 6; ++i) m_pos[i] = i < 3 ? given[i] : -frameWidth;
}

psString psReportFormat::separator()
{
    psString line = "+";
    for (int i = 0; i < frameWidth - 2; ++i) line += '-';
    return line + "+\n";
}

psString psReportFormat::firstLine()
{
    m_frame = true;
    return separator();
}

psString psReportFormat::lastLine()
{
    m_frame = false;
    return separator();
}

psString psReportFormat::getLine(const psString& i0, const psString& i1, const psString& i2, const psString& i3,
                                 const psString& i4, const psString& i5) const
{
    const psString* items[] = {&i0, &i1, &i2, &i3, &i4, &i5};
    psString line = m_frame ? "|" : " ";
    auto rowLength = [&line]() {
        int lf = line.rfind('\n');
        return line.length() - (lf + 1);
    };
    auto place = [&](int column, const psString& item) {
        int length = rowLength();
        if (column > length)
            line.resize(line.length() + column - length, ' ');
        else
            line += " ";
        line += item;
    };
    for (int i = 0; i < 6; ++i) {
        const psString& item = *items[i];
        if (item.empty()) continue;
        int p = m_pos[i];
        if (p >= 0) {
            place(p, item);
        } else {
            int start = (-p - 1) - item.length();
            if (start >= 0) place(start, item);
        }
    }
    if (m_frame && rowLength() <= frameWidth - 1) {
        line.resize(line.length() + (frameWidth - 1 - rowLength()), ' ');
        line += "|";
    }
    return line + "\n";
}

psString psReportFormat::getTimeStr(int seconds)
{
    char text[64];
    snprintf(text, sizeof text, "%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

// ---- registry of library descriptions

bool psRegLibInfo(psString text)
{
    if (libInfo().found(text)) return false;
    libInfo().push_back(text);
    return true;
}

const psStringList& psGetLibInfo() { return libInfo(); }

// ---- title

psReportTitle::psReportTitle(psTestList* list) : m_format(" %-9s: %s")
{
    psString cpu = brandText() + ", ";
    long processors = psGetNumOfProcessors();
    if (processors > 1) cpu << (int)processors << "x";
    int mhz = psCpuTicker::getFreq();
    if (mhz >= 1000)
        cpu << (double)mhz / 1000.0 << " GHz";
    else
        cpu << mhz << " MHz";
    cpu += ", ";
    int cache = psGetMaxCacheSizeB();
    if (cache > 0) cpu << "Max cache size " << cache / 1024 << " K";
    push_back("CPU");
    push_back(cpu);

    char buffer[1024];
    push_back("OS");
    push_back(psOS(buffer, sizeof buffer).text());
    push_back("Computer");
    push_back(psHost(buffer).text());
    for (psStringList::const_iterator it = psGetLibInfo().begin(); it != psGetLibInfo().end(); ++it) {
        push_back("Library");
        push_back(*it);
    }
    push_back("Start");
    push_back(list ? cutLineFeed(list->getDate().strStart()) : psString());
}

psOStream& operator<<(psOStream& s, const psReportTitle& r)
{
    Items items(r);
    psReportFormat format(1, 11, 13, -frameWidth);
    s << ERR << format.firstLine();
    for (int i = 0; i + 1 < items.size() - 2; i += 2) s << format.getLine(items[i], ":", items[i + 1]);
    s << format.getLine("Test", ":", "Timing");
    s << format.getLine("", "", "", items[items.size() - 1]);
    s << format.lastLine() << msgRestoreFlush;
    return s;
}

psCStream& operator<<(psCStream& s, const psReportTitle& r)
{
    Items items(r);
    for (int i = 0; i + 1 < items.size(); i += 2) s << items[i] << items[i + 1] << "\n";
    return s;
}

psUStream& operator<<(psUStream& s, const psReportTitle& r)
{
    Items items(r);
    for (int i = 0; i + 1 < items.size(); i += 2) s << items[i] + "," + items[i + 1] + "\n";
    s.flush();
    return s;
}

// ---- one test

psReportTestTitle::psReportTestTitle(psTest* test)
{
    push_back("Function");
    push_back(test->getName());
    push_back(cutLineFeed(test->getDate().strStart()));
    if (g_ostrm.getOutLevel() > ERR) {
        push_back("Test");
        push_back(test->getInfo().className);
        push_back("");
        push_back("Source");
        push_back(test->getFile());
        push_back("");
        if (!test->getInfo().description.empty()) {
            push_back("Description");
            push_back(test->getInfo().description);
            push_back("");
        }
    }
}

psOStream& operator<<(psOStream& s, const psReportTestTitle& r)
{
    Items items(r);
    psReportFormat format(1, 12, 14, -frameWidth);
    if (g_ostrm.getOutLevel() > WARN) {
        s << format.firstLine();
        for (int i = 0; i + 2 < items.size(); i += 3) s << format.getLine(items[i], ":", items[i + 1], items[i + 2]);
        s << format.lastLine();
    } else {
        format.setFrameMode(true);
        s << format.getLine(items[0], ":", items[1], items[2]);
    }
    s.flush();
    return s;
}

psUStream& operator<<(psUStream& s, const psReportTestTitle& r)
{
    Items items(r);
    const psString& name = items[1];
    bool info = name.length() >= 4 && name.substr(0, 4) == "__ps";
    s << name + "," + (info ? "Information" : "Timing") + ",";
    return s;
}

psReportTestResult::psReportTestResult(psTest* test)
{
    if (!test) {
        m_summaryTail = summaryHeading;
    } else {
        m_resultName = psResultName(test->getTestResult());
        m_funcName = test->getName();
        m_stopTime = cutLineFeed(test->getDate().strStop());
        m_summaryTail = psString("-,") + (test->getBadStatus_87() ? "?" : "-") + "," + "-," +
                        (test->getBadStatus_SSX() ? "?" : "-") + "," + test->getInfo().className + "," +
                        number(test->getDate().diff()) + "," + test->getFile() + "," + m_resultName + "," +
                        psPaths::getExePath().getFileName();
    }
    push_back(m_resultName);
    push_back(m_funcName);
    push_back(m_stopTime);
    push_back(m_summaryTail);
}

psOStream& operator<<(psOStream& s, const psReportTestResult& r)
{
    psReportFormat format(1, 14, -frameWidth);
    s << ERR;
    if (g_ostrm.getOutLevel() > WARN) {
        s << format.firstLine();
        s << format.getLine(psString("-") + r.m_resultName, r.m_funcName, r.m_stopTime);
        s << format.lastLine();
    } else {
        format.setFrameMode(true);
        s << format.getLine(psString("-") + r.m_resultName, r.m_funcName, r.m_stopTime);
    }
    s << msgRestoreFlush;
    return s;
}

psUStream& operator<<(psUStream& s, const psReportTestResult& r)
{
    s << r.m_summaryTail + "\n";
    s.flush();
    return s;
}

// ---- end of the run

psReportEnd::psReportEnd(psTestList* list)
{
    int n = list->getNumber();
    int ok = list->getStatistic(OK);
    int bad = list->getStatistic(BADSTSWRN);
    int notes = list->getStatistic(ACCURWRN) + list->getStatistic(DATAWRN) + list->getStatistic(FUNCWRN) +
                list->getStatistic(resWRNG_NOT_SUPPORTED_CPU);
    int excpt = list->getStatistic(EXCPTFAIL);
    int fails = list->getStatistic(ACCURFAIL) + list->getStatistic(DATAFAIL) + list->getStatistic(FUNCFAIL);
    const char* labels[] = {".Number of tests", ".Successes      ", ".Failures       ", "...Fails        ",
                            ".....-FAIL      ", ".....-EXCPTFAIL ", "...Notes     ",    ".....-NOTE   ",
                            ".....-BADSTSWRN ", "...Undefined    "};
    int values[] = {n, ok, fails + excpt + notes + bad, fails + excpt, fails, excpt, notes + bad, notes, bad,
                    n - (ok + fails + excpt + notes + bad)};
    for (int i = 0; i < 10; ++i) {
        push_back(labels[i]);
        push_back(number(values[i]));
    }
    push_back(".Total time     ");
    push_back(psReportFormat::getTimeStr(list->getDate().diff()));
}

psOStream& operator<<(psOStream& s, const psReportEnd& r)
{
    Items items(r);
    psReportFormat format(1, 33, 34);
    s << ERR << format.firstLine() << format.getLine("PS Summary");
    for (int i = 0; i + 1 < items.size(); i += 2) s << format.getLine(items[i] + " : " + items[i + 1]);
    s << format.lastLine() << msgRestoreFlush;
    return s;
}

psUStream& operator<<(psUStream& s, const psReportEnd& r)
{
    Items items(r);
    s << "END_DATA\n";
    for (int i = 0; i + 1 < items.size(); i += 2) s << items[i] + "," + items[i + 1] + "\n";
    s.flush();
    return s;
}

// ---- the list of tests

psReportList::psReportList(psTestList* list, psConditions* conditions, int)
{
    const char* heading[] = {"   #", "Function", "Test", "Source"};
    for (const char* cell : heading) push_back(cell);
    push_back("\n");
    int row = 0;
    for (psTestList::iterator it = list->begin(); it != list->end(); ++it) {
        psTest* test = *it;
        if (conditions && !conditions->tobeRun(psTestNames{test->getName(), test->getRegString(), test->getFile()}))
            continue;
        char index[16];
        snprintf(index, sizeof index, "%4d", ++row);
        push_back(index);
        push_back(test->getName());
        push_back(test->getInfo().className);
        push_back(test->getFile());
        push_back("\n");
    }
}

psOStream& operator<<(psOStream& s, const psReportList& r)
{
    if (s.denyLevel()) return s;
    for (psReportList::const_iterator it = r.begin(); it != r.end(); ++it) {
        if (*it == "\n")
            s << "\n";
        else
            s << *it + "\t";
    }
    return s;
}

psCStream& operator<<(psCStream& s, const psReportList& r)
{
    for (psReportList::const_iterator it = r.begin(); it != r.end(); ++it) s << *it;
    return s;
}
