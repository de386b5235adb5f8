// The three entry points through which the timing engine calls one multi-buffer function, written
// once here and stamped out per function by the macros at the end:
//   tcall_<f>_sts_wrapper()             one call, folded status
//   tim_<f>_sts_wrapper_loop(n, clocks) the fastest single call among n
//   tim_<f>_sts_wrapper_stat(...)       the fastest batch per call, less the loop step
// The timed loops are those of ky_tzv_loops.h; the status they return is checked after them.
#ifndef KY_TZV_WRAPPERS_H
#define KY_TZV_WRAPPERS_H

#include "ky_cp_environment.h"
#include "ky_tzv_symbols.h"
#include "ky_tzv_loops.h"
#include "ky_tzv_test.h"
#include "ps_registry.h"
#include "ps_services.h"

// Lanes: the traits of ky_tzv_loops.h, call() being the library call on the source's file-scope data.
template <class Lanes>
inline int kyTzvCall()
{
    return Lanes::fold(Lanes::call());
}

template <class Lanes>
psResult kyTzvLoop(int n, long long* clocks, const char* name)
{
    return kyTest::checkStatus(Lanes::fold(kyTzvFastestCall<Lanes>(n, clocks)), name);
}

template <class Lanes>
psResult kyTzvStat(int* count, long long* clocks, int batch, const char* name)
{
    return kyTest::checkStatus(kyTzvFastestBatch<Lanes>(count, clocks, batch), name);
}

// Lane traits of an 8-lane function: the call returns the 32-bit lane word, folded afterwards.
#define KY_TZV_LANES_MB8(func, args)                                     \
    namespace {                                                          \
    struct func##_sts_lanes {                                            \
        static unsigned int call() { return func args; }                 \
        static int fold(unsigned int status) { return kyFoldStatus8(status); } \
    };                                                                   \
    }

// A 16-lane function gets its own folding wrapper <func>_sts_wrapper(), which the three entry
// points call.
#define KY_TZV_LANES_MB16(func, args)                                    \
    static int func##_sts_wrapper() { return kyFoldStatus16(func args); } \
    namespace {                                                          \
    struct func##_sts_lanes {                                            \
        static int call() { return func##_sts_wrapper(); }               \
        static int fold(int status) { return status; }                   \
    };                                                                   \
    }

#define KY_TZV_ENTRY_POINTS(func)                                                                 \
    static int tcall_##func##_sts_wrapper() { return kyTzvCall<func##_sts_lanes>(); }              \
    static psResult tim_##func##_sts_wrapper_loop(int n, long long* clocks)                        \
    {                                                                                              \
        return kyTzvLoop<func##_sts_lanes>(n, clocks, #func "_sts_wrapper");                       \
    }                                                                                              \
    static psResult tim_##func##_sts_wrapper_stat(int* count, long long* clocks, int batch)        \
    {                                                                                              \
        return kyTzvStat<func##_sts_lanes>(count, clocks, batch, #func "_sts_wrapper");            \
    }

// The entry points of one function without registering a test (the unit tests use this).
#define KY_TZV_WRAPPERS_MB8(func, args) KY_TZV_LANES_MB8(func, args) KY_TZV_ENTRY_POINTS(func)
#define KY_TZV_WRAPPERS_MB16(func, args) KY_TZV_LANES_MB16(func, args) KY_TZV_ENTRY_POINTS(func)

// The registered source of a test: its path without the extension, so reports name "p_tzv_ecc".
inline psString kySourcePath(const char* file)
{
    psString path(file);
    return path.getFileDir() + path.getFileTitle();
}

// Registers the test of class Class for func, named "<func>_sts_wrapper", and the function as one
// the test needs.
#define KY_TZV_REG(Class, func)                                                                     \
    [[maybe_unused]] static bool reg_##func##_sts_wrapper_##Class =                                \
        kyRegTzvNeeds(#func "_sts_wrapper", {KY_TZV_FN(func)}) &&                                  \
        psRegTest(new Class(tcall_##func##_sts_wrapper, nullptr, tim_##func##_sts_wrapper_loop,   \
                            tim_##func##_sts_wrapper_stat, #func "_sts_wrapper", kySourcePath(__FILE__), #Class "//KY_REG"));

// One registered multi-buffer test: its entry points and its registration, in source order.
#define KY_TZV_TEST_MB8(Class, func, args) KY_TZV_WRAPPERS_MB8(func, args) KY_TZV_REG(Class, func)
#define KY_TZV_TEST_MB16(Class, func, args) KY_TZV_WRAPPERS_MB16(func, args) KY_TZV_REG(Class, func)

#endif
