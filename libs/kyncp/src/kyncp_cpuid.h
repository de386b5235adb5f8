// Processor identification shared by the feature detection, the cache lookup and the
// time-stamp readings: CPUID and XGETBV without any library state.
#ifndef KYNCP_CPUID_H
#define KYNCP_CPUID_H

#include "kyncp.h"

namespace kyncp {

inline void cpuid(int32u leaf, int32u subleaf, int32u r[4])
{
    int32u a, b, c, d;
    __asm__ volatile("cpuid" : "=a"(a), "=b"(b), "=c"(c), "=d"(d) : "a"(leaf), "c"(subleaf));
    r[0] = a; r[1] = b; r[2] = c; r[3] = d;
}

// XCR0, the state components the OS saves; 0 when the OS has not enabled XSAVE (OSXSAVE clear),
// in which case XGETBV would fault.
Kyn64u osStateMask();

// The feature word of this processor and OS (see kyncpGetCpuFeatures).
Kyn64u detectFeatures();

// CPUID 0x80000001 EDX bit 27.
bool hasRdtscp();

} // namespace kyncp

#endif
