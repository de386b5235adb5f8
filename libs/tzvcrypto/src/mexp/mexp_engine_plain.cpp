// Modular exponentiation in plain C++ over the lanes: the AVX-512 backend's algorithm, in a form
// valgrind can follow (the constant-time check runs it).
#include "mont_lanes.h"

namespace tzv::mexp {

const ModExpEngine& modExpEnginePlain()
{
    return engineTable<simd::U64x8Plain>;
}

} // namespace tzv::mexp
