// libkyncp's processor identification against what the processor and the kernel say: vendor and
// brand strings and feature flags against /proc/cpuinfo, OS state bits against XCR0, CPUID
// readings against the instruction itself, and the leaf-2 cache lookup.
#include <cpuid.h>
#include <sched.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kyncp.h"

namespace {

// The first processor's block of /proc/cpuinfo as key -> value.
std::map<std::string, std::string> readCpuinfo()
{
    std::map<std::string, std::string> info;
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) break;
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string key = line.substr(0, colon);
        key.erase(key.find_last_not_of(" \t") + 1);
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        info[key] = value;
    }
    return info;
}

std::set<std::string> cpuinfoFlags()
{
    std::set<std::string> flags;
    std::istringstream words(readCpuinfo()["flags"]);
    std::string w;
    while (words >> w) flags.insert(w);
    return flags;
}

// Up to the first NUL, without surrounding blanks.
std::string trim(std::string s)
{
    s = s.substr(0, s.find('\0'));
    s.erase(0, s.find_first_not_of(" \t"));
    s.erase(s.find_last_not_of(" \t") + 1);
    return s;
}

std::string regBytes(const int32u* regs, std::initializer_list<int> order)
{
    std::string s;
    for (int r : order)
        for (int b = 0; b < 4; ++b) s += (char)((regs[r] >> (8 * b)) & 0xFF);
    return s;
}

// XCR0 read here, apart from the library.
unsigned long long xcr0()
{
    unsigned a, b, c, d;
    __cpuid(1, a, b, c, d);
    if (!(c & (1u << 27))) return 0;
    unsigned lo, hi;
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    return ((unsigned long long)hi << 32) | lo;
}

// Keeps the thread on one processor, so per-processor CPUID fields (APIC id) stay the same.
class PinnedThread {
public:
    PinnedThread()
    {
        sched_getaffinity(0, sizeof(m_saved), &m_saved);
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(sched_getcpu(), &one);
        sched_setaffinity(0, sizeof(one), &one);
    }
    ~PinnedThread() { sched_setaffinity(0, sizeof(m_saved), &m_saved); }

private:
    cpu_set_t m_saved;
};

} // namespace

TEST(KyncpCpu, VendorStringEqualsProcCpuinfo)
{
    auto info = readCpuinfo();
    ASSERT_FALSE(info["vendor_id"].empty()) << "/proc/cpuinfo has no vendor_id";
    int32u r[4] = {};
    ASSERT_EQ(kynStsNoErr, cpGetReg(r, 0, 0));
    EXPECT_EQ(info["vendor_id"], regBytes(r, {1, 3, 2}));
}

TEST(KyncpCpu, BrandStringEqualsProcCpuinfo)
{
    auto info = readCpuinfo();
    ASSERT_FALSE(info["model name"].empty()) << "/proc/cpuinfo has no model name";
    int32u r[4] = {};
    ASSERT_EQ(kynStsNoErr, cpGetReg(r, 0x80000000u, 0));
    ASSERT_GE(r[0], 0x80000004u) << "no brand string leaves";
    std::string brand, live;
    for (int32u leaf = 0x80000002u; leaf <= 0x80000004u; ++leaf) {
        ASSERT_EQ(kynStsNoErr, cpGetReg(r, leaf, 0));
        brand += regBytes(r, {0, 1, 2, 3});
        unsigned raw[4];
        __cpuid(leaf, raw[0], raw[1], raw[2], raw[3]);
        live += regBytes(raw, {0, 1, 2, 3});
    }
    brand = trim(brand), live = trim(live);
    EXPECT_EQ(live, brand);
    // The kernel reads the brand once, at boot; a VM restored on another host can show a
    // different one since.  Then /proc/cpuinfo no longer describes this processor.
    if (live != info["model name"])
        GTEST_SKIP() << "the kernel recorded \"" << info["model name"] << "\" at boot; the processor now reports \""
                     << live << "\"";
    EXPECT_EQ(info["model name"], brand);
}

