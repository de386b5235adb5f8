// The crypto library's environment as every test source registers it: the session's service table
// and clock readers filled with the library's functions, and the library's version record.
#ifndef KY_CP_ENVIRONMENT_H
#define KY_CP_ENVIRONMENT_H

#include "kyncp.h"

// Fills the kyn_* service table and picks the clock readers: the RDTSCP forms when the processor
// has that instruction (CPUID 0x80000001, EDX bit 27), the LFENCE/RDTSC forms otherwise.
void kySetKynEnvironment();
const CryptoLibraryVersion* kyGetKynVersion_kyncp();

// Whether the processor has RDTSCP, as the library's CPUID reader reports it.
bool kyHasRdtscp();

// Put once in every test source, before its tests: registers the two functions above.
#define KY_REG_KYN_ENVIRONMENT()                                                                        \
    [[maybe_unused]] static bool reg_kySetKynEnvironment = psRegKynEnvironment(kySetKynEnvironment); \
    [[maybe_unused]] static bool reg_kyGetKynVersion_kyncp = psRegKynVersion(kyGetKynVersion_kyncp);

#endif
