#include "ps_registry.h"

#include "ps_cache_iterator.h"
#include "ps_test_list.h"

namespace {
psTestList* pTestList = nullptr;
psList<psParameter*>* g_pParmList = nullptr;
void (*s_parmFunc)() = nullptr;
psString* pCmdLine = nullptr;
void (*kynEnvironment)() = nullptr;
psKynVersionList* kynVersionList = nullptr;
void (*initTimingMethod)(psTool&) = nullptr;
psStringList* g_pHotList = nullptr;
psSession* pSession = nullptr;
bool qKeys = false;

int s_kynGetCpuFeatures(unsigned long long*) { return kynStsNotSupported; }
unsigned long long s_kynGetEnabledCpuFeatures() { return 0; }
const char* s_kynGetStatusString(int status) { return status < 0 ? "Fail" : (status > 0 ? "Note" : "OK"); }
int s_kynInit() { return kynStsNotSupported; }
int s_kynSetCpuFeatures(unsigned long long) { return kynStsNotSupported; }
int s_kynSetNumThreads(int) { return kynStsNotSupported; }
int s_kynGetNumThreads(int*) { return kynStsNotSupported; }
} // namespace


int (*kyn_GetCpuFeatures)(unsigned long long*) = nullptr;
unsigned long long (*kyn_GetEnabledCpuFeatures)() = nullptr;
int (*kyn_GetMaxCacheSizeB)(int*) = nullptr;
const char* (*kyn_GetStatusString)(int) = nullptr;
int (*kyn_Init)() = nullptr;
int (*kyn_SetCpuFeatures)(unsigned long long) = nullptr;
int (*kyn_SetNumThreads)(int) = nullptr;
int (*kyn_GetNumThreads)(int*) = nullptr;

void psFillKynStubs()
{
    if (!kyn_GetCpuFeatures) kyn_GetCpuFeatures = s_kynGetCpuFeatures;
    if (!kyn_GetEnabledCpuFeatures) kyn_GetEnabledCpuFeatures = s_kynGetEnabledCpuFeatures;
    if (!kyn_GetMaxCacheSizeB) kyn_GetMaxCacheSizeB = psGetMaxCacheSizeB;
    if (!kyn_GetStatusString) kyn_GetStatusString = s_kynGetStatusString;
    if (!kyn_Init) kyn_Init = s_kynInit;
    if (!kyn_SetCpuFeatures) kyn_SetCpuFeatures = s_kynSetCpuFeatures;
    if (!kyn_SetNumThreads) kyn_SetNumThreads = s_kynSetNumThreads;
    if (!kyn_GetNumThreads) kyn_GetNumThreads = s_kynGetNumThreads;
}

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

bool psRegHotFunction(psString name)
{
    psCreateHotList();
    g_pHotList->push_back(name);
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
psStringList* psGetHotList() { return g_pHotList; }
void psCreateHotList()
{
    if (!g_pHotList) g_pHotList = new psStringList;
}
psSession* psGetSession() { return pSession; }
bool psGetQKeys() { return qKeys; }