TEST(KyncpCpu, GetRegGivesTheRegistersOfTheCpuidInstruction)
{
    PinnedThread pin;
    const std::pair<unsigned, unsigned> queries[] = {{0, 0}, {1, 0}, {7, 0}, {7, 1}, {0x80000000u, 0}, {0x80000001u, 0}};
    for (auto q : queries) {
        unsigned a, b, c, d;
        __cpuid_count(q.first, q.second, a, b, c, d);
        int32u r[4] = {};
        ASSERT_EQ(kynStsNoErr, cpGetReg(r, q.first, q.second));
        EXPECT_EQ(a, r[0]) << std::hex << "leaf " << q.first << "." << q.second;
        EXPECT_EQ(b, r[1]) << std::hex << "leaf " << q.first << "." << q.second;
        EXPECT_EQ(c, r[2]) << std::hex << "leaf " << q.first << "." << q.second;
        EXPECT_EQ(d, r[3]) << std::hex << "leaf " << q.first << "." << q.second;
    }
}

TEST(KyncpCpu, FeatureBitsAgreeWithProcCpuinfoFlags)
{
    // Each kernel flag and the library bit that means the same instructions.  The kernel shows a
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
    const auto flags = cpuinfoFlags();
    ASSERT_FALSE(flags.empty()) << "/proc/cpuinfo has no flags";
    Kyn64u f = 0;
    ASSERT_EQ(kynStsNoErr, kyncpGetCpuFeatures(&f));
    for (auto& m : map)
        EXPECT_EQ(flags.count(m.first) == 1, (f & m.second) != 0) << "flag " << m.first;

    // Combined bits follow their parts.
    EXPECT_EQ((f & kynCPUID_AVX2) && flags.count("vaes"), (f & kynCPUID_AVX2VAES) != 0);
    EXPECT_EQ((f & kynCPUID_AVX2) && flags.count("vpclmulqdq"), (f & kynCPUID_AVX2VCLMUL) != 0);
    // Nothing outside the known table, and never the co-processor flag on a host.
    EXPECT_EQ(0u, f & ~kynCPUID_ALL_KNOWN);
    EXPECT_EQ(0u, f & kynCPUID_COPROCESSOR);
    EXPECT_EQ(0u, f & 0x1000u);
}

TEST(KyncpCpu, OsBitsFollowXcr0)
{
    const unsigned long long x = xcr0();
    Kyn64u f = 0;
    ASSERT_EQ(kynStsNoErr, kyncpGetCpuFeatures(&f));
    const bool avxState = (x & 0x6) == 0x6;
    const bool avx512State = (x & 0xE6) == 0xE6;
    EXPECT_EQ(avxState, (f & kynAVX_ENABLEDBYOS) != 0);
    EXPECT_EQ(avx512State, (f & kynAVX512_ENABLEDBYOS) != 0);
    if (!avxState) { EXPECT_EQ(0u, f & (kynCPUID_AVX | kynCPUID_AVX2 | kynCPUID_F16C)); }
    if (!avx512State) { EXPECT_EQ(0u, f & (kynCPUID_AVX512F | kynCPUID_AVX512BW | kynCPUID_AVX512IFMA)); }
}

// ---- cpGetCacheSize ----------------------------------------------------------------------------

namespace {

const int KB = 1024, MB = 1024 * 1024;

// Shaped like the harness's table: largest first, ended by (0, 0).
const int HARNESS_LIKE_TABLE[] = {
    0xEC, 24 * MB, 0xEB, 18 * MB, 0x4D, 16 * MB, 0xEA, 12 * MB, 0x4C, 12 * MB, 0x4B, 8 * MB, 0x49, 4 * MB,
    0x7D, 2 * MB, 0x48, 3 * MB / 2, 0x43, 512 * KB, 0x2C, 32 * KB, 0x30, 32 * KB, 0x39, 128 * KB,
    0x3B, 128 * KB, 0x41, 128 * KB, 0, 0};

} // namespace

