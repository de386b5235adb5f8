#include "ps_cpuid.h"

#include <climits>

#include "kyncp.h"

namespace {

void processorReader(unsigned leaf, unsigned subleaf, unsigned regs[4])
{
    int32u buf[4] = {0, 0, 0, 0};
    cpGetReg(buf, leaf, subleaf);
    for (int i = 0; i < 4; ++i) regs[i] = buf[i];
}

psCpuidReader s_reader = processorReader;

// A leaf-4 walk stops at the first sub-leaf without a cache; a processor never has this many.
const int maxCacheLeaves = 64;

} // namespace

psCpuidReader psSetCpuidReader(psCpuidReader reader)
{
    psCpuidReader old = s_reader;
    s_reader = reader ? reader : processorReader;
    return old;
}

bool psHasCpuid()
{
#if defined(__x86_64__)
    return true; // part of the 64-bit architecture
#else
    return false;
#endif
}

CPUID::CPUID(unsigned leaf, unsigned subleaf)
{
    m_regs[0] = m_regs[1] = m_regs[2] = m_regs[3] = 0;
    s_reader(leaf, subleaf, m_regs);
}

CPUID::CPUID(unsigned eax, unsigned ebx, unsigned ecx, unsigned edx)
{
    m_regs[regEAX] = eax;
    m_regs[regEBX] = ebx;
    m_regs[regECX] = ecx;
    m_regs[regEDX] = edx;
}

unsigned CPUID::getBits(int reg, int high, int low) const
{
    if (reg < 0 || reg > 3 || low < 0 || high > 31 || high < low) return 0;
    unsigned value = m_regs[reg] >> low;
    int width = high - low + 1;
    return width >= 32 ? value : value & ((1u << width) - 1);
}

char CPUID::byteOf(int reg, int n) const
{
    if (n < 0 || n > 3) return 0;
    return (char)getBits(reg, n * 8 + 7, n * 8);
}

unsigned CPUID::largestFunction() { return CPUID(0).EAX(); }

unsigned CPUID::largestExFunction() { return CPUID(0x80000000u).EAX(); }

bool CPUID::validFunction(unsigned leaf)
{
    if (leaf == 0 || leaf == 0x80000000u) return true;
    if (leaf < 0x80000001u) return leaf <= largestFunction();
    unsigned largest = largestExFunction();
    // A processor without extended leaves answers with something below 0x80000000.
    return largest >= 0x80000000u && leaf <= largest;
}

psCpuSignature psDecodeSignature(unsigned eax, unsigned ebx)
{
    CPUID r(eax, ebx, 0, 0);
    psCpuSignature s;
    s.family = (int)(r.EAX(27, 20) + r.EAX(11, 8));
    s.model = (int)((r.EAX(19, 16) << 4) + r.EAX(7, 4));
    s.stepping = (int)r.EAX(3, 0);
    s.type = (int)r.EAX(13, 12);
    s.brandId = (int)r.EBX(7, 0);
    return s;
}

int psLeaf4CacheSize(unsigned ebx, unsigned ecx)
{
    CPUID r(0, ebx, ecx, 0);
    const unsigned long long factors[4] = {(unsigned long long)ecx + 1, r.EBX(11, 0) + 1ull, r.EBX(21, 12) + 1ull,
                                           r.EBX(31, 22) + 1ull};
    unsigned long long size = 1;
    // Each factor is at most 2^32, so checking after every step keeps the product in range.
    for (unsigned long long f : factors) {
        size *= f;
        if (size > (unsigned long long)INT_MAX) return INT_MAX;
    }
    return (int)size;
}

namespace {
// Register bytes as text; NUL bytes pad the texts and are left out.
void appendBytes(psString& text, const CPUID& r, int reg)
{
    for (int i = 0; i < 4; ++i) {
        char c = (char)r.getBits(reg, i * 8 + 7, i * 8);
        if (c != 0) text += c;
    }
}
} // namespace

psString psCpuVendor()
{
    CPUID leaf0(0);
    psString vendor;
    appendBytes(vendor, leaf0, CPUID::regEBX);
    appendBytes(vendor, leaf0, CPUID::regEDX);
    appendBytes(vendor, leaf0, CPUID::regECX);
    return vendor;
}

psString psCpuBrand()
{
    psString brand;
    if (!CPUID::validFunction(0x80000004u)) return brand;
    for (unsigned leaf = 0x80000002u; leaf <= 0x80000004u; ++leaf) {
        CPUID r(leaf);
        for (int reg = CPUID::regEAX; reg <= CPUID::regEDX; ++reg) appendBytes(brand, r, reg);
    }
    return brand;
}

int getCacheSizeB(int i)
{
    if (i < 0 || !CPUID::validFunction(4)) return -1;
    CPUID r(4, (unsigned)i);
    if (r.EAX(4, 0) == 0) return -1;
    return psLeaf4CacheSize(r.EBX(), r.ECX());
}

int getMaxCacheSizeB()
{
    if (!CPUID::validFunction(4)) return 0;
    int largest = 0;
    for (int i = 0; i < maxCacheLeaves; ++i) {
        int size = getCacheSizeB(i);
        if (size < 0) break;
        if (size > largest) largest = size;
    }
    return largest;
}
