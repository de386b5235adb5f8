// Arithmetic over unsigned word arrays (32-bit words, least significant first), used by the
// big-number, Montgomery and prime contexts.  No checks: the callers have checked sizes.
#ifndef KYNS_BNU_H
#define KYNS_BNU_H

#include "kyncp.h"

namespace kyns {

int bnuSigLen(const int32u* a, int n);          // words without the leading zero words; 0 for zero
int bnuBitSize(const int32u* a, int n);         // 0 for zero
int bnuCmp(const int32u* a, const int32u* b, int n);
int32u bnuSub(int32u* r, const int32u* a, const int32u* b, int n);  // returns the borrow
int32u bnuSubWord(int32u* r, const int32u* a, int32u w, int n);     // returns the borrow
void bnuCopy(int32u* r, const int32u* a, int n);
void bnuZero(int32u* r, int n);
bool bnuIsWord(const int32u* a, int n, int32u w);  // a == w
int32u bnuModWord(const int32u* a, int n, int32u w);
inline bool bnuBit(const int32u* a, int i) { return (a[i / 32] >> (i % 32)) & 1u; }

// Montgomery arithmetic modulo an odd m of k words (top word non-zero), R = 2^(32k).
int32u montInverse(int32u m0);  // -m0^-1 mod 2^32 for odd m0
// r = a * b / R mod m for a, b < m; t has k + 2 words; r may be a or b.
void montMul(int32u* r, const int32u* a, const int32u* b, const int32u* m, int k, int32u n0, int32u* t);
// rr = R^2 mod m.
void montRR(int32u* rr, const int32u* m, int k);

} // namespace kyns

#endif
