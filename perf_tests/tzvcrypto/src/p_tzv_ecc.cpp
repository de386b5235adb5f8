// Elliptic-curve tests of the multi-buffer library: public key, ECDH and ECDSA on NIST P-256,
// P-384, P-521 and SM2, 8 lanes per call, every lane on the same fixed key material. The figure is
// clocks per single operation.
#include "ky_tzv_wrappers.h"
#include "p_tzv_ecc_data.h"
#include "ps_cstream.h"
#include "tzvcrypto.h"

class TimECC_TZV : public kytzvTest {
public:
    using kytzvTest::kytzvTest;

    bool canStart() override { return true; }
    void flushData() override {}
    double getDivisor() override { return 8.0; }
    psString getUnit() override { return " "; }
    // The functions that take a public key get it in Jacobian coordinates.
    bool parmsToCstrm() override
    {
        if (m_name.found("ecpublic_key") || m_name.found("ecdh") || m_name.found("ecdsa_verify"))
            g_cstrm.setNextColm("pub_key: projective");
        return true;
    }
};

class TimECC256_TZV : public TimECC_TZV {
public:
    using TimECC_TZV::TimECC_TZV;
    bool initData() override;
};

class TimECC384_TZV : public TimECC_TZV {
public:
    using TimECC_TZV::TimECC_TZV;
    bool initData() override;
};

class TimECC521_TZV : public TimECC_TZV {
public:
    using TimECC_TZV::TimECC_TZV;
    bool initData() override;
};

class TimECCSM2_TZV : public TimECC_TZV {
public:
    using TimECC_TZV::TimECC_TZV;
    bool initData() override;
};

KY_REG_KYN_ENVIRONMENT()

// ---- lane arrays: all 8 lanes point to the one value ----
#define ECC_LANES(x) {x, x, x, x, x, x, x, x}

// Outputs, shared by every curve and lane; nothing reads them back.
static int64u buffer64[9];
static int8u buffer8[66];
static int64u* buffer64_lanes[8] = ECC_LANES(buffer64);
static int8u* buffer8_lanes[8] = ECC_LANES(buffer8);
// The SM2 identifier and message lengths: both empty.
static const int len_sm2[8] = {0, 0, 0, 0, 0, 0, 0, 0};

#define ECC_CURVE_LANES(c)                                                         \
    static const int64u* const c##_reg_skey_lanes[8] = ECC_LANES(c##_reg_skey);    \
    static const int64u* const c##_eph_skey_lanes[8] = ECC_LANES(c##_eph_skey);    \
    static const int64u* const c##_pubx_lanes[8] = ECC_LANES(c##_pubx);            \
    static const int64u* const c##_puby_lanes[8] = ECC_LANES(c##_puby);            \
    static const int64u* const c##_pubz_lanes[8] = ECC_LANES(c##_pubz);            \
    static const int8u* const c##_sign_r_lanes[8] = ECC_LANES(c##_sign_r);         \
    static const int8u* const c##_sign_s_lanes[8] = ECC_LANES(c##_sign_s);

#define ECC_NIST_LANES(c)                                                                 \
    ECC_CURVE_LANES(c)                                                                    \
    static const int8u* const c##_msg_lanes[8] = ECC_LANES(c##_msg);                      \
    static const int64u* const c##_sgn_rp_lanes[8] = ECC_LANES(c##_sgn_rp);               \
    static const int64u* const c##_inv_eph_skey_lanes[8] = ECC_LANES(c##_inv_eph_skey);

ECC_NIST_LANES(p256)
ECC_NIST_LANES(p384)
ECC_NIST_LANES(p521)
ECC_CURVE_LANES(sm2)

// ---- the 22 tests, in registration order ----

