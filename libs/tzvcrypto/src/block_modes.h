// The block-cipher modes of operation, written once over any 128-bit block cipher so that the
// same code runs SM4 in the library and AES in the tests (against the NIST vectors).
//
// A block cipher here is any object with
//     void encryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks) const;
//     void decryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks) const;  (ECB, CBC, XTS)
// working on consecutive 16-byte blocks, in place allowed. Every function works on one lane; the
// callers check lengths and pointers first. No function allocates: scratch space is a few blocks
// on the stack.
#ifndef TZV_BLOCK_MODES_H
#define TZV_BLOCK_MODES_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tzv {
namespace modes {

constexpr std::size_t kBlock = 16;
// Blocks handed to the cipher at once in the modes whose blocks are independent.
constexpr std::size_t kBatch = 8;

inline void xorBlock(uint8_t* out, const uint8_t* a, const uint8_t* b, std::size_t n = kBlock)
{
    for (std::size_t i = 0; i < n; ++i) out[i] = a[i] ^ b[i];
}

inline uint64_t loadBe64(const uint8_t* p)
{
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v = (v << 8) | p[i];
    return v;
}
inline void storeBe64(uint8_t* p, uint64_t v)
{
    for (int i = 7; i >= 0; --i, v >>= 8) p[i] = (uint8_t)v;
}
inline uint64_t loadLe64(const uint8_t* p)
{
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}
inline void storeLe64(uint8_t* p, uint64_t v)
{
    for (int i = 0; i < 8; ++i, v >>= 8) p[i] = (uint8_t)v;
}

// Adds one to the big-endian integer in the last `width` bytes of the block (CTR: all 16 bytes;
// GCM: the last 4; CCM: the last q).
inline void incrementCounter(uint8_t block[kBlock], std::size_t width)
{
    for (std::size_t i = kBlock; i > kBlock - width;) {
        if (++block[--i] != 0) break;
    }
}

// ---- ECB, CBC, CFB128, OFB, CTR128 -------------------------------------------------------------

template <class Cipher>
void ecbEncrypt(const Cipher& c, const uint8_t* in, uint8_t* out, std::size_t len)
{
    c.encryptBlocks(in, out, len / kBlock);
}

template <class Cipher>
void ecbDecrypt(const Cipher& c, const uint8_t* in, uint8_t* out, std::size_t len)
{
    c.decryptBlocks(in, out, len / kBlock);
}

// len is a multiple of 16.
template <class Cipher>
void cbcEncrypt(const Cipher& c, const uint8_t iv[kBlock], const uint8_t* in, uint8_t* out,
                std::size_t len)
{
    uint8_t x[kBlock];
    std::memcpy(x, iv, kBlock);
    for (std::size_t off = 0; off + kBlock <= len; off += kBlock) {
        xorBlock(x, x, in + off);
        c.encryptBlocks(x, x, 1);
        std::memcpy(out + off, x, kBlock);
    }
}

template <class Cipher>
void cbcDecrypt(const Cipher& c, const uint8_t iv[kBlock], const uint8_t* in, uint8_t* out,
                std::size_t len)
{
    // The cipher text is copied before decrypting so that in == out works.
    uint8_t prev[kBlock], ct[kBatch * kBlock], pt[kBatch * kBlock];
    std::memcpy(prev, iv, kBlock);
    std::size_t blocks = len / kBlock;
    while (blocks > 0) {
        std::size_t n = blocks < kBatch ? blocks : kBatch;
        std::memcpy(ct, in, n * kBlock);
        c.decryptBlocks(ct, pt, n);
        xorBlock(out, pt, prev);
        xorBlock(out + kBlock, pt + kBlock, ct, (n - 1) * kBlock);
        std::memcpy(prev, ct + (n - 1) * kBlock, kBlock);
        in += n * kBlock, out += n * kBlock, blocks -= n;
    }
}

// CFB with 128-bit feedback; a partial last block uses the head of its key stream block.
template <class Cipher>
void cfb128Encrypt(const Cipher& c, const uint8_t iv[kBlock], const uint8_t* in, uint8_t* out,
                   std::size_t len)
{
    uint8_t x[kBlock];
    std::memcpy(x, iv, kBlock);
    for (std::size_t off = 0; off < len; off += kBlock) {
        std::size_t n = len - off < kBlock ? len - off : kBlock;
        c.encryptBlocks(x, x, 1);
        xorBlock(x, x, in + off, n);
        std::memcpy(out + off, x, n);
    }
}

template <class Cipher>
void cfb128Decrypt(const Cipher& c, const uint8_t iv[kBlock], const uint8_t* in, uint8_t* out,
                   std::size_t len)
{
    // Every key stream block is the encryption of the previous cipher text block, all known
    // up front: decryption runs in batches.
    uint8_t feed[kBatch * kBlock], ks[kBatch * kBlock];
    std::memcpy(feed, iv, kBlock);
    while (len > 0) {
        std::size_t bytes = len < kBatch * kBlock ? len : kBatch * kBlock;
        std::size_t n = (bytes + kBlock - 1) / kBlock;
        // feed[0] is already set; the rest are this batch's cipher text blocks but the last.
        std::memcpy(feed + kBlock, in, (n - 1) * kBlock);
        c.encryptBlocks(feed, ks, n);
        if (bytes == kBatch * kBlock) std::memcpy(feed, in + bytes - kBlock, kBlock);
        xorBlock(out, ks, in, bytes);
        in += bytes, out += bytes, len -= bytes;
    }
}

// OFB: iv becomes the last output block of the cipher (the feedback register).
template <class Cipher>
void ofb(const Cipher& c, uint8_t iv[kBlock], const uint8_t* in, uint8_t* out, std::size_t len)
{
    for (std::size_t off = 0; off < len; off += kBlock) {
        std::size_t n = len - off < kBlock ? len - off : kBlock;
        c.encryptBlocks(iv, iv, 1);
        xorBlock(out + off, in + off, iv, n);
    }
}

// CTR with a 128-bit big-endian counter; ctr ends as the first counter not used (a partial last
// block uses up its counter).
template <class Cipher>
void ctr128(const Cipher& c, uint8_t ctr[kBlock], const uint8_t* in, uint8_t* out, std::size_t len)
{
    uint8_t ks[kBatch * kBlock];
    while (len > 0) {
        std::size_t bytes = len < kBatch * kBlock ? len : kBatch * kBlock;
        std::size_t n = (bytes + kBlock - 1) / kBlock;
        for (std::size_t i = 0; i < n; ++i) {
            std::memcpy(ks + i * kBlock, ctr, kBlock);
            incrementCounter(ctr, kBlock);
        }
        c.encryptBlocks(ks, ks, n);
        xorBlock(out, in, ks, bytes);
        in += bytes, out += bytes, len -= bytes;
    }
}

// ---- XTS (IEEE 1619) ---------------------------------------------------------------------------

// Multiplies the tweak by the primitive element alpha of GF(2^128), little-endian convention.
inline void xtsNextTweak(uint8_t t[kBlock])
{
    uint64_t lo = loadLe64(t), hi = loadLe64(t + 8);
    uint64_t carry = hi >> 63;
    hi = (hi << 1) | (lo >> 63);
    lo = (lo << 1) ^ (0x87 & (0 - carry));
    storeLe64(t, lo);
    storeLe64(t + 8, hi);
}

// Encrypts or decrypts (`encrypt`) a data unit of len >= 16 bytes; a partial last block is
// handled by cipher text stealing. dataCipher holds key 1, tweakCipher key 2; the tweak is the
// 16-byte data unit number as given.
template <class DataCipher, class TweakCipher>
void xts(const DataCipher& dataCipher, const TweakCipher& tweakCipher, const uint8_t tweak[kBlock],
         const uint8_t* in, uint8_t* out, std::size_t len, bool encrypt)
{
    uint8_t t[kBlock];
    tweakCipher.encryptBlocks(tweak, t, 1);

    std::size_t tail = len % kBlock;
    // With stealing the last full block goes with the partial one.
    std::size_t plain = len / kBlock - (tail ? 1 : 0);

    uint8_t tw[kBatch * kBlock], buf[kBatch * kBlock];
    while (plain > 0) {
        std::size_t n = plain < kBatch ? plain : kBatch;
        for (std::size_t i = 0; i < n; ++i) {
            std::memcpy(tw + i * kBlock, t, kBlock);
            xtsNextTweak(t);
        }
        xorBlock(buf, in, tw, n * kBlock);
        if (encrypt)
            dataCipher.encryptBlocks(buf, buf, n);
        else
            dataCipher.decryptBlocks(buf, buf, n);
        xorBlock(out, buf, tw, n * kBlock);
        in += n * kBlock, out += n * kBlock, plain -= n;
    }
    if (!tail) return;

    // t is the tweak of the last full block; the partial block's tweak follows it. Encryption
    // uses them in order, decryption the other way round.
    uint8_t tLast[kBlock];
    std::memcpy(tLast, t, kBlock);
    xtsNextTweak(tLast);
    const uint8_t* first = encrypt ? t : tLast;
    const uint8_t* second = encrypt ? tLast : t;

    uint8_t cc[kBlock], pp[kBlock], partial[kBlock];
    std::memcpy(partial, in + kBlock, tail); // read before out may overwrite it
    xorBlock(cc, in, first);
    if (encrypt)
        dataCipher.encryptBlocks(cc, cc, 1);
    else
        dataCipher.decryptBlocks(cc, cc, 1);
    xorBlock(cc, cc, first);
    // The partial output block is the head of cc; its tail fills up the partial input.
    std::memcpy(pp, partial, tail);
    std::memcpy(pp + tail, cc + tail, kBlock - tail);
    std::memcpy(out + kBlock, cc, tail);
    xorBlock(pp, pp, second);
    if (encrypt)
        dataCipher.encryptBlocks(pp, pp, 1);
    else
        dataCipher.decryptBlocks(pp, pp, 1);
    xorBlock(out, pp, second);
}

// ---- GHASH and GCM (NIST SP 800-38D) -----------------------------------------------------------

// Multiples of the hash key H by the 16 four-bit values, for Shoup's table method. It is built
// per call from H (a few dozen shifts), so a context keeps only H.
struct GhashTable {
    uint64_t hi[16];
    uint64_t lo[16];

