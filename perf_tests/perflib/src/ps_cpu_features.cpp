#include "ps_cpu_features.h"

#include "kyncp.h"
#include "ps_parse.h"

namespace {
const psCpuFeatureFlag featureFlags[] = {
    {"kynCPUID_MMX", 0x1ull},
    {"kynCPUID_SSE", 0x2ull},
    {"kynCPUID_SSE2", 0x4ull},
    {"kynCPUID_SSE3", 0x8ull},
    {"kynCPUID_SSSE3", 0x10ull},
    {"kynCPUID_MOVBE", 0x20ull},
    {"kynCPUID_SSE41", 0x40ull},
    {"kynCPUID_SSE42", 0x80ull},
    {"kynCPUID_AVX", 0x100ull},
    {"kynAVX_ENABLEDBYOS", 0x200ull},
    {"kynCPUID_AES", 0x400ull},
    {"kynCPUID_CLMUL", 0x800ull},
    {"kynCPUID_RDRAND", 0x2000ull},
    {"kynCPUID_F16C", 0x4000ull},
    {"kynCPUID_AVX2", 0x8000ull},
    {"kynCPUID_ADCOX", 0x10000ull},
    {"kynCPUID_RDSEED", 0x20000ull},
    {"kynCPUID_PREFETCHW", 0x40000ull},
    {"kynCPUID_SHA", 0x80000ull},
    {"kynCPUID_AVX512F", 0x100000ull},
    {"kynCPUID_AVX512CD", 0x200000ull},
    {"kynCPUID_AVX512ER", 0x400000ull},
    {"kynCPUID_AVX512PF", 0x800000ull},
    {"kynCPUID_AVX512BW", 0x1000000ull},
    {"kynCPUID_AVX512DQ", 0x2000000ull},
    {"kynCPUID_AVX512VL", 0x4000000ull},
    {"kynCPUID_AVX512VBMI", 0x8000000ull},
    {"kynCPUID_AVX512VBMI2", 0x2000000000ull},
    {"kynCPUID_MPX", 0x10000000ull},
    {"kynCPUID_AVX512_4FMADDPS", 0x20000000ull},
    {"kynCPUID_AVX512_4VNNIW", 0x40000000ull},
    {"kynCPUID_COPROCESSOR", 0x80000000ull},
    {"kynCPUID_AVX512IFMA", 0x100000000ull},
    {"kynAVX512_ENABLEDBYOS", 0x200000000ull},
    {"kynCPUID_AVX512GFNI", 0x400000000ull},
    {"kynCPUID_AVX512VAES", 0x800000000ull},
    {"kynCPUID_AVX512VCLMUL", 0x1000000000ull},
    {"kynCPUID_AVX2VAES", 0x4000000000ull},
    {"kynCPUID_AVX2VCLMUL", 0x8000000000ull},
    {"kynCPUID_AVX2SHA512", 0x40000000000ull},
    {"kynCPUID_AVX2SM3", 0x10000000000ull},
    {"kynCPUID_AVX2SM4", 0x20000000000ull},
    {"kynCPUID_AVX10_2", 0x80000000000ull},
};
const int featureCount = sizeof featureFlags / sizeof featureFlags[0];
const int prefixLength = 9; // "kynCPUID_"

// What each flag stands for, in the words of the processor report.
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
} // namespace

const psCpuFeatureFlag* psCpuFeatures::flags(int& count)
{
    count = featureCount;
    return featureFlags;
}

unsigned long long psCpuFeatures::cpuFeatures(const psString& arg)
{
    psString text = arg;
    text.trim();
    if (text.empty()) return 0;
    if (text[0] >= '0' && text[0] <= '9') {
        long long number = 0;
        number << text;
        return text.errorConvertion() ? 0 : (unsigned long long)number;
    }
    psStringList words;
    text.parse(words, "|,; ");
    unsigned long long mask = 0;
    for (psStringList::iterator word = words.begin(); word != words.end(); ++word) {
        psString lower = word->toLower();
        for (int i = 0; i < featureCount; ++i) {
            psString name = psString(featureFlags[i].name).toLower();
            if (lower == name || lower == name.substr(prefixLength)) {
                mask |= featureFlags[i].bit;
                break;
            }
        }
    }
    return mask;
}

psString psCpuFeatures::optimizedList()
{
    psString list;
    for (int i = 0; i < featureCount; ++i) {
        if (i > 0) list += (i % 6 == 0) ? "\n    " : ", ";
        list += featureFlags[i].name;
    }
    return list;
}

const char* psCpuFeatures::description(unsigned long long bit)
{
    for (const FeatureText& f : featureTexts)
        if (f.bit == bit) return f.text;
    return "";
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
    psString label = p ? p->label : "Undefined";
    while (label.length() < 9) label += ' ';
    return label;
}

psString psCodePathName(unsigned long long mask)
{
    const psCodePath* p = findCodePath(mask);
    return p ? p->name : "Unknown processor";
}
