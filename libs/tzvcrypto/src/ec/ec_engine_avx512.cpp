// The curve operations and X25519 on AVX-512 IFMA: 52-bit multiply-adds on eight lanes per instruction.
#include "ec_engine_impl.h"
#include "x25519_ladder.h"

namespace tzv::ec {

const EcEngine& ecEngineAvx512(CurveId id)
{
    return engineFor<simd::U64x8Avx512>(id);
}

const X25519Engine& x25519EngineAvx512()
{
    return x25519Table<simd::U64x8Avx512>;
}

} // namespace tzv::ec
