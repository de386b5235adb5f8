// The curve operations and Curve25519 on AVX-512 IFMA: 52-bit multiply-adds on eight lanes per instruction.
#include "ec_engine_impl.h"
#include "ed25519_lanes.h"

namespace tzv::ec {

const EcEngine& ecEngineAvx512(CurveId id)
{
    return engineFor<simd::U64x8Avx512>(id);
}

const Curve25519Engine& curve25519EngineAvx512()
{
    return curve25519Table<simd::U64x8Avx512>;
}

} // namespace tzv::ec
