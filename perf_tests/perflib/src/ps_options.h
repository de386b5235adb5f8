// Settings that keys store for subsystems that take them up later in the run.
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
// Resets every key setting (a new command line), the -d data included.
void psResetOptionSettings();

#endif
