/*
 * libtzvcrypto.so.13 -- multi-buffer cryptography: every call processes 8 (_mb8) or 16 (_mb16)
 * independent lanes and returns one status word with 4 bits per lane (lane i in bits 4i..4i+3).
 *
 * Encodings: a "word number" is an array of 64-bit words, least significant word first; a "byte
 * string" is a fixed-length big-endian byte string.  A null pointer in one lane gives that lane
 * TZV_STS_NULL_PARAM and the other lanes still run.  Nothing is kept between calls outside the
 * caller's context objects.
 */
#ifndef TZVCRYPTO_H
#define TZVCRYPTO_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint8_t int8u;
typedef uint32_t int32u;
typedef uint64_t int64u;

/* Status words: 8 lanes in 32 bits, 16 lanes in 64 bits. */
typedef int32u tzv_status;
typedef int64u tzv_status16;

#define TZV_STS_OK              0x0u /* success */
#define TZV_STS_BAD_PARAM       0x1u /* bad length, value, range or size; wrong method; out of order */
#define TZV_STS_NULL_PARAM      0x2u /* null pointer in this lane */
#define TZV_STS_LOW_ORDER       0x4u /* X25519 shared secret is all zero */
#define TZV_STS_SIGNATURE       0x8u /* signature does not verify, or r or s came out zero */
#define TZV_STS_UNSUPPORTED_CPU 0xAu /* the processor cannot run the function (every lane at once) */

#define TZV_STS_ALL_UNSUPPORTED   ((tzv_status)0xAAAAAAAAu)
#define TZV_STS16_ALL_UNSUPPORTED ((tzv_status16)0xAAAAAAAAAAAAAAAAull)

static inline int32u tzv_get_lane_sts(tzv_status sts, int lane) { return (sts >> (4 * lane)) & 0xFu; }
static inline int32u tzv_get_lane_sts16(tzv_status16 sts, int lane) { return (int32u)((sts >> (4 * lane)) & 0xFu); }
static inline tzv_status tzv_set_lane_sts(tzv_status sts, int lane, int32u value)
{
    return (tzv_status)((sts & ~((tzv_status)0xFu << (4 * lane))) | ((tzv_status)(value & 0xFu) << (4 * lane)));
}
static inline tzv_status16 tzv_set_lane_sts16(tzv_status16 sts, int lane, int32u value)
{
    return (sts & ~((tzv_status16)0xFu << (4 * lane))) | ((tzv_status16)(value & 0xFu) << (4 * lane));
}
/* Non-zero when at least one lane succeeded. */
static inline int tzv_some_lane_ok(tzv_status sts)
{
    for (int i = 0; i < 8; ++i)
        if (tzv_get_lane_sts(sts, i) == TZV_STS_OK) return 1;
    return 0;
}
static inline int tzv_some_lane_ok16(tzv_status16 sts)
{
    for (int i = 0; i < 16; ++i)
        if (tzv_get_lane_sts16(sts, i) == TZV_STS_OK) return 1;
    return 0;
}

#define TZV_ALIGN(n) __attribute__((aligned(n)))

/* ---- SM4 and SM3 key and context types (sizes are part of the interface) ---- */
typedef int8u tzv_sm4_key[16];
typedef int8u tzv_sm4_xts_key[32]; /* data key, then tweak key */
typedef struct { int32u rk[32][16]; } tzv_sm4_key_schedule; /* 32 round keys x 16 lanes */
typedef struct { TZV_ALIGN(16) int8u opaque[5136]; } tzv_sm4_gcm_ctx_mb16;
typedef struct { TZV_ALIGN(16) int8u opaque[3216]; } tzv_sm4_ccm_ctx_mb16;
typedef struct { TZV_ALIGN(64) int8u opaque[1728]; } tzv_sm3_ctx_mb16;

/* ---- RSA method descriptors ---- */
typedef struct tzv_rsa_method tzv_rsa_method;

/* ---- Ed25519 (RFC 8032 strings) ---- */
typedef int8u tzv_ed25519_private_key[32];
typedef int8u tzv_ed25519_public_key[32];
typedef int8u tzv_ed25519_sign_component[32];

