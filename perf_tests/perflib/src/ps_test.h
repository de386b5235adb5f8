// The test object: one registered test per measured library function.
#ifndef PS_TEST_H
#define PS_TEST_H

#include "ps_date.h"
#include "ps_exception.h"
#include "ps_list.h"
#include "ps_ostream.h"
#include "ps_result.h"
#include "ps_string.h"
#include "ps_tool.h"

class psConditions;
class psParameter;
class psCacheIterator;
class psObject;
template <class T>
class psIterator;
template <class T>
class psStepIterator;

// Class name, description and macro name, parsed from a registration string such as
// "TimECC256_TZV//KY_REG".
struct psTestInfo {
    psTestInfo() {}
    explicit psTestInfo(const psString& info);
    psString className;
    psString description;
    psString macroName;
};

class psTest {
public:
    psTest(funcOld old, psString name, psString file, psString info);
    psTest(funcLoop loop, funcStat stat, psString name, psString file, psString info);
    psTest(funcCall call, funcInit init, funcLoop loop, funcStat stat, psString name, psString file,
           psString info);

    // Virtual operations, in this order.
    virtual ~psTest();
    virtual bool tobeRun(psConditions& conditions);
    virtual psResult run();
    virtual int compareFunc(const psTest* other) const;
    virtual void putTableResult_Deprecated(psResult r);
    virtual bool canStart() { return true; }
    virtual void flushStart() {}
    virtual bool canContinue();
    virtual bool initData() { return true; }
    virtual void flushData() {}
    virtual psResult runTiming();
    virtual double getFlops() { return -1.0; }
    virtual double getDivisor() { return 1.0; }
    virtual psString getUnit() { return " "; }
    virtual void funcToCstrm();
    virtual bool parmsFromIstrm();
    virtual bool parmsToOstrm();
    virtual bool parmsToCstrm();
    virtual bool parmsNameToCstrm();
    virtual void resultToCstrm(psResult r);
    virtual void constToOstrm() {}
    virtual void beginTest() { initSettings(); }
    virtual void endTest() {}
    virtual psString getComment();
    virtual bool isFloatFunction() { return getFlops() > 0; }
    virtual bool isHotLine();
    virtual void initSettings();
    virtual bool printAllMemoryBlocks(psString) { return false; }
    virtual psString formatClocks(double v);
    virtual psString regInfo();
    virtual void putTableParms();
    virtual void putTableResult(psResult r);
    virtual void putTextParms();
    virtual void putTextParms(MessageLevel level);
    virtual void loopData();
    virtual void outputResult(psResult r);
    virtual void outputConst();
    virtual void outputRegInfo();
    virtual void putTextResult(psResult r);
    // A library function the test needs and the library in use lacks, or "" (the test then ends
    // as FUNCFAIL without calling anything).
    virtual psString missingFunction() { return psString(); }

    // Services for derived tests.
    static void* allocate(int size, int align);
    static void* allocate(int size, int align, void* object);
    static void deallocate(void* buffer);
    void regParm(psParameter& parm);
    void regCacheParm(psIterator<int>& parm, psObject* object, bool (*adjust)(psParameter*, int, int, bool));
    void regCacheParm(psStepIterator<int>& parm, psObject* object, bool (*adjust)(psParameter*, int, int, bool));
    void setTimingResult(double clocks, psString comment);
    static int reserveAllVectors();
    static int resetAllVectors();
    void initCtrlStatus();
    psResult checkCtrlStatus();
    bool badCtrlStatus(bool& bad87, bool& badSSX);
    void printCtrlStatus(bool bad87, bool badSSX);
    void clearCtrlStatus();
    bool setDeprecatedFlag(bool on);
    void startAndStop();
    void putTableName();
    void putTableNameLine();
    double performance(bool flops);
    psString perfString(bool flops);
    psString testResultString();
    psString getCacheComment(psString sep);
    void putTextError(psResult r);
    bool setIniSection(psString name);
    static void updateCurrentResult(psResult r);

    const psString& getName() const { return m_name; }
    const psString& getFile() const { return m_file; }
    const psTestInfo& getInfo() const { return m_info; }
    // The registration string as given, e.g. "TimECC256_TZV//KY_REG".
    psString getRegString() const;
    psResult getTestResult() const { return m_testResult; }
    const psDate& getDate() const { return m_date; }
    bool getBadStatus_87() const { return m_badStatus87; }
    bool getBadStatus_SSX() const { return m_badStatusSSX; }
    psTool& getTool() { return m_tool; }
    psList<psParameter*>& getParms() { return m_parms; }
    psCacheIterator* getCacheIterator() { return m_pCacheIter; }
    void dropCacheIterator();

    static void setParmColmCount(int n) { m_numParmsColm = n; }
    static void setResultColmCount(int n) { m_numResultColm = n; }
    static void setHotMode(int mode) { m_hot = mode; }
    static int getHotMode() { return m_hot; }
    static void setPressingMode(bool on) { m_pressing = on; }
    static bool getPressingMode() { return m_pressing; }
    static void setCacheMode(bool on) { m_cache = on; }
    static bool getCacheMode() { return m_cache; }
    static psResult getCurrentResult() { return m_currentResult; }
    static void setCurrentResult(psResult r) { m_currentResult = r; }

protected:
    bool m_deprecated;
    psDate m_date;
    psString m_name;
    psString m_file;
    psTestInfo m_info;
    psTool m_tool;
    psResult m_testResult;
    funcLoop m_funcLoop;
    funcStat m_funcStat;
    funcCall m_funcCall;
    funcInit m_funcInit;
    funcOld m_funcOld;
    bool m_first;
    bool m_badStatus87;
    bool m_badStatusSSX;
    psList<psParameter*> m_parms;
    psCacheIterator* m_pCacheIter;
    bool m_cacheRetry;

    static psResult m_currentResult;
    static int m_numParmsColm;
    static int m_numResultColm;
    // -H, -P and -C: in g_settings.
    static int& m_hot;
    static bool& m_pressing;
    static bool& m_cache;
    static int m_vectorNum;
    static int m_vectorShift;

private:
    // The test's title block and its result lines on the console and in the summary table.
    void printTitle();
    void printResult();
    // Ends the test run as EXCPTFAIL with the exception's message and the innermost step.
    void failByException(const psException& e);
};

#endif
