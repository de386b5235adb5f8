#include "ps_registry.h"

#include "ps_test_list.h"

namespace {
psTestList* pTestList = nullptr;
psList<psParameter*>* g_pParmList = nullptr;
void (*s_parmFunc)() = nullptr;
psString* pCmdLine = nullptr;
void (*kynEnvironment)() = nullptr;
psKynVersionList* kynVersionList = nullptr;
void (*initTimingMethod)(psTool&) = nullptr;
psSession* pSession = nullptr;
bool qKeys = false;
} // namespace

bool psRegTest(psTest* test)
{
    if (!pTestList) pTestList = new psTestList;
    pTestList->push_back(test);
    return true;
}

bool psRegParm(psParameter& parm)
{
    if (!g_pParmList) g_pParmList = new psList<psParameter*>;
    g_pParmList->push_back(&parm);
    return true;
}

bool psRegParmFunc(void (*func)())
{
    s_parmFunc = func;
    return true;
}

bool psRegCmdLine(psString text)
{
    if (!pCmdLine) pCmdLine = new psString;
    *pCmdLine += " ";
    *pCmdLine += text;
    return true;
}

bool psRegKynEnvironment(void (*func)())
{
    kynEnvironment = func;
    return true;
}

bool psRegKynVersion(psKynVersionFunc func)
{
    if (!kynVersionList) kynVersionList = new psKynVersionList;
    kynVersionList->push_back(func);
    return true;
}

bool psRegTimingMethod(void (*func)(psTool&))
{
    initTimingMethod = func;
    return true;
}

bool psRegSession(psSession* session)
{
    pSession = session;
    return true;
}

bool psRegQKeys()
{
    qKeys = true;
    return true;
}

psTestList* psGetTestList() { return pTestList; }
void psSetTestList(psTestList* list) { pTestList = list; }
psList<psParameter*>* psGetParmList() { return g_pParmList; }
void (*psGetParmFunc())() { return s_parmFunc; }
psString* psGetCmdLine() { return pCmdLine; }
void (*psGetKynEnvironment())() { return kynEnvironment; }
psKynVersionList* psGetKynVersionList() { return kynVersionList; }
void (*psGetTimingMethod())(psTool&) { return initTimingMethod; }
psSession* psGetSession() { return pSession; }
bool psGetQKeys() { return qKeys; }
