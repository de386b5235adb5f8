#include "ps_malloc.h"

#include <cstdint>
#include <cstdlib>

#include "ps_list.h"
#include "ps_ostream.h"

namespace {
// Allocation settings, one set per process; all are constant-initialised.
int PS_ALIGN_MAX = PS_ALIGN_DEF;
int ALIGN_BYTES = PS_ALIGN_DEF;
int ALIGN_MASK = -PS_ALIGN_DEF;
int VectorAlign = 0;
int VectorShift = 512;
bool AlignSrc = true;
bool AlignByByte = true;

PS_CONSTINIT psObject s_bufferMarker;
PS_CONSTINIT psObject s_subobjectMarker;

// One live block: where the raw allocator's block starts, where the caller's data starts.
struct Address {
    void* base;
    void* pointer;
    int size;
    void* object;
};

// The live blocks in allocation order, with the cursor of psMallocFirst/psMallocNext. The cursor
// always names the record the next step returns, so removing records never leaves it dangling.
class AddressList : public psList<Address> {
public:
    AddressList() : m_cursor(end()) {}

    bool getFirst(Address& address)
    {
        m_cursor = begin();
        return getNext(address);
    }
    bool getNext(Address& address)
    {
        if (m_cursor == end()) return false;
        address = *m_cursor;
        ++m_cursor;
        return true;
    }
    iterator findPointer(const void* pointer)
    {
        iterator it = begin();
        while (it != end() && it->pointer != pointer) ++it;
        return it;
    }
    void remove(iterator it)
    {
        if (it == m_cursor) ++m_cursor;
        erase(it);
    }

private:
    iterator m_cursor;
};

AddressList* s_registry = nullptr;

// Mathematical modulo and floor division, so that negative inputs still give 0 .. n-1.
int modulo(int value, int n)
{
    int r = value % n;
    return r < 0 ? r + n : r;
}

// The raw allocator: a block aligned to ALIGN_BYTES with the system pointer stored 128 bytes before it.
const std::uintptr_t headerBytes = 128;

void* ps_malloc(std::size_t n)
{
    unsigned char* raw = static_cast<unsigned char*>(std::malloc(n + 2 * headerBytes));
    if (!raw) return nullptr;
    std::uintptr_t start = (reinterpret_cast<std::uintptr_t>(raw) + headerBytes + ALIGN_BYTES) &
                           static_cast<std::uintptr_t>(static_cast<std::intptr_t>(ALIGN_MASK));
    unsigned char* block = reinterpret_cast<unsigned char*>(start);
    *reinterpret_cast<void**>(block - headerBytes) = raw;
    return block;
}

void ps_free(void* block)
{
    if (!block) return;
    std::free(*reinterpret_cast<void**>(static_cast<unsigned char*>(block) - headerBytes));
}

void setEnd(int* size, void** pointer, void** object)
{
    if (size) *size = 0;
    if (pointer) *pointer = nullptr;
    if (object) *object = nullptr;
}

bool giveRecord(bool found, const Address& address, int* size, void** pointer, void** object)
{
    if (!found) {
        setEnd(size, pointer, object);
        return false;
    }
    if (size) *size = address.size;
    if (pointer) *pointer = address.pointer;
    if (object) *object = address.object;
    return true;
}
} // namespace

psObject* const MEM_OBJECT_IS_BUFFER = &s_bufferMarker;
psObject* const MEM_OBJECT_IS_SUBOBJECT = &s_subobjectMarker;

bool psSetAlignMax(int n)
{
    if (n <= 0 || (n & (n - 1)) != 0) return false;
    PS_ALIGN_MAX = n;
    ALIGN_BYTES = n;
    ALIGN_MASK = -n;
    return true;
}

int psGetAlignMax() { return PS_ALIGN_MAX; }

int psSetVectorAlign(int n)
{
    VectorAlign = modulo(n, PS_ALIGN_MAX);
    return (n - VectorAlign) / PS_ALIGN_MAX;
}

int psGetVectorAlign() { return VectorAlign; }
void psSetVectorShift(int n) { VectorShift = n < 0 ? 0 : n; }
int psGetVectorShift() { return VectorShift; }
void psSetAlignSrc(bool on) { AlignSrc = on; }
bool psGetAlignSrc() { return AlignSrc; }
void psSetAlignByByte(bool on) { AlignByByte = on; }
bool psGetAlignByByte() { return AlignByByte; }

void* psMalloc(int size, int misalign, int shift, void* object)
{
    int k = modulo(misalign, PS_ALIGN_MAX);
    if (shift < 0) shift = 0;
    unsigned char* base = nullptr;
    // A negative size is not refused by itself: it only shortens the raw request.
    long long total = (long long)size + shift + k + 2LL * PS_ALIGN_MAX;
    if (total >= 0) base = static_cast<unsigned char*>(ps_malloc((std::size_t)total));
    if (!base) {
        g_ostrm << ERR << "-- Memory fault: can't allocate " << size << " bytes\n" << msgRestore;
        return nullptr;
    }
    std::uintptr_t align = (std::uintptr_t)PS_ALIGN_MAX;
    std::uintptr_t placed = (reinterpret_cast<std::uintptr_t>(base) + (std::uintptr_t)shift + align - 1) & ~(align - 1);
    void* pointer = reinterpret_cast<unsigned char*>(placed) + k;

    if (!s_registry) s_registry = new AddressList;
    s_registry->push_back(Address{base, pointer, size, object});
    g_ostrm << MEM << " - psMalloc: " << psMemInfo(pointer) << "\n" << msgRestoreFlush;
    return pointer;
}

void* psMalloc(void** out, int size, int misalign, int shift)
{
    void* pointer = psMalloc(size, misalign, shift, nullptr);
    if (out) *out = pointer;
    return pointer;
}

void psFree(void* pointer)
{
    if (!s_registry) return;
    g_ostrm << MEM << " - psFree: " << psMemInfo(pointer) << "\n" << msgRestoreFlush;
    AddressList::iterator it = s_registry->findPointer(pointer);
    if (it == s_registry->end()) return;
    void* base = it->base;
    s_registry->remove(it);
    ps_free(base);
}

bool psMallocInfo(const void* pointer, int* size, void** object)
{
    if (s_registry) {
        AddressList::iterator it = s_registry->findPointer(pointer);
        if (it != s_registry->end()) return giveRecord(true, *it, size, nullptr, object);
    }
    return false;
}

psString psMemInfo(const void* pointer)
{
    psString text;
    if (!s_registry) return text;
    AddressList::iterator it = s_registry->findPointer(pointer);
    if (it == s_registry->end()) return text;
    text << "size:" << it->size << "  address:" << (const void*)it->base << "  alignedPointer:" << (const void*)it->pointer;
    return text;
}

bool psMallocFirst(int* size, void** pointer, void** object)
{
    Address address{};
    bool found = s_registry && s_registry->getFirst(address);
    return giveRecord(found, address, size, pointer, object);
}

bool psMallocNext(int* size, void** pointer, void** object)
{
    Address address{};
    bool found = s_registry && s_registry->getNext(address);
    return giveRecord(found, address, size, pointer, object);
}

void psFreeAll()
{
    delete s_registry;
    s_registry = nullptr;
}
