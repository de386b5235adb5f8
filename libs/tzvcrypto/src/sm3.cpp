// SM3 (GB/T 32905) over 16 lanes: the streaming init / update / final functions on a context and
// the one-call digest. Argument checks and the buffering of unfinished blocks are here; the lanes'
// blocks go through the SM3 kernels of the code path together.
#include <cstring>

#include "sm/kernels.h"
#include "tzv_lanes.h"

using namespace tzv;

namespace {

constexpr int kLanes = 16;
constexpr std::size_t kBlock = 64;
// SM3 hashes messages below 2^64 bits.
constexpr uint64_t kMaxBytes = (1ull << 61) - 1;

constexpr uint32_t kIv[8] = {0x7380166fu, 0x4914b2b9u, 0x172442d7u, 0xda8a0600u,
                             0xa96f30bcu, 0x163138aau, 0xe38dee4du, 0xb0fb0e4eu};

// Marks a context that tzv_sm3_init_mb16 has set up; any other content is "not initialised".
constexpr uint32_t kSm3Magic = 0x334d5334u; // "4SM3"

void initLanes(uint32_t v[8][16])
{
    for (int k = 0; k < 8; ++k)
        for (int i = 0; i < kLanes; ++i) v[k][i] = kIv[k];
}

} // namespace

TZV_EXPORT tzv_status16 tzv_sm3_init_mb16(tzv_sm3_ctx_mb16* ctx)
{
    if (!ctx) return Status16::all(TZV_STS_NULL_PARAM);
    sm::Sm3Lanes* s = stateOf<sm::Sm3Lanes>(ctx);
    s->magic = kSm3Magic;
    initLanes(s->v);
    for (int i = 0; i < kLanes; ++i) {
        s->bytes[i] = 0;
        s->ready[i] = 1;
    }
    return TZV_STS_OK;
}

TZV_EXPORT tzv_status16 tzv_sm3_update_mb16(const int8u* const msg[16], int len[16], tzv_sm3_ctx_mb16* ctx)
{
    if (!ctx || !msg || !len) return Status16::all(TZV_STS_NULL_PARAM);
    sm::Sm3Lanes* s = stateOf<sm::Sm3Lanes>(ctx);
    if (s->magic != kSm3Magic) return Status16::all(TZV_STS_BAD_PARAM);
    Status16 sts;
    // First the lanes' unfinished blocks, then their whole blocks straight from the message.
    const uint8_t* bufs[16];
    const uint8_t* rest[16];
    long bufBlocks[16], msgBlocks[16];
    std::size_t tailBytes[16];
    bool anyBuf = false, anyMsg = false;
    for (int i = 0; i < kLanes; ++i) {
        unsigned st = 0;
        if (!msg[i]) st |= TZV_STS_NULL_PARAM;
        if (len[i] < 0 || !s->ready[i] || (uint64_t)len[i] > kMaxBytes - s->bytes[i]) st |= TZV_STS_BAD_PARAM;
        sts.set(i, st);
        bufs[i] = s->buf[i], rest[i] = msg[i];
        bufBlocks[i] = msgBlocks[i] = 0;
        tailBytes[i] = 0;
        if (st) continue;
        std::size_t used = s->bytes[i] % kBlock, n = (std::size_t)len[i];
        s->bytes[i] += n;
        if (used) {
            std::size_t take = kBlock - used < n ? kBlock - used : n;
            std::memcpy(s->buf[i] + used, msg[i], take);
            rest[i] += take, n -= take;
            if (used + take < kBlock) continue;
            bufBlocks[i] = 1, anyBuf = true;
        }
        msgBlocks[i] = (long)(n / kBlock);
        tailBytes[i] = n % kBlock;
        anyMsg |= msgBlocks[i] > 0;
    }
    const sm::Kernels& k = sm::kernels();
    if (anyBuf) k.sm3Blocks(s->v, bufs, bufBlocks);
    if (anyMsg) k.sm3Blocks(s->v, rest, msgBlocks);
    // The new unfinished blocks, once the old ones are compressed.
    for (int i = 0; i < kLanes; ++i)
        if (tailBytes[i]) std::memcpy(s->buf[i], rest[i] + msgBlocks[i] * kBlock, tailBytes[i]);
    return sts.word();
}

TZV_EXPORT tzv_status16 tzv_sm3_final_mb16(int8u* hash[16], tzv_sm3_ctx_mb16* ctx)
{
    if (!ctx || !hash) return Status16::all(TZV_STS_NULL_PARAM);
    sm::Sm3Lanes* s = stateOf<sm::Sm3Lanes>(ctx);
    if (s->magic != kSm3Magic) return Status16::all(TZV_STS_BAD_PARAM);
    Status16 sts;
    const uint8_t* tails[16];
    int tailLen[16];
    sm::LaneBits run = 0;
    for (int i = 0; i < kLanes; ++i) {
        unsigned st = 0;
        if (!hash[i]) st |= TZV_STS_NULL_PARAM;
        if (!s->ready[i]) st |= TZV_STS_BAD_PARAM;
        sts.set(i, st);
        tails[i] = s->buf[i];
        tailLen[i] = st ? 0 : (int)(s->bytes[i] % kBlock);
        if (st) continue;
        run |= (sm::LaneBits)(1u << i);
        s->ready[i] = 0;
    }
    if (run) sm::kernels().sm3Final(s->v, tails, tailLen, s->bytes, run, hash);
    return sts.word();
}

TZV_EXPORT tzv_status16 tzv_sm3_msg_digest_mb16(const int8u* const msg[16], int len[16], int8u* hash[16])
{
    if (!msg || !len || !hash) return Status16::all(TZV_STS_NULL_PARAM);
    Status16 sts;
    const uint8_t* tails[16];
    long blocks[16];
    int tailLen[16];
    uint64_t total[16];
    sm::LaneBits run = 0;
    for (int i = 0; i < kLanes; ++i) {
        unsigned st = 0;
        if (!msg[i] || !hash[i]) st |= TZV_STS_NULL_PARAM;
        if (len[i] < 0) st |= TZV_STS_BAD_PARAM;
        sts.set(i, st);
        int n = st ? 0 : len[i];
        blocks[i] = n / (int)kBlock;
        tailLen[i] = n % (int)kBlock;
        total[i] = (uint64_t)n;
        tails[i] = st ? nullptr : msg[i] + blocks[i] * (long)kBlock;
        if (!st) run |= (sm::LaneBits)(1u << i);
    }
    if (!run) return sts.word();
    alignas(64) uint32_t v[8][16];
    initLanes(v);
    const sm::Kernels& k = sm::kernels();
    k.sm3Blocks(v, msg, blocks);
    k.sm3Final(v, tails, tailLen, total, run, hash);
    return sts.word();
}
