// The elliptic-curve suite's fixed key material: by OpenSSL's reckoning the stored values fit
// together (the public key is d·G in Jacobian form with Z != 1; r and k⁻¹ belong to k; the NIST
// signature to k, d and the digest; OpenSSL's SM2 verifies the stored signature over the empty message
// and identifier), and each of the 22 calls, every lane on these values, succeeds and gives them back.
#include <gtest/gtest.h>

#include "../../perf_tests/tzvcrypto/src/p_tzv_ecc_data.h"
#include "ec_lanes.h"

using namespace ectest;

namespace {

struct Fixed {
    int api;
    const uint64_t *d, *k, *x, *y, *z;
    const uint8_t* msg;
    const uint64_t *rk, *kinv;
    const uint8_t *r, *s;
};
#define PS_FIXED(c, i) {i, c##_reg_skey, c##_eph_skey, c##_pubx, c##_puby, c##_pubz, c##_msg, c##_sgn_rp, c##_inv_eph_skey, c##_sign_r, c##_sign_s}
const Fixed kFixed[] = {
    PS_FIXED(p256, 0),
    PS_FIXED(p384, 1),
    PS_FIXED(p521, 2),
    {3, sm2_reg_skey, sm2_eph_skey, sm2_pubx, sm2_puby, sm2_pubz, nullptr, nullptr, nullptr, sm2_sign_r, sm2_sign_s},
};

TEST(EccFixedData, ValuesFitTogetherAndEveryCallGivesThemBack)
{
    for (const Fixed& f : kFixed) {
        const Api& api = kApis[f.api];
        const TestCurve c(api.nid);
        const int w = c.words, len = c.orderBytes;
        SCOPED_TRACE(api.name);
        Lane L;
        L.d = fromWords(Words(f.d, f.d + w));
        L.k = fromWords(Words(f.k, f.k + w));
        L.z = fromWords(Words(f.z, f.z + w));
        if (f.msg) L.e = bnFromBytes(Bytes(f.msg, f.msg + len));
        c.derive(L);
        EXPECT_FALSE(BN_is_one(L.z.get())) << "the public key should not be affine";
        EXPECT_EQ(L.X, Words(f.x, f.x + w));
        EXPECT_EQ(L.Y, Words(f.y, f.y + w));
        if (f.msg) {
            EXPECT_EQ(L.rkw, Words(f.rk, f.rk + w));
            EXPECT_EQ(L.kinvw, Words(f.kinv, f.kinv + w));
            EXPECT_EQ(L.sigR, Bytes(f.r, f.r + len));
            EXPECT_EQ(L.sigS, Bytes(f.s, f.s + len));
        }
        L.r = bnFromBytes(Bytes(f.r, f.r + len));
        L.s = bnFromBytes(Bytes(f.s, f.s + len));
        c.encode(L);
        if (!f.msg) {
            Bytes r = L.rb, s = L.sb;
            EXPECT_TRUE(sm2Signature(false, sm2Key(nullptr, L.qx.get(), L.qy.get()).get(), {}, {}, r, s));
        }

        Lanes lanes;
        lanes.fill(L);
        for (int op = 0; op < kOpCount; ++op) {
            if (api.has((Op)op)) {
                EXPECT_EQ(compare(api, c, (Op)op, lanes, false, {}), "") << kOpNames[op];
            }
        }
    }
}

} // namespace