    void init(const uint8_t h[kBlock])
    {
        uint64_t vh = loadBe64(h), vl = loadBe64(h + 8);
        hi[0] = lo[0] = 0;
        hi[8] = vh, lo[8] = vl;
        for (int i = 4; i > 0; i >>= 1) {
            // One step towards x^-1: the bit order of GCM is reflected.
            uint64_t t = 0xe100000000000000ull & (0 - (vl & 1));
            vl = (vh << 63) | (vl >> 1);
            vh = (vh >> 1) ^ t;
            hi[i] = vh, lo[i] = vl;
        }
        for (int i = 2; i < 16; i <<= 1) {
            for (int j = 1; j < i; ++j) {
                hi[i + j] = hi[i] ^ hi[j];
                lo[i + j] = lo[i] ^ lo[j];
            }
        }
    }

    // x = x * H in GF(2^128).
    void multiply(uint8_t x[kBlock]) const
    {
        static constexpr uint64_t kRem[16] = {
            0x0000ull << 48, 0x1C20ull << 48, 0x3840ull << 48, 0x2460ull << 48,
            0x7080ull << 48, 0x6CA0ull << 48, 0x48C0ull << 48, 0x54E0ull << 48,
            0xE100ull << 48, 0xFD20ull << 48, 0xD940ull << 48, 0xC560ull << 48,
            0x9180ull << 48, 0x8DA0ull << 48, 0xA9C0ull << 48, 0xB5E0ull << 48,
        };
        unsigned nlo = x[15] & 0xf, nhi = x[15] >> 4;
        uint64_t zh = hi[nlo], zl = lo[nlo];
        for (int cnt = 15;;) {
            unsigned rem = (unsigned)zl & 0xf;
            zl = (zh << 60) | (zl >> 4);
            zh = (zh >> 4) ^ kRem[rem] ^ hi[nhi];
            zl ^= lo[nhi];
            if (--cnt < 0) break;
            nlo = x[cnt] & 0xf, nhi = x[cnt] >> 4;
            rem = (unsigned)zl & 0xf;
            zl = (zh << 60) | (zl >> 4);
            zh = (zh >> 4) ^ kRem[rem] ^ hi[nlo];
            zl ^= lo[nlo];
        }
        storeBe64(x, zh);
        storeBe64(x + 8, zl);
    }

