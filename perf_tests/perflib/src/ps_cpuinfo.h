// The processor report of the information test: identification, signature, threading and caches
// from CPUID, and the crypto library's feature flags.
#ifndef PS_CPUINFO_H
#define PS_CPUINFO_H

#include "ps_string.h"

// The report sections about the processor (identification, signature, threading, caches,
// extended L2), as printed by the information test.
psString psCpuIdentificationReport();
// The library feature section: one row per known flag with 1/0 for present and enabled, then
// the bits that no row names.
psString psCpuFeatureReport(unsigned long long features, unsigned long long enabled);
// The whole report: the sections above (or a note when there is no CPUID instruction), the
// feature section when the library gave its features, and the closing line of stars.
psString psCpuReport(bool withFeatures, unsigned long long features, unsigned long long enabled);

#endif