/* ---- Elliptic curves: NIST P-256, P-384, P-521 and SM2, 8 lanes ---- */
#define TZV_DECLARE_NIST_EC(curve)                                                                    \
    tzv_status tzv_##curve##_ecpublic_key_mb8(int64u* pubx[8], int64u* puby[8], int64u* pubz[8],      \
                                              const int64u* const skey[8], int8u* work);              \
    tzv_status tzv_##curve##_ecdh_mb8(int8u* shared[8], const int64u* const skey[8],                  \
                                      const int64u* const pubx[8], const int64u* const puby[8],       \
                                      const int64u* const pubz[8], int8u* work);                      \
    tzv_status tzv_##curve##_ecdsa_sign_setup_mb8(int64u* inv_eph_skey[8], int64u* sign_rp[8],        \
                                                  const int64u* const eph_skey[8], int8u* work);      \
    tzv_status tzv_##curve##_ecdsa_sign_complete_mb8(                                                 \
        int8u* sign_r[8], int8u* sign_s[8], const int8u* const msg[8],                                \
        const int64u* const sign_rp[8], const int64u* const inv_eph_skey[8],                          \
        const int64u* const reg_skey[8], int8u* work);                                                \
    tzv_status tzv_##curve##_ecdsa_sign_mb8(int8u* sign_r[8], int8u* sign_s[8],                       \
                                            const int8u* const msg[8],                                \
                                            const int64u* const eph_skey[8],                          \
                                            const int64u* const reg_skey[8], int8u* work);            \
    tzv_status tzv_##curve##_ecdsa_verify_mb8(                                                        \
        const int8u* const sign_r[8], const int8u* const sign_s[8], const int8u* const msg[8],        \
        const int64u* const pubx[8], const int64u* const puby[8], const int64u* const pubz[8],        \
        int8u* work);

TZV_DECLARE_NIST_EC(nistp256)
TZV_DECLARE_NIST_EC(nistp384)
TZV_DECLARE_NIST_EC(nistp521)
#undef TZV_DECLARE_NIST_EC

tzv_status tzv_sm2_ecpublic_key_mb8(int64u* pubx[8], int64u* puby[8], int64u* pubz[8],
                                    const int64u* const skey[8], int8u* work);
tzv_status tzv_sm2_ecdh_mb8(int8u* shared[8], const int64u* const skey[8],
                            const int64u* const pubx[8], const int64u* const puby[8],
                            const int64u* const pubz[8], int8u* work);
tzv_status tzv_sm2_ecdsa_sign_mb8(int8u* sign_r[8], int8u* sign_s[8],
                                  const int8u* const user_id[8], const int user_id_len[8],
                                  const int8u* const msg[8], const int msg_len[8],
                                  const int64u* const eph_skey[8], const int64u* const reg_skey[8],
                                  const int64u* const pubx[8], const int64u* const puby[8],
                                  const int64u* const pubz[8], int8u* work);
tzv_status tzv_sm2_ecdsa_verify_mb8(const int8u* const sign_r[8], const int8u* const sign_s[8],
                                    const int8u* const user_id[8], const int user_id_len[8],
                                    const int8u* const msg[8], const int msg_len[8],
                                    const int64u* const pubx[8], const int64u* const puby[8],
                                    const int64u* const pubz[8], int8u* work);

/* ---- RSA (public exponent 65537) and modular exponentiation, 8 lanes ---- */
const tzv_rsa_method* tzv_RSA1K_pub65537_Method(void);
const tzv_rsa_method* tzv_RSA2K_pub65537_Method(void);
const tzv_rsa_method* tzv_RSA3K_pub65537_Method(void);
const tzv_rsa_method* tzv_RSA4K_pub65537_Method(void);
const tzv_rsa_method* tzv_RSA1K_private_Method(void);
const tzv_rsa_method* tzv_RSA2K_private_Method(void);
const tzv_rsa_method* tzv_RSA3K_private_Method(void);
const tzv_rsa_method* tzv_RSA4K_private_Method(void);
const tzv_rsa_method* tzv_RSA1K_private_crt_Method(void);
const tzv_rsa_method* tzv_RSA2K_private_crt_Method(void);
const tzv_rsa_method* tzv_RSA3K_private_crt_Method(void);
const tzv_rsa_method* tzv_RSA4K_private_crt_Method(void);
int tzv_RSA_Method_BufSize(const tzv_rsa_method* method);

