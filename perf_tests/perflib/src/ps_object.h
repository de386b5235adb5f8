// psObject: the interface of a test data object (a data vector, a library context) whose memory the
// harness tracks: its size for the cache iterator, a one-line description for memory dumps, and a
// reserved copy of its data that a real measurement restores before every call.
#ifndef PS_OBJECT_H
#define PS_OBJECT_H

#include "ps_string.h"

class psObject {
public:
    // constexpr so that the allocator's owner markers are ready before any static initialiser runs.
    constexpr psObject() {}
    virtual ~psObject() {}

    // Bytes of data the object holds.
    virtual int objectSize() const { return 0; }
    virtual psString objectInfo() const { return psString(); }
    // Each returns whether it acted.
    virtual bool reserveCopy() { return false; }
    virtual bool setReservedCopy() { return false; }
    virtual bool deleteReservedCopy() { return false; }
};

#endif
