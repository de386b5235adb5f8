// psTest's buffer placement: the run's misalignment and the running shift between buffers, and the
// reserved copies of the data objects that own blocks.
#include "ps_malloc.h"
#include "ps_test.h"

// Buffers of the current parameter combination, and the shift of the next buffer. The shift runs
// over the whole program so that consecutive buffers, also of different tests, land on different
// cache sets.
int psTest::m_vectorNum = 0;
int psTest::m_vectorShift = 0;

namespace {
// Beyond this the shift starts again from 0.
const int maxVectorShift = 32768;

bool isDataObject(const void* object)
{
    return object && object != MEM_OBJECT_IS_BUFFER && object != MEM_OBJECT_IS_SUBOBJECT;
}

// Calls action on the data object of every live block; counts those that acted.
int forAllObjects(bool (psObject::*action)())
{
    int count = 0;
    int size;
    void* pointer;
    void* object;
    for (bool more = psMallocFirst(&size, &pointer, &object); more; more = psMallocNext(&size, &pointer, &object)) {
        if (isDataObject(object) && (static_cast<psObject*>(object)->*action)()) ++count;
    }
    return count;
}
} // namespace

void* psTest::allocate(int size, int align) { return allocate(size, align, nullptr); }

void* psTest::allocate(int size, int align, void* object)
{
    // A negative align asks for the run's misalignment, counted in units of -align bytes; with
    // AlignSrc only the first buffer of a combination (the source) is misaligned.
    if (align < 0) {
        align = -align * psGetVectorAlign();
        if (psGetAlignSrc() && m_vectorNum > 0) align = 0;
    }
    if (!object) object = MEM_OBJECT_IS_BUFFER;
    void* buffer = psMalloc(size, align, m_vectorShift, object);
    if (buffer) {
        ++m_vectorNum;
        m_vectorShift += psGetVectorShift();
        if (m_vectorShift >= maxVectorShift) m_vectorShift = 0;
    }
    return buffer;
}

void psTest::deallocate(void* buffer) { psFree(buffer); }

int psTest::reserveAllVectors() { return forAllObjects(&psObject::reserveCopy); }

int psTest::resetAllVectors() { return forAllObjects(&psObject::setReservedCopy); }