tzv_status tzv_rsa_public_mb8(const int8u* const from[8], int8u* const to[8], const int64u* const n[8],
                              int bits, const tzv_rsa_method* method, int8u* work);
tzv_status tzv_rsa_private_mb8(const int8u* const from[8], int8u* const to[8],
                               const int64u* const d[8], const int64u* const n[8], int bits,
                               const tzv_rsa_method* method, int8u* work);
tzv_status tzv_rsa_private_crt_mb8(const int8u* const from[8], int8u* const to[8],
                                   const int64u* const p[8], const int64u* const q[8],
                                   const int64u* const dp[8], const int64u* const dq[8],
                                   const int64u* const invq[8], int bits,
                                   const tzv_rsa_method* method, int8u* work);

int tzv_exp_BufferSize(int mod_bits);
tzv_status tzv_exp_mb8(int64u* const out[8], const int64u* const base[8], const int64u* const pwr[8],
                       int pwr_bits, const int64u* const mod[8], int mod_bits, int8u* work,
                       int work_len);

/* ---- SM4, 16 lanes ---- */
tzv_status16 tzv_sm4_set_key_mb16(tzv_sm4_key_schedule* rkey, const tzv_sm4_key* key[16]);

tzv_status16 tzv_sm4_encrypt_ecb_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                      const tzv_sm4_key_schedule* rkey);
tzv_status16 tzv_sm4_decrypt_ecb_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                      const tzv_sm4_key_schedule* rkey);
tzv_status16 tzv_sm4_encrypt_cbc_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                      const tzv_sm4_key_schedule* rkey, const int8u* iv[16]);
tzv_status16 tzv_sm4_decrypt_cbc_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                      const tzv_sm4_key_schedule* rkey, const int8u* iv[16]);
tzv_status16 tzv_sm4_encrypt_cfb128_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                         const tzv_sm4_key_schedule* rkey, const int8u* iv[16]);
tzv_status16 tzv_sm4_decrypt_cfb128_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                         const tzv_sm4_key_schedule* rkey, const int8u* iv[16]);
tzv_status16 tzv_sm4_encrypt_ctr128_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                         const tzv_sm4_key_schedule* rkey, int8u* iv[16]);
tzv_status16 tzv_sm4_decrypt_ctr128_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                         const tzv_sm4_key_schedule* rkey, int8u* iv[16]);
tzv_status16 tzv_sm4_encrypt_ofb_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                      const tzv_sm4_key_schedule* rkey, int8u* iv[16]);
tzv_status16 tzv_sm4_decrypt_ofb_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                      const tzv_sm4_key_schedule* rkey, int8u* iv[16]);

tzv_status16 tzv_sm4_xts_set_keys_mb16(tzv_sm4_key_schedule* key1, tzv_sm4_key_schedule* key2,
                                       const tzv_sm4_xts_key* key[16]);
tzv_status16 tzv_sm4_xts_encrypt_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                      const tzv_sm4_key_schedule* key1,
                                      const tzv_sm4_key_schedule* key2, const int8u* tweak[16]);
tzv_status16 tzv_sm4_xts_decrypt_mb16(int8u* out[16], const int8u* in[16], const int len[16],
                                      const tzv_sm4_key_schedule* key1,
                                      const tzv_sm4_key_schedule* key2, const int8u* tweak[16]);

tzv_status16 tzv_sm4_gcm_init_mb16(const tzv_sm4_key* const key[16], const int8u* const iv[16],
                                   const int iv_len[16], tzv_sm4_gcm_ctx_mb16* ctx);
tzv_status16 tzv_sm4_gcm_update_aad_mb16(const int8u* const aad[16], const int aad_len[16],
                                         tzv_sm4_gcm_ctx_mb16* ctx);
tzv_status16 tzv_sm4_gcm_encrypt_mb16(int8u* out[16], const int8u* const in[16], const int len[16],
                                      tzv_sm4_gcm_ctx_mb16* ctx);
tzv_status16 tzv_sm4_gcm_decrypt_mb16(int8u* out[16], const int8u* const in[16], const int len[16],
                                      tzv_sm4_gcm_ctx_mb16* ctx);
tzv_status16 tzv_sm4_gcm_get_tag_mb16(int8u* tag[16], const int tag_len[16], tzv_sm4_gcm_ctx_mb16* ctx);

