// Modular exponentiation of the multi-buffer library for moduli of 1024 to 4096 bits, 8 lanes per
// call: 0 raised to an all-ones exponent modulo an all-ones (odd) modulus of the chosen size, the
// exponent as long as the modulus, so every bit of the exponent is a one. The figure is clocks per
// single exponentiation.
#include <cstring>

#include "ky_tzv_wrappers.h"
#include "ps_malloc.h"
#include "ps_parameter.h"
#include "tzvcrypto.h"

class TimEXP_TZV : public kycpTest {
public:
    using kycpTest::kycpTest;

    bool canStart() override;
    bool initData() override;
    void flushData() override;
    double getDivisor() override { return 8.0; }
    psString getUnit() override { return " "; }
};

KY_REG_KYN_ENVIRONMENT()

// ---- data shared by all lanes: word numbers of up to 4096 bits ----

static int64u base[64], pwr[64], mod[64];
// The output of every call; nothing reads it back.
static int64u out_exp[64];
static int8u* exp_buffer = nullptr;
static int exp_buffer_len = 0;
// The size of the current parameter set, kept as a plain int for the timed call.
static int exp_bits = 0;

static psIterator<int> modulus_bit_Length;

#define EXP_LANES(x) {x, x, x, x, x, x, x, x}
static int64u* const out_exp_lanes[8] = EXP_LANES(out_exp);
static const int64u* const base_lanes[8] = EXP_LANES(base);
static const int64u* const pwr_lanes[8] = EXP_LANES(pwr);
static const int64u* const mod_lanes[8] = EXP_LANES(mod);

// ---- the test ----

KY_TZV_TEST_MB8(TimEXP_TZV, tzv_exp_mb8,
                (out_exp_lanes, base_lanes, pwr_lanes, exp_bits, mod_lanes, exp_bits, exp_buffer, exp_buffer_len))

KY_TZV_NEEDS(TimEXP_TZV, KY_TZV_FN(tzv_exp_BufferSize))

// ---- data preparation ----

bool TimEXP_TZV::canStart()
{
    regParm(modulus_bit_Length);
    modulus_bit_Length.reset();
    modulus_bit_Length.init("modulus-bit-Length");
    modulus_bit_Length.setValue(0);
    modulus_bit_Length.add(1024);
    modulus_bit_Length.add(2048);
    modulus_bit_Length.add(3072);
    modulus_bit_Length.add(4096);
    return true;
}

bool TimEXP_TZV::initData()
{
    exp_bits = modulus_bit_Length.value();
    int len = tzv_exp_BufferSize(exp_bits);
    // The library answers 0 for a size it cannot serve on this processor.
    if (kyUnsupportedBufferSize(len)) {
        setCurrentResult(resWRNG_NOT_SUPPORTED_CPU);
        return false;
    }
    exp_buffer = static_cast<int8u*>(psMalloc(len));
    if (!kytzvTest::acceptBuffers(exp_buffer != nullptr)) return false;
    exp_buffer_len = len;
    std::memset(base, 0x00, sizeof base);
    std::memset(pwr, 0xFF, sizeof pwr);
    std::memset(mod, 0xFF, sizeof mod);
    return true;
}

void TimEXP_TZV::flushData()
{
    if (exp_buffer) psFree(exp_buffer);
    exp_buffer = nullptr;
    exp_buffer_len = 0;
}
