// Registries that test modules fill from their static initialisers, and the table through which the
// session reaches the crypto library's service functions.
#ifndef PS_REGISTRY_H
#define PS_REGISTRY_H

#include "ps_list.h"
#include "ps_string.h"

class psTest;
class psTestList;
class psTool;
class psParameter;
class psSession;
struct CryptoLibraryVersion;

typedef const CryptoLibraryVersion* (*psKynVersionFunc)();
typedef psList<psKynVersionFunc> psKynVersionList;

// Registration: each may run before main, in any order; the registry is created by the first call.
bool psRegTest(psTest* test);
bool psRegParm(psParameter& parm);
bool psRegParmFunc(void (*func)());
bool psRegCmdLine(psString text);
bool psRegKynEnvironment(void (*func)());
bool psRegKynVersion(psKynVersionFunc func);
bool psRegTimingMethod(void (*func)(psTool&));
bool psRegHotFunction(psString name);
bool psRegSession(psSession* session);
bool psRegQKeys();

// What the registrations left; null (or false) while nothing was registered.
psTestList* psGetTestList();
void psSetTestList(psTestList* list);
psList<psParameter*>* psGetParmList();
void (*psGetParmFunc())();
psString* psGetCmdLine();
void (*psGetKynEnvironment())();
psKynVersionList* psGetKynVersionList();
void (*psGetTimingMethod())(psTool&);
psStringList* psGetHotList();
void psCreateHotList();
psSession* psGetSession();
bool psGetQKeys();

// The crypto library's service functions as the session calls them. The registered environment
// function fills them with the library's own; whatever stays empty gets a stub that reports the
// function as not supported (-2).
extern int (*kyn_GetCpuFeatures)(unsigned long long* features);
extern unsigned long long (*kyn_GetEnabledCpuFeatures)();
extern int (*kyn_GetMaxCacheSizeB)(int* size);
extern const char* (*kyn_GetStatusString)(int status);
extern int (*kyn_Init)();
extern int (*kyn_SetCpuFeatures)(unsigned long long features);
extern int (*kyn_SetNumThreads)(int threads);
extern int (*kyn_GetNumThreads)(int* threads);

// The status of a service function that is not there.
const int kynStsNotSupported = -2;

// Fills every empty entry of the table with its stub.
void psFillKynStubs();

#endif
