// The eight-lane inversion on the plain C++ backend (the same template code as the AVX-512 one), for
// the field prime and the group order of every curve: values at the edges and random ones, eight to
// a call, against OpenSSL's BN_mod_inverse; and in Montgomery form, as the curve code calls it. The
// products it rests on, a·b, a² and a·b + c·d under one reduction, likewise against BN_mod_mul.
#include <gtest/gtest.h>
#include <openssl/bn.h>

#include <memory>
#include <vector>

#include "ec/ec_inverse.h"

namespace {

namespace ec = tzv::ec;
using V = tzv::simd::U64x8Plain;
using BnPtr = std::unique_ptr<BIGNUM, decltype(&BN_free)>;

BnPtr bn(BIGNUM* b = BN_new()) { return BnPtr(b, BN_free); }

BnPtr fromLimbs(const uint64_t* limbs, int count)
{
    BnPtr r = bn();
    for (int i = count - 1; i >= 0; --i) {
        BN_lshift(r.get(), r.get(), 52);
        BN_add_word(r.get(), limbs[i]);
    }
    return r;
}

void toLimbs(uint64_t* limbs, int count, const BIGNUM* x)
{
    BnPtr t = bn();
    for (int i = 0; i < count; ++i) {
        BN_rshift(t.get(), x, 52 * i);
        BN_mask_bits(t.get(), 52);
        limbs[i] = BN_get_word(t.get());
    }
}

// Values below m that stress the steps: 0, 1, 2, m − 1, m − 2, (m ± 1)/2, powers of two and runs
// of ones at the top, then random ones.
std::vector<BnPtr> values(const BIGNUM* m)
{
    std::vector<BnPtr> v;
    auto add = [&](BnPtr x) {
        if (BN_cmp(x.get(), m) < 0 && !BN_is_negative(x.get())) v.push_back(std::move(x));
    };
    for (unsigned long w : {0ul, 1ul, 2ul, 3ul}) {
        BnPtr x = bn();
        BN_set_word(x.get(), w);
        add(std::move(x));
    }
    for (unsigned long w : {1ul, 2ul}) {
        BnPtr x = bn(BN_dup(m));
        BN_sub_word(x.get(), w);
        add(std::move(x));
    }
    for (int plus : {0, 1}) {
        BnPtr x = bn(BN_dup(m));
        if (plus) BN_add_word(x.get(), 1);
        BN_rshift1(x.get(), x.get());
        add(std::move(x));
    }
    const int bits = BN_num_bits(m);
    for (int shift : {bits - 1, bits - 2, bits / 2}) {
        BnPtr x = bn();
        BN_set_bit(x.get(), shift);
        add(bn(BN_dup(x.get())));
        BN_sub_word(x.get(), 1); // 2^shift − 1
        add(std::move(x));
    }
    while (v.size() % 8 != 0 || v.size() < 64) {
        BnPtr x = bn();
        BN_rand_range(x.get(), m);
        add(std::move(x));
    }
    return v;
}

struct Case {
    const char* name;
    ec::CurveId curve;
    bool order;
};

class Field : public ::testing::TestWithParam<Case> {};

// One lane of an eight-lane number, set from and read as a BIGNUM.
template <int N>
void setLane(ec::Fe<V, N>& x, int lane, const BIGNUM* value)
{
    uint64_t limbs[N];
    toLimbs(limbs, N, value);
    for (int i = 0; i < N; ++i) x.l[i].v[lane] = limbs[i];
}

template <int N>
BnPtr laneValue(const ec::Fe<V, N>& x, int lane)
{
    uint64_t limbs[N];
    for (int i = 0; i < N; ++i) limbs[i] = x.l[i].v[lane];
    return fromLimbs(limbs, N);
}

// Eight values per call; each lane's result checked against OpenSSL, plainly and in Montgomery form.
template <int N>
void check(const ec::ModConsts& c)
{
    const ec::Mod<V, N> M(c);
    BnPtr m = fromLimbs(c.m, N);
    BN_CTX* ctx = BN_CTX_new();
    const std::vector<BnPtr> xs = values(m.get());
    for (size_t base = 0; base < xs.size(); base += 8) {
        ec::Fe<V, N> x, xm;
        for (int lane = 0; lane < 8; ++lane) {
            BnPtr mont = bn();
            BN_lshift(mont.get(), xs[base + lane].get(), c.mersenne ? 0 : 52 * N);
            BN_nnmod(mont.get(), mont.get(), m.get(), ctx);
            setLane(x, lane, xs[base + lane].get());
            setLane(xm, lane, mont.get());
        }
        // The plain inverse runs every step; the one in Montgomery form stops once all lanes are done.
        const ec::Fe<V, N> plain = ec::inverseByDivsteps(x, M, ec::Input::Secret);
        const ec::Fe<V, N> inMont = ec::fromMont(ec::invert(xm, M, ec::Input::Public), M);
        for (int lane = 0; lane < 8; ++lane) {
            const BIGNUM* value = xs[base + lane].get();
            BnPtr want = bn();
            if (!BN_is_zero(value)) {
                ASSERT_TRUE(BN_mod_inverse(want.get(), value, m.get(), ctx));
            }
            for (const ec::Fe<V, N>* got : {&plain, &inMont}) {
                EXPECT_EQ(BN_cmp(laneValue(*got, lane).get(), want.get()), 0)
                    << "x = " << BN_bn2hex(value) << (got == &plain ? " (plain)" : " (Montgomery form)");
            }
        }
    }
    BN_CTX_free(ctx);
}

// a·b, a² and a·b + b² (one reduction) in Montgomery form for lanes a = xs[i], b = xs[n − 1 − i], so
// that the edge values meet each other and random ones.
template <int N>
void checkProducts(const ec::ModConsts& c)
{
    static const char* const kNames[] = {"a*b", "a^2", "a*b + b^2"};
    const ec::Mod<V, N> M(c);
    BnPtr m = fromLimbs(c.m, N);
    BN_CTX* ctx = BN_CTX_new();
    const std::vector<BnPtr> xs = values(m.get());
    const size_t n = xs.size();
    for (size_t base = 0; base < n; base += 8) {
        ec::Fe<V, N> a, b;
        for (int lane = 0; lane < 8; ++lane) {
            setLane(a, lane, xs[base + lane].get());
            setLane(b, lane, xs[n - 1 - base - lane].get());
        }
        const ec::Fe<V, N> am = ec::toMont(a, M), bm = ec::toMont(b, M);
        const ec::Fe<V, N> got[3] = {ec::fromMont(ec::mul(am, bm, M), M), ec::fromMont(ec::sqr(am, M), M),
                                     ec::fromMont(ec::mulSum(am, bm, bm, bm, M), M)};
        for (int lane = 0; lane < 8; ++lane) {
            const BIGNUM* x = xs[base + lane].get();
            const BIGNUM* y = xs[n - 1 - base - lane].get();
            BnPtr want[3] = {bn(), bn(), bn()};
            ASSERT_TRUE(BN_mod_mul(want[0].get(), x, y, m.get(), ctx));
            ASSERT_TRUE(BN_mod_sqr(want[1].get(), x, m.get(), ctx));
            ASSERT_TRUE(BN_mod_sqr(want[2].get(), y, m.get(), ctx));
            ASSERT_TRUE(BN_mod_add(want[2].get(), want[2].get(), want[0].get(), m.get(), ctx));
            for (int k = 0; k < 3; ++k) {
                EXPECT_EQ(BN_cmp(laneValue(got[k], lane).get(), want[k].get()), 0)
                    << kNames[k] << ", a = " << BN_bn2hex(x) << ", b = " << BN_bn2hex(y);
            }
        }
    }
    BN_CTX_free(ctx);
}

TEST_P(Field, EveryLaneMatchesOpenSsl)
{
    const ec::CurveConsts* cc = ec::curveConsts(GetParam().curve);
    ASSERT_NE(cc, nullptr);
    const ec::ModConsts& c = GetParam().order ? cc->n : cc->p;
    switch (cc->limbs) {
    case 5: return check<5>(c), checkProducts<5>(c);
    case 8: return check<8>(c), checkProducts<8>(c);
    case 11: return check<11>(c), checkProducts<11>(c);
    }
    FAIL() << "unexpected limb count " << cc->limbs;
}

INSTANTIATE_TEST_SUITE_P(Moduli, Field,
                         ::testing::Values(Case{"P256_p", ec::CurveId::P256, false}, Case{"P256_n", ec::CurveId::P256, true},
                                           Case{"P384_p", ec::CurveId::P384, false}, Case{"P384_n", ec::CurveId::P384, true},
                                           Case{"P521_p", ec::CurveId::P521, false}, Case{"P521_n", ec::CurveId::P521, true},
                                           Case{"SM2_p", ec::CurveId::SM2, false}, Case{"SM2_n", ec::CurveId::SM2, true}),
                         [](const ::testing::TestParamInfo<Case>& i) { return std::string(i.param.name); });

} // namespace
