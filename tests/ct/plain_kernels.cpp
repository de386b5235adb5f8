// The plain C++ kernels as the only code path, for the constant-time run of ct_sm_plain.
#include "sm/kernels.h"

namespace tzv {
namespace sm {

const Kernels& kernels() { return kPlainKernels; }

} // namespace sm
} // namespace tzv
