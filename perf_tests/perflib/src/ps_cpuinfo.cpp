#include "ps_cpuinfo.h"

#include <climits>
#include <cstdarg>
#include <cstdio>

#include "kyncp.h"
#include "ps_cpu_features.h"
#include "ps_info_test.h"
#include "ps_ostream.h"
#include "ps_registry.h"

namespace {

void processorReader(unsigned leaf, unsigned subleaf, unsigned regs[4])
{
    int32u buf[4] = {0, 0, 0, 0};
    cpGetReg(buf, leaf, subleaf);
    for (int i = 0; i < 4; ++i) regs[i] = buf[i];
}

psCpuidReader s_reader = processorReader;

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

namespace {

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

// One line per flag of the feature word, keyed by bit value.
struct FeatureText {
    unsigned long long bit;
    const char* text;
};

const FeatureText featureTexts[] = {
    {kynCPUID_MMX, "MMX technology"},
    {kynCPUID_SSE, "Streaming SIMD extensions"},
    {kynCPUID_SSE2, "Streaming SIMD extensions 2"},
    {kynCPUID_SSE3, "Streaming SIMD extensions 3"},
    {kynCPUID_SSSE3, "Supplemental streaming SIMD extensions 3"},
    {kynCPUID_MOVBE, "MOVBE byte-swapping move"},
    {kynCPUID_SSE41, "Streaming SIMD extensions 4.1"},
    {kynCPUID_SSE42, "Streaming SIMD extensions 4.2"},
    {kynCPUID_AVX, "Advanced vector extensions"},
    {kynAVX_ENABLEDBYOS, "AVX register state saved by the operating system"},
    {kynCPUID_AES, "AES round instructions"},
    {kynCPUID_CLMUL, "PCLMULQDQ carry-less multiplication"},
    {kynCPUID_RDRAND, "RDRAND random number instruction"},
    {kynCPUID_F16C, "Half-precision floating-point conversion"},
    {kynCPUID_AVX2, "Advanced vector extensions 2"},
    {kynCPUID_ADCOX, "ADCX and ADOX add-with-carry instructions"},
    {kynCPUID_RDSEED, "RDSEED random seed instruction"},
    {kynCPUID_PREFETCHW, "PREFETCHW prefetch for write"},
    {kynCPUID_SHA, "SHA-1 and SHA-256 instructions"},
    {kynCPUID_AVX512F, "AVX-512 foundation"},
    {kynCPUID_AVX512CD, "AVX-512 conflict detection"},
    {kynCPUID_AVX512ER, "AVX-512 exponential and reciprocal"},
    {kynCPUID_AVX512PF, "AVX-512 prefetch"},
    {kynCPUID_AVX512BW, "AVX-512 byte and word"},
    {kynCPUID_AVX512DQ, "AVX-512 doubleword and quadword"},
    {kynCPUID_AVX512VL, "AVX-512 vector length extensions"},
    {kynCPUID_AVX512VBMI, "AVX-512 vector byte manipulation"},
    {kynCPUID_AVX512VBMI2, "AVX-512 vector byte manipulation 2"},
    {kynCPUID_MPX, "Memory protection extensions"},
    {kynCPUID_AVX512_4FMADDPS, "AVX-512 four-iteration multiply-add, single precision"},
    {kynCPUID_AVX512_4VNNIW, "AVX-512 four-iteration neural network, word"},
    {kynCPUID_COPROCESSOR, "Co-processor instruction set"},
    {kynCPUID_AVX512IFMA, "AVX-512 integer fused multiply-add"},
    {kynAVX512_ENABLEDBYOS, "AVX-512 register state saved by the operating system"},
    {kynCPUID_AVX512GFNI, "Galois field instructions"},
    {kynCPUID_AVX512VAES, "Vector AES round instructions"},
    {kynCPUID_AVX512VCLMUL, "Vector carry-less multiplication"},
    {kynCPUID_AVX2VAES, "Vector AES round instructions with AVX2"},
    {kynCPUID_AVX2VCLMUL, "Vector carry-less multiplication with AVX2"},
    {kynCPUID_AVX2SHA512, "SHA-512 instructions with AVX2"},
    {kynCPUID_AVX2SM3, "SM3 hash instructions with AVX2"},
    {kynCPUID_AVX2SM4, "SM4 cipher instructions with AVX2"},
    {kynCPUID_AVX10_2, "AVX10 version 2"},
};

const char* featureText(unsigned long long bit)
{
    for (const FeatureText& f : featureTexts)
        if (f.bit == bit) return f.text;
    return "";
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
                    featureText(bit));
    }
    unsigned long long unknown = features & ~named;
    if (unknown != 0) text << fmt("%-30s%llx\n", "Unknown flags", unknown);
    return text;
}

