// Bad arguments over every SM4 and SM3 function of libtzvcrypto: null arrays fail every lane with
// 2, a null pointer in a lane fails that lane with 2, a negative length, other bad lengths and bad
// parameters fail their lane with 1 and calls out of order every lane with 1, while the other lanes
// go on.
#include <gtest/gtest.h>

#include <type_traits>
#include <utility>
#include <vector>

#include "tzvcrypto.h"

namespace {

constexpr int kLanes = 16;

enum Op {
    SetKey, XtsKeys, EcbE, EcbD, CbcE, CbcD, CfbE, CfbD, OfbE, OfbD, CtrE, CtrD, XtsE, XtsD,
    GcmInit, GcmAad, GcmE, GcmD, GcmTag, CcmInit, CcmAad, CcmE, CcmD, CcmTag,
    Sm3Init, Sm3Update, Sm3Final, Sm3Digest, kOps
};
const char* const kOpNames[kOps] = {
    "set_key", "xts_set_keys", "encrypt_ecb", "decrypt_ecb", "encrypt_cbc", "decrypt_cbc", "encrypt_cfb128",
    "decrypt_cfb128", "encrypt_ofb", "decrypt_ofb", "encrypt_ctr128", "decrypt_ctr128", "xts_encrypt", "xts_decrypt",
    "gcm_init", "gcm_update_aad", "gcm_encrypt", "gcm_decrypt", "gcm_get_tag", "ccm_init", "ccm_update_aad",
    "ccm_encrypt", "ccm_decrypt", "ccm_get_tag", "sm3_init", "sm3_update", "sm3_final", "sm3_msg_digest"};

// Valid arguments of every function: 64 bytes of text per lane in 80-byte buffers, 12-byte IVs,
// 16-byte tags, 64 bytes announced to CCM. Each array passes through arg(), which can pass it as
// null, or null one lane of it, when the call under test is armed.
struct Args {
    uint8_t text[kLanes][80] = {}, result[kLanes][80] = {}, ivs[kLanes][16] = {}, keys[kLanes][32] = {};
    uint8_t *out[kLanes], *iv[kLanes];
    const uint8_t* in[kLanes];
    const tzv_sm4_key* key[kLanes];
    const tzv_sm4_xts_key* xtsKey[kLanes];
    int len[kLanes], ivLen[kLanes], tagLen[kLanes];
    uint64_t total[kLanes];
    tzv_sm4_key_schedule rk{}, rk2{};
    tzv_sm4_gcm_ctx_mb16 gcm{};
    tzv_sm4_ccm_ctx_mb16 ccm{};
    tzv_sm3_ctx_mb16 sm3{};

    bool armed = false, usesLen = false;
    int seen = 0, nullArg = -1, nullLaneArg = -1, nullLane = 0;
    std::vector<bool> laneArray; // per argument of the armed call: an array of lane pointers

