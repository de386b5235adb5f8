// Ed25519 tests of the multi-buffer library: public key, signing and verification, 8 lanes per
// call, every lane on the same fixed key and the empty message. The figure is clocks per single
// operation.
#include "ky_tzv_wrappers.h"
#include "p_tzv_ed25519_data.h"
#include "tzvcrypto.h"

class TimEd25519_TZV : public kytzvTest {
public:
    using kytzvTest::kytzvTest;

    bool canStart() override { return true; }
    bool initData() override;
    void flushData() override {}
    double getDivisor() override { return 8.0; }
    psString getUnit() override { return " "; }
};

KY_REG_KYN_ENVIRONMENT()

// ---- lane arrays: inputs all point to the one value, outputs have a slot per lane ----
#define ED25519_LANES(x) {x, x, x, x, x, x, x, x}
#define ED25519_SLOTS(x) {x[0], x[1], x[2], x[3], x[4], x[5], x[6], x[7]}

static const tzv_ed25519_private_key* const inp_secret_key[8] = ED25519_LANES(&ed25519_secret_key);
static const tzv_ed25519_public_key* const inp_public_key[8] = ED25519_LANES(&ed25519_public_key);
static const tzv_ed25519_sign_component* const inp_sign_r[8] = ED25519_LANES(&ed25519_sign_r);
static const tzv_ed25519_sign_component* const inp_sign_s[8] = ED25519_LANES(&ed25519_sign_s);

// The empty message: a length of 0 in every lane, over a real byte so that no lane sees null.
static const int8u msg_byte[1] = {0};
static const int8u* const inp_msg[8] = ED25519_LANES(msg_byte);
static const int32u inp_msg_len[8] = {0, 0, 0, 0, 0, 0, 0, 0};

// Nothing reads the outputs back.
static tzv_ed25519_public_key out_public_key_area[8];
static tzv_ed25519_sign_component out_sign_r_area[8];
static tzv_ed25519_sign_component out_sign_s_area[8];
static tzv_ed25519_public_key* out_public_key[8] = ED25519_SLOTS(&out_public_key_area);
static tzv_ed25519_sign_component* out_sign_r[8] = ED25519_SLOTS(&out_sign_r_area);
static tzv_ed25519_sign_component* out_sign_s[8] = ED25519_SLOTS(&out_sign_s_area);

// ---- the 3 tests, in registration order ----

KY_TZV_TEST_MB8(TimEd25519_TZV, tzv_ed25519_public_key_mb8, (out_public_key, inp_secret_key))
KY_TZV_TEST_MB8(TimEd25519_TZV, tzv_ed25519_sign_mb8,
                (out_sign_r, out_sign_s, inp_msg, inp_msg_len, inp_secret_key, inp_public_key))
KY_TZV_TEST_MB8(TimEd25519_TZV, tzv_ed25519_verify_mb8, (inp_sign_r, inp_sign_s, inp_msg, inp_msg_len, inp_public_key))

// ---- the processor check ----

bool TimEd25519_TZV::initData()
{
    unsigned int keySts = tzv_ed25519_public_key_mb8_sts_lanes::call();
    unsigned int signSts = tzv_ed25519_sign_mb8_sts_lanes::call();
    unsigned int verifySts = tzv_ed25519_verify_mb8_sts_lanes::call();
    // Only an unsupported value in every lane, over all three calls, refuses the test.
    unsigned int combined = ((keySts | signSts) & 0xAAAAAAAAu) | (verifySts & 0xAAAAAAAAu);
    return acceptCpu(kyUnsupportedCpu8(combined));
}
