// A stand-in for libtzvcrypto.so.13 on a processor that can run none of its functions: every call
// reports 0xA in every lane, the method getters return null and the buffer sizes are 0. The
// end-to-end tests put it first on LD_LIBRARY_PATH, which also shows that the program measures an
// implementation it was not built with.
#include "tzvcrypto.h"

#define UNSUPPORTED extern "C" __attribute__((visibility("default")))

namespace {
const tzv_status all8 = TZV_STS_ALL_UNSUPPORTED;
const tzv_status16 all16 = TZV_STS16_ALL_UNSUPPORTED;
} // namespace

#define EC_UNSUPPORTED(curve)                                                                                \
    UNSUPPORTED tzv_status tzv_##curve##_ecpublic_key_mb8(int64u**, int64u**, int64u**, const int64u* const*, \
                                                          int8u*)                                            \
    {                                                                                                        \
        return all8;                                                                                         \
    }                                                                                                        \
    UNSUPPORTED tzv_status tzv_##curve##_ecdh_mb8(int8u**, const int64u* const*, const int64u* const*,       \
                                                  const int64u* const*, const int64u* const*, int8u*)        \
    {                                                                                                        \
        return all8;                                                                                         \
    }

#define NIST_UNSUPPORTED(curve)                                                                              \
    EC_UNSUPPORTED(curve)                                                                                    \
    UNSUPPORTED tzv_status tzv_##curve##_ecdsa_sign_setup_mb8(int64u**, int64u**, const int64u* const*,     \
                                                              int8u*)                                        \
    {                                                                                                        \
        return all8;                                                                                         \
    }                                                                                                        \
    UNSUPPORTED tzv_status tzv_##curve##_ecdsa_sign_complete_mb8(int8u**, int8u**, const int8u* const*,     \
                                                                 const int64u* const*, const int64u* const*, \
                                                                 const int64u* const*, int8u*)               \
    {                                                                                                        \
        return all8;                                                                                         \
    }                                                                                                        \
    UNSUPPORTED tzv_status tzv_##curve##_ecdsa_sign_mb8(int8u**, int8u**, const int8u* const*,               \
                                                        const int64u* const*, const int64u* const*, int8u*)  \
    {                                                                                                        \
        return all8;                                                                                         \
    }                                                                                                        \
    UNSUPPORTED tzv_status tzv_##curve##_ecdsa_verify_mb8(const int8u* const*, const int8u* const*,          \
                                                          const int8u* const*, const int64u* const*,         \
                                                          const int64u* const*, const int64u* const*, int8u*) \
    {                                                                                                        \
        return all8;                                                                                         \
    }

NIST_UNSUPPORTED(nistp256)
NIST_UNSUPPORTED(nistp384)
NIST_UNSUPPORTED(nistp521)
EC_UNSUPPORTED(sm2)

UNSUPPORTED tzv_status tzv_sm2_ecdsa_sign_mb8(int8u**, int8u**, const int8u* const*, const int*, const int8u* const*,
                                              const int*, const int64u* const*, const int64u* const*,
                                              const int64u* const*, const int64u* const*, const int64u* const*, int8u*)
{
    return all8;
}
UNSUPPORTED tzv_status tzv_sm2_ecdsa_verify_mb8(const int8u* const*, const int8u* const*, const int8u* const*,
                                                const int*, const int8u* const*, const int*, const int64u* const*,
                                                const int64u* const*, const int64u* const*, int8u*)
{
    return all8;
}

#define RSA_METHOD_UNSUPPORTED(name) \
    UNSUPPORTED const tzv_rsa_method* name(void) { return nullptr; }
