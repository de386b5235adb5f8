// Montgomery arithmetic modulo each lane's own odd modulus, in 52-bit limbs whose count is known at
// run time, and the exponentiations on it; written once over the lane vector V, instantiated by each
// backend's translation unit. Numbers live in the caller's scratch memory, one vector per limb.
// R = 2^(52·L) is at least 4·m, so that a product of a below R/2 and b below 2m, divided by R, is
// below 2m again: no product needs a final subtraction; results are brought below m once, at the end.
#ifndef TZV_MEXP_MONT_LANES_H
#define TZV_MEXP_MONT_LANES_H

#include <cstdint>

#include "../simd/limbs52.h"
#include "../simd/vec64x8.h"
#include "mexp_engine.h"

namespace tzv::mexp {
namespace {

using simd::kLimbMask52;

constexpr int kMaxLimbs = 2 * limbsFor(kMaxWords / 2); // the CRT's input, two halves' limbs
constexpr int kWindow = 5;
constexpr int kEntries = 1 << kWindow;

// Pieces of the caller's scratch memory, 64-byte aligned, in the order taken.
template <class V>
class Arena {
public:
    explicit Arena(void* scratch)
        : m_next(reinterpret_cast<V*>((reinterpret_cast<std::uintptr_t>(scratch) + 63) & ~std::uintptr_t{63}))
    {
    }
    V* take(int n)
    {
        V* p = m_next;
        m_next += n;
        return p;
    }

private:
    V* m_next;
};

// ---- lanes in and out ----

// dst[l] = limb l of every lane's word number; lanes outside `active` take words of `standIn`.
template <class V>
void loadLimbs(V* dst, int n, const int64u* const src[kLanes], int count, unsigned active, uint64_t standIn)
{
    uint64_t fill[2 * kMaxWords];
    for (int w = 0; w < count; ++w) fill[w] = standIn;
    uint64_t limbs[kLanes][kMaxLimbs];
    for (int i = 0; i < kLanes; ++i)
        simd::wordsToLimbs(limbs[i], n, (active >> i) & 1 ? src[i] : fill, count);
    for (int l = 0; l < n; ++l) {
        alignas(64) uint64_t col[kLanes];
        for (int i = 0; i < kLanes; ++i) col[i] = limbs[i][l];
        dst[l] = V::load(col);
    }
}

// dst[w] = word w of every lane's number, and a zero word behind (an exponent's windows read it).
template <class V>
void loadWords(V* dst, const int64u* const src[kLanes], int count, unsigned active)
{
    for (int w = 0; w < count; ++w) {
        alignas(64) uint64_t col[kLanes];
        for (int i = 0; i < kLanes; ++i) col[i] = (active >> i) & 1 ? src[i][w] : 0;
        dst[w] = V::load(col);
    }
    dst[count] = V::zero();
}

// The active lanes' numbers as `count` words each, where `keep` is set: a masked store, so that a
// lane's result written or not is no branch.
template <class V>
void storeLimbs(int64u* const dst[kLanes], int count, const V* src, int n, unsigned active, const V& keep)
{
    alignas(64) uint64_t limbs[kLanes][kMaxLimbs];
    alignas(64) uint64_t mask[kLanes];
    keep.store(mask);
    for (int l = 0; l < n; ++l) {
        alignas(64) uint64_t col[kLanes];
        src[l].store(col);
        for (int i = 0; i < kLanes; ++i) limbs[i][l] = col[i];
    }
    for (int i = 0; i < kLanes; ++i) {
        if (!((active >> i) & 1)) continue;
        uint64_t words[kMaxWords];
        simd::limbsToWords(words, count, limbs[i], n);
        for (int w = 0; w < count; ++w) dst[i][w] = (words[w] & mask[i]) | (dst[i][w] & ~mask[i]);
    }
}

// Bit i set where lane i of the mask is set.
template <class V>
unsigned maskBits(const V& mask)
{
    alignas(64) uint64_t col[kLanes];
    mask.store(col);
    unsigned bits = 0;
    for (int i = 0; i < kLanes; ++i) bits |= (unsigned)(col[i] & 1) << i;
    return bits;
}

// ---- arithmetic ----

// r = t with its carries passed up, limbs below 2^52; the limbs of t may be negative (two's
// complement) as long as the whole is not.
template <class V>
void normalize(V* r, const V* t, int n)
{
    const V mask = V::set1(kLimbMask52);
    V carry = V::zero();
    for (int j = 0; j < n; ++j) {
        V x = t[j] + carry;
        r[j] = x & mask;
        carry = V::template sar<52>(x);
    }
}

template <class V>
struct Mont {
    int L;
    const V* m;
    V k0; // −m⁻¹ mod 2^52
    V* rr; // R² mod m, below 2m
    V* t;  // 2L + 1 limbs of room for a product
    V* tmp; // 2L more
    V* sq;  // 2L + 4 more, for squarings
};

// r = a·b/R mod m, below 2m, for a below R/2 and b below 2m; r may be a or b. Operand scanning
// with the reduction interleaved, two limbs of a to a pass: each pass adds a_i·b + q_i·m and
// a_(i+1)·2^52·b + q_(i+1)·2^52·m, which clear the two lowest limbs, and moves the sum down two limbs
// as it goes, so that every limb of b and m loaded serves four multiply-adds of each half. The
// limbs gather at most 4L products of 52 bits (below 2^61 for L ≤ 79) and are carried at the end.
template <class V>
void mul(const Mont<V>& M, V* r, const V* a, const V* b)
{
    const int L = M.L;
    const V zero = V::zero();
    const V* m = M.m;
    V* t = M.t;
    for (int j = 0; j < L + 3; ++j) t[j] = zero;
    int i = 0;
    for (; i + 1 < L; i += 2) {
        const V a0 = a[i], a1 = a[i + 1];
        V low = V::madd52lo(t[0], a0, b[0]);
        const V q0 = V::madd52lo(zero, low, M.k0);
        low = V::madd52lo(low, q0, m[0]);
        V next = t[1] + V::template shr<52>(low);
        next = V::madd52lo(V::madd52lo(next, a0, b[1]), q0, m[1]);
        next = V::madd52hi(V::madd52hi(next, a0, b[0]), q0, m[0]);
        next = V::madd52lo(next, a1, b[0]);
        const V q1 = V::madd52lo(zero, next, M.k0);
        next = V::madd52lo(next, q1, m[0]);
        V x = t[2] + V::template shr<52>(next);
        // Column j + 2 becomes column j.
        // Limbs j and j + 1 of b and m stay in registers from one column to the next (t could
        // alias b as far as the compiler knows, so it would load them again after each store).
        V b0 = b[0], b1 = b[1], m0 = m[0], m1 = m[1];
        for (int j = 0; j + 2 < L; ++j) {
            const V b2 = b[j + 2], m2 = m[j + 2];
            x = V::madd52lo(V::madd52lo(x, a0, b2), q0, m2);
            V y = V::madd52lo(V::madd52lo(zero, a1, b1), q1, m1);
            V z = V::madd52hi(V::madd52hi(zero, a0, b1), q0, m1);
            V w = V::madd52hi(V::madd52hi(zero, a1, b0), q1, m0);
            t[j] = (x + y) + (z + w);
            x = t[j + 3];
            b0 = b1, b1 = b2, m0 = m1, m1 = m2;
        }
        x = V::madd52hi(V::madd52hi(x, a0, b[L - 1]), q0, m[L - 1]);
        x = V::madd52lo(V::madd52lo(x, a1, b[L - 1]), q1, m[L - 1]);
        t[L - 2] = V::madd52hi(V::madd52hi(x, a1, b[L - 2]), q1, m[L - 2]);
        t[L - 1] = V::madd52hi(V::madd52hi(zero, a1, b[L - 1]), q1, m[L - 1]);
    }
    if (i < L) { // an odd limb count: one more limb of a on its own
        const V ai = a[i];
        V low = V::madd52lo(t[0], ai, b[0]);
        const V q = V::madd52lo(zero, low, M.k0);
        low = V::madd52lo(low, q, m[0]);
        V x = t[1] + V::template shr<52>(low);
        for (int j = 1; j < L; ++j) {
            x = V::madd52lo(V::madd52lo(x, ai, b[j]), q, m[j]);
            t[j - 1] = V::madd52hi(V::madd52hi(x, ai, b[j - 1]), q, m[j - 1]);
            x = t[j + 1];
        }
        t[L - 1] = V::madd52hi(V::madd52hi(x, ai, b[L - 1]), q, m[L - 1]);
    }
    normalize(r, t, L);
}

// r = a²/R mod m, below 2m, for a below 2m: mul() with a for b, but each product a_i·a_j of i < j
// taken once, as a_i·2a_j, in the pass of row i, and a_i² in that pass too; about 3L² multiply-adds
// instead of 4L². 2a_j has 53 bits, so it goes in as d_j = 2a_j mod 2^52 with its top bit e_j added
// as a_i·e_j one limb up (a mask, no multiply). Every product lands in its column no later than the
// pass whose quotient digit reads that column.
template <class V>
void sqr(const Mont<V>& M, V* r, const V* a)
{
    const int L = M.L;
    const V zero = V::zero(), mask = V::set1(kLimbMask52);
    const V* m = M.m;
    V* t = M.t;
    V* d = M.sq;         // L + 2 limbs, the last two zero
    V* e = M.sq + L + 2; // likewise: all ones where the top bit of a_j is set
    for (int j = 0; j < L; ++j) {
        d[j] = V::template shl<1>(a[j]) & mask;
        e[j] = zero - V::template shr<51>(a[j]);
    }
    d[L] = d[L + 1] = e[L] = e[L + 1] = zero;
    for (int j = 0; j < L + 3; ++j) t[j] = zero;
    // Row i's terms in column c of its pass (counted from column i): the head's two columns and
    // the lone last row of an odd limb count.
    auto squareTerms = [&](V x, int c, int i) {
        const V a0 = a[i];
        if (c == i) x = V::madd52lo(x, a0, a0);
        if (c == i + 1) x = V::madd52hi(x, a0, a0);
        if (c >= i + 1) x = V::madd52lo(x, a0, d[c]);
        if (c >= i + 2) x = V::madd52hi(x, a0, d[c - 1]) + (a0 & e[c - 1]);
        return x;
    };
    auto quotientTerms = [&](V x, int c, const V& q0, const V& q1, bool i1) {
        x = V::madd52hi(V::madd52lo(x, q0, m[c]), q0, m[c - 1]);
        return i1 ? V::madd52hi(V::madd52lo(x, q1, m[c - 1]), q1, m[c - 2]) : x;
    };
    int i = 0;
    for (; i + 1 < L; i += 2) {
        const V a0 = a[i], a1 = a[i + 1];
        V low = squareTerms(t[0], 0, i);
        const V q0 = V::madd52lo(zero, low, M.k0);
        low = V::madd52lo(low, q0, m[0]);
        V next = squareTerms(t[1] + V::template shr<52>(low), 1, i);
        next = V::madd52hi(V::madd52lo(next, q0, m[1]), q0, m[0]);
        const V q1 = V::madd52lo(zero, next, M.k0);
        next = V::madd52lo(next, q1, m[0]);
        V x = t[2] + V::template shr<52>(next);
        // Column c moves to c − 2. Below column i only the quotient terms, from i on the squares'
        // too; the limbs of m, d and e beyond L − 1 are zero.
        int c = 2;
        V m0 = m[0], m1 = m[1];
        for (; c < i; ++c) {
            const V m2 = m[c];
            x = V::madd52lo(V::madd52lo(x, q0, m2), q1, m1);
            t[c - 2] = x + V::madd52hi(V::madd52hi(zero, q0, m1), q1, m0);
            x = t[c + 1];
            m0 = m1, m1 = m2;
        }
        // Columns i to i + 3: the squares of a_i and a_(i+1) and the first products of each row.
        auto boundary = [&](V y) {
            t[c - 2] = quotientTerms(y, c, q0, q1, true);
            ++c;
            return t[c];
        };
        if (i >= 2) {
            x = boundary(V::madd52lo(x, a0, a0));
            x = boundary(V::madd52lo(V::madd52hi(x, a0, a0), a0, d[i + 1]));
        }
        x = V::madd52hi(V::madd52lo(x, a0, d[i + 2]), a0, d[i + 1]) + (a0 & e[i + 1]);
        x = boundary(V::madd52lo(x, a1, a1));
        x = V::madd52hi(V::madd52lo(x, a0, d[i + 3]), a0, d[i + 2]) + (a0 & e[i + 2]);
        x = boundary(V::madd52hi(V::madd52lo(x, a1, d[i + 2]), a1, a1));
        m0 = m[c - 2], m1 = m[c - 1];
        V d0 = d[c - 2], d1 = d[c - 1], e0 = e[c - 2], e1 = e[c - 1];
        for (; c <= L + 1; ++c) {
            const V m2 = m[c], d2 = d[c];
            x = V::madd52lo(V::madd52lo(x, q0, m2), q1, m1);
            x = V::madd52lo(V::madd52lo(x, a0, d2), a1, d1);
            V y = V::madd52hi(V::madd52hi(zero, q0, m1), q1, m0);
            y = V::madd52hi(V::madd52hi(y, a0, d1), a1, d0) + ((a0 & e1) + (a1 & e0));
            t[c - 2] = x + y;
            x = t[c + 1];
            m0 = m1, m1 = m2, d0 = d1, d1 = d2, e0 = e1, e1 = e[c];
        }
    }
    if (i < L) { // an odd limb count: the last row on its own, moving the columns by one
        V low = squareTerms(t[0], 0, i);
        const V q = V::madd52lo(zero, low, M.k0);
        low = V::madd52lo(low, q, m[0]);
        V x = t[1] + V::template shr<52>(low);
        for (int c = 1; c <= L; ++c) {
            t[c - 1] = squareTerms(quotientTerms(x, c, q, zero, false), c, i);
            x = t[c + 1];
        }
    }
    normalize(r, t, L);
}

// r = c/R mod m, below 2m, for c of 2L limbs below m·R.
template <class V>
void redc(const Mont<V>& M, V* r, const V* c)
{
    const int L = M.L;
    V* t = M.t;
    for (int j = 0; j < 2 * L; ++j) t[j] = c[j];
    t[2 * L] = V::zero();
    for (int i = 0; i < L; ++i) {
        const V q = V::madd52lo(V::zero(), t[i], M.k0);
        for (int j = 0; j < L; ++j) {
            t[i + j] = V::madd52lo(t[i + j], q, M.m[j]);
            t[i + j + 1] = V::madd52hi(t[i + j + 1], q, M.m[j]);
        }
        t[i + 1] = t[i + 1] + V::template shr<52>(t[i]);
    }
    normalize(t + L, t + L, L + 1);
    for (int j = 0; j < L; ++j) r[j] = t[L + j];
}

// r = a − m where a ≥ m, else a; for a below 2m, r below m.
template <class V>
void reduceOnce(const Mont<V>& M, V* r, const V* a)
{
    const V mask = V::set1(kLimbMask52);
    V borrow = V::zero();
    for (int j = 0; j < M.L; ++j) {
        V d = a[j] - M.m[j] - borrow;
        M.tmp[j] = d & mask;
        borrow = V::template shr<63>(d);
    }
    const V below = V::zero() - borrow; // a < m: keep a
    for (int j = 0; j < M.L; ++j) r[j] = V::select(below, M.tmp[j], a[j]);
}

// All ones in the lanes where a = 1.
template <class V>
V isOne(const V* a, int n)
{
    V bits = a[0] ^ V::set1(1);
    for (int j = 1; j < n; ++j) bits = bits | a[j];
    return V::eqMask(bits, V::zero());
}

// k0 and R² mod m for the moduli in M.m, which are at least 2^(minBits − 1). Newton's iteration
// doubles the correct low bits of an inverse of the odd m₀, starting from the 3 that m₀ itself has.
// R²: 2^(minBits − 1), below m, doubled to 2^(52L + 1), which is 2 in Montgomery form; then 2^(52L)
// by squarings and multiplications by 2 along the bits of 52L (public), in Montgomery form R².
template <class V>
void setUp(Mont<V>& M, int minBits)
{
    const int L = M.L;
    const V m0 = M.m[0];
    V inv = m0;
    for (int i = 0; i < 5; ++i) inv = V::mulLow(inv, V::set1(2) - V::mulLow(m0, inv));
    M.k0 = (V::zero() - inv) & V::set1(kLimbMask52);
    const int rBits = 52 * L, start = minBits > 0 ? minBits - 1 : 0;
    V* two = M.tmp + L;
    for (int j = 0; j < L; ++j) two[j] = V::zero();
    two[start / 52] = V::set1(1ull << (start % 52));
    for (int b = start; b < rBits + 1; ++b) {
        for (int j = 0; j < L; ++j) two[j] = V::template shl<1>(two[j]);
        normalize(two, two, L);
        reduceOnce(M, two, two);
    }
    V* x = M.rr;
    for (int j = 0; j < L; ++j) x[j] = two[j];
    for (int bit = 30 - __builtin_clz((unsigned)rBits); bit >= 0; --bit) {
        mul(M, x, x, x);
        if ((rBits >> bit) & 1) mul(M, x, x, two);
    }
}

// r = 1 as a plain number of n limbs.
template <class V>
void setOne(V* r, int n)
{
    r[0] = V::set1(1);
    for (int j = 1; j < n; ++j) r[j] = V::zero();
}

// ---- exponentiation ----

// out = the table entry each lane's digit names: every entry read, the pick made by masks.
template <class V>
void pickEntry(V* out, const V* table, const V& digit, int L)
{
    for (int j = 0; j < L; ++j) out[j] = V::zero();
    for (int k = 0; k < kEntries; ++k) {
        const V hit = V::eqMask(digit, V::set1((uint64_t)k));
        const V* row = table + k * L;
        for (int j = 0; j < L; ++j) out[j] = V::select(hit, out[j], row[j]);
    }
}

// Bits [kWindow·w, kWindow·w + kWindow) of every lane's exponent (words e, a zero word behind).
template <class V>
V digitAt(const V* e, int w)
{
    const int bit = kWindow * w, i = bit / 64, s = bit % 64;
    V d = V::shrBy(e[i], (unsigned)s);
    if (s > 64 - kWindow) d = d | V::shlBy(e[i + 1], (unsigned)(64 - s));
    return d & V::set1(kEntries - 1);
}

// acc = x^e in Montgomery form, e of `bits` bits: fixed windows over the table x⁰ … x³¹, the same
// squarings and multiplications whatever the exponent.
template <class V>
void powWindows(const Mont<V>& M, V* acc, const V* x, const V* e, int bits, V* table, V* pick)
{
    const int L = M.L;
    setOne(pick, L);
    mul(M, table, M.rr, pick); // R mod m
    for (int j = 0; j < L; ++j) table[L + j] = x[j];
    for (int k = 2; k < kEntries; ++k) mul(M, table + k * L, table + (k - 1) * L, x);
    const int windows = (bits + kWindow - 1) / kWindow;
    if (windows == 0) {
        for (int j = 0; j < L; ++j) acc[j] = table[j];
        return;
    }
    pickEntry(acc, table, digitAt(e, windows - 1), L);
    for (int w = windows - 2; w >= 0; --w) {
        for (int i = 0; i < kWindow; ++i) sqr(M, acc, acc);
        pickEntry(pick, table, digitAt(e, w), L);
        mul(M, acc, acc, pick);
    }
}

// r = a/R mod m, below m: out of Montgomery form.
template <class V>
void fromMont(const Mont<V>& M, V* r, const V* a, V* one)
{
    setOne(one, M.L);
    mul(M, r, a, one);
    reduceOnce(M, r, r);
}

// A modulus loaded into the arena with its constants.
template <class V>
Mont<V> modulus(Arena<V>& A, const int64u* const mod[kLanes], int words, int L, int minBits, unsigned active)
{
    Mont<V> M;
    M.L = L;
    V* m = A.take(L + 2);
    loadLimbs(m, L, mod, words, active, ~0ull); // stand-in: an odd modulus of full length
    m[L] = m[L + 1] = V::zero();                // read by the squarings' last columns
    M.m = m;
    M.t = A.take(2 * L + 1);
    M.tmp = A.take(2 * L);
    M.sq = A.take(2 * L + 4);
    M.rr = A.take(L);
    setUp(M, minBits);
    return M;
}

template <class V>
struct Engine {
    static void power(int64u* const out[kLanes], const int64u* const base[kLanes], const int64u* const pwr[kLanes],
                      int pwrBits, const int64u* const mod[kLanes], int words, int minBits, unsigned active,
                      void* scratch)
    {
        Arena<V> A(scratch);
        const int L = limbsFor(words);
        const Mont<V> M = modulus(A, mod, words, L, minBits, active);
        V* x = A.take(L);
        V* acc = A.take(L);
        V* pick = A.take(L);
        loadLimbs(x, L, base, words, active, 0);
        mul(M, x, x, M.rr); // base·R mod m; the base is below R/4
        if (pwr) {
            const int ew = (pwrBits + 63) / 64;
            V* e = A.take(ew + 1);
            loadWords(e, pwr, ew, active);
            powWindows(M, acc, x, e, pwrBits, A.take(kEntries * L), pick);
        } else {
            // 65537 = 2^16 + 1, public: sixteen squarings and a multiplication.
            sqr(M, acc, x);
            for (int i = 1; i < 16; ++i) sqr(M, acc, acc);
            mul(M, acc, acc, x);
        }
        fromMont(M, acc, acc, pick);
        storeLimbs(out, words, acc, L, active, ~V::zero());
    }

