// A stand-in libtzvcrypto.so.13 with a single function, the X25519 public key, whose every call
// overflows the stack: a fault that only a signal handler on a stack of its own can turn into a
// test failure. Every other function is missing.
#include "tzvcrypto.h"

namespace {
volatile bool s_bottom = false; // never set: the recursion ends only in the fault

// Each level keeps a page of its own alive, so the compiler can neither drop nor loop the calls.
int deeper(volatile unsigned char* previous)
{
    if (s_bottom) return 0;
    volatile unsigned char page[4096];
    page[0] = previous ? previous[0] + 1 : 0;
    return deeper(page) + page[4095];
}
} // namespace

extern "C" __attribute__((visibility("default"))) tzv_status tzv_x25519_public_key_mb8(int8u* const[8],
                                                                                       const int8u* const[8])
{
    return (tzv_status)deeper(nullptr);
}
