// Largest cache size from the CPUID leaf-2 descriptor bytes, looked up in a caller's table.
#include "kyncp.h"
#include "kyncp_cpuid.h"

namespace {

// A descriptor is one byte, so a table has at most 255 entries before its (0, 0) end; the
// bound also stops the walk on a table that lacks its end pair.
const int MAX_TABLE_PAIRS = 256;

int lookup(int descriptor, const int* table)
{
    for (int j = 0; j < MAX_TABLE_PAIRS && table[2 * j] != 0; ++j)
        if (table[2 * j] == descriptor) return table[2 * j + 1];
    return 0;
}

int largestOfRegs(const int32u regs[4], const int* table)
{
    int best = 0;
    for (int r = 0; r < 4; ++r) {
        if (regs[r] & 0x80000000u) continue;  // the register holds no descriptors
        for (int b = (r == 0) ? 1 : 0; b < 4; ++b) {  // AL is the iteration count
            const int descriptor = (int)((regs[r] >> (8 * b)) & 0xFF);
            if (descriptor == 0) continue;
            const int size = lookup(descriptor, table);
            if (size > best) best = size;
        }
    }
    return best;
}

} // namespace

extern "C" {

int cpGetCacheSizeOfRegs(const int32u regs[4], const int* tableCache)
{
    if (!regs || !tableCache) return kynStsNullPtrErr;
    const int size = largestOfRegs(regs, tableCache);
    return size > 0 ? size : kynStsErr;
}

int cpGetCacheSize(const int* tableCache)
{
    if (!tableCache) return kynStsNullPtrErr;
    int32u regs[4];
    kyncp::cpuid(0, 0, regs);
    if (regs[0] < 2) return kynStsErr;
    kyncp::cpuid(2, 0, regs);
    // Old processors need leaf 2 read AL times; every reading adds descriptors.
    const int rounds = (int)(regs[0] & 0xFF);
    int best = largestOfRegs(regs, tableCache);
    for (int i = 1; i < rounds; ++i) {
        kyncp::cpuid(2, 0, regs);
        const int size = largestOfRegs(regs, tableCache);
        if (size > best) best = size;
    }
    return best > 0 ? best : kynStsErr;
}

} // extern "C"
