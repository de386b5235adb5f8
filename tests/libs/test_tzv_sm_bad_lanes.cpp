// Bad arguments over every SM4 and SM3 function of libtzvcrypto: null arrays fail every lane with
// 2, a null pointer in a lane fails that lane with 2, a negative length, other bad lengths and bad
// parameters fail their lane with 1 and calls out of order every lane with 1, while the other lanes
// go on.
#include <gtest/gtest.h>

#include <type_traits>
#include <utility>
#include <vector>

#include "tzv_sm_lanes.h"

namespace {

using smlanes::kLanes;

// A valid lane of every function: 64 bytes of text (announced to CCM), 16-byte IVs (12 given to GCM
// and CCM), keys whose XTS halves differ (set by Args), 16-byte tags.
smlanes::Lane validLane()
{
    smlanes::Lane l;
    l.key = smlanes::Bytes(32), l.iv = smlanes::Bytes(16), l.in = smlanes::Bytes(64), l.tagLen = 16;
    return l;
}

// Each array passes through arg(), which can pass it as null, or null one lane of it, when the call
// under test is armed.
struct Args : smlanes::Calls {
    tzv_sm4_key_schedule rk{}, rk2{};
    tzv_sm4_gcm_ctx_mb16 gcm{};
    tzv_sm4_ccm_ctx_mb16 ccm{};
    tzv_sm3_ctx_mb16 sm3{};

    bool armed = false, usesLen = false;
    int seen = 0, nullArg = -1, nullLaneArg = -1, nullLane = 0;
    std::vector<bool> laneArray; // per argument of the armed call: an array of lane pointers