RSA_METHOD_UNSUPPORTED(tzv_RSA1K_pub65537_Method)
RSA_METHOD_UNSUPPORTED(tzv_RSA2K_pub65537_Method)
RSA_METHOD_UNSUPPORTED(tzv_RSA3K_pub65537_Method)
RSA_METHOD_UNSUPPORTED(tzv_RSA4K_pub65537_Method)
RSA_METHOD_UNSUPPORTED(tzv_RSA1K_private_Method)
RSA_METHOD_UNSUPPORTED(tzv_RSA2K_private_Method)
RSA_METHOD_UNSUPPORTED(tzv_RSA3K_private_Method)
RSA_METHOD_UNSUPPORTED(tzv_RSA4K_private_Method)
RSA_METHOD_UNSUPPORTED(tzv_RSA1K_private_crt_Method)
RSA_METHOD_UNSUPPORTED(tzv_RSA2K_private_crt_Method)
RSA_METHOD_UNSUPPORTED(tzv_RSA3K_private_crt_Method)
RSA_METHOD_UNSUPPORTED(tzv_RSA4K_private_crt_Method)
UNSUPPORTED int tzv_RSA_Method_BufSize(const tzv_rsa_method*) { return 0; }
UNSUPPORTED tzv_status tzv_rsa_public_mb8(const int8u* const*, int8u* const*, const int64u* const*, int,
                                          const tzv_rsa_method*, int8u*)
{
    return all8;
}
UNSUPPORTED tzv_status tzv_rsa_private_mb8(const int8u* const*, int8u* const*, const int64u* const*,
                                           const int64u* const*, int, const tzv_rsa_method*, int8u*)
{
    return all8;
}
UNSUPPORTED tzv_status tzv_rsa_private_crt_mb8(const int8u* const*, int8u* const*, const int64u* const*,
                                               const int64u* const*, const int64u* const*, const int64u* const*,
                                               const int64u* const*, int, const tzv_rsa_method*, int8u*)
{
    return all8;
}
UNSUPPORTED int tzv_exp_BufferSize(int) { return 0; }
UNSUPPORTED tzv_status tzv_exp_mb8(int64u* const*, const int64u* const*, const int64u* const*, int,
                                   const int64u* const*, int, int8u*, int)
{
    return all8;
}

// ---- SM4 and SM3
#define SM4_PLAIN(name, ivType)                                                                           \
    UNSUPPORTED tzv_status16 name(int8u**, const int8u**, const int*, const tzv_sm4_key_schedule*, ivType) \
    {                                                                                                     \
        return all16;                                                                                     \
    }
