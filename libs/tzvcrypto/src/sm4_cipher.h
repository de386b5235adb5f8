// The SM4 block cipher (GB/T 32907): key schedule and block encryption, and the block-cipher
// object the generic mode code (block_modes.h) runs on.
#ifndef TZV_SM4_CIPHER_H
#define TZV_SM4_CIPHER_H

#include <cstddef>
#include <cstdint>

#include "tzvcrypto.h"

namespace tzv {
namespace sm4 {

constexpr int kRounds = 32;
constexpr int kLanes = 16;
constexpr std::size_t kBlockSize = 16;

// Expands a 128-bit key into the 32 round keys, in encryption order.
void expandKey(const uint8_t key[16], uint32_t rk[kRounds]);

// Runs the 32 rounds with the round keys in the order given (reversed keys decrypt) over `blocks`
// consecutive 16-byte blocks; in and out may be the same buffer.
void cryptBlocks(const uint32_t rk[kRounds], const uint8_t* in, uint8_t* out, std::size_t blocks);

// Writes one lane's round keys into (or reads them from) the lane-interleaved schedule.
void storeLane(tzv_sm4_key_schedule& schedule, int lane, const uint32_t rk[kRounds]);
void loadLane(const tzv_sm4_key_schedule& schedule, int lane, uint32_t rk[kRounds]);

// SM4 under one key, both directions: the block-cipher interface of block_modes.h.
class Cipher {
public:
    void setKey(const uint8_t key[16]);
    void setRoundKeys(const uint32_t rk[kRounds]);
    void loadLane(const tzv_sm4_key_schedule& schedule, int lane);

    void encryptBlocks(const uint8_t* in, uint8_t* out, std::size_t blocks) const
    {
        cryptBlocks(m_enc, in, out, blocks);
    }
    void decryptBlocks(const uint8_t* in, uint8_t* out, std::size_t blocks) const
    {
        cryptBlocks(m_dec, in, out, blocks);
    }

private:
    uint32_t m_enc[kRounds];
    uint32_t m_dec[kRounds];
};

// SM4 encryption only, over round keys kept elsewhere (a GCM or CCM context): nothing is copied.
class Encryptor {
public:
    explicit Encryptor(const uint32_t* rk) : m_rk(rk) {}
    void encryptBlocks(const uint8_t* in, uint8_t* out, std::size_t blocks) const
    {
        cryptBlocks(m_rk, in, out, blocks);
    }

private:
    const uint32_t* m_rk;
};

} // namespace sm4
} // namespace tzv

#endif
