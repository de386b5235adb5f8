// Modular exponentiation on AVX-512 IFMA: eight lanes' 52-bit multiply-adds per instruction.
#include "mont_lanes.h"

namespace tzv::mexp {

const ModExpEngine& modExpEngineAvx512()
{
    return engineTable<simd::U64x8Avx512>;
}

} // namespace tzv::mexp
