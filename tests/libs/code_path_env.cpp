// Runs the library tests on the code path named by PS_LIB_FEATURES (a hexadecimal feature mask for
// kyncpSetCpuFeatures, as the harness's -T key passes it), so that CTest can run every vector once
// per path from the same build.
#include <cstdio>
#include <cstdlib>

#include "kyncp.h"

static const bool s_pathChosen = [] {
    const char* mask = std::getenv("PS_LIB_FEATURES");
    char* end = nullptr;
    if (!mask || !*mask) return false;
    if (kyncpSetCpuFeatures(std::strtoull(mask, &end, 16)) < 0 || *end != '\0') {
        std::fprintf(stderr, "PS_LIB_FEATURES: not a usable feature mask: %s\n", mask);
        std::exit(2);
    }
    return true;
}();
