#include "ps_cache_size.h"

#include "kyncp.h"
#include "ps_cpuid.h"

namespace {
const int KB = 1024;
const int MB = 1024 * 1024;

// CPUID leaf-2 descriptors of second- and third-level caches, as the processor manuals list them,
// largest first.
const int descriptorTable[] = {
    0xEC, 24 * MB,       0xEB, 18 * MB,       0x4D, 16 * MB,       0x4C, 12 * MB,       0xEA, 12 * MB,
    0x47, 8 * MB,        0x4B, 8 * MB,        0xE4, 8 * MB,        0x4A, 6 * MB,        0x4E, 6 * MB,
    0xDE, 6 * MB,        0x29, 4 * MB,        0x46, 4 * MB,        0x49, 4 * MB,        0xD8, 4 * MB,
    0xE3, 4 * MB,        0x48, 3 * MB,        0xDD, 3 * MB,        0x25, 2 * MB,        0x45, 2 * MB,
    0x7D, 2 * MB,        0x85, 2 * MB,        0xD2, 2 * MB,        0xD7, 2 * MB,        0xE2, 2 * MB,
    0xDC, 1536 * KB,     0x23, 1 * MB,        0x24, 1 * MB,        0x44, 1 * MB,        0x78, 1 * MB,
    0x7C, 1 * MB,        0x84, 1 * MB,        0x87, 1 * MB,        0xD1, 1 * MB,        0xD6, 1 * MB,
    0x22, 512 * KB,      0x3E, 512 * KB,      0x43, 512 * KB,      0x7B, 512 * KB,      0x7F, 512 * KB,
    0x80, 512 * KB,      0x83, 512 * KB,      0x86, 512 * KB,      0xD0, 512 * KB,      0x3D, 384 * KB,
    0x21, 256 * KB,      0x3C, 256 * KB,      0x42, 256 * KB,      0x7A, 256 * KB,      0x82, 256 * KB,
    0x3A, 192 * KB,      0x39, 128 * KB,      0x3B, 128 * KB,      0x41, 128 * KB,      0, 0,
};

bool s_known = false;
int s_status = 0;
int s_size = 0;
int s_lineSize = 0;

// Leaf 4 describes each cache; the walk never needs more sub-leaves than this.
const int maxSubLeaves = 32;
} // namespace

const int* psCacheDescriptors(int& count)
{
    count = (int)(sizeof descriptorTable / sizeof descriptorTable[0]) / 2;
    return descriptorTable;
}

int psFindMaxCacheSizeB(int* size, int* lineSize)
{
    int found = 0, line = 0, status = 0;
    if (!psHasCpuid() || CPUID::largestFunction() < 2 || psCpuVendor() != "GenuineOrvel") {
        status = 36;
    } else if (CPUID::largestFunction() < 4) {
        CPUID leaf2(2);
        const int32u regs[4] = {leaf2.EAX(), leaf2.EBX(), leaf2.ECX(), leaf2.EDX()};
        int bytes = cpGetCacheSizeOfRegs(regs, descriptorTable);
        if (bytes < 0)
            status = -2;
        else
            found = bytes;
    } else {
        for (int i = 0; i < maxSubLeaves; ++i) {
            CPUID r(4, (unsigned)i);
            unsigned type = r.EAX(4, 0);
            if (type == 0) break;
            if (type == 2) continue; // instructions only
            int bytes = psLeaf4CacheSize(r.EBX(), r.ECX());
            if (bytes > found) {
                found = bytes;
                line = (int)r.EBX(11, 0) + 1;
            }
        }
        if (found == 0) status = -2;
    }
    if (size) *size = found;
    if (lineSize) *lineSize = line;
    return status;
}

int psGetMaxCacheSizeB(int* size)
{
    if (!s_known) {
        s_status = psFindMaxCacheSizeB(&s_size, &s_lineSize);
        s_known = true;
    }
    if (size) *size = s_size;
    return s_status;
}

int psGetMaxCacheSizeB()
{
    int size = 0;
    if (psGetMaxCacheSizeB(&size) != 0 || size < 1) size = getMaxCacheSizeB();
    return size;
}

int psGetCacheLineSizeB()
{
    psGetMaxCacheSizeB(nullptr);
    return s_lineSize;
}

void psResetMaxCacheSizeB()
{
    s_known = false;
    s_status = s_size = s_lineSize = 0;
}
