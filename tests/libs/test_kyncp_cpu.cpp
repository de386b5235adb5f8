// libkyncp's processor identification against what the processor and the kernel say: the feature
// flags against /proc/cpuinfo, the OS state bits against XCR0, and the leaf-2 cache lookup.
#include <cpuid.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kyncp.h"

namespace {

// The value of a line of the first processor's block of /proc/cpuinfo.
std::string cpuinfo(const std::string& key)
{
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line) && !line.empty())
        if (line.compare(0, key.size(), key) == 0 && line.find_first_not_of(" \t", key.size()) == line.find(':'))
            return line.substr(line.find(':') + 2);
    return "";
}

} // namespace

TEST(KyncpCpu, FeatureBitsAgreeWithProcCpuinfoAndXcr0)
{
    // Each kernel flag and the library bit that means the same instructions. The kernel shows a
    // flag only when the OS can run those instructions, as the library's bits do.
    const std::pair<const char*, Kyn64u> map[] = {
        {"mmx", kynCPUID_MMX}, {"sse", kynCPUID_SSE}, {"sse2", kynCPUID_SSE2}, {"pni", kynCPUID_SSE3},
        {"ssse3", kynCPUID_SSSE3}, {"movbe", kynCPUID_MOVBE}, {"sse4_1", kynCPUID_SSE41}, {"sse4_2", kynCPUID_SSE42},
        {"avx", kynCPUID_AVX}, {"aes", kynCPUID_AES}, {"pclmulqdq", kynCPUID_CLMUL}, {"rdrand", kynCPUID_RDRAND},
        {"f16c", kynCPUID_F16C}, {"avx2", kynCPUID_AVX2}, {"adx", kynCPUID_ADCOX}, {"rdseed", kynCPUID_RDSEED},
        {"sha_ni", kynCPUID_SHA}, {"avx512f", kynCPUID_AVX512F}, {"avx512cd", kynCPUID_AVX512CD},
        {"avx512bw", kynCPUID_AVX512BW}, {"avx512dq", kynCPUID_AVX512DQ}, {"avx512vl", kynCPUID_AVX512VL},
        {"avx512ifma", kynCPUID_AVX512IFMA}, {"avx512vbmi", kynCPUID_AVX512VBMI},
        {"avx512_vbmi2", kynCPUID_AVX512VBMI2}, {"gfni", kynCPUID_AVX512GFNI}, {"vaes", kynCPUID_AVX512VAES},
        {"vpclmulqdq", kynCPUID_AVX512VCLMUL},
    };
    std::set<std::string> flags;
    std::istringstream words(cpuinfo("flags"));
    for (std::string w; words >> w;) flags.insert(w);
    ASSERT_FALSE(flags.empty()) << "/proc/cpuinfo has no flags";
    Kyn64u f = 0;
    ASSERT_EQ(kynStsNoErr, kyncpGetCpuFeatures(&f));
    for (auto& m : map) EXPECT_EQ(flags.count(m.first) == 1, (f & m.second) != 0) << "flag " << m.first;
    // Combined bits follow their parts; nothing outside the known table, never the co-processor.
    EXPECT_EQ((f & kynCPUID_AVX2) && flags.count("vaes"), (f & kynCPUID_AVX2VAES) != 0);
    EXPECT_EQ((f & kynCPUID_AVX2) && flags.count("vpclmulqdq"), (f & kynCPUID_AVX2VCLMUL) != 0);
    EXPECT_EQ(0u, f & (~kynCPUID_ALL_KNOWN | kynCPUID_COPROCESSOR | 0x1000u));

    // The OS bits: XCR0 read here, apart from the library.
    unsigned long long xcr0 = 0;
    unsigned a, b, c, d;
    __cpuid(1, a, b, c, d);
    if (c & (1u << 27)) {
        unsigned lo, hi;
        __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
        xcr0 = ((unsigned long long)hi << 32) | lo;
    }
    EXPECT_EQ((xcr0 & 0x6) == 0x6, (f & kynAVX_ENABLEDBYOS) != 0);
    EXPECT_EQ((xcr0 & 0xE6) == 0xE6, (f & kynAVX512_ENABLEDBYOS) != 0);
}

TEST(KyncpCpu, CacheLookupTakesTheLargestDescriptorOfTheRegisters)
{
    const int KB = 1024, MB = 1024 * 1024;
    const int table[] = {0xEC, 24 * MB, 0x49, 4 * MB, 0x43, 512 * KB, 0x2C, 32 * KB, 0x30, 32 * KB, 0, 0};
    const int unordered[] = {0x2C, 32 * KB, 0x43, 512 * KB, 0x49, 4 * MB, 0, 0};
    const int countByte[] = {0x01, 64 * MB, 0x2C, 32 * KB, 0, 0};
    const int empty[] = {0, 0};
    const struct {
        int32u regs[4];
        const int* table;
        int want; // -1: an error, never 0
    } cases[] = {
        {{0x05B0B101u, 0x005657F0u, 0, 0x2C304900u}, table, 4 * MB}, // a Core 2 style leaf 2
        {{0x00000001u, 0, 0x00EC0000u, 0}, table, 24 * MB},           // any byte of EBX, ECX or EDX
        {{0x00002C01u, 0, 0, 0}, countByte, 32 * KB},                 // AL is the count, not a descriptor
        {{0x00000001u, 0x800000ECu, 0, 0x00000030u}, table, 32 * KB}, // bit 31: no descriptors
        {{0x00000001u, 0x0049432Cu, 0, 0}, unordered, 4 * MB},        // whatever the table order
        {{0x00FF0001u, 0, 0, 0}, table, -1},                          // 0xFF: "use leaf 4"
        {{0x05B0B101u, 0x005657F0u, 0, 0x2C304900u}, empty, -1},
    };
    for (const auto& c : cases) {
        const int got = cpGetCacheSizeOfRegs(c.regs, c.table);
        if (c.want > 0) EXPECT_EQ(c.want, got) << std::hex << c.regs[0] << " " << c.regs[1];
        else EXPECT_LT(got, 0) << std::hex << c.regs[0];
    }

    // This processor: a table naming each descriptor byte it reports with its own size, and a
    // larger one it does not report; the result is the largest reported, or an error for none.
    unsigned r[4] = {};
    if (__get_cpuid_max(0, nullptr) >= 2) __cpuid(2, r[0], r[1], r[2], r[3]);
    std::vector<int> own;
    int want = -1;
    for (int i = 0; i < 4; ++i)
        for (int byte = (i == 0 ? 1 : 0); byte < 4 && !(r[i] & 0x80000000u); ++byte) {
            const int desc = (r[i] >> (8 * byte)) & 0xFF;
            if (desc == 0xEC) want = 64 * MB;
            if (desc == 0 || desc == 0xEC) continue;
            own.insert(own.end(), {desc, 1000 + 16 * desc});
            want = std::max(want, 1000 + 16 * desc);
        }
    own.insert(own.end(), {0xEC, 64 * MB, 0, 0});
    const int size = cpGetCacheSize(own.data());
    if (want > 0) EXPECT_EQ(want, size);
    else EXPECT_LT(size, 0) << "this processor reports no leaf-2 descriptors";
}
