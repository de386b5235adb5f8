// Runs the library tests on the code path named by PS_LIB_FEATURES (a hexadecimal feature mask for
// kyncpSetCpuFeatures, as the harness's -T key passes it), so that CTest can run every vector once
// per path from the same build.
#include <cstdio>
#include <cstdlib>

#include "kyncp.h"

namespace {

const bool s_pathChosen = [] {
    const char* mask = std::getenv("PS_LIB_FEATURES");
    if (!mask || !*mask) return false;
    char* end = nullptr;
    unsigned long long features = std::strtoull(mask, &end, 16);
    if (*end != '\0' || kyncpSetCpuFeatures(features) < 0) {
        std::fprintf(stderr, "PS_LIB_FEATURES: not a usable feature mask: %s\n", mask);
        std::exit(2);
    }
    return true;
}();

} // namespace
