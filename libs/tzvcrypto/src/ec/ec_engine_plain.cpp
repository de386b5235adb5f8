// The curve operations in plain C++ over the lanes: the same algorithm as the AVX-512 backend,
// instruction for instruction, in a form valgrind can follow (the constant-time test runs it).
#include "ec_engine_impl.h"
#include "ed25519_lanes.h"

namespace tzv::ec {

const EcEngine& ecEnginePlain(CurveId id)
{
    return engineFor<simd::U64x8Plain>(id);
}

const Curve25519Engine& curve25519EnginePlain()
{
    return curve25519Table<simd::U64x8Plain>;
}

} // namespace tzv::ec
