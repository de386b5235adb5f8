// The version record: one per code path, chosen by the enabled features.
#include "kyncp.h"

#define KYNCP_STR2(x) #x
#define KYNCP_STR(x) KYNCP_STR2(x)
#define KYNCP_VERSION_TEXT \
    KYNCP_STR(KYNCP_VERSION_MAJOR) "." KYNCP_STR(KYNCP_VERSION_MINOR) "." KYNCP_STR(KYNCP_VERSION_PATCH)

namespace {

const Kyn64u PATH_M7 = kynCPUID_SSE | kynCPUID_SSE2 | kynCPUID_SSE3;
const Kyn64u PATH_N8 = PATH_M7 | kynCPUID_SSSE3;
const Kyn64u PATH_Y8 = PATH_N8 | kynCPUID_SSE41 | kynCPUID_SSE42;
const Kyn64u PATH_E9 = PATH_Y8 | kynCPUID_AVX | kynAVX_ENABLEDBYOS;
const Kyn64u PATH_L9 = PATH_E9 | kynCPUID_AVX2;
const Kyn64u PATH_K0 = PATH_L9 | kynCPUID_AVX512F | kynCPUID_AVX512CD | kynCPUID_AVX512BW | kynCPUID_AVX512DQ |
                       kynCPUID_AVX512VL | kynAVX512_ENABLEDBYOS;
const Kyn64u PATH_K1 = PATH_K0 | kynCPUID_AVX512IFMA | kynCPUID_AVX512VBMI;

#define KYNCP_RECORD(label, what)                                                                     \
    { KYNCP_VERSION_MAJOR, KYNCP_VERSION_MINOR, KYNCP_VERSION_PATCH, 0, label, "kyncp " what " (" label ")", \
      KYNCP_VERSION_TEXT " (" label ")", __DATE__ }

struct CodePath {
    Kyn64u required;
    CryptoLibraryVersion record;
};

// Best first; the last one needs nothing.
const CodePath s_paths[] = {
    {PATH_K1, KYNCP_RECORD("k1", "AVX-512 IFMA")},
    {PATH_K0, KYNCP_RECORD("k0", "AVX-512")},
    {PATH_L9, KYNCP_RECORD("l9", "AVX2")},
    {PATH_E9, KYNCP_RECORD("e9", "AVX")},
    {PATH_Y8, KYNCP_RECORD("y8", "SSE4.2")},
    {PATH_N8, KYNCP_RECORD("n8", "SSSE3")},
    {PATH_M7, KYNCP_RECORD("m7", "SSE3")},
    {0, KYNCP_RECORD("mx", "generic x86-64")},
};

} // namespace

extern "C" const CryptoLibraryVersion* cryptoGetLibVersion(void)
{
    const Kyn64u enabled = kyncpGetEnabledCpuFeatures();
    for (const CodePath& path : s_paths)
        if ((enabled & path.required) == path.required) return &path.record;
    return &s_paths[sizeof(s_paths) / sizeof(s_paths[0]) - 1].record;  // not reached: the last needs nothing
}