#define ECC_NIST_TESTS(Class, curve, c)                                                                        \
    KY_TZV_TEST_MB8(Class, tzv_##curve##_ecpublic_key_mb8,                                                    \
                    (buffer64_lanes, buffer64_lanes, buffer64_lanes, c##_reg_skey_lanes, nullptr))             \
    KY_TZV_TEST_MB8(Class, tzv_##curve##_ecdh_mb8,                                                            \
                    (buffer8_lanes, c##_eph_skey_lanes, c##_pubx_lanes, c##_puby_lanes, c##_pubz_lanes, nullptr)) \
    KY_TZV_TEST_MB8(Class, tzv_##curve##_ecdsa_sign_setup_mb8,                                                \
                    (buffer64_lanes, buffer64_lanes, c##_eph_skey_lanes, nullptr))                             \
    KY_TZV_TEST_MB8(Class, tzv_##curve##_ecdsa_sign_complete_mb8,                                             \
                    (buffer8_lanes, buffer8_lanes, c##_msg_lanes, c##_sgn_rp_lanes, c##_inv_eph_skey_lanes,    \
                     c##_reg_skey_lanes, nullptr))                                                             \
    KY_TZV_TEST_MB8(Class, tzv_##curve##_ecdsa_sign_mb8,                                                      \
                    (buffer8_lanes, buffer8_lanes, c##_msg_lanes, c##_eph_skey_lanes, c##_reg_skey_lanes, nullptr)) \
    KY_TZV_TEST_MB8(Class, tzv_##curve##_ecdsa_verify_mb8,                                                    \
                    (c##_sign_r_lanes, c##_sign_s_lanes, c##_msg_lanes, c##_pubx_lanes, c##_puby_lanes,        \
                     c##_pubz_lanes, nullptr))

ECC_NIST_TESTS(TimECC256_TZV, nistp256, p256)
ECC_NIST_TESTS(TimECC384_TZV, nistp384, p384)
ECC_NIST_TESTS(TimECC521_TZV, nistp521, p521)

// SM2 signs and verifies the empty message with the empty identifier.
KY_TZV_TEST_MB8(TimECCSM2_TZV, tzv_sm2_ecpublic_key_mb8,
                (buffer64_lanes, buffer64_lanes, buffer64_lanes, sm2_reg_skey_lanes, nullptr))
KY_TZV_TEST_MB8(TimECCSM2_TZV, tzv_sm2_ecdh_mb8,
                (buffer8_lanes, sm2_eph_skey_lanes, sm2_pubx_lanes, sm2_puby_lanes, sm2_pubz_lanes, nullptr))
KY_TZV_TEST_MB8(TimECCSM2_TZV, tzv_sm2_ecdsa_sign_mb8,
                (buffer8_lanes, buffer8_lanes, buffer8_lanes, len_sm2, buffer8_lanes, len_sm2, sm2_eph_skey_lanes,
                 sm2_reg_skey_lanes, sm2_pubx_lanes, sm2_puby_lanes, sm2_pubz_lanes, nullptr))
KY_TZV_TEST_MB8(TimECCSM2_TZV, tzv_sm2_ecdsa_verify_mb8,
                (sm2_sign_r_lanes, sm2_sign_s_lanes, buffer8_lanes, len_sm2, buffer8_lanes, len_sm2, sm2_pubx_lanes,
                 sm2_puby_lanes, sm2_pubz_lanes, nullptr))

// The processor check of a class calls every function of its curve.
#define ECC_NIST_NEEDS(Class, curve)                                                                   \
    KY_TZV_NEEDS(Class, KY_TZV_FN(tzv_##curve##_ecpublic_key_mb8), KY_TZV_FN(tzv_##curve##_ecdh_mb8),  \
                 KY_TZV_FN(tzv_##curve##_ecdsa_sign_setup_mb8), KY_TZV_FN(tzv_##curve##_ecdsa_sign_complete_mb8), \
                 KY_TZV_FN(tzv_##curve##_ecdsa_sign_mb8), KY_TZV_FN(tzv_##curve##_ecdsa_verify_mb8))
ECC_NIST_NEEDS(TimECC256_TZV, nistp256)
ECC_NIST_NEEDS(TimECC384_TZV, nistp384)
ECC_NIST_NEEDS(TimECC521_TZV, nistp521)
KY_TZV_NEEDS(TimECCSM2_TZV, KY_TZV_FN(tzv_sm2_ecpublic_key_mb8), KY_TZV_FN(tzv_sm2_ecdh_mb8),
             KY_TZV_FN(tzv_sm2_ecdsa_sign_mb8), KY_TZV_FN(tzv_sm2_ecdsa_verify_mb8))

// ---- the processor check ----

// The calls go one after the other, in the order of the tests, so that the outputs end as the
// last call left them.
#define ECC_NIST_CALLS(curve, status)                                    \
    status |= tzv_##curve##_ecpublic_key_mb8_sts_lanes::call();          \
    status |= tzv_##curve##_ecdh_mb8_sts_lanes::call();                  \
    status |= tzv_##curve##_ecdsa_sign_setup_mb8_sts_lanes::call();      \
    status |= tzv_##curve##_ecdsa_sign_complete_mb8_sts_lanes::call();   \
    status |= tzv_##curve##_ecdsa_sign_mb8_sts_lanes::call();            \
    status |= tzv_##curve##_ecdsa_verify_mb8_sts_lanes::call();

// The four SM2 calls, which its test also makes by itself.
static unsigned int sm2_functions_test_call()
{
    unsigned int status = tzv_sm2_ecpublic_key_mb8_sts_lanes::call();
    status |= tzv_sm2_ecdh_mb8_sts_lanes::call();
    status |= tzv_sm2_ecdsa_sign_mb8_sts_lanes::call();
    status |= tzv_sm2_ecdsa_verify_mb8_sts_lanes::call();
    return status;
}

// Calls every function of the curve once (0 P-256, 1 P-384, 2 P-521, 3 SM2) and returns the OR of
// their lane words.
static unsigned int ec_functions_test_call(int ec_type)
{
    unsigned int status = 0;
    switch (ec_type) {
    case 0:
        ECC_NIST_CALLS(nistp256, status)
        return status;
    case 1:
        ECC_NIST_CALLS(nistp384, status)
        return status;
    case 2:
        ECC_NIST_CALLS(nistp521, status)
        return status;
    case 3:
        return sm2_functions_test_call();
    default:
        return 0x11111111u;
    }
}

bool TimECC256_TZV::initData() { return acceptCpu(kyUnsupportedCpu8(ec_functions_test_call(0))); }
bool TimECC384_TZV::initData() { return acceptCpu(kyUnsupportedCpu8(ec_functions_test_call(1))); }
bool TimECC521_TZV::initData() { return acceptCpu(kyUnsupportedCpu8(ec_functions_test_call(2))); }
bool TimECCSM2_TZV::initData() { return acceptCpu(kyUnsupportedCpu8(sm2_functions_test_call())); }
