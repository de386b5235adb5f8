#include "ps_cpuinfo.h"

#include <cstdarg>
#include <cstdio>

#include "ps_cpu_features.h"
#include "ps_cpuid.h"

namespace {

// Several formatted values may be alive in one output statement, so each call gets the next of
// a ring of buffers.
const char* fmt(const char* format, ...)
{
    static char ring[24][1024];
    static int next = 0;
    char* buffer = ring[next];
    next = (next + 1) % 24;
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof ring[0], format, args);
    va_end(args);
    return buffer;
}

const char* const starRule = "*******************************************************************************\n";
const char* const equalRule = "===============================================================================\n";
const char* const dashRule = "-------------------------------------------------------------------------------\n";

// A leaf-4 walk stops at the first sub-leaf without a cache; a processor never has this many.
const int maxCacheLeaves = 64;

psString headerSection()
{
    psString text;
    psString vendor = psCpuVendor();
    psString brand = psCpuBrand();
    text << starRule << "    Orvel(R) Processor Identification\n"
         << "    Got by CPUID Instruction Functions\n";
    if (vendor != "GenuineOrvel") {
        text << "\n"
             << "    ATTENTION! It is not Genuine Orvel processor.\n"
             << "    Information below may be inadequate.\n";
    }
    text << starRule << "\n";
    text << fmt("Largest Standard Function 0x%08X\n", CPUID::largestFunction());
    text << fmt("Largest Extended Function 0x%08X\n", CPUID::largestExFunction());
    text << "Vendor-ID      " << vendor << "\n";
    if (!brand.empty()) text << "Brand String   " << brand << "\n";
    return text;
}

psString signatureSection()
{
    CPUID leaf1(1);
    psCpuSignature s = psDecodeSignature(leaf1.EAX(), leaf1.EBX());
    psString text;
    text << "\n" << equalRule << "    Processor Identification Signature\n\n";
    text << fmt("Family   %d\n", s.family) << fmt("Model    %d\n", s.model) << fmt("Stepping %d\n", s.stepping)
         << fmt("Type     %d\n", s.type);
    if (s.brandId != 0) text << fmt("Brand ID 0x%02X\n", s.brandId);
    return text;
}

psString threadingSection()
{
    CPUID leaf1(1);
    int logical = (int)leaf1.EBX(23, 16);
    int cores = CPUID::validFunction(4) ? (int)CPUID(4, 0).EAX(31, 26) + 1 : 0;
    if (CPUID::largestFunction() < 4) {
        logical = 1;
        cores = 1;
    } else if (CPUID::validFunction(11) && CPUID(11, 0).EBX() != 0) {
        // The topology leaf counts what is really there; leaf 1 and 4 give only upper bounds.
        bool twoThreadsPerCore = CPUID(11, 0).EBX(1, 1) != 0;
        logical = (int)CPUID(11, 1).EBX(15, 0);
        cores = twoThreadsPerCore ? logical / 2 : logical;
    }
    bool supported = leaf1.EDX(28) && logical >= 2;
    psString text;
    text << equalRule << "    Multi Threading Features\n\n";
    text << (supported ? "Multi-threading or multi-core is supported\n"
                       : "Multi-threading or multi-core is not supported\n");
    text << fmt("Logical Processors %d - Number of logical processors per physical package\n", logical);
    if (cores != 0) text << fmt("Cores per Package  %d - Maximum number of processor cores per package\n", cores);
    return text;
}

const char* cacheTypeName(unsigned type)
{
    switch (type) {
    case 1: return "Data Cache";
    case 2: return "Instruction Cache";
    case 3: return "Unified Cache";
    default: return "Reserved";
    }
}

