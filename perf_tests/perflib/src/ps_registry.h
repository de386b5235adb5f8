// Registries that test modules fill from their static initialisers; the session reads what they
// left.
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
psSession* psGetSession();
bool psGetQKeys();

#endif
