// The curve operations in plain C++ over the lanes: the same algorithm as the AVX-512 backend,
// instruction for instruction, in a form valgrind can follow (the constant-time test runs it).
#include "ec_engine_impl.h"
#include "x25519_ladder.h"

namespace tzv::ec {

const EcEngine& ecEnginePlain(CurveId id)
{
    return engineFor<simd::U64x8Plain>(id);
}

const X25519Engine& x25519EnginePlain()
{
    return x25519Table<simd::U64x8Plain>;
}

} // namespace tzv::ec