TEST(KyncpCpu, CacheLookupTakesTheLargestDescriptorOfTheRegisters)
{
    // A Core 2 style leaf 2: AL = 1, descriptors 0xB1 0xB0 0x05 / 0xF0 0x57 0x56 / - / 0x49 0x30 0x2C.
    const int32u core2[4] = {0x05B0B101u, 0x005657F0u, 0, 0x2C304900u};
    EXPECT_EQ(4 * MB, cpGetCacheSizeOfRegs(core2, HARNESS_LIKE_TABLE));

    // A descriptor in any byte of EBX, ECX or EDX counts.
    const int32u inEcx[4] = {0x00000001u, 0, 0x00EC0000u, 0};
    EXPECT_EQ(24 * MB, cpGetCacheSizeOfRegs(inEcx, HARNESS_LIKE_TABLE));

    // AL is the iteration count, not a descriptor, even when the table knows the byte.
    const int table01[] = {0x01, 64 * MB, 0x2C, 32 * KB, 0, 0};
    const int32u countOnly[4] = {0x00002C01u, 0, 0, 0};
    EXPECT_EQ(32 * KB, cpGetCacheSizeOfRegs(countOnly, table01));

    // A register with bit 31 set holds no descriptors.
    const int32u reserved[4] = {0x00000001u, 0x800000ECu, 0, 0x00000030u};
    EXPECT_EQ(32 * KB, cpGetCacheSizeOfRegs(reserved, HARNESS_LIKE_TABLE));

    // The largest size wins whatever the table order.
    const int unordered[] = {0x2C, 32 * KB, 0x43, 512 * KB, 0x49, 4 * MB, 0, 0};
    const int32u three[4] = {0x00000001u, 0x0049432Cu, 0, 0};
    EXPECT_EQ(4 * MB, cpGetCacheSizeOfRegs(three, unordered));

    // 0xFF ("use leaf 4") and unknown bytes give no size: an error, never 0.
    const int32u leaf4Only[4] = {0x00FF0001u, 0, 0, 0};
    EXPECT_LT(cpGetCacheSizeOfRegs(leaf4Only, HARNESS_LIKE_TABLE), 0);
    const int empty[] = {0, 0};
    EXPECT_LT(cpGetCacheSizeOfRegs(core2, empty), 0);
}

TEST(KyncpCpu, CacheSizeOfThisProcessorComesFromItsLeaf2Descriptors)
{
    // A table naming every descriptor byte this processor reports, each with its own size; the
    // result is the largest of them, or an error when the processor reports none.
    unsigned maxLeaf, b, c, d;
    __cpuid(0, maxLeaf, b, c, d);
    std::vector<int> table;
    int expected = -1;
    if (maxLeaf >= 2) {
        unsigned r[4];
        __cpuid(2, r[0], r[1], r[2], r[3]);
        for (int i = 0; i < 4; ++i) {
            if (r[i] & 0x80000000u) continue;
            for (int byte = (i == 0 ? 1 : 0); byte < 4; ++byte) {
                const int desc = (r[i] >> (8 * byte)) & 0xFF;
                if (desc == 0) continue;
                const int size = 1000 + 16 * desc;
                table.push_back(desc);
                table.push_back(size);
                if (size > expected) expected = size;
            }
        }
    }
    // A larger cache the processor does not report must not count.
    bool reported = false;
    for (size_t i = 0; i < table.size(); i += 2) reported |= table[i] == 0xEC;
    if (!reported) {
        table.push_back(0xEC);
        table.push_back(64 * MB);
    }
    table.push_back(0);
    table.push_back(0);
    const int size = cpGetCacheSize(table.data());
    if (expected > 0)
        EXPECT_EQ(expected, size);
    else
        EXPECT_LT(size, 0) << "this processor reports no leaf-2 descriptors";
}
