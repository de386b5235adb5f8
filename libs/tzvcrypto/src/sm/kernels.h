// The SM4, GHASH and SM3 lane kernels of one code path, as a table of functions, and the choice of
// table at each call from the features enabled in libkyncp: AVX-512 with GFNI and VPCLMULQDQ,
// else AVX2 with AES-NI and PCLMULQDQ, else plain C++. The exported functions check arguments and
// lane states; the kernels do the cryptography of the lanes they are given.
#ifndef TZV_SM_KERNELS_H
#define TZV_SM_KERNELS_H

#include <cstdint>

#include "tzvcrypto.h"

namespace tzv {
namespace sm {

using LaneBits = uint16_t;

// The lanes' data of one call: lane i reads len[i] bytes from in[i] and writes them to out[i].
// Lanes that do not run have len 0.
struct LaneData {
    uint8_t* const* out;
    const uint8_t* const* in;
    const int* len;
};

// Where a GCM or CCM lane is in its call sequence.
enum AeadPhase : uint8_t { kPhaseNone = 0, kPhaseReady = 1, kPhaseAad = 2, kPhaseText = 3, kPhaseDone = 4 };

// The GCM context: lanes side by side, field by field, so that vector code loads a field of every
// lane at once. Hash values are kept with the bits of each byte reversed (see ghash.h).
struct GcmLanes {
    uint32_t rk[32][16];  // round keys
    uint8_t h[16][16];    // hash key E(0)
    uint8_t j0[16][16];   // pre-counter block; block k of the text uses J0 + 1 + k
    uint8_t ekJ0[16][16]; // E(J0), masks the tag
    uint8_t xi[16][16];   // running GHASH
    uint64_t aadLen[16];  // bytes
    uint64_t textLen[16]; // bytes
    uint8_t phase[16];
    uint32_t magic;
};

// The CCM context, laid out the same way. Partial blocks go into the MAC register by XOR as they
// come; a block is encrypted when it is complete.
struct CcmLanes {
    uint32_t rk[32][16];
    uint8_t mac[16][16]; // CBC-MAC register
    uint8_t a0[16][16];  // counter block A_0: flags, nonce, zero counter; A_k has k in the counter
    uint64_t total[16];  // payload length announced, or kCcmUnbounded
    uint64_t done[16];   // payload bytes processed
    uint8_t q[16];       // width of the length field and the counter, 15 - nonce length
    uint8_t tagLen[16];
    uint8_t phase[16];
    uint32_t magic;
};

// The SM3 context: chaining values transposed (v[word][lane]), unfinished blocks per lane.
struct Sm3Lanes {
    uint32_t v[8][16];
    uint8_t buf[16][64]; // the bytes of an unfinished block
    uint64_t bytes[16];  // message bytes so far; bytes % 64 of them wait in buf
    uint32_t magic;
    uint8_t ready[16]; // 1 between init and final
};

using RoundKeyArray = uint32_t[32][16];

struct Kernels {
    void (*sm4ExpandKeys)(RoundKeyArray rk, const uint8_t* const key[16], LaneBits run);
    void (*sm4Ecb[2])(const RoundKeyArray rk, const LaneData& d); // [0] encrypts, [1] decrypts
    void (*sm4Cbc[2])(const RoundKeyArray rk, const LaneData& d, const uint8_t* const iv[16], LaneBits run);
    void (*sm4Cfb[2])(const RoundKeyArray rk, const LaneData& d, const uint8_t* const iv[16], LaneBits run);
    void (*sm4Ofb)(const RoundKeyArray rk, const LaneData& d, uint8_t* const iv[16], LaneBits run);
    void (*sm4Ctr)(const RoundKeyArray rk, const LaneData& d, uint8_t* const iv[16], LaneBits run);
    void (*sm4Xts[2])(const RoundKeyArray rk1, const RoundKeyArray rk2, const LaneData& d,
                      const uint8_t* const tweak[16], LaneBits run);

    // GCM: the lanes of `run` passed the phase and length checks; the kernels move them on.
    void (*gcmInit)(GcmLanes& g, const uint8_t* const key[16], const uint8_t* const iv[16],
                    const int ivLen[16], LaneBits run);
    void (*gcmAad)(GcmLanes& g, const uint8_t* const aad[16], const int len[16], LaneBits run);
    void (*gcmCrypt[2])(GcmLanes& g, const LaneData& d, LaneBits run);
    void (*gcmTag)(GcmLanes& g, uint8_t* const tag[16], const int tagLen[16], LaneBits run);

    void (*ccmSetKeys)(CcmLanes& c, const uint8_t* const key[16], LaneBits run);
    void (*ccmAad)(CcmLanes& c, const uint8_t* const aad[16], const int len[16], LaneBits run);
    void (*ccmCrypt[2])(CcmLanes& c, const LaneData& d, LaneBits run);
    void (*ccmTag)(CcmLanes& c, uint8_t* const tag[16], LaneBits run);

    // Compresses blocks[i] 64-byte blocks from p[i] into lane i's chaining value.
    void (*sm3Blocks)(uint32_t v[8][16], const uint8_t* const p[16], const long blocks[16]);
    // Pads and compresses the last tailLen[i] < 64 bytes of lane i's message of totalBytes[i]
    // bytes, in the lanes of `run`, and writes their digests.
    void (*sm3Final)(uint32_t v[8][16], const uint8_t* const tail[16], const int tailLen[16],
                     const uint64_t totalBytes[16], LaneBits run, uint8_t* const hash[16]);
};

extern const Kernels kAvx512Kernels;
extern const Kernels kAvx2Kernels;
extern const Kernels kPlainKernels;

// The kernels of the best code path libkyncp's enabled features allow, read at every call.
const Kernels& kernels();

} // namespace sm
} // namespace tzv

#endif
