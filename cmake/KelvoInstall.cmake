# Installs the public SDK library with its headers, a CMake package (find_package(KelvoUISDK))
# and a pkg-config file (pkg-config --cflags --libs KelvoUISDK).
include(CMakePackageConfigHelpers)

set(KELVO_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/KelvoUISDK)

install(TARGETS KelvoUISDK EXPORT KelvoUISDKTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/KelvoUISDK
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT KelvoUISDKTargets NAMESPACE KelvoUISDK:: DESTINATION ${KELVO_CMAKE_DIR})

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/KelvoUISDKConfig.cmake.in
  ${PROJECT_BINARY_DIR}/KelvoUISDKConfig.cmake INSTALL_DESTINATION ${KELVO_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/KelvoUISDKConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/KelvoUISDKConfig.cmake
              ${PROJECT_BINARY_DIR}/KelvoUISDKConfigVersion.cmake
        DESTINATION ${KELVO_CMAKE_DIR})

configure_file(${PROJECT_SOURCE_DIR}/cmake/KelvoUISDK.pc.in
               ${PROJECT_BINARY_DIR}/KelvoUISDK.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/KelvoUISDK.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