    // Folds whole blocks into x.
    void absorb(uint8_t x[kBlock], const uint8_t* data, std::size_t blocks) const
    {
        for (; blocks > 0; --blocks, data += kBlock) {
            xorBlock(x, x, data);
            multiply(x);
        }
    }
};

// Where a GCM or CCM lane is in its call sequence.
enum class AeadPhase : uint8_t { None = 0, Ready = 1, Aad = 2, Text = 3, Done = 4 };

// One lane's GCM state between calls. Partial blocks need no buffer: their bytes are XOR-ed into
// xi as they come, and the byte counts tell how far the current block is filled.
struct GcmState {
    uint8_t h[kBlock];    // hash key E(0)
    uint8_t ekJ0[kBlock]; // E(J0), masks the tag
    uint8_t xi[kBlock];   // running GHASH
    uint8_t ctr[kBlock];  // next counter block
    uint8_t ks[kBlock];   // key stream of a partly used block
    uint64_t aadLen;      // bytes
    uint64_t textLen;     // bytes
    AeadPhase phase;
};

// SP 800-38D limits: plain text at most 2^39 - 256 bits, additional data below 2^64 bits.
constexpr uint64_t kGcmMaxText = (1ull << 36) - 32;
constexpr uint64_t kGcmMaxAad = (1ull << 61) - 1;

// Tag lengths SP 800-38D allows, in bytes.
inline bool gcmTagLengthValid(long n) { return n == 4 || n == 8 || (n >= 12 && n <= 16); }

// Starts a message under the cipher's key with an IV of ivLen > 0 bytes; false for a bad length.
template <class Cipher>
bool gcmInit(GcmState& st, const Cipher& c, const uint8_t* iv, std::size_t ivLen)
{
    if (ivLen == 0 || ivLen > (1ull << 61) - 1) return false;
    std::memset(&st, 0, sizeof st);
    c.encryptBlocks(st.h, st.h, 1);
    uint8_t j0[kBlock] = {0};
    if (ivLen == 12) {
        std::memcpy(j0, iv, 12);
        j0[15] = 1;
    } else {
        GhashTable tab;
        tab.init(st.h);
        tab.absorb(j0, iv, ivLen / kBlock);
        std::size_t rest = ivLen % kBlock;
        if (rest) {
            xorBlock(j0, j0, iv + ivLen - rest, rest);
            tab.multiply(j0);
        }
        uint8_t lens[kBlock] = {0};
        storeBe64(lens + 8, (uint64_t)ivLen * 8);
        tab.absorb(j0, lens, 1);
    }
    c.encryptBlocks(j0, st.ekJ0, 1);
    std::memcpy(st.ctr, j0, kBlock);
    incrementCounter(st.ctr, 4);
    st.phase = AeadPhase::Ready;
    return true;
}

// Adds additional data; may be called again while no text has been given. False when out of
// order or over the limit (the state is then unchanged).
inline bool gcmAad(GcmState& st, const GhashTable& tab, const uint8_t* aad, std::size_t len)
{
    if (st.phase != AeadPhase::Ready && st.phase != AeadPhase::Aad) return false;
    if (len > kGcmMaxAad - st.aadLen) return false;
    st.phase = AeadPhase::Aad;
    std::size_t used = st.aadLen % kBlock;
    st.aadLen += len;
    if (used) {
        std::size_t n = kBlock - used < len ? kBlock - used : len;
        xorBlock(st.xi + used, st.xi + used, aad, n);
        aad += n, len -= n;
        if (used + n < kBlock) return true;
        tab.multiply(st.xi);
    }
    tab.absorb(st.xi, aad, len / kBlock);
    aad += len - len % kBlock;
    xorBlock(st.xi, st.xi, aad, len % kBlock);
    return true;
}

// Encrypts or decrypts len bytes; may be called again, with any lengths. False when out of order
// or over the limit (the state is then unchanged).
template <class Cipher>
bool gcmCrypt(GcmState& st, const Cipher& c, const GhashTable& tab, const uint8_t* in, uint8_t* out,
              std::size_t len, bool encrypt)
{
    if (st.phase == AeadPhase::None || st.phase == AeadPhase::Done) return false;
    if (len > kGcmMaxText - st.textLen) return false;
    if (st.phase != AeadPhase::Text) {
        // The additional data ends here: pad its last block.
        if (st.aadLen % kBlock) tab.multiply(st.xi);
        st.phase = AeadPhase::Text;
    }
    std::size_t used = st.textLen % kBlock;
    st.textLen += len;
    if (used) {
        std::size_t n = kBlock - used < len ? kBlock - used : len;
        for (std::size_t i = 0; i < n; ++i) {
            uint8_t ci = encrypt ? (uint8_t)(in[i] ^ st.ks[used + i]) : in[i];
            out[i] = in[i] ^ st.ks[used + i];
            st.xi[used + i] ^= ci;
        }
        in += n, out += n, len -= n;
        if (used + n < kBlock) return true;
        tab.multiply(st.xi);
    }
    uint8_t ks[kBatch * kBlock];
    while (len >= kBlock) {
        std::size_t n = len / kBlock < kBatch ? len / kBlock : kBatch;
        for (std::size_t i = 0; i < n; ++i) {
            std::memcpy(ks + i * kBlock, st.ctr, kBlock);
            incrementCounter(st.ctr, 4);
        }
        c.encryptBlocks(ks, ks, n);
        if (!encrypt) tab.absorb(st.xi, in, n); // before out may overwrite in
        xorBlock(out, in, ks, n * kBlock);
        if (encrypt) tab.absorb(st.xi, out, n);
        in += n * kBlock, out += n * kBlock, len -= n * kBlock;
    }
    if (len) {
        c.encryptBlocks(st.ctr, st.ks, 1);
        incrementCounter(st.ctr, 4);
        for (std::size_t i = 0; i < len; ++i) {
            uint8_t ci = encrypt ? (uint8_t)(in[i] ^ st.ks[i]) : in[i];
            out[i] = in[i] ^ st.ks[i];
            st.xi[i] ^= ci;
        }
    }
    return true;
}

// Finishes the message and writes the first tagLen bytes of its tag. False when out of order or
// for a tag length SP 800-38D does not allow (the state is then unchanged).
inline bool gcmTag(GcmState& st, const GhashTable& tab, uint8_t* tag, std::size_t tagLen)
{
    if (st.phase == AeadPhase::None || st.phase == AeadPhase::Done) return false;
    if (!gcmTagLengthValid((long)tagLen)) return false;
    if (st.phase == AeadPhase::Text ? st.textLen % kBlock : st.aadLen % kBlock) tab.multiply(st.xi);
    uint8_t lens[kBlock];
    storeBe64(lens, st.aadLen * 8);
    storeBe64(lens + 8, st.textLen * 8);
    tab.absorb(st.xi, lens, 1);
    uint8_t full[kBlock];
    xorBlock(full, st.xi, st.ekJ0);
    std::memcpy(tag, full, tagLen);
    st.phase = AeadPhase::Done;
    return true;
}

// ---- CCM (NIST SP 800-38C) ---------------------------------------------------------------------

// One lane's CCM state between calls. The CBC-MAC register takes partial blocks by XOR as they
// come; the counter block keeps the flags and the nonce, so the tag mask A0 is rebuilt from it.
struct CcmState {
    uint8_t mac[kBlock]; // CBC-MAC register
    uint8_t ctr[kBlock]; // next counter block A_i
    uint8_t ks[kBlock];  // key stream of a partly used block
    uint64_t total;      // payload length announced, or kCcmUnbounded
    uint64_t done;       // payload bytes processed
    uint8_t q;           // width of the length field and the counter, 15 - nonce length
    uint8_t tagLen;
    AeadPhase phase;
};

// The announced payload length that means "not known in advance": the B0 length field is then all
// ones, and the payload may run up to the largest value that field holds.
constexpr uint64_t kCcmUnbounded = ~0ull;

inline bool ccmTagLengthValid(long n) { return n >= 4 && n <= 16 && n % 2 == 0; }
inline bool ccmNonceLengthValid(long n) { return n >= 7 && n <= 13; }

// The largest value the q-byte length field holds.
inline uint64_t ccmFieldMax(unsigned q) { return q >= 8 ? ~0ull : (1ull << (8 * q)) - 1; }

// Starts a message; false for a nonce or tag length SP 800-38C does not allow, or an announced
// length that does not fit the length field.
inline bool ccmInit(CcmState& st, const uint8_t* nonce, std::size_t nonceLen, std::size_t tagLen,
                    uint64_t total)
{
    if (!ccmNonceLengthValid((long)nonceLen) || !ccmTagLengthValid((long)tagLen)) return false;
    unsigned q = 15 - (unsigned)nonceLen;
    if (total != kCcmUnbounded && total > ccmFieldMax(q)) return false;
    std::memset(&st, 0, sizeof st);
    st.q = (uint8_t)q;
    st.tagLen = (uint8_t)tagLen;
    st.total = total;
    st.ctr[0] = (uint8_t)(q - 1);
    std::memcpy(st.ctr + 1, nonce, nonceLen);
    st.ctr[15] = 1;
    st.phase = AeadPhase::Ready;
    return true;
}

// Encrypts B0 into the MAC register: the first step, once it is known whether there is
// additional data.
template <class Cipher>
void ccmStartMac(CcmState& st, const Cipher& c, bool hasAad)
{
    uint8_t* b0 = st.mac;
    b0[0] = (uint8_t)((hasAad ? 0x40 : 0) | (((st.tagLen - 2) / 2) << 3) | (st.q - 1));
    std::memcpy(b0 + 1, st.ctr + 1, 15 - st.q);
    uint64_t field = st.total == kCcmUnbounded ? ccmFieldMax(st.q) : st.total;
    for (unsigned i = 0; i < st.q; ++i, field >>= 8) b0[15 - i] = (uint8_t)field;
    c.encryptBlocks(b0, b0, 1);
}

// Adds the whole additional data (its length is encoded in front of it, so it comes in one call).
// False when out of order.
template <class Cipher>
bool ccmAad(CcmState& st, const Cipher& c, const uint8_t* aad, std::size_t len)
{
    if (st.phase != AeadPhase::Ready || len > 0xffffffffull) return false;
    st.phase = AeadPhase::Aad;
    ccmStartMac(st, c, len > 0);
    if (len == 0) return true;
    uint8_t head[6];
    std::size_t used;
    if (len < 0xff00) {
        head[0] = (uint8_t)(len >> 8), head[1] = (uint8_t)len;
        used = 2;
    } else {
        head[0] = 0xff, head[1] = 0xfe;
        for (int i = 0; i < 4; ++i) head[2 + i] = (uint8_t)(len >> (24 - 8 * i));
        used = 6;
    }
    xorBlock(st.mac, st.mac, head, used);
    std::size_t n = kBlock - used < len ? kBlock - used : len;
    xorBlock(st.mac + used, st.mac + used, aad, n);
    c.encryptBlocks(st.mac, st.mac, 1);
    aad += n, len -= n;
    for (; len >= kBlock; len -= kBlock, aad += kBlock) {
        xorBlock(st.mac, st.mac, aad);
        c.encryptBlocks(st.mac, st.mac, 1);
    }
    if (len) {
        xorBlock(st.mac, st.mac, aad, len);
        c.encryptBlocks(st.mac, st.mac, 1);
    }
    return true;
}

// Encrypts or decrypts len bytes; may be called again. False when out of order or beyond the
// announced length (the state is then unchanged).
template <class Cipher>
bool ccmCrypt(CcmState& st, const Cipher& c, const uint8_t* in, uint8_t* out, std::size_t len,
              bool encrypt)
{
    if (st.phase == AeadPhase::None || st.phase == AeadPhase::Done) return false;
    uint64_t limit = st.total == kCcmUnbounded ? ccmFieldMax(st.q) : st.total;
    if (len > limit - st.done) return false;
    if (st.phase == AeadPhase::Ready) ccmStartMac(st, c, false);
    st.phase = AeadPhase::Text;
    std::size_t used = st.done % kBlock;
    st.done += len;
    if (used) {
        // Finish the partly used key stream block; the MAC takes the plain text.
        std::size_t n = kBlock - used < len ? kBlock - used : len;
        for (std::size_t i = 0; i < n; ++i) {
            uint8_t p = encrypt ? in[i] : (uint8_t)(in[i] ^ st.ks[used + i]);
            out[i] = in[i] ^ st.ks[used + i];
            st.mac[used + i] ^= p;
        }
        in += n, out += n, len -= n;
        if (used + n < kBlock) return true;
        c.encryptBlocks(st.mac, st.mac, 1);
    }
    uint8_t ks[kBatch * kBlock];
    while (len >= kBlock) {
        std::size_t n = len / kBlock < kBatch ? len / kBlock : kBatch;
        for (std::size_t i = 0; i < n; ++i) {
            std::memcpy(ks + i * kBlock, st.ctr, kBlock);
            incrementCounter(st.ctr, st.q);
        }
        c.encryptBlocks(ks, ks, n);
        for (std::size_t i = 0; i < n; ++i, in += kBlock, out += kBlock) {
            if (encrypt) xorBlock(st.mac, st.mac, in);
            xorBlock(out, in, ks + i * kBlock);
            if (!encrypt) xorBlock(st.mac, st.mac, out);
            c.encryptBlocks(st.mac, st.mac, 1);
        }
        len -= n * kBlock;
    }
    if (len) {
        c.encryptBlocks(st.ctr, st.ks, 1);
        incrementCounter(st.ctr, st.q);
        for (std::size_t i = 0; i < len; ++i) {
            uint8_t p = encrypt ? in[i] : (uint8_t)(in[i] ^ st.ks[i]);
            out[i] = in[i] ^ st.ks[i];
            st.mac[i] ^= p;
        }
    }
    return true;
}

// Finishes the message and writes its tag of the length given at init. False when out of order,
// for another tag length, or when a bounded message has not reached its announced length.
template <class Cipher>
bool ccmTag(CcmState& st, const Cipher& c, uint8_t* tag, std::size_t tagLen)
{
    if (st.phase == AeadPhase::None || st.phase == AeadPhase::Done) return false;
    if (tagLen != st.tagLen) return false;
    if (st.total != kCcmUnbounded && st.done != st.total) return false;
    if (st.phase == AeadPhase::Ready) ccmStartMac(st, c, false);
    if (st.done % kBlock) c.encryptBlocks(st.mac, st.mac, 1);
    uint8_t a0[kBlock];
    std::memcpy(a0, st.ctr, kBlock);
    std::memset(a0 + kBlock - st.q, 0, st.q);
    c.encryptBlocks(a0, a0, 1);
    xorBlock(tag, st.mac, a0, tagLen);
    st.phase = AeadPhase::Done;
    return true;
}

} // namespace modes
} // namespace tzv

#endif
