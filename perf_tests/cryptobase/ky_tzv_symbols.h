// The functions of libtzvcrypto.so.13 that the harness calls are referenced weakly: a replacement
// library that lacks some of them still loads, each missing one reads as a null address, and the
// tests that need it end with a message (kytzvTest::missingFunction) instead of the run stopping at
// its first call.
#ifndef KY_TZV_SYMBOLS_H
#define KY_TZV_SYMBOLS_H

#include <initializer_list>

#include "ps_string.h"
#include "tzvcrypto.h"

// Every function of the library interface.
#define KY_TZV_FUNCTIONS(X) \
    X(tzv_RSA1K_private_Method) X(tzv_RSA1K_private_crt_Method) X(tzv_RSA1K_pub65537_Method) \
    X(tzv_RSA2K_private_Method) X(tzv_RSA2K_private_crt_Method) X(tzv_RSA2K_pub65537_Method) \
    X(tzv_RSA3K_private_Method) X(tzv_RSA3K_private_crt_Method) X(tzv_RSA3K_pub65537_Method) \
    X(tzv_RSA4K_private_Method) X(tzv_RSA4K_private_crt_Method) X(tzv_RSA4K_pub65537_Method) \
    X(tzv_RSA_Method_BufSize) X(tzv_ed25519_public_key_mb8) X(tzv_ed25519_sign_mb8) \
    X(tzv_ed25519_verify_mb8) X(tzv_exp_BufferSize) X(tzv_exp_mb8) X(tzv_nistp256_ecdh_mb8) \
    X(tzv_nistp256_ecdsa_sign_complete_mb8) X(tzv_nistp256_ecdsa_sign_mb8) \
    X(tzv_nistp256_ecdsa_sign_setup_mb8) X(tzv_nistp256_ecdsa_verify_mb8) X(tzv_nistp256_ecpublic_key_mb8) \
    X(tzv_nistp384_ecdh_mb8) X(tzv_nistp384_ecdsa_sign_complete_mb8) X(tzv_nistp384_ecdsa_sign_mb8) \
    X(tzv_nistp384_ecdsa_sign_setup_mb8) X(tzv_nistp384_ecdsa_verify_mb8) X(tzv_nistp384_ecpublic_key_mb8) \
    X(tzv_nistp521_ecdh_mb8) X(tzv_nistp521_ecdsa_sign_complete_mb8) X(tzv_nistp521_ecdsa_sign_mb8) \
    X(tzv_nistp521_ecdsa_sign_setup_mb8) X(tzv_nistp521_ecdsa_verify_mb8) X(tzv_nistp521_ecpublic_key_mb8) \
    X(tzv_rsa_private_crt_mb8) X(tzv_rsa_private_mb8) X(tzv_rsa_public_mb8) X(tzv_sm2_ecdh_mb8) \
    X(tzv_sm2_ecdsa_sign_mb8) X(tzv_sm2_ecdsa_verify_mb8) X(tzv_sm2_ecpublic_key_mb8) X(tzv_sm3_final_mb16) \
    X(tzv_sm3_init_mb16) X(tzv_sm3_msg_digest_mb16) X(tzv_sm3_update_mb16) X(tzv_sm4_ccm_decrypt_mb16) \
    X(tzv_sm4_ccm_encrypt_mb16) X(tzv_sm4_ccm_get_tag_mb16) X(tzv_sm4_ccm_init_mb16) \
    X(tzv_sm4_ccm_update_aad_mb16) X(tzv_sm4_decrypt_cbc_mb16) X(tzv_sm4_decrypt_cfb128_mb16) \
    X(tzv_sm4_decrypt_ctr128_mb16) X(tzv_sm4_decrypt_ecb_mb16) X(tzv_sm4_decrypt_ofb_mb16) \
    X(tzv_sm4_encrypt_cbc_mb16) X(tzv_sm4_encrypt_cfb128_mb16) X(tzv_sm4_encrypt_ctr128_mb16) \
    X(tzv_sm4_encrypt_ecb_mb16) X(tzv_sm4_encrypt_ofb_mb16) X(tzv_sm4_gcm_decrypt_mb16) \
    X(tzv_sm4_gcm_encrypt_mb16) X(tzv_sm4_gcm_get_tag_mb16) X(tzv_sm4_gcm_init_mb16) \
    X(tzv_sm4_gcm_update_aad_mb16) X(tzv_sm4_set_key_mb16) X(tzv_sm4_xts_decrypt_mb16) \
    X(tzv_sm4_xts_encrypt_mb16) X(tzv_sm4_xts_set_keys_mb16) X(tzv_x25519_mb8) X(tzv_x25519_public_key_mb8)

#define KY_TZV_PRAGMA(text) _Pragma(#text)
#define KY_TZV_WEAK(f) KY_TZV_PRAGMA(weak f)
KY_TZV_FUNCTIONS(KY_TZV_WEAK)

// One library function a test needs: its name and its address (null when the library lacks it).
struct kyTzvNeed {
    const char* name;
    void (*address)();
};
#define KY_TZV_FN(f) kyTzvNeed{#f, reinterpret_cast<void (*)()>(&f)}

// Records the functions that the tests of owner (a test name or a test class) call; returns true
// for a static initialiser.
bool kyRegTzvNeeds(const char* owner, std::initializer_list<kyTzvNeed> needs);
// The first function recorded for the test or its class that the library lacks, or null.
const char* kyTzvMissing(const psString& testName, const psString& className);

// Declares, in a suite source, the helpers that the tests of Class call besides their own function.
#define KY_TZV_NEEDS(Class, ...) [[maybe_unused]] static bool kyNeeds_##Class = kyRegTzvNeeds(#Class, {__VA_ARGS__});

#endif
