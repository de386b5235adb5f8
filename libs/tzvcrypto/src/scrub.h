// What an operation on secrets leaves behind. The multi-lane engines keep keys, nonces and shared
// secrets in locals and in the registers the compiler spills, below the frame that called them,
// where nothing clears them when they return; and in the vector registers, which the next XSAVE (the
// dynamic linker's lazy binding, a signal) writes to the stack. scrubStack(bytes), called right after
// such an operation from the frame that called it, zeroes the vector registers and `bytes` of the
// stack below that frame: the operation's frames, when `bytes` covers their depth.
#ifndef TZV_SCRUB_H
#define TZV_SCRUB_H

#include <cstddef>

namespace tzv {

void scrubStack(std::size_t bytes);

// The stack zeroed after OpenSSL's operations on secrets on the portable path: its X25519 derivation
// left words of the shared secrets within 1 KB of the caller, measured; the margin is for other
// versions.
constexpr std::size_t kOpenSslStack = 16 * 1024;

// zmm0 to zmm31 zeroed; only where the processor has AVX-512.
void clearVectorRegistersAvx512();

} // namespace tzv

#endif
