// Differential fuzzing of the 22 elliptic-curve functions against OpenSSL. The input chooses the
// curve (PS_FUZZ_CURVE = P-256, P-384, P-521 or SM2 fixes it), the function, affine or Jacobian keys,
// a null lane or a null argument, and for each lane its random data and maybe one bad or edge value
// from the library tests' table. Each call runs on the code path of all enabled features and again on
// the portable one; every lane must give the status and the results that OpenSSL's reckoning says.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ec_lanes.h"
#include "kyncp.h"

using namespace ectest;

constexpr Kyn64u kPortableFeatures = 0x7C2900FEFFFull; // every AVX-512 feature masked off

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const Kyn64u allFeatures = kyncpGetEnabledCpuFeatures();
    static const int fixedCurve = [] { // PS_FUZZ_CURVE's, or -1
        const char* name = std::getenv("PS_FUZZ_CURVE");
        for (int i = 0; name && i < 4; ++i)
            if (std::strcmp(name, kApis[i].name) == 0) return i;
        if (name) std::fprintf(stderr, "PS_FUZZ_CURVE: no such curve: %s\n", name), std::exit(2);
        return -1;
    }();
    static TestCurve curves[4] = {TestCurve(kApis[0].nid), TestCurve(kApis[1].nid), TestCurve(kApis[2].nid),
                                  TestCurve(kApis[3].nid)};
    auto byte = [&]() -> uint8_t { return size ? (--size, *data++) : 0; };
    const int ci = fixedCurve >= 0 ? fixedCurve : byte() % 4;
    const Api& api = kApis[ci];
    TestCurve& c = curves[ci];
    std::vector<Op> ops;
    for (int op = 0; op < kOpCount; ++op)
        if (api.has((Op)op)) ops.push_back((Op)op);
    const Op op = ops[byte() % ops.size()];
    c.focus = op;
    const bool affine = byte() & 1;

    // A null lane (lane 8: the whole argument) of one argument, when the top bit says so.
    Nulls nulls;
    const uint8_t nullByte = byte(), nullLane = byte() % 9;
    const int args = (int)std::strlen(kArgKinds[op]);
    const char kind = kArgKinds[op][(nullByte & 0x7f) % args];
    if ((nullByte & 0x80) && !(kind == 'z' && affine) && !(kind == 'n' && nullLane < 8) && !(kind == 'z' && nullLane == 8)) {
        nulls.arg = (nullByte & 0x7f) % args;
        nulls.lane = nullLane < 8 ? nullLane : -1;
    }

    std::vector<const Fault*> faults;
    for (const Fault& f : kFaults)
        if ((f.ops & bit(op)) && !(affine && f.jacobianOnly)) faults.push_back(&f);

    uint64_t seed = 0;
    for (int i = 0; i < 8; ++i) seed = seed << 8 | byte();
    std::mt19937_64 rng(seed);
    Lanes L;
    std::array<unsigned, kLanes> want;
    std::array<const char*, kLanes> what;
    for (int i = 0; i < kLanes; ++i) {
        L[i] = c.randomLane(rng, byte() % kLanes);
        const uint8_t f = byte();
        const Fault* fault = f < 0x80 || faults.empty() ? nullptr : faults[f % faults.size()];
        if (fault) fault->apply(c, L[i]);
        want[i] = fault ? fault->status : kOk, what[i] = fault ? fault->what : "good";
        if (nulls.arg >= 0 && (nulls.lane < 0 || nulls.lane == i)) want[i] = kNull, what[i] = "null";
    }

    for (Kyn64u features : {allFeatures, kPortableFeatures}) {
        kyncpSetCpuFeatures(features);
        const std::string wrong = compare(api, c, op, L, affine, want, nulls);
        if (wrong.empty()) continue;
        std::fprintf(stderr, "%s %s, %s keys, features %llx, lanes:", api.name, kOpNames[op], affine ? "affine" : "Jacobian",
                     (unsigned long long)features);
        for (const char* w : what) std::fprintf(stderr, " [%s]", w);
        std::fprintf(stderr, "\n%s", wrong.c_str());
        std::abort();
    }
    return 0;
}
