// Differential fuzzing of libtzvcrypto's SM4 and SM3. The input chooses a function (an SM4 mode or
// SM3) and a direction, and for each of the 16 lanes a key, an IV or nonce, additional data, a
// text of 0 to 1023 bytes, a tag length, and whether the lane is null, in place, streamed in pieces
// or refused once. The lanes run on every enabled feature and again on the portable paths (the
// feature masks without AVX-512, and, for one input in four, of plain x86-64, as the harness's -T
// selects them); every lane must agree between the paths, and with OpenSSL where the lane is valid.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "kyncp.h"
#include "tzv_sm_lanes.h"

namespace {

using smlanes::Bytes;
using smlanes::kLanes;
using smlanes::Lane;
using smlanes::LaneResult;
using smlanes::Mode;

// The harness's -T masks: everything but AVX-512 (AVX2 and AES-NI stay), and plain x86-64.
constexpr Kyn64u kPortableFeatures = 0x7C2900FEFFFull;
constexpr Kyn64u kPlainFeatures = kynCPUID_MMX | kynCPUID_SSE | kynCPUID_SSE2;

// Reads the input front to back; zeros once it is used up.
struct Draw {
    const uint8_t* p;
    std::size_t n;
    unsigned byte() { return n ? (--n, *p++) : 0; }
    Bytes bytes(std::size_t k)
    {
        Bytes b(k);
        for (auto& x : b) x = (uint8_t)byte();
        return b;
    }
};

[[noreturn]] void differs(const char* what, int lane)
{
    std::fprintf(stderr, "%s: lane %d differs\n", what, lane);
    std::abort();
}

// Runs the lanes on the features given.
std::vector<LaneResult> run(Kyn64u features, Mode m, bool encrypt, const std::vector<Lane>& lanes)
{
    kyncpSetCpuFeatures(features);
    return smlanes::run(m, encrypt, lanes);
}

bool lengthValid(Mode m, std::size_t n)
{
    return m == Mode::Ecb || m == Mode::Cbc ? n % 16 == 0 : m != Mode::Xts || n >= 16;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    static const Kyn64u allFeatures = kyncpGetEnabledCpuFeatures(); // every supported one: nothing chose fewer yet
    static const int kGcmTags[] = {4, 8, 12, 13, 14, 15, 16, 16};
    Draw d{data, size};
    const Mode mode = (Mode)(d.byte() % 9); // the eight SM4 modes, then SM3
    const bool encrypt = d.byte() & 1; // for SM3: streamed
    const bool plainToo = size % 4 == 0; // the plain path is slow: one input in four
    const bool aead = smlanes::isAead(mode);
    std::vector<Lane> lanes(kLanes);
    for (Lane& l : lanes) {
        unsigned flags = d.byte();
        l.key = d.bytes(mode == Mode::Xts ? 32 : 16);
        std::size_t ivLen = mode == Mode::Gcm ? 1 + d.byte() % 64 : mode == Mode::Ccm ? 7 + d.byte() % 7 : 16;
        l.iv = d.bytes(ivLen);
        l.aad = d.bytes(aead ? d.byte() : 0);
        l.tagLen = !aead ? 0 : mode == Mode::Gcm ? kGcmTags[d.byte() % 8] : 4 + 2 * (int)(d.byte() % 7);
        l.null = (flags & 0x31) == 0x31;
        l.inPlace = flags & 2;
        l.refuseOnce = flags & 4;
        l.piece = flags & 8 ? 1 + d.byte() % 64 : 0;
        std::size_t len = d.byte() | (d.byte() & 3) << 8;
        l.in = d.bytes(len);
    }
    std::vector<LaneResult> simd = run(allFeatures, mode, encrypt, lanes);
    std::vector<LaneResult> portable = run(allFeatures & kPortableFeatures, mode, encrypt, lanes);
    std::vector<LaneResult> plain = plainToo ? run(kPlainFeatures, mode, encrypt, lanes) : simd;
    kyncpSetCpuFeatures(allFeatures);
    const bool streamed = aead || (mode == Mode::Sm3 && encrypt);
    for (int i = 0; i < kLanes; ++i) {
        const Lane& l = lanes[i];
        if (!(simd[i] == portable[i])) differs("AVX-512 and portable paths", i);
        if (!(simd[i] == plain[i])) differs("AVX-512 and plain x86-64 paths", i);
        if (!simd[i].guardKept) differs("bytes beyond the output", i);
        if (l.null || !lengthValid(mode, l.in.size())) {
            if (simd[i].status == 0) differs("a bad lane's status", i);
            if (mode != Mode::Sm3 && simd[i].out != (l.inPlace ? l.in : Bytes(l.in.size(), smlanes::kSentinel)))
                differs("a bad lane's output", i);
            continue;
        }
        LaneResult ref = smlanes::reference(mode, encrypt, l);
        ref.status = streamed && l.refuseOnce ? 1 : 0;
        if (!(simd[i] == ref)) differs("the library and OpenSSL", i);
    }
    return 0;
}
