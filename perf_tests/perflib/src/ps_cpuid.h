// Processor identification by the CPUID instruction: the queries (through a replaceable reader,
// so tests can describe other processors), the decoding of their registers, vendor, brand and caches.
#ifndef PS_CPUID_H
#define PS_CPUID_H

#include "ps_string.h"

// Where CPUID registers come from: EAX, EBX, ECX, EDX of (leaf, subleaf) into regs. The processor
// by default; tests put a table of their own in its place to describe other processors.
typedef void (*psCpuidReader)(unsigned leaf, unsigned subleaf, unsigned regs[4]);
// Installs reader (null brings back the processor) and returns the one it replaces.
psCpuidReader psSetCpuidReader(psCpuidReader reader);
// Whether the processor has the CPUID instruction.
bool psHasCpuid();

// The four result registers of one CPUID query.
class CPUID {
public:
    enum Register { regEAX = 0, regEBX = 1, regECX = 2, regEDX = 3 };

    explicit CPUID(unsigned leaf, unsigned subleaf = 0);
    // Given registers, for decoding values that did not come from a query.
    CPUID(unsigned eax, unsigned ebx, unsigned ecx, unsigned edx);

    // Bits high..low of a register, shifted down; out-of-range bit numbers give 0.
    unsigned getBits(int reg, int high, int low) const;
    bool getBit(int reg, int bit) const { return getBits(reg, bit, bit) != 0; }

    unsigned EAX() const { return m_regs[regEAX]; }
    unsigned EBX() const { return m_regs[regEBX]; }
    unsigned ECX() const { return m_regs[regECX]; }
    unsigned EDX() const { return m_regs[regEDX]; }
    unsigned EAX(int high, int low) const { return getBits(regEAX, high, low); }
    unsigned EBX(int high, int low) const { return getBits(regEBX, high, low); }
    unsigned ECX(int high, int low) const { return getBits(regECX, high, low); }
    unsigned EDX(int high, int low) const { return getBits(regEDX, high, low); }
    bool EDX(int bit) const { return getBit(regEDX, bit); }

    // Byte n (0 = lowest) of a register, for texts stored in registers.
    char byteEAX(int n) const { return byteOf(regEAX, n); }
    char byteEBX(int n) const { return byteOf(regEBX, n); }
    char byteECX(int n) const { return byteOf(regECX, n); }
    char byteEDX(int n) const { return byteOf(regEDX, n); }

    static unsigned largestFunction();
    static unsigned largestExFunction();
    // Leaves 0 and 0x80000000 always; standard leaves up to largestFunction(), extended leaves up
    // to largestExFunction().
    static bool validFunction(unsigned leaf);

private:
    char byteOf(int reg, int n) const;
    unsigned m_regs[4];
};

// The processor signature of leaf 1 (EAX, and the brand id in EBX bits 7..0).
struct psCpuSignature {
    int family;   // base + extended family
    int model;    // extended model * 16 + base model
    int stepping;
    int type;
    int brandId;
};
psCpuSignature psDecodeSignature(unsigned eax, unsigned ebx);

// Size in bytes of the cache described by leaf-4 EBX and ECX: sets * line size * partitions *
// ways (clamped to the int range).
int psLeaf4CacheSize(unsigned ebx, unsigned ecx);

// The 12-character vendor string of leaf 0 and the brand string of leaves 0x80000002..4 (empty
// when those leaves do not exist), both without trailing NULs.
psString psCpuVendor();
psString psCpuBrand();

// Size in bytes of the cache of leaf 4, sub-leaf i; -1 when it describes no cache.
int getCacheSizeB(int i);
// The largest cache of leaf 4, over the sub-leaves up to the first without a cache; 0 without
// leaf 4.
int getMaxCacheSizeB();

#endif