    Args()
    {
        for (int i = 0; i < kLanes; ++i) {
            out[i] = result[i], iv[i] = ivs[i], in[i] = text[i];
            key[i] = (const tzv_sm4_key*)keys[i], xtsKey[i] = (const tzv_sm4_xts_key*)keys[i];
            keys[i][0] = (uint8_t)i, keys[i][16] = (uint8_t)~i; // XTS wants different halves
            len[i] = 64, ivLen[i] = 12, tagLen[i] = 16, total[i] = 64;
        }
    }
    template <typename T>
    T* arg(T* p)
    {
        if (!armed) return p;
        int k = seen++;
        laneArray.push_back(std::is_pointer_v<T>);
        if constexpr (std::is_same_v<T, int>) usesLen = usesLen || p == len;
        if (k == nullArg) return nullptr;
        if constexpr (std::is_pointer_v<T>)
            if (k == nullLaneArg) p[nullLane] = nullptr;
        return p;
    }
};

tzv_status16 call(Op op, Args& a)
{
    const uint8_t** civ = const_cast<const uint8_t**>(a.iv);
    switch (op) {
    case SetKey: return tzv_sm4_set_key_mb16(a.arg(&a.rk), a.arg(a.key));
    case XtsKeys: return tzv_sm4_xts_set_keys_mb16(a.arg(&a.rk), a.arg(&a.rk2), a.arg(a.xtsKey));
    case EcbE: return tzv_sm4_encrypt_ecb_mb16(a.arg(a.out), a.arg(a.in), a.arg(a.len), a.arg(&a.rk));
    case EcbD: return tzv_sm4_decrypt_ecb_mb16(a.arg(a.out), a.arg(a.in), a.arg(a.len), a.arg(&a.rk));
    case CbcE: return tzv_sm4_encrypt_cbc_mb16(a.arg(a.out), a.arg(a.in), a.arg(a.len), a.arg(&a.rk), a.arg(civ));
    case CbcD: return tzv_sm4_decrypt_cbc_mb16(a.arg(a.out), a.arg(a.in), a.arg(a.len), a.arg(&a.rk), a.arg(civ));
    case CfbE: return tzv_sm4_encrypt_cfb128_mb16(a.arg(a.out), a.arg(a.in), a.arg(a.len), a.arg(&a.rk), a.arg(civ));
    case CfbD: return tzv_sm4_decrypt_cfb128_mb16(a.arg(a.out), a.arg(a.in), a.arg(a.len), a.arg(&a.rk), a.arg(civ));
    case OfbE: return tzv_sm4_encrypt_ofb_mb16(a.arg(a.out), a.arg(a.in), a.arg(a.len), a.arg(&a.rk), a.arg(a.iv));
    case OfbD: return tzv_sm4_decrypt_ofb_mb16(a.arg(a.out), a.arg(a.in), a.arg(a.len), a.arg(&a.rk), a.arg(a.iv));
    case CtrE: return tzv_sm4_encrypt_ctr128_mb16(a.arg(a.out), a.arg(a.in), a.arg(a.len), a.arg(&a.rk), a.arg(a.iv));
    case CtrD: return tzv_sm4_decrypt_ctr128_mb16(a.arg(a.out), a.arg(a.in), a.arg(a.len), a.arg(&a.rk), a.arg(a.iv));
    case XtsE:
        return tzv_sm4_xts_encrypt_mb16(a.arg(a.out), a.arg(a.in), a.arg(a.len), a.arg(&a.rk), a.arg(&a.rk2),
                                        a.arg(civ));
    case XtsD:
        return tzv_sm4_xts_decrypt_mb16(a.arg(a.out), a.arg(a.in), a.arg(a.len), a.arg(&a.rk), a.arg(&a.rk2),
                                        a.arg(civ));
    case GcmInit: return tzv_sm4_gcm_init_mb16(a.arg(a.key), a.arg(civ), a.arg(a.ivLen), a.arg(&a.gcm));
    case GcmAad: return tzv_sm4_gcm_update_aad_mb16(a.arg(a.in), a.arg(a.len), a.arg(&a.gcm));
    case GcmE: return tzv_sm4_gcm_encrypt_mb16(a.arg(a.out), a.arg(a.in), a.arg(a.len), a.arg(&a.gcm));
    case GcmD: return tzv_sm4_gcm_decrypt_mb16(a.arg(a.out), a.arg(a.in), a.arg(a.len), a.arg(&a.gcm));
    case GcmTag: return tzv_sm4_gcm_get_tag_mb16(a.arg(a.out), a.arg(a.tagLen), a.arg(&a.gcm));
    case CcmInit:
        return tzv_sm4_ccm_init_mb16(a.arg(a.key), a.arg(civ), a.arg(a.ivLen), a.arg(a.tagLen), a.arg(a.total),
                                     a.arg(&a.ccm));
    case CcmAad: return tzv_sm4_ccm_update_aad_mb16(a.arg(a.in), a.arg(a.len), a.arg(&a.ccm));
    case CcmE: return tzv_sm4_ccm_encrypt_mb16(a.arg(a.out), a.arg(a.in), a.arg(a.len), a.arg(&a.ccm));
    case CcmD: return tzv_sm4_ccm_decrypt_mb16(a.arg(a.out), a.arg(a.in), a.arg(a.len), a.arg(&a.ccm));
    case CcmTag: return tzv_sm4_ccm_get_tag_mb16(a.arg(a.out), a.arg(a.tagLen), a.arg(&a.ccm));
    case Sm3Init: return tzv_sm3_init_mb16(a.arg(&a.sm3));
    case Sm3Update: return tzv_sm3_update_mb16(a.arg(a.in), a.arg(a.len), a.arg(&a.sm3));
    case Sm3Final: return tzv_sm3_final_mb16(a.arg(a.out), a.arg(&a.sm3));
    case Sm3Digest: return tzv_sm3_msg_digest_mb16(a.arg(a.in), a.arg(a.len), a.arg(a.out));
    default: return ~0ull;
    }
}

// The calls that put a context or schedule in the state the function needs.
std::vector<Op> setUp(Op op)
{
    switch (op) {
    case EcbE: case EcbD: case CbcE: case CbcD: case CfbE: case CfbD: case OfbE: case OfbD: case CtrE: case CtrD:
        return {SetKey};
    case XtsE: case XtsD: return {XtsKeys};
    case GcmAad: case GcmE: case GcmD: case GcmTag: return {GcmInit};
    case CcmAad: case CcmE: case CcmD: return {CcmInit};
    case CcmTag: return {CcmInit, CcmE};
    case Sm3Update: case Sm3Final: return {Sm3Init};
    default: return {};
    }
}

uint64_t all(unsigned v) { return 0x1111111111111111ull * v; }
uint64_t lanes(std::initializer_list<std::pair<int, unsigned>> bad)
{
    uint64_t w = 0;
    for (auto [lane, v] : bad) w |= (uint64_t)v << (4 * lane);
    return w;
}

// Runs the set-up calls, then the armed call.
tzv_status16 runArmed(Op op, Args& a, const std::vector<Op>& before, bool checkSetUp)
{
    for (Op s : before) {
        tzv_status16 sts = call(s, a);
        if (checkSetUp) { EXPECT_EQ(sts, 0u) << "set-up call " << kOpNames[s]; }
    }
    a.armed = true;
    return call(op, a);
}

} // namespace

