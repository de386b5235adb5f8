# What `cmake --install` puts beside the program and the libraries for their users: the CMake
# package tzvcrypto, one pkg-config file per library, and the Debian package that `cpack -G DEB` makes.
include(CMakePackageConfigHelpers)

set(PS_LIB_VERSION 13.0.0)
set(PS_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/tzvcrypto)
install(EXPORT tzvcryptoTargets NAMESPACE tzvcrypto:: DESTINATION ${PS_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/tzvcryptoConfigVersion.cmake
  VERSION ${PS_LIB_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/tzvcryptoConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/tzvcryptoConfigVersion.cmake
  DESTINATION ${PS_CMAKE_DIR})

# The pkg-config files name the prefix of the install itself (--prefix, or /usr in the package), so
# they are written when installing.
foreach(pc kyncp tzvcrypto)
  install(CODE "
    set(PS_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
    set(PS_PC_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
    set(PS_PC_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
    set(PS_LIB_VERSION \"${PS_LIB_VERSION}\")
    configure_file(\"${CMAKE_CURRENT_LIST_DIR}/${pc}.pc.in\" \"${CMAKE_CURRENT_BINARY_DIR}/pkgconfig/${pc}.pc\" @ONLY)")
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/pkgconfig/${pc}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()

# cpack -G DEB: one package with the program, both libraries, their headers and the files above.
set(CPACK_PACKAGE_NAME ps-tzvcrypto)
set(CPACK_PACKAGE_VERSION 2.0.0)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Performance System: clocks per operation of every multi-buffer crypto library function")
set(CPACK_PACKAGE_CONTACT "ps_tzvcrypto developers <ps-tzvcrypto@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libssl3 (>= 3.0.0), libstdc++6 (>= 12), libgcc-s1 (>= 3.0)")
# The libraries get a shlibs file and the ldconfig trigger.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
include(CPack)