void __psOrvelCpuTest::printInformation()
{
    if (psHasCpuid()) {
        g_ostrm << psCpuIdentificationReport();
    } else {
        g_ostrm << starRule << "    Processor Identification\n" << starRule << "\n"
                << "    This processor has no CPUID instruction: nothing more can be told about it.\n";
    }
    unsigned long long features = 0;
    if (kyn_GetCpuFeatures && kyn_GetCpuFeatures(&features) == 0) {
        unsigned long long enabled = kyn_GetEnabledCpuFeatures ? kyn_GetEnabledCpuFeatures() : 0;
        g_ostrm << psCpuFeatureReport(features, enabled);
    }
    g_ostrm << starRule;
}

// ---- Code paths -------------------------------------------------------------------------------

namespace {

const unsigned long long cpSse2 = kynCPUID_MMX | kynCPUID_SSE | kynCPUID_SSE2;
const unsigned long long cpSse3 = cpSse2 | kynCPUID_SSE3;
const unsigned long long cpSsse3 = cpSse3 | kynCPUID_SSSE3;
const unsigned long long cpSse41 = cpSsse3 | kynCPUID_SSE41;
const unsigned long long cpSse42 = cpSse41 | kynCPUID_SSE42;
const unsigned long long cpRand = kynCPUID_MOVBE | kynCPUID_RDRAND;
const unsigned long long cpSha = kynCPUID_RDSEED | kynCPUID_SHA;
const unsigned long long cpNi = cpSse42 | kynCPUID_AES | kynCPUID_CLMUL;
const unsigned long long cpAvx = cpNi | kynCPUID_AVX | kynAVX_ENABLEDBYOS;
const unsigned long long cpAvxF = cpAvx | kynCPUID_RDRAND | kynCPUID_F16C;
const unsigned long long cpAvx2 = cpAvxF | kynCPUID_MOVBE | kynCPUID_AVX2;
const unsigned long long cpAvx2X = cpAvx2 | kynCPUID_ADCOX | kynCPUID_RDSEED | kynCPUID_PREFETCHW;
const unsigned long long cpVec = kynCPUID_AVX2VAES | kynCPUID_AVX2VCLMUL | kynCPUID_AVX512GFNI;
const unsigned long long cpSm = kynCPUID_AVX2SM3 | kynCPUID_AVX2SM4;
const unsigned long long cpZ0 = cpAvx2X | kynCPUID_AVX512F | kynCPUID_AVX512CD | kynAVX512_ENABLEDBYOS;
const unsigned long long cpZm = cpZ0 | kynCPUID_AVX512ER | kynCPUID_AVX512PF;
const unsigned long long cpZb = cpZ0 | kynCPUID_AVX512BW | kynCPUID_AVX512DQ | kynCPUID_AVX512VL;
const unsigned long long cpZi = cpZb | kynCPUID_AVX512VBMI | kynCPUID_AVX512IFMA;
const unsigned long long cpZv = cpZi | kynCPUID_AVX512VBMI2 | cpVec | kynCPUID_AVX512VAES | kynCPUID_AVX512VCLMUL;
const unsigned long long cpA10 = cpZv | kynCPUID_AVX10_2;

const psCodePath codePaths[] = {
    {"generic", 0, "Generic code"},
    {"sse2", cpSse2, "SSE2 baseline"},
    {"sse3", cpSse3, "SSE3"},
    {"ssse3", cpSsse3, "SSSE3"},
    {"ssse3m", cpSsse3 | kynCPUID_MOVBE, "SSSE3 with MOVBE"},
    {"ssse3r", cpSsse3 | cpRand, "SSSE3 with MOVBE and RDRAND"},
    {"sse41", cpSse41, "SSE4.1"},
    {"sse42", cpSse42, "SSE4.2"},
    {"sse42m", cpSse42 | kynCPUID_MOVBE, "SSE4.2 with MOVBE"},
    {"sse42r", cpSse42 | cpRand, "SSE4.2 with MOVBE and RDRAND"},
    {"sse42s", cpSse42 | cpRand | cpSha, "SSE4.2 with SHA"},
    {"sse42x", cpSse42 | cpRand | cpSha | kynCPUID_MPX, "SSE4.2 with SHA and MPX"},
    {"ni", cpNi, "SSE4.2 with AES and CLMUL"},
    {"nir", cpNi | kynCPUID_RDRAND, "SSE4.2 with AES, CLMUL and RDRAND"},
    {"nim", cpNi | cpRand, "SSE4.2 with AES, CLMUL, MOVBE and RDRAND"},
    {"nis", cpNi | cpRand | cpSha, "SSE4.2 with AES, CLMUL and SHA"},
    {"nisx", cpNi | cpRand | cpSha | kynCPUID_MPX, "SSE4.2 with AES, CLMUL, SHA and MPX"},
    {"nisp", cpNi | cpRand | cpSha | kynCPUID_MPX | kynCPUID_PREFETCHW, "SSE4.2 with AES, CLMUL, SHA, MPX and PREFETCHW"},
    {"avx", cpAvx, "AVX"},
    {"avxf", cpAvxF, "AVX with F16C and RDRAND"},
    {"avx2", cpAvx2, "AVX2"},
    {"avx2x", cpAvx2X, "AVX2 with ADCX/ADOX"},
    {"avx2s", cpAvx2X | kynCPUID_SHA, "AVX2 with ADCX/ADOX and SHA"},
    {"avx2mx", cpAvx2X | kynCPUID_MPX, "AVX2 with ADCX/ADOX and MPX"},
    {"avx2smx", cpAvx2X | kynCPUID_SHA | kynCPUID_MPX, "AVX2 with ADCX/ADOX, SHA and MPX"},
    {"avx2v", cpAvx2X | kynCPUID_AVX2VAES | kynCPUID_AVX2VCLMUL, "AVX2 with vector AES and CLMUL"},
    {"avx2vg", cpAvx2X | cpVec, "AVX2 with vector AES, CLMUL and GFNI"},
    {"avx2vs", cpAvx2X | cpVec | kynCPUID_SHA, "AVX2 with vector AES, CLMUL, GFNI and SHA"},
    {"avx2sm", cpAvx2X | cpVec | kynCPUID_SHA | cpSm, "AVX2 with SM3 and SM4"},
    {"avx2smh", cpAvx2X | cpVec | kynCPUID_SHA | cpSm | kynCPUID_AVX2SHA512, "AVX2 with SM3, SM4 and SHA-512"},
    {"avx2y", cpAvx2X | cpVec | kynCPUID_SHA | cpSm | kynCPUID_AVX2SHA512 | kynCPUID_AVX10_2,
     "AVX10.2 on 256-bit vectors"},
    {"z0", cpZ0, "AVX-512 foundation"},
    {"z0m", cpZm, "AVX-512 with exponential, reciprocal and prefetch"},
    {"z0m4", cpZm | kynCPUID_AVX512_4FMADDPS | kynCPUID_AVX512_4VNNIW, "AVX-512 with four-iteration operations"},
    {"zb", cpZb, "AVX-512 BW, DQ and VL"},
    {"zbx", cpZb | kynCPUID_MPX, "AVX-512 BW, DQ and VL with MPX"},
    {"zbs", cpZb | kynCPUID_SHA, "AVX-512 BW, DQ and VL with SHA"},
    {"zbv", cpZb | cpVec, "AVX-512 BW, DQ and VL with 256-bit vector AES"},
    {"zi", cpZi, "AVX-512 with IFMA and VBMI"},
    {"zis", cpZi | kynCPUID_SHA, "AVX-512 with IFMA, VBMI and SHA"},
    {"zix", cpZi | kynCPUID_MPX, "AVX-512 with IFMA, VBMI and MPX"},
    {"zv", cpZv, "AVX-512 with vector AES, CLMUL and GFNI"},
    {"zvs", cpZv | kynCPUID_SHA, "AVX-512 with vector AES, CLMUL, GFNI and SHA"},
    {"zvsx", cpZv | kynCPUID_SHA | kynCPUID_MPX, "AVX-512 with vector AES, SHA and MPX"},
    {"zvh", cpZv | kynCPUID_SHA | kynCPUID_AVX2SHA512, "AVX-512 with vector AES and SHA-512"},
    {"zvsm", cpZv | kynCPUID_SHA | cpSm, "AVX-512 with vector AES, SM3 and SM4"},
    {"zvsmh", cpZv | kynCPUID_SHA | cpSm | kynCPUID_AVX2SHA512, "AVX-512 with vector AES, SM3, SM4 and SHA-512"},
    {"a10", cpA10, "AVX10.2"},
    {"a10s", cpA10 | kynCPUID_SHA, "AVX10.2 with SHA"},
    {"a10sm", cpA10 | kynCPUID_SHA | cpSm, "AVX10.2 with SHA, SM3 and SM4"},
    {"a10smh", cpA10 | kynCPUID_SHA | cpSm | kynCPUID_AVX2SHA512, "AVX10.2 with SHA, SM3, SM4 and SHA-512"},
    {"cop", cpSse2 | kynCPUID_COPROCESSOR, "Co-processor instruction set"},
};

const psCodePath* findCodePath(unsigned long long mask)
{
    for (const psCodePath& p : codePaths)
        if (p.mask == mask) return &p;
    return nullptr;
}

} // namespace

const psCodePath* psCodePaths(int& count)
{
    count = (int)(sizeof codePaths / sizeof codePaths[0]);
    return codePaths;
}

psString psCodePathLabel(unsigned long long mask)
{
    const psCodePath* p = findCodePath(mask);
    return fmt("%-9s", p ? p->label : "Undefined");
}

psString psCodePathName(unsigned long long mask)
{
    const psCodePath* p = findCodePath(mask);
    return p ? p->name : "Unknown processor";
}
