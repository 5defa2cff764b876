# Installs the public SDK library with its headers, a CMake package (find_package(KelvoUISDK))
# and a pkg-config file (pkg-config --cflags --libs KelvoUISDK).
#
# Every rule names the component, and so the Debian package, its files belong to:
#   runtime  the shared library (string tables and icons are compiled into it)
#   dev      headers, the linker name, the CMake package and the pkg-config file
# The sample host and the local meeting service form a third component ("tools"), installed by
# cmake/KelvoPackaging.cmake once those targets exist.
include(CMakePackageConfigHelpers)

# The library goes to the multiarch directory as Debian lays it out (lib/x86_64-linux-gnu), under
# any prefix: the loader, find_package and pkg-config search it under /usr and /usr/local alike.
# A library directory given explicitly is kept.
set(KELVO_INSTALL_LIBDIR ${CMAKE_INSTALL_LIBDIR})
if(CMAKE_LIBRARY_ARCHITECTURE AND CMAKE_INSTALL_LIBDIR STREQUAL "lib")
  set(KELVO_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE})
endif()
# The packaging tests look for the library there.
set_property(GLOBAL PROPERTY KELVO_INSTALL_LIBDIR ${KELVO_INSTALL_LIBDIR})
set(KELVO_CMAKE_DIR ${KELVO_INSTALL_LIBDIR}/cmake/KelvoUISDK)
set(KELVO_PKGCONFIG_DIR ${KELVO_INSTALL_LIBDIR}/pkgconfig)

# Shared libraries are not programs: installed without execute permission, as Debian wants them.
install(TARGETS KelvoUISDK EXPORT KelvoUISDKTargets
        LIBRARY DESTINATION ${KELVO_INSTALL_LIBDIR}
                PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
                COMPONENT runtime NAMELINK_COMPONENT dev
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/KelvoUISDK
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)
install(EXPORT KelvoUISDKTargets NAMESPACE KelvoUISDK:: DESTINATION ${KELVO_CMAKE_DIR}
        COMPONENT dev)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/KelvoUISDKConfig.cmake.in
  ${PROJECT_BINARY_DIR}/KelvoUISDKConfig.cmake INSTALL_DESTINATION ${KELVO_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/KelvoUISDKConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/KelvoUISDKConfig.cmake
              ${PROJECT_BINARY_DIR}/KelvoUISDKConfigVersion.cmake
        DESTINATION ${KELVO_CMAKE_DIR} COMPONENT dev)

# The pkg-config file finds the prefix from its own place, so the same file is right under
# /usr, under any --prefix and inside a staging root.
file(RELATIVE_PATH KELVO_PC_TO_PREFIX /prefix/${KELVO_PKGCONFIG_DIR} /prefix)
string(REGEX REPLACE "/$" "" KELVO_PC_TO_PREFIX "${KELVO_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/KelvoUISDK.pc.in
               ${PROJECT_BINARY_DIR}/KelvoUISDK.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/KelvoUISDK.pc DESTINATION ${KELVO_PKGCONFIG_DIR} COMPONENT dev)
