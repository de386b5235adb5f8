// Time-stamp counter readings around a measured span.  Each is a few instructions with no call
// inside (the helpers below are always inlined); the only extra work of the p forms is one
// predictable branch on a flag set when the library is loaded.
#include "kyncp.h"
#include "kyncp_cpuid.h"

namespace {

// Filled when the library is loaded, before any caller can reach the functions below.
const bool s_rdtscp = kyncp::hasRdtscp();

inline __attribute__((always_inline)) Kyn64u join(int32u lo, int32u hi) { return ((Kyn64u)hi << 32) | lo; }

// LFENCE; RDTSC; LFENCE: earlier instructions have finished, later ones have not started.
inline __attribute__((always_inline)) Kyn64u fencedStart()
{
    int32u lo, hi;
    __asm__ volatile("lfence\n\trdtsc\n\tlfence" : "=a"(lo), "=d"(hi) : : "memory");
    return join(lo, hi);
}

// LFENCE; RDTSC: the measured instructions have finished before the reading.
inline __attribute__((always_inline)) Kyn64u fencedStop()
{
    int32u lo, hi;
    __asm__ volatile("lfence\n\trdtsc" : "=a"(lo), "=d"(hi) : : "memory");
    return join(lo, hi);
}

// RDTSCP; LFENCE: RDTSCP waits for earlier instructions, LFENCE holds back later ones.
inline __attribute__((always_inline)) Kyn64u rdtscpFenced()
{
    int32u lo, hi, aux;
    __asm__ volatile("rdtscp\n\tlfence" : "=a"(lo), "=d"(hi), "=c"(aux) : : "memory");
    return join(lo, hi);
}

} // namespace

extern "C" {

Kyn64u cpStartTsc(void) { return fencedStart(); }
Kyn64u cpStopTsc(void) { return fencedStop(); }
Kyn64u cpStartTscp(void) { return s_rdtscp ? rdtscpFenced() : fencedStart(); }
Kyn64u cpStopTscp(void) { return s_rdtscp ? rdtscpFenced() : fencedStop(); }
Kyn64u kyncpGetCpuClocks(void) { return fencedStop(); }

} // extern "C"
