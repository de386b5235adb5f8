// A stand-in for libtzvcrypto.so.13 on a processor that can run none of its functions: every call
// reports 0xA in every lane, the method getters return null and the buffer sizes are 0. The
// end-to-end tests put it first on LD_LIBRARY_PATH, which also shows that the program measures an
// implementation it was not built with. The C names are all the loader matches, so each function
// takes no parameters here: the caller's arguments are simply not read.
#include <cstdint>

#define DEFINE(type, value, name) extern "C" __attribute__((visibility("default"))) type name() { return value; }
#define LANES8(name) DEFINE(uint32_t, 0xAAAAAAAAu, name)
#define LANES16(name) DEFINE(uint64_t, 0xAAAAAAAAAAAAAAAAull, name)
#define NO_METHOD(name) DEFINE(const void*, nullptr, name)
#define NO_BUFFER(name) DEFINE(int, 0, name)
#define CURVE(c) LANES8(tzv_##c##_ecpublic_key_mb8) LANES8(tzv_##c##_ecdh_mb8) LANES8(tzv_##c##_ecdsa_sign_mb8) \
    LANES8(tzv_##c##_ecdsa_verify_mb8)
#define NIST(c) CURVE(c) LANES8(tzv_##c##_ecdsa_sign_setup_mb8) LANES8(tzv_##c##_ecdsa_sign_complete_mb8)
#define RSA_SIZE(k) NO_METHOD(tzv_RSA##k##_pub65537_Method) NO_METHOD(tzv_RSA##k##_private_Method) \
    NO_METHOD(tzv_RSA##k##_private_crt_Method)
#define SM4_MODE(m) LANES16(tzv_sm4_encrypt_##m##_mb16) LANES16(tzv_sm4_decrypt_##m##_mb16)
#define SM4_AEAD(m) LANES16(tzv_sm4_##m##_init_mb16) LANES16(tzv_sm4_##m##_update_aad_mb16) \
    LANES16(tzv_sm4_##m##_encrypt_mb16) LANES16(tzv_sm4_##m##_decrypt_mb16) LANES16(tzv_sm4_##m##_get_tag_mb16)

NIST(nistp256) NIST(nistp384) NIST(nistp521) CURVE(sm2)
RSA_SIZE(1K) RSA_SIZE(2K) RSA_SIZE(3K) RSA_SIZE(4K) NO_BUFFER(tzv_RSA_Method_BufSize)
LANES8(tzv_rsa_public_mb8) LANES8(tzv_rsa_private_mb8) LANES8(tzv_rsa_private_crt_mb8)
NO_BUFFER(tzv_exp_BufferSize) LANES8(tzv_exp_mb8)
LANES16(tzv_sm4_set_key_mb16) SM4_MODE(ecb) SM4_MODE(cbc) SM4_MODE(cfb128) SM4_MODE(ctr128) SM4_MODE(ofb)
LANES16(tzv_sm4_xts_set_keys_mb16) LANES16(tzv_sm4_xts_encrypt_mb16) LANES16(tzv_sm4_xts_decrypt_mb16)
SM4_AEAD(gcm) SM4_AEAD(ccm)
LANES16(tzv_sm3_init_mb16) LANES16(tzv_sm3_update_mb16) LANES16(tzv_sm3_final_mb16) LANES16(tzv_sm3_msg_digest_mb16)
LANES8(tzv_ed25519_public_key_mb8) LANES8(tzv_ed25519_sign_mb8) LANES8(tzv_ed25519_verify_mb8)
LANES8(tzv_x25519_public_key_mb8) LANES8(tzv_x25519_mb8)
