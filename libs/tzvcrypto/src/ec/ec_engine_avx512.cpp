// The curve operations on AVX-512 IFMA: 52-bit multiply-adds on eight lanes per instruction.
#include "ec_engine_impl.h"

namespace tzv::ec {

const EcEngine& ecEngineAvx512(CurveId id)
{
    return engineFor<simd::U64x8Avx512>(id);
}

} // namespace tzv::ec
