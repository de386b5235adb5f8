// Report blocks of a run: the title, each test's title and result, the end summary and the test
// list. Each report collects its texts first; separate operators write it to the console, a csv
// table or the summary table.
#ifndef PS_REPORT_H
#define PS_REPORT_H

#include "ps_list.h"
#include "ps_string.h"

class psOStream;
class psCStream;
class psUStream;
class psTest;
class psTestList;
class psConditions;

// Places items at fixed columns of a line inside a frame 79 characters wide.
class psReportFormat {
public:
    psReportFormat(int p0, int p1, int p2, int p3);
    psReportFormat(int p0, int p1, int p2);
    psString firstLine();
    psString lastLine();
    void setFrameMode(bool on) { m_frame = on; }
    bool getFrameMode() const { return m_frame; }
    int getItemCount() const { return m_count; }
    psString getLine(const psString& i0, const psString& i1 = "", const psString& i2 = "", const psString& i3 = "",
                     const psString& i4 = "", const psString& i5 = "") const;
    static psString getTimeStr(int seconds);

private:
    static psString separator();
    bool m_frame;
    int m_count;
    int m_pos[6];
};

// ("CPU", ...), ("OS", ...), ("Computer", ...), ("Library", ...)..., ("Start", ...)
class psReportTitle : public psList<psString> {
public:
    explicit psReportTitle(psTestList* list);
    psString m_format;
};

class psReportTestTitle : public psList<psString> {
public:
    explicit psReportTestTitle(psTest* test);
};

class psReportTestResult : public psList<psString> {
public:
    // Without a test: the heading line of the summary table.
    explicit psReportTestResult(psTest* test = nullptr);
    psString m_resultName;
    psString m_funcName;
    psString m_stopTime;
    psString m_summaryTail;
};

class psReportEnd : public psList<psString> {
public:
    explicit psReportEnd(psTestList* list);
};

class psReportList : public psList<psString> {
public:
    psReportList(psTestList* list, psConditions* conditions, int mode);
};

psOStream& operator<<(psOStream& s, const psReportTitle& r);
psCStream& operator<<(psCStream& s, const psReportTitle& r);
psUStream& operator<<(psUStream& s, const psReportTitle& r);
psOStream& operator<<(psOStream& s, const psReportTestTitle& r);
psUStream& operator<<(psUStream& s, const psReportTestTitle& r);
psOStream& operator<<(psOStream& s, const psReportTestResult& r);
psUStream& operator<<(psUStream& s, const psReportTestResult& r);
psOStream& operator<<(psOStream& s, const psReportEnd& r);
psUStream& operator<<(psUStream& s, const psReportEnd& r);
psOStream& operator<<(psOStream& s, const psReportList& r);
psCStream& operator<<(psCStream& s, const psReportList& r);

// The descriptions of the measured libraries, each distinct text once, in first-seen order.
bool psRegLibInfo(psString text);
const psStringList& psGetLibInfo();

#endif
