// X25519 tests of the multi-buffer library: public key and shared secret, 8 lanes per call, every
// lane on the same fixed private key and peer key. The figure is clocks per single operation.
#include "ky_tzv_wrappers.h"
#include "p_tzv_x25519_data.h"
#include "tzvcrypto.h"

class TimX25519_TZV : public kytzvTest {
public:
    using kytzvTest::kytzvTest;

    bool canStart() override { return true; }
    bool initData() override;
    void flushData() override {}
    double getDivisor() override { return 8.0; }
    psString getUnit() override { return " "; }
};

KY_REG_KYN_ENVIRONMENT()

// ---- lane arrays: all 8 lanes point to the one value ----
#define X25519_LANES(x) {x, x, x, x, x, x, x, x}

static const int8u* const private_key[8] = X25519_LANES(x25519_private_key);
static const int8u* const public_key[8] = X25519_LANES(x25519_peer_public_key);
// One output for every lane and both functions; nothing reads it back.
static int8u buffer8_area[32];
static int8u* const buffer8[8] = X25519_LANES(buffer8_area);

// ---- the 2 tests, in registration order ----

KY_TZV_TEST_MB8(TimX25519_TZV, tzv_x25519_public_key_mb8, (buffer8, private_key))
KY_TZV_TEST_MB8(TimX25519_TZV, tzv_x25519_mb8, (buffer8, private_key, public_key))

// ---- the processor check ----

bool TimX25519_TZV::initData()
{
    unsigned int keySts = tzv_x25519_public_key_mb8_sts_lanes::call();
    unsigned int sharedSts = tzv_x25519_mb8_sts_lanes::call();
    return acceptCpu(kyUnsupportedCpu8((keySts | sharedSts) & 0xAAAAAAAAu));
}
