// Zeroing the vector registers with AVX-512 instructions: this file is compiled for them and only
// called where the processor has them.
#include "scrub.h"

namespace tzv {

void clearVectorRegistersAvx512()
{
    asm volatile(".irp r, 0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31\n\t"
                 "vpxord %%zmm\\r, %%zmm\\r, %%zmm\\r\n\t"
                 ".endr"
                 :
                 :
                 : "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8", "xmm9", "xmm10", "xmm11",
                   "xmm12", "xmm13", "xmm14", "xmm15", "xmm16", "xmm17", "xmm18", "xmm19", "xmm20", "xmm21", "xmm22",
                   "xmm23", "xmm24", "xmm25", "xmm26", "xmm27", "xmm28", "xmm29", "xmm30", "xmm31");
}

} // namespace tzv
