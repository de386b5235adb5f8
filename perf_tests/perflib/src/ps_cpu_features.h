// The crypto library's processor-feature flags: names, bit values and parsing of a -T argument.
#ifndef PS_CPU_FEATURES_H
#define PS_CPU_FEATURES_H

#include "ps_string.h"

struct psCpuFeatureFlag {
    const char* name;
    unsigned long long bit;
};

class psCpuFeatures {
public:
    // The known flags in report order.
    static const psCpuFeatureFlag* flags(int& count);
    // The mask named by a -T argument: flag names (with or without their "kynCPUID_" prefix) joined by
    // "|", ",", ";" or blanks, or a number; 0 when nothing usable is given.
    static unsigned long long cpuFeatures(const psString& arg);
    // The flag names a -T argument may use, for the help text.
    static psString optimizedList();
};

#endif
