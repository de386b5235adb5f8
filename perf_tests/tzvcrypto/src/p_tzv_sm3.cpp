// SM3 tests of the multi-buffer library: the streaming update and the one-call digest, 16 lanes
// per call, every lane hashing the one message. The figure is clocks per byte (a call's clocks over
// 16 x length).
#include "ky_tzv_wrappers.h"
#include "ps_malloc.h"
#include "ps_parameter.h"
#include "tzvcrypto.h"

// The message length of every lane.
static psIterator<int> length;

class TimSM3_TZV : public kytzvTest {
public:
    using kytzvTest::kytzvTest;

    bool canStart() override
    {
        static const int values[] = {16, 64, 128, 256, 1024, 2048, 3072, 4096, 8192, 16384, 32768};
        regParm(length);
        length.reset();
        length.init("length");
        for (int v : values) length.add(v);
        return true;
    }
    bool initData() override;
    void flushData() override;
    double getDivisor() override { return 16.0 * length.value(); }
    psString getUnit() override { return "e"; }
};

KY_REG_KYN_ENVIRONMENT()

// ---- file-scope data ----
static int8u* msg;
static tzv_sm3_ctx_mb16* state;
// All 16 digests land here; nothing reads them.
static int8u digest[32];

static const int8u* msg_lanes[16];
static int len[16];
static int8u* digest_lanes[16] = {digest, digest, digest, digest, digest, digest, digest, digest,
                                  digest, digest, digest, digest, digest, digest, digest, digest};

// ---- the two tests, in registration order ----

// The update runs on states set up once per length and never finalised: each call goes on hashing.
KY_TZV_TEST_MB16(TimSM3_TZV, tzv_sm3_update_mb16, (msg_lanes, len, state))
KY_TZV_TEST_MB16(TimSM3_TZV, tzv_sm3_msg_digest_mb16, (msg_lanes, len, digest_lanes))
KY_TZV_NEEDS(TimSM3_TZV, KY_TZV_FN(tzv_sm3_init_mb16))

bool TimSM3_TZV::initData()
{
    int n = length.value();
    msg = static_cast<int8u*>(psMalloc(n));
    state = static_cast<tzv_sm3_ctx_mb16*>(psMalloc(sizeof(tzv_sm3_ctx_mb16)));
    if (!acceptBuffers(msg && state)) return false;
    if (!acceptCpu(kyUnsupportedCpu16(tzv_sm3_init_mb16(state)))) return false;
    for (int i = 0; i < 16; ++i) {
        msg_lanes[i] = msg;
        len[i] = n;
    }
    return true;
}

void TimSM3_TZV::flushData()
{
    psFree(msg);
    psFree(state);
    msg = nullptr;
    state = nullptr;
}
