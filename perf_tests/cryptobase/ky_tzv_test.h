// kytzvTest: the base of the multi-buffer tests. Each measured function processes 8 or 16 lanes in
// one call and returns 4 status bits per lane; the harness folds them into one library status and
// recognises a processor the library cannot serve.
#ifndef KY_TZV_TEST_H
#define KY_TZV_TEST_H

#include "ky_cp_test.h"

// The library's statuses that a folded lane word turns into.
const int kyTzvStsNoErr = 0;
const int kyTzvStsErr = -2;

// Success when any lane succeeded (its 4 bits are 0), the general error when every lane failed.
inline int kyFoldStatus8(unsigned int status)
{
    // Bit 4i of seen is set when lane i has any bit set.
    unsigned int seen = status | (status >> 1);
    seen |= seen >> 2;
    return (seen & 0x11111111u) == 0x11111111u ? kyTzvStsErr : kyTzvStsNoErr;
}

inline int kyFoldStatus16(unsigned long long status)
{
    unsigned long long seen = status | (status >> 1);
    seen |= seen >> 2;
    return (seen & 0x1111111111111111ull) == 0x1111111111111111ull ? kyTzvStsErr : kyTzvStsNoErr;
}

// The library writes 0xA into every lane for a function this processor cannot run. An 8-lane
// check takes the OR of several calls' statuses, so only bits 1 and 3 of every lane are asked for.
inline bool kyUnsupportedCpu8(unsigned int combined) { return (combined & 0xAAAAAAAAu) == 0xAAAAAAAAu; }
inline bool kyUnsupportedCpu16(unsigned long long status) { return status == 0xAAAAAAAAAAAAAAAAull; }
inline bool kyUnsupportedBufferSize(int size) { return size == 0; }

class kytzvTest : public kycpTest {
public:
    kytzvTest(funcCall call, funcInit init, funcLoop loop, funcStat stat, psString name, psString file,
              psString info);

    // The library function's name: the test name without its "_sts_wrapper" tail.
    void funcToCstrm() override;

    // Records the unsupported-processor result for the current parameter set when the check holds;
    // returns whether initData may go on.
    static bool acceptCpu(bool unsupported);
    // Ends the test as DATAFAIL when some buffer or context could not be placed (psMalloc has
    // said which size); a lane given a null buffer would fail alone and the figure would count it.
    static bool acceptBuffers(bool allPlaced);
};

#endif
