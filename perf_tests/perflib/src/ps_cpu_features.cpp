#include "ps_cpu_features.h"

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