tzv_status16 tzv_sm4_ccm_init_mb16(const tzv_sm4_key* const key[16], const int8u* const iv[16],
                                   const int iv_len[16], const int tag_len[16],
                                   const int64u total_len[16], tzv_sm4_ccm_ctx_mb16* ctx);
tzv_status16 tzv_sm4_ccm_update_aad_mb16(const int8u* const aad[16], const int aad_len[16],
                                         tzv_sm4_ccm_ctx_mb16* ctx);
tzv_status16 tzv_sm4_ccm_encrypt_mb16(int8u* out[16], const int8u* const in[16], const int len[16],
                                      tzv_sm4_ccm_ctx_mb16* ctx);
tzv_status16 tzv_sm4_ccm_decrypt_mb16(int8u* out[16], const int8u* const in[16], const int len[16],
                                      tzv_sm4_ccm_ctx_mb16* ctx);
tzv_status16 tzv_sm4_ccm_get_tag_mb16(int8u* tag[16], const int tag_len[16], tzv_sm4_ccm_ctx_mb16* ctx);

/* ---- SM3, 16 lanes ---- */
tzv_status16 tzv_sm3_init_mb16(tzv_sm3_ctx_mb16* ctx);
tzv_status16 tzv_sm3_update_mb16(const int8u* const msg[16], int len[16], tzv_sm3_ctx_mb16* ctx);
tzv_status16 tzv_sm3_final_mb16(int8u* hash[16], tzv_sm3_ctx_mb16* ctx);
tzv_status16 tzv_sm3_msg_digest_mb16(const int8u* const msg[16], int len[16], int8u* hash[16]);

/* ---- Ed25519 and X25519, 8 lanes ---- */
tzv_status tzv_ed25519_public_key_mb8(tzv_ed25519_public_key* pub[8],
                                      const tzv_ed25519_private_key* const priv[8]);
tzv_status tzv_ed25519_sign_mb8(tzv_ed25519_sign_component* sign_r[8],
                                tzv_ed25519_sign_component* sign_s[8], const int8u* const msg[8],
                                const int32u msg_len[8], const tzv_ed25519_private_key* const priv[8],
                                const tzv_ed25519_public_key* const pub[8]);
tzv_status tzv_ed25519_verify_mb8(const tzv_ed25519_sign_component* const sign_r[8],
                                  const tzv_ed25519_sign_component* const sign_s[8],
                                  const int8u* const msg[8], const int32u msg_len[8],
                                  const tzv_ed25519_public_key* const pub[8]);
tzv_status tzv_x25519_public_key_mb8(int8u* const pub[8], const int8u* const priv[8]);
tzv_status tzv_x25519_mb8(int8u* const shared[8], const int8u* const priv[8], const int8u* const peer[8]);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
static_assert(sizeof(tzv_sm4_key) == 16, "tzv_sm4_key is 16 bytes");
static_assert(sizeof(tzv_sm4_xts_key) == 32, "tzv_sm4_xts_key is 32 bytes");
static_assert(sizeof(tzv_sm4_key_schedule) == 2048, "tzv_sm4_key_schedule is 2048 bytes");
static_assert(sizeof(tzv_sm4_gcm_ctx_mb16) == 5136 && alignof(tzv_sm4_gcm_ctx_mb16) == 16, "gcm context");
static_assert(sizeof(tzv_sm4_ccm_ctx_mb16) == 3216 && alignof(tzv_sm4_ccm_ctx_mb16) == 16, "ccm context");
static_assert(sizeof(tzv_sm3_ctx_mb16) == 1728 && alignof(tzv_sm3_ctx_mb16) == 64, "sm3 context");
static_assert(sizeof(tzv_ed25519_public_key) == 32 && sizeof(tzv_ed25519_sign_component) == 32, "ed25519");
#else
_Static_assert(sizeof(tzv_sm4_key_schedule) == 2048, "tzv_sm4_key_schedule is 2048 bytes");
_Static_assert(sizeof(tzv_sm4_gcm_ctx_mb16) == 5136, "gcm context");
_Static_assert(sizeof(tzv_sm4_ccm_ctx_mb16) == 3216, "ccm context");
_Static_assert(sizeof(tzv_sm3_ctx_mb16) == 1728, "sm3 context");
#endif

#endif /* TZVCRYPTO_H */
