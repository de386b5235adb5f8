// Word-array arithmetic and Montgomery multiplication (CIOS, Koc et al. 1996).
#include "kyns_bnu.h"

namespace kyns {

int bnuSigLen(const int32u* a, int n)
{
    while (n > 0 && a[n - 1] == 0) --n;
    return n;
}

int bnuBitSize(const int32u* a, int n)
{
    n = bnuSigLen(a, n);
    if (n == 0) return 0;
    return 32 * (n - 1) + (32 - __builtin_clz(a[n - 1]));
}

int bnuCmp(const int32u* a, const int32u* b, int n)
{
    for (int i = n - 1; i >= 0; --i)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return 0;
}

int32u bnuSub(int32u* r, const int32u* a, const int32u* b, int n)
{
    Kyn64u borrow = 0;
    for (int i = 0; i < n; ++i) {
        const Kyn64u d = (Kyn64u)a[i] - b[i] - borrow;
        r[i] = (int32u)d;
        borrow = (d >> 32) & 1;
    }
    return (int32u)borrow;
}

int32u bnuSubWord(int32u* r, const int32u* a, int32u w, int n)
{
    Kyn64u borrow = w;
    for (int i = 0; i < n; ++i) {
        const Kyn64u d = (Kyn64u)a[i] - borrow;
        r[i] = (int32u)d;
        borrow = (d >> 32) & 1;
    }
    return (int32u)borrow;
}

void bnuCopy(int32u* r, const int32u* a, int n)
{
    for (int i = 0; i < n; ++i) r[i] = a[i];
}

void bnuZero(int32u* r, int n)
{
    for (int i = 0; i < n; ++i) r[i] = 0;
}

bool bnuIsWord(const int32u* a, int n, int32u w)
{
    if (n < 1) return w == 0;
    if (a[0] != w) return false;
    return bnuSigLen(a + 1, n - 1) == 0;
}

int32u bnuModWord(const int32u* a, int n, int32u w)
{
    Kyn64u rem = 0;
    for (int i = n - 1; i >= 0; --i) rem = ((rem << 32) | a[i]) % w;
    return (int32u)rem;
}

int32u montInverse(int32u m0)
{
    // Newton's iteration x = x(2 - m0 x) doubles the correct low bits; m0 is its own inverse
    // mod 8, so four steps reach 48 >= 32 bits.
    int32u x = m0;
    for (int i = 0; i < 4; ++i) x *= 2u - m0 * x;
    return 0u - x;
}

void montMul(int32u* r, const int32u* a, const int32u* b, const int32u* m, int k, int32u n0, int32u* t)
{
    bnuZero(t, k + 2);
    for (int i = 0; i < k; ++i) {
        Kyn64u c = 0;
        for (int j = 0; j < k; ++j) {
            const Kyn64u s = (Kyn64u)t[j] + (Kyn64u)a[j] * b[i] + c;
            t[j] = (int32u)s;
            c = s >> 32;
        }
        Kyn64u s = (Kyn64u)t[k] + c;
        t[k] = (int32u)s;
        t[k + 1] = (int32u)(s >> 32);

        const int32u q = t[0] * n0;
        c = ((Kyn64u)t[0] + (Kyn64u)q * m[0]) >> 32;
        for (int j = 1; j < k; ++j) {
            s = (Kyn64u)t[j] + (Kyn64u)q * m[j] + c;
            t[j - 1] = (int32u)s;
            c = s >> 32;
        }
        s = (Kyn64u)t[k] + c;
        t[k - 1] = (int32u)s;
        t[k] = t[k + 1] + (int32u)(s >> 32);
    }
    // t < 2m: one subtraction at most.
    if (t[k] != 0 || bnuCmp(t, m, k) >= 0)
        bnuSub(r, t, m, k);
    else
        bnuCopy(r, t, k);
}

void montRR(int32u* rr, const int32u* m, int k)
{
    // Double 1 modulo m 64k times: 2^(64k) = R^2.  Each step keeps the value below m.
    bnuZero(rr, k);
    rr[0] = 1;
    for (int i = 0; i < 64 * k; ++i) {
        int32u carry = 0;
        for (int j = 0; j < k; ++j) {
            const int32u w = rr[j];
            rr[j] = (w << 1) | carry;
            carry = w >> 31;
        }
        if (carry || bnuCmp(rr, m, k) >= 0) bnuSub(rr, rr, m, k);
    }
}

} // namespace kyns
