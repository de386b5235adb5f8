// The aligned memory manager: every buffer handed to a measured function is placed at a controlled
// address (aligned, then misaligned and shifted on request) and recorded in a registry of live blocks.
#ifndef PS_MALLOC_H
#define PS_MALLOC_H

#include "ps_object.h"
#include "ps_string.h"

// The compiled default boundary, in bytes, of every block; also the modulus of misalignments.
const int PS_ALIGN_DEF = 64;

// Owner markers of registry records: a plain buffer, and a block that belongs to another object.
// Both are addresses of otherwise empty objects, so they never equal a real owner.
extern psObject* const MEM_OBJECT_IS_BUFFER;
extern psObject* const MEM_OBJECT_IS_SUBOBJECT;

// The boundary; only positive powers of two are accepted (false otherwise, nothing changes).
bool psSetAlignMax(int n);
int psGetAlignMax();

// Stores n modulo the boundary as the run's misalignment and returns n divided by the boundary.
int psSetVectorAlign(int n);
int psGetVectorAlign();
// Bytes added between consecutive buffers of the tests; negative values count as 0.
void psSetVectorShift(int n);
int psGetVectorShift();
// Misalign only the first buffer of a test.
void psSetAlignSrc(bool on);
bool psGetAlignSrc();
// The misalignment counts bytes (true) or elements (false).
void psSetAlignByByte(bool on);
bool psGetAlignByByte();

// A block of size bytes whose address is (misalign modulo the boundary) bytes past a boundary that
// lies at least shift bytes after the block start; null, after an ERR message, when it cannot be
// had. The second form also stores the result through out (when given) and records no owner.
void* psMalloc(int size, int misalign = 0, int shift = 0, void* object = nullptr);
void* psMalloc(void** out, int size, int misalign, int shift);
// Releases a registered block; any other pointer (null included) is left alone.
void psFree(void* pointer);

// The size and owner of the block placed at pointer (either output may be null); false when the
// pointer is not the placed address of a live block.
bool psMallocInfo(const void* pointer, int* size, void** object);
// "size:<n>  address:<start>  alignedPointer:<placed>", or "" for an unregistered pointer.
psString psMemInfo(const void* pointer);

// Walk the live blocks in allocation order. Each gives the next block's size, placed pointer and
// (when asked) owner; at the end, or without any registry, false with size 0 and null pointers.
// Blocks freed during the walk are skipped.
bool psMallocFirst(int* size, void** pointer, void** object = nullptr);
bool psMallocNext(int* size, void** pointer, void** object = nullptr);

// Discards the registry at the end of the program; blocks still registered are not released.
void psFreeAll();

#endif
