// Helpers of the library tests that work with big numbers: OpenSSL numbers with value semantics,
// the interface's two encodings (word numbers and byte strings), OpenSSL key handles, and pointer
// arrays over eight lanes' buffers.
#ifndef PS_TESTS_EC_TEST_SUPPORT_H
#define PS_TESTS_EC_TEST_SUPPORT_H

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <pthread.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <random>
#include <stdexcept>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "tzvcrypto.h"
#include "vector_file.h"

namespace ectest {

constexpr int kLanes = 8;
// The lane statuses the tests expect.
constexpr unsigned kOk = TZV_STS_OK, kBad = TZV_STS_BAD_PARAM, kNull = TZV_STS_NULL_PARAM, kSig = TZV_STS_SIGNATURE;
using Bytes = vectors::Bytes;
using Words = std::vector<uint64_t>;

// An OpenSSL number with value semantics, so that lanes can be copied and changed.
class Bn {
public:
    explicit Bn(BIGNUM* b = BN_new()) : m_b(b) { if (!m_b) throw std::bad_alloc(); }
    Bn(const Bn& o) : Bn(BN_dup(o.m_b)) {}
    Bn& operator=(Bn o) { return std::swap(m_b, o.m_b), *this; }
    ~Bn() { BN_free(m_b); }
    BIGNUM* get() const { return m_b; }

private:
    BIGNUM* m_b;
};
inline Bn bnWord(unsigned long w)
{
    Bn b;
    BN_set_word(b.get(), w);
    return b;
}
inline Bn newBn() { return Bn(); }
inline Bn bnFromBytes(const Bytes& b) { return Bn(BN_bin2bn(b.data(), (int)b.size(), nullptr)); }
inline Bn bnFromHex(const std::string& hex) { return bnFromBytes(vectors::fromHex(hex)); }
inline Bn bnCopy(const BIGNUM* b) { return Bn(BN_dup(b)); }
// v + add, unreduced.
inline Bn offset(const BIGNUM* v, long add)
{
    Bn r = bnCopy(v);
    add < 0 ? BN_sub_word(r.get(), (BN_ULONG)-add) : BN_add_word(r.get(), (BN_ULONG)add);
    return r;
}
// Word numbers: 64-bit words, least significant first.
inline Words toWords(const BIGNUM* b, int count)
{
    Bytes le(8 * count);
    if (BN_bn2lebinpad(b, le.data(), (int)le.size()) < 0) throw std::length_error("value too long for word number");
    Words w(count, 0);
    for (int i = 0; i < 8 * count; ++i) w[i / 8] |= (uint64_t)le[i] << (8 * (i % 8));
    return w;
}
inline Bn fromWords(const Words& w)
{
    Bytes le(8 * w.size());
    for (size_t i = 0; i < le.size(); ++i) le[i] = (uint8_t)(w[i / 8] >> (8 * (i % 8)));
    return Bn(BN_lebin2bn(le.data(), (int)le.size(), nullptr));
}
inline Bytes toBytes(const BIGNUM* b, int len)
{
    Bytes out(len);
    if (BN_bn2binpad(b, out.data(), len) < 0) throw std::length_error("value too long for byte string");
    return out;
}

// An OpenSSL object that frees itself.
template <typename T, auto Free>
struct Deleter { void operator()(T* p) const { Free(p); } };
template <typename T, auto Free>
using Owned = std::unique_ptr<T, Deleter<T, Free>>;

// Pointers to the lanes' buffers, as the library's lane arrays take them.
template <typename T>
std::array<const T*, kLanes> inLanes(const std::array<std::vector<T>, kLanes>& v)
{
    std::array<const T*, kLanes> p{};
    for (int i = 0; i < kLanes; ++i) p[i] = v[i].data();
    return p;
}
template <typename T>
std::array<T*, kLanes> outLanes(std::array<std::vector<T>, kLanes>& v)
{
    std::array<T*, kLanes> p{};
    for (int i = 0; i < kLanes; ++i) p[i] = v[i].data();
    return p;
}

using Key32 = std::array<uint8_t, 32>;

// OpenSSL's public key of a raw X25519 or Ed25519 private key; 0xEE bytes where it has none.
inline Key32 rawPublicKey(int type, const uint8_t* priv)
{
    Key32 pub;
    pub.fill(0xEE);
    size_t len = pub.size();
    Owned<EVP_PKEY, EVP_PKEY_free> key(EVP_PKEY_new_raw_private_key(type, nullptr, priv, 32));
    if (key && EVP_PKEY_get_raw_public_key(key.get(), pub.data(), &len) != 1) pub.fill(0xEE);
    return pub;
}

// OpenSSL's X25519 secret of a private key and a peer (its top bit cleared); all zero where the
// derivation fails.
inline Key32 x25519Secret(const uint8_t* priv, const uint8_t* peer)
{
    Key32 u, out{};
    std::copy(peer, peer + 32, u.begin());
    u[31] &= 0x7F;
    Owned<EVP_PKEY, EVP_PKEY_free> key(EVP_PKEY_new_raw_private_key(EVP_PKEY_X25519, nullptr, priv, 32));
    Owned<EVP_PKEY, EVP_PKEY_free> peerKey(EVP_PKEY_new_raw_public_key(EVP_PKEY_X25519, nullptr, u.data(), 32));
    Owned<EVP_PKEY_CTX, EVP_PKEY_CTX_free> ctx(key ? EVP_PKEY_CTX_new(key.get(), nullptr) : nullptr);
    size_t len = out.size();
    if (!ctx || !peerKey || EVP_PKEY_derive_init(ctx.get()) != 1 || EVP_PKEY_derive_set_peer(ctx.get(), peerKey.get()) != 1 ||
        EVP_PKEY_derive(ctx.get(), out.data(), &len) != 1)
        out.fill(0);
    return out;
}

// What a call leaves on the stack and in the registers: fn runs on a thread with 1 MB of stack of its
// own, zeroed first; the count is of that stack's words that hold a secret's 64-bit word or 52-bit
// limb afterwards (the forms the library carries it in), values below 2^32 left out: they are
// everywhere on a stack.
struct Secrets : std::unordered_set<uint64_t> {
    void add(const Words& words) // limbs step 52 bits, so every word is met
    {
        for (int pos = 0, bits = 64 * (int)words.size(); pos < bits; pos += 52) {
            uint64_t limb = 0;
            for (int b = 0; b < 52 && pos + b < bits; ++b)
                limb |= ((words[(pos + b) / 64] >> ((pos + b) % 64)) & 1) << b;
            for (uint64_t v : {limb, words[pos / 64]})
                if (v >> 32) insert(v);
        }
    }
    void add(const uint8_t* littleEndian, int len)
    {
        Words words(len / 8, 0);
        for (int i = 0; i < len; ++i) words[i / 8] |= (uint64_t)littleEndian[i] << (8 * (i % 8));
        add(words);
    }
};
inline int leftOnStack(const std::function<void()>& fn, const Secrets& secrets)
{
    Words stack(1 << 17, 0);
    pthread_attr_t attr;
    pthread_t thread;
    auto run = [](void* f) -> void* {
        (*static_cast<const std::function<void()>*>(f))();
        // The registers too, written to this stack as a signal or the dynamic linker's lazy binding
        // writes them.
        alignas(64) uint8_t state[16384] = {};
        asm volatile("xsave %0" : "=m"(state) : "a"(~0u), "d"(~0u));
        return nullptr;
    };
    if (pthread_attr_init(&attr) || pthread_attr_setstack(&attr, stack.data(), 8 * stack.size()) ||
        pthread_create(&thread, &attr, run, const_cast<std::function<void()>*>(&fn)))
        throw std::runtime_error("no thread with its own stack");
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    int found = 0;
    for (uint64_t w : stack) found += (int)secrets.count(w);
    return found;
}

} // namespace ectest

#endif
