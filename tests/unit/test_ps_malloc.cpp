// The aligned memory manager: placement, the registry of live blocks and the running shift of
// psTest::allocate.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ps_malloc.h"
#include "ps_test.h"

namespace {
std::uintptr_t address(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

// Where the block starts, read back from the block description.
std::uintptr_t blockStart(const void* pointer)
{
    std::string info = psMemInfo(pointer).c_str();
    return std::stoull(info.substr(info.find("address:") + 8), nullptr, 16);
}

struct Counters : psTest {
    static int& shift() { return m_vectorShift; }
    static int& number() { return m_vectorNum; }
};
} // namespace

TEST(Malloc, PlacesBlocksAlignedMisalignedAndShifted)
{
    ASSERT_EQ(psGetAlignMax(), 64);
    // Misalignment modulo 64, also when negative; a shift rounds up to the next boundary.
    const struct { int size, misalign, shift; std::uintptr_t fromStart; } blocks[] = {
        {100, 0, 0, 0}, {100, 5, 0, 5}, {100, 69, 0, 5}, {100, 0, 512, 512}, {10, 3, 700, 707}, {16, -3, 0, 61}};
    for (const auto& b : blocks) {
        void* p = psMalloc(b.size, b.misalign, b.shift, nullptr);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(blockStart(p) % 64, 0u);
        EXPECT_EQ(address(p) - blockStart(p), b.fromStart) << b.misalign << " " << b.shift;
        std::memset(p, 0xA5, b.size); // the sanitizer build watches the ends
        psFree(p);
    }
}

TEST(Malloc, RegistryListsLiveBlocksInAllocationOrderAlsoWhileTheyGo)
{
    int owner = 0;
    void* a = psMalloc(11, 0, 0, &owner);
    void* b = psMalloc(22, 0, 0, MEM_OBJECT_IS_BUFFER);
    void* c = nullptr;
    EXPECT_EQ(psMalloc(&c, 33, 0, 0), c);
    int size = -1;
    void *pointer = nullptr, *object = nullptr;
    ASSERT_TRUE(psMallocFirst(&size, &pointer, &object));
    EXPECT_EQ(std::vector<const void*>({pointer, object}), std::vector<const void*>({a, &owner}));
    EXPECT_EQ(size, 11);
    psFree(b); // the record the walk goes to next
    ASSERT_TRUE(psMallocNext(&size, &pointer, &object));
    EXPECT_EQ(std::vector<const void*>({pointer, object}), std::vector<const void*>({c, nullptr}));
    EXPECT_FALSE(psMallocNext(&size, &pointer, &object));
    EXPECT_EQ(pointer, nullptr);
    EXPECT_FALSE(psMallocInfo(static_cast<char*>(a) + 1, &size, nullptr)) << "only the placed pointer is a key";
    psFree(a);
    psFree(c);
    EXPECT_FALSE(psMallocFirst(&size, &pointer));
}

TEST(Malloc, TestBuffersAreShiftedInTurnAndOnlyTheSourceIsMisaligned)
{
    // 64 buffers of 512 bytes' shift make 32768, where the shift starts again.
    Counters::shift() = 0;
    std::vector<void*> buffers;
    for (int i = 0; i < 65; ++i) buffers.push_back(psTest::allocate(1, 0));
    EXPECT_EQ(address(buffers[1]) - blockStart(buffers[1]), 512u);
    EXPECT_EQ(address(buffers[63]) - blockStart(buffers[63]), 63u * 512u);
    EXPECT_EQ(address(buffers[64]) - blockStart(buffers[64]), 0u);
    for (void* p : buffers) psTest::deallocate(p);

    // -4: the run's misalignment counted in 4-byte elements, for the first buffer of a test only
    // unless every buffer is to be misaligned.
    psSetVectorAlign(5);
    Counters::number() = 0;
    void* source = psTest::allocate(40, -4);
    void* next = psTest::allocate(40, -4);
    void* explicitAlign = psTest::allocate(40, 7);
    psSetAlignSrc(false);
    void* later = psTest::allocate(40, -1);
    EXPECT_EQ((std::vector<std::uintptr_t>{address(source) % 64, address(next) % 64, address(explicitAlign) % 64,
                                           address(later) % 64}),
              (std::vector<std::uintptr_t>{20, 0, 7, 5}));
    for (void* p : {source, next, explicitAlign, later}) psTest::deallocate(p);
    psSetVectorAlign(0);
    psSetAlignSrc(true);
}