UNSUPPORTED tzv_status16 tzv_sm4_set_key_mb16(tzv_sm4_key_schedule*, const tzv_sm4_key**) { return all16; }
UNSUPPORTED tzv_status16 tzv_sm4_encrypt_ecb_mb16(int8u**, const int8u**, const int*, const tzv_sm4_key_schedule*)
{
    return all16;
}
UNSUPPORTED tzv_status16 tzv_sm4_decrypt_ecb_mb16(int8u**, const int8u**, const int*, const tzv_sm4_key_schedule*)
{
    return all16;
}
SM4_PLAIN(tzv_sm4_encrypt_cbc_mb16, const int8u**)
SM4_PLAIN(tzv_sm4_decrypt_cbc_mb16, const int8u**)
SM4_PLAIN(tzv_sm4_encrypt_cfb128_mb16, const int8u**)
SM4_PLAIN(tzv_sm4_decrypt_cfb128_mb16, const int8u**)
SM4_PLAIN(tzv_sm4_encrypt_ctr128_mb16, int8u**)
SM4_PLAIN(tzv_sm4_decrypt_ctr128_mb16, int8u**)
SM4_PLAIN(tzv_sm4_encrypt_ofb_mb16, int8u**)
SM4_PLAIN(tzv_sm4_decrypt_ofb_mb16, int8u**)
UNSUPPORTED tzv_status16 tzv_sm4_xts_set_keys_mb16(tzv_sm4_key_schedule*, tzv_sm4_key_schedule*,
                                                   const tzv_sm4_xts_key**)
{
    return all16;
}
UNSUPPORTED tzv_status16 tzv_sm4_xts_encrypt_mb16(int8u**, const int8u**, const int*, const tzv_sm4_key_schedule*,
                                                  const tzv_sm4_key_schedule*, const int8u**)
{
    return all16;
}
UNSUPPORTED tzv_status16 tzv_sm4_xts_decrypt_mb16(int8u**, const int8u**, const int*, const tzv_sm4_key_schedule*,
                                                  const tzv_sm4_key_schedule*, const int8u**)
{
    return all16;
}
UNSUPPORTED tzv_status16 tzv_sm4_gcm_init_mb16(const tzv_sm4_key* const*, const int8u* const*, const int*,
                                               tzv_sm4_gcm_ctx_mb16*)
{
    return all16;
}
UNSUPPORTED tzv_status16 tzv_sm4_gcm_update_aad_mb16(const int8u* const*, const int*, tzv_sm4_gcm_ctx_mb16*)
{
    return all16;
}
UNSUPPORTED tzv_status16 tzv_sm4_gcm_encrypt_mb16(int8u**, const int8u* const*, const int*, tzv_sm4_gcm_ctx_mb16*)
{
    return all16;
}
UNSUPPORTED tzv_status16 tzv_sm4_gcm_decrypt_mb16(int8u**, const int8u* const*, const int*, tzv_sm4_gcm_ctx_mb16*)
{
    return all16;
}
UNSUPPORTED tzv_status16 tzv_sm4_gcm_get_tag_mb16(int8u**, const int*, tzv_sm4_gcm_ctx_mb16*) { return all16; }
UNSUPPORTED tzv_status16 tzv_sm4_ccm_init_mb16(const tzv_sm4_key* const*, const int8u* const*, const int*,
                                               const int*, const int64u*, tzv_sm4_ccm_ctx_mb16*)
{
    return all16;
}
UNSUPPORTED tzv_status16 tzv_sm4_ccm_update_aad_mb16(const int8u* const*, const int*, tzv_sm4_ccm_ctx_mb16*)
{
    return all16;
}
UNSUPPORTED tzv_status16 tzv_sm4_ccm_encrypt_mb16(int8u**, const int8u* const*, const int*, tzv_sm4_ccm_ctx_mb16*)
{
    return all16;
}
UNSUPPORTED tzv_status16 tzv_sm4_ccm_decrypt_mb16(int8u**, const int8u* const*, const int*, tzv_sm4_ccm_ctx_mb16*)
{
    return all16;
}
UNSUPPORTED tzv_status16 tzv_sm4_ccm_get_tag_mb16(int8u**, const int*, tzv_sm4_ccm_ctx_mb16*) { return all16; }
UNSUPPORTED tzv_status16 tzv_sm3_init_mb16(tzv_sm3_ctx_mb16*) { return all16; }
UNSUPPORTED tzv_status16 tzv_sm3_update_mb16(const int8u* const*, int*, tzv_sm3_ctx_mb16*) { return all16; }
UNSUPPORTED tzv_status16 tzv_sm3_final_mb16(int8u**, tzv_sm3_ctx_mb16*) { return all16; }
UNSUPPORTED tzv_status16 tzv_sm3_msg_digest_mb16(const int8u* const*, int*, int8u**) { return all16; }

// ---- Ed25519 and X25519
UNSUPPORTED tzv_status tzv_ed25519_public_key_mb8(tzv_ed25519_public_key**, const tzv_ed25519_private_key* const*)
{
    return all8;
}
UNSUPPORTED tzv_status tzv_ed25519_sign_mb8(tzv_ed25519_sign_component**, tzv_ed25519_sign_component**,
                                            const int8u* const*, const int32u*, const tzv_ed25519_private_key* const*,
                                            const tzv_ed25519_public_key* const*)
{
    return all8;
}
UNSUPPORTED tzv_status tzv_ed25519_verify_mb8(const tzv_ed25519_sign_component* const*,
                                              const tzv_ed25519_sign_component* const*, const int8u* const*,
                                              const int32u*, const tzv_ed25519_public_key* const*)
{
    return all8;
}
UNSUPPORTED tzv_status tzv_x25519_public_key_mb8(int8u* const*, const int8u* const*) { return all8; }
UNSUPPORTED tzv_status tzv_x25519_mb8(int8u* const*, const int8u* const*, const int8u* const*) { return all8; }
