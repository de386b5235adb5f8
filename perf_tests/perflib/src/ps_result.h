// Outcome of a measurement or a test, ordered by severity: results combine by taking the maximum.
#ifndef PS_RESULT_H
#define PS_RESULT_H

#include "ps_string.h"

enum psResult {
    UNDEFINED = 0,
    OK = 1,
    ACCURWRN = 2,
    BADSTSWRN = 3,
    DATAWRN = 4,
    FUNCWRN = 5,
    resWRNG_NOT_SUPPORTED_CPU = 6,
    WRN = 7,
    ACCURFAIL = 8,
    DATAFAIL = 9,
    FUNCFAIL = 10,
    EXCPTFAIL = 11,
    FAIL = 12
};

const int psResultCount = 13;

// "OK", "ACCURWRN", ... ; "UNKNOWN" outside the enumeration.
psString psResultName(int result);
// "successfully", "wrong measure accuracy", ... ; "unknown result" outside the enumeration.
psString psResultString(int result);

inline psResult psResultMax(psResult a, psResult b) { return a > b ? a : b; }

#endif