psString cacheSection()
{
    psString text;
    text << equalRule << "    Deterministic Cache Parameters\n";
    for (int i = 0; i < maxCacheLeaves; ++i) {
        CPUID r(4, (unsigned)i);
        unsigned type = r.EAX(4, 0);
        if (type == 0) break;
        int size = psLeaf4CacheSize(r.EBX(), r.ECX());
        text << dashRule;
        text << fmt("%-19s%s\n", "Cache Type", cacheTypeName(type));
        text << fmt("%-19s%u\n", "Cache Level", r.EAX(7, 5));
        text << fmt("%-19s%d\n", "Cache Size Kb", size / 1024);
        text << fmt("%-19s%u - Maximum number of threads sharing this cache\n", "Threads Sharing", r.EAX(25, 14) + 1);
        text << fmt("%-19s%u\n", "Number of Sets", r.ECX() + 1);
        text << fmt("%-19s%u - System coherency line size\n", "Line Size", r.EBX(11, 0) + 1);
        text << fmt("%-19s%u - Physical line partitions\n", "Line Partitions", r.EBX(21, 12) + 1);
        text << fmt("%-19s%u - Ways of associativity\n", "Associativity", r.EBX(31, 22) + 1);
        if (r.EAX(9, 9)) text << "Fully Associative cache\n";
        if (r.EAX(8, 8)) text << "Self Initializing cache level\n";
        if (r.EDX(1, 1)) text << "Cache is inclusive to lower cache levels\n";
        if (r.EDX(0, 0)) text << "WBINVD/INVD behavior on lower level caches\n";
    }
    return text;
}

psString l2Section()
{
    CPUID r(0x80000006u);
    unsigned code = r.ECX(15, 12);
    const char* ways = nullptr;
    switch (code) {
    case 0x0: ways = "Disabled"; break;
    case 0x1: ways = "Direct mapped"; break;
    case 0x2: ways = "2-Way"; break;
    case 0x4: ways = "4-Way"; break;
    case 0x6: ways = "8-Way"; break;
    case 0x8: ways = "16-Way"; break;
    case 0xF: ways = "Fully associative"; break;
    default: ways = fmt("code 0x%02X", code); break;
    }
    psString text;
    text << "    Extended L2 Cache Features\n\n";
    text << fmt("%-23s%u\n", "L2 Cache Size Kb", r.ECX(31, 16));
    text << fmt("%-23s%u\n", "L2 Cache Line Size", r.ECX(7, 0));
    text << fmt("%-23s%s\n", "L2 Cache Associativity", ways);
    return text;
}

} // namespace

psString psCpuIdentificationReport()
{
    psString text = headerSection();
    if (CPUID::validFunction(1)) {
        text << signatureSection();
        text << threadingSection();
    }
    if (CPUID::validFunction(4)) text << cacheSection();
    if (CPUID::validFunction(0x80000006u)) text << l2Section();
    return text;
}

psString psCpuFeatureReport(unsigned long long features, unsigned long long enabled)
{
    psString text;
    text << equalRule << "    Feature Flags\n"
         << "    got by kyncpGetCpuFeatures & kynGetcpEnabledCpuFeatures\n\n";
    text << fmt("%-20s%-5s%-9s%s", "Features", "CPU", "Enabled", "Info\n") << dashRule;
    int count = 0;
    const psCpuFeatureFlag* flags = psCpuFeatures::flags(count);
    unsigned long long named = 0;
    for (int i = 0; i < count; ++i) {
        unsigned long long bit = flags[i].bit;
        named |= bit;
        text << fmt("%-30s%-5d%-9d%s\n", flags[i].name, (features & bit) ? 1 : 0, (enabled & bit) ? 1 : 0,
                    psCpuFeatures::description(bit));
    }
    unsigned long long unknown = features & ~named;
    if (unknown != 0) text << fmt("%-30s%llx\n", "Unknown flags", unknown);
    return text;
}

psString psCpuReport(bool withFeatures, unsigned long long features, unsigned long long enabled)
{
    psString text;
    if (psHasCpuid()) {
        text << psCpuIdentificationReport();
    } else {
        text << starRule << "    Processor Identification\n" << starRule << "\n"
             << "    This processor has no CPUID instruction: nothing more can be told about it.\n";
    }
    if (withFeatures) text << psCpuFeatureReport(features, enabled);
    return text << starRule;
}
