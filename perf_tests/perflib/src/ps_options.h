// The key table (psSession::initOptionTable) and the key switches the session run reads from it.
#ifndef PS_OPTIONS_H
#define PS_OPTIONS_H

#include "ps_string.h"

// -T: the feature mask for the start of the run (0 = none, the library's init is called).
unsigned long long psGetCpuFeatureMask();
// -N: the library's thread count for the start of the run (0 = the library's own setting).
int psGetNumThreadsOption();
// -v, -h and -?: whether the banner and which help are asked for.
bool psGetVersionMode();
char psGetHintArg();
bool psGetHintHide();
// Resets the settings of a new command line: these switches and the -d data.
void psResetOptionSettings();

#endif
