# The installed multi-buffer crypto library and the general crypto library beside it:
# find_package(tzvcrypto) gives the imported targets tzvcrypto::tzvcrypto and tzvcrypto::kyncp.
include("${CMAKE_CURRENT_LIST_DIR}/tzvcryptoTargets.cmake")
