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

// The block start, read back from the block description.
std::uintptr_t blockStart(const void* pointer)
{
    std::string info = psMemInfo(pointer).c_str();
    std::size_t at = info.find("address:");
    if (at == std::string::npos) return 0;
    return std::stoull(info.substr(at + 8), nullptr, 16);
}

struct Block {
    int size;
    void* pointer;
    void* object;
};

std::vector<Block> walk()
{
    std::vector<Block> blocks;
    Block b;
    for (bool more = psMallocFirst(&b.size, &b.pointer, &b.object); more;
         more = psMallocNext(&b.size, &b.pointer, &b.object))
        blocks.push_back(b);
    return blocks;
}

// Reaches psTest's class-wide buffer counters.
struct Counters : psTest {
    static int& shift() { return m_vectorShift; }
    static int& number() { return m_vectorNum; }
};

// Restores the allocation settings a test changes.
class MallocTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        psSetVectorAlign(0);
        psSetVectorShift(512);
        psSetAlignSrc(true);
        psSetAlignByByte(true);
    }
};
} // namespace

TEST_F(MallocTest, PlacesBlocksAlignedMisalignedAndShifted)
{
    ASSERT_EQ(psGetAlignMax(), 64);
    void* aligned = psMalloc(100, 0, 0, nullptr);
    void* five = psMalloc(100, 5, 0, nullptr);
    void* sixtyNine = psMalloc(100, 69, 0, nullptr);
    void* shifted = psMalloc(100, 0, 512, nullptr);
    void* odd = psMalloc(10, 3, 700, nullptr);
    ASSERT_TRUE(aligned && five && sixtyNine && shifted && odd);
    EXPECT_EQ(address(aligned) % 64, 0u);
    EXPECT_EQ(address(five) % 64, 5u);
    EXPECT_EQ(address(sixtyNine) % 64, 5u);
    EXPECT_EQ(address(shifted) % 64, 0u);
    EXPECT_GE(address(shifted), blockStart(shifted) + 512);
    // A shift that is not a multiple of the boundary rounds up to the next boundary.
    EXPECT_EQ(address(odd), blockStart(odd) + 704 + 3);
    EXPECT_EQ(blockStart(odd) % 64, 0u);
    // A negative misalignment still lands inside the block; the whole size is usable (the
    // sanitizer build watches the ends).
    void* negative = psMalloc(16, -3, 0, nullptr);
    EXPECT_EQ(address(negative) % 64, 61u);
    EXPECT_GE(address(negative), blockStart(negative));
    std::memset(odd, 0xA5, 10);
    std::memset(negative, 0x5A, 16);
    for (void* p : {aligned, five, sixtyNine, shifted, odd, negative}) psFree(p);
}

TEST_F(MallocTest, RegistryListsLiveBlocksInAllocationOrder)
{
    int owner = 0;
    void* a = psMalloc(11, 0, 0, &owner);
    void* b = psMalloc(22, 0, 0, MEM_OBJECT_IS_BUFFER);
    void* c = nullptr;
    EXPECT_EQ(psMalloc(&c, 33, 0, 0), c);
    void* d = psMalloc(44, 0, 0, nullptr);
    ASSERT_TRUE(a && b && c && d);

    std::vector<Block> blocks = walk();
    ASSERT_EQ(blocks.size(), 4u);
    const void* objects[] = {&owner, MEM_OBJECT_IS_BUFFER, nullptr, nullptr};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(blocks[i].pointer, (std::vector<void*>{a, b, c, d}[i]));
        EXPECT_EQ(blocks[i].size, 11 * (i + 1));
        EXPECT_EQ(blocks[i].object, objects[i]);
    }
    int size = -1;
    EXPECT_FALSE(psMallocInfo(static_cast<char*>(a) + 1, &size, nullptr)) << "only the placed pointer is a key";

    // Released blocks disappear, also in the middle of a walk.
    psFree(b);
    void* pointer = nullptr;
    ASSERT_TRUE(psMallocFirst(&size, &pointer));
    EXPECT_EQ(pointer, a);
    psFree(c);
    ASSERT_TRUE(psMallocNext(&size, &pointer));
    EXPECT_EQ(pointer, d);
    EXPECT_FALSE(psMallocNext(&size, &pointer));
    EXPECT_EQ(pointer, nullptr);
    psFree(a);
    psFree(d);
    EXPECT_TRUE(walk().empty());
}

TEST_F(MallocTest, TestAllocationShiftsEveryBufferAndWraps)
{
    Counters::shift() = 0;
    Counters::number() = 0;
    void* first = psTest::allocate(64, 0);
    void* second = psTest::allocate(64, 0);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(address(first) - blockStart(first), 0u);
    EXPECT_EQ(address(second) - blockStart(second), 512u);
    psTest::deallocate(first);
    psTest::deallocate(second);

    // 64 buffers of 512 bytes' shift make 32768, where the shift starts again.
    Counters::shift() = 0;
    std::vector<void*> buffers;
    for (int i = 0; i < 64; ++i) buffers.push_back(psTest::allocate(1, 0));
    EXPECT_EQ(Counters::shift(), 0);
    EXPECT_EQ(address(buffers[63]) - blockStart(buffers[63]), 63u * 512u);
    for (void* p : buffers) psTest::deallocate(p);
}

TEST_F(MallocTest, TestAllocationMisalignsTheSourceOnly)
{
    psSetVectorAlign(5);
    Counters::number() = 0;
    // -4: the run's misalignment counted in 4-byte elements.
    void* source = psTest::allocate(40, -4);
    void* next = psTest::allocate(40, -4);
    void* explicitAlign = psTest::allocate(40, 7);
    EXPECT_EQ(address(source) % 64, 20u);
    EXPECT_EQ(address(next) % 64, 0u);
    EXPECT_EQ(address(explicitAlign) % 64, 7u);

    psSetAlignSrc(false);
    void* later = psTest::allocate(40, -1);
    EXPECT_EQ(address(later) % 64, 5u);
    for (void* p : {source, next, explicitAlign, later}) psTest::deallocate(p);
}