    Args() : Calls(std::vector<smlanes::Lane>(kLanes, validLane()))
    {
        for (int i = 0; i < kLanes; ++i) key[i][0] = (uint8_t)i, key[i][16] = (uint8_t)~i, ivLen[i] = 12;
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
    const uint8_t** civ() { return const_cast<const uint8_t**>(ivP); }
    const tzv_sm4_xts_key** xtsKeys() { return reinterpret_cast<const tzv_sm4_xts_key**>(keyP); }
    // fn called with every argument passed through arg().
    template <typename Fn, typename... P>
    tzv_status16 pass(Fn fn, P*... p) { return fn(arg(p)...); }
};

enum Op {
    SetKey, XtsKeys, EcbE, EcbD, CbcE, CbcD, CfbE, CfbD, OfbE, OfbD, CtrE, CtrD, XtsE, XtsD,
    GcmInit, GcmAad, GcmE, GcmD, GcmTag, CcmInit, CcmAad, CcmE, CcmD, CcmTag,
    Sm3Init, Sm3Update, Sm3Final, Sm3Digest, kOpCount
};

// Every function in the order of Op, with the calls that put its schedule or context in the state
// it needs.
const struct {
    const char* name;
    std::vector<Op> setUp;
    tzv_status16 (*call)(Args&);
} kOps[kOpCount] = {
    {"set_key", {}, [](Args& a) { return a.pass(tzv_sm4_set_key_mb16, &a.rk, a.keys()); }},
    {"xts_set_keys", {}, [](Args& a) { return a.pass(tzv_sm4_xts_set_keys_mb16, &a.rk, &a.rk2, a.xtsKeys()); }},
    {"encrypt_ecb", {SetKey}, [](Args& a) { return a.pass(tzv_sm4_encrypt_ecb_mb16, a.outP, a.inP, a.len, &a.rk); }},
    {"decrypt_ecb", {SetKey}, [](Args& a) { return a.pass(tzv_sm4_decrypt_ecb_mb16, a.outP, a.inP, a.len, &a.rk); }},
    {"encrypt_cbc", {SetKey}, [](Args& a) { return a.pass(tzv_sm4_encrypt_cbc_mb16, a.outP, a.inP, a.len, &a.rk, a.civ()); }},
    {"decrypt_cbc", {SetKey}, [](Args& a) { return a.pass(tzv_sm4_decrypt_cbc_mb16, a.outP, a.inP, a.len, &a.rk, a.civ()); }},
    {"encrypt_cfb128", {SetKey},
     [](Args& a) { return a.pass(tzv_sm4_encrypt_cfb128_mb16, a.outP, a.inP, a.len, &a.rk, a.civ()); }},
    {"decrypt_cfb128", {SetKey},
     [](Args& a) { return a.pass(tzv_sm4_decrypt_cfb128_mb16, a.outP, a.inP, a.len, &a.rk, a.civ()); }},
    {"encrypt_ofb", {SetKey}, [](Args& a) { return a.pass(tzv_sm4_encrypt_ofb_mb16, a.outP, a.inP, a.len, &a.rk, a.ivP); }},
    {"decrypt_ofb", {SetKey}, [](Args& a) { return a.pass(tzv_sm4_decrypt_ofb_mb16, a.outP, a.inP, a.len, &a.rk, a.ivP); }},
    {"encrypt_ctr128", {SetKey},
     [](Args& a) { return a.pass(tzv_sm4_encrypt_ctr128_mb16, a.outP, a.inP, a.len, &a.rk, a.ivP); }},
    {"decrypt_ctr128", {SetKey},
     [](Args& a) { return a.pass(tzv_sm4_decrypt_ctr128_mb16, a.outP, a.inP, a.len, &a.rk, a.ivP); }},
    {"xts_encrypt", {XtsKeys},
     [](Args& a) { return a.pass(tzv_sm4_xts_encrypt_mb16, a.outP, a.inP, a.len, &a.rk, &a.rk2, a.civ()); }},
    {"xts_decrypt", {XtsKeys},
     [](Args& a) { return a.pass(tzv_sm4_xts_decrypt_mb16, a.outP, a.inP, a.len, &a.rk, &a.rk2, a.civ()); }},
    {"gcm_init", {}, [](Args& a) { return a.pass(tzv_sm4_gcm_init_mb16, a.keys(), a.civ(), a.ivLen, &a.gcm); }},
    {"gcm_update_aad", {GcmInit}, [](Args& a) { return a.pass(tzv_sm4_gcm_update_aad_mb16, a.inP, a.len, &a.gcm); }},
    {"gcm_encrypt", {GcmInit}, [](Args& a) { return a.pass(tzv_sm4_gcm_encrypt_mb16, a.outP, a.inP, a.len, &a.gcm); }},
    {"gcm_decrypt", {GcmInit}, [](Args& a) { return a.pass(tzv_sm4_gcm_decrypt_mb16, a.outP, a.inP, a.len, &a.gcm); }},
    {"gcm_get_tag", {GcmInit}, [](Args& a) { return a.pass(tzv_sm4_gcm_get_tag_mb16, a.outP, a.tagLen, &a.gcm); }},
    {"ccm_init", {},
     [](Args& a) { return a.pass(tzv_sm4_ccm_init_mb16, a.keys(), a.civ(), a.ivLen, a.tagLen, a.total, &a.ccm); }},
    {"ccm_update_aad", {CcmInit}, [](Args& a) { return a.pass(tzv_sm4_ccm_update_aad_mb16, a.inP, a.len, &a.ccm); }},
    {"ccm_encrypt", {CcmInit}, [](Args& a) { return a.pass(tzv_sm4_ccm_encrypt_mb16, a.outP, a.inP, a.len, &a.ccm); }},
    {"ccm_decrypt", {CcmInit}, [](Args& a) { return a.pass(tzv_sm4_ccm_decrypt_mb16, a.outP, a.inP, a.len, &a.ccm); }},
    {"ccm_get_tag", {CcmInit, CcmE}, [](Args& a) { return a.pass(tzv_sm4_ccm_get_tag_mb16, a.outP, a.tagLen, &a.ccm); }},
    {"sm3_init", {}, [](Args& a) { return a.pass(tzv_sm3_init_mb16, &a.sm3); }},
    {"sm3_update", {Sm3Init}, [](Args& a) { return a.pass(tzv_sm3_update_mb16, a.inP, a.len, &a.sm3); }},
    {"sm3_final", {Sm3Init}, [](Args& a) { return a.pass(tzv_sm3_final_mb16, a.outP, &a.sm3); }},
    {"sm3_msg_digest", {}, [](Args& a) { return a.pass(tzv_sm3_msg_digest_mb16, a.inP, a.len, a.outP); }},
};

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
        tzv_status16 sts = kOps[s].call(a);
        if (checkSetUp) { EXPECT_EQ(sts, 0u) << "set-up call " << kOps[s].name; }
    }
    a.armed = true;
    return kOps[op].call(a);
}

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
    {"negative length and null", {SetKey}, {CtrD}, [](Args& a) { a.len[9] = -1, a.outP[9] = nullptr; }, lanes({{9, 3}})},
    {"XTS below one block, above 2^24", {XtsKeys}, {XtsE, XtsD},
     [](Args& a) { a.len[6] = 15, a.len[7] = (1 << 24) + 1, a.len[10] = 0; }, lanes({{6, 1}, {7, 1}, {10, 1}})},
    {"GCM IV of length 0", {}, {GcmInit}, [](Args& a) { a.ivLen[2] = 0, a.ivLen[3] = -12; }, lanes({{2, 1}, {3, 1}})},
    {"a lane that failed init", {GcmInit}, {GcmE}, [](Args& a) { a.ivLen[4] = 0; }, lanes({{4, 1}})},
    {"GCM tag lengths", {GcmInit}, {GcmTag},
     [](Args& a) { a.tagLen[1] = 11, a.tagLen[2] = 17, a.tagLen[3] = 3, a.tagLen[4] = 0; },
     lanes({{1, 1}, {2, 1}, {3, 1}, {4, 1}})},
    {"CCM nonce, tag and announced lengths", {}, {CcmInit}, [](Args& a) {
         a.ivLen[1] = 6, a.ivLen[2] = 14, a.tagLen[4] = 5, a.tagLen[5] = 18, a.tagLen[6] = 2;
         a.ivLen[7] = 13, a.total[7] = 1 << 16; // a 2-byte length field
         a.ivLen[8] = 13, a.total[8] = 0xFFFF;  // fits
     },
     lanes({{1, 1}, {2, 1}, {4, 1}, {5, 1}, {6, 1}, {7, 1}})},
    {"a lane that failed init", {CcmInit}, {CcmAad}, [](Args& a) { a.tagLen[9] = 7; }, lanes({{9, 1}})},
    {"beyond the announced length", {CcmInit}, {CcmE, CcmD}, [](Args& a) { a.len[12] = 65, a.total[14] = 63; },
     lanes({{12, 1}, {14, 1}})},
    {"short of the announced length", {CcmInit, CcmE}, {CcmTag}, [](Args& a) { a.total[3] = 65; }, lanes({{3, 1}})},
    {"negative length and null", {}, {Sm3Digest}, [](Args& a) { a.len[5] = -1, a.len[11] = -3, a.inP[11] = nullptr; },
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

TEST(SmBadLanes, NullArraysFailEveryLaneNullLanesAndNegativeLengthsOnlyTheirOwn)
{
    for (int o = 0; o < kOpCount; ++o) {
        const Op op = (Op)o;
        SCOPED_TRACE(kOps[op].name);
        Args valid;
        ASSERT_EQ(runArmed(op, valid, kOps[op].setUp, true), 0u);
        ASSERT_GT(valid.seen, 0);
        if (valid.usesLen) {
            Args n;
            n.len[o % kLanes] = -1;
            EXPECT_EQ(runArmed(op, n, kOps[op].setUp, false), lanes({{o % kLanes, 1}})) << "negative length";
        }
        for (int k = 0; k < valid.seen; ++k) {
            Args a;
            a.nullArg = k;
            EXPECT_EQ(runArmed(op, a, kOps[op].setUp, false), all(2)) << "argument " << k << " null";
            if (!valid.laneArray[(std::size_t)k]) continue;
            Args b;
            b.nullLaneArg = k, b.nullLane = (3 * o + k) % kLanes;
            EXPECT_EQ(runArmed(op, b, kOps[op].setUp, false), lanes({{b.nullLane, 2}}))
                << "argument " << k << " null in lane " << b.nullLane;
        }
    }
}

TEST(SmBadLanes, BadLengthsParametersAndOrderGiveTheirStatus)
{
    for (const BadCase& c : kBadCases) {
        for (Op op : c.ops) {
            Args a;
            if (c.bad) c.bad(a);
            EXPECT_EQ(runArmed(op, a, c.before, false), c.expect) << kOps[op].name << ": " << c.what;
        }
    }
}
