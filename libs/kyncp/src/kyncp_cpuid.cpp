// CPUID and XCR0 reading, and the translation of CPUID bits into the library's feature word.
#include "kyncp_cpuid.h"

namespace kyncp {

namespace {

inline bool bit(int32u reg, int n) { return (reg >> n) & 1u; }

// XCR0 state components.
const Kyn64u XCR0_SSE_AVX = 0x6;        // XMM, YMM
const Kyn64u XCR0_MPX = 0x18;           // BNDREGS, BNDCSR
const Kyn64u XCR0_AVX512 = 0xE0;        // opmask, ZMM_Hi256, Hi16_ZMM

} // namespace

Kyn64u osStateMask()
{
    int32u r[4];
    cpuid(0, 0, r);
    if (r[0] < 1) return 0;
    cpuid(1, 0, r);
    if (!bit(r[2], 27)) return 0;  // OSXSAVE
    int32u lo, hi;
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    return ((Kyn64u)hi << 32) | lo;
}

bool hasRdtscp()
{
    int32u r[4];
    cpuid(0x80000000u, 0, r);
    if (r[0] < 0x80000001u) return false;
    cpuid(0x80000001u, 0, r);
    return bit(r[3], 27);
}

Kyn64u detectFeatures()
{
    Kyn64u f = 0;
    int32u r[4];
    cpuid(0, 0, r);
    const int32u maxLeaf = r[0];
    cpuid(0x80000000u, 0, r);
    const int32u maxExtLeaf = r[0];

    const Kyn64u xcr0 = osStateMask();
    const bool avxOS = (xcr0 & XCR0_SSE_AVX) == XCR0_SSE_AVX;
    const bool avx512OS = avxOS && (xcr0 & XCR0_AVX512) == XCR0_AVX512;
    const bool mpxOS = (xcr0 & XCR0_MPX) == XCR0_MPX;
    if (avxOS) f |= kynAVX_ENABLEDBYOS;
    if (avx512OS) f |= kynAVX512_ENABLEDBYOS;

    if (maxLeaf >= 1) {
        cpuid(1, 0, r);
        const int32u c = r[2], d = r[3];
        if (bit(d, 23)) f |= kynCPUID_MMX;
        if (bit(d, 25)) f |= kynCPUID_SSE;
        if (bit(d, 26)) f |= kynCPUID_SSE2;
        if (bit(c, 0)) f |= kynCPUID_SSE3;
        if (bit(c, 1)) f |= kynCPUID_CLMUL;
        if (bit(c, 9)) f |= kynCPUID_SSSE3;
        if (bit(c, 19)) f |= kynCPUID_SSE41;
        if (bit(c, 20)) f |= kynCPUID_SSE42;
        if (bit(c, 22)) f |= kynCPUID_MOVBE;
        if (bit(c, 25)) f |= kynCPUID_AES;
        if (bit(c, 30)) f |= kynCPUID_RDRAND;
        // VEX-encoded: usable only when the OS saves the YMM state.
        if (avxOS && bit(c, 28)) f |= kynCPUID_AVX;
        if (avxOS && bit(c, 29)) f |= kynCPUID_F16C;
    }

    if (maxLeaf >= 7) {
        cpuid(7, 0, r);
        const int32u maxSub = r[0], b = r[1], c = r[2], d = r[3];
        if (bit(b, 19)) f |= kynCPUID_ADCOX;
        if (bit(b, 18)) f |= kynCPUID_RDSEED;
        if (bit(b, 29)) f |= kynCPUID_SHA;
        if (bit(c, 8)) f |= kynCPUID_AVX512GFNI;  // GFNI has legacy SSE encodings too
        if (mpxOS && bit(b, 14)) f |= kynCPUID_MPX;
        const bool avx2 = avxOS && bit(b, 5);
        if (avx2) f |= kynCPUID_AVX2;
        if (avxOS && bit(c, 9)) f |= kynCPUID_AVX512VAES;
        if (avxOS && bit(c, 10)) f |= kynCPUID_AVX512VCLMUL;
        if (avx2 && bit(c, 9)) f |= kynCPUID_AVX2VAES;
        if (avx2 && bit(c, 10)) f |= kynCPUID_AVX2VCLMUL;
        if (avx512OS) {
            if (bit(b, 16)) f |= kynCPUID_AVX512F;
            if (bit(b, 17)) f |= kynCPUID_AVX512DQ;
            if (bit(b, 21)) f |= kynCPUID_AVX512IFMA;
            if (bit(b, 26)) f |= kynCPUID_AVX512PF;
            if (bit(b, 27)) f |= kynCPUID_AVX512ER;
            if (bit(b, 28)) f |= kynCPUID_AVX512CD;
            if (bit(b, 30)) f |= kynCPUID_AVX512BW;
            if (bit(b, 31)) f |= kynCPUID_AVX512VL;
            if (bit(c, 1)) f |= kynCPUID_AVX512VBMI;
            if (bit(c, 6)) f |= kynCPUID_AVX512VBMI2;
            if (bit(d, 2)) f |= kynCPUID_AVX512_4VNNIW;
            if (bit(d, 3)) f |= kynCPUID_AVX512_4FMADDPS;
        }
        if (maxSub >= 1) {
            cpuid(7, 1, r);
            if (avxOS && bit(r[0], 0)) f |= kynCPUID_AVX2SHA512;
            if (avxOS && bit(r[0], 1)) f |= kynCPUID_AVX2SM3;
            if (avxOS && bit(r[0], 2)) f |= kynCPUID_AVX2SM4;
            // AVX10: the version number is in leaf 0x24.
            if (avx512OS && bit(r[3], 19) && maxLeaf >= 0x24) {
                cpuid(0x24, 0, r);
                if ((r[1] & 0xFF) >= 2) f |= kynCPUID_AVX10_2;
            }
        }
    }

    if (maxExtLeaf >= 0x80000001u) {
        cpuid(0x80000001u, 0, r);
        if (bit(r[2], 8)) f |= kynCPUID_PREFETCHW;
    }
    return f;
}

} // namespace kyncp

extern "C" KynStatus cpGetReg(int32u buf[4], int32u leaf, int32u subleaf)
{
    if (!buf) return kynStsNullPtrErr;
    kyncp::cpuid(leaf, subleaf, buf);
    return kynStsNoErr;
}
