// The functions that a hot-only run (-H) still measures: names the test sources register from
// their static initialisers, looked up by each test when the run selects it.
#ifndef PS_HOT_LIST_H
#define PS_HOT_LIST_H

#include "ps_string.h"

// May run before main, in any order; the list is created by the first call.
bool psRegHotFunction(psString name);
// Null while nothing was registered or created.
psStringList* psGetHotList();
void psCreateHotList();

#endif
