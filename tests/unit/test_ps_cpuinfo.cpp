// Processor identification: decoding CPUID values and the processor report.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <map>
#include <string>
#include <utility>

#include "ps_cache_size.h"
#include "ps_capture.h"
#include "ps_cpuid.h"
#include "ps_cpuinfo.h"

namespace {

std::map<std::pair<unsigned, unsigned>, std::array<unsigned, 4>> cpu;

void tableReader(unsigned leaf, unsigned subleaf, unsigned regs[4])
{
    auto it = cpu.find({leaf, subleaf});
    for (int i = 0; i < 4; ++i) regs[i] = it == cpu.end() ? 0 : it->second[i];
}

// A described processor with two threads per core, three caches and a 1.25 MB second level.
void describeProcessor(const char* vendor, unsigned maxLeaf, unsigned maxExLeaf)
{
    unsigned v[3];
    std::memcpy(v, vendor, 12);
    cpu[{0, 0}] = {maxLeaf, v[0], v[2], v[1]};
    cpu[{0x80000000u, 0}] = {maxExLeaf, 0, 0, 0};
    char brand[49] = "Orvel(R) Test CPU @ 2.00GHz";
    for (unsigned part = 0; part < 3; ++part) std::memcpy(cpu[{0x80000002u + part, 0}].data(), brand + 16 * part, 16);
    // Family 6 + extended 0, model 10 + extended 9, stepping 3; brand id 5; 16 logical; HTT.
    cpu[{1, 0}] = {0x000906A3u, 0x00100005u, 0, 1u << 28};
    // EAX: type | level << 5 | (threads - 1) << 14 | (cores - 1) << 26, flags in EAX 8/9, EDX 0/1.
    cpu[{4, 0}] = {1u | 1u << 5 | 1u << 14 | 7u << 26, 63u | 11u << 22, 63, 0};
    cpu[{4, 1}] = {2u | 1u << 5 | 1u << 14 | 7u << 26, 63u | 7u << 22, 63, 0};
    cpu[{4, 2}] = {3u | 2u << 5 | 1u << 8 | 1u << 14 | 7u << 26, 63u | 19u << 22, 1023, 2};
    cpu[{11, 0}] = {1, 2, 0x100, 0};
    cpu[{11, 1}] = {4, 16, 0x201, 0};
    cpu[{0x80000006u, 0}] = {0, 0, 1280u << 16 | 0x6u << 12 | 64u, 0};
}

class FakeCpu : public ::testing::Test {
protected:
    void SetUp() override
    {
        cpu.clear();
        m_old = psSetCpuidReader(tableReader);
    }
    void TearDown() override { psSetCpuidReader(m_old); }
    static std::string report() { return psCpuIdentificationReport().c_str(); }

private:
    psCpuidReader m_old = nullptr;
};

} // namespace

TEST(CpuInfo, SignatureAndCacheSize)
{
    // Extended model over family 6; extended family over family 15.
    const struct { unsigned eax, ebx; int family, model, stepping, type, brand; } signatures[] = {
        {0x000906A3u, 0x00100005u, 6, 154, 3, 0, 5}, {0x00122F15u, 0, 16, 33, 5, 2, 0}, {0x00000F41u, 0, 15, 4, 1, 0, 0}};
    for (const auto& c : signatures) {
        psCpuSignature s = psDecodeSignature(c.eax, c.ebx);
        EXPECT_EQ((std::array<int, 5>{s.family, s.model, s.stepping, s.type, s.brandId}),
                  (std::array<int, 5>{c.family, c.model, c.stepping, c.type, c.brand}))
            << std::hex << c.eax;
    }
    // 64 sets, 64-byte lines, 1 partition, 12 ways; huge fields are clamped, not wrapped.
    EXPECT_EQ(psLeaf4CacheSize(63u | 11u << 22, 63), 49152);
    EXPECT_EQ(psLeaf4CacheSize(0xFFFFFFFFu, 0xFFFFFFFFu), 2147483647);
}

TEST_F(FakeCpu, ReportDecodesTopologyAndCaches)
{
    describeProcessor("GenuineOrvel", 0xB, 0x80000008u);
    std::string text = report();
    EXPECT_FALSE(contains(text, "ATTENTION"));
    EXPECT_TRUE(contains(text, "Vendor-ID      GenuineOrvel\nBrand String   Orvel(R) Test CPU @ 2.00GHz\n"));
    EXPECT_TRUE(contains(text, "Family   6\nModel    154\nStepping 3\nType     0\nBrand ID 0x05\n"));
    // The topology leaf wins over leaf 1: 16 logical processors, two per core.
    EXPECT_TRUE(contains(text, "Multi-threading or multi-core is supported\n"
                               "Logical Processors 16 - Number of logical processors per physical package\n"
                               "Cores per Package  8 - Maximum number of processor cores per package\n"));
    EXPECT_TRUE(contains(text, "Cache Type         Data Cache\nCache Level        1\nCache Size Kb      48\n"
                               "Threads Sharing    2 - Maximum number of threads sharing this cache\n"));
    EXPECT_TRUE(contains(text, "Cache Type         Unified Cache\nCache Level        2\nCache Size Kb      1280\n"));
    EXPECT_TRUE(contains(text, "Ways of associativity\nSelf Initializing cache level\n"
                               "Cache is inclusive to lower cache levels\n"));
    EXPECT_TRUE(contains(text, "    Extended L2 Cache Features\n\nL2 Cache Size Kb       1280\n"
                               "L2 Cache Line Size     64\nL2 Cache Associativity 8-Way\n"));
    EXPECT_FALSE(contains(text, "=\n    Extended L2")) << "the block starts with its title";
    // The largest data cache, kept for the process once found.
    psResetMaxCacheSizeB();
    int size = -1, line = -1;
    EXPECT_EQ(psFindMaxCacheSizeB(&size, &line), 0);
    EXPECT_EQ(size, 1310720);
    EXPECT_EQ(line, 64);
    EXPECT_EQ(psGetMaxCacheSizeB(&size), 0);
    cpu[{4, 2}][2] = 2047;
    EXPECT_EQ(psGetMaxCacheSizeB(&size), 0);
    EXPECT_EQ(size, 1310720);
    psResetMaxCacheSizeB();
}

TEST_F(FakeCpu, OtherVendorsAndMissingLeaves)
{
    describeProcessor("OtherVendor!", 3, 0x80000004u);
    std::string text = report();
    EXPECT_TRUE(contains(text, "    ATTENTION! It is not Genuine Orvel processor.\n"));
    EXPECT_TRUE(contains(text, "Model    154\n")) << "the report goes on";
    // Below leaf 4 one logical processor and one core; leaves above 3 and 0x80000004 are not read.
    EXPECT_TRUE(contains(text, "Multi-threading or multi-core is not supported\nLogical Processors 1 -"));
    EXPECT_TRUE(contains(text, "Cores per Package  1 -"));
    EXPECT_FALSE(contains(text, "Deterministic Cache Parameters"));
    EXPECT_FALSE(contains(text, "Extended L2"));
    EXPECT_EQ(getMaxCacheSizeB(), 0);
    int size = -1;
    EXPECT_EQ(psFindMaxCacheSizeB(&size, nullptr), 36);
}
