// Differential fuzzing of the 22 elliptic-curve functions against OpenSSL. The input chooses the
// curve (PS_FUZZ_CURVE = P-256, P-384, P-521 or SM2 fixes it), the function, affine or Jacobian keys,
// a null lane or a null argument, and for each lane its random data and one bad or edge value, from
// the library tests' table or from the edges below. Each call runs on the code path of all enabled
// features and again on the portable one; every lane must give the status and the results that
// OpenSSL's reckoning says.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ec_lanes.h"
#include "kyncp.h"

using namespace ectest;

namespace {

constexpr Kyn64u kPortableFeatures = 0x7C2900FEFFFull; // every AVX-512 feature masked off

void setAllOnes(CurveRef c, Lane& L, int bits)
{
    L.e = bnWord(0);
    BN_set_bit(L.e.get(), bits);
    BN_sub_word(L.e.get(), 1);
    c.derive(L);
}

// Edges the tests' table leaves out: ends of ranges that must work, special points, and sign
// complete inputs that did not come from sign setup.
const Fault kEdges[] = {
    {"e = 0", kDigestOps, kOk, [](CurveRef c, Lane& L) { L.e = bnWord(0), c.derive(L); }},
    {"e = n - 1", kDigestOps, kOk, [](CurveRef c, Lane& L) { L.e = offset(c.n.get(), -1), c.derive(L); }},
    {"e = 2^bits - 1", kDigestOps, kOk, [](CurveRef c, Lane& L) { setAllOnes(c, L, c.orderBits); }},
    {"e = 2^(8·bytes) - 1, beyond the order's bit length", kDigestOps, kOk, [](CurveRef c, Lane& L) { setAllOnes(c, L, 8 * c.orderBytes); }},
    {"d = 2", kKeyOps, kOk, [](CurveRef c, Lane& L) { L.d = bnWord(2), c.derive(L); }},
    {"k = 1", kNonceOps, kOk, [](CurveRef c, Lane& L) { L.k = bnWord(1), c.derive(L); }},
    {"SM2 signing key n - 2", bit(kSm2Sign), kOk, [](CurveRef c, Lane& L) { L.d = offset(c.n.get(), -2), c.derive(L); }},
    {"Z = 1", kPointOps, kOk, [](CurveRef c, Lane& L) { L.z = bnWord(1), c.encode(L); }, true},
    {"Z = p - 1", kPointOps, kOk, [](CurveRef c, Lane& L) { L.z = offset(c.p.get(), -1), c.encode(L); }, true},
    // x(d·(-Q)) = x(d·Q); a signature by Q does not verify with -Q.
    {"-Q", bit(kEcdh), kOk, [](CurveRef c, Lane& L) { BN_sub(L.qy.get(), c.p.get(), L.qy.get()), c.encode(L); }},
    {"-Q", kVerifyOps, kSig, [](CurveRef c, Lane& L) { BN_sub(L.qy.get(), c.p.get(), L.qy.get()), c.encode(L); }},
    {"Q with x = 0 where it exists", bit(kEcdh), kOk, [](CurveRef c, Lane& L) {
         Bn y;
         if (!BN_mod_sqrt(y.get(), c.b.get(), c.p.get(), c.ctx())) return; // b is no square: no such point
         Bn sx, sy;
         L.qx = bnWord(0), L.qy = y;
         c.mul(L.d.get(), L.qx.get(), L.qy.get(), sx, sy);
         L.shared = toBytes(sx.get(), c.fieldBytes);
         c.encode(L);
     }},
    {"x = p - 1", kPointOps, kBad, [](CurveRef c, Lane& L) { L.qx = offset(c.p.get(), -1), c.encode(L); }},
    {"y = 0", kPointOps, kBad, [](CurveRef c, Lane& L) { L.qy = bnWord(0), c.encode(L); }},
    {"Q = (0, 0)", kPointOps, kBad, [](CurveRef c, Lane& L) { L.qx = L.qy = bnWord(0), c.encode(L); }},
    {"r = n - 1 given to complete", bit(kComplete), kOk, [](CurveRef c, Lane& L) {
         L.rk = offset(c.n.get(), -1);
         c.ecdsa(L);
         c.encode(L);
     }},
    {"k^-1 = 1", bit(kComplete), kOk, [](CurveRef c, Lane& L) { L.kinv = bnWord(1), c.ecdsa(L), c.encode(L); }},
    {"s = n - 1", kVerifyOps, kSig, [](CurveRef c, Lane& L) { L.s = offset(c.n.get(), -1), c.encode(L); }},
    {"empty identifier and message", kSm2Ops, kOk, [](CurveRef c, Lane& L) {
         L.id.clear();
         L.msg.clear();
         c.derive(L);
     }},
    {"identifier of 8190 bytes", kSm2Ops, kOk, [](CurveRef c, Lane& L) { L.id.resize(8190, 0x33), c.derive(L); }},
};

struct Input {
    const uint8_t* p;
    size_t n;
    uint8_t byte() { return n ? (--n, *p++) : 0; }
    uint64_t word()
    {
        uint64_t w = 0;
        for (int i = 0; i < 8; ++i) w = w << 8 | byte();
        return w;
    }
};

int curveFromEnvironment()
{
    const char* name = std::getenv("PS_FUZZ_CURVE");
    for (int i = 0; name && i < 4; ++i)
        if (std::strcmp(name, kApis[i].name) == 0) return i;
    if (name) std::fprintf(stderr, "PS_FUZZ_CURVE: no such curve: %s\n", name), std::exit(2);
    return -1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const Kyn64u allFeatures = kyncpGetEnabledCpuFeatures();
    static const int fixedCurve = curveFromEnvironment();
    static TestCurve curves[4] = {TestCurve(kApis[0].nid), TestCurve(kApis[1].nid), TestCurve(kApis[2].nid),
                                  TestCurve(kApis[3].nid)};
    Input in{data, size};
    const int ci = fixedCurve >= 0 ? fixedCurve : in.byte() % 4;
    const Api& api = kApis[ci];
    TestCurve& c = curves[ci];
    std::vector<Op> ops;
    for (int op = 0; op < kOpCount; ++op)
        if (api.has((Op)op)) ops.push_back((Op)op);
    const Op op = ops[in.byte() % ops.size()];
    c.focus = op;
    const bool affine = in.byte() & 1;

    // A null lane (lane 8: the whole argument) of one argument, when the top bit says so.
    Nulls nulls;
    const uint8_t nullByte = in.byte(), nullLane = in.byte() % 9;
    const int args = (int)std::strlen(kArgKinds[op]);
    const char kind = kArgKinds[op][(nullByte & 0x7f) % args];
    if ((nullByte & 0x80) && !(kind == 'z' && affine) && !(kind == 'n' && nullLane < 8) && !(kind == 'z' && nullLane == 8)) {
        nulls.arg = (nullByte & 0x7f) % args;
        nulls.lane = nullLane < 8 ? nullLane : -1;
    }

    std::vector<const Fault*> faults;
    for (const Fault& f : kFaults)
        if ((f.ops & bit(op)) && !(affine && f.jacobianOnly)) faults.push_back(&f);
    for (const Fault& f : kEdges)
        if ((f.ops & bit(op)) && !(affine && f.jacobianOnly)) faults.push_back(&f);

    std::mt19937_64 rng(in.word());
    Lanes L;
    std::array<unsigned, kLanes> want;
    std::array<const char*, kLanes> what;
    for (int i = 0; i < kLanes; ++i) {
        L[i] = c.randomLane(rng, in.byte() % kLanes);
        const uint8_t f = in.byte();
        want[i] = kOk;
        what[i] = "good";
        if (f < 0x80 || faults.empty()) continue;
        const Fault& fault = *faults[f % faults.size()];
        fault.apply(c, L[i]);
        want[i] = fault.status;
        what[i] = fault.what;
    }
    for (int i = 0; i < kLanes; ++i)
        if (nulls.arg >= 0 && (nulls.lane < 0 || nulls.lane == i)) want[i] = kNull, what[i] = "null";

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