TEST(SmBadLanes, NullArraysFailEveryLaneNullLanesAndNegativeLengthsOnlyTheirOwn)
{
    for (int o = 0; o < kOps; ++o) {
        const Op op = (Op)o;
        SCOPED_TRACE(kOpNames[op]);
        Args valid;
        ASSERT_EQ(runArmed(op, valid, setUp(op), true), 0u);
        ASSERT_GT(valid.seen, 0);
        if (valid.usesLen) {
            Args n;
            n.len[o % kLanes] = -1;
            EXPECT_EQ(runArmed(op, n, setUp(op), false), lanes({{o % kLanes, 1}})) << "negative length";
        }
        for (int k = 0; k < valid.seen; ++k) {
            Args a;
            a.nullArg = k;
            EXPECT_EQ(runArmed(op, a, setUp(op), false), all(2)) << "argument " << k << " null";
            if (!valid.laneArray[(std::size_t)k]) continue;
            Args b;
            b.nullLaneArg = k, b.nullLane = (3 * o + k) % kLanes;
            EXPECT_EQ(runArmed(op, b, setUp(op), false), lanes({{b.nullLane, 2}}))
                << "argument " << k << " null in lane " << b.nullLane;
        }
    }
}

namespace {

struct BadCase {
    const char* what;
    std::vector<Op> before; // run after bad() changed the arguments
    std::vector<Op> ops;    // each of them after the set-up calls
    void (*bad)(Args&);
    uint64_t expect;
};

const BadCase kBadCases[] = {
    {"lengths not whole blocks", {SetKey}, {EcbE, EcbD, CbcE, CbcD},
     [](Args& a) { a.len[3] = 17, a.len[4] = -16, a.len[5] = 8, a.len[0] = 65, a.len[15] = 1; },
     lanes({{0, 1}, {3, 1}, {4, 1}, {5, 1}, {15, 1}})},
    {"negative length and null", {SetKey}, {CtrD}, [](Args& a) { a.len[9] = -1, a.out[9] = nullptr; }, lanes({{9, 3}})},
    {"XTS below one block, above 2^24", {XtsKeys}, {XtsE, XtsD},
     [](Args& a) { a.len[6] = 15, a.len[7] = (1 << 24) + 1, a.len[10] = 0; }, lanes({{6, 1}, {7, 1}, {10, 1}})},
    {"GCM IV of length 0", {}, {GcmInit}, [](Args& a) { a.ivLen[2] = 0, a.ivLen[3] = -12; }, lanes({{2, 1}, {3, 1}})},
    {"a lane that failed init", {GcmInit}, {GcmE}, [](Args& a) { a.ivLen[4] = 0; }, lanes({{4, 1}})},
    {"GCM tag lengths", {GcmInit}, {GcmTag},
     [](Args& a) { a.tagLen[1] = 11, a.tagLen[2] = 17, a.tagLen[3] = 3, a.tagLen[4] = 0; },
     lanes({{1, 1}, {2, 1}, {3, 1}, {4, 1}})},
    {"CCM nonce, tag and announced lengths", {}, {CcmInit},
     [](Args& a) {
         a.ivLen[1] = 6, a.ivLen[2] = 14, a.tagLen[4] = 5, a.tagLen[5] = 18, a.tagLen[6] = 2;
         a.ivLen[7] = 13, a.total[7] = 1 << 16; // a 2-byte length field
         a.ivLen[8] = 13, a.total[8] = 0xFFFF;  // fits
     },
     lanes({{1, 1}, {2, 1}, {4, 1}, {5, 1}, {6, 1}, {7, 1}})},
    {"a lane that failed init", {CcmInit}, {CcmAad}, [](Args& a) { a.tagLen[9] = 7; }, lanes({{9, 1}})},
    {"beyond the announced length", {CcmInit}, {CcmE, CcmD}, [](Args& a) { a.len[12] = 65, a.total[14] = 63; },
     lanes({{12, 1}, {14, 1}})},
    {"short of the announced length", {CcmInit, CcmE}, {CcmTag}, [](Args& a) { a.total[3] = 65; }, lanes({{3, 1}})},
    {"negative length and null", {}, {Sm3Digest}, [](Args& a) { a.len[5] = -1, a.len[11] = -3, a.in[11] = nullptr; },
     lanes({{5, 1}, {11, 3}})},
    // Calls out of order: every lane 1.
    {"before init", {}, {GcmAad, GcmE, GcmTag, CcmAad, CcmD, CcmTag, Sm3Update, Sm3Final}, nullptr, all(1)},
    {"additional data after text", {GcmInit, GcmE}, {GcmAad}, nullptr, all(1)},
    {"text after the tag", {GcmInit, GcmTag}, {GcmD}, nullptr, all(1)},
    {"a second tag", {GcmInit, GcmE, GcmTag}, {GcmTag}, nullptr, all(1)},
    {"CCM additional data in two calls", {CcmInit, CcmAad}, {CcmAad}, nullptr, all(1)},
    {"additional data after text", {CcmInit, CcmE}, {CcmAad}, nullptr, all(1)},
    {"text after the tag", {CcmInit, CcmE, CcmTag}, {CcmE}, nullptr, all(1)},
    {"update after final", {Sm3Init, Sm3Final}, {Sm3Update}, nullptr, all(1)},
    {"a second final", {Sm3Init, Sm3Update, Sm3Final}, {Sm3Final}, nullptr, all(1)},
    {"init starts over", {Sm3Init, Sm3Final, Sm3Init}, {Sm3Update}, nullptr, 0},
    {"init starts over", {GcmInit, GcmTag, GcmInit}, {GcmE}, nullptr, 0},
    {"init starts over", {CcmInit, CcmE, CcmTag, CcmInit}, {CcmE}, nullptr, 0},
};

} // namespace

TEST(SmBadLanes, BadLengthsParametersAndOrderGiveTheirStatus)
{
    for (const BadCase& c : kBadCases) {
        for (Op op : c.ops) {
            Args a;
            if (c.bad) c.bad(a);
            EXPECT_EQ(runArmed(op, a, c.before, false), c.expect) << kOpNames[op] << ": " << c.what;
        }
    }
}
