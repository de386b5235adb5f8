// The crypto library's processor-feature flags: names, bit values, descriptions and parsing of a -T
// argument; and the code paths the library chooses by them.
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
    // The report's one-line description of a flag; "" for a bit no flag has.
    static const char* description(unsigned long long bit);
};

// Code paths the crypto library may choose, by the feature mask that selects each.
struct psCodePath {
    const char* label;
    unsigned long long mask;
    const char* name;
};
const psCodePath* psCodePaths(int& count);
// The label padded to 9 characters ("Undefined" for an unknown mask) and the display name
// ("Unknown processor").
psString psCodePathLabel(unsigned long long mask);
psString psCodePathName(unsigned long long mask);

#endif
