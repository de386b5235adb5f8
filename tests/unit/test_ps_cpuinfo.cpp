// Processor identification: decoding CPUID values and the processor report.
#include <gtest/gtest.h>

#include <cpuid.h>

#include <array>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "ps_capture.h"
#include "ps_cpuinfo.h"
#include "ps_info_test.h"
#include "ps_registry.h"

namespace {

std::map<std::pair<unsigned, unsigned>, std::array<unsigned, 4>> cpu;

void tableReader(unsigned leaf, unsigned subleaf, unsigned regs[4])
{
    auto it = cpu.find({leaf, subleaf});
    for (int i = 0; i < 4; ++i) regs[i] = it == cpu.end() ? 0 : it->second[i];
}

void setText(unsigned leaf, const char* text16)
{
    unsigned r[4];
    std::memcpy(r, text16, 16);
    cpu[{leaf, 0}] = {r[0], r[1], r[2], r[3]};
}

// A described processor with two threads per core, three caches and a 1.25 MB second level.
void describeProcessor(const char* vendor, unsigned maxLeaf, unsigned maxExLeaf)
{
    unsigned v[3];
    std::memcpy(v, vendor, 12);
    cpu[{0, 0}] = {maxLeaf, v[0], v[2], v[1]};
    cpu[{0x80000000u, 0}] = {maxExLeaf, 0, 0, 0};
    char brand[49] = "Orvel(R) Test CPU @ 2.00GHz";
    setText(0x80000002u, brand);
    setText(0x80000003u, brand + 16);
    setText(0x80000004u, brand + 32);
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

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

} // namespace

TEST(CpuInfo, SignatureDecoding)
{
    psCpuSignature s = psDecodeSignature(0x000906A3u, 0x00100005u);
    EXPECT_EQ(s.family, 6);
    EXPECT_EQ(s.model, 154);
    EXPECT_EQ(s.stepping, 3);
    EXPECT_EQ(s.type, 0);
    EXPECT_EQ(s.brandId, 5);
    // Extended family 1 over base 15; type 2; model 1 + extended 2.
    s = psDecodeSignature(0x00122F15u, 0);
    EXPECT_EQ(s.family, 16);
    EXPECT_EQ(s.model, 33);
    EXPECT_EQ(s.stepping, 5);
    EXPECT_EQ(s.type, 2);
    EXPECT_EQ(s.brandId, 0);
}

TEST(CpuInfo, RegisterFieldsAndCacheSize)
{
    CPUID r(0x80000001u, 0xF0000000u, 0x12345678u, 0x10000000u);
    EXPECT_EQ(r.EAX(31, 28), 8u);
    EXPECT_EQ(r.EAX(3, 0), 1u);
    EXPECT_EQ(r.EBX(31, 0), 0xF0000000u);
    EXPECT_EQ(r.ECX(15, 8), 0x56u);
    EXPECT_TRUE(r.EDX(28));
    EXPECT_FALSE(r.EDX(27));
    EXPECT_EQ(r.byteECX(0), 0x78);
    EXPECT_EQ(r.byteECX(3), 0x12);
    EXPECT_EQ(r.getBits(CPUID::regEAX, 40, 0), 0u) << "a bit range outside the register";
    EXPECT_EQ(r.getBits(7, 3, 0), 0u) << "no such register";

    // 64 sets, 64-byte lines, 1 partition, 12 ways.
    EXPECT_EQ(psLeaf4CacheSize(63u | 11u << 22, 63), 49152);
    EXPECT_EQ(psLeaf4CacheSize(0xFFFFFFFFu, 0xFFFFFFFFu), 2147483647) << "clamped, not wrapped";
}

TEST_F(FakeCpu, ReportSections)
{
    describeProcessor("GenuineOrvel", 0xB, 0x80000008u);
    std::string text = report();
    EXPECT_EQ(text.find(std::string(79, '*') + "\n    Orvel(R) Processor Identification\n"
                        "    Got by CPUID Instruction Functions\n" + std::string(79, '*') + "\n\n"),
              0u);
    EXPECT_FALSE(has(text, "ATTENTION"));
    EXPECT_TRUE(has(text, "Largest Standard Function 0x0000000B\nLargest Extended Function 0x80000008\n"
                          "Vendor-ID      GenuineOrvel\nBrand String   Orvel(R) Test CPU @ 2.00GHz\n"));
    EXPECT_TRUE(has(text, "\n" + std::string(79, '=') + "\n    Processor Identification Signature\n\n"
                          "Family   6\nModel    154\nStepping 3\nType     0\nBrand ID 0x05\n"));
    // The topology leaf wins over leaf 1: 16 logical processors, two per core.
    EXPECT_TRUE(has(text, "    Multi Threading Features\n\nMulti-threading or multi-core is supported\n"
                          "Logical Processors 16 - Number of logical processors per physical package\n"
                          "Cores per Package  8 - Maximum number of processor cores per package\n"));
    EXPECT_TRUE(has(text, "    Deterministic Cache Parameters\n" + std::string(79, '-') + "\n"
                          "Cache Type         Data Cache\n"
                          "Cache Level        1\n"
                          "Cache Size Kb      48\n"
                          "Threads Sharing    2 - Maximum number of threads sharing this cache\n"
                          "Number of Sets     64\n"
                          "Line Size          64 - System coherency line size\n"
                          "Line Partitions    1 - Physical line partitions\n"
                          "Associativity      12 - Ways of associativity\n"));
    EXPECT_TRUE(has(text, "Cache Type         Instruction Cache\n"));
    EXPECT_TRUE(has(text, "Cache Type         Unified Cache\nCache Level        2\nCache Size Kb      1280\n"));
    EXPECT_TRUE(has(text, "Ways of associativity\nSelf Initializing cache level\n"
                          "Cache is inclusive to lower cache levels\n"));
    EXPECT_FALSE(has(text, "Fully Associative cache"));
    EXPECT_FALSE(has(text, "WBINVD"));
    EXPECT_TRUE(has(text, "    Extended L2 Cache Features\n\nL2 Cache Size Kb       1280\n"
                          "L2 Cache Line Size     64\nL2 Cache Associativity 8-Way\n"));
    EXPECT_FALSE(has(text, "=\n    Extended L2")) << "the block starts with its title";

    EXPECT_EQ(getCacheSizeB(0), 49152);
    EXPECT_EQ(getCacheSizeB(2), 1310720);
    EXPECT_EQ(getCacheSizeB(3), -1);
    EXPECT_EQ(getMaxCacheSizeB(), 1310720);
}

TEST_F(FakeCpu, OtherVendorsAndMissingLeaves)
{
    describeProcessor("OtherVendor!", 3, 0x80000004u);
    cpu[{0x80000006u, 0}] = {0, 0, 0x3000u, 0};
    std::string text = report();
    EXPECT_TRUE(has(text, "    Got by CPUID Instruction Functions\n\n"
                          "    ATTENTION! It is not Genuine Orvel processor.\n"
                          "    Information below may be inadequate.\n" + std::string(79, '*')));
    EXPECT_TRUE(has(text, "Vendor-ID      OtherVendor!\n"));
    EXPECT_TRUE(has(text, "Model    154\n")) << "the report goes on";
    // Below leaf 4 one logical processor and one core are assumed; leaves above 3 and 0x80000004
    // are not read.
    EXPECT_TRUE(has(text, "Multi-threading or multi-core is not supported\nLogical Processors 1 -"));
    EXPECT_TRUE(has(text, "Cores per Package  1 -"));
    EXPECT_FALSE(has(text, "Deterministic Cache Parameters"));
    EXPECT_FALSE(has(text, "Extended L2"));
    EXPECT_EQ(getMaxCacheSizeB(), 0);
    EXPECT_EQ(getCacheSizeB(0), -1);

    // No brand leaves, an unnamed associativity code.
    cpu[{0, 0}][0] = 0xB;
    cpu[{0x80000000u, 0}][0] = 0x80000006u;
    cpu.erase({0x80000002u, 0});
    cpu.erase({0x80000003u, 0});
    cpu.erase({0x80000004u, 0});
    text = report();
    EXPECT_FALSE(has(text, "Brand String"));
    EXPECT_TRUE(has(text, "L2 Cache Associativity code 0x03\n"));
}

TEST(CpuInfo, FeatureTable)
{
    const unsigned long long unnamed = 0x1000ull | (1ull << 50);
    std::string text = psCpuFeatureReport(0x7ull | unnamed, 0x5ull).c_str();
    std::string dash(79, '-');
    EXPECT_EQ(text.find(std::string(79, '=') + "\n    Feature Flags\n"
                        "    got by kyncpGetCpuFeatures & kynGetcpEnabledCpuFeatures\n\n"
                        "Features            CPU  Enabled  Info\n" + dash + "\n"
                        "kynCPUID_MMX                  1    1        "),
              0u);
    EXPECT_TRUE(has(text, "\nkynCPUID_SSE                  1    0        "));
    EXPECT_TRUE(has(text, "\nkynCPUID_SSE3                 0    0        "));
    EXPECT_TRUE(has(text, "\nUnknown flags                 4000000001000\n"));

    // Rows in bit order, with the two exceptions.
    size_t vbmi = text.find("\nkynCPUID_AVX512VBMI ");
    size_t vbmi2 = text.find("\nkynCPUID_AVX512VBMI2 ");
    size_t mpx = text.find("\nkynCPUID_MPX ");
    EXPECT_TRUE(vbmi < vbmi2 && vbmi2 < mpx);
    EXPECT_EQ(text.find('\n', vbmi + 1), vbmi2);
    size_t vclmul = text.find("\nkynCPUID_AVX2VCLMUL ");
    size_t sha512 = text.find("\nkynCPUID_AVX2SHA512 ");
    size_t sm3 = text.find("\nkynCPUID_AVX2SM3 ");
    EXPECT_EQ(text.find('\n', vclmul + 1), sha512);
    EXPECT_LT(sha512, sm3);
    EXPECT_TRUE(has(text, "\nkynCPUID_AVX10_2              0    0        AVX10 version 2\n"));

    // Every row has a description, and a known word leaves nothing unknown.
    std::string known = psCpuFeatureReport(0xFFFFFFFEFFFull, 0).c_str();
    EXPECT_FALSE(has(known, "Unknown flags"));
    EXPECT_EQ(known.find("        \n"), std::string::npos) << "a row without description";
    int rows = 0;
    for (size_t p = known.find("\nkyn"); p != std::string::npos; p = known.find("\nkyn", p + 1)) ++rows;
    EXPECT_EQ(rows, 43);
}

namespace {
unsigned long long fakeFeatures = 0;
int fakeGetFeatures(unsigned long long* f)
{
    *f = fakeFeatures;
    return 0;
}
int failingGetFeatures(unsigned long long*) { return -2; }
unsigned long long fakeEnabled() { return 0x2ull; }
} // namespace

TEST_F(FakeCpu, InformationTestPrintsTheReport)
{
    describeProcessor("GenuineOrvel", 0xB, 0x80000008u);
    auto savedGet = kyn_GetCpuFeatures;
    auto savedEnabled = kyn_GetEnabledCpuFeatures;
    kyn_GetCpuFeatures = fakeGetFeatures;
    kyn_GetEnabledCpuFeatures = fakeEnabled;
    fakeFeatures = 0x3ull | (1ull << 60);
    __psOrvelCpuTest test;
    std::string full, reduced;
    {
        StreamCapture out(g_ostrm, ERR);
        g_ostrm << ERR;
        test.printInformation();
        g_ostrm << msgRestore;
        full = out.text();
    }
    kyn_GetCpuFeatures = failingGetFeatures;
    {
        StreamCapture out(g_ostrm, ERR);
        g_ostrm << ERR;
        test.printInformation();
        g_ostrm << msgRestore;
        reduced = out.text();
    }
    kyn_GetCpuFeatures = savedGet;
    kyn_GetEnabledCpuFeatures = savedEnabled;

    EXPECT_EQ(full.find(report()), 0u);
    EXPECT_TRUE(has(full, "\nkynCPUID_SSE                  1    1        "));
    EXPECT_TRUE(has(full, "\nUnknown flags                 1000000000000000\n" + std::string(79, '*') + "\n"));
    EXPECT_EQ(reduced, report() + std::string(79, '*') + "\n") << "no feature table when the query fails";
}

TEST(CpuInfo, RealProcessorMatchesTheKernel)
{
    std::ifstream info("/proc/cpuinfo");
    ASSERT_TRUE(info.good());
    std::map<std::string, std::string> kernel;
    std::string line;
    // The first processor's block only.
    while (std::getline(info, line) && !line.empty()) {
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        auto trim = [](std::string v) {
            size_t b = v.find_first_not_of(" \t"), e = v.find_last_not_of(" \t");
            return b == std::string::npos ? std::string() : v.substr(b, e - b + 1);
        };
        kernel[trim(line.substr(0, colon))] = trim(line.substr(colon + 1));
    }
    ASSERT_FALSE(kernel["vendor_id"].empty());
    EXPECT_EQ(std::string(psCpuVendor().c_str()), kernel["vendor_id"]);

    CPUID leaf1(1);
    psCpuSignature s = psDecodeSignature(leaf1.EAX(), leaf1.EBX());
    EXPECT_EQ(std::to_string(s.family), kernel["cpu family"]);
    EXPECT_EQ(std::to_string(s.model), kernel["model"]);
    EXPECT_EQ(std::to_string(s.stepping), kernel["stepping"]);

    // The kernel keeps the brand it read at boot, which a virtual machine restored on another host
    // no longer reports; the instruction itself, read here directly, is the reference.
    unsigned regs[12] = {};
    char brand[49] = {};
    for (unsigned i = 0; i < 3; ++i) __cpuid(0x80000002u + i, regs[4 * i], regs[4 * i + 1], regs[4 * i + 2], regs[4 * i + 3]);
    std::memcpy(brand, regs, 48);
    EXPECT_EQ(std::string(psCpuBrand().c_str()), std::string(brand));
}

TEST(CpuInfo, CodePathTable)
{
    int count = 0;
    const psCodePath* paths = psCodePaths(count);
    ASSERT_EQ(count, 52);
    std::set<unsigned long long> masks;
    std::set<std::string> labels;
    for (int i = 0; i < count; ++i) {
        EXPECT_TRUE(masks.insert(paths[i].mask).second) << "mask of " << paths[i].label << " listed twice";
        EXPECT_TRUE(labels.insert(paths[i].label).second) << paths[i].label;
        EXPECT_LE(std::strlen(paths[i].label), 9u) << paths[i].label;
        EXPECT_EQ(paths[i].mask & ~0xFFFFFFFEFFFull, 0ull) << paths[i].label << " uses an unknown bit";
        EXPECT_EQ(std::string(psCodePathName(paths[i].mask).c_str()), paths[i].name);
    }
    psString label = psCodePathLabel(paths[1].mask);
    EXPECT_EQ(label.length(), 9);
    EXPECT_EQ(std::string(label.c_str()).rfind(paths[1].label, 0), 0u);
    EXPECT_EQ(std::string(psCodePathLabel(0x1000ull).c_str()), "Undefined");
    EXPECT_EQ(std::string(psCodePathName(0x1000ull).c_str()), "Unknown processor");
}