    // Garner: m1 = c^dp mod p, m2 = c^dq mod q, h = (m1 − m2)·invq mod p, out = m2 + h·q.
    static unsigned crt(int64u* const out[kLanes], const int64u* const c[kLanes], const int64u* const p[kLanes],
                        const int64u* const q[kLanes], const int64u* const dp[kLanes],
                        const int64u* const dq[kLanes], const int64u* const invq[kLanes], int half, unsigned active,
                        void* scratch)
    {
        Arena<V> A(scratch);
        const int L = limbsFor(half);
        V* cl = A.take(2 * L);
        loadLimbs(cl, 2 * L, c, 2 * half, active, 0);
        const Mont<V> Mp = modulus(A, p, half, L, 64 * half, active);
        const Mont<V> Mq = modulus(A, q, half, L, 64 * half, active);
        V* x = A.take(L);
        V* pick = A.take(L);
        V* e = A.take(half + 1);
        V* table = A.take(kEntries * L);
        V* res[2] = {A.take(L), A.take(L)};
        const Mont<V>* primes[2] = {&Mp, &Mq};
        const int64u* const* exps[2] = {dp, dq};
        for (int k = 0; k < 2; ++k) {
            const Mont<V>& M = *primes[k];
            redc(M, x, cl);            // c/R
            mul(M, pick, M.rr, M.rr);  // R³
            mul(M, x, x, pick);        // c·R
            loadWords(e, exps[k], half, active);
            powWindows(M, res[k], x, e, 64 * half, table, pick);
            fromMont(M, res[k], res[k], pick);
        }
        // m2 is below q, so below 2p; d = m1 + p − (m2 mod p) lies in (0, 2p).
        V* d = A.take(L);
        reduceOnce(Mp, d, res[1]);
        for (int j = 0; j < L; ++j) d[j] = res[0][j] + Mp.m[j] - d[j];
        normalize(d, d, L);
        V* qinvR = A.take(L);
        loadLimbs(x, L, invq, half, active, 0);
        mul(Mp, qinvR, x, Mp.rr); // invq·R
        mul(Mp, d, d, qinvR);     // h
        reduceOnce(Mp, d, d);
        // invq·q mod p must be 1; q is below 2p.
        mul(Mp, x, qinvR, Mq.m);
        reduceOnce(Mp, x, x);
        const V right = isOne(x, L);
        // out = m2 + h·q, below p·q.
        V* prod = A.take(2 * L + 1);
        for (int j = 0; j <= 2 * L; ++j) prod[j] = j < L ? res[1][j] : V::zero();
        for (int i = 0; i < L; ++i)
            for (int j = 0; j < L; ++j) {
                prod[i + j] = V::madd52lo(prod[i + j], d[i], Mq.m[j]);
                prod[i + j + 1] = V::madd52hi(prod[i + j + 1], d[i], Mq.m[j]);
            }
        normalize(prod, prod, 2 * L + 1);
        storeLimbs(out, 2 * half, prod, 2 * L, active, right);
        return ~maskBits(right) & active & 0xFFu;
    }

    static unsigned outOfRange(const int64u* const v[kLanes], const int64u* const upper[kLanes], int words,
                               unsigned active)
    {
        const int L = limbsFor(words);
        V a[kMaxLimbs], b[kMaxLimbs];
        loadLimbs(a, L, v, words, active, 1);
        loadLimbs(b, L, upper, words, active, 2);
        V borrow = V::zero(), bits = V::zero();
        for (int j = 0; j < L; ++j) {
            borrow = V::template shr<63>(a[j] - b[j] - borrow);
            bits = bits | a[j];
        }
        const V inRange = (V::zero() - borrow) & ~V::eqMask(bits, V::zero());
        return ~maskBits(inRange) & active & 0xFFu;
    }
};

template <class V>
const ModExpEngine engineTable = {&Engine<V>::power, &Engine<V>::crt, &Engine<V>::outOfRange};

} // namespace
} // namespace tzv::mexp

#endif
